// The authentication rounds of TSSH2Client::Connect.
#include <libssh2.h>

#include <QDebug>

#include <cstdlib>
#include <cstring>

#include "remote/ssh2_client.h"

namespace {

constexpr int kAuthRoundLimit = 17;

QByteArray Local8(const QString& text) { return text.toLocal8Bit(); }

}  // namespace

void TSSH2Client::NoteAuthError(int result) {
    authLastResult_ = result;
    if (result == 0) return;
    authCurrentError_ = GetLastSSHError(result);
    if (authFirstError_.isEmpty()) authFirstError_ = authCurrentError_;
}

void TSSH2Client::FinishAuth(const QString& fixedText) {
    QString text = authFirstError_;
    if (text.isEmpty() && authLastResult_ != 0 && session_ != nullptr) text = GetLastSSHError(authLastResult_);
    if (text.isEmpty()) text = authExceptionText_;
    if (text.isEmpty()) text = fixedText;
    Disconnect();
    RaiseSSHError(text);
}

TAuthModes TSSH2Client::ParseAuthList(const QString& list) {
    Trace(QStringLiteral("connect: ParseAuthList: \"%1\"").arg(list));
    if (HasAuthMode(authModes_, TAuthMode::amTryAll)) return AuthModeBit(TAuthMode::amTryAll);
    TAuthModes modes = 0;
    const auto offer = [&](const char* word, std::initializer_list<TAuthMode> added) {
        if (!list.contains(QLatin1String(word))) return;
        for (TAuthMode mode : added)
            if (authModes_ == 0 || HasAuthMode(authModes_, mode)) modes |= AuthModeBit(mode);
    };
    offer("password", {TAuthMode::amPassword});
    offer("publickey", {TAuthMode::amPublicKey, TAuthMode::amPublicKeyViaAgent});
    offer("keyboard-interactive", {TAuthMode::amKeyboardInteractive});
    if (modes == 0) RaiseSSHError(QStringLiteral("Server does not support requested auth mode(s)"));
    return modes;
}

// An ESSH2Exception inside one method ends that method only, except a cancel
// or time-out, which ends the whole connection attempt.
template <typename Method>
bool TSSH2Client::GuardedAuth(Method method) {
    try {
        return method();
    } catch (const ESSH2Exception& error) {
        if (CancelRaised() || socket_ < 0) throw;
        Trace(QStringLiteral("exception: ") + error.text());
        if (authExceptionText_.isEmpty()) authExceptionText_ = error.text();
        return false;
    }
}

bool TSSH2Client::UserAuthPassword() {
    Trace(QStringLiteral("connect: UserAuthPassword:"));
    return GuardedAuth([this] {
        const QByteArray user = Local8(userName_);
        const QByteArray password = Local8(password_);
        const int result = RetryStatus([&] {
            return libssh2_userauth_password_ex(session_, user.constData(), static_cast<unsigned>(user.size()),
                                                password.constData(), static_cast<unsigned>(password.size()), nullptr);
        });
        NoteAuthError(result);
        return result == 0;
    });
}

void TSSH2Client::KbdInteractiveCallback(const char*, int, const char*, int, int promptCount, const void*,
                                         void* responses, void** abstract) {
    if (promptCount < 1 || responses == nullptr || abstract == nullptr || *abstract == nullptr) return;
    auto* data = static_cast<TAbstractData*>(*abstract);
    auto* answers = static_cast<LIBSSH2_USERAUTH_KBDINT_RESPONSE*>(responses);
    try {
        TSSH2Client& client = *data->Client;
        QString answer = client.password_;
        if (client.OnKeybdInteractive) client.OnKeybdInteractive(client, answer);
        data->ResponseText = Local8(answer);
        client.Trace(QStringLiteral("KbdInteractiveCallback: #%1").arg(promptCount));
    } catch (...) {
        // The library calls us from C: nothing may leave; the prompts get the
        // answer held so far.
    }
    for (int i = 0; i < promptCount; ++i) {
        const QByteArray& text = data->ResponseText;
        answers[i].text = nullptr;
        answers[i].length = 0;
        if (text.isEmpty()) continue;
        // The library releases each answer with free().
        answers[i].text = static_cast<char*>(std::malloc(static_cast<size_t>(text.size())));
        if (answers[i].text == nullptr) continue;
        std::memcpy(answers[i].text, text.constData(), static_cast<size_t>(text.size()));
        answers[i].length = static_cast<unsigned>(text.size());
    }
}

bool TSSH2Client::UserAuthKeyboardInteractive() {
    Trace(QStringLiteral("connect: UserAuthKeyboardInteractive:"));
    return GuardedAuth([this] {
        const QByteArray user = Local8(userName_);
        const auto callback = [](const char* name, int nameLength, const char* instruction, int instructionLength,
                                 int promptCount, const LIBSSH2_USERAUTH_KBDINT_PROMPT* prompts,
                                 LIBSSH2_USERAUTH_KBDINT_RESPONSE* responses, void** abstract) {
            KbdInteractiveCallback(name, nameLength, instruction, instructionLength, promptCount, prompts, responses,
                                   abstract);
        };
        const int result = RetryStatus([&] {
            return libssh2_userauth_keyboard_interactive_ex(session_, user.constData(),
                                                            static_cast<unsigned>(user.size()), callback);
        });
        NoteAuthError(result);
        return result == 0;
    });
}

bool TSSH2Client::UserAuthPKey(bool force) {
    Trace(QStringLiteral("connect: UserAuthPKey:"));
    if (!force && pubKeyPath_.isEmpty() && privKeyPath_.isEmpty()) {
        if (authCurrentError_.isEmpty()) authCurrentError_ = QStringLiteral("Failed defined any key file");
        return false;
    }
    return GuardedAuth([this] {
        const QByteArray user = Local8(userName_);
        const QByteArray pub = Local8(pubKeyPath_);
        const QByteArray priv = Local8(privKeyPath_);
        const QByteArray phrase = Local8(privKeyPass_);
        const int result = RetryStatus([&] {
            return libssh2_userauth_publickey_fromfile_ex(session_, user.constData(), static_cast<unsigned>(user.size()),
                                                          pub.isEmpty() ? nullptr : pub.constData(), priv.constData(),
                                                          phrase.isEmpty() ? nullptr : phrase.constData());
        });
        NoteAuthError(result);
        return result == 0;
    });
}

bool TSSH2Client::UserAuthPKeyViaAgent() {
    Trace(QStringLiteral("connect: UserAuthPKeyViaAgent:"));
    LIBSSH2_AGENT* agent = libssh2_agent_init(session_);
    if (agent == nullptr) return false;
    const bool ok = GuardedAuth([&] {
        const QByteArray user = Local8(userName_);
        int result = RetryStatus([&] { return libssh2_agent_connect(agent); });
        NoteAuthError(result);
        if (result == 0) {
            result = RetryStatus([&] { return libssh2_agent_list_identities(agent); });
            NoteAuthError(result);
        }
        bool accepted = false;
        libssh2_agent_publickey* previous = nullptr;
        while (result == 0 && !accepted) {
            libssh2_agent_publickey* identity = nullptr;
            result = RetryStatus([&] { return libssh2_agent_get_identity(agent, &identity, previous); });
            if (result != 0) break;
            const int auth = RetryStatus([&] { return libssh2_agent_userauth(agent, user.constData(), identity); });
            NoteAuthError(auth);
            accepted = auth == 0;
            previous = identity;
        }
        RetryStatus([&] { return libssh2_agent_disconnect(agent); });
        return accepted;
    });
    libssh2_agent_free(agent);
    return ok;
}

bool TSSH2Client::UserAuthTryAll() {
    Trace(QStringLiteral("connect: UserAuthTryAll:"));
    const bool keys = !pubKeyPath_.isEmpty() || !privKeyPath_.isEmpty();
    const bool pw = !password_.isEmpty();
    if (keys && (UserAuthPKey(false) || UserAuthPKeyViaAgent())) return true;
    if (pw && UserAuthPassword()) return true;
    if (UserAuthKeyboardInteractive()) return true;
    const auto clearNoise = [this] {
        authFirstError_.clear();
        authExceptionText_.clear();
    };
    if (!keys && !pw) clearNoise();
    if (!keys) {
        if (UserAuthPKey(true) || UserAuthPKeyViaAgent()) return true;
        if (!pw) clearNoise();
    }
    if (!pw) return UserAuthPassword();
    return false;
}

bool TSSH2Client::RunAuthMethods(TAuthModes modes) {
    if (HasAuthMode(modes, TAuthMode::amTryAll)) return UserAuthTryAll();
    bool ok = false;
    if (HasAuthMode(modes, TAuthMode::amPublicKey) && (!pubKeyPath_.isEmpty() || !privKeyPath_.isEmpty()))
        ok = UserAuthPKey(false);
    if (!ok && HasAuthMode(modes, TAuthMode::amPassword) && !password_.isEmpty()) ok = UserAuthPassword();
    if (!ok && HasAuthMode(modes, TAuthMode::amKeyboardInteractive)) ok = UserAuthKeyboardInteractive();
    if (!ok && HasAuthMode(modes, TAuthMode::amPublicKeyViaAgent)) ok = UserAuthPKeyViaAgent();
    return ok;
}

void TSSH2Client::Authenticate(const char* list) {
    if (list == nullptr) {
        Disconnect();
        RaiseSSHError(QStringLiteral("Could not get user auth list."));
    }
    const QString offered = QString::fromLatin1(list);
    authCurrentError_.clear();
    authFirstError_.clear();
    authExceptionText_.clear();
    authLastResult_ = 0;
    for (int round = 0;; ++round) {
        if (round == kAuthRoundLimit) FinishAuth(QStringLiteral("Auth repeat limitation."));
        if (round > 0 && authFirstError_.isEmpty()) authFirstError_ = authCurrentError_;
        const TAuthModes modes = ParseAuthList(offered);
        bool ok = RunAuthMethods(modes);
        if (ok) ok = libssh2_userauth_authenticated(session_) > 0;
        if (ok) return;
        bool goOn = true;
        Trace(QStringLiteral("connect: OnAuthFailed:"));
        if (OnAuthFailed) OnAuthFailed(*this, goOn);
        if (!goOn) {
            Trace(QStringLiteral("connect: Abort Auth!"));
            FinishAuth(QStringLiteral("Abort Auth."));
        }
        Trace(QStringLiteral("connect: Repeat Auth:"));
    }
}

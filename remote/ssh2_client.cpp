#include "remote/ssh2_client.h"

#include <libssh2.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDebug>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

// libssh2_init and libssh2_exit bracket every use of the library in the
// process; the count is held by the clients that started it.
std::atomic<int32_t> libraryStarts{0};
std::mutex libraryLock;

constexpr int32_t kLongestWaitMs = 10000;
constexpr int32_t kShortestCallSeconds = 10;
constexpr int kDisconnectByApplication = 11;
constexpr int kFreeAttempts = 100;

int AddressFamily(uint8_t ipVersion) {
    switch (ipVersion) {
    case 2:
        return AF_INET;
    case 23:
        return AF_INET6;
    default:
        return AF_UNSPEC;
    }
}

// Code pages other than UTF-8 that remote names may use.
const char* CodePageName(uint16_t codePage) {
    switch (codePage) {
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 20127:
        return "US-ASCII";
    case 28591:
        return "ISO-8859-1";
    case 1252:
        return "windows-1252";
    case 28605:
        return "ISO-8859-15";
    default:
        return nullptr;
    }
}

bool IsUtf8CodePage(uint16_t codePage) { return codePage == 65001 || codePage == 0; }

}  // namespace

TSSH2Client::TSSH2Client() = default;

TSSH2Client::~TSSH2Client() {
    try {
        if (connected_ || session_ != nullptr || socket_ >= 0) TSSH2Client::Disconnect();
    } catch (const ESSH2Exception&) {
        // A destructor has nobody to tell.
    }
    if (libInitialized_) {
        std::lock_guard<std::mutex> guard(libraryLock);
        if (libraryStarts.fetch_sub(1) == 1) libssh2_exit();
    }
}

void TSSH2Client::Trace(const QString& line) const {
    if (debugMode_) qDebug().noquote() << "libssh2:>" << line;
}

void TSSH2Client::RaiseSSHError(const QString& message, int32_t code) {
    const QString text = message.isEmpty() ? GetLastSSHError(code) : message;
    qDebug().noquote() << "libssh2:> SSH ERROR:" << text;
    throw ESSH2Exception(text);
}

QString TSSH2Client::GetLastSSHError(int32_t E) {
    if (session_ == nullptr) return E == 0 ? platform::SystemErrorText(errno) : QStringLiteral("No error");
    char* message = nullptr;
    int length = 0;
    libssh2_session_last_error(session_, &message, &length, 0);
    const QString text = message != nullptr ? QString::fromLocal8Bit(message, length) : QString();
    if (!text.isEmpty()) lastErrStr_ = text;
    return text;
}

QString TSSH2Client::GetClassVersion() {
    constexpr int64_t kVersion = 202603140000;
    const int64_t rest = kVersion % 100000000;
    return QStringLiteral("%1.%2.%3")
        .arg(kVersion / 100000000)
        .arg(rest / 10000, 4, 10, QLatin1Char('0'))
        .arg(rest % 10000, 4, 10, QLatin1Char('0'));
}

QString TSSH2Client::Version() const { return ClassName() + QStringLiteral(" v") + GetClassVersion(); }

QString TSSH2Client::LibraryVersion() const { return QString::fromLatin1(libssh2_version(0)); }

QByteArray TSSH2Client::EncodeString(const QString& text) const {
    if (text.isEmpty()) return {};
    if (IsUtf8CodePage(codePage_)) return text.toUtf8();
    const char* name = CodePageName(codePage_);
    if (name == nullptr) return {};
    QStringEncoder encoder(name);
    if (!encoder.isValid()) return {};
    return encoder.encode(text);
}

QString TSSH2Client::DecodeString(const QByteArray& bytes) const {
    if (bytes.isEmpty()) return {};
    // Invalid sequences become replacement characters: remote names are shown,
    // never trusted as paths.
    if (IsUtf8CodePage(codePage_)) return QString::fromUtf8(bytes);
    const char* name = CodePageName(codePage_);
    if (name == nullptr) return {};
    QStringDecoder decoder(name);
    if (!decoder.isValid()) return {};
    return decoder.decode(bytes);
}

bool TSSH2Client::Connected() const { return session_ != nullptr && socket_ >= 0 && connected_; }

void TSSH2Client::SetConnected(bool on) {
    if (on == connected_) return;
    if (on) {
        Connect();
    } else {
        Disconnect();
    }
}

void TSSH2Client::SetAuthModes(TAuthModes modes) {
    authModes_ = HasAuthMode(modes, TAuthMode::amTryAll) ? AuthModeBit(TAuthMode::amTryAll) : modes;
}

int32_t TSSH2Client::LimitedSeconds(int32_t seconds) {
    if (seconds < 0) return 0;
    if (seconds >= 1 && seconds <= 9) return 10;
    return seconds;
}

bool TSSH2Client::SessionAwaitsSetting() const { return session_ != nullptr && !connected_; }

void TSSH2Client::SetBlockingMode(bool on) {
    if (on == blockingMode_ && !SessionAwaitsSetting()) return;
    blockingMode_ = on;
    if (session_ != nullptr) ApplyBlockingMode();
}

void TSSH2Client::ApplyBlockingMode() {
    const int wanted = blockingMode_ ? 1 : 0;
    if (libssh2_session_get_blocking(session_) == wanted) return;
    libssh2_session_set_blocking(session_, wanted);
    if (libssh2_session_get_blocking(session_) != wanted)
        Trace(QStringLiteral("warning: failed call libssh2_session_set_blocking."));
}

void TSSH2Client::SetKeepAlive(bool on) {
    if (on == keepAlive_ && !SessionAwaitsSetting()) return;
    keepAlive_ = on;
    if (session_ != nullptr) ApplyKeepAlive(on, LimitedSeconds(timeOut_));
}

void TSSH2Client::SetKeepAliveTimeOut(int32_t seconds) {
    seconds = LimitedSeconds(seconds);
    if (seconds == keepAliveTimeOut_ && !SessionAwaitsSetting()) return;
    keepAliveTimeOut_ = seconds;
    if (session_ != nullptr) libssh2_keepalive_config(session_, keepAlive_ ? 1 : 0, static_cast<unsigned>(seconds));
}

void TSSH2Client::SetTimeOut(int32_t seconds) {
    seconds = LimitedSeconds(seconds);
    if (seconds == timeOut_ && !SessionAwaitsSetting()) return;
    timeOut_ = seconds;
    // The library counts milliseconds; its limit matters in blocking mode only.
    if (session_ != nullptr) libssh2_session_set_timeout(session_, static_cast<long>(seconds) * 1000);
}

void TSSH2Client::ApplyKeepAlive(bool wantReply, int32_t interval) {
    libssh2_keepalive_config(session_, wantReply ? 1 : 0, static_cast<unsigned>(interval));
    int nextSeconds = 0;
    RetryStatus([&] { return libssh2_keepalive_send(session_, &nextSeconds); });
}

void TSSH2Client::Cancel(bool /*ADisconnect*/) {
    canceled_.store(true, std::memory_order_release);
    cancelSignal_.Raise();
}

int TSSH2Client::LastErrno() const { return session_ != nullptr ? libssh2_session_last_errno(session_) : 0; }

void TSSH2Client::ClearCancelRequest() {
    canceled_.store(false, std::memory_order_release);
    cancelSignal_.Clear();
}

TSSH2Client::Deadline TSSH2Client::CallDeadline() const {
    int32_t seconds = timeOut_ < kShortestCallSeconds ? kShortestCallSeconds : timeOut_;
    if (cleanupSeconds_ > 0 && cleanupSeconds_ < seconds) seconds = cleanupSeconds_;
    return std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
}

void TSSH2Client::WaitForSession(Deadline deadline) {
    if (CancelRaised()) RaiseSSHError(QStringLiteral("Cancelled"));
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
        const int32_t seconds = timeOut_ < kShortestCallSeconds ? kShortestCallSeconds : timeOut_;
        RaiseSSHError(QStringLiteral("No answer from the server within %1 seconds").arg(seconds));
    }
    uint32_t directions = 0;
    const int blocked = libssh2_session_block_directions(session_);
    if (blocked & LIBSSH2_SESSION_BLOCK_INBOUND) directions |= platform::kWaitInbound;
    if (blocked & LIBSSH2_SESSION_BLOCK_OUTBOUND) directions |= platform::kWaitOutbound;
    if (directions == 0) directions = platform::kWaitInbound;
    const int32_t waitMs = left < kLongestWaitMs ? static_cast<int32_t>(left) : kLongestWaitMs;
    Trace(QStringLiteral("waitsocket(%1):").arg(waitMs / 1000));
    QString error;
    const platform::SocketWait result = platform::WaitSocket(socket_, directions, cancelSignal_, waitMs, &error);
    if (result == platform::SocketWait::Cancelled) RaiseSSHError(QStringLiteral("Cancelled"));
    if (result == platform::SocketWait::Failed) RaiseSSHError(error);
}

void TSSH2Client::StartLibrary() {
    if (libInitialized_) return;
    std::lock_guard<std::mutex> guard(libraryLock);
    if (libraryStarts.fetch_add(1) == 0 && libssh2_init(0) != 0) {
        libraryStarts.fetch_sub(1);
        RaiseSSHError(QStringLiteral("Error initializing libssh2."));
    }
    libInitialized_ = true;
}

void TSSH2Client::OpenSocket() {
    Trace(QStringLiteral("connect: CreateSocket:"));
    if (port_ == 0) RaiseSSHError(QStringLiteral("Invalid port 0"));
    platform::TcpConnectRequest request;
    request.host = host_;
    request.port = port_;
    request.family = AddressFamily(ipVersion_);
    request.bufferBytes = sockBufLen_;
    request.keepAlive = keepAlive_;
    request.timeoutMs = (timeOut_ < kShortestCallSeconds ? kShortestCallSeconds : timeOut_) * 1000;
    Trace(QStringLiteral("connect: ConnectSocket:"));
    const platform::TcpConnectResult result = platform::ConnectTcp(request, cancelSignal_);
    if (result.cancelled) RaiseSSHError(QStringLiteral("Cancelled"));
    if (result.fd < 0) {
        lastErrStr_ = result.errorText;
        RaiseSSHError(lastErrStr_);
    }
    socket_ = result.fd;
}

void TSSH2Client::StartSession() {
    if (session_ != nullptr) {
        libssh2_session_free(session_);
        session_ = nullptr;
    }
    abstract_ = TAbstractData{this, {}};
    session_ = libssh2_session_init_ex(nullptr, nullptr, nullptr, &abstract_);
    if (session_ == nullptr) RaiseSSHError(QString(), 0);
    // The handshake waits in our own loop, so that silence and Cancel end it.
    libssh2_session_set_blocking(session_, 0);
    libssh2_session_set_timeout(session_, static_cast<long>(timeOut_) * 1000);
    const QByteArray banner = EncodeString(clientBanner_);
    RetryStatus([&] { return libssh2_banner_set(session_, banner.constData()); });
    if (compression_) {
        RetryStatus([&] { return libssh2_session_flag(session_, LIBSSH2_FLAG_COMPRESS, 1); });
        if (RetryStatus([&] { return libssh2_session_method_pref(session_, LIBSSH2_METHOD_COMP_CS, "zlib,none"); }) != 0)
            Trace(QStringLiteral("Error setting comp_cs: ") + GetLastSSHError(0));
        if (RetryStatus([&] { return libssh2_session_method_pref(session_, LIBSSH2_METHOD_COMP_SC, "zlib,none"); }) != 0)
            Trace(QStringLiteral("Error setting comp_sc: ") + GetLastSSHError(0));
    }
    if (RetryStatus([&] { return libssh2_session_handshake(session_, socket_); }) != 0) RaiseSSHError(QString(), 0);
}

bool TSSH2Client::CheckHostKey() {
    if (hashMgr_ == nullptr) return true;
    Trace(QStringLiteral("connect: HashMgr.GetHashMode:"));
    const uint8_t mode = hashMgr_->GetHashMode();
    int type = 0;
    int length = 0;
    if (mode == kHostKeyHashMd5) type = LIBSSH2_HOSTKEY_HASH_MD5, length = 16;
    if (mode == kHostKeyHashSha1) type = LIBSSH2_HOSTKEY_HASH_SHA1, length = 20;
    if (mode == kHostKeyHashSha256) type = LIBSSH2_HOSTKEY_HASH_SHA256, length = 32;
    hostKeyHash_.clear();
    if (type != 0) {
        const char* hash = libssh2_hostkey_hash(session_, type);
        if (hash != nullptr) hostKeyHash_ = QByteArray(hash, length);
    }
    const std::optional<QByteArray> stored = hashMgr_->GetFingerprint(host_, port_);
    std::optional<TFingerprintState> state;
    if (!stored) state = TFingerprintState::fsNew;
    else if (!hashMgr_->CompareFingerprints(hostKeyHash_, *stored)) state = TFingerprintState::fsChanged;
    if (!state) return true;
    Trace(QStringLiteral("connect: HandleFingerprint:"));
    TConnectHashAction action = TConnectHashAction::chaIgnore;
    if (OnFingerprint) OnFingerprint(*this, *state, action);
    if (action == TConnectHashAction::chaSave) hashMgr_->StoreFingerprint(host_, port_, hostKeyHash_);
    return action != TConnectHashAction::chaCancel;
}

void TSSH2Client::Connect() {
    if (Connected()) return;
    ClearCancelRequest();
    Trace(QStringLiteral("connect: Start:"));
    StartLibrary();
    CloseSocket();
    OpenSocket();
    StartSession();
    if (!CheckHostKey()) {
        Disconnect();
        lastErrStr_ = QStringLiteral("The server's host key was refused");
        return;
    }
    connected_ = false;
    ApplyBlockingMode();
    const QByteArray user = userName_.toLocal8Bit();
    const char* list = RetryHandle([&] {
        return libssh2_userauth_list(session_, user.constData(), static_cast<unsigned>(user.size()));
    });
    if (libssh2_userauth_authenticated(session_) <= 0) Authenticate(list);
    connected_ = true;
    Trace(QStringLiteral("connect: Try Connected!"));
    ApplyKeepAlive(keepAlive_, LimitedSeconds(timeOut_));
    Trace(QStringLiteral("connect: Done!"));
    if (OnConnected) OnConnected(*this);
}

void TSSH2Client::AbandonConnection() {
    if (socket_ >= 0) shutdown(socket_, SHUT_RDWR);
}

void TSSH2Client::CloseSocket() {
    if (socket_ < 0) return;
    close(socket_);
    socket_ = -1;
}

void TSSH2Client::Disconnect() {
    if (session_ != nullptr) {
        try {
            // After a cancel or a broken connection a goodbye could only wait.
            if (!CancelRaised() && socket_ >= 0) {
                const QByteArray description =
                    (clientBanner_ + QStringLiteral(": ") + Version() + QStringLiteral(" going to shutdown. Bye."))
                        .toLocal8Bit();
                RetryStatus([&] {
                    return libssh2_session_disconnect_ex(session_, kDisconnectByApplication, description.constData(), "");
                });
            }
        } catch (const ESSH2Exception&) {
            // The session is freed below all the same.
        }
        // Freeing must not wait on a peer that no longer answers.
        AbandonConnection();
        libssh2_session_set_blocking(session_, 0);
        // On a shut socket nothing can block; the bound only guards the library.
        for (int attempt = 0; attempt < kFreeAttempts && libssh2_session_free(session_) == LIBSSH2_ERROR_EAGAIN;
             ++attempt) {
        }
        session_ = nullptr;
    }
    connected_ = false;
    CloseSocket();
}

QString TSSH2Client::GetSessionMethodsStr() {
    if (session_ == nullptr) return {};
    const auto method = [this](int type) {
        const char* text = libssh2_session_methods(session_, type);
        return text != nullptr ? QString::fromLatin1(text) : QString();
    };
    return QStringLiteral("KEX: %1, CRYPT: %2, MAC: %3, COMP: %4, LANG: %5")
        .arg(method(LIBSSH2_METHOD_KEX), method(LIBSSH2_METHOD_CRYPT_CS), method(LIBSSH2_METHOD_MAC_CS),
             method(LIBSSH2_METHOD_COMP_CS) + QLatin1Char(' ') + method(LIBSSH2_METHOD_COMP_SC),
             method(LIBSSH2_METHOD_LANG_CS));
}

#pragma once
// TSSH2Client: one SSH-2 session to a server over libssh2. The client makes
// its own TCP connection (platform/ssh_socket.h), starts the session, checks
// the server's host key against a store the caller supplies, authenticates
// with the modes allowed and offered, and closes politely. Every failure is
// raised as ESSH2Exception with its text.
//
// Waiting: in non-blocking mode every library call that would block waits on
// the socket and retries; the waits of one call end after TimeOut seconds
// with a clear text, so a server that stops answering never freezes the
// caller. The handshake always runs this way, also in blocking mode.
//
// Threads: every operation runs on the owner's thread, except Cancel, which
// any thread may call while an operation runs: it only raises a flag and a
// signal that the running wait sees, so the session is never freed under a
// running call.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

#include "platform/ssh_socket.h"

struct _LIBSSH2_SESSION;

class ESSH2Exception : public std::runtime_error {
public:
    explicit ESSH2Exception(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

enum class TAuthMode : uint8_t { amTryAll, amPassword, amPublicKey, amKeyboardInteractive, amPublicKeyViaAgent };
// A set of TAuthMode, bit n for value n: {amPassword, amKeyboardInteractive} is 10.
using TAuthModes = uint8_t;
constexpr TAuthModes AuthModeBit(TAuthMode mode) { return static_cast<TAuthModes>(1u << static_cast<uint8_t>(mode)); }
constexpr bool HasAuthMode(TAuthModes modes, TAuthMode mode) { return (modes & AuthModeBit(mode)) != 0; }

enum class TFingerprintState { fsNew, fsChanged };
enum class TConnectHashAction { chaCancel, chaIgnore, chaSave };

// Hash modes of IHashManager::GetHashMode.
inline constexpr uint8_t kHostKeyHashMd5 = 0;
inline constexpr uint8_t kHostKeyHashSha1 = 1;
inline constexpr uint8_t kHostKeyHashSha256 = 2;

// The caller's store of host-key fingerprints.
class IHashManager {
public:
    virtual ~IHashManager() = default;
    virtual std::optional<QByteArray> GetFingerprint(const QString& host, uint16_t port) = 0;
    virtual void StoreFingerprint(const QString& host, uint16_t port, const QByteArray& fingerprint) = 0;
    virtual bool CompareFingerprints(const QByteArray& fresh, const QByteArray& stored) = 0;
    virtual uint8_t GetHashMode() = 0;
};

class TSSH2Client;
using TFingerprintEvent = std::function<void(TSSH2Client&, TFingerprintState, TConnectHashAction&)>;
using TKeybInteractiveEvent = std::function<void(TSSH2Client&, QString& password)>;
using TContinueEvent = std::function<void(TSSH2Client&, bool& goOn)>;
using TNotifyEvent = std::function<void(TSSH2Client&)>;

class TSSH2Client {
public:
    TSSH2Client();
    virtual ~TSSH2Client();
    TSSH2Client(const TSSH2Client&) = delete;
    TSSH2Client& operator=(const TSSH2Client&) = delete;

    // The connection sequence; nothing when already connected. A host key
    // refused by OnFingerprint returns without raising, not connected.
    void Connect();
    // Closes session and socket; safe when not connected.
    virtual void Disconnect();
    // Any thread: makes the running operation stop at its next wait with an
    // error. The owner's thread disconnects afterwards (ADisconnect is kept
    // for the callers' sake: the disconnect itself is never run from here,
    // since the session may be in use).
    virtual void Cancel(bool ADisconnect);
    // The current error text: without a session the system's text of the
    // last socket error for E 0, "No error" otherwise; with one the
    // library's last message.
    virtual QString GetLastSSHError(int32_t E);
    QString GetSessionMethodsStr();
    static QString GetClassVersion();
    QString Version() const;
    QString LibraryVersion() const;

    // The last host key's hash in the store's hash mode (empty before).
    QByteArray HostKeyHash() const { return hostKeyHash_; }

    bool Connected() const;
    void SetConnected(bool on);

    bool DebugMode() const { return debugMode_; }
    void SetDebugMode(bool on) { debugMode_ = on; }
    QString Host() const { return host_; }
    void SetHost(const QString& host) { host_ = host; }
    uint16_t Port() const { return port_; }
    void SetPort(uint16_t port) { port_ = port; }
    uint8_t IPVersion() const { return ipVersion_; }
    void SetIPVersion(uint8_t version) { ipVersion_ = version; }
    bool BlockingMode() const { return blockingMode_; }
    void SetBlockingMode(bool on);
    bool KeepAlive() const { return keepAlive_; }
    void SetKeepAlive(bool on);
    int32_t KeepAliveTimeOut() const { return keepAliveTimeOut_; }
    void SetKeepAliveTimeOut(int32_t seconds);
    int32_t TimeOut() const { return timeOut_; }
    void SetTimeOut(int32_t seconds);
    int32_t SockSndRcvBufLen() const { return sockBufLen_; }
    void SetSockSndRcvBufLen(int32_t bytes) { sockBufLen_ = bytes; }
    TAuthModes AuthModes() const { return authModes_; }
    void SetAuthModes(TAuthModes modes);
    QString UserName() const { return userName_; }
    void SetUserName(const QString& name) { userName_ = name; }
    QString Password() const { return password_; }
    void SetPassword(const QString& password) { password_ = password; }
    QString PublicKeyPath() const { return pubKeyPath_; }
    void SetPublicKeyPath(const QString& path) { pubKeyPath_ = path; }
    QString PrivateKeyPath() const { return privKeyPath_; }
    void SetPrivateKeyPath(const QString& path) { privKeyPath_ = path; }
    QString PrivKeyPassPhrase() const { return privKeyPass_; }
    void SetPrivKeyPassPhrase(const QString& phrase) { privKeyPass_ = phrase; }
    QString ClientBanner() const { return clientBanner_; }
    void SetClientBanner(const QString& banner) { clientBanner_ = banner; }
    IHashManager* HashManager() const { return hashMgr_; }
    void SetHashManager(IHashManager* manager) { hashMgr_ = manager; }
    bool Compression() const { return compression_; }
    void SetCompression(bool on) { compression_ = on; }
    uint16_t CodePage() const { return codePage_; }
    void SetCodePage(uint16_t codePage) { codePage_ = codePage; }

    TFingerprintEvent OnFingerprint;
    TKeybInteractiveEvent OnKeybdInteractive;
    TNotifyEvent OnConnected;
    TContinueEvent OnAuthFailed;

    // Remote names and commands in CodePage: 65001 and 0 are UTF-8.
    QByteArray EncodeString(const QString& text) const;
    QString DecodeString(const QByteArray& bytes) const;

    // Raises ESSH2Exception with message, or GetLastSSHError(code) when the
    // message is empty; the text is always traced.
    [[noreturn]] void RaiseSSHError(const QString& message, int32_t code = 0);

protected:
    virtual QString ClassName() const { return QStringLiteral("TSSH2Client"); }
    _LIBSSH2_SESSION* Session() const { return session_; }
    bool CancelRaised() const { return canceled_.load(std::memory_order_acquire); }
    // Takes a cancel request back before a new operation.
    void ClearCancelRequest();
    // Shuts the socket down, so that freeing what the session holds fails
    // fast instead of waiting for a peer after a cancel.
    void AbandonConnection();
    // Clean-up after a failure must not keep the user waiting for a server
    // that stopped answering: while above 0 it shortens each call's waits.
    int32_t cleanupSeconds_ = 0;
    void Trace(const QString& line) const;

    // The retry rule: a status call is repeated while it would block, a
    // handle call while it returns none and the session would block, each
    // after a wait on the socket. Waits end on Cancel and after TimeOut
    // seconds per call, both with ESSH2Exception.
    using Deadline = std::chrono::steady_clock::time_point;
    Deadline CallDeadline() const;
    void WaitForSession(Deadline deadline);
    template <typename Call>
    int RetryStatus(Call call) {
        const Deadline deadline = CallDeadline();
        for (;;) {
            const int result = call();
            if (result != kWouldBlock) return result;
            WaitForSession(deadline);
        }
    }
    template <typename Call>
    auto RetryHandle(Call call) {
        const Deadline deadline = CallDeadline();
        for (;;) {
            auto handle = call();
            if (handle != nullptr || LastErrno() != kWouldBlock) return handle;
            WaitForSession(deadline);
        }
    }
    int LastErrno() const;
    static constexpr int kWouldBlock = -37;

    QString lastErrStr_;

private:
    struct TAbstractData {
        TSSH2Client* Client = nullptr;
        QByteArray ResponseText;
    };

    void StartLibrary();
    void OpenSocket();
    void StartSession();
    bool CheckHostKey();
    void ApplyBlockingMode();
    void ApplyKeepAlive(bool wantReply, int32_t interval);
    static int32_t LimitedSeconds(int32_t seconds);
    bool SessionAwaitsSetting() const;
    void CloseSocket();

    // Authentication rounds (ssh2_authentication.cpp).
    void Authenticate(const char* list);
    TAuthModes ParseAuthList(const QString& list);
    bool RunAuthMethods(TAuthModes modes);
    bool UserAuthTryAll();
    bool UserAuthPassword();
    bool UserAuthKeyboardInteractive();
    bool UserAuthPKey(bool force);
    bool UserAuthPKeyViaAgent();
    template <typename Method>
    bool GuardedAuth(Method method);
    void NoteAuthError(int result);
    [[noreturn]] void FinishAuth(const QString& fixedText);
    static void KbdInteractiveCallback(const char* name, int nameLength, const char* instruction,
                                       int instructionLength, int promptCount, const void* prompts,
                                       void* responses, void** abstract);

    bool debugMode_ = false;
    bool libInitialized_ = false;
    QString privKeyPass_;
    QString privKeyPath_;
    TAuthModes authModes_ = AuthModeBit(TAuthMode::amTryAll);
    QString pubKeyPath_;
    uint16_t port_ = 22;
    QString password_;
    QString host_;
    QString userName_;
    uint8_t ipVersion_ = 0;
    QString clientBanner_ = QStringLiteral("SSH-2.0-libssh2_1.8.1_DEV");
    bool connected_ = false;
    std::atomic<bool> canceled_{false};
    platform::CancelSignal cancelSignal_;
    bool blockingMode_ = true;
    bool keepAlive_ = false;
    int32_t keepAliveTimeOut_ = 10;
    int32_t timeOut_ = 90;
    int32_t sockBufLen_ = 8192;
    IHashManager* hashMgr_ = nullptr;
    int socket_ = -1;
    _LIBSSH2_SESSION* session_ = nullptr;
    uint16_t codePage_ = 65001;
    bool compression_ = false;
    QByteArray hostKeyHash_;
    TAbstractData abstract_;

    // Bookkeeping of the authentication rounds.
    QString authCurrentError_;
    QString authFirstError_;
    QString authExceptionText_;
    int authLastResult_ = 0;
};

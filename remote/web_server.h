#pragma once
// The embedded web server: one listener per ticked local address, all on one
// port, plain HTTP or TLS with a PKCS#12 certificate. Connections share one
// pool of 30 threads; a connection beyond that is closed at once. Every
// request passes one handler, which answers 503 before the main window is
// ready, keeps the cookie sessions, refuses cross-site commands and hands
// the request to the file server, the command interface or the page for
// clients the server did not register.
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "remote/web_commands.h"
#include "remote/web_files.h"
#include "remote/web_sessions.h"
#include "remote/web_snapshot.h"
#include "ui_kit/services/web_services.h"

class TIpHandling;
class TWebThreadPool;
namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// The stored settings the start reads.
struct TWebServerSettings {
    int32_t ipPort = 80;
    bool doSSL = false;
    QString certFile;
    QString keyName;  // the enciphered pass phrase of the certificate
};

struct TWebServerHooks {
    std::function<TWebServerSettings()> settings;
    // Clears the stored HTTPS option (TLS was asked for but cannot be used).
    std::function<void()> clearDoSSL;
    // Tells the user that the server could not start on port.
    std::function<void(int32_t port)> reportStartFailure;
};

struct TWebServerConfig {
    QString docsFolder;         // the web files
    int32_t tlsPort = 443;      // the port of every listener while TLS is in effect
    std::function<int64_t()> nowMs;  // the session clock; steady milliseconds when empty
    int32_t sweepIntervalMs = 250;
};

inline constexpr int32_t kWebMaxConnections = 30;
inline constexpr int32_t kWebKeepAliveSeconds = 2;
inline constexpr int32_t kWebReadTimeoutSeconds = 5;
inline constexpr size_t kWebMaxBody = 1024;

class TWebServer : public WebServices {
public:
    TWebServer(TIpHandling& ipHandling, const TWebSnapshotBoard& board, TWebCommandActions actions,
               TWebServerHooks hooks, TWebServerConfig config);
    ~TWebServer() override;

    void StartWebServer() override;
    void StopWebServer() override;
    bool WebServerActive() override;
    bool webiSessionStart(const QString& remoteHost, const QString& sessionID) override;
    void webiSessionEnd(const QString& sessionID) override;

    // The port the listeners use (0 while inactive) and whether they speak TLS.
    int32_t ListeningPort() const { return port_; }
    bool UsesTls() const { return tls_; }

private:
    struct Listener;
    bool StartListeners(const std::vector<QString>& addresses, int32_t port, bool tls, const QString& certFile,
                        const QString& password);
    std::unique_ptr<httplib::Server> NewServer(bool tls, const QString& certFile, const QString& password);
    void Configure(httplib::Server& server);
    void Answer(const httplib::Request& req, httplib::Response& res);
    void SweepLoop();

    TIpHandling& ipHandling_;
    const TWebSnapshotBoard& board_;
    TWebCommandActions actions_;
    TWebServerHooks hooks_;
    TWebServerConfig config_;
    TWebSessionTable sessions_;

    std::unique_ptr<TWebThreadPool> pool_;
    std::vector<std::unique_ptr<httplib::Server>> servers_;
    std::vector<std::thread> listenThreads_;
    std::unique_ptr<TMD5Check> hMD5_;
    std::atomic<bool> active_{false};
    int32_t port_ = 0;
    bool tls_ = false;

    std::thread sweeper_;
    std::mutex sweepLock_;
    std::condition_variable sweepWake_;
    bool sweepStop_ = false;
};

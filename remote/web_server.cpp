#include "remote/web_server.h"

#include <httplib.h>

#include <QFileInfo>

#include <sys/socket.h>

#include <chrono>

#include "remote/ip_handling.h"
#include "remote/web_thread_pool.h"
#include "remote/web_tls.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kShortestStoredKey = 4;  // a stored pass phrase must be longer than 3 characters
constexpr int32_t kServerNameText = 101;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The authority part of an Origin header ("https://host:port" gives
// "host:port"); empty for "null" and anything else without a scheme.
std::string_view OriginAuthority(std::string_view origin) {
    const size_t scheme = origin.find("://");
    return scheme == std::string_view::npos ? std::string_view() : origin.substr(scheme + 3);
}

bool SameAuthority(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A page's script may only command this server from a page of this server:
// a POST that names another origin is refused. Clients that send no Origin
// (not browsers) pass.
bool IsForeignPost(const httplib::Request& req) {
    if (req.method != "POST" || !req.has_header("Origin")) return false;
    return !SameAuthority(OriginAuthority(req.get_header_value("Origin")), req.get_header_value("Host"));
}

void Send(httplib::Response& res, TWebAnswer answer) {
    res.status = answer.status;
    if (!answer.cacheControl.empty()) res.set_header("Cache-Control", answer.cacheControl);
    if (!answer.contentEncoding.empty()) res.set_header("Content-Encoding", answer.contentEncoding);
    if (answer.body.isEmpty()) return;
    // The body leaves through a content provider of known size: the library
    // compresses only what it sends with set_content or in chunks, and the
    // encoding here is already ours.
    auto body = std::make_shared<QByteArray>(std::move(answer.body));
    res.set_content_provider(static_cast<size_t>(body->size()), answer.contentType,
                             [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return sink.write(body->constData() + offset, length);
                             });
}

TWebAnswer Status(int status) {
    TWebAnswer answer;
    answer.status = status;
    return answer;
}

}  // namespace

TWebServer::TWebServer(TIpHandling& ipHandling, const TWebSnapshotBoard& board, TWebCommandActions actions,
                       TWebServerHooks hooks, TWebServerConfig config)
    : ipHandling_(ipHandling),
      board_(board),
      actions_(std::move(actions)),
      hooks_(std::move(hooks)),
      config_(std::move(config)),
      sessions_(*this, config_.nowMs ? config_.nowMs : std::function<int64_t()>(SteadyMs)) {}

TWebServer::~TWebServer() { StopWebServer(); }

void TWebServer::StartWebServer() {
    StopWebServer();
    TWebServerSettings settings = hooks_.settings ? hooks_.settings() : TWebServerSettings();
    const bool tls = settings.doSSL && QFileInfo::exists(settings.certFile) &&
                     settings.keyName.size() >= kShortestStoredKey;
    if (!tls && settings.doSSL && hooks_.clearDoSSL) hooks_.clearDoSSL();
    const int32_t port = tls ? config_.tlsPort : settings.ipPort;

    std::vector<QString> addresses;
    for (int32_t id = 0; id < ipHandling_.GetNumIps(); ++id)
        if (ipHandling_.GetIpState(id)) addresses.push_back(ipHandling_.GetIp(id));
    if (addresses.empty()) return;

    const QString password = tls ? CertificatePassword(settings.keyName).value_or(QString()) : QString();
    if (port >= 1 && port <= 65535 && StartListeners(addresses, port, tls, settings.certFile, password)) return;
    for (int32_t id = 0; id < ipHandling_.GetNumIps(); ++id) ipHandling_.SetIpState(id, false);
    if (hooks_.reportStartFailure) hooks_.reportStartFailure(port);
}

// Every listener is bound before any listens, so an address or port that
// cannot be had fails the whole start and nothing is left half running.
bool TWebServer::StartListeners(const std::vector<QString>& addresses, int32_t port, bool tls,
                                const QString& certFile, const QString& password) {
    pool_ = std::make_unique<TWebThreadPool>(kWebMaxConnections);
    for (const QString& address : addresses) {
        std::unique_ptr<httplib::Server> server = NewServer(tls, certFile, password);
        if (!server || !server->is_valid() || !server->bind_to_port(address.toStdString(), port)) {
            servers_.clear();
            pool_.reset();
            return false;
        }
        servers_.push_back(std::move(server));
    }
    hMD5_ = std::make_unique<TMD5Check>();
    port_ = port;
    tls_ = tls;
    active_.store(true);
    for (auto& server : servers_) listenThreads_.emplace_back([s = server.get()] { s->listen_after_bind(); });
    // A stop before a listener runs would not reach it (the library's stop
    // acts on running listeners only), so the start ends once all run.
    for (auto& server : servers_)
        while (!server->is_running()) std::this_thread::yield();
    {
        std::lock_guard guard(sweepLock_);
        sweepStop_ = false;
    }
    sweeper_ = std::thread([this] { SweepLoop(); });
    return true;
}

std::unique_ptr<httplib::Server> TWebServer::NewServer(bool tls, const QString& certFile, const QString& password) {
    std::unique_ptr<httplib::Server> server;
    if (tls) {
        server = std::make_unique<httplib::SSLServer>(
            [certFile, password](SSL_CTX& ctx) { return SetupTlsContext(ctx, certFile, password); });
    } else {
        server = std::make_unique<httplib::Server>();
    }
    Configure(*server);
    return server;
}

void TWebServer::Configure(httplib::Server& server) {
    httplib::Server* self = &server;
    server.new_task_queue = [this, self] { return pool_->QueueFor(*self).release(); };
    server.set_keep_alive_timeout(kWebKeepAliveSeconds);
    server.set_read_timeout(kWebReadTimeoutSeconds, 0);
    server.set_write_timeout(kWebReadTimeoutSeconds, 0);
    server.set_payload_max_length(kWebMaxBody);
    // Headers and body leave in separate writes; without this every answer
    // would wait for the client's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    // The library would also set SO_REUSEPORT, which lets a second server
    // share the port silently; a port in use must fail the start instead.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Every request passes the pre-routing handler. A POST that announces a
    // body goes on to the route below, for which the library reads the body
    // and refuses one over the limit with 413 first; everything else,
    // a POST without a body included, is answered here.
    const auto answer = [this](const httplib::Request& req, httplib::Response& res) {
        try {
            Answer(req, res);
        } catch (...) {
            res = httplib::Response();
            res.status = 500;
        }
    };
    server.set_pre_routing_handler([answer](const httplib::Request& req, httplib::Response& res) {
        const bool hasBody = req.has_header("Content-Length") || req.has_header("Transfer-Encoding");
        if (req.method == "POST" && hasBody && mainReady.load()) return httplib::Server::HandlerResponse::Unhandled;
        answer(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Post(".*", answer);
}

void TWebServer::Answer(const httplib::Request& req, httplib::Response& res) {
    if (!mainReady.load()) {
        res.status = 503;
        return;
    }
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Server", "Veltaro");
    if (IsForeignPost(req)) return Send(res, Status(403));

    const std::optional<QString> presented = SessionCookieOf(req.get_header_value("Cookie"));
    const TWebSessionTable::Visit visit =
        sessions_.Touch(presented, QString::fromStdString(req.remote_addr));
    if (visit.opened) res.set_header("Set-Cookie", SessionCookieHeader(visit.id));
    if (!webSessions.Contains(visit.id))
        return Send(res, WebNoSessionPage(language.load(), webClientLimit.load()));

    res.headers.erase("Server");
    res.set_header("Server", GetLangText(kServerNameText).toStdString());
    const std::string acceptEncoding = req.get_header_value("Accept-Encoding");
    if (req.method == "GET") return Send(res, WebGetFile(req.path, acceptEncoding, config_.docsFolder, hMD5_.get()));
    if (req.method == "POST") {
        // Only a client that came back with the cookie of its registered
        // session may act; a cookie-less request of any page reads only.
        const bool mayAct = visit.presented;
        return Send(res, WebPostCommand(QString::fromStdString(req.path), acceptEncoding, *board_.Current(),
                                        mayAct, actions_));
    }
    res.set_header("Allow", "GET, POST");
    Send(res, Status(405));
}

void TWebServer::StopWebServer() {
    if (!active_.exchange(false)) return;
    for (auto& server : servers_) server->stop();
    for (std::thread& t : listenThreads_) t.join();
    listenThreads_.clear();
    {
        std::lock_guard guard(sweepLock_);
        sweepStop_ = true;
    }
    sweepWake_.notify_all();
    sweeper_.join();
    // The pool finishes the connections it holds before the listeners they
    // belong to go.
    pool_.reset();
    servers_.clear();
    sessions_.EndAll();
    hMD5_.reset();
    port_ = 0;
    tls_ = false;
}

bool TWebServer::WebServerActive() { return active_.load(); }

bool TWebServer::webiSessionStart(const QString& remoteHost, const QString& sessionID) {
    TWebSession session;
    session.ipAddress = remoteHost;
    session.connected = CorrectedNow();
    session.sessionID = sessionID;
    session.clientId = sessionID;
    session.clientMode = 1;
    if (!webSessions.AddUnlessFull(session, webClientLimit.load())) return false;
    PostMainNotify(kNotifyWebClients, 1);
    return true;
}

void TWebServer::webiSessionEnd(const QString& sessionID) {
    webSessions.RemoveLast(sessionID);
    PostMainNotify(kNotifyWebClients, 1);
}

void TWebServer::SweepLoop() {
    std::unique_lock guard(sweepLock_);
    while (!sweepStop_) {
        sweepWake_.wait_for(guard, std::chrono::milliseconds(config_.sweepIntervalMs));
        if (sweepStop_) break;
        guard.unlock();
        sessions_.Sweep();
        guard.lock();
    }
}

#pragma once
// A web server on loopback with a recording main window, a settable session
// clock, and curl as the client.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "remote/ip_handling.h"
#include "remote/web_server.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

inline QCoreApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A port nobody listens on right now.
inline int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

struct CurlAnswer {
    int status = 0;
    QByteArray headers;
    QByteArray body;
    int exitCode = -1;
    QByteArray Header(const char* name) const {
        for (const QByteArray& line : headers.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

inline CurlAnswer RunCurl(QStringList args) {
    QTemporaryDir dir;
    const QString headers = dir.filePath(QStringLiteral("h")), body = dir.filePath(QStringLiteral("b"));
    args << QStringLiteral("-s") << QStringLiteral("-D") << headers << QStringLiteral("-o") << body
         << QStringLiteral("--max-time") << QStringLiteral("20");
    QProcess curl;
    curl.start(QStringLiteral("curl"), args);
    curl.waitForFinished(30000);
    CurlAnswer a;
    a.exitCode = curl.exitCode();
    QFile h(headers), b(body);
    if (h.open(QIODevice::ReadOnly)) a.headers = h.readAll();
    if (b.open(QIODevice::ReadOnly)) a.body = b.readAll();
    const QList<QByteArray> first = a.headers.split('\n').value(0).split(' ');
    a.status = first.value(1).toInt();
    return a;
}

class WebServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        language = kLangEnglish;
        webClientLimit = 10;
        webSessions.Clear();
        mainWnd = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t arg) {
            if (msg == WM_MAIN_NOTIFY) received.emplace_back(code, arg);
        });
        mainReady = true;
        port = FreeLoopbackPort();
        tlsPort = FreeLoopbackPort();
        settings.ipPort = port;
    }

    void TearDown() override {
        server.reset();
        mainReady = false;
        platform::UnregisterWindow(mainWnd.exchange(0));
        webSessions.Clear();
    }

    // A server on the given addresses, the first n of them ticked.
    void MakeServer(std::vector<QString> addresses = {QStringLiteral("127.0.0.1")}) {
        std::vector<TnetInfo> list;
        for (const QString& a : addresses) {
            TnetInfo e;
            e.ipV4 = a;
            e.selected = true;
            list.push_back(e);
        }
        ips = std::make_unique<TIpHandling>(list);
        TWebCommandActions actions;
        actions.post = [this](platform::WindowHandle w, uintptr_t code, intptr_t arg) {
            std::lock_guard guard(postLock);
            posts.push_back({w, code, arg});
        };
        actions.resetFindPeak = [this] { ++resets; };
        TWebServerHooks hooks;
        hooks.settings = [this] { return settings; };
        hooks.clearDoSSL = [this] { settings.doSSL = false; };
        hooks.reportStartFailure = [this](int32_t p) { failedPorts.push_back(p); };
        TWebServerConfig config;
        config.docsFolder = QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs");
        config.tlsPort = tlsPort;
        config.nowMs = [this] { return nowMs.load(); };
        config.sweepIntervalMs = 20;
        server = std::make_unique<TWebServer>(*ips, board, actions, hooks, config);
    }

    QString Url(const char* path, bool https = false) const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(https ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(https ? tlsPort : port)
            .arg(QLatin1String(path));
    }

    // curl keeping its cookies in jar.
    CurlAnswer Get(const QString& jar, const char* path) {
        return RunCurl({QStringLiteral("-c"), jar, QStringLiteral("-b"), jar, Url(path)});
    }
    CurlAnswer PostTo(const QString& jar, const char* path, QStringList extra = {}) {
        QStringList args{QStringLiteral("-X"), QStringLiteral("POST"), Url(path)};
        if (!jar.isEmpty()) args << QStringLiteral("-c") << jar << QStringLiteral("-b") << jar;
        return RunCurl(args + extra);
    }

    int Count53() {
        QCoreApplication::processEvents();
        int n = 0;
        for (const auto& r : received) n += r.first == kNotifyWebClients ? 1 : 0;
        return n;
    }

    // Waits (processing events) until done holds; false after 10 s.
    template <typename Done>
    bool WaitFor(Done done) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > 10000) return false;
            QCoreApplication::processEvents();
            std::this_thread::yield();
        }
        return true;
    }

    struct Post {
        platform::WindowHandle window;
        uintptr_t code;
        intptr_t argument;
    };
    std::vector<Post> Posts() {
        std::lock_guard guard(postLock);
        return posts;
    }

    int port = 0;
    int tlsPort = 0;
    TWebServerSettings settings;
    std::atomic<int64_t> nowMs{1000000};
    std::unique_ptr<TIpHandling> ips;
    TWebSnapshotBoard board;
    std::unique_ptr<TWebServer> server;
    std::vector<int32_t> failedPorts;
    std::vector<std::pair<uintptr_t, intptr_t>> received;
    std::mutex postLock;
    std::vector<Post> posts;
    std::atomic<int> resets{0};
    QTemporaryDir tmp;
};

#pragma once
// A web server on loopback with a recording main window, a settable session
// clock, and curl as the client.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>


#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "remote/ip_handling.h"
#include "support/web_client.h"
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

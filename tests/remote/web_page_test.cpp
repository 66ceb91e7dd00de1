#include <httplib.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include <chrono>
#include <thread>

#include "remote/chromium_pipe.h"
#include "remote/web_server_fixture.h"

namespace {

constexpr platform::WindowHandle kCalWindow = 77;

class WebPage : public WebServerFixture {
protected:
    void StartOnRealClock() {
        MakeServer();
        TWebServerConfig config;
        config.docsFolder = QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs");
        TWebServerHooks hooks;
        hooks.settings = [this] { return settings; };
        TWebCommandActions actions;
        actions.post = [this](platform::WindowHandle w, uintptr_t code, intptr_t arg) {
            std::lock_guard guard(postLock);
            posts.push_back({w, code, arg});
        };
        server = std::make_unique<TWebServer>(*ips, board, actions, hooks, config);
        server->StartWebServer();
        ASSERT_TRUE(server->WebServerActive());
    }

    static TWebSnapshot Levels(int n) {
        TWebSnapshot s;
        for (int i = 0; i < 8; ++i) {
            s.feldWert[i] = QStringLiteral("%1.%2;dB").arg(90 + i).arg(n % 10);
            s.feldLabel[i] = QStringLiteral("LAeq %1").arg(i);
            s.statusWert[i] = n;
            s.statusLabel[i] = 1;
            s.statusColor[i] = i % 6;
        }
        s.statusMessung = 2;
        s.blocks = n;
        s.eventName = QStringLiteral("Festival <Main Stage>");
        return s;
    }

    int CalNextPosts() {
        int n = 0;
        for (const Post& p : Posts()) n += p.code == 267 && p.window == kCalWindow ? 1 : 0;
        return n;
    }

    // Runs chromium once with switches and answers its standard output,
    // while the snapshot keeps changing.
    QByteArray RunChromium(const QStringList& switches) {
        QTemporaryDir profile;
        QProcess chromium;
        chromium.start(QStringLiteral("chromium"), ChromiumSwitches(profile.path()) + switches);
        int n = 0;
        while (!chromium.waitForFinished(20)) {
            board.Publish(Levels(++n));
            if (chromium.state() == QProcess::NotRunning) break;
        }
        return chromium.readAllStandardOutput();
    }
};

TEST_F(WebPage, ThePageShowsChangingValuesAndDayAndNightScreenshots) {
    StartOnRealClock();
    board.Publish(Levels(0));
    const QByteArray dom = RunChromium({QStringLiteral("--dump-dom"), QStringLiteral("--virtual-time-budget=3000"),
                                        Url("/")});
    const QString text = QString::fromUtf8(dom);
    // The fields show values published after the page loaded (the first
    // snapshot ends in ".0" everywhere), with units and labels; the markup
    // in the event name stays text.
    QStringList decimals;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("<span class=\"value\"[^>]*>9\\d\\.(\\d)</span><span class=\"unit\"[^>]*>dB</span>"))
            .globalMatch(text);
    while (it.hasNext()) decimals << it.next().captured(1);
    ASSERT_EQ(decimals.size(), 8) << dom.left(4000).toStdString();
    EXPECT_NE(decimals.join(QString()), QStringLiteral("00000000"));
    EXPECT_TRUE(text.contains(QStringLiteral("LAeq 0")));
    EXPECT_TRUE(text.contains(QStringLiteral("Festival &lt;Main Stage&gt;")));
    EXPECT_TRUE(text.contains(QStringLiteral("class=\"field over blink\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("Measuring")));
    EXPECT_GE(Count53(), 1);

    for (const char* scheme : {"day", "night"}) {
        const QString file = QStringLiteral(VELTARO_BINARY_DIR "/web_page_%1.png").arg(QLatin1String(scheme));
        QFile::remove(file);
        RunChromium({QStringLiteral("--screenshot=") + file, QStringLiteral("--window-size=1000,700"),
                     QStringLiteral("--virtual-time-budget=3000"),
                     Url(QStringLiteral("/?scheme=%1").arg(QLatin1String(scheme)).toLatin1().constData())});
        const QImage shot(file);
        ASSERT_FALSE(shot.isNull()) << scheme;
        // The background follows the scheme: light by day, dark at night.
        const int lightness = QColor(shot.pixel(shot.width() - 5, shot.height() - 5)).lightness();
        if (QLatin1String(scheme) == QLatin1String("day"))
            EXPECT_GT(lightness, 200);
        else
            EXPECT_LT(lightness, 60);
    }
}

TEST_F(WebPage, AClickOnCalibrationNextPostsOnceAndAForeignPageCannotCommand) {
    StartOnRealClock();
    TWebSnapshot s;
    s.statusMessung = 3;
    s.kalStatus = 2;
    s.cal.open = s.cal.ipEnabled = true;
    s.cal.window = kCalWindow;
    s.cal.crestFactor = 1.4;
    board.Publish(s);

    // Another site's page on another port of the same host: the browser
    // sends the session cookie along (same site), so only the Origin check
    // stands between it and the wizard.
    httplib::Server evil;
    const int evilPort = evil.bind_to_any_port("127.0.0.1");
    const std::string evilPage =
        "<!DOCTYPE html><html><body><script>"
        "fetch('http://127.0.0.1:" + std::to_string(port) + "/KALNEXT',"
        "{method:'POST',mode:'no-cors',credentials:'include'})"
        ".then(function(){document.title='sent';},function(){document.title='sent';});"
        "</script></body></html>";
    evil.Get("/", [&](const httplib::Request&, httplib::Response& res) { res.set_content(evilPage, "text/html"); });
    std::thread evilThread([&] { evil.listen_after_bind(); });

    {
        ChromiumPipe chrome(Url("/"));
        ASSERT_TRUE(chrome.Started());
        const QString page = chrome.AttachFirstPage();
        ASSERT_FALSE(page.isEmpty());
        ASSERT_TRUE(chrome.WaitUntil(page, QStringLiteral(
            "!!document.getElementById('kalPanel') && "
            "!document.getElementById('kalPanel').classList.contains('hidden')")));
        // The page still lays itself out while its first answers come in, so
        // a press can land beside a button that moved; the click is aimed
        // again only when the button verifiably saw none.
        chrome.Evaluate(page, QStringLiteral(
            "window.kalClicks=0;document.getElementById('kalNext')"
            ".addEventListener('click',function(){window.kalClicks++;},true);true"));
        for (int aim = 0; aim < 10 && chrome.Evaluate(page, QStringLiteral("window.kalClicks")).toInt() == 0; ++aim) {
            const QJsonObject box = chrome.Evaluate(page, QStringLiteral(
                "(function(){var b=document.getElementById('kalNext');b.scrollIntoView();"
                "var r=b.getBoundingClientRect();"
                "return {x:r.x+r.width/2,y:r.y+r.height/2};})()")).toObject();
            for (const char* type : {"mousePressed", "mouseReleased"}) {
                chrome.Call(QStringLiteral("Input.dispatchMouseEvent"),
                            {{QStringLiteral("type"), QLatin1String(type)},
                             {QStringLiteral("x"), box.value(QStringLiteral("x"))},
                             {QStringLiteral("y"), box.value(QStringLiteral("y"))},
                             {QStringLiteral("button"), QStringLiteral("left")},
                             {QStringLiteral("clickCount"), 1}},
                            page);
            }
        }
        ASSERT_EQ(chrome.Evaluate(page, QStringLiteral("window.kalClicks")).toInt(), 1);
        ASSERT_TRUE(chrome.WaitUntil(page, QStringLiteral("!document.getElementById('kalNext').disabled"),
                                     [] { std::this_thread::yield(); }));
        // A slow build may still have the request on its way.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (CalNextPosts() < 1 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
        // The page keeps polling; still one post.
        ASSERT_TRUE(chrome.WaitUntil(page, QStringLiteral(
            "new Promise(function(r){setTimeout(function(){r(true);},600);})")));
        EXPECT_EQ(CalNextPosts(), 1);

        chrome.Call(QStringLiteral("Page.navigate"),
                    {{QStringLiteral("url"), QStringLiteral("http://127.0.0.1:%1/").arg(evilPort)}}, page);
        EXPECT_TRUE(chrome.WaitUntil(page, QStringLiteral("document.title === 'sent'")));
        EXPECT_EQ(CalNextPosts(), 1);
    }
    evil.stop();
    evilThread.join();
}

}  // namespace

#include "main/main_window_fixture.h"

#include <httplib.h>

#include "calibration/calibration_wizard.h"
#include "main/web_display.h"
#include "remote/ip_handling.h"
#include "remote/web_server.h"
#include "support/web_client.h"
#include "support/when_shown.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/web_services.h"

namespace {

using test_support::ProcessUntil;

class WebDisplayConcurrent : public test_support::MainWindowConcurrent {
protected:
    // Ticks the loopback address in the stored settings, as the options
    // would, and puts the server on a free port.
    void TickLoopback() {
        const std::vector<TnetInfo> entries = TIpHandling().Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].ipV4 == QLatin1String("127.0.0.1")) mask = 1u << (i % 32);
        ASSERT_NE(mask, 0u);
        port = FreeLoopbackPort();
        WriteSettings([this](platform::Registry& reg) {
            reg.WriteInteger("UseIps", static_cast<int32_t>(mask));
            reg.WriteInteger("IpPort", port);
        });
        // The web files beside the program are those of the build.
        platform::SetKnownFolderOverride(platform::KnownFolder::ProgramFolder, QStringLiteral(VELTARO_BINARY_DIR));
    }
    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path); }

    uint32_t mask = 0;
    int port = 0;
};

TEST_F(WebDisplayConcurrent, TheServerStartsOnTheStoredAddressAndAnswersFromTheWindowsDisplays) {
    TickLoopback();
    Start();
    ASSERT_NE(window->WebDisplay(), nullptr);
    EXPECT_EQ(webServices(), &window->WebDisplay()->Server());
    EXPECT_EQ(ipHandling.load(), &window->WebDisplay()->IpHandling());
    ASSERT_TRUE(webServices()->WebServerActive());

    const QString jar = dir.filePath(QStringLiteral("jar"));
    const CurlAnswer page = RunCurl({QStringLiteral("-c"), jar, QStringLiteral("-b"), jar, Url("/")});
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("<title>Veltaro</title>"));
    EXPECT_TRUE(ProcessUntil([this] { return Saw(kNotifyWebClients); }));

    // The answer is the display field's text as the window last drew it
    // ("---" while it drew none).
    QByteArray answer;
    QString shown;
    EXPECT_TRUE(ProcessUntil([&] {
        shown = window->DisplayAreas()->Caches().aFeldWert[0];
        answer = RunCurl({QStringLiteral("-b"), jar, QStringLiteral("-X"), QStringLiteral("POST"), Url("/GETWERT0")})
                     .body;
        return answer == (shown.isEmpty() ? QByteArray("---") : shown.toUtf8());
    })) << shown.toStdString() << " / " << answer.toStdString();
    const CurlAnswer status =
        RunCurl({QStringLiteral("-b"), jar, QStringLiteral("-X"), QStringLiteral("POST"), Url("/GETSTATUS")});
    EXPECT_EQ(status.status, 200);
    EXPECT_EQ(status.body.split(';').value(9).toInt(), window->Fields().statusMessung.load());

    Exit();
    EXPECT_EQ(webServices(), nullptr);
    EXPECT_EQ(ipHandling.load(), nullptr);
    EXPECT_NE(RunCurl({Url("/")}).exitCode, 0);
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(static_cast<uint32_t>(reg.ReadInteger("UseIps").value_or(0)), mask);
}

TEST_F(WebDisplayConcurrent, AFailedStartTellsTheUserAndUnticksTheAddresses) {
    TickLoopback();
    // Someone else holds the port.
    httplib::Server other;
    ASSERT_TRUE(other.bind_to_port("127.0.0.1", port));
    dialogs.ScriptMessage(platform::kMessageRight);
    Start();
    EXPECT_FALSE(webServices()->WebServerActive());
    EXPECT_FALSE(window->WebDisplay()->IpHandling().IsUseIp());
    bool named = false;
    for (const QString& text : MessageTexts()) named = named || text.contains(QString::number(port));
    EXPECT_TRUE(named);
    Exit();
}

// The open calibration wizard reaches the status line, and the remote
// commands reach the wizard only once its remote control is ticked.
TEST_F(WebDisplayConcurrent, TheCalibrationWizardIsSeenAndDrivenFromABrowser) {
    TickLoopback();
    Start();
    ASSERT_TRUE(webServices()->WebServerActive());
    const QString jar = dir.filePath(QStringLiteral("jar"));
    ASSERT_EQ(RunCurl({QStringLiteral("-c"), jar, QStringLiteral("-b"), jar, Url("/")}).status, 200);
    auto post = [&](const char* path) {
        return RunCurl({QStringLiteral("-b"), jar, QStringLiteral("-X"), QStringLiteral("POST"), Url(path)}).body;
    };
    auto click = [](TPaintBox32* box) { gui_test::Click(box, QPoint(box->width() / 2, box->height() / 2)); };

    bool shown = false;
    test_support::WhenShown<TKalibrierung>([&](TKalibrierung* w) {
        shown = true;
        click(w->pbRechts());  // description -> nominal level
        click(w->pbRechts());  // -> connect page
        ASSERT_EQ(w->Core().Step(), 9);
        ASSERT_TRUE(w->pbUseIpControl()->isVisible());
        // Not ticked: the browser's "next" does nothing.
        post("/KALNEXT");
        QCoreApplication::processEvents();
        EXPECT_FALSE(w->Core().LevelTimerOn());
        click(w->pbUseIpControl());
        EXPECT_TRUE(ProcessUntil([this] { return window->Fields().statusMessung.load() == 3; }));
        QStringList fields;
        EXPECT_TRUE(ProcessUntil([&] {
            fields = QString::fromUtf8(post("/GETSTATUS")).split(QLatin1Char(';'));
            // After the length: 8 counters, the run state, 8 colours, 8 labels,
            // blocks, info, then the wizard's status and its four values.
            return fields.size() > 32 && fields.value(9).toInt() == 3 && fields.value(32).toInt() == 1;
        })) << fields.join(QLatin1Char(';')).toStdString();
        EXPECT_EQ(fields.value(28).toInt(), 0) << "ready to start with the calibrator";
        post("/KALNEXT");
        EXPECT_TRUE(ProcessUntil([w] { return w->Core().LevelTimerOn(); }));
        post("/KALCANCEL");
    });
    window->DoKalibrierung(true, false);
    EXPECT_TRUE(shown);
    EXPECT_NE(window->Fields().statusMessung.load(), 3);
    Exit();
}

}  // namespace

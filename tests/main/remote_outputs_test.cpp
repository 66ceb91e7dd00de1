// The window's remote outputs: the DMX data and the time-server client live
// as long as the window, follow the stored settings and are reached through
// the window's operations and notifications.
#include <gtest/gtest.h>

#include "main/main_window_fixture.h"
#include "remote/dmx_data.h"
#include "support/sntp_responder.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/time_server_services.h"

namespace {

using test_support::MainWindowConcurrent;
using test_support::ProcessUntil;

TEST_F(MainWindowConcurrent, RemoteOutputsLiveWithTheWindow) {
    WriteSettings([](platform::Registry& reg) {
        reg.WriteString("DMX_IP", "10.1.1.1");
        reg.WriteInteger("DMX_UNI", 3);
        reg.WriteBool("DMX_USE", false);
        reg.WriteString("tsHost", "time.example.invalid");
        reg.WriteBool("SyncWebTime", true);
    });
    Start();
    ASSERT_NE(dmxData.load(), nullptr);
    EXPECT_EQ(dmxData.load()->GetIp(), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(dmxData.load()->GetSubUni(), 3);
    ASSERT_EQ(timeServerServices(), window->TimeServer());
    EXPECT_EQ(timeServerServices()->TimeServerHost(), QStringLiteral("time.example.invalid"));
    // The settings apply synchronised with a server that cannot be found.
    EXPECT_FALSE(window->Settings().syncWebTime);
    EXPECT_EQ(ClockOffset(), 0);
    // The start's one dark packet reaches the Art-Net output, which is off.
    ASSERT_TRUE(ProcessUntil([this] { return Saw(kNotifyArtNetSetup); }));
    EXPECT_FALSE(window->ArtNet()->Running());

    dmxData.load()->SetUniverse(9);
    dmxData.load()->UpdateVal(17, 4, 44);
    ASSERT_TRUE(window->SaveSettings());
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
        EXPECT_EQ(reg.ReadInteger("DMX_UNI"), 9);
        EXPECT_EQ(static_cast<uint8_t>(reg.ReadBinaryData("DMX Warn")->at(4)), 44);
    }
    EXPECT_EQ(window->GetLimitState(kLimitQuantityPeak), -1);
    EXPECT_EQ(window->GetLimitState(7), -1);
    window.reset();
    EXPECT_EQ(dmxData.load(), nullptr);
    EXPECT_EQ(timeServerServices(), nullptr);
}

TEST_F(MainWindowConcurrent, SyncWebTimeTakesTheServersOffset) {
    WriteSettings([](platform::Registry& reg) {
        reg.WriteString("tsHost", "127.0.0.1");
        reg.WriteBool("SyncWebTime", false);  // no wait for a server at the start
    });
    Start();
    test_support::Responder responder;
    responder.script = [](const QByteArray& request) {
        return std::vector<test_support::Reply>{{test_support::ServerReply(request, 2000, UncorrectedUtcNow())}};
    };
    window->TimeServer()->SetPort(responder.Port());
    window->Settings().syncWebTime = true;
    window->SyncWebTime();
    EXPECT_EQ(responder.requests, 1);
    // The test's own clock moves on during the exchange: a few milliseconds.
    EXPECT_NEAR(static_cast<double>(ClockOffset()), 2000.0, 100.0);
    window->Settings().syncWebTime = false;
    window->SyncWebTime();
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_EQ(responder.requests, 1);
    EXPECT_EQ(window->CheckTsHost(QStringLiteral("no-server.invalid")), 0);
}

}  // namespace

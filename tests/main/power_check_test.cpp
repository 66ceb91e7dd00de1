// The power check of the program against a UPower of the test's own on a
// private bus: a warning at start while on battery, and again at every change
// of the power source to battery.
#include <gtest/gtest.h>

#include "main_window_fixture.h"
#include "platform/system_bus.h"
#include "support/peers.h"
#include "ui_kit/text_table.h"

namespace {

using test_support::ProcessUntil;

using PowerCheckConcurrent = test_support::MainWindowConcurrent;

TEST_F(PowerCheckConcurrent, OnBatteryTheUserIsWarnedAtStartAndAtEachChangeOfThePowerSource) {
    if (!peers::HaveDbusDaemon()) GTEST_SKIP() << "no dbus-daemon: the test peers are not installed";
    peers::PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty());
    peers::PeerProcess upower;
    ASSERT_TRUE(peers::StartReadyPeer(upower, QStringLiteral("fake_upower"),
                                      {"--address", bus.Address(), "--on-battery", "--warning-level", "4"}));
    platform::SetSystemBusAddress(bus.Address());
    auto warnings = [&] {
        const auto all = dialogs.messages();
        return std::count_if(all.begin(), all.end(), [](const auto& m) { return m.text.contains(GetLangText(1184)); });
    };
    Start();
    EXPECT_EQ(warnings(), 1);
    const std::vector<QString> texts = MessageTexts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& text) {
        return text.startsWith(GetLangText(1185));  // the battery is critical
    }));
    EXPECT_TRUE(window->IsOnBattery());
    upower.Write("OnBattery false");
    ASSERT_EQ(upower.ReadLine(), QStringLiteral("ok"));
    ASSERT_TRUE(ProcessUntil([&] { return !window->IsOnBattery(); }));
    upower.Write("OnBattery true");
    ASSERT_EQ(upower.ReadLine(), QStringLiteral("ok"));
    ASSERT_TRUE(ProcessUntil([&] { return warnings() == 2; }));
    Exit();
    platform::SetSystemBusAddress(QString());
}

}  // namespace

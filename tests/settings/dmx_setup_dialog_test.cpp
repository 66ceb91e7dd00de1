// The DMX scene editor: every value it shows reaches the DMX data at once,
// from the slider, the keys and the value menu, and from there the lights
// (a node on loopback); a cancelled edit from the options page takes the
// scene back.
#include <gtest/gtest.h>

#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QSlider>

#include "platform/window_messages.h"
#include "remote/art_net_control.h"
#include "remote/art_net_drive.h"
#include "remote/dmx_data.h"
#include "remote/udp_peer.h"
#include "settings/dmx_setup_dialog.h"
#include "settings/modal_runner.h"
#include "settings/options_dialog.h"
#include "support/fake_main_window.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kWarnScene = 17;

class DmxSetup : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        dmxData.store(&dmx);
    }
    void TearDown() override {
        dmxData.store(nullptr);
        SetModalRunner<TDMXSetup>({});
    }
    void Key(TDMXSetup& editor, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(&editor, &press);
    }
    TDMXData dmx;
};

TEST_F(DmxSetup, ASliderDragSendsEveryValueOnTheWay) {
    TDMXSetup editor(nullptr, 96);
    editor.Init(kWarnScene);
    editor.SelectChannel(7);
    QSlider* slider = editor.ValueSlider();
    EXPECT_EQ(slider->value(), 255);
    for (int position = 254; position >= 0; --position) {
        slider->setValue(position);
        ASSERT_EQ(dmx.GetData(kWarnScene)[7], 255 - position) << position;
        ASSERT_EQ(editor.Value(7), 255 - position);
    }
    EXPECT_EQ(editor.windowTitle(), GetLangText(905) + ": " + GetLangText(900));
}

TEST_F(DmxSetup, KeysStepValuesAndMoveThroughTheChannels) {
    TDMXSetup editor(nullptr, 96);
    editor.Init(kWarnScene);
    Key(editor, Qt::Key_Up, Qt::ShiftModifier);
    Key(editor, Qt::Key_Up);
    EXPECT_EQ(dmx.GetData(kWarnScene)[0], 11);
    EXPECT_EQ(editor.ValueSlider()->value(), 244);
    Key(editor, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(dmx.GetData(kWarnScene)[0], 0);
    Key(editor, Qt::Key_F);
    EXPECT_EQ(dmx.GetData(kWarnScene)[0], 255);
    Key(editor, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor.SelectedChannel(), 100);
    EXPECT_EQ(editor.ViewStart(), 30);
    Key(editor, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(editor.SelectedChannel(), 90);
    Key(editor, Qt::Key_Left);
    EXPECT_EQ(editor.SelectedChannel(), 89);
    editor.SelectChannel(511);
    Key(editor, Qt::Key_Right);
    EXPECT_EQ(editor.SelectedChannel(), 511);
    EXPECT_EQ(editor.ViewStart(), 440);
    editor.SetSelectedValue(128);
    EXPECT_EQ(dmx.GetData(kWarnScene)[511], 128);
    editor.ResetAllChannels();
    const auto scene = dmx.GetData(kWarnScene);
    EXPECT_TRUE(std::all_of(scene.begin(), scene.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(DmxSetup, CancelFromTheOptionsPageTakesTheSceneBack) {
    dmx.UpdateVal(kWarnScene, 3, 50);
    TvtpOptionen options(nullptr, {}, 96);
    SetModalRunner<TDMXSetup>([](TDMXSetup& editor) {
        editor.SelectChannel(3);
        editor.ChangeValue(100);
        EXPECT_EQ(dmxData.load()->GetData(kWarnScene)[3], 150);
        return 2;
    });
    options.EditDmxScene(kWarnScene);
    EXPECT_EQ(dmx.GetData(kWarnScene)[3], 50);
    SetModalRunner<TDMXSetup>([](TDMXSetup& editor) {
        editor.SelectChannel(3);
        editor.ChangeValue(1);
        return 1;
    });
    options.EditDmxScene(kWarnScene);
    EXPECT_EQ(dmx.GetData(kWarnScene)[3], 51);
}

// The output sends to a node played on 127.0.0.2; the main window's part,
// passing the setup notifications on to the output, is played here too.
TEST_F(DmxSetup, AnEditedValueIsInTheNextArtDmxAndCancelDarkensAndTakesItBack) {
    using test_support::Ip;
    using test_support::Peer;
    test_support::FakeMainWindow window;
    RegisterMainWindowServices(&window);
    dmx.SetIp("127.0.0.2");
    dmx.SetUseIt(true);
    dmx.UpdateVal(kWarnScene, 3, 50);
    const uint16_t port = Peer("127.0.0.1", 0, false).Port();
    Peer node("127.0.0.2", port, true);
    ASSERT_TRUE(node.Bound());
    TArtNetConfig config;
    config.port = port;
    config.localAddresses = std::vector<in_addr>{Ip("127.0.0.1")};
    config.pollDestination = Ip("127.0.0.2");
    config.timers = false;  // the test gives the send ticks
    TArtNetDrive drive(config);
    mainWnd.store(platform::RegisterWindow([&drive](uint32_t msg, uintptr_t code, intptr_t argument) {
        if (msg == WM_MAIN_NOTIFY && code == kNotifyArtNetSetup) drive.SetArtNetSetupMode(static_cast<int32_t>(argument));
    }));
    mainReady.store(true);
    drive.StartArtNet();
    ASSERT_TRUE(drive.Running());
    ASSERT_EQ(node.Receive(), TArtNetControl::GetPoll());
    // An unchanged scene goes out again within the repeat ticks.
    const auto nextArtDmx = [&] {
        for (int tick = 0; tick <= TArtNetDrive::kRepeatTicks + 1; ++tick) {
            drive.SendArtNetDmx(false);
            if (const QByteArray packet = node.ReadNow(); !packet.isEmpty()) return packet;
        }
        return QByteArray();
    };
    const auto channel = [](const QByteArray& packet, int index) {
        return packet.size() == kArtDmxSize ? static_cast<uint8_t>(packet[kArtDmxSize - 512 + index]) : -1;
    };

    TvtpOptionen options(nullptr, {}, 96);
    SetModalRunner<TDMXSetup>([&](TDMXSetup& editor) {
        EXPECT_EQ(channel(node.Receive(), 3), 50) << "the edited scene is shown at once";
        editor.SelectChannel(3);
        editor.ChangeValue(100);
        EXPECT_EQ(channel(nextArtDmx(), 3), 150);
        editor.ValueSlider()->setValue(255 - 7);
        EXPECT_EQ(channel(nextArtDmx(), 3), 7);
        return 2;
    });
    options.EditDmxScene(kWarnScene);
    const QByteArray dark = node.Receive();
    ASSERT_EQ(dark.size(), kArtDmxSize);
    EXPECT_EQ(dark.mid(kArtDmxSize - 512), QByteArray(512, '\0')) << "back to every channel at 0";
    EXPECT_EQ(dmx.GetData(kWarnScene)[3], 50);

    drive.StopArtNet();
    mainReady.store(false);
    platform::UnregisterWindow(mainWnd.exchange(0));
    RegisterMainWindowServices(nullptr);
}

TEST_F(DmxSetup, Screenshots) {
    dmx.UpdateVal(kWarnScene, 0, 255);
    dmx.UpdateVal(kWarnScene, 5, 64);
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        TDMXSetup editor(nullptr, 96);
        editor.Init(kWarnScene);
        editor.SelectChannel(12);
        editor.show();
        EXPECT_TRUE(editor.grab().toImage().save(test_support::ScreenshotPath(QStringLiteral("dmx_setup_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace

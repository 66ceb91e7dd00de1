// The DMX scene editor: every value it shows reaches the DMX data at once,
// from the slider, the keys and the value menu, and a cancelled edit from
// the options page takes the scene back.
#include <gtest/gtest.h>

#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QSlider>

#include "remote/dmx_data.h"
#include "settings/dmx_setup_dialog.h"
#include "settings/modal_runner.h"
#include "settings/options_dialog.h"
#include "ui_kit/gui_test_app.h"
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

TEST_F(DmxSetup, Screenshots) {
    dmx.UpdateVal(kWarnScene, 0, 255);
    dmx.UpdateVal(kWarnScene, 5, 64);
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        TDMXSetup editor(nullptr, 96);
        editor.Init(kWarnScene);
        editor.SelectChannel(12);
        editor.show();
        const QString out = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR") ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                                                                               : QDir::currentPath();
        EXPECT_TRUE(editor.grab().toImage().save(QDir(out).filePath(QStringLiteral("dmx_setup_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace

// The wizard's window: what its drawn boxes show, the step list, and a
// picture of every page, of the log table, the remark editor and the two
// pre-start dialogs in both colour schemes (written to the build folder).
#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStackedWidget>

#include <functional>

#include "calibration/calibration_log.h"
#include "calibration/calibration_log_edit.h"
#include "calibration/calibration_table.h"
#include "calibration/calibration_wizard.h"
#include "calibration/pre_start_dialogs.h"
#include "support/fake_wizard_host.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using Core = TKalibrierungCore;
using test_support::FakeWizardHost;

class WizardWindow : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { SetColorScheme(kSchemeLight); }

    static void Shot(QWidget& widget, const QString& name) {
        const QString folder = QStringLiteral(VELTARO_BINARY_DIR "/screenshots");
        QDir().mkpath(folder);
        widget.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

    FakeWizardHost host;
};

TEST_F(WizardWindow, CrestBoxColoursAndProgressText) {
    const std::vector<std::pair<double, TColor32>> crests = {
        {2.8, clGreen32}, {3.2, clGreen32}, {2.0, clYellow32}, {4.0, clYellow32}, {4.1, clRed32}, {1.9, clRed32}};
    for (const auto& [crest, colour] : crests) EXPECT_EQ(TKalibrierung::CrestColor(crest), colour) << crest;
    EXPECT_EQ(TKalibrierung::CrestText(120.0), QStringLiteral("---"));
    EXPECT_EQ(TKalibrierung::CrestText(3.04), QStringLiteral("3.0"));

    TKalibrierung w(host, nullptr, nullptr);
    w.SetMode(0, 94.0, 0, 0, 110.0, 1, false, 0, 0, 0);
    Core& core = w.Core();
    core.RightButtonCommand();
    core.RightButtonCommand();
    core.RightButtonCommand();
    for (int i = 0; i < 8; ++i) core.LevelTick();
    core.RightButtonCommand();
    ASSERT_TRUE(core.RunTimerOn());
    EXPECT_EQ(w.ProgressText(), QStringLiteral("25s Remaining"));
    for (int i = 0; i < 96; ++i) core.RunTick();
    EXPECT_EQ(w.ProgressText(), QStringLiteral("1s Remaining"));
    for (int i = 0; i < 4; ++i) core.RunTick();
    EXPECT_EQ(w.ProgressText(), QStringLiteral("0s Remaining"));
}

TEST_F(WizardWindow, StepListShowsTheStepsOfTheRun) {
    struct Case {
        const char* name;
        int32_t calMode, kind, kalPos;
        bool showVgl;
        std::function<void(Core&)> then;
        std::vector<int32_t> visible;
        int32_t marked;
    };
    const std::vector<Case> cases = {
        {"one mic, calibrator", 0, 0, 1, false, [](Core&) {}, {1, 2, 3, 6, 7, 8}, 1},
        {"one mic, meter", 0, 1, 1, false, [](Core&) {}, {0, 1, 4, 5, 6, 7, 8}, 0},
        {"two mics, both", 1, 0, 1, false, [](Core&) {}, {0, 1, 2, 3, 6, 7, 8, 10, 11, 12, 13}, 0},
        {"two mics, reference only", 1, 0, 1, false,
         [](Core& c) { c.ChooseMics(Core::Mics::ReferenceOnly); }, {0, 1, 2, 10, 11, 12, 13}, 0},
        {"verification before", 0, 0, 3, false, [](Core&) {}, {3, 6, 7, 8}, 3},
        {"verification after", 0, 0, 4, false, [](Core&) {}, {3, 6, 7, 8}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Core core(host);
        core.SetMode(c.calMode, 94.0, 0, c.kind, 110.0, c.kalPos, c.showVgl, 0, 130.0, 0);
        c.then(core);
        std::vector<int32_t> visible;
        for (int32_t i = 0; i < Core::kStepListSize; ++i)
            if (core.StepVisible(i)) visible.push_back(i);
        EXPECT_EQ(visible, c.visible);
        EXPECT_EQ(core.MarkedStep(), c.marked);
    }
}

TEST_F(WizardWindow, PicturesOfEveryWindowInBothSchemes) {
    for (int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        const QString suffix = scheme == kSchemeLight ? QStringLiteral("_light") : QStringLiteral("_dark");
        host.active = host.ipv4 = 1;
        {
            TKalibrierung w(host, nullptr, nullptr);
            w.SetMode(1, 94.0, 45000.5, 0, 110.0, 1, true, 0, 130.0, 0);
            w.SetCalibratorText(QStringLiteral("Class 1 calibrator, serial 4231"));
            Core& core = w.Core();
            auto page = [&](const QString& name) {
                w.Sync();
                Shot(w, QStringLiteral("wizard_") + name + suffix);
            };
            page(QStringLiteral("choice"));
            EXPECT_EQ(w.Pages()->currentIndex(), 0);
            core.RightButtonCommand();
            page(QStringLiteral("description"));
            core.RightButtonCommand();
            page(QStringLiteral("nominal"));
            core.RightButtonCommand();
            page(QStringLiteral("connect"));
            EXPECT_TRUE(w.pbUseIpControl()->isVisible());
            core.RightButtonCommand();
            for (int i = 0; i < 4; ++i) core.LevelTick();
            page(QStringLiteral("check"));
            // The crest box shows the sine's 3 dB in the normal state colour.
            EXPECT_TRUE(w.pbCrest()->isVisible());
            for (int i = 0; i < 4; ++i) core.LevelTick();
            core.RightButtonCommand();
            for (int i = 0; i < 40; ++i) core.RunTick();
            page(QStringLiteral("run"));
            for (int i = 0; i < 60; ++i) core.RunTick();
            core.ShowNextTick();
            page(QStringLiteral("result"));
            EXPECT_EQ(w.Pages()->currentIndex(), static_cast<int>(Core::Page::Result));
            core.RightButtonCommand();  // on to the reference microphone
            core.RightButtonCommand();
            for (int i = 0; i < 9; ++i) core.LevelTick();
            core.RightButtonCommand();
            for (int i = 0; i < 20; ++i) core.RunTick();
            host.Sine(-17.0);
            core.RunTick();
            core.ShowNextTick();
            page(QStringLiteral("warning"));
            EXPECT_EQ(w.Pages()->currentIndex(), static_cast<int>(Core::Page::Warning));
            host.Sine(-20.0);
        }
        {
            TKalibrierung w(host, nullptr, nullptr);
            w.SetMode(0, 94.0, 0, 1, 110.0, 1, true, 0, 0, 0);
            w.Core().RightButtonCommand();
            w.Core().RightButtonCommand();
            w.Sync();
            Shot(w, QStringLiteral("wizard_meter") + suffix);
        }
        TCalLog log;
        for (int i = 0; i < 14; ++i) {
            if (i % 4 == 3)
                log.AddOff(0.05 * i, QStringLiteral("Class 1 calibrator %1").arg(i), QStringLiteral("after the show"),
                           QStringLiteral("Simulated Sine"), i % 8 == 3 ? 8 : 16, 65551, 45000.0 + i);
            else
                log.AddKal(117.0 + 0.01 * i, QStringLiteral("Class 1 calibrator %1").arg(i),
                           QStringLiteral("Open Air • Main stage"), QStringLiteral("Simulated Sine"), 1, 65551,
                           45000.0 + i);
        }
        TShowCalTable table(&log, {}, 0, nullptr);
        table.SelectRow(12, true);
        Shot(table, QStringLiteral("log_table") + suffix);
        TCalLogEdit editor(&log, {}, nullptr);
        ASSERT_TRUE(editor.InitLog(13, 0, TCalLogEdit::kFromTable));
        Shot(editor, QStringLiteral("remark_editor") + suffix);
        TiKal info(nullptr);
        info.AddLocText(QStringLiteral("Open Air 2026"));
        info.AddLocText(QStringLiteral("12345 Musterstadt, Am Festplatz 1"));
        info.AddModeText(QStringLiteral("Preset: DIN 15905-5"));
        info.SetFileStatus(0);
        info.SetFileName(QStringLiteral("/home/user/Veltaro_2026/Messung_1.vtm"));
        info.AddErrorText(QStringLiteral("The calibration is older than one day."));
        info.SetDoItText(QStringLiteral("Start anyway"));
        info.SetCalibrateVisible(true);
        info.SetWarnMode(1);
        info.UpdateDisplay();
        Shot(info, QStringLiteral("pre_start_info") + suffix);
        TiLevel level(nullptr);
        level.SetHeader(QStringLiteral("The maximum level is 114 dB"));
        level.SetText(QStringLiteral("The peak limit of 135 dB cannot be measured."));
        level.SetLimitText(QStringLiteral("Limiter on the main bus"));
        Shot(level, QStringLiteral("pre_start_headroom") + suffix);
    }
}

}  // namespace

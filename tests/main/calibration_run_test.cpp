// A calibration and a verification run end to end: the whole program hears
// the simulated 1 kHz sine at -20 dBFS, the wizard is clicked through
// offscreen, and the accepted value lands in the default store, the log and
// the settings. Runs that end without a result restore everything.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

#include <cmath>
#include <functional>
#include <stdexcept>

#include "audio/value_reader.h"
#include "calibration/calibration_log.h"
#include "calibration/calibration_wizard.h"
#include "main/wizard_host.h"
#include "measurement_run_fixture.h"
#include "support/when_shown.h"
#include "store/measurement_store.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"

namespace {

using namespace test_support;
using Core = TKalibrierungCore;

void ClickButton(TPaintBox32* button) { gui_test::Click(button, QPoint(button->width() / 2, button->height() / 2)); }

void TypeText(QWidget* target, const QString& text) {
    target->setFocus();
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
}

// The engine's short-term Leq in dB as it stands, and whether its window is full.
double EngineLeqK(bool* full = nullptr) {
    double leqk = 0.0;
    int32_t blocks = 0;
    if (const TWertCreate* reader = wertCreate.load()) reader->GetLeqk(leqk, blocks);
    if (full != nullptr) *full = blocks >= 80;
    return leqk;
}

bool LeqKWindowFull() {
    bool full = false;
    EngineLeqK(&full);
    return full;
}

// The window's own host with a slow RMS that fails once the level check runs.
class FailingHost : public TMainWizardHost {
public:
    using TMainWizardHost::TMainWizardHost;
    double GetRMSSlow(bool) override { throw std::runtime_error("input gone"); }
};

class CalibrationRun : public MeasurementRunConcurrent {
protected:
    void SetUp() override {
        MeasurementRunConcurrent::SetUp();
        RegisterCalibrationServices(nullptr);
    }
    TDaten& Store() { return *defaultDaten.load(); }

    // Start, then the level check until "Next" with the engine settled; the
    // short-term Leq it then reads at offset 0.
    double PassLevelCheck(TKalibrierung* w) {
        ClickButton(w->pbRechts());
        EXPECT_EQ(w->Core().View(), Core::ConnectView::LevelCheck);
        EXPECT_TRUE(ProcessUntil(
            [w] { return LeqKWindowFull() && w->Core().RightVisible() && w->Core().RightMode() == Core::kButtonNext; },
            40000));
        return EngineLeqK();
    }
    // The run from "Next" to the result with "Apply" shown.
    void RunToResult(TKalibrierung* w) {
        ClickButton(w->pbRechts());
        EXPECT_TRUE(w->Core().RunTimerOn());
        EXPECT_TRUE(ProcessUntil([w] { return w->Core().Step() == 15 && w->Core().RightVisible(); }, 40000));
        EXPECT_EQ(w->Core().RightMode(), Core::kButtonApply);
    }
};

TEST_F(CalibrationRun, CalibrationFromTheMenuStoresAndLogsTheValueAndAVerificationConfirmsIt) {
    StartProgram();
    ASSERT_TRUE(window->OwnsCalibration());
    ASSERT_TRUE(HearsTheTone());
    curPreset.messungen[kPresetEntryPeak].Dauer = 6000;

    double leqKAtZero = 0.0, maxLevel = 0.0, crest = 0.0;
    WhenShown<TKalibrierung>([&](TKalibrierung* w) {
        w->SetTickIntervals(1, 1);
        EXPECT_EQ(appliedCalOffset[1].load(), 0.0) << "the wizard measures at offset 0";
        EXPECT_EQ(curPreset.messungen[kPresetEntryLeqK].Dauer, 10);
        EXPECT_EQ(curPreset.messungen[kPresetEntryPeak].Dauer, 2);
        ASSERT_EQ(w->Core().CurrentPage(), Core::Page::Description);
        w->mKalibrator()->clear();
        TypeText(w->mKalibrator(), QStringLiteral("Class 1 calibrator 4231"));
        ClickButton(w->pbRechts());
        ASSERT_EQ(w->Core().CurrentPage(), Core::Page::Nominal);
        emit w->EditCalibratorSpl()->customContextMenuRequested(QPoint(2, 2));
        QAction* nominal94 = nullptr;
        for (QAction* action : w->NominalMenu()->actions())
            if (action->text() == QStringLiteral("94 dB")) nominal94 = action;
        ASSERT_NE(nominal94, nullptr);
        nominal94->trigger();
        w->NominalMenu()->hide();
        EXPECT_DOUBLE_EQ(w->Core().RefVal(), 94.0);
        ClickButton(w->pbRechts());
        ASSERT_EQ(w->Core().Step(), 9);
        leqKAtZero = PassLevelCheck(w);
        RunToResult(w);
        maxLevel = w->Core().MaxLevelM();
        crest = w->Core().CrestVal();
        ClickButton(w->pbRechts());
    });
    window->findChild<QAction*>(QStringLiteral("aPegel"))->trigger();

    EXPECT_EQ(window->CalibrationWizard(), nullptr);
    const double calValue = Store().GetCalVal();
    EXPECT_NEAR(calValue, 94.0 - leqKAtZero, 0.05);
    EXPECT_NEAR(calValue, 117.0, 0.05);
    EXPECT_NEAR(maxLevel, 114.0, 0.05);
    EXPECT_NEAR(crest, 3.0, 0.1);
    EXPECT_GT(Store().GetCalTime(), 40000.0);
    EXPECT_EQ(Store().GetCalText(), QStringLiteral("Class 1 calibrator 4231"));
    // Everything the run changed is back, with the new calibration in force.
    EXPECT_EQ(curPreset.messungen[kPresetEntryPeak].Dauer, 6000);
    EXPECT_NEAR(appliedCalOffset[1].load(), calValue + Store().GetKorr(curPreset.messungen[1].Filter), 1e-9);
    EXPECT_FALSE(window->DisplayAreas()->showNoVals);

    TCalLog* log = calLog.load();
    ASSERT_EQ(log->NumEntries(), 1);
    EXPECT_EQ(log->GetEntryMode(0), kCalModeCalibration);
    EXPECT_DOUBLE_EQ(log->GetEntryVal(0), calValue);
    EXPECT_EQ(log->GetEntryDevice(0), platform::kSimulatedSineName);
    EXPECT_EQ(log->GetEntryVolume(0), 65551.0);
    EXPECT_EQ(log->GetEntryCalStr(0), QStringLiteral("Class 1 calibrator 4231"));

    // The calibrated chain reads the calibrator's level once its window refills.
    EXPECT_TRUE(ProcessUntil([] { return LeqKWindowFull() && std::fabs(EngineLeqK() - 94.0) < 0.05; }, 40000))
        << EngineLeqK();

    QAction* verify = window->findChild<QAction*>(QStringLiteral("miVerify"));
    ASSERT_TRUE(verify->isEnabled() && verify->isVisible()) << window->StatusID();
    WhenShown<TKalibrierung>([&](TKalibrierung* w) {
        w->SetTickIntervals(1, 1);
        EXPECT_EQ(w->Core().Step(), 20);
        ClickButton(w->pbRechts());
        ASSERT_EQ(w->Core().Step(), 9);
        PassLevelCheck(w);
        RunToResult(w);
        EXPECT_EQ(w->Core().WarningHeader(), GetLangText(556));
        ClickButton(w->pbRechts());
    });
    verify->trigger();
    ASSERT_EQ(log->NumEntries(), 2);
    EXPECT_EQ(log->GetEntryMode(1), kCalModeVerifyBefore);
    EXPECT_NEAR(log->GetEntryVal(1), 0.0, 0.05);
    EXPECT_NEAR(Store().GetOffValVor(), 0.0, 0.05);
    EXPECT_DOUBLE_EQ(Store().GetCalVal(), calValue) << "a verification keeps the calibration";

    const QString defaultFile = dir.filePath("data/Veltaro_2026/Default.vtm");
    Exit();
    TDaten saved;
    ASSERT_EQ(saved.LoadFromFile(defaultFile, 2), 0);
    EXPECT_DOUBLE_EQ(saved.GetCalVal(), calValue);
    EXPECT_GT(saved.GetCalTime(), 40000.0);
    EXPECT_EQ(saved.GetCalText(), QStringLiteral("Class 1 calibrator 4231"));
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("KalIOMode"), 0);
    EXPECT_EQ(reg.ReadString("KalIODev"), platform::kSimulatedSineName);
    TCalLog onDisk;
    ASSERT_TRUE(onDisk.LoadData(dir.filePath("data/Veltaro_2026/CalLog.VTL")));
    EXPECT_EQ(onDisk.NumEntries(), 2);
}

TEST_F(CalibrationRun, RunsWithoutAResultRestoreWindowsAndOffsets) {
    StartProgram();
    ASSERT_TRUE(HearsTheTone());
    Store().SetCalVal(kOffsetFor94);
    Store().SetCalTime(platform::SystemLocalNow());
    window->ApplyCalibration();
    curPreset.messungen[kPresetEntryLeqK].Dauer = 30;
    curPreset.messungen[kPresetEntryPeak].Dauer = 6000;
    const std::array<double, 3> offsets{appliedCalOffset[0].load(), appliedCalOffset[1].load(),
                                        appliedCalOffset[2].load()};

    struct Ending {
        const char* name;
        bool failingHost;
        std::function<void(TKalibrierung*)> end;
    };
    const Ending endings[] = {
        {"Cancel button", false, [](TKalibrierung* w) { ClickButton(w->pbCancel()); }},
        {"Escape during the level check", false,
         [](TKalibrierung* w) {
             ClickButton(w->pbRechts());
             ClickButton(w->pbRechts());
             ClickButton(w->pbRechts());
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(w, &escape);
         }},
        {"a getter that throws", true,
         [](TKalibrierung* w) {
             ClickButton(w->pbRechts());
             ClickButton(w->pbRechts());
             ClickButton(w->pbRechts());  // the level check's first tick fails
         }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        if (ending.failingHost) window->SetWizardHost(std::make_unique<FailingHost>(*window));
        const size_t messagesBefore = dialogs.messages().size();
        bool shown = false;
        WhenShown<TKalibrierung>([&](TKalibrierung* w) {
            shown = true;
            w->SetTickIntervals(1, 1);
            ending.end(w);
        });
        window->DoKalibrierung(true, false);
        EXPECT_TRUE(shown);
        EXPECT_EQ(window->CalibrationWizard(), nullptr);
        EXPECT_EQ(curPreset.messungen[kPresetEntryLeqK].Dauer, 30);
        EXPECT_EQ(curPreset.messungen[kPresetEntryPeak].Dauer, 6000);
        for (size_t i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(appliedCalOffset[i].load(), offsets[i]);
        EXPECT_FALSE(window->DisplayAreas()->showNoVals);
        EXPECT_DOUBLE_EQ(Store().GetCalVal(), kOffsetFor94);
        EXPECT_EQ(calLog.load()->NumEntries(), 0);
        bool reported = false;
        const auto messages = dialogs.messages();
        for (size_t i = messagesBefore; i < messages.size(); ++i)
            reported |= messages[i].text.contains(QStringLiteral("input gone"));
        EXPECT_EQ(reported, ending.failingHost);
    }
}

}  // namespace

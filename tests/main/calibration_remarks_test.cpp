// What follows a calibrator run: the remark editor when the settings ask for
// it, and the question about old corrections exactly once per calibration,
// after the editor closed. The wizard hears a steady sine through a fake
// host, so a run takes no real time.
#include <QAction>
#include <QTimer>

#include <cmath>
#include <functional>

#include "calibration/calibration_log.h"
#include "calibration/calibration_log_edit.h"
#include "calibration/calibration_table.h"
#include "calibration/calibration_wizard.h"
#include "main/main_window_fixture.h"
#include "platform/wasapi_pulse.h"
#include "store/measurement_store.h"
#include "support/fake_wizard_host.h"
#include "support/when_shown.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/text_table.h"

namespace {

using namespace test_support;
using Core = TKalibrierungCore;

void ClickButton(TPaintBox32* button) { gui_test::Click(button, QPoint(button->width() / 2, button->height() / 2)); }

// Clicks through a whole run once the wizard shows and accepts its result.
void AcceptNextRun() {
    WhenShown<TKalibrierung>([](TKalibrierung* w) {
        w->SetTickIntervals(1, 1);
        while (w->Core().Step() != 9 && w->Core().RightMode() == Core::kButtonNext) ClickButton(w->pbRechts());
        ClickButton(w->pbRechts());  // start the level check
        ASSERT_TRUE(ProcessUntil([w] { return w->Core().RightVisible(); }));
        ClickButton(w->pbRechts());  // start the run
        ASSERT_TRUE(ProcessUntil([w] { return w->Core().Step() == 15 && w->Core().RightVisible(); }));
        ClickButton(w->pbRechts());  // apply
    });
}

class CalibrationRemarks : public MainWindowConcurrent {
protected:
    void StartWithCorrections() {
        Start();
        auto fake = std::make_unique<FakeWizardHost>();
        host = fake.get();
        window->SetWizardHost(std::move(fake));
        Store().SetKorrVal(1, 1.5);
    }
    TDaten& Store() { return *defaultDaten.load(); }
    int Questions() const {
        int n = 0;
        for (const auto& m : dialogs.messages()) n += m.text == GetLangText(266);
        return n;
    }

    FakeWizardHost* host = nullptr;
};

TEST_F(CalibrationRemarks, TheCorrectionQuestionComesOnceAfterTheEditorIfOneOpens) {
    StartWithCorrections();
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        clModePre = mode;
        const int before = Questions();
        dialogs.ScriptMessage(platform::kMessageRight);  // keep the corrections
        AcceptNextRun();
        window->DoKalibrierung(true, false);
        EXPECT_EQ(calLog.load()->GetEntryMode(calLog.load()->NumEntries() - 1), kCalModeCalibration);
        if (mode == 0) {
            EXPECT_EQ(window->CalLogEditor(), nullptr);
            EXPECT_EQ(Questions(), before + 1);
            continue;
        }
        TCalLogEdit* editor = window->CalLogEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->Mode(), TCalLogEdit::kAfterCalibration);
        EXPECT_EQ(Questions(), before) << "not before the editor closed";
        editor->pbCancelClick();
        ASSERT_TRUE(ProcessUntil([this] { return window->CalLogEditor() == nullptr; }));
        EXPECT_EQ(Questions(), before + 1);
    }
    EXPECT_DOUBLE_EQ(Store().GetKorr(1), 1.5) << "kept";
}

TEST_F(CalibrationRemarks, AVerificationAfterTheMeasurementDeviatingOneDbOpensTheEditorWithoutTheQuestion) {
    StartWithCorrections();
    clModePost = 3;
    const double measured = 94.0 - 3.0 / static_cast<double>(std::log10(2.0f)) * std::log10(host->energy);
    Store().SetCalVal(measured - 1.2);
    Store().SetCalTime(platform::SystemLocalNow());
    // The calibration in force is the newest one logged.
    TCalLog* log = calLog.load();
    log->AddKal(measured - 1.2, QStringLiteral("cal"), QString(), QStringLiteral("dev"), 1, 65551, 0);
    const int before = Questions();
    AcceptNextRun();
    window->DoKalibrierung(false, true);
    ASSERT_EQ(log->NumEntries(), 2);
    EXPECT_EQ(log->GetEntryMode(1), kCalModeVerifyAfter);
    EXPECT_NEAR(log->GetEntryVal(1), 1.2, 1e-6);
    EXPECT_NEAR(Store().GetOffValNach(), 1.2, 1e-6);
    TCalLogEdit* editor = window->CalLogEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Mode(), TCalLogEdit::kAfterVerifyAfter);
    editor->pbCancelClick();
    ASSERT_TRUE(ProcessUntil([this] { return window->CalLogEditor() == nullptr; }));
    EXPECT_EQ(Questions(), before);
}

TEST_F(CalibrationRemarks, ANewEntryStartsWithThePresetRemark) {
    Start();
    Store().SetVeranstaltung(QStringLiteral("Open Air"));
    Store().SetLocationText(QString());
    Store().SetUnterzeichner(QStringLiteral("A. Meier"));
    const std::vector<std::pair<int32_t, QString>> cases = {
        {0x1000, QString()}, {0x0007, QString()}, {0x1003, QStringLiteral("Open Air")},
        {0x1007, QStringLiteral("Open Air • A. Meier")}, {0x1004, QStringLiteral("A. Meier")}};
    for (const auto& [preset, expected] : cases) {
        clModePreset = preset;
        EXPECT_EQ(window->CalLogPresetText(), expected) << preset;
    }
}

// The end dialog's request (notification 296) runs the verification after
// the measurement and hands its result to the measurement as well.
TEST_F(CalibrationRemarks, TheEndDialogsVerificationReachesTheMeasurement) {
    StartWithCorrections();
    clModePost = 0;
    Store().SetCalTime(platform::SystemLocalNow());
    AcceptNextRun();
    PostMainNotify(kNotifyVerifyAfterMeasurement, 0);
    ASSERT_TRUE(ProcessUntil([this] { return Store().GetOffTimeNach() > 10.0; }));
    ASSERT_NE(messDaten.load(), nullptr);
    EXPECT_EQ(messDaten.load()->GetOffTimeNach(), Store().GetOffTimeNach());
    EXPECT_EQ(messDaten.load()->GetOffValNach(), Store().GetOffValNach());
    EXPECT_EQ(calLog.load()->GetEntryMode(0), kCalModeVerifyAfter);
}

// The capture volume of a WASAPI input turned during the run ends it.
TEST_F(CalibrationRemarks, ATurnedCaptureVolumeEndsTheRun) {
    platform::SimulatedEndpointSetup in;
    in.id = QStringLiteral("sim:in");
    in.friendlyName = QStringLiteral("Simulated input");
    platform::SimulatedEndpointSetup out = in;
    out.id = QStringLiteral("sim:out");
    out.flow = platform::DataFlow::Render;
    platform::SetSimulatedEndpoints({in, out});
    WriteSettings([](Registry& reg) {
        reg.WriteInteger("IOMode", 2);
        reg.WriteString("wasIn", QStringLiteral("sim:in"));
        reg.WriteString("wasOut", QStringLiteral("sim:out"));
    });
    StartWithCorrections();
    ASSERT_EQ(window->Fields().IOMode.load(), 2);
    bool ended = false;
    WhenShown<TKalibrierung>([&](TKalibrierung* w) {
        w->SetTickIntervals(1, 1);
        while (w->Core().Step() != 9) ClickButton(w->pbRechts());
        ClickButton(w->pbRechts());
        ASSERT_TRUE(ProcessUntil([w] { return w->Core().RightVisible(); }));
        ClickButton(w->pbRechts());
        ASSERT_TRUE(w->Core().RunTimerOn());
        platform::SetSimulatedEndpointVolume(QStringLiteral("sim:in"), 0.5f, false);
        ended = ProcessUntil([w] { return w->Core().CurrentPage() == Core::Page::Warning; });
        EXPECT_EQ(w->Core().WarningHeader(), GetLangText(855));
        ClickButton(w->pbCancel());
    });
    window->DoKalibrierung(true, false);
    platform::ResetSimulatedEndpoints();
    EXPECT_TRUE(ended);
    EXPECT_EQ(calLog.load()->NumEntries(), 0);
}

// The log's windows still open at exit go before the log does.
TEST_F(CalibrationRemarks, OpenLogWindowsCloseWithTheProgram) {
    StartWithCorrections();
    clModePre = 1;
    AcceptNextRun();
    window->DoKalibrierung(true, false);
    ASSERT_NE(window->CalLogEditor(), nullptr);
    window->findChild<QAction*>(QStringLiteral("miShowCalList"))->trigger();
    ASSERT_NE(window->CalTable(), nullptr);
    EXPECT_EQ(window->CalTable()->Filtered().size(), 1u);
    window->CalTable()->SelectRow(0, true);
    window->CalTable()->EditClick();
    ASSERT_NE(window->CalTable()->Editor(), nullptr);
    const QString logFile = dir.filePath("data/Veltaro_2026/CalLog.VTL");
    Exit();
    TCalLog onDisk;
    ASSERT_TRUE(onDisk.LoadData(logFile));
    EXPECT_EQ(onDisk.NumEntries(), 1);
}

}  // namespace

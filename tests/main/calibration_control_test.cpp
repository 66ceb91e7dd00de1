// The main window's own calibration services: offsets, status, reminders,
// microphone configuration, the pre-start dialogs and the log's life, on the
// whole program measuring the simulated sine.
#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

#include <cmath>
#include <functional>
#include <limits>

#include "audio/audio_start_stop.h"
#include "calibration/calibration_log.h"
#include "calibration/pre_start_dialogs.h"
#include "measurement_run_fixture.h"
#include "support/when_shown.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"
#include "ui_kit/gui_test_app.h"

namespace {

using namespace test_support;

void ClickButton(TPaintBox32* button) { gui_test::Click(button, QPoint(button->width() / 2, button->height() / 2)); }

class CalibrationControl : public MeasurementRunConcurrent {
protected:
    void SetUp() override {
        MeasurementRunConcurrent::SetUp();
        // The window's own calibration services, not the fake.
        RegisterCalibrationServices(nullptr);
    }

    TDaten& Store() { return *defaultDaten.load(); }

    // A calibration made daysAgo with the input that runs now, and
    // corrections measured for every weighting.
    void Calibrate(double value, double daysAgo = 0.0) {
        MainWindowFields& f = window->Fields();
        f.KalIOMode.store(f.IOMode.load());
        f.KalIOID.store(static_cast<int32_t>(f.waveInID.load()));
        f.KalC1.store(f.Kanal.load());
        Store().SetCalVal(value);
        Store().SetCalTime(platform::SystemLocalNow() - daysAgo);
        for (int32_t id : {1, 2, 4}) Store().SetKorrTime(id, CorrectedNow());
    }
    QAction* Action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST_F(CalibrationControl, WindowRegistersItsOwnServicesAndStartsFromTheMenuWhenCalibrated) {
    StartProgram();
    ASSERT_TRUE(window->OwnsCalibration());
    // Uncalibrated: the start-up said so, and no offset is a level in dB SPL.
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_TRUE(dialogs.messages().front().text.startsWith(GetLangText(105)));
    EXPECT_EQ(appliedCalOffset[0].load(), 120.0);

    ASSERT_TRUE(HearsTheTone());
    Calibrate(kOffsetFor94);
    EXPECT_EQ(window->ApplyCalibration(), 3);
    window->CheckCalStatus();
    EXPECT_EQ(window->StatusID(), 1);
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("aMessungStarten"))->isEnabled());

    QString shownCaption;
    bool headroomWarned = false;
    WhenShown<TiKal>([&](TiKal* dialog) {
        shownCaption = dialog->DoItText();
        // Full scale is 117 dB here, below the preset's peak limit: start anyway.
        WhenShown<TiLevel>([&](TiLevel* warning) {
            headroomWarned = true;
            ClickButton(warning->pbTrotzdem());
        });
        ClickButton(dialog->pbDoIt());
    });
    window->aMessungStartenExecute();
    ASSERT_TRUE(window->GetMessungLaeuft());
    EXPECT_EQ(shownCaption, GetLangText(316));  // "Measure": calibrated today
    EXPECT_TRUE(headroomWarned);
    EXPECT_NEAR(appliedCalOffset[0].load(), kOffsetFor94, 1e-9);
    ASSERT_TRUE(StoredAtLeast(2));
    // The -20 dBFS sine reads 94 dB as RMS level, so its peak is 3 dB above.
    EXPECT_NEAR(messDaten.load()->GetWert(1).Peak, 94.0 + 20.0 * std::log10(std::sqrt(2.0)), 0.3);
}

TEST_F(CalibrationControl, ApplyCalibrationResetsWhatIsOutOfRange) {
    StartProgram();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double cal, before, korrA;
        double calAfter, beforeAfter;
        bool calTimeKept;
        int32_t bits;
    };
    const Case cases[] = {
        {"40 stays", 40.0, 0.0, 0.0, 40.0, 0.0, true, 3},
        {"200 stays", 200.0, 0.0, 0.0, 200.0, 0.0, true, 3},
        {"39.9", 39.9, 0.0, 0.0, 120.0, 0.0, false, 2},
        {"250", 250.0, 0.0, 0.0, 120.0, 0.0, false, 2},
        {"NaN", nan, 0.0, 0.0, 120.0, 0.0, false, 2},
        {"deviation 30 stays", 94.0, 30.0, 0.0, 94.0, 30.0, true, 3},
        {"deviation 31", 94.0, 31.0, 0.0, 94.0, 0.0, true, 3},
        {"correction 101", 94.0, 0.0, 101.0, 94.0, 0.0, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store().SetKorrArt(2);
        Store().SetCalVal(c.cal);
        Store().SetCalTime(46000.0);
        Store().SetOffValVor(c.before);
        Store().SetOffTimeVor(46000.0);
        Store().SetKorrVal(1, c.korrA);
        const size_t asked = dialogs.messages().size();
        EXPECT_EQ(window->ApplyCalibration(), c.bits);
        EXPECT_EQ(Store().GetCalVal(), c.calAfter);
        EXPECT_EQ(Store().GetCalTime() > 0, c.calTimeKept);
        EXPECT_EQ(Store().GetOffValVor(), c.beforeAfter);
        for (int q = 0; q < 3; ++q) EXPECT_TRUE(std::isfinite(appliedCalOffset[q].load()));
        EXPECT_EQ(dialogs.messages().size(), asked + (c.bits == 3 ? 0 : 1));
        if (c.bits == 1) {
            EXPECT_EQ(Store().GetKorrArt(), -1);
            EXPECT_EQ(Store().GetKorr(1), 0.0);
            EXPECT_EQ(Store().GetKorrText(1), GetLangText(725));
            EXPECT_TRUE(dialogs.messages().back().text.contains(GetLangText(107)));
        }
    }
}

TEST_F(CalibrationControl, OffsetsAddTheCorrectionOfEachQuantitysWeighting) {
    StartProgram();
    TVTPreset preset = Preset();
    preset.messungen[kPresetEntryLeq].Filter = 1;
    preset.messungen[kPresetEntryLeqK].Filter = 2;
    preset.messungen[kPresetEntryPeak].Filter = 4;
    UsePreset(preset);
    window->ApplyRunSettings();
    Store().SetCalVal(100.0);
    Store().SetCalTime(46000.0);
    Store().SetKorrVal(1, 1.5);
    Store().SetKorrVal(2, -2.0);
    Store().SetKorrVal(4, 0.5);
    EXPECT_EQ(window->ApplyCalibration(), 3);
    EXPECT_EQ(appliedCalOffset[0].load(), 101.5);
    EXPECT_EQ(appliedCalOffset[1].load(), 98.0);
    EXPECT_EQ(appliedCalOffset[2].load(), 100.5);
    EXPECT_EQ(rmsCalOffset.load(), 100.0);
    EXPECT_TRUE(window->StatusSlot(1).contains(QStringLiteral("1.5dB")));
}

TEST_F(CalibrationControl, StatusFollowsTheCalibrationAgeTheInputAndTheCorrections) {
    StartProgram();
    ASSERT_TRUE(HearsTheTone());
    MainWindowFields& f = window->Fields();
    struct Case {
        const char* name;
        std::function<void()> change;
        int32_t status;
        int32_t reason;
    };
    const Case cases[] = {
        {"359 days", [&] { Calibrate(kOffsetFor94, 359.0); }, 1, 0},
        {"360 days", [&] { Calibrate(kOffsetFor94, 360.0); }, 2, 8},
        {"other device", [&] { Calibrate(kOffsetFor94); f.KalIOID.store(f.KalIOID.load() + 1); }, 2, 1},
        {"other channel", [&] { Calibrate(kOffsetFor94); f.KalC1.store(!f.KalC1.load()); }, 2, 2},
        {"other back-end", [&] { Calibrate(kOffsetFor94); f.KalIOMode.store(2); }, 2, 32},
        {"correction missing", [&] { Calibrate(kOffsetFor94); Store().SetKorrTime(Store().GetFilter(0), -1.0); }, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.noCalReason.store(0);
        c.change();
        window->CheckCalStatus();
        EXPECT_EQ(window->StatusID(), c.status);
        EXPECT_EQ(f.noCalReason.load(), c.reason);
        EXPECT_EQ(Action("aMessungStarten")->isEnabled(), c.status == 1);
        EXPECT_EQ(Action("miVerify")->isVisible(), c.status != 2);
        EXPECT_TRUE(Action("aPegel")->isEnabled());
    }
    StopAudioIn();
    window->CheckCalStatus();
    EXPECT_EQ(window->StatusID(), 4);
    EXPECT_EQ(window->StatusHint(), GetLangText(6));
    EXPECT_FALSE(Action("aPegel")->isEnabled());
    EXPECT_FALSE(Action("aGetKorr")->isEnabled());
    EXPECT_FALSE(Action("miVerify")->isVisible());
}

TEST_F(CalibrationControl, RemindersFollowTheIntervals) {
    StartProgram();
    window->Settings().kalIntervall = 30;
    window->Settings().offIntervall = 7;
    Store().SetOffTimeVor(0);
    Store().SetOffTimeNach(0);
    Store().SetCalTime(CorrectedNow() - 30.0);
    EXPECT_TRUE(window->CalReminderText().startsWith(WithTextArgument(GetLangText(1089), QStringLiteral("30"))));
    Store().SetCalTime(CorrectedNow() - 29.0);
    EXPECT_TRUE(window->CalReminderText().startsWith(WithTextArgument(GetLangText(1090), QStringLiteral("29"))));
    window->Settings().offErinnern = false;
    EXPECT_EQ(window->CalReminderText(), QString());
    window->Settings().offErinnern = true;
    Store().SetCalTime(0.0);
    EXPECT_EQ(window->CalReminderText(), GetLangText(1091));
    const size_t asked = dialogs.messages().size();
    window->ShowCalReminder();
    ASSERT_EQ(dialogs.messages().size(), asked + 1);
    EXPECT_EQ(dialogs.messages().back().header, GetLangText(1088));
}

TEST_F(CalibrationControl, MicConfigPostsTheAssignmentLayoutAndStatus) {
    StartProgram();
    handled.clear();
    window->SetMicConfig(false, false);
    ASSERT_TRUE(ProcessUntil([&] { return Saw(kNotifyCalStatus) && Saw(kNotifyVuLayout); }));
    EXPECT_NE(std::find(handled.begin(), handled.end(), std::pair<uintptr_t, intptr_t>{kNotifyInputAssign, 1}),
              handled.end());
    // Asked to go to two microphones and cancelled: the assignment stays.
    handled.clear();
    seen.clear();
    dialogs.ScriptMessage(platform::kMessageRight);
    window->SetMicConfig(true, true);
    EXPECT_EQ(dialogs.messages().back().text, GetLangText(186));
    ASSERT_TRUE(ProcessUntil([&] { return Saw(kNotifyCalStatus); }));
    EXPECT_FALSE(Saw(kNotifyInputAssign));
}

TEST_F(CalibrationControl, StartInfoShowsTheCalibrationState) {
    StartProgram();
    struct Case {
        const char* name;
        double calAge;  // days; -1: calibration time 0, -2: a time below 0
        bool kalAb;
        int32_t warnMode;
        bool startShown, calibrateShown;
        QString caption;
    };
    const double hour = 1.0 / 24.0;
    const Case cases[] = {
        {"no calibration", -1, false, 2, false, true, QStringLiteral("Text")},
        {"time below 0 with kalAb", -2, true, 2, false, true, QStringLiteral("Text")},
        {"23 hours with kalAb", 23 * hour, true, 0, true, false, GetLangText(316)},
        {"25 hours with kalAb", 25 * hour, true, 1, true, true, GetLangText(270)},
        {"old without kalAb", 300, false, 0, true, false, GetLangText(316)},
    };
    TVTPreset preset = Preset();
    for (auto& entry : preset.messungen) entry.Status = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        preset.kalAb = c.kalAb;
        UsePreset(preset);
        window->ApplyRunSettings();
        const double calTime = c.calAge == -1 ? 0.0 : (c.calAge == -2 ? -5.0 : CorrectedNow() - c.calAge);
        int32_t warnMode = -2;
        bool startShown = false, calibrateShown = false;
        QString caption, modeText;
        WhenShown<TiKal>([&](TiKal* dialog) {
            warnMode = dialog->WarnMode();
            startShown = dialog->pbDoIt()->isVisible();
            calibrateShown = dialog->pbSonst()->isVisible();
            caption = dialog->DoItText();
            modeText = dialog->ModeText();
            ClickButton(dialog->pbSonst()->isVisible() ? dialog->pbSonst() : dialog->pbCancel());
        });
        const int32_t answer = window->ShowStartInfo(calTime, 0);
        EXPECT_EQ(answer, calibrateShown ? kKalCalibrate : kKalCancel);
        EXPECT_EQ(warnMode, c.warnMode);
        EXPECT_EQ(startShown, c.startShown);
        EXPECT_EQ(calibrateShown, c.calibrateShown);
        EXPECT_EQ(caption, c.caption);
        // Three blocks, separated by blank lines; only the Leq carries its weighting's unit.
        EXPECT_EQ(modeText.count(QStringLiteral("\r\n\r\n")), 3);
        EXPECT_EQ(modeText.count(GetLangText(163)), 3);
    }
    // A failed file check hides the start button; a click on the location text asks for the data entry.
    Store().SetVeranstaltung(QStringLiteral("Open Air"));
    int32_t answer = 0;
    WhenShown<TiKal>([&](TiKal* dialog) {
        EXPECT_FALSE(dialog->pbDoIt()->isVisible());
        EXPECT_EQ(dialog->DiskLine(), GetLangText(916));
        EXPECT_EQ(dialog->AnswerAt(2), kKalDataEntry);
        gui_test::Click(dialog->pbMain(), QPoint(20, 2));
        // A click that answered nothing must not leave the test waiting.
        QTimer::singleShot(0, dialog, [dialog] {
            if (dialog->isVisible()) dialog->done(-1);
        });
    });
    answer = window->ShowStartInfo(CorrectedNow(), 1);
    EXPECT_EQ(answer, kKalDataEntry);
}

TEST_F(CalibrationControl, HeadroomWarningKeepsThePrecautionsWhateverTheAnswer) {
    StartProgram();
    TVTPreset preset = Preset();
    auto& peak = preset.messungen[kPresetEntryPeak];
    peak.Status = 2;
    peak.ART = 2;
    peak.Rot = 135;
    preset.checkH = false;
    UsePreset(preset);
    window->ApplyRunSettings();
    appliedCalOffset[2].store(134.5);
    EXPECT_EQ(window->CheckHeadroom(), 0);  // switched off: no dialog

    preset.checkH = true;
    UsePreset(preset);
    window->ApplyRunSettings();
    appliedCalOffset[2].store(134.5);
    QString header;
    WhenShown<TiLevel>([&](TiLevel* dialog) {
        header = dialog->Header();
        dialog->mLimit()->setPlainText(QStringLiteral("Limiter on the main bus"));
        ClickButton(dialog->pbAbbruch());
    });
    EXPECT_EQ(window->CheckHeadroom(), 1);
    EXPECT_EQ(header, WithTextArgument(GetLangText(176), QStringLiteral("134")));
    EXPECT_EQ(Store().GetLimitText(), QStringLiteral("Limiter on the main bus"));

    for (auto [button, expected] : {std::pair{2, 3}, std::pair{3, 0}}) {
        appliedCalOffset[2].store(134.5);
        WhenShown<TiLevel>([button](TiLevel* dialog) {
            ClickButton(button == 2 ? dialog->pbCal() : dialog->pbTrotzdem());
        });
        EXPECT_EQ(window->CheckHeadroom(), expected);
    }
}

// One log object for the whole run: applies save and reload it in place, the
// exit writes it to the base folder.
TEST_F(CalibrationControl, TheLogIsOneObjectSavedAtEachApplyAndAtExit) {
    StartProgram();
    TCalLog* log = calLog.load();
    ASSERT_NE(log, nullptr);
    log->AddKal(117.0, QStringLiteral("Simulated Sine"), {}, QStringLiteral("dev"), 1, 65551, 0);
    window->ApplyRunSettings();
    EXPECT_EQ(calLog.load(), log);
    EXPECT_EQ(log->NumEntries(), 1);
    Exit();
    EXPECT_EQ(calLog.load(), nullptr);
    TCalLog reread;
    ASSERT_TRUE(reread.LoadData(dir.filePath("data/Veltaro_2026/CalLog.VTL")));
    EXPECT_EQ(reread.GetEntryCalStr(0), QStringLiteral("Simulated Sine"));
}

TEST_F(CalibrationControl, ADamagedLogIsReportedAndKept) {
    QDir().mkpath(dir.filePath("data/Veltaro_2026"));
    const QString file = dir.filePath("data/Veltaro_2026/CalLog.VTL");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("01000000fbffffff"));
    }
    StartProgram();
    EXPECT_EQ(calLog.load()->NumEntries(), 0);
    QFile bad(file + QStringLiteral(".bad"));
    ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
    EXPECT_EQ(bad.readAll(), QByteArray::fromHex("01000000fbffffff"));
    bool reported = false;
    for (const auto& m : dialogs.messages()) reported |= m.text.contains(QStringLiteral("CalLog.VTL.bad"));
    EXPECT_TRUE(reported);
}

}  // namespace

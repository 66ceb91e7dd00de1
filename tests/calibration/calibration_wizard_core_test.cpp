// The calibration wizard's steps, level check and measuring run with levels
// fed by hand and ticks called one by one.
#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "calibration/calibration_log.h"
#include "calibration/calibration_wizard_core.h"
#include "calibration/wizard_host.h"
#include "support/fake_wizard_host.h"
#include "ui_kit/shared_state.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

using Core = TKalibrierungCore;

// Energies become levels at the program's exchange rate of 3 dB.
double EnergyLevel(double energy) { return 3.0 / static_cast<double>(std::log10(2.0f)) * std::log10(energy); }

using FakeHost = test_support::FakeWizardHost;

class WizardCore : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        language.store(2);
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    // A one-microphone calibration with the calibrator, up to its start button.
    void ToConnectPage(Core& core, int32_t kalPos = 1) {
        core.SetMode(0, 94.0, 46000.0, 0, 110.0, kalPos, false, 0, 0, 0);
        core.SetClock([] { return 46100.5; });
        if (kalPos == 1) {
            ASSERT_EQ(core.Step(), 2);
            core.RightButtonCommand();  // description -> nominal level
            ASSERT_EQ(core.CurrentPage(), Core::Page::Nominal);
            core.RightButtonCommand();  // nominal -> connect
        } else {
            ASSERT_EQ(core.Step(), 20);
            core.RightButtonCommand();  // verification entry -> connect
        }
        ASSERT_EQ(core.Step(), 9);
        ASSERT_EQ(core.RightMode(), Core::kButtonStart);
    }
    // Level-check ticks until "Next" appears; answers how many evaluations it took.
    static int PassCheck(Core& core, int bound = 40) {
        core.RightButtonCommand();
        core.LevelTick();  // fills the second ring slot's first half: no evaluation yet
        for (int evaluation = 1; evaluation <= bound; ++evaluation) {
            core.LevelTick();
            if (core.RightVisible() && core.RightMode() == Core::kButtonNext) return evaluation;
        }
        return -1;
    }
    static void RunSamples(Core& core, int n) {
        for (int i = 0; i < n && core.RunTimerOn(); ++i) core.RunTick();
    }

    FakeHost host;
};

TEST_F(WizardCore, CalibrationOfA20DbfsSineGivesValueMaximumAndCrest) {
    Core core(host);
    ToConnectPage(core);
    EXPECT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    ASSERT_TRUE(core.RunTimerOn());
    EXPECT_EQ(core.GetProz(), 25);
    RunSamples(core, 96);
    EXPECT_EQ(core.GetProz(), 1);
    RunSamples(core, 4);
    EXPECT_EQ(core.GetProz(), 0);
    EXPECT_FALSE(core.RunTimerOn());
    EXPECT_EQ(core.Step(), 15);
    EXPECT_EQ(core.CurrentPage(), Core::Page::Result);  // 114 dB reaches the preset's 100 dB
    EXPECT_NEAR(core.CalResM(), 94.0 - EnergyLevel(host.energy), 1e-9);
    EXPECT_NEAR(core.MaxLevelM(), 114.0, 1e-9);
    EXPECT_NEAR(core.CrestVal(), -20.0 - EnergyLevel(host.energy), 1e-9);
    EXPECT_EQ(core.RightMode(), Core::kButtonApply);
    EXPECT_EQ(core.MiddleMode(), Core::kButtonRepeat);
    core.RightButtonCommand();
    EXPECT_EQ(core.ModalResult(), Core::kResultAccepted);
    EXPECT_NEAR(core.GetCalM(), core.CalResM(), 1e-12);
    EXPECT_EQ(core.GetCTM(), 46100.5);
}

TEST_F(WizardCore, ReferenceEntryAcceptsThirtyToOneHundredSeventyInTheRegionalFormat) {
    const std::vector<std::pair<QString, bool>> cases = {
        {"30", true}, {"170", true}, {"29.9", false}, {"170.1", false}, {"abc", false},
        {"94,0", false}, {"", false}, {"94.0", true}, {"nan", false}, {"inf", false}};
    for (const auto& [text, ok] : cases) EXPECT_EQ(Core::ParseReference(text).has_value(), ok) << text.toStdString();
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_TRUE(Core::ParseReference("94,0").has_value());
    EXPECT_FALSE(Core::ParseReference("94.0").has_value());

    Core core(host);
    core.SetMode(0, 94.0, 0, 0, 110.0, 1, false, 0, 0, 0);
    core.RightButtonCommand();
    core.EditReference("29,9");
    EXPECT_FALSE(core.RightVisible());
    core.ControlKal(5);
    EXPECT_EQ(core.Step(), 3) << "no connect page without a valid reference";
    core.EditReference("114,0");
    EXPECT_TRUE(core.RightVisible());
    EXPECT_DOUBLE_EQ(core.RefVal(), 114.0);
}

TEST_F(WizardCore, LowInputKeepsTheCheckFromPassing) {
    Core core(host);
    ToConnectPage(core);
    host.Sine(-65.0);
    core.SetIpControl(true);
    EXPECT_EQ(PassCheck(core, 20), -1);
    EXPECT_EQ(host.Statuses().back(), 9);
    EXPECT_EQ(core.LevelCaption(), QStringLiteral("CHECK CALIBRATOR"));
    EXPECT_TRUE(core.LowInputShown());
    EXPECT_EQ(core.MaxDb(), -100.0);
    // The red running light walks over the six indicators.
    int lit = 0;
    for (Core::Light light : core.Lights()) lit += light == Core::Light::Red;
    EXPECT_LE(lit, 1);
    // Back to a good level: seven evaluations from the first good one.
    host.Sine(-20.0);
    int evaluations = 0;
    while (!(core.RightVisible() && core.RightMode() == Core::kButtonNext) && evaluations < 20) {
        core.LevelTick();
        ++evaluations;
    }
    EXPECT_EQ(evaluations, 7) << "seven good evaluations from the first good one";
}

TEST_F(WizardCore, UnstableLevelAbortsAndOffersRepeatOfTheCheck) {
    Core core(host);
    ToConnectPage(core);
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    RunSamples(core, 19);
    host.Sine(-18.0);
    core.RunTick();
    EXPECT_FALSE(core.RunTimerOn());
    EXPECT_EQ(core.Step(), 258);
    EXPECT_EQ(core.CurrentPage(), Core::Page::Warning);
    EXPECT_TRUE(core.MarkerAlarm());
    EXPECT_FALSE(core.RightVisible()) << "the repeat appears only after three seconds";
    core.ShowNextTick();
    ASSERT_TRUE(core.RightVisible());
    EXPECT_EQ(core.RightMode(), Core::kButtonRepeatStep);
    host.Sine(-20.0);
    core.RightButtonCommand();
    EXPECT_TRUE(core.LevelTimerOn()) << "the level check restarts at once";
    EXPECT_EQ(core.Step(), 21);
    EXPECT_FALSE(core.MarkerAlarm());
}

TEST_F(WizardCore, SamplesExactlyOnTheBandKeepTheRunGoing) {
    Core core(host);
    ToConnectPage(core);
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    const double a = host.rms;
    RunSamples(core, 9);
    host.rms = a / std::pow(10.0, 0.075);
    core.RunTick();
    host.rms = a * std::pow(10.0, 0.075);
    core.RunTick();
    EXPECT_TRUE(core.RunTimerOn());
    host.rms = a * std::pow(10.0, 0.075) * 1.0001;
    core.RunTick();
    EXPECT_FALSE(core.RunTimerOn());
}

TEST_F(WizardCore, SilenceAfterThePassedCheckOffersNoCalibration) {
    Core core(host);
    ToConnectPage(core);
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    host.peak = host.rms = host.energy = 0.0;
    RunSamples(core, 100);
    EXPECT_EQ(core.CurrentPage(), Core::Page::Warning);
    EXPECT_EQ(core.WarningHeader(), QStringLiteral("The level of the current input-signal is below -60dB(FS)."));
    core.ShowNextTick();
    EXPECT_FALSE(core.RightVisible());
    core.ControlKal(3);
    EXPECT_EQ(core.ModalResult(), Core::kResultNone);
    EXPECT_EQ(core.MiddleMode(), Core::kButtonRepeat);
}

TEST_F(WizardCore, ChangedCaptureVolumeAbortsTheRun) {
    Core core(host);
    int32_t volume = -120;
    core.SetCaptureVolumeSource([&volume]() -> std::optional<int32_t> { return volume; });
    ToConnectPage(core);
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    EXPECT_EQ(core.GetRefVol(), -120);
    RunSamples(core, 30);
    volume = -100;
    core.RunTick();
    EXPECT_EQ(core.WarningHeader(), QStringLiteral("Input Volume Changed"));
    core.ShowNextTick();
    EXPECT_EQ(core.RightMode(), Core::kButtonRepeat);
}

TEST_F(WizardCore, HeadroomWarningAndLogOffset) {
    TCalLog log;
    log.AddKal(94.0 - EnergyLevel(0.005) - 0.26, "cal", "", "dev", 1, 65551, 45000.0);
    Core core(host, &log);
    host.maxLimit = 120.0;
    ToConnectPage(core);
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    RunSamples(core, 100);
    EXPECT_EQ(core.CurrentPage(), Core::Page::Warning);
    EXPECT_TRUE(core.WarningIsInformation());
    EXPECT_EQ(core.WarningHeader(), QStringLiteral("Maximum Level not reached"));
    EXPECT_TRUE(core.WarningText().contains("114 dB")) << core.WarningText().toStdString();
    EXPECT_NEAR(core.GetCalLogDif(), 0.26, 0.01);
    EXPECT_TRUE(core.UseOffsetWarning());
    EXPECT_TRUE(core.CalLogInfo().contains("0.26")) << core.CalLogInfo().toStdString();
    core.ShowNextTick();
    EXPECT_EQ(core.RightMode(), Core::kButtonApply);

    // Without log entries the comparison yields 0.
    TCalLog empty;
    Core fresh(host, &empty);
    ToConnectPage(fresh);
    ASSERT_EQ(PassCheck(fresh), 7);
    fresh.RightButtonCommand();
    RunSamples(fresh, 100);
    EXPECT_EQ(fresh.GetCalLogDif(), 0.0);
    EXPECT_FALSE(fresh.UseOffsetWarning());
}

TEST_F(WizardCore, VerificationComparesWithTheLogAndReportsItsDeviation) {
    TCalLog log;
    Core core(host, &log);
    ToConnectPage(core, 3);
    EXPECT_EQ(core.GetMicId(), 257);
    // No calibration logged: the level counts as good, the crest decides.
    EXPECT_EQ(PassCheck(core), 7);
    EXPECT_EQ(core.GetMaxDb(), 100.0);
    core.RightButtonCommand();
    RunSamples(core, 75);
    EXPECT_EQ(core.Step(), 15);
    EXPECT_EQ(core.WarningHeader(), QStringLiteral("Verification result"));
    EXPECT_NEAR(core.GetMaxDb(), std::fabs(core.CalResM() - 110.0), 1e-9);

    // A logged calibration 20 dB away: the level is bad, then six good evaluations pass.
    TCalLog far;
    far.AddKal(94.0, "cal", "", "dev", 1, 65551, 45000.0);
    Core verify(host, &far);
    ToConnectPage(verify, 3);
    verify.RightButtonCommand();
    verify.LevelTick();
    verify.LevelTick();
    EXPECT_EQ(verify.GetMaxDb(), 0.0);
    EXPECT_TRUE(verify.LowInputShown());
}

TEST_F(WizardCore, TwoMicrophonesCancelledDuringTheReferenceKeepTheMeasuringResult) {
    Core core(host);
    core.SetMode(1, 94.0, 0, 0, 110.0, 1, false, 0, 130.0, 0);
    core.SetClock([] { return 46200.0; });
    EXPECT_EQ(core.Step(), 1);
    EXPECT_EQ(core.SelectedMics(), Core::Mics::Both);
    core.RightButtonCommand();  // choice -> description
    core.RightButtonCommand();  // -> nominal
    core.RightButtonCommand();  // -> connect
    ASSERT_EQ(PassCheck(core), 7);
    core.RightButtonCommand();
    RunSamples(core, 100);
    ASSERT_EQ(core.CurrentPage(), Core::Page::Result);
    EXPECT_EQ(core.RightMode(), Core::kButtonNext);
    core.RightButtonCommand();
    EXPECT_TRUE(core.GetMCG());
    EXPECT_EQ(core.CurrentMic(), 2);
    EXPECT_EQ(core.GetCTM(), 46200.0);
    EXPECT_TRUE(core.StepVisible(12));
    core.ControlKal(0);
    EXPECT_EQ(core.ModalResult(), Core::kResultCancelled);
    EXPECT_TRUE(core.GetMCG());
    EXPECT_DOUBLE_EQ(core.GetCalR(), 130.0);
}

TEST_F(WizardCore, RemoteCommandsActOnlyInTheirState) {
    Core core(host);
    host.active = 1;
    host.ipv4 = 1;
    ToConnectPage(core);
    EXPECT_EQ(host.Statuses().back(), 0) << "the ready status goes out without the tick";
    EXPECT_TRUE(core.IpBoxVisible());
    core.TalkToMe(266);  // accept before any result
    core.TalkToMe(263);  // no middle button
    EXPECT_EQ(core.ModalResult(), Core::kResultNone);
    EXPECT_EQ(core.Step(), 9);
    core.SetIpControl(true);
    EXPECT_EQ(host.posts.back(), std::make_pair(265, int64_t{1}));
    core.TalkToMe(261);
    EXPECT_TRUE(core.LevelTimerOn());
    EXPECT_FALSE(core.IpBoxVisible());
    EXPECT_EQ(host.Statuses().back(), 1);
    core.TalkToMe(262);
    EXPECT_EQ(core.ModalResult(), Core::kResultCancelled);
}

}  // namespace

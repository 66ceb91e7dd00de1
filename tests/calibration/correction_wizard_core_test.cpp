#include "calibration/correction_wizard_core.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "calibration/location_store.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "tests/calibration/correction_wizard_fakes.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kNow = 46300.5;

class CorrectionWizardCore : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        language.store(2);
        ASSERT_TRUE(dir_.isValid());
        platform::SetUserDialogs(&dialogs_);
        store_ = std::make_unique<TKorrLocation>(dir_.path());
    }
    void TearDown() override { platform::SetUserDialogs(nullptr); }

    KorrEnvironment Env() {
        KorrEnvironment env;
        env.host = &host_;
        env.store = store_.get();
        env.sums = &sums_;
        env.outputRunning = ownSignal_;
        env.waveOutId = ownSignal_ ? 0 : -1;
        env.calM = 117.0;
        env.calR = 119.0;
        env.allowDirectEntry = true;
        env.now = [] { return kNow; };
        env.sessionVolumes = sessionVolumes_;
        env.captureVolume = [this] { return captureVolume_; };
        env.renderVolume = [this] { return renderVolume_; };
        return env;
    }

    // Creation and set-up as the main window does it.
    TaKorr& Open(int32_t storedMethod = kKorrNone, bool canDual = false, bool music = false) {
        wizard_ = std::make_unique<TaKorr>(Env());
        wizard_->SetMode(canDual, -60, music);
        wizard_->SetCorrMode(storedMethod);
        wizard_->Begin();
        return *wizard_;
    }

    // One timed measurement: the first (1 s) tick starts sampling, then ticks up to its end.
    void Measure(TaKorr& w) {
        ASSERT_TRUE(w.MessTimerOn());
        w.MessTick();
        ASSERT_FALSE(w.firstStartSampling);
        while (w.MessTimerOn()) w.MessTick();
    }

    void Describe(TaKorr& w, const QString& text) {
        ASSERT_EQ(KorrPage::tsEdit, w.Page());
        w.SetMemoText(text);
        ASSERT_TRUE(w.NextVisible());
        w.RightButton();
    }

    // Method 1 with an external signal up to the location list with one location.
    void FirstLocation(TaKorr& w, const QString& where) {
        w.ChooseMethod(kKorrOneMic);
        w.RightButton();
        ASSERT_EQ(24, w.Step());
        w.RightButton();
        Describe(w, where);
        ASSERT_EQ(4, w.Step());
        w.RightButton();
        ASSERT_EQ(5, w.Step());
        Measure(w);
        ASSERT_EQ(16, w.Step());
        w.RightButton();
        ASSERT_EQ(30, w.Step());
    }

    QTemporaryDir dir_;
    platform::ScriptedDialogs dialogs_;
    FakeWizardHost host_;
    FakeSums sums_;
    std::unique_ptr<TKorrLocation> store_;
    std::unique_ptr<TaKorr> wizard_;
    bool ownSignal_ = false;
    bool sessionVolumes_ = false;
    int32_t captureVolume_ = -100;
    int32_t renderVolume_ = -50;
};

TEST_F(CorrectionWizardCore, OneMicrophonePathHandsBackTheLoudestLocationPerWeighting) {
    TaKorr& w = Open();
    EXPECT_EQ(2, w.Step());
    EXPECT_TRUE(w.MethodSelected(kKorrOneMic));  // preselected without two microphones
    sums_.stopA = 0.2, sums_.stopC = 0.1, sums_.stopZ = 0.1;
    FirstLocation(w, QStringLiteral("Stage left"));
    // A second location, louder in C: 30 -> 31 -> 32 -> 33 -> 35 -> 16 -> 30.
    w.MiddleButtonAction();
    ASSERT_EQ(32, w.Step());
    Describe(w, QStringLiteral("Balcony right"));
    ASSERT_EQ(33, w.Step());
    w.RightButton();
    ASSERT_EQ(35, w.Step());
    sums_.stopA = 0.1, sums_.stopC = 0.3, sums_.stopZ = 0.1;
    Measure(w);
    w.RightButton();
    ASSERT_EQ(30, w.Step());
    EXPECT_EQ(2, store_->GetLocCount());
    EXPECT_EQ(2, store_->GetNumDifLoc());
    EXPECT_EQ(QStringLiteral("A, Z: Stage left \u00A7 C:   Balcony right"), w.LocSummaryText())
        << "Z ties and the first location wins";

    w.RightButton();  // to the measuring position
    ASSERT_EQ(6, w.Step());
    Describe(w, QStringLiteral("FOH desk, left"));
    ASSERT_EQ(7, w.Step());
    w.RightButton();
    ASSERT_EQ(8, w.Step());
    sums_.stopA = 0.4, sums_.stopC = 0.6, sums_.stopZ = 0.2;
    Measure(w);
    ASSERT_EQ(10, w.Step());
    EXPECT_NEAR(20 * std::log10(0.2 / 0.4), w.klA, 1e-12);
    EXPECT_NEAR(20 * std::log10(0.3 / 0.6), w.klC, 1e-12);
    EXPECT_NEAR(20 * std::log10(0.1 / 0.2), w.klZ, 1e-12);
    w.RightButton();
    EXPECT_EQ(KorrResult::Ok, w.Result());
    EXPECT_TRUE(host_.Got(18, 0));

    TDaten data;
    EXPECT_TRUE(w.SetKorrResults(data));
    EXPECT_EQ(kKorrOneMic, data.GetKorrArt());
    EXPECT_EQ(QStringLiteral("Stage left"), data.GetKorrText(1));
    EXPECT_EQ(QStringLiteral("Balcony right"), data.GetKorrText(2));
    EXPECT_EQ(QStringLiteral("Stage left"), data.GetKorrText(4));
    EXPECT_EQ(QStringLiteral("FOH desk, left"), data.GetKorrText(8));
    EXPECT_EQ(store_->GetDateTime(0), data.GetKorrTime(1));
    EXPECT_EQ(kNow, data.GetKorrTime(8));
    EXPECT_NEAR(w.klC, data.GetKorr(2), 1e-12);
}

TEST_F(CorrectionWizardCore, NoCorrectionImportAndDirectEntryPaths) {
    {
        TaKorr& w = Open();
        w.ChooseMethod(kKorrNoCorrection);
        w.RightButton();
        ASSERT_EQ(1, w.Step());
        Describe(w, QStringLiteral("Mixing desk"));
        ASSERT_EQ(10, w.Step());
        w.RightButton();
        TDaten data;
        data.SetKorrVal(1, -7.0);
        w.SetKorrResults(data);
        EXPECT_EQ(kKorrNoCorrection, data.GetKorrArt());
        EXPECT_EQ(0.0, data.GetKorr(1));
        EXPECT_EQ(QStringLiteral("Mixing desk"), data.GetKorrText(1));
        EXPECT_EQ(kNow, data.GetKorrTime(4));
        EXPECT_EQ(data.GetKorrTime(1), data.GetKorrTime(8));
    }
    {
        // Direct entry with three locations: 2 -> 12 -> 13 -> 37 -> 36 -> 3 -> 10.
        TaKorr& w = Open();
        w.ChooseMethod(kKorrDirect);
        w.RightButton();
        ASSERT_EQ(12, w.Step());
        w.SetMemoText(QStringLiteral("Front row"));
        EXPECT_TRUE(w.MiddleVisible());
        w.MiddleButtonAction();
        ASSERT_EQ(13, w.Step());
        w.SetMemoText(QStringLiteral("Sub area"));
        w.MiddleButtonAction();
        ASSERT_EQ(37, w.Step());
        w.SetMemoText(QStringLiteral("Tower Z"));
        w.RightButton();
        ASSERT_EQ(36, w.Step());
        Describe(w, QStringLiteral("Desk centre"));
        ASSERT_EQ(3, w.Step());
        w.SetDirectField(0, QStringLiteral("-3.5"));
        w.SetDirectField(1, QStringLiteral("-1.25"));
        w.SetDirectField(2, QStringLiteral("-2"));
        ASSERT_TRUE(w.NextVisible());
        w.RightButton();
        ASSERT_EQ(10, w.Step());
        w.SetCalcMemo(QStringLiteral("From the system designer's model"));
        TDaten data;
        w.SetKorrResults(data);
        EXPECT_EQ(kKorrDirect, data.GetKorrArt());
        EXPECT_EQ(-1.25, data.GetKorr(2));
        EXPECT_EQ(QStringLiteral("Front row"), data.GetKorrText(1));
        EXPECT_EQ(QStringLiteral("Sub area"), data.GetKorrText(2));
        EXPECT_EQ(QStringLiteral("Tower Z"), data.GetKorrText(4));
        EXPECT_EQ(QStringLiteral("Desk centre"), data.GetKorrText(8));
        EXPECT_EQ(data.GetKorrTime(4), data.GetKorrTime(8));
        EXPECT_EQ(QStringLiteral("From the system designer's model"), data.GetKorrCalcText());
    }
}

// Import fixtures made here: a saved file, an enciphered one and a damaged one.
TEST_F(CorrectionWizardCore, ImportTakesTheFilesCorrectionsOnlyWhenItCanBeRead) {
    TDaten source;
    source.SetKorrVal(1, -5.5);
    source.SetKorrVal(2, -2.25);
    source.SetKorrVal(4, -7.0);
    source.SetKorrArt(kKorrTwoMics);
    source.SetKorrText(1, QStringLiteral("Imported front"));
    source.SetKorrTime(1, kNow - 3);
    const QString plain = dir_.filePath(QStringLiteral("plain.vtm"));
    const QString secret = dir_.filePath(QStringLiteral("secret.vtm"));
    const QString damaged = dir_.filePath(QStringLiteral("damaged.vtm"));
    ASSERT_TRUE(source.SaveToFile(plain, QString()));
    ASSERT_TRUE(source.SaveToFile(secret, QStringLiteral("geheim12")));
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(300, '\x5a'));
    }
    auto openImport = [this](const QString& file) -> TaKorr& {
        TaKorr& w = Open();
        w.ChooseMethod(kKorrImport);
        w.RightButton();
        EXPECT_EQ(14, w.Step());
        w.SelectImportFile(file);
        return w;
    };
    {
        TaKorr& w = openImport(damaged);
        EXPECT_FALSE(w.NextVisible());
        EXPECT_TRUE(w.ImportPanelText().startsWith(GetLangText(593)));
    }
    {
        // Cancelled prompt: the page stays and Next goes.
        TaKorr& w = openImport(secret);
        w.loadFileName = secret;
        dialogs_.ScriptPasswordCancel();
        w.DoNextStep();
        EXPECT_EQ(14, w.Step());
        EXPECT_FALSE(w.NextVisible());
        EXPECT_EQ(0.0, w.klA);
        dialogs_.ScriptPassword(QStringLiteral("falsch99"));
        w.DoNextStep();
        EXPECT_EQ(14, w.Step());
        dialogs_.ScriptPassword(QStringLiteral("geheim12"));
        w.DoNextStep();
        EXPECT_EQ(10, w.Step());
        EXPECT_EQ(-5.5, w.klA);
    }
    store_->Add(0, 0, 0, kNow, 0.1, 0.1, 0.1, QStringLiteral("cleared by the import"));
    TaKorr& w = openImport(plain);
    ASSERT_TRUE(w.NextVisible());
    w.RightButton();
    ASSERT_EQ(10, w.Step());
    EXPECT_EQ(0, store_->GetLocCount());
    TDaten data;
    w.SetKorrResults(data);
    EXPECT_EQ(kKorrTwoMics, data.GetKorrArt());
    EXPECT_EQ(-2.25, data.GetKorr(2));
    EXPECT_EQ(QStringLiteral("Imported front"), data.GetKorrText(1));
    EXPECT_EQ(kNow - 3, data.GetKorrTime(1));
    EXPECT_EQ(plain, data.GetCopyKorFrom());
    EXPECT_EQ(2, data.GetCopyMode() & 2);
}

TEST_F(CorrectionWizardCore, DirectEntryRejectsWhatIsNoNumberInThisLocale) {
    TaKorr& w = Open();
    w.ChooseMethod(kKorrDirect);
    w.RightButton();
    w.SetMemoText(QStringLiteral("Front row"));
    w.RightButton();
    Describe(w, QStringLiteral("Desk centre"));
    ASSERT_EQ(3, w.Step());
    w.SetDirectField(0, QStringLiteral("-3"));
    w.SetDirectField(1, QStringLiteral("-3"));
    for (const char* bad : {"abc", "", "1,5", "--2"}) {
        w.SetDirectField(2, QString::fromLatin1(bad));
        EXPECT_TRUE(w.DirectFieldRed(2)) << bad;
        EXPECT_EQ(kKorrInvalid, w.klZ) << bad;
        EXPECT_FALSE(w.NextVisible()) << bad;
        w.HandleCode(303, 1);
        EXPECT_EQ(3, w.Step()) << bad;
    }
    w.SetDirectField(2, QStringLiteral("1.5"));
    EXPECT_FALSE(w.DirectFieldRed(2));
    EXPECT_TRUE(w.NextVisible());
}

TEST_F(CorrectionWizardCore, NextWithoutMethodDoesNothingAndBackKeepsLocations) {
    TaKorr& w = Open(kKorrNone, /*canDual=*/true);
    store_->SetKorrConfig(117.0, 0.0, kModeOneMic);
    // With two microphones and an empty store the two-microphone method is preselected.
    EXPECT_TRUE(w.MethodSelected(kKorrTwoMics));
    w.KorrMode = kKorrNone;
    w.RightButton();
    EXPECT_EQ(2, w.Step());
    EXPECT_EQ(KorrPage::tsART, w.Page());

    TaKorr& w1 = Open();
    FirstLocation(w1, QStringLiteral("Stage left"));
    w1.RightButton();
    ASSERT_EQ(6, w1.Step());
    EXPECT_TRUE(w1.LeftIsBack());
    w1.LeftButton();
    EXPECT_EQ(30, w1.Step());
    EXPECT_EQ(1, store_->GetLocCount());
    EXPECT_EQ(KorrResult::Open, w1.Result());
    // Cancel on the list keeps the method for the caller.
    w1.LeftButton();
    EXPECT_EQ(KorrResult::Cancel, w1.Result());
    EXPECT_EQ(kKorrOneMic, w1.GetCancelMode());
    EXPECT_TRUE(host_.Got(19, kMutedLevel));
}

TEST_F(CorrectionWizardCore, DeletingTheLastLocationReturnsToTheMethodPage) {
    TaKorr& w = Open();
    FirstLocation(w, QStringLiteral("Stage left"));
    dialogs_.ScriptMessage(platform::kMessageRight);  // "Cancel": kept
    w.AskDeleteLocation(0);
    EXPECT_EQ(1, store_->GetLocCount());
    dialogs_.ScriptMessage(platform::kMessageLeft);  // "Clear"
    w.AskDeleteLocation(0);
    EXPECT_EQ(0, store_->GetLocCount());
    EXPECT_EQ(2, w.Step());
    EXPECT_EQ(KorrPage::tsART, w.Page());
    EXPECT_EQ(0, w.StepMark());
    ASSERT_EQ(2u, dialogs_.messages().size());
    EXPECT_TRUE(dialogs_.messages()[1].text.contains(QStringLiteral("\r\nStage left\r\n")));
}

TEST_F(CorrectionWizardCore, SilenceEndsTheWaitAtTheThirtyFirstTick) {
    TaKorr& w = Open();
    w.ChooseMethod(kKorrOneMic);
    w.RightButton();
    w.RightButton();
    Describe(w, QStringLiteral("Stage left"));
    host_.rmsM = 0.0005;  // below the -60 dB threshold
    w.RightButton();
    ASSERT_EQ(5, w.Step());
    EXPECT_EQ(1000, w.MessInterval());
    for (int tick = 1; tick <= 30; ++tick) {
        w.MessTick();
        ASSERT_EQ(5, w.Step()) << tick;
        EXPECT_EQ(100, w.MessInterval());
    }
    w.MessTick();
    EXPECT_EQ(9, w.Step());
    EXPECT_EQ(GetLangText(933), w.WarnHeader());
    EXPECT_FALSE(w.MessTimerOn());
    EXPECT_EQ(0, sums_.starts);
    EXPECT_TRUE(w.ErrorTimerOn());
    w.ErrorTick();
    EXPECT_TRUE(w.MiddleVisible());
    EXPECT_EQ(GetLangText(938), w.MiddleCaption());
}

// The level band: noise 3 dB, music 25 dB, and with music of 60 s or more no band at immission locations.
TEST_F(CorrectionWizardCore, LevelBandByTheSignal) {
    struct Case {
        bool music;
        double riseDb;
        int32_t duration;
        int32_t stepAfter;
        const char* limit;
    } cases[] = {{false, 3.1, 15, 25, "3"},  {false, 2.9, 15, 5, ""},  {true, 24.9, 60, 5, ""},
                 {true, 25.1, 60, 5, ""},    {false, -3.1, 15, 25, "3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.riseDb);
        store_->Clear();
        store_->SetDauer(c.duration);
        TaKorr& w = Open(kKorrNone, false, c.music);
        w.ChooseMethod(kKorrOneMic);
        w.RightButton();
        w.RightButton();
        Describe(w, QStringLiteral("Stage left"));
        host_.rmsM = 0.01;
        w.RightButton();
        w.MessTick();
        host_.rmsM = 0.01 * std::pow(10.0, c.riseDb / 20.0);
        w.MessTick();
        EXPECT_EQ(c.stepAfter, w.Step());
        if (c.stepAfter == 25) {
            EXPECT_EQ(GetLangText(940), w.WarnHeader());
            EXPECT_TRUE(w.WarnText().contains(QStringLiteral("by more than ") + c.limit + QStringLiteral(" dB")));
            EXPECT_TRUE(w.StepMarkRed());
        }
    }
    // Music at the measuring position: the 25 dB band always applies.
    store_->Clear();
    store_->SetDauer(60);
    TaKorr& w = Open(kKorrNone, false, true);
    host_.rmsM = 0.01;
    FirstLocation(w, QStringLiteral("Stage left"));
    w.RightButton();
    Describe(w, QStringLiteral("FOH desk"));
    w.RightButton();
    ASSERT_EQ(8, w.Step());
    w.MessTick();
    host_.rmsM = 0.01 * std::pow(10.0, 25.1 / 20.0);
    w.MessTick();
    EXPECT_EQ(25, w.Step());
    EXPECT_TRUE(w.WarnText().contains(QStringLiteral("25 dB")));
}

TEST_F(CorrectionWizardCore, ErrorsThatEndAMeasurement) {
    {
        // Without the calculation thread the first tick ends with the pink-noise error.
        KorrEnvironment env = Env();
        env.sums = nullptr;
        TaKorr w(env);
        w.SetMode(false, -60, false);
        w.Begin();
        w.ChooseMethod(kKorrOneMic);
        w.RightButton();
        w.RightButton();
        Describe(w, QStringLiteral("Stage left"));
        w.RightButton();
        w.MessTick();
        EXPECT_EQ(GetLangText(855), w.WarnHeader());
        EXPECT_EQ(GetLangText(860), w.WarnText());
        EXPECT_EQ(5, w.Step());
        EXPECT_FALSE(w.MessTimerOn());
    }
    {
        // Silent sums at the measuring position: the low-level error, not corrections of 0 dB.
        TaKorr& w = Open();
        FirstLocation(w, QStringLiteral("Stage left"));
        w.RightButton();
        Describe(w, QStringLiteral("FOH desk"));
        w.RightButton();
        sums_.stopA = 0.0;
        Measure(w);
        EXPECT_EQ(15, w.Step());
        EXPECT_EQ(GetLangText(789), w.Mess().statusLine);
        EXPECT_FALSE(w.NextVisible());
        w.ErrorTick();
        w.MiddleButtonAction();  // "Repeat": the measuring position again
        EXPECT_EQ(7, w.Step());
    }
}

TEST_F(CorrectionWizardCore, ARenderVolumeChangedAtTheMeasuringPositionTellsThePinkNoiseChanged) {
    ownSignal_ = true;
    sessionVolumes_ = true;
    TaKorr& w = Open();
    w.ChooseMethod(kKorrOneMic);
    w.RightButton();
    w.RightButton();
    Describe(w, QStringLiteral("Stage left"));
    ASSERT_EQ(4, w.Step());
    w.TogglePink();
    w.RightButton();
    ASSERT_EQ(11, w.Step());  // the own signal gets its level first
    w.LevelButton(-20);
    for (int i = 0; i < 40; ++i) w.LevelTick();
    EXPECT_EQ(-20, w.SpinValue());
    EXPECT_FALSE(w.LevelChangeOn());
    w.RightButton();
    ASSERT_EQ(5, w.Step());
    Measure(w);
    w.RightButton();
    w.RightButton();
    Describe(w, QStringLiteral("FOH desk"));
    ASSERT_EQ(7, w.Step());
    // The ramp to the stored send level: 40 ticks from -60 to -20, then the measurement starts.
    w.RightButton();
    EXPECT_TRUE(host_.Got(19, -60));
    EXPECT_TRUE(host_.Got(18, 1));
    for (int i = 0; i < 39; ++i) w.LevelTick();
    EXPECT_EQ(7, w.Step());
    w.LevelTick();
    EXPECT_EQ(-20, w.SpinValue());
    ASSERT_EQ(8, w.Step());
    renderVolume_ = -40;  // someone turned the session's volume
    w.MessTick();
    w.MessTick();
    EXPECT_EQ(GetLangText(855), w.WarnHeader());
    EXPECT_EQ(GetLangText(860), w.WarnText());
    EXPECT_TRUE(w.LeftIsBack());
    w.LeftButton();
    EXPECT_EQ(30, w.Step());
}

TEST_F(CorrectionWizardCore, PositiveCorrectionWarnings) {
    struct Case {
        double a, c, z;
        int32_t header;  // 0: no warning
        int lines;
    } cases[] = {{0.9, 0.5, -3.0, 0, 0}, {1.2, 0.5, -3.0, 959, 2}, {1.2, -0.5, -3.0, 786, 1}, {2.0, 2.0, 2.0, 959, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a);
        store_->Clear();
        TaKorr& w = Open();
        sums_.stopA = sums_.stopC = sums_.stopZ = 0.1;
        FirstLocation(w, QStringLiteral("Stage left"));
        w.RightButton();
        Describe(w, QStringLiteral("FOH desk"));
        w.RightButton();
        sums_.stopA = 0.1 / std::pow(10.0, c.a / 20);
        sums_.stopC = 0.1 / std::pow(10.0, c.c / 20);
        sums_.stopZ = 0.1 / std::pow(10.0, c.z / 20);
        Measure(w);
        if (c.header == 0) {
            EXPECT_EQ(10, w.Step());
            continue;
        }
        ASSERT_EQ(28, w.Step());
        EXPECT_EQ(GetLangText(c.header), w.WarnHeader());
        EXPECT_TRUE(w.IsWarnInfo());
        EXPECT_EQ(c.lines, w.WarnText().left(w.WarnText().indexOf(QStringLiteral("\r\n\r\n"))).count(QStringLiteral(" dB")));
        EXPECT_TRUE(w.MiddleVisible());
        w.RightButton();  // IGNORE
        EXPECT_EQ(10, w.Step());
    }
}

TEST_F(CorrectionWizardCore, CorrectionColours) {
    using T = TaKorr::CorrTone;
    const std::pair<double, T> cases[] = {{-0.95, T::Yellow}, {-0.96, T::Green}, {-25.0, T::Green},
                                          {-25.1, T::Red},    {0.95, T::Yellow}, {0.96, T::Red}};
    for (const auto& [value, tone] : cases) EXPECT_EQ(tone, TaKorr::CorrColor(value)) << value;
}

TEST_F(CorrectionWizardCore, TwoMicrophoneMeasurementAndItsRemoteState) {
    host_.kalDiv = 2.0;
    host_.activeAddresses = 1;
    TaKorr& w = Open(kKorrNone, /*canDual=*/true);
    ASSERT_TRUE(w.MethodSelected(kKorrTwoMics));
    w.RightButton();
    ASSERT_EQ(22, w.Step());
    w.RightButton();
    ASSERT_EQ(24, w.Step());
    w.ToggleUseIp();
    EXPECT_TRUE(w.IsIpEnabled());
    EXPECT_EQ(QStringLiteral("24;0;0;0;Duration 15s;"), w.GetWebString());
    w.RightButton();
    Describe(w, QStringLiteral("Stage left"));
    ASSERT_EQ(6, w.Step());
    Describe(w, QStringLiteral("FOH desk"));
    ASSERT_EQ(20, w.Step());
    w.RightButton();
    ASSERT_EQ(26, w.Step());
    sums_.stopA = 0.1, sums_.stopC = 0.1, sums_.stopZ = 0.1;
    sums_.vglA = 0.1 * std::pow(10.0, -7.2 / 20), sums_.vglC = 0.1 * std::pow(10.0, -5.1 / 20),
    sums_.vglZ = 0.1 * std::pow(10.0, -8.0 / 20);
    w.MessTick();
    for (int i = 0; i < 30; ++i) w.MessTick();
    EXPECT_EQ(QStringLiteral("26;-52;-31;-60;12;"), w.GetWebString());
    EXPECT_EQ(-52, w.MonitorTenths(0));
    // A remote "next" while Next is hidden does nothing.
    w.HandleCode(303, 1);
    EXPECT_EQ(26, w.Step());
    while (w.MessTimerOn()) w.MessTick();
    ASSERT_EQ(30, w.Step());
    EXPECT_NEAR(-5.2, store_->GetARef(), 1e-9);
    EXPECT_EQ(QStringLiteral("Stage left"), w.LocSummaryText());
    EXPECT_TRUE(w.GetWebString().startsWith(QStringLiteral("30;")));
    w.RightButton();
    ASSERT_EQ(10, w.Step());
    EXPECT_NEAR(-3.1, w.klC, 1e-9);
    TDaten data;
    w.SetKorrResults(data);
    EXPECT_EQ(kKorrTwoMics, data.GetKorrArt());
    EXPECT_EQ(store_->GetDateTime(0), data.GetKorrTime(8));
}

TEST_F(CorrectionWizardCore, RemoteCommandsActOnlyInTheirSteps) {
    ownSignal_ = true;
    host_.activeAddresses = 1;
    host_.rmsM = std::pow(10.0, -45.3 / 20);
    TaKorr& w = Open();
    w.HandleCode(306, 1);  // not at a level step
    EXPECT_EQ(kSpinMin, w.SpinValue());
    w.ChooseMethod(kKorrOneMic);
    w.RightButton();
    w.RightButton();
    Describe(w, QStringLiteral("Stage left"));
    ASSERT_EQ(4, w.Step());
    w.HandleCode(307, 0);
    EXPECT_EQ(QStringLiteral("4;0;0;0;OFF;"), w.GetWebString());
    w.HandleCode(307, 1);
    EXPECT_EQ(QStringLiteral("4;0;0;0;ON;"), w.GetWebString());
    w.RightButton();
    ASSERT_EQ(11, w.Step());
    w.HandleCode(307, 0);  // not at a signal step
    EXPECT_TRUE(store_->GetUseTg());
    w.HandleCode(306, 20);
    EXPECT_EQ(-20, w.SpinValue());
    w.klC = -3.25;
    w.klZ = -4.0;
    EXPECT_EQ(QStringLiteral("11;-45;-32;-40;-20dB;"), w.GetWebString());
    w.HandleCode(306, -5);
    EXPECT_EQ(-20, w.SpinValue());
    w.HandleCode(306, 75);
    EXPECT_EQ(kSpinMin, w.SpinValue());
    w.HandleCode(306, 1);
    EXPECT_EQ(-59, w.SpinValue());
    w.HandleCode(306, 0);
    w.HandleCode(306, 0);
    EXPECT_EQ(kSpinMin, w.SpinValue());
    EXPECT_TRUE(host_.Got(19, -59));
    // 302 is the middle button ("Back") even where nothing shows it.
    w.HandleCode(302, 0);
    EXPECT_EQ(4, w.Step());
    w.HandleCode(305, 0);
    EXPECT_EQ(KorrResult::Cancel, w.Result());
}

TEST_F(CorrectionWizardCore, RemoteRepeatAtTheMeasuringPositionReturnsToTheList) {
    TaKorr& w = Open();
    FirstLocation(w, QStringLiteral("Stage left"));
    w.RightButton();
    Describe(w, QStringLiteral("FOH desk"));
    w.RightButton();
    ASSERT_EQ(8, w.Step());
    w.MessTick();
    EXPECT_FALSE(w.MiddleVisible());
    w.HandleCode(302, 0);
    EXPECT_EQ(30, w.Step());
    EXPECT_FALSE(w.MessTimerOn());
}

TEST_F(CorrectionWizardCore, LocationSummaries) {
    TaKorr& w = Open();
    store_->SetKorrConfig(117.0, 0.0, kModeOneMic);
    const QString longText(80, QLatin1Char('x'));
    store_->Add(0, 0, 0, kNow, 0.5, 0.1, 0.1, longText);
    EXPECT_EQ(QString(50, QLatin1Char('x')), w.LocSummaryText());
    store_->Add(0, 0, 0, kNow, 0.1, 0.5, 0.5, QStringLiteral("Balcony"));
    EXPECT_EQ(QStringLiteral("A:   ") + QString(45, QLatin1Char('x')) + QStringLiteral(" \u00A7 C, Z: Balcony"),
              w.LocSummaryText());
    store_->Add(0, 0, 0, kNow, 0.1, 0.1, 0.9, QStringLiteral("Sub\r\narray"));
    EXPECT_EQ(QStringLiteral("A: ") + QString(47, QLatin1Char('x')) +
                  QStringLiteral(" \u00A7 C: Balcony \u00A7 Z: Sub\r\narray"),
              w.LocSummaryText());
}

// The reuse offer at creation and on the method page.
TEST_F(CorrectionWizardCore, ReuseOfEarlierLocations) {
    struct Case {
        const char* what;
        int32_t storedMode;
        double storedCalM;
        int32_t chosenMethod;
        bool canDual;
        bool offered;
    } cases[] = {{"same calibration, one microphone", kModeOneMic, 117.0, kKorrOneMic, false, true},
                 {"calibration of M changed", kModeOneMic, 116.0, kKorrOneMic, false, false},
                 {"one-microphone store for method 3", kModeOneMic, 117.0, kKorrTwoMics, true, false},
                 {"two-microphone store for method 1", kModeTwoMics, 117.0, kKorrOneMic, true, false},
                 {"two-microphone store for method 3", kModeTwoMics, 117.0, kKorrTwoMics, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store_->Clear();
        store_->SetKorrConfig(c.storedCalM, 119.0, c.storedMode);
        store_->Add(-2, -2, -2, kNow, 0.1, 0.1, 0.1, QStringLiteral("Earlier"));
        // At creation the method is not known yet and not compared: decline.
        if (c.storedCalM == 117.0) dialogs_.ScriptMessage(platform::kMessageLeft);
        TaKorr& w = Open(kKorrNone, c.canDual);
        EXPECT_EQ(0, store_->GetLocCount());  // declined clears
        store_->SetKorrConfig(c.storedCalM, 119.0, c.storedMode);
        store_->Add(-2, -2, -2, kNow, 0.1, 0.1, 0.1, QStringLiteral("Earlier"));
        w.ChooseMethod(c.chosenMethod);
        const size_t asked = dialogs_.messages().size();
        if (c.offered) dialogs_.ScriptMessage(platform::kMessageRight);
        w.RightButton();
        EXPECT_EQ(c.offered ? asked + 1 : asked, dialogs_.messages().size());
        EXPECT_EQ(c.offered ? 30 : (c.chosenMethod == kKorrOneMic ? 24 : 22), w.Step());
        EXPECT_EQ(c.offered ? 1 : 0, store_->GetLocCount());
    }
    EXPECT_EQ(0, dialogs_.unscriptedCount());
}

TEST_F(CorrectionWizardCore, ChangedCaptureVolumeClearsTheStoreSilently) {
    sessionVolumes_ = true;
    store_->SetKorrConfig(117.0, 0.0, kModeOneMic);
    store_->SetInVal(-120);
    store_->Add(-2, -2, -2, kNow, 0.1, 0.1, 0.1, QStringLiteral("Earlier"));
    captureVolume_ = -100;
    TaKorr& w = Open();
    EXPECT_EQ(2, w.Step());
    EXPECT_EQ(0, store_->GetLocCount());
    EXPECT_EQ(kVolumeUnknown, store_->GetInVol());  // cleared after it took the new volume
    EXPECT_TRUE(dialogs_.messages().empty());
}

TEST_F(CorrectionWizardCore, WithoutOutputTheOwnSignalIsSwitchedOffAndCancelEndsAtOnce) {
    store_->SetUseTg(true);
    store_->SetKorrConfig(117.0, 0.0, kModeOneMic);
    store_->Add(-2, -2, -2, kNow, 0.1, 0.1, 0.1, QStringLiteral("Earlier"));
    dialogs_.ScriptMessage(platform::kMessageRight);  // reuse: "Apply"
    dialogs_.ScriptMessage(platform::kMessageRight);  // no output: "Cancel"
    TaKorr& w = Open();
    EXPECT_EQ(KorrResult::Cancel, w.Result());
    EXPECT_FALSE(store_->GetUseTg());
    EXPECT_EQ(1, store_->GetLocCount());
}

}  // namespace

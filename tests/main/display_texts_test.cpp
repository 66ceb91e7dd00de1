// The value texts, state colours and captions of the display channels, read
// through the main window's readings from a value reader that the level
// engine fills, and the relabelling of the main form.
#include <QAction>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "audio/engine_fixture.h"
#include "main/display_readings.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/display_texts.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A main window that reports the current peak the test sets.
class PeakMainWindow : public engine_test::FakeMainWindow {
public:
    double cPeak = 0.0;
    double GetCPeak() override { return cPeak; }
};

class DisplayTexts : public engine_test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        gui_test::App();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        language.store(kLangEnglish);
        RegisterMainWindowServices(&peakMain);
        defaultDaten.store(&store);
        store.SetNKS(1);
        store.SetWarnLEQ(95);
        store.SetMaxLEQ(99);
        store.SetWarnLeqK(95);
        store.SetMaxLeqK(99);
        store.SetWarnPeak(130);
        store.SetMaxPeak(135);
        store.SetLEQDauer(-1800);
        curPreset.messungen = {{{1, 1, -1800, 95, 99, 2}, {1, 1, 10, 95, 99, 1}, {2, 2, 2, 130, 135, 2}}};
        BlinkMode.store(0);
        leqColorMode.store(1);
        dispLeq.store(0.0);
        dispLeqK.store(0.0);
        dispLeqFill.store(0.0);
        dispLeqKSeconds.store(10);
        for (auto& offset : appliedCalOffset) offset.store(0.0);
        rmsCalOffset.store(120.0);
    }
    void TearDown() override {
        defaultDaten.store(nullptr);
        QLocale::setDefault(QLocale::c());
        EngineFixture::TearDown();
    }

    PeakMainWindow peakMain;
    TDaten store;
    TEngineDisplayReadings readings;
};

TEST_F(DisplayTexts, WithoutAValueReaderEveryChannelShowsNoValue) {
    wertCreate.store(nullptr);
    dispLeqK.store(90.0);
    for (int32_t channel : {0, 1, 2, 13, 16, 101, 201, 202}) {
        SCOPED_TRACE(channel);
        const TMainInfo info = GetMainInfo(channel, true);
        EXPECT_EQ(info.mainText, "---");
        EXPECT_EQ(info.unitText, "");
        EXPECT_EQ(info.brushId, 0);
        EXPECT_EQ(info.roughVal, -1.0);
    }
}

TEST_F(DisplayTexts, RunOnlyChannelsShowNoValueWhileIdle) {
    dispLeq.store(90.0);
    dispLeq120.store(90.0);
    dispLeqFull.store(90.0);
    dispMaxLeq.store(90.0);
    for (int32_t channel : {2, 3, 4, 5, 7, 8, 10, 11, 12, 15, 17, 18}) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(GetMainInfo(channel, false).mainText, "---");
        EXPECT_EQ(GetMainInfo(channel, false).brushId, 0);
    }
    EXPECT_EQ(GetMainInfo(2, true).mainText, "90.0");
    // An element id outside the catalogue (a damaged setting) shows nothing.
    EXPECT_EQ(GetMainInfo(999, true).mainText, "---");
    EXPECT_EQ(GetMainInfo(999, true).brushId, 0);
    EXPECT_EQ(DisplayCaptionText(999, true), "");
}

struct LevelCase {
    double level;
    const char* text;
    const char* unit;
    int32_t brush;
};

TEST_F(DisplayTexts, ALevelIsShownUpTo200dBAndNothingElse) {
    const LevelCase cases[] = {
        {200.0, "200.0", " dB", 3}, {200.1, "---", "", 0}, {96.04, "96.0", " dB", 2},
        {kNaN, "---", "", 0},       {kInf, "---", "", 0},  {-kInf, "---", "", 0},
        {0.0, "---", "", 0},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.level);
        dispLeqK.store(c.level);
        const TMainInfo info = GetMainInfo(1, false);
        EXPECT_EQ(info.mainText, c.text);
        EXPECT_EQ(info.unitText, c.unit);
        EXPECT_EQ(info.brushId, c.brush);
        EXPECT_FALSE(std::isnan(info.roughVal));
    }
}

TEST_F(DisplayTexts, TheStateColourFollowsWarningLimitAndBlinkMargin) {
    struct Case {
        int32_t blinkMode;
        double value;
        int32_t brush;
    };
    const Case cases[] = {{3, 96.5, 2},   {3, 97.0, 4}, {3, 100.0, 4}, {3, 100.1, 3}, {3, 95.0, 1},
                          {0x13, 100.1, 5}, {3, kNaN, 0}, {3, 0.000001, 0}, {3, 0.00001, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.blinkMode << " " << c.value);
        BlinkMode.store(c.blinkMode);
        EXPECT_EQ(StateColourId(95, 100, c.value), c.brush);
    }
}

TEST_F(DisplayTexts, TheLeqPercentageRoundsToAWholePercentBelow1000) {
    dispLeq.store(90.0);
    const double energy = std::pow(10.0, 9.0);
    leqPercentRef.store(energy / 999.6);
    EXPECT_EQ(GetMainInfo(3, true).mainText, "1000%");
    EXPECT_EQ(GetMainInfo(3, true).unitText, "");
    leqPercentRef.store(energy / 1000.0);
    EXPECT_EQ(GetMainInfo(3, true).mainText, "> 1000 %");
    leqPercentRef.store(energy / 45.5);
    EXPECT_EQ(GetMainInfo(3, true).mainText, "46%");  // halves to even
}

TEST_F(DisplayTexts, AMovingLeqWindowColoursNothingBelowTheWarningUntilItIsFull) {
    struct Case {
        double leq, fill;
        double rough;
    };
    const Case cases[] = {{90.0, 0.5, -1.0}, {96.0, 0.5, 96.0}, {90.0, 1.0, 90.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.leq << " " << c.fill);
        dispLeq.store(c.leq);
        dispLeqFill.store(c.fill);
        EXPECT_EQ(GetMainInfo(2, true).mainText, QString::number(c.leq, 'f', 1));
        EXPECT_EQ(GetMainInfo(2, true).roughVal, c.rough);
    }
    store.SetLEQDauer(1800);  // fixed intervals colour from the start
    dispLeqFill.store(0.5);
    dispLeq.store(90.0);
    EXPECT_EQ(GetMainInfo(2, true).brushId, 1);
}

TEST_F(DisplayTexts, RmsChannelsFromTheEngineAreAlwaysFine) {
    peakMain.settings.leqBlocks = -8;
    TCalcer calc(&posts);
    calc.RunCycle();
    engine_test::SineSource sine(1000.0, 0.1);
    Feed(calc, sine, 2 * 48000);
    for (int32_t channel : {13, 14, 19, 20}) {
        SCOPED_TRACE(channel);
        const TMainInfo info = GetMainInfo(channel, false);
        EXPECT_EQ(info.mainText, "97.0");
        EXPECT_EQ(info.unitText, "dB");
        EXPECT_EQ(info.roughVal, 10.0);
        EXPECT_EQ(info.brushId, 1);
    }
    // Near the held maximum the distance takes the "over" colour.
    const TMainInfo delta = GetMainInfo(102, false);
    EXPECT_EQ(delta.roughVal, 200.0);
    EXPECT_EQ(delta.brushId, 3);
    reader.ResetRMSPeak();
    EXPECT_EQ(GetMainInfo(101, false).mainText, "---");
}

TEST_F(DisplayTexts, TheCurrentPeakNeedsACalibration) {
    peakMain.cPeak = 0.5;
    EXPECT_EQ(GetMainInfo(16, false).mainText, "CAL");
    EXPECT_EQ(GetMainInfo(16, false).brushId, 0);
    appliedCalOffset[2].store(140.0);
    EXPECT_EQ(GetMainInfo(16, false).mainText, "134.0");  // between warning and limit
    EXPECT_EQ(GetMainInfo(16, false).brushId, 2);
    peakMain.cPeak = kNaN;
    EXPECT_EQ(GetMainInfo(16, false).mainText, "---");
    EXPECT_EQ(GetMainInfo(16, false).brushId, 0);
}

TEST_F(DisplayTexts, CaptionsNameThePresetEntries) {
    dispLeqFill.store(0.456);
    dispLeqKSeconds.store(7);
    EXPECT_EQ(DisplayCaptionText(2, false), "LAeq30min (Moving)");
    EXPECT_EQ(DisplayCaptionText(2, true), "LAeq30min (Moving), Current: 45%");
    EXPECT_EQ(DisplayCaptionText(1, false), "LAeq10s (7 Seconds)");
    dispLeqKSeconds.store(10);
    EXPECT_EQ(DisplayCaptionText(1, false), "LAeq10s");
    EXPECT_EQ(DisplayCaptionText(8, false), "To Give (LAeq30min)");
    EXPECT_EQ(DisplayCaptionText(9, false), "To Give (LAeq10s)");
    EXPECT_EQ(DisplayCaptionText(16, false), "LCpeak");
    appliedCalOffset[2].store(120.0);
    EXPECT_EQ(DisplayCaptionText(16, false), "LCpeak (Current)");
    EXPECT_EQ(DisplayCaptionText(0, false), "No Display Selected");
    EXPECT_EQ(DisplayCaptionText(999, false), "");

    curPreset.messungen[0].Dauer = -2;
    EXPECT_EQ(DisplayCaptionText(2, true), "LAeq of the whole measurement");
    EXPECT_EQ(DisplayCaptionText(7, false), "Max LAeq of the whole measurement");

    EXPECT_EQ(DisplayCaptionText(17, true), "");  // outside interval mode
    store.SetLEQDauer(1800);
    EXPECT_EQ(DisplayCaptionText(17, false), "Max LCpeak (Intervall)");
    EXPECT_EQ(DisplayCaptionText(18, false), "Max LCpeak (Measurement)");
}

TEST_F(DisplayTexts, ThePeakCaptionsCarryTheTimeOfThePeak) {
    TCalcer calc(&posts);
    calc.RunCycle();
    engine_test::SineSource sine(1000.0, 0.1);
    Feed(calc, sine, 48000);
    // The frozen clock stands at 10:07 UTC on a summer day in Berlin.
    const QRegularExpression stamped(QStringLiteral("^Max LCpeak \\(Measurement\\) 12:07:\\d\\d$"));
    EXPECT_TRUE(stamped.match(DisplayCaptionText(18, true)).hasMatch()) << DisplayCaptionText(18, true).toStdString();
}

TEST(GuiLabels, RelabelOnlyWhenForcedOrTheLanguageChanges) {
    gui_test::App();
    struct CountingMain : test_support::FakeMainWindow {
        QWidget* form = nullptr;
        int colourApplications = 0;
        QWidget* MainForm() override { return form; }
        void SetDisplayColors(int32_t scheme, bool force) override {
            EXPECT_EQ(scheme, -1);
            EXPECT_TRUE(force);
            ++colourApplications;
        }
    } main;
    QMainWindow form;
    QMenu* settings = form.menuBar()->addMenu(QStringLiteral("x"));
    settings->setObjectName(QStringLiteral("mmEinstellung"));
    QAction* german = settings->addAction(QStringLiteral("x"));
    german->setObjectName(QStringLiteral("Deutsch1"));
    main.form = &form;
    RegisterMainWindowServices(&main);
    language.store(kLangEnglish);

    SetGuiLabels(kLangEnglish, false);
    EXPECT_EQ(settings->title(), "x");
    EXPECT_EQ(main.colourApplications, 0);

    SetGuiLabels(kLangEnglish, true);
    EXPECT_EQ(settings->title(), "Settings");
    EXPECT_EQ(german->text(), "German");
    EXPECT_EQ(main.colourApplications, 1);

    SetGuiLabels(kLangGerman, false);
    EXPECT_EQ(language.load(), kLangGerman);
    EXPECT_EQ(settings->title(), "Einstellung");
    EXPECT_EQ(german->text(), "Deutsch");
    EXPECT_EQ(main.colourApplications, 2);
    RegisterMainWindowServices(nullptr);
    language.store(kLangEnglish);
}

}  // namespace

#include "main/measurement_parameter_texts.h"

#include <QLocale>

#include <gtest/gtest.h>

#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A level as the user's regional format writes it.
QString Num(double value, int decimals) { return QLocale::system().toString(value, 'f', decimals); }

class ParameterTexts : public ::testing::Test {
protected:
    void SetUp() override {
        language.store(2);
        defaultDaten.store(&store);
        // Leq and short-term Leq A-weighted, the peak C-weighted.
        store.SetFilter(0, 1);
        store.SetFilter(1, 1);
        store.SetFilter(2, 2);
        preset.messungen[0] = TPresetMessung{1, 1, 60, 96.5, 99.0, 2};
        preset.messungen[2] = TPresetMessung{2, 2, 2, 130.0, 135.0, 2};
    }
    void TearDown() override {
        defaultDaten.store(nullptr);
        recRecordP = false;
    }
    TDaten store;
    TVTPreset preset;
};

TEST_F(ParameterTexts, QuantityBlocksShowLimitWarningAndTheCorrectionWhenTimed) {
    const QString leqLabel = MeasureDurationText(preset.messungen[0], true, 2);
    EXPECT_EQ(QuantityInfoText(preset, 0),
              leqLabel + kCrLf + GetLangText(163) + Num(99.0, 1) + " dB" + kCrLf + GetLangText(164) + Num(96.5, 1) + " dB");
    store.SetKorrTime(2, 45000.5);
    store.SetKorrVal(2, -1.234);
    EXPECT_EQ(QuantityInfoText(preset, 2), MeasurePeakLabel(preset.messungen[2]) + kCrLf + GetLangText(163) + Num(135.0, 1) + " dB" +
                                               kCrLf + GetLangText(164) + Num(130.0, 1) + " dB" + kCrLf + GetLangText(115) +
                                               Num(-1.23, 2) + " dB");
    for (int32_t outside : {-1, 3, 1000}) EXPECT_EQ(QuantityInfoText(preset, outside), QString()) << outside;
}

TEST_F(ParameterTexts, CorrectionTimesOfTheUsedWeightings) {
    // A used without a time, C and Z with one (Z used by nothing: left out).
    store.SetKorrTime(2, 45000.5);
    store.SetKorrTime(4, 45001.5);
    EXPECT_EQ(KorrTimesText(QString()), GetLangText(173) + " C: " + DateTimeText(45000.5));
    store.SetFilter(1, 4);
    EXPECT_EQ(KorrTimesText(QString()), GetLangText(173) + " C: " + DateTimeText(45000.5) + kCrLf + GetLangText(173) +
                                            " Z: " + DateTimeText(45001.5));
    // Copied corrections name the file only; the calibration names the whole path.
    store.SetCopyMode(2 | 4);
    store.SetCopyKorFrom("D:\\Data\\Old.vtm");
    store.SetCopyKalFrom("D:\\Data\\Old.vtm");
    EXPECT_TRUE(KorrTimesText(QString()).endsWith(kCrLf + GetLangText(172) + "Old.vtm)"));
    EXPECT_EQ(RefMicCalText(QString()), kCrLf + GetLangText(172) + "D:\\Data\\Old.vtm)");
    store.SetKorrTime(2, 0.0);
    store.SetKorrTime(4, 0.0);
    store.SetCopyMode(0);
    EXPECT_EQ(KorrTimesText(QString()), kCrLf + kCrLf + GetLangText(174));
}

TEST_F(ParameterTexts, RecordingLinesOnlyWhileRecordingOnEvents) {
    EXPECT_EQ(RecordingInfoText("x"), "x");
    recRecordP = true;
    recPre = 2;
    recPost = 5;
    recMax = 90;
    EXPECT_EQ(RecordingInfoText("x"), "x" + kCrLf + kCrLf + GetLangText(881) + kCrLf + GetLangText(883) + ": 2 s" +
                                          kCrLf + GetLangText(884) + ": 5 s" + kCrLf + GetLangText(885) + ": 90 s");
    recPre = 1;
    recPost = 4;
    recMax = 60;
}

}  // namespace

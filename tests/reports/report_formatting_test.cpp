// The shared formatting helpers of the reports.
#include <QLocale>

#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "reports/report_formatting.h"

namespace {

using platform::EncodeDateTime;

class ReportFormattingTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(ReportFormattingTest, HelperTable) {
    EXPECT_EQ(FormatSignedDb(0, 5, 3), "\u00B10.000 dB");
    EXPECT_EQ(FormatSignedDb(-1.5, 5, 3), "-1.500 dB");
    EXPECT_EQ(FormatDeviationDb(0.4), "+0.4 dB");
    EXPECT_EQ(FormatSampleDuration(120), "2.50ms");
    EXPECT_EQ(FormatSampleDuration(2400), "50ms");
    EXPECT_EQ(FormatSampleDuration(96000), "2.0s");
    EXPECT_EQ(FormatSampleDuration(960000), "20s");
    EXPECT_EQ(FormatSampleDuration(0), "---");
    EXPECT_EQ(FormatSampleDuration(-5), "---");
    EXPECT_EQ(RoundedTimeText(EncodeDateTime(2026, 12, 10, 23, 59, 59, 600)), "00:00:00");
    EXPECT_EQ(RoundedTimeText(EncodeDateTime(2026, 12, 10, 10, 9, 59, 500)), "10:10:00");
    EXPECT_EQ(RoundedTimeText(EncodeDateTime(2026, 12, 10, 10, 9, 58, 500)), "10:09:58");
    EXPECT_EQ(FormatTimeHMS(EncodeDateTime(2026, 12, 10, 7, 5, 3, 999)), "07:05:03");
    const double start = EncodeDateTime(2026, 12, 10, 23, 30, 0, 0);
    EXPECT_EQ(FormatEndTime(EncodeDateTime(2026, 12, 11, 0, 0, 0, 0), start), "24:00:00");
    EXPECT_EQ(FormatEndTime(EncodeDateTime(2026, 12, 11, 0, 0, 1, 0), start), "00:00:01");
    EXPECT_EQ(FormatEndTime(EncodeDateTime(2026, 12, 10, 23, 45, 0, 0), start), "23:45:00");
    EXPECT_EQ(ReportLevelText(94.5, 0), "94 dB");
    EXPECT_EQ(ReportLevelText(105.67, 1), "105.7 dB");
    EXPECT_EQ(ReportLevelText(0, 1), "---");
    EXPECT_EQ(ReportLevelText(-333, 1), "---");
    EXPECT_EQ(LocalDateTimeText(EncodeDateTime(2026, 12, 11, 0, 0, 0, 0)), "12/11/26");
    EXPECT_EQ(LocalDateTimeText(EncodeDateTime(2026, 12, 11, 9, 5, 30, 0)), "12/11/26 09:05");
    EXPECT_EQ(VersionText((int64_t(2026) << 48) | (int64_t(1) << 32) | 7), "2026.1.0.7");
}

TEST_F(ReportFormattingTest, ArgumentsFillInOrderAndLiterally) {
    EXPECT_EQ(FillTextArguments("This document contains %d pages", {"2"}), "This document contains 2 pages");
    EXPECT_EQ(FillTextArguments("on %s at %s.", {"12/10/26", "22:00:00"}), "on 12/10/26 at 22:00:00.");
    EXPECT_EQ(FillTextArguments("on %s at %s.", {"12/10/26"}), "on 12/10/26 at %s.");
    EXPECT_EQ(FillTextArguments("The printer %s is still printing.", {"Office %s %d"}),
              "The printer Office %s %d is still printing.");
    EXPECT_EQ(FillTextArguments("100% sure %", {"x"}), "100% sure %");
}

}  // namespace

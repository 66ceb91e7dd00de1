#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>

namespace platform {
namespace {

void UseTimeZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
}

class BerlinTime : public ::testing::Test {
protected:
    void SetUp() override { UseTimeZone("Europe/Berlin"); }
    void TearDown() override { UseTimeZone("Europe/Berlin"); }
};

TEST(Round, HalvesGoToTheEvenNeighbour) {
    struct Case {
        double v;
        int64_t expected;
    };
    const Case cases[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {-3.5, -4},
        {2.4999999, 2},
        {2.5000001, 3},
        {-2.5000001, -3},
        {0.49999999999999994, 0},  // where floor(v + 0.5) goes wrong
        {1e10 + 0.5, 10000000000LL},
        {1e10 + 1.5, 10000000002LL},
        {4503599627370497.0, 4503599627370497LL},  // 2^52 + 1: already whole
        {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Round(c.v), c.expected) << "Round(" << c.v << ")";
    }
}

TEST(Round, RefusesValuesWithoutA64BitResult) {
    const double bad[] = {std::nan(""), INFINITY, -INFINITY, 9223372036854775808.0, 1e19, -1e19};
    for (double v : bad) {
        EXPECT_THROW(Round(v), std::out_of_range) << v;
    }
}

TEST(Trim, RemovesSpacesAndControlCharactersOnlyAtBothEnds) {
    struct Case {
        QString in;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("  abc  "), QStringLiteral("abc")},
        {QStringLiteral("\t\r\n\x01 a b\x1f\x7f"), QStringLiteral("a b\x1f\x7f")},  // DEL is above U+0020
        {QString(QChar(0)) + "x" + QChar(0), QStringLiteral("x")},
        {QStringLiteral("\x1f\x20"), QString()},
        {QString(), QString()},
        {QString(QChar(0x00A0)) + "x" + QChar(0x00A0), QString(QChar(0x00A0)) + "x" + QChar(0x00A0)},
        {QString(QChar(0x3000)) + "x", QString(QChar(0x3000)) + "x"},
        {QStringLiteral(" in  side "), QStringLiteral("in  side")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Trim(c.in), c.expected) << c.in.toStdString();
    }
    EXPECT_EQ(TrimLeft(QStringLiteral("\t x \t")), QStringLiteral("x \t"));
    EXPECT_EQ(TrimRight(QStringLiteral("\t x \t")), QStringLiteral("\t x"));
}

TEST(DateTime, EncodesDaysSinceDayZero) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0, 0), 2.0);
    EXPECT_EQ(EncodeDateTime(1970, 1, 1, 0, 0, 0, 0), kUnixEpochDays);
    EXPECT_EQ(EncodeDateTime(2024, 3, 31, 12, 0, 0, 0), 45382.5);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);  // before day zero the fraction counts forward
    EXPECT_DOUBLE_EQ(EncodeDateTime(2024, 3, 31, 2, 30, 0, 0), 45382.0 + 2.5 / 24.0);
}

TEST(DateTime, DecodeGivesBackEveryFieldToTheMillisecond) {
    const DateTimeParts table[] = {
        {2024, 3, 31, 2, 30, 0, 0},    {2024, 2, 29, 23, 59, 59, 999}, {1900, 1, 1, 0, 0, 0, 1},
        {2038, 1, 19, 3, 14, 7, 500},  {9999, 12, 31, 23, 59, 59, 999}, {1899, 12, 29, 6, 0, 0, 123},
        {1, 1, 1, 0, 0, 0, 0},
    };
    for (const DateTimeParts& p : table) {
        const TDateTime t = EncodeDateTime(p.year, p.month, p.day, p.hour, p.min, p.sec, p.msec);
        const DateTimeParts back = DecodeDateTime(t);
        EXPECT_EQ(back.year, p.year);
        EXPECT_EQ(back.month, p.month);
        EXPECT_EQ(back.day, p.day);
        EXPECT_EQ(back.hour, p.hour);
        EXPECT_EQ(back.min, p.min);
        EXPECT_EQ(back.sec, p.sec);
        EXPECT_EQ(back.msec, p.msec) << p.year << "-" << p.month << "-" << p.day;
        EXPECT_EQ(MsToDateTime(DateTimeToMs(t)), t);
    }
}

TEST(DateTime, TimeOfDayRoundsToTheNearestMillisecondAndCarriesIntoTheNextDay) {
    const TDateTime justBeforeMidnight = 45382.0 + (kMsPerDay - 0.4) / kMsPerDay;
    const DateTimeParts p = DecodeDateTime(justBeforeMidnight);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.month, 4);
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(p.msec, 0);
}

TEST(DateTime, RefusesDatesAndTimesThatDoNotExist) {
    EXPECT_THROW(EncodeDateTime(2023, 2, 29, 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 13, 1, 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(0, 1, 1, 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(10000, 1, 1, 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 24, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 60, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 0, 60, 0), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 0, 0, 1000), std::invalid_argument);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 0, 0, -1), std::invalid_argument);
    EXPECT_THROW(DecodeDateTime(std::nan("")), std::invalid_argument);
    EXPECT_THROW(DecodeDateTime(INFINITY), std::invalid_argument);
    EXPECT_THROW(DecodeDateTime(2958466.0), std::invalid_argument);  // 10000-01-01
    EXPECT_THROW(ToDateTime(QDateTime()), std::invalid_argument);
}

TEST(DateTime, QDateTimeRoundTripKeepsMilliseconds) {
    const TDateTime t = EncodeDateTime(2024, 7, 1, 13, 45, 12, 345);
    const QDateTime utc = ToQDateTime(t);
    EXPECT_EQ(utc.timeSpec(), Qt::UTC);
    EXPECT_EQ(utc, QDateTime(QDate(2024, 7, 1), QTime(13, 45, 12, 345), Qt::UTC));
    EXPECT_EQ(ToDateTime(utc), t);

    // The value is read as wall time in the zone it is given.
    const QDateTime tokyo = ToQDateTime(t, QTimeZone("Asia/Tokyo"));
    EXPECT_EQ(tokyo.time(), QTime(13, 45, 12, 345));
    EXPECT_EQ(tokyo.toUTC().time(), QTime(4, 45, 12, 345));
    EXPECT_EQ(ToDateTime(tokyo), t);
}

TEST(DateTime, TimePointsMatchTheUnixClock) {
    EXPECT_EQ(ToTimePoint(kUnixEpochDays).time_since_epoch().count(), 0);
    const TDateTime t = EncodeDateTime(2024, 3, 31, 2, 30, 0, 250);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(ToTimePoint(t).time_since_epoch()).count(),
              1711852200250LL);
    EXPECT_EQ(FromTimePoint(ToTimePoint(t)), t);
}

TEST(DateTime, SystemUtcNowFollowsTheSystemClock) {
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const TDateTime now = SystemUtcNow();
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    const int64_t nowMs = DateTimeToMs(now) - DateTimeToMs(kUnixEpochDays);
    EXPECT_LE(before, nowMs);
    EXPECT_GE(after, nowMs);
}

TEST_F(BerlinTime, UtcToLocalFollowsTheSummerTimeChanges) {
    struct Case {
        DateTimeParts utc;
        DateTimeParts local;
    };
    const Case cases[] = {
        {{2024, 1, 15, 12, 0, 0, 0}, {2024, 1, 15, 13, 0, 0, 0}},
        {{2024, 3, 31, 0, 59, 59, 999}, {2024, 3, 31, 1, 59, 59, 999}},  // last millisecond of winter time
        {{2024, 3, 31, 1, 0, 0, 0}, {2024, 3, 31, 3, 0, 0, 0}},
        {{2024, 3, 31, 2, 30, 0, 0}, {2024, 3, 31, 4, 30, 0, 0}},
        {{2024, 10, 27, 0, 30, 0, 0}, {2024, 10, 27, 2, 30, 0, 0}},  // the repeated hour, first time
        {{2024, 10, 27, 1, 30, 0, 0}, {2024, 10, 27, 2, 30, 0, 0}},  // and second time
        {{2024, 12, 31, 23, 30, 0, 5}, {2025, 1, 1, 0, 30, 0, 5}},
    };
    for (const Case& c : cases) {
        const auto& u = c.utc;
        const auto& l = c.local;
        EXPECT_EQ(UtcToLocalDateTime(EncodeDateTime(u.year, u.month, u.day, u.hour, u.min, u.sec, u.msec)),
                  EncodeDateTime(l.year, l.month, l.day, l.hour, l.min, l.sec, l.msec))
            << u.month << "-" << u.day << " " << u.hour << ":" << u.min;
    }
}

TEST_F(BerlinTime, LocalToUtcReadsTheSkippedHourAsWinterTimeAndTheRepeatedHourAsItsFirstPass) {
    EXPECT_EQ(LocalToUtcDateTime(EncodeDateTime(2024, 3, 31, 2, 30, 0, 0)), EncodeDateTime(2024, 3, 31, 1, 30, 0, 0));
    EXPECT_EQ(LocalToUtcDateTime(EncodeDateTime(2024, 3, 31, 3, 30, 0, 0)), EncodeDateTime(2024, 3, 31, 1, 30, 0, 0));
    EXPECT_EQ(LocalToUtcDateTime(EncodeDateTime(2024, 10, 27, 2, 30, 0, 0)), EncodeDateTime(2024, 10, 27, 0, 30, 0, 0));
    EXPECT_EQ(LocalToUtcDateTime(EncodeDateTime(2024, 10, 27, 3, 30, 0, 0)), EncodeDateTime(2024, 10, 27, 2, 30, 0, 0));
}

TEST_F(BerlinTime, LocalToUtcInvertsUtcToLocalOutsideTheRepeatedHour) {
    const TDateTime samples[] = {
        EncodeDateTime(2024, 7, 1, 12, 0, 0, 123),
        EncodeDateTime(2024, 1, 1, 0, 0, 0, 999),
        EncodeDateTime(2024, 3, 31, 3, 0, 0, 0),
        EncodeDateTime(1950, 6, 1, 8, 0, 0, 0),
    };
    for (TDateTime local : samples) {
        EXPECT_EQ(UtcToLocalDateTime(LocalToUtcDateTime(local)), local);
    }
    EXPECT_EQ(LocalToUtcDateTime(EncodeDateTime(2024, 7, 1, 12, 0, 0, 123)), EncodeDateTime(2024, 7, 1, 10, 0, 0, 123));
}

TEST_F(BerlinTime, TheTimeZoneOfTheEnvironmentIsHonouredAtOnce) {
    const TDateTime t = EncodeDateTime(2024, 7, 1, 12, 0, 0, 0);
    EXPECT_EQ(UtcToLocalDateTime(t), EncodeDateTime(2024, 7, 1, 14, 0, 0, 0));
    UseTimeZone("America/New_York");
    EXPECT_EQ(UtcToLocalDateTime(t), EncodeDateTime(2024, 7, 1, 8, 0, 0, 0));
    UseTimeZone("UTC");
    EXPECT_EQ(UtcToLocalDateTime(t), t);
    EXPECT_EQ(LocalToUtcDateTime(t), t);
}

}  // namespace
}  // namespace platform

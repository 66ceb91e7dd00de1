#include "ui_kit/services/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

using platform::DateTimeToMs;
using platform::EncodeDateTime;
using platform::TDateTime;

namespace {

constexpr int64_t kUnixEpochMs = 25569LL * 86400000LL;
constexpr int64_t kHourMs = 3600000;

int64_t SystemUtcMs() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() + kUnixEpochMs;
}

// The zone's offset from UTC at the moment msSince1899 (UTC), from the C library.
int64_t ZoneOffsetMsAt(int64_t utcMs) {
    const time_t seconds = static_cast<time_t>((utcMs - kUnixEpochMs) / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    return static_cast<int64_t>(local.tm_gmtoff) * 1000;
}

class ClockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        SetClockOffset(0);
        SetClockSourceForTests(nullptr);
    }

    static void FreezeAt(TDateTime utc) {
        SetClockSourceForTests([utc] { return utc; });
    }
};

}  // namespace

TEST_F(ClockTest, WithoutOffsetEqualsTheSystemClock) {
    SetClockOffset(0);
    for (int round = 0; round < 2; ++round) {  // the second round after a test source was removed
        const int64_t before = SystemUtcMs();
        const int64_t utc = DateTimeToMs(CorrectedUtcNow());
        const int64_t local = DateTimeToMs(CorrectedNow());
        const int64_t after = SystemUtcMs();

        EXPECT_LE(before, utc);
        EXPECT_LE(utc, after);
        const int64_t zone = ZoneOffsetMsAt(after);
        EXPECT_LE(before + zone, local);
        EXPECT_LE(local, after + zone);

        FreezeAt(EncodeDateTime(2001, 1, 1, 0, 0, 0, 0));
        SetClockSourceForTests(nullptr);
    }
}

TEST_F(ClockTest, NegativeOffsetMovesBothResultsBack) {
    const TDateTime utc = EncodeDateTime(2024, 5, 10, 8, 15, 30, 250);
    FreezeAt(utc);
    SetClockOffset(-90500);

    EXPECT_EQ(DateTimeToMs(CorrectedUtcNow()), DateTimeToMs(utc) - 90500);
    EXPECT_EQ(DateTimeToMs(CorrectedNow()), DateTimeToMs(utc) + 2 * kHourMs - 90500);  // CEST
}

TEST_F(ClockTest, OffsetIsAddedAfterTheZoneConversion) {
    // 00:30 UTC on the morning of the change to summer time is 01:30 CET. An
    // hour of offset makes it 02:30, even though 01:30 UTC is 03:30 CEST: the
    // offset shifts the stamp, it does not move the moment of conversion.
    const TDateTime utc = EncodeDateTime(2024, 3, 31, 0, 30, 0, 0);
    FreezeAt(utc);
    SetClockOffset(3600000);

    EXPECT_EQ(DateTimeToMs(CorrectedUtcNow()), DateTimeToMs(EncodeDateTime(2024, 3, 31, 1, 30, 0, 0)));
    EXPECT_EQ(DateTimeToMs(CorrectedNow()), DateTimeToMs(EncodeDateTime(2024, 3, 31, 2, 30, 0, 0)));
    EXPECT_EQ(DateTimeToMs(CorrectedUtcNow()) - DateTimeToMs(utc), kHourMs);
}

TEST_F(ClockTest, UtcToLocalFollowsTheRulesOfTheDate) {
    SetClockOffset(123456);  // never applied to a conversion
    struct {
        TDateTime utc;
        TDateTime local;
    } const cases[] = {
        {EncodeDateTime(2024, 1, 15, 12, 0, 0, 0), EncodeDateTime(2024, 1, 15, 13, 0, 0, 0)},
        {EncodeDateTime(2024, 7, 1, 12, 0, 0, 0), EncodeDateTime(2024, 7, 1, 14, 0, 0, 0)},
        // A block end just after the change to summer time gets the new offset.
        {EncodeDateTime(2024, 3, 31, 0, 59, 59, 999), EncodeDateTime(2024, 3, 31, 1, 59, 59, 999)},
        {EncodeDateTime(2024, 3, 31, 1, 0, 0, 0), EncodeDateTime(2024, 3, 31, 3, 0, 0, 0)},
        // And back in autumn: 01:00 UTC is the second 02:00 local.
        {EncodeDateTime(2024, 10, 27, 0, 30, 0, 0), EncodeDateTime(2024, 10, 27, 2, 30, 0, 0)},
        {EncodeDateTime(2024, 10, 27, 1, 30, 0, 0), EncodeDateTime(2024, 10, 27, 2, 30, 0, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateTimeToMs(UtcToLocal(c.utc)), DateTimeToMs(c.local)) << c.utc;
    }
}

TEST_F(ClockTest, ConcurrentOffsetChangeShiftsLaterStampsWhole) {
    const TDateTime utc = EncodeDateTime(2024, 11, 2, 20, 0, 0, 0);
    const int64_t base = DateTimeToMs(utc);
    constexpr int64_t kShift = 5000;
    FreezeAt(utc);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread stamper([&] {
        while (!done.load()) {
            const int64_t stamp = DateTimeToMs(CorrectedUtcNow());
            if (stamp != base && stamp != base + kShift) {
                ++torn;
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        SetClockOffset(i % 2 == 0 ? kShift : 0);
    }
    SetClockOffset(kShift);
    const int64_t later = DateTimeToMs(CorrectedUtcNow());
    done = true;
    stamper.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(later, base + kShift);
}

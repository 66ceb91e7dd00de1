// The clock thread's alignment on whole local seconds, with a clock the test
// sets, and one run on its own thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "audio/clock_thread.h"
#include "ui_kit/notifications.h"

using platform::EncodeDateTime;
using platform::TDateTime;

namespace {

constexpr int64_t kUnixEpochFileTime = 116444736000000000;

class ClockThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    TDateTime now = EncodeDateTime(2024, 6, 1, 12, 0, 0, 300);  // local, summer time
    TUpdateTime clock{[this] { return now; }, [](uintptr_t, intptr_t) {}};
};

TEST_F(ClockThreadTest, SyncNewAlignsOnTheNextWholeLocalSecond) {
    clock.SyncNew();
    EXPECT_EQ(clock.msl(), 300);
    EXPECT_EQ(clock.zeitLatch(), EncodeDateTime(2024, 6, 1, 12, 0, 1, 0));
    // 10:00:01 UTC, as a file time counted from 1601.
    EXPECT_EQ(clock.wtl(), kUnixEpochFileTime + int64_t{1717236001} * 10000000);
}

TEST_F(ClockThreadTest, EachTickAdvancesOneSecondAndATimeOutReAligns) {
    clock.SyncNew();
    now = EncodeDateTime(2024, 6, 1, 12, 0, 1, 2);
    EXPECT_TRUE(clock.AfterWait(true));
    EXPECT_EQ(clock.zeitLatch(), EncodeDateTime(2024, 6, 1, 12, 0, 2, 0));
    // The clock was set back: the wait ran out and the thread aligns anew, without a tick.
    now = EncodeDateTime(2024, 6, 1, 11, 30, 0, 750);
    EXPECT_FALSE(clock.AfterWait(false));
    EXPECT_EQ(clock.zeitLatch(), EncodeDateTime(2024, 6, 1, 11, 30, 1, 0));
    EXPECT_EQ(clock.msl(), 750);
    EXPECT_EQ(clock.wtl(), TUpdateTime::LocalToFileTime(clock.zeitLatch()));
}

TEST_F(ClockThreadTest, AForwardJumpGivesOneTickAndAFreshAlignment) {
    clock.SyncNew();
    // Resumed from sleep an hour later: the due second lies far behind.
    now = EncodeDateTime(2024, 6, 1, 13, 0, 0, 400);
    EXPECT_TRUE(clock.AfterWait(true));
    EXPECT_EQ(clock.zeitLatch(), EncodeDateTime(2024, 6, 1, 13, 0, 1, 0))
        << "not 12:00:02, which would fire at once for every missed second";
    now = EncodeDateTime(2024, 6, 1, 13, 0, 1, 1);
    EXPECT_TRUE(clock.AfterWait(true));
    EXPECT_EQ(clock.zeitLatch(), EncodeDateTime(2024, 6, 1, 13, 0, 2, 0));
}

TEST(ClockThreadConcurrent, TicksArriveOnItsThreadAndStopEndsIt) {
    std::mutex lock;
    std::condition_variable ticked;
    std::vector<std::pair<uintptr_t, intptr_t>> posts;
    TUpdateTime clock({}, [&](uintptr_t code, intptr_t argument) {
        std::lock_guard guard(lock);
        posts.push_back({code, argument});
        ticked.notify_all();
    });
    clock.Start();
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(ticked.wait_for(guard, std::chrono::seconds(5), [&] { return posts.size() >= 2; }));
    }
    clock.Stop();
    EXPECT_TRUE(clock.Finished());
    std::lock_guard guard(lock);
    EXPECT_EQ(posts[0], (std::pair<uintptr_t, intptr_t>{kNotifyClockTick, 1}));
}

}  // namespace

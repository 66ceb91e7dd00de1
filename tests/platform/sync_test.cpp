#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

// Only a guard against hanging: every wait below is expected to end long before.
constexpr int kGuardMs = 30000;

TEST(AutoResetEvent, ASetWithoutWaiterStaysUntilOneWaitConsumesIt) {
    AutoResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Set();  // a second Set does not count twice
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));

    AutoResetEvent startsSignalled(true);
    startsSignalled.Reset();
    EXPECT_FALSE(startsSignalled.Wait(0));
}

TEST(AutoResetEvent, EachSetReleasesExactlyOneOfTwoWaitersConcurrent) {
    AutoResetEvent event;
    AutoResetEvent oneReturned;
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (event.Wait(kGuardMs)) {
            ++released;
        }
        oneReturned.Set();
    };
    std::thread a(waiter);
    std::thread b(waiter);
    event.Set();
    ASSERT_TRUE(oneReturned.Wait(kGuardMs));
    event.Set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
    // Had the first Set released both waiters, the second would still be pending.
    EXPECT_FALSE(event.Wait(0));
}

TEST(ManualResetEvent, StaysSignalledForEveryWaitUntilReset) {
    ManualResetEvent event;
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(WaitForAny, AnswersTheIndexOfTheSignalledObjectLowestFirst) {
    AutoResetEvent first;
    AutoResetEvent second;
    WaitableTimer idle;
    EXPECT_EQ(WaitForAny({&first, &second, &idle}, 0), kWaitTimeout);
    second.Set();
    EXPECT_EQ(WaitForAny({&first, &second, &idle}, kGuardMs), 1);
    first.Set();
    second.Set();
    EXPECT_EQ(WaitForAny({&first, &second, &idle}, kGuardMs), 0);
    EXPECT_EQ(WaitForAny({&first, &second, &idle}, kGuardMs), 1);
    EXPECT_EQ(WaitForAny({&first, &second, &idle}, 0), kWaitTimeout);
}

TEST(WaitForAny, WakesWhenAnotherThreadSignalsConcurrent) {
    AutoResetEvent work;
    AutoResetEvent stop;
    AutoResetEvent workDone;
    WaitableTimer unarmed;
    std::vector<int> seen;
    std::thread worker([&] {
        for (;;) {
            const int which = WaitForAny({&unarmed, &work, &stop}, kGuardMs);
            seen.push_back(which);
            if (which != 1) {
                return;
            }
            workDone.Set();
        }
    });
    work.Set();
    ASSERT_TRUE(workDone.Wait(kGuardMs));
    stop.Set();
    worker.join();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(WaitForAny, RefusesBadArguments) {
    AutoResetEvent event;
    EXPECT_THROW(WaitForAny({}, 0), std::invalid_argument);
    EXPECT_THROW(WaitForAny({&event, nullptr}, 0), std::invalid_argument);
    EXPECT_THROW(event.Wait(-2), std::invalid_argument);
}

TEST(WaitableTimer, AnInstantInThePastFiresAtOnceAndAOneShotOnlyOnce) {
    WaitableTimer timer;
    EXPECT_FALSE(timer.Wait(0));
    timer.SetAbsolute(std::chrono::system_clock::now() - 1h, 0ms);
    EXPECT_TRUE(timer.IsArmed());
    EXPECT_TRUE(timer.Wait(0));
    EXPECT_FALSE(timer.IsArmed());
    EXPECT_FALSE(timer.Wait(0));
}

TEST(WaitableTimer, MissedExpiriesCollapseIntoOne) {
    WaitableTimer timer;
    // Thousands of periods lie in the past; only one of them is owed.
    timer.SetAbsolute(std::chrono::system_clock::now() - 1h, 1000ms);
    EXPECT_TRUE(timer.Wait(0));
    int owed = 0;
    while (timer.Wait(0)) {
        ++owed;
    }
    EXPECT_LE(owed, 1);  // at most one more, should the next period just have begun
}

TEST(WaitableTimer, PeriodicExpiriesKeepComing) {
    WaitableTimer timer;
    timer.SetAbsolute(std::chrono::system_clock::now(), 5ms);
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(timer.Wait(kGuardMs)) << "expiry " << i;
    }
    timer.Cancel();
    EXPECT_FALSE(timer.IsArmed());
    EXPECT_FALSE(timer.Wait(0));
}

TEST(WaitableTimer, ArmingWakesAThreadAlreadyWaitingConcurrent) {
    WaitableTimer timer;
    AutoResetEvent waiting;
    std::atomic<bool> fired{false};
    std::thread waiter([&] {
        waiting.Set();
        fired = timer.Wait(kGuardMs);
    });
    ASSERT_TRUE(waiting.Wait(kGuardMs));
    timer.SetRelative(0ms, 0ms);
    waiter.join();
    EXPECT_TRUE(fired.load());
}

TEST(WaitableTimer, ReArmingDropsAnExpiryNotYetConsumed) {
    WaitableTimer timer;
    timer.SetAbsolute(std::chrono::system_clock::now() - 1s, 0ms);
    timer.SetRelative(1h, 0ms);
    EXPECT_FALSE(timer.Wait(0));
    EXPECT_THROW(timer.SetRelative(-1ms, 0ms), std::invalid_argument);
    EXPECT_THROW(timer.SetRelative(0ms, -1ms), std::invalid_argument);
    EXPECT_THROW(timer.SetAbsolute(std::chrono::system_clock::time_point::max(), 0ms), std::invalid_argument);
}

TEST(CriticalSection, TheOwnerMayEnterAgainAndOthersWaitUntilTheLastLeave) {
    CriticalSection section;
    auto otherThreadGetsIn = [&] {
        bool got = false;
        std::thread other([&] {
            got = section.TryEnter();
            if (got) {
                section.Leave();
            }
        });
        other.join();
        return got;
    };
    section.Enter();
    {
        std::lock_guard again(section);
        EXPECT_TRUE(section.TryEnter());
        section.Leave();
    }
    EXPECT_FALSE(otherThreadGetsIn());
    section.Leave();
    EXPECT_TRUE(otherThreadGetsIn());
}

TEST(MrewLock, ReadersShareTheLockConcurrent) {
    MrewLock lock;
    AutoResetEvent firstIn;
    AutoResetEvent secondIn;
    std::atomic<bool> bothInside{false};
    std::thread first([&] {
        MrewLock::ReadGuard read(lock);
        firstIn.Set();
        bothInside = secondIn.Wait(kGuardMs);
    });
    std::thread second([&] {
        ASSERT_TRUE(firstIn.Wait(kGuardMs));
        ReadGuard read(lock);  // would block until the first reader left if reads were exclusive
        secondIn.Set();
    });
    first.join();
    second.join();
    EXPECT_TRUE(bothInside.load());
}

TEST(MrewLock, AWriterExcludesEveryoneElseConcurrent) {
    MrewLock lock;
    auto otherThreadCanWrite = [&] {
        bool got = false;
        std::thread other([&] {
            got = lock.TryBeginWrite();
            if (got) {
                lock.EndWrite();
            }
        });
        other.join();
        return got;
    };
    lock.BeginRead();
    EXPECT_FALSE(otherThreadCanWrite());
    lock.EndRead();
    EXPECT_TRUE(otherThreadCanWrite());
    {
        WriteGuard write(lock);
        EXPECT_FALSE(otherThreadCanWrite());
    }
    EXPECT_TRUE(otherThreadCanWrite());
}

TEST(MrewLock, TheWriterMayWriteAndReadAgainButAReaderMayNotStartWriting) {
    MrewLock lock;
    {
        WriteGuard write(lock);
        WriteGuard again(lock);
        ReadGuard readWhileWriting(lock);
    }
    {
        ReadGuard read(lock);
        ReadGuard again(lock);
        EXPECT_THROW(lock.BeginWrite(), std::logic_error);
        EXPECT_THROW(lock.TryBeginWrite(), std::logic_error);
    }
    EXPECT_THROW(lock.EndRead(), std::logic_error);
    EXPECT_THROW(lock.EndWrite(), std::logic_error);
    // Nothing is left held after the refusals.
    EXPECT_TRUE(lock.TryBeginWrite());
    lock.EndWrite();
}

TEST(MrewLock, AReadStillOpenWhenTheWriteEndsGoesOnAsARead) {
    MrewLock lock;
    lock.BeginWrite();
    lock.BeginRead();
    lock.EndWrite();
    bool otherWrote = true;
    std::thread other([&] {
        otherWrote = lock.TryBeginWrite();
        if (otherWrote) {
            lock.EndWrite();
        }
    });
    other.join();
    EXPECT_FALSE(otherWrote);
    lock.EndRead();
    EXPECT_TRUE(lock.TryBeginWrite());
    lock.EndWrite();
}

}  // namespace
}  // namespace platform

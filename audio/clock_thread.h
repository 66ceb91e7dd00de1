#pragma once
// The clock thread: a tick to the main window at each whole second of local
// time, from a timer armed at the absolute instant of the next second, so
// the ticks stay on the second boundaries of the system clock instead of
// drifting. A clock set back is noticed when the wait times out; a clock set
// forward (a resume from sleep) gives one tick and a fresh alignment instead
// of one tick for every second that was skipped.
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/date_time.h"
#include "platform/threads.h"

class TUpdateTime : public platform::TThread {
public:
    static constexpr int32_t kWaitMs = 1010;

    using LocalClock = std::function<platform::TDateTime()>;
    using Notify = std::function<void(uintptr_t code, intptr_t argument)>;

    // localNow: the local system time, without the time-server offset (a
    // test may pass its own clock). notify: empty posts to the main window
    // while it is ready.
    explicit TUpdateTime(LocalClock localNow = {}, Notify notify = {});
    ~TUpdateTime() override;

    // Aligns on the next whole second of the local time. Also called by the
    // main window after a time-server synchronisation; the thread takes the
    // new alignment when it next arms its timer.
    void SyncNew();

    // The step after each wait: advances or re-aligns the next due time and
    // answers whether a tick is due. Run by the thread; public for tests.
    bool AfterWait(bool signalled);

    // Due time of the next tick as a UTC file time (100 ns since 1601-01-01).
    int64_t wtl() const { return wtl_.load(); }
    // Millisecond part of the local time at the last alignment.
    uint16_t msl() const { return msl_.load(); }
    // The next whole second in local time.
    platform::TDateTime zeitLatch() const { return zeitLatch_.load(); }

    // Converts a local date-time into a UTC file time.
    static int64_t LocalToFileTime(platform::TDateTime local);
    static platform::TDateTime FileTimeToUtc(int64_t fileTime);

protected:
    void Execute() override;

private:
    void AlignOn(platform::TDateTime now);

    const LocalClock localNow_;
    const Notify notify_;
    std::atomic<int64_t> wtl_{0};
    std::atomic<uint16_t> msl_{0};
    std::atomic<platform::TDateTime> zeitLatch_{0.0};
};

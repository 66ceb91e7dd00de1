#include "audio/clock_thread.h"

#include <chrono>

#include "platform/sync.h"
#include "ui_kit/notifications.h"

namespace {

// Days from 1601-01-01, where file times count from, to 1899-12-30.
constexpr int64_t kFileTimeEpochDays = 109205;
constexpr int64_t kFileTimeUnitsPerMs = 10000;

}  // namespace

TUpdateTime::TUpdateTime(LocalClock localNow, Notify notify)
    : platform::TThread("clock"), localNow_(localNow ? std::move(localNow) : LocalClock(&platform::SystemLocalNow)),
      notify_(std::move(notify)) {}

TUpdateTime::~TUpdateTime() { Stop(); }

int64_t TUpdateTime::LocalToFileTime(platform::TDateTime local) {
    const platform::TDateTime utc = platform::LocalToUtcDateTime(local);
    return (platform::DateTimeToMs(utc) + kFileTimeEpochDays * platform::kMsPerDay) * kFileTimeUnitsPerMs;
}

platform::TDateTime TUpdateTime::FileTimeToUtc(int64_t fileTime) {
    return platform::MsToDateTime(fileTime / kFileTimeUnitsPerMs - kFileTimeEpochDays * platform::kMsPerDay);
}

void TUpdateTime::AlignOn(platform::TDateTime now) {
    const int64_t ms = platform::DateTimeToMs(now);
    const auto part = static_cast<uint16_t>(((ms % 1000) + 1000) % 1000);
    const platform::TDateTime latch = platform::MsToDateTime(ms + (1000 - part));
    msl_.store(part);
    zeitLatch_.store(latch);
    wtl_.store(LocalToFileTime(latch));
}

void TUpdateTime::SyncNew() { AlignOn(localNow_()); }

bool TUpdateTime::AfterWait(bool signalled) {
    const platform::TDateTime now = localNow_();
    if (!signalled) {
        AlignOn(now);
        return false;
    }
    const int64_t next = platform::DateTimeToMs(zeitLatch_.load()) + 1000;
    if (next <= platform::DateTimeToMs(now)) {
        // The clock went forward by more than a second: the seconds in
        // between are gone, one tick stands for them.
        AlignOn(now);
    } else {
        zeitLatch_.store(platform::MsToDateTime(next));
        wtl_.store(LocalToFileTime(zeitLatch_.load()));
    }
    return !Terminated();
}

void TUpdateTime::Execute() {
    SyncNew();
    platform::WaitableTimer timer;
    while (!Terminated()) {
        const auto due = platform::ToTimePoint(FileTimeToUtc(wtl_.load()));
        if (due + std::chrono::seconds(1) < std::chrono::system_clock::now()) {
            // A local second of the repeated hour in autumn maps to the first
            // of its two instants, an hour back: wait for the next second of
            // the clock as it reads now instead of firing for every one of them.
            const int64_t nowMs = platform::DateTimeToMs(localNow_());
            timer.SetRelative(std::chrono::milliseconds(1000 - ((nowMs % 1000) + 1000) % 1000),
                              std::chrono::milliseconds(0));
        } else {
            timer.SetAbsolute(due, std::chrono::milliseconds(0));
        }
        const int woke = platform::WaitForAny({&timer, &TerminateEvent()}, kWaitMs);
        if (woke == 1 || Terminated()) break;
        if (!AfterWait(woke == 0)) continue;
        if (notify_) notify_(kNotifyClockTick, 1);
        else PostMainNotify(kNotifyClockTick, 1);
    }
    timer.Cancel();
}

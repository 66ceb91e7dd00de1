#include "ui_kit/services/clock.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace {

std::atomic<int64_t> clockOffsetMs{0};

// The test source is read on every stamp only while one is installed; the
// flag keeps the lock off the path of the real clock.
std::atomic<bool> testSourceInstalled{false};
std::mutex testSourceLock;
std::shared_ptr<const std::function<platform::TDateTime()>> testSource;

}  // namespace

platform::TDateTime UncorrectedUtcNow() {
    if (testSourceInstalled.load(std::memory_order_acquire)) {
        std::shared_ptr<const std::function<platform::TDateTime()>> source;
        {
            std::lock_guard<std::mutex> guard(testSourceLock);
            source = testSource;
        }
        if (source) {
            return (*source)();
        }
    }
    return platform::SystemUtcNow();
}

namespace {

// Adds the offset on the millisecond line, so that whole hours stay exact.
platform::TDateTime WithOffset(platform::TDateTime t) {
    const int64_t offset = clockOffsetMs.load(std::memory_order_relaxed);
    if (offset == 0) {
        return t;
    }
    return platform::MsToDateTime(platform::DateTimeToMs(t) + offset);
}

}  // namespace

void SetClockOffset(int64_t ms) { clockOffsetMs.store(ms, std::memory_order_relaxed); }

int64_t ClockOffset() { return clockOffsetMs.load(std::memory_order_relaxed); }

platform::TDateTime CorrectedUtcNow() { return WithOffset(UncorrectedUtcNow()); }

platform::TDateTime CorrectedNow() { return WithOffset(UtcToLocal(UncorrectedUtcNow())); }

platform::TDateTime UtcToLocal(platform::TDateTime utc) { return platform::UtcToLocalDateTime(utc); }

void SetClockSourceForTests(std::function<platform::TDateTime()> utcNow) {
    std::lock_guard<std::mutex> guard(testSourceLock);
    if (utcNow) {
        testSource = std::make_shared<const std::function<platform::TDateTime()>>(std::move(utcNow));
        testSourceInstalled.store(true, std::memory_order_release);
    } else {
        testSource.reset();
        testSourceInstalled.store(false, std::memory_order_release);
    }
}

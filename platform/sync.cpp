#include "platform/sync.h"

#include "platform/tsan_annotations.h"

#include <algorithm>
#include <condition_variable>
#include <stdexcept>
#include <string>


namespace platform {

namespace detail {
// One per waiting thread and wait: the objects it waits on wake it here.
struct Waiter {
    std::condition_variable cv;
};
}  // namespace detail

namespace {

using Clock = std::chrono::steady_clock;

void CheckTimeout(int timeoutMs) {
    if (timeoutMs < 0 && timeoutMs != kInfinite) {
        throw std::invalid_argument("wait timeout must be >= 0 ms or infinite, not " + std::to_string(timeoutMs));
    }
}

void CheckPeriod(std::chrono::milliseconds period) {
    if (period.count() < 0) {
        throw std::invalid_argument("timer period must not be negative");
    }
}

// Keeps a waiter registered with its objects exactly as long as the wait runs.
class Registration {
public:
    Registration(std::span<Waitable* const> objects, std::vector<detail::Waiter*>* (*listOf)(Waitable*),
                 detail::Waiter* waiter)
        : objects_(objects), listOf_(listOf), waiter_(waiter) {}
    ~Registration() {
        if (registered_) {
            for (Waitable* object : objects_) {
                std::erase(*listOf_(object), waiter_);
            }
        }
    }
    void Ensure() {
        if (!registered_) {
            for (Waitable* object : objects_) {
                listOf_(object)->push_back(waiter_);
            }
            registered_ = true;
        }
    }

private:
    std::span<Waitable* const> objects_;
    std::vector<detail::Waiter*>* (*listOf_)(Waitable*);
    detail::Waiter* waiter_;
    bool registered_ = false;
};

}  // namespace

// ---------------------------------------------------------------- Waitable

std::mutex& Waitable::NotifierMutex() {
    // Never destroyed: threads that free themselves may still signal while the
    // program exits.
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

void Waitable::WakeWaitersLocked() {
    for (detail::Waiter* waiter : waiters_) {
        waiter->cv.notify_one();
    }
}

bool Waitable::Wait(int timeoutMs) {
    Waitable* self = this;
    return WaitForAny(std::span<Waitable* const>(&self, 1), timeoutMs) == 0;
}

int WaitForAny(std::span<Waitable* const> objects, int timeoutMs) {
    CheckTimeout(timeoutMs);
    if (objects.empty()) {
        throw std::invalid_argument("WaitForAny needs at least one object");
    }
    if (std::find(objects.begin(), objects.end(), nullptr) != objects.end()) {
        throw std::invalid_argument("WaitForAny was given a null object");
    }

    std::unique_lock lock(Waitable::NotifierMutex());
    std::optional<Clock::time_point> deadline;
    if (timeoutMs != kInfinite) {
        deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    detail::Waiter self;
    Registration registration(
        objects, [](Waitable* object) { return &object->waiters_; }, &self);
    for (;;) {
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < objects.size(); ++i) {
            if (objects[i]->IsSignalledLocked(now)) {
                objects[i]->ConsumeLocked(now);
                return static_cast<int>(i);
            }
        }
        if (deadline && now >= *deadline) {
            return kWaitTimeout;
        }
        registration.Ensure();
        std::optional<Clock::time_point> wakeAt = deadline;
        for (Waitable* object : objects) {
            if (const auto next = object->NextSignalLocked(); next && (!wakeAt || *next < *wakeAt)) {
                wakeAt = next;
            }
        }
        // The wait gives the mutex up and takes it back inside a call that
        // ThreadSanitizer does not intercept (pthread_cond_clockwait).
        HandedOver(lock.mutex());
        if (wakeAt) {
            self.cv.wait_until(lock, *wakeAt);
        } else {
            self.cv.wait(lock);
        }
        TakenOver(lock.mutex());
    }
}

int WaitForAny(std::initializer_list<Waitable*> objects, int timeoutMs) {
    return WaitForAny(std::span<Waitable* const>(objects.begin(), objects.size()), timeoutMs);
}

// ---------------------------------------------------------------- events

void AutoResetEvent::Set() {
    std::lock_guard lock(NotifierMutex());
    signalled_ = true;
    WakeWaitersLocked();
}

void AutoResetEvent::Reset() {
    std::lock_guard lock(NotifierMutex());
    signalled_ = false;
}

void ManualResetEvent::Set() {
    std::lock_guard lock(NotifierMutex());
    signalled_ = true;
    WakeWaitersLocked();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(NotifierMutex());
    signalled_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(NotifierMutex());
    return signalled_;
}

// ---------------------------------------------------------------- timer

void WaitableTimer::SetAbsolute(std::chrono::system_clock::time_point firstExpiry, std::chrono::milliseconds period) {
    CheckPeriod(period);
    constexpr auto kFarAway = std::chrono::hours(24 * 365 * 100);
    const auto systemNow = std::chrono::system_clock::now();
    if (firstExpiry > systemNow + kFarAway || firstExpiry < systemNow - kFarAway) {
        throw std::invalid_argument("timer expiry more than a century away from now");
    }
    std::lock_guard lock(NotifierMutex());
    const auto untilFirst = std::chrono::duration_cast<Clock::duration>(firstExpiry - systemNow);
    ArmLocked(Clock::now() + untilFirst, period);
}

void WaitableTimer::SetRelative(std::chrono::milliseconds firstDelay, std::chrono::milliseconds period) {
    CheckPeriod(period);
    if (firstDelay.count() < 0) {
        throw std::invalid_argument("timer delay must not be negative");
    }
    std::lock_guard lock(NotifierMutex());
    ArmLocked(Clock::now() + firstDelay, period);
}

void WaitableTimer::Cancel() {
    std::lock_guard lock(NotifierMutex());
    due_.reset();
}

bool WaitableTimer::IsArmed() const {
    std::lock_guard lock(NotifierMutex());
    return due_.has_value();
}

void WaitableTimer::ArmLocked(Clock::time_point first, std::chrono::milliseconds period) {
    first_ = first;
    period_ = period;
    due_ = first;
    // Waiters sleep until the old due time; they must look at the new one.
    WakeWaitersLocked();
}

bool WaitableTimer::IsSignalledLocked(Clock::time_point now) const {
    return due_ && now >= *due_;
}

void WaitableTimer::ConsumeLocked(Clock::time_point now) {
    if (period_.count() == 0) {
        due_.reset();
        return;
    }
    // Expiries missed while nobody waited collapse into this one; the next
    // stays on the grid that started at the first expiry.
    const auto periods = (now - first_) / period_ + 1;
    due_ = first_ + periods * period_;
}

// ---------------------------------------------------------------- MREW lock

namespace {

struct ReadState {
    const MrewLock* lock;
    int depth;
    bool holdsShared;
};

thread_local std::vector<ReadState> t_reads;

ReadState* FindRead(const MrewLock* lock) {
    for (ReadState& state : t_reads) {
        if (state.lock == lock) {
            return &state;
        }
    }
    return nullptr;
}

void ForgetRead(const MrewLock* lock) {
    std::erase_if(t_reads, [lock](const ReadState& state) { return state.lock == lock; });
}

}  // namespace

void MrewLock::BeginRead() {
    ReadState* state = FindRead(this);
    if (state) {
        ++state->depth;
        return;
    }
    const bool needShared = !IsWriter();
    if (needShared) {
        mutex_.lock_shared();
    }
    t_reads.push_back(ReadState{this, 1, needShared});
}

void MrewLock::EndRead() {
    ReadState* state = FindRead(this);
    if (!state) {
        throw std::logic_error("MrewLock::EndRead without BeginRead on this thread");
    }
    if (--state->depth > 0) {
        return;
    }
    const bool heldShared = state->holdsShared;
    ForgetRead(this);
    if (heldShared) {
        mutex_.unlock_shared();
    }
}

void MrewLock::RefuseReadToWrite() const {
    throw std::logic_error("MrewLock::BeginWrite while this thread reads: it would wait for itself");
}

void MrewLock::BeginWrite() {
    if (IsWriter()) {
        ++writeDepth_;
        return;
    }
    if (FindRead(this)) {
        RefuseReadToWrite();
    }
    mutex_.lock();
    writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    writeDepth_ = 1;
}

bool MrewLock::TryBeginWrite() {
    if (IsWriter()) {
        ++writeDepth_;
        return true;
    }
    if (FindRead(this)) {
        RefuseReadToWrite();
    }
    if (!mutex_.try_lock()) {
        return false;
    }
    writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    writeDepth_ = 1;
    return true;
}

void MrewLock::EndWrite() {
    if (!IsWriter()) {
        throw std::logic_error("MrewLock::EndWrite without BeginWrite on this thread");
    }
    if (--writeDepth_ > 0) {
        return;
    }
    writer_.store(std::thread::id(), std::memory_order_relaxed);
    ReadState* openRead = FindRead(this);
    mutex_.unlock();
    if (openRead) {
        mutex_.lock_shared();
        openRead->holdsShared = true;
    }
}

}  // namespace platform

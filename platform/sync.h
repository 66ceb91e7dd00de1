#pragma once
// Synchronisation objects with the behaviour the audio and calculation threads
// were designed around: auto-reset events, clock-aligned waitable timers, a
// wait on several of them at once, re-entrant critical sections and a
// multi-reader/single-writer lock.
//
// Events and timers share one notifier: a waiting thread registers its own
// condition variable with every object it waits on, and an object that
// becomes signalled wakes the threads registered with it. Nobody polls.
// An object must outlive every wait on it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <thread>
#include <vector>

namespace platform {

constexpr int kInfinite = -1;     // timeout that never ends
constexpr int kWaitTimeout = -1;  // what WaitForAny answers when nothing came

namespace detail {
struct Waiter;
}

// Something a thread can wait for. A wait that sees it signalled consumes the
// signal when the object resets automatically.
class Waitable {
public:
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable() = default;

    // True when the object was signalled within timeoutMs (kInfinite: no limit).
    bool Wait(int timeoutMs);

protected:
    using Clock = std::chrono::steady_clock;

    Waitable() = default;

    // The three hooks below run with the notifier's lock held.
    virtual bool IsSignalledLocked(Clock::time_point now) const = 0;
    virtual void ConsumeLocked(Clock::time_point now) = 0;
    // When the object will turn signalled by itself (timers); none for events.
    virtual std::optional<Clock::time_point> NextSignalLocked() const { return std::nullopt; }

    // Wakes every thread waiting on this object so that it looks again.
    void WakeWaitersLocked();
    static std::mutex& NotifierMutex();

private:
    friend int WaitForAny(std::span<Waitable* const> objects, int timeoutMs);
    std::vector<detail::Waiter*> waiters_;
};

// Waits until one of the objects is signalled and consumes that signal.
// Answers the index of the object (the lowest one when several are
// signalled, so a thread that must not miss its stop event checks the
// terminate flag after every wake-up) or kWaitTimeout. Throws std::invalid_argument for an empty list,
// a null object or a negative timeout other than kInfinite.
int WaitForAny(std::span<Waitable* const> objects, int timeoutMs);
int WaitForAny(std::initializer_list<Waitable*> objects, int timeoutMs);

// An event that stays signalled until exactly one wait has seen it.
class AutoResetEvent : public Waitable {
public:
    explicit AutoResetEvent(bool initiallySignalled = false) : signalled_(initiallySignalled) {}

    void Set();
    void Reset();

protected:
    bool IsSignalledLocked(Clock::time_point now) const override { return signalled_; }
    void ConsumeLocked(Clock::time_point now) override { signalled_ = false; }

private:
    bool signalled_;
};

// An event that stays signalled, for every waiter, until it is reset.
class ManualResetEvent : public Waitable {
public:
    explicit ManualResetEvent(bool initiallySignalled = false) : signalled_(initiallySignalled) {}

    void Set();
    void Reset();
    bool IsSet() const;

protected:
    bool IsSignalledLocked(Clock::time_point now) const override { return signalled_; }
    void ConsumeLocked(Clock::time_point now) override {}

private:
    bool signalled_;
};

// An auto-reset timer. Its first expiry is a wall-clock instant (or a delay),
// the following ones come every period, counted on the steady clock from the
// first expiry so that no drift builds up. Each expiry satisfies one wait;
// expiries that pass while nobody waits collapse into one.
//
// The wall-clock instant is turned into a steady-clock instant when the timer
// is armed: a step of the system clock after that does not move the pending
// expiry. The threads that need wall-clock alignment re-arm every cycle.
class WaitableTimer : public Waitable {
public:
    WaitableTimer() = default;

    // Arms (or re-arms) the timer; a period of 0 makes it fire once. An
    // instant in the past fires at once. Arming clears an expiry not yet
    // consumed. A negative period is refused with std::invalid_argument.
    void SetAbsolute(std::chrono::system_clock::time_point firstExpiry, std::chrono::milliseconds period);
    void SetRelative(std::chrono::milliseconds firstDelay, std::chrono::milliseconds period);
    // Disarms the timer and drops an expiry not yet consumed.
    void Cancel();
    bool IsArmed() const;

protected:
    bool IsSignalledLocked(Clock::time_point now) const override;
    void ConsumeLocked(Clock::time_point now) override;
    std::optional<Clock::time_point> NextSignalLocked() const override { return due_; }

private:
    void ArmLocked(Clock::time_point first, std::chrono::milliseconds period);

    std::optional<Clock::time_point> due_;
    Clock::time_point first_{};
    std::chrono::milliseconds period_{0};
};

// A critical section that its owner may enter again; every Enter needs its
// Leave. Works with std::lock_guard and std::unique_lock.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }

    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex mutex_;
};

// Many readers or one writer. The writer may enter again and may read while
// it writes; a reader may read again. A reader that asks to write would wait
// for itself forever, so that is refused with std::logic_error, as is ending
// a read or write that this thread did not begin. A read begun inside a write
// and still open when the write ends goes on as an ordinary read; the lock
// is let go for a moment in between, so another writer may come first.
class MrewLock {
public:
    MrewLock() = default;
    MrewLock(const MrewLock&) = delete;
    MrewLock& operator=(const MrewLock&) = delete;

    void BeginRead();
    void EndRead();
    void BeginWrite();
    bool TryBeginWrite();
    void EndWrite();

    class ReadGuard {
    public:
        explicit ReadGuard(MrewLock& lock) : lock_(lock) { lock_.BeginRead(); }
        ~ReadGuard() { lock_.EndRead(); }
        ReadGuard(const ReadGuard&) = delete;
        ReadGuard& operator=(const ReadGuard&) = delete;

    private:
        MrewLock& lock_;
    };

    class WriteGuard {
    public:
        explicit WriteGuard(MrewLock& lock) : lock_(lock) { lock_.BeginWrite(); }
        ~WriteGuard() { lock_.EndWrite(); }
        WriteGuard(const WriteGuard&) = delete;
        WriteGuard& operator=(const WriteGuard&) = delete;

    private:
        MrewLock& lock_;
    };

private:
    bool IsWriter() const { return writer_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
    void RefuseReadToWrite() const;

    std::shared_mutex mutex_;
    std::atomic<std::thread::id> writer_{};
    int writeDepth_ = 0;  // touched by the writer only
};

using ReadGuard = MrewLock::ReadGuard;
using WriteGuard = MrewLock::WriteGuard;

}  // namespace platform

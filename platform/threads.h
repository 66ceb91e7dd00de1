#pragma once
// The program's thread class, with the life cycle the audio, calculation and
// clock threads were designed around: created suspended, started, told to
// terminate by a flag the body checks, waited for and freed.
//
// A body that throws never takes the program down: the exception is caught
// and handed, with the thread's failure code, to the failure hook that the
// program installs (it posts the failure notification to the main window).
#include "platform/sync.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

namespace detail {
// What outlives a thread object that frees itself: the flags and events that
// its owner may still look at.
struct ThreadState {
    std::atomic<bool> terminated{false};
    std::atomic<bool> finished{false};
    ManualResetEvent terminateEvent;
    ManualResetEvent finishedEvent;
};
}  // namespace detail

// A handle on a thread that stays valid after the thread object is gone, so
// the owner of a thread that frees itself can still tell it to stop.
// A default-made control stands for "no thread": Terminate does nothing and
// the thread counts as finished.
class ThreadControl {
public:
    ThreadControl() = default;
    explicit operator bool() const { return state_ != nullptr; }

    void Terminate() const;
    bool Terminated() const;
    bool Finished() const;
    // True when the thread finished within timeoutMs (kInfinite: no limit).
    bool WaitFinished(int timeoutMs) const;

private:
    friend class TThread;
    explicit ThreadControl(std::shared_ptr<detail::ThreadState> state) : state_(std::move(state)) {}
    std::shared_ptr<detail::ThreadState> state_;
};

class TThread {
public:
    using FailureHandler = std::function<void(int32_t failureCode, const std::string& what)>;

    // The thread is created suspended: Execute runs only after Start.
    explicit TThread(std::string name = {});
    // Terminates and waits for a thread still running. A derived class should
    // call Stop() in its own destructor: once that has run, the derived part
    // is gone, and a body still running, or not yet begun, would use it.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Throws std::logic_error when called a second time, and
    // std::system_error when the system has no thread to give.
    void Start();
    // Sets the terminate flag and wakes WaitForTerminate and waits on
    // TerminateEvent(). The body decides when to end.
    void Terminate();
    bool Terminated() const;
    // Joins the thread; returns at once when it never started or was already
    // joined. Throws std::logic_error from the thread itself and for a thread
    // that frees itself.
    void WaitFor();
    // Terminate followed by WaitFor.
    void Stop();
    bool Finished() const;
    // True when the thread finished within timeoutMs; works for every thread.
    bool WaitFinished(int timeoutMs) const;

    // The thread deletes its object when its body has ended; after Start the
    // owner must not touch the object again and uses Control() instead. Only
    // before Start (std::logic_error afterwards); the object must come from new.
    void SetFreeOnTerminate(bool freeOnTerminate);
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    ThreadControl Control() const { return ThreadControl(state_); }

    // Passed to the failure hook when the body throws.
    void SetFailureCode(int32_t code) { failureCode_.store(code, std::memory_order_relaxed); }
    int32_t FailureCode() const { return failureCode_.load(std::memory_order_relaxed); }

    const std::string& Name() const { return name_; }
    bool IsCurrentThread() const;

    // Installed once by the program; an empty handler reports on stderr.
    // The handler runs on the failing thread and must be thread-safe.
    static void SetFailureHandler(FailureHandler handler);

protected:
    virtual void Execute() = 0;

    // Waits until the thread is told to terminate or timeoutMs passed;
    // answers Terminated(). For bodies that pause between rounds.
    bool WaitForTerminate(int timeoutMs);
    // Signalled (and staying so) once Terminate was called, to combine with
    // the thread's own events and timers in WaitForAny.
    Waitable& TerminateEvent() { return state_->terminateEvent; }

private:
    void Run();
    void RunBody();
    void ReportFailure(const std::string& what) const;

    const std::string name_;
    const std::shared_ptr<detail::ThreadState> state_;
    std::atomic<int32_t> failureCode_{0};
    bool freeOnTerminate_ = false;
    bool started_ = false;  // under lifeMutex_
    std::thread thread_;    // under lifeMutex_
    std::atomic<std::thread::id> threadId_{};
    mutable std::mutex lifeMutex_;
};

}  // namespace platform

#include "platform/threads.h"

#include <pthread.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace platform {

namespace {

struct FailureHook {
    std::mutex mutex;
    TThread::FailureHandler handler;
};

FailureHook& Hook() {
    // Never destroyed: a thread that frees itself may fail while the program exits.
    static FailureHook* hook = new FailureHook;
    return *hook;
}

void NameSystemThread(const std::string& name) {
    if (name.empty()) {
        return;
    }
    // The kernel keeps 15 characters of a thread name.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace

// ---------------------------------------------------------------- ThreadControl

void ThreadControl::Terminate() const {
    if (state_) {
        state_->terminated.store(true);
        state_->terminateEvent.Set();
    }
}

bool ThreadControl::Terminated() const {
    return state_ && state_->terminated.load();
}

bool ThreadControl::Finished() const {
    return !state_ || state_->finished.load();
}

bool ThreadControl::WaitFinished(int timeoutMs) const {
    if (!state_) {
        return true;
    }
    // The event is manual-reset, so any number of owners may wait on it.
    return state_->finishedEvent.Wait(timeoutMs);
}

// ---------------------------------------------------------------- TThread

TThread::TThread(std::string name) : name_(std::move(name)), state_(std::make_shared<detail::ThreadState>()) {}

TThread::~TThread() {
    std::unique_lock lock(lifeMutex_);
    if (!thread_.joinable()) {
        return;  // never started, already joined, or freeing itself
    }
    if (IsCurrentThread()) {
        thread_.detach();  // the body deleted its own object; nobody is left to join
        return;
    }
    lock.unlock();
    Terminate();
    try {
        WaitFor();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Veltaro: thread '%s' could not be joined: %s\n", name_.c_str(), e.what());
    }
}

void TThread::Start() {
    std::lock_guard lock(lifeMutex_);
    if (started_) {
        throw std::logic_error("thread '" + name_ + "' started twice");
    }
    thread_ = std::thread(&TThread::Run, this);
    started_ = true;
    if (freeOnTerminate_) {
        thread_.detach();
    }
}

void TThread::Terminate() {
    Control().Terminate();
}

bool TThread::Terminated() const {
    return state_->terminated.load();
}

void TThread::WaitFor() {
    if (IsCurrentThread()) {
        throw std::logic_error("thread '" + name_ + "' cannot wait for itself");
    }
    std::lock_guard lock(lifeMutex_);
    if (!started_) {
        return;
    }
    if (freeOnTerminate_) {
        throw std::logic_error("thread '" + name_ + "' frees itself; wait through Control().WaitFinished()");
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TThread::Stop() {
    Terminate();
    WaitFor();
}

bool TThread::Finished() const {
    return state_->finished.load();
}

bool TThread::WaitFinished(int timeoutMs) const {
    return Control().WaitFinished(timeoutMs);
}

void TThread::SetFreeOnTerminate(bool freeOnTerminate) {
    std::lock_guard lock(lifeMutex_);
    if (started_) {
        throw std::logic_error("thread '" + name_ + "': free-on-terminate must be chosen before Start");
    }
    freeOnTerminate_ = freeOnTerminate;
}

bool TThread::IsCurrentThread() const {
    return threadId_.load() == std::this_thread::get_id();
}

void TThread::SetFailureHandler(FailureHandler handler) {
    std::lock_guard lock(Hook().mutex);
    Hook().handler = std::move(handler);
}

bool TThread::WaitForTerminate(int timeoutMs) {
    state_->terminateEvent.Wait(timeoutMs);
    return Terminated();
}

void TThread::Run() {
    threadId_.store(std::this_thread::get_id());
    NameSystemThread(name_);
    RunBody();

    // Everything the owner may still look at lives in the shared state, which
    // this copy keeps alive even when the object is deleted below.
    const std::shared_ptr<detail::ThreadState> state = state_;
    if (freeOnTerminate_) {
        // Start may still be detaching; it holds the mutex until it is done
        // with the object.
        { std::lock_guard lock(lifeMutex_); }
        delete this;
    }
    state->finished.store(true);
    state->finishedEvent.Set();
}

void TThread::RunBody() {
    try {
        Execute();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    } catch (...) {
        ReportFailure("unknown exception");
    }
}

void TThread::ReportFailure(const std::string& what) const {
    FailureHandler handler;
    {
        std::lock_guard lock(Hook().mutex);
        handler = Hook().handler;
    }
    try {
        if (handler) {
            handler(FailureCode(), what);
            return;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Veltaro: failure hook of thread '%s' threw: %s\n", name_.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "Veltaro: failure hook of thread '%s' threw\n", name_.c_str());
    }
    std::fprintf(stderr, "Veltaro: thread '%s' failed (code %d): %s\n", name_.c_str(), FailureCode(), what.c_str());
}

}  // namespace platform

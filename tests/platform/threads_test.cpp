#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

constexpr int kGuardMs = 30000;  // only against hanging

// A thread whose body is given by the test.
class BodyThread : public TThread {
public:
    using Body = std::function<void(BodyThread&)>;
    explicit BodyThread(Body body, std::string name = "test body") : TThread(std::move(name)), body_(std::move(body)) {}
    ~BodyThread() override { Stop(); }

    bool WaitTerminate(int timeoutMs) { return WaitForTerminate(timeoutMs); }
    Waitable& StopSignal() { return TerminateEvent(); }

protected:
    void Execute() override { body_(*this); }

private:
    Body body_;
};

struct Failure {
    int32_t code;
    std::string what;
    bool operator==(const Failure&) const = default;
};

class TThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        TThread::SetFailureHandler([this](int32_t code, const std::string& what) {
            std::lock_guard lock(mutex_);
            failures_.push_back({code, what});
        });
    }
    void TearDown() override { TThread::SetFailureHandler(nullptr); }

    std::vector<Failure> Failures() {
        std::lock_guard lock(mutex_);
        return failures_;
    }

private:
    std::mutex mutex_;
    std::vector<Failure> failures_;
};

TEST_F(TThreadTest, RunsItsBodyOnlyAfterStartAndOnlyOnce) {
    std::atomic<int> runs{0};
    BodyThread thread([&](BodyThread&) { ++runs; });
    EXPECT_FALSE(thread.Finished());
    thread.WaitFor();  // not started: nothing to wait for
    EXPECT_EQ(runs.load(), 0);

    thread.Start();
    EXPECT_THROW(thread.Start(), std::logic_error);
    thread.WaitFor();
    thread.WaitFor();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(thread.Finished());
    EXPECT_TRUE(Failures().empty());
}

TEST_F(TThreadTest, TerminateWakesTheBodyAndWaitForReturnsAfterItEndedConcurrent) {
    std::atomic<int> rounds{0};
    BodyThread thread([&](BodyThread& self) {
        while (!self.WaitTerminate(kGuardMs)) {
            ++rounds;
        }
    });
    thread.Start();
    EXPECT_FALSE(thread.Terminated());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(rounds.load(), 0);  // woken by Terminate, not by the guard time-out
}

TEST_F(TThreadTest, ATimerDrivenBodyStopsOnTerminate) {
    AutoResetEvent ticked;
    std::atomic<int> ticks{0};
    BodyThread thread([&](BodyThread& self) {
        WaitableTimer timer;
        timer.SetRelative(0ms, 1ms);
        while (!self.Terminated()) {
            if (WaitForAny({&timer, &self.StopSignal()}, kGuardMs) == 0) {
                ++ticks;
                ticked.Set();
            }
        }
    });
    thread.Start();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ticked.Wait(kGuardMs));
    }
    thread.Stop();
    EXPECT_TRUE(thread.Finished());
    EXPECT_GE(ticks.load(), 3);
}

TEST_F(TThreadTest, AThrowingBodyReachesTheFailureHookOnceWithItsCode) {
    BodyThread failing([](BodyThread&) { throw std::runtime_error("boom"); });
    failing.SetFailureCode(72);
    failing.Start();
    failing.WaitFor();
    EXPECT_TRUE(failing.Finished());

    BodyThread oddThrow([](BodyThread&) { throw 42; });
    oddThrow.Start();
    oddThrow.WaitFor();
    EXPECT_TRUE(oddThrow.Finished());

    EXPECT_EQ(Failures(), (std::vector<Failure>{{72, "boom"}, {0, "unknown exception"}}));
}

TEST_F(TThreadTest, AThrowingFailureHookIsContained) {
    TThread::SetFailureHandler([](int32_t, const std::string&) { throw std::runtime_error("hook broke"); });
    BodyThread failing([](BodyThread&) { throw std::runtime_error("boom"); });
    failing.Start();
    failing.WaitFor();
    EXPECT_TRUE(failing.Finished());
}

TEST_F(TThreadTest, AThreadCannotWaitForItself) {
    std::string refusal;
    BodyThread thread([&](BodyThread& self) {
        try {
            self.WaitFor();
        } catch (const std::logic_error& e) {
            refusal = e.what();
        }
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_NE(refusal.find("itself"), std::string::npos);
}

// Tells the test when the object of a thread that frees itself is gone.
class SelfFreeingThread : public TThread {
public:
    SelfFreeingThread(std::atomic<int>* destroyed, bool fail) : TThread("self freeing"), destroyed_(destroyed), fail_(fail) {
        SetFreeOnTerminate(true);
    }
    ~SelfFreeingThread() override { ++*destroyed_; }

protected:
    void Execute() override {
        if (fail_) {
            throw std::runtime_error("failed before terminate");
        }
        WaitForTerminate(kInfinite);
    }

private:
    std::atomic<int>* destroyed_;
    bool fail_;
};

TEST_F(TThreadTest, AThreadThatFreesItselfIsStoppedThroughItsControlConcurrent) {
    std::atomic<int> destroyed{0};
    auto* thread = new SelfFreeingThread(&destroyed, false);
    const ThreadControl control = thread->Control();
    thread->Start();
    // Still alive here: the body waits for Terminate.
    EXPECT_THROW(thread->SetFreeOnTerminate(false), std::logic_error);
    EXPECT_THROW(thread->WaitFor(), std::logic_error);
    EXPECT_FALSE(control.Finished());

    control.Terminate();
    ASSERT_TRUE(control.WaitFinished(kGuardMs));
    EXPECT_EQ(destroyed.load(), 1);
    control.Terminate();  // harmless once the object is gone
    EXPECT_TRUE(control.Terminated());
}

TEST_F(TThreadTest, AThreadThatFreesItselfAfterAFailureReportsAndIsGone) {
    std::atomic<int> destroyed{0};
    auto* thread = new SelfFreeingThread(&destroyed, true);
    thread->SetFailureCode(7);
    const ThreadControl control = thread->Control();
    thread->Start();
    ASSERT_TRUE(control.WaitFinished(kGuardMs));
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(Failures(), (std::vector<Failure>{{7, "failed before terminate"}}));
}

TEST(ThreadControl, ADefaultControlStandsForNoThread) {
    ThreadControl none;
    EXPECT_FALSE(none);
    none.Terminate();
    EXPECT_FALSE(none.Terminated());
    EXPECT_TRUE(none.Finished());
    EXPECT_TRUE(none.WaitFinished(0));
}

// A thread class that relies on the base destructor alone. Its body takes what
// it needs from the derived object before it reports that it runs.
class PlainThread : public TThread {
public:
    PlainThread(AutoResetEvent* started, std::atomic<bool>* ended) : started_(started), ended_(ended) {}

protected:
    void Execute() override {
        std::atomic<bool>* ended = ended_;
        started_->Set();
        WaitForTerminate(kInfinite);
        *ended = true;
    }

private:
    AutoResetEvent* const started_;
    std::atomic<bool>* const ended_;
};

TEST_F(TThreadTest, DestroyingARunningThreadTerminatesAndWaitsForIt) {
    std::atomic<bool> ended{false};
    AutoResetEvent started;
    {
        BodyThread thread([&](BodyThread& self) {
            started.Set();
            self.WaitTerminate(kInfinite);
            ended = true;
        });
        thread.Start();
        ASSERT_TRUE(started.Wait(kGuardMs));
    }
    EXPECT_TRUE(ended.load());

    std::atomic<bool> plainEnded{false};
    {
        PlainThread plain(&started, &plainEnded);
        plain.Start();
        ASSERT_TRUE(started.Wait(kGuardMs));
    }
    EXPECT_TRUE(plainEnded.load());
}

}  // namespace
}  // namespace platform

#pragma once
// What the level-engine tests share: a main window that answers the
// calculation's set-up, a notifier that records what the engine posts, an
// input producer that follows the sample-ring protocol, and sine sources.
#include <gtest/gtest.h>

#include <QRectF>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "audio/calculation_thread.h"
#include "audio/level_results.h"
#include "audio/value_reader.h"
#include "platform/date_time.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "support/fake_main_window.h"
#include "support/sample_ring_writer.h"

namespace engine_test {

using test_support::CalcSettings;

// The shared main-window fake, with a hook that runs while the calculation
// reads its set-up (it may throw).
class FakeMainWindow : public test_support::FakeMainWindow {
public:
    std::function<void()> onSetupRead;

    int32_t GetPeakSamples() override {
        if (onSetupRead) {
            onSetupRead();
        }
        return test_support::FakeMainWindow::GetPeakSamples();
    }
};

struct Posted {
    uintptr_t code;
    intptr_t argument;
    bool always;
    bool operator==(const Posted&) const = default;
};

inline void PrintTo(const Posted& p, std::ostream* os) {
    *os << "{" << p.code << ", " << p.argument << (p.always ? ", always}" : "}");
}

// Records every post and event line; safe to use from the calculation
// thread. With checkValueLock, each post also looks from another thread
// whether the value lock is free, as a getter on the GUI thread would.
class RecordingNotifier : public CalcNotifier {
public:
    void Post(uintptr_t code, intptr_t argument) override { Add({code, argument, false}); }
    void PostAlways(uintptr_t code, intptr_t argument) override { Add({code, argument, true}); }
    void EventLine(const QString& text) override {
        CheckValueLock();
        std::lock_guard guard(lock_);
        lines_.push_back(text);
    }

    std::vector<QString> TakeLines() {
        std::lock_guard guard(lock_);
        return std::exchange(lines_, {});
    }

    bool checkValueLock = false;
    std::atomic<int> callsUnderValueLock{0};

    std::vector<Posted> Take() {
        std::lock_guard guard(lock_);
        return std::exchange(posted_, {});
    }
    int Count(uintptr_t code) {
        std::lock_guard guard(lock_);
        int n = 0;
        for (const Posted& p : posted_) {
            n += p.code == code ? 1 : 0;
        }
        return n;
    }
    // Waits until at least count posts of code arrived; false on time-out.
    bool WaitFor(uintptr_t code, int count, int timeoutMs) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
            int n = 0;
            for (const Posted& p : posted_) {
                n += p.code == code ? 1 : 0;
            }
            return n >= count;
        });
    }

private:
    void CheckValueLock() {
        if (!checkValueLock) {
            return;
        }
        bool free = false;
        std::thread([&free] {
            free = valueLock.TryEnter();
            if (free) {
                valueLock.Leave();
            }
        }).join();
        if (!free) {
            ++callsUnderValueLock;
        }
    }

    void Add(Posted p) {
        CheckValueLock();
        {
            std::lock_guard guard(lock_);
            posted_.push_back(p);
        }
        changed_.notify_all();
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Posted> posted_;
    std::vector<QString> lines_;
};

using test_support::RestartRingsAt;

// An input back-end as the ring protocol has it: store the block, then
// publish it.
inline void WriteFrames(const std::vector<double>& ch1, const std::vector<double>& ch2) {
    test_support::WriteRingFrames(ch1, ch2);
}

inline void WriteFrames(const std::vector<double>& ch1) { WriteFrames(ch1, {}); }

// A sine that continues where the previous piece ended.
class SineSource {
public:
    SineSource(double frequency, double amplitude) : frequency_(frequency), amplitude_(amplitude) {}
    std::vector<double> Next(int32_t count) {
        std::vector<double> out(count);
        for (double& v : out) {
            v = amplitude_ * std::sin(2.0 * std::numbers::pi * frequency_ * static_cast<double>(n_++) / 48000.0);
        }
        return out;
    }

private:
    double frequency_;
    double amplitude_;
    int64_t n_ = 0;
};

// Registers the fake main window, sizes the rings, freezes the corrected
// clock and provides a value reader, as the main window would before the
// calculation runs; undoes all of it afterwards.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateSampleRings();
        recRing.Reset();
        inputAssign.store(1);
        RegisterMainWindowServices(&main);
        wertCreate.store(&reader);
        utcNow = platform::EncodeDateTime(2024, 5, 6, 10, 7, 12, 400);
        SetClockSourceForTests([this] { return utcNow.load(); });
    }
    void TearDown() override {
        SetClockSourceForTests(nullptr);
        wertCreate.store(nullptr);
        RegisterMainWindowServices(nullptr);
        inputAssign.store(1);
    }

    // Advances the frozen clock by one 25 ms cycle and runs the cycle.
    void Cycle(TCalcer& calc) {
        utcNow.store(platform::MsToDateTime(platform::DateTimeToMs(utcNow.load()) + 25));
        calc.RunCycle();
    }

    // Feeds count frames of channel 1 (and channel 2) in cycles of perCycle.
    void Feed(TCalcer& calc, SineSource& ch1, int32_t count, int32_t perCycle = 1200, SineSource* ch2 = nullptr) {
        for (int32_t done = 0; done < count; done += perCycle) {
            const int32_t n = std::min(perCycle, count - done);
            WriteFrames(ch1.Next(n), ch2 ? ch2->Next(n) : std::vector<double>{});
            Cycle(calc);
        }
    }

    // The Leq and short-term Leq as the value reader gives them now.
    double Leq() {
        double leq = 0, factor = 0;
        reader.GetLeq(leq, factor);
        return leq;
    }
    double LeqK() {
        double leqk = 0;
        int32_t blocks = 0;
        reader.GetLeqk(leqk, blocks);
        return leqk;
    }

    FakeMainWindow main;
    RecordingNotifier posts;
    TWertCreate reader;
    std::atomic<platform::TDateTime> utcNow{0.0};
};

}  // namespace engine_test

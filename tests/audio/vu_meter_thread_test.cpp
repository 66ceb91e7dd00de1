// The VU meter, driven one tick at a time on samples the test writes into
// the rings, and once on its own thread.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>
#include <vector>

#include "audio/vu_meter_thread.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "support/sample_ring_writer.h"

namespace {

void Write(const std::vector<double>& ch1, const std::vector<double>& ch2 = {}) {
    test_support::WriteRingFrames(ch1, ch2);
}

struct Levels {
    double peak1 = 0, peak2 = 0, rms1 = 0, rms2 = 0;
};

Levels Read(TVuThread& vu) {
    Levels l;
    vu.getLevels(l.peak1, l.peak2, l.rms1, l.rms2);
    return l;
}

class VuMeterTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateSampleRings();
        test_support::RestartRingsAt(kSampleRingSize - 100);  // the windows also work across the wrap
        inputAssign.store(1);
        clipCounter.store(0);
    }
    void TearDown() override { inputAssign.store(1); }

    // The reset that the thread makes at its start, before any sample.
    void StartMeter() { EXPECT_FALSE(vu.Tick()); }

    double rlz = 0.0;
    std::vector<std::pair<uintptr_t, intptr_t>> posts;
    TVuThread vu{[this] { return rlz; }, [this](uintptr_t c, intptr_t a) { posts.push_back({c, a}); }};
};

TEST_F(VuMeterTest, PeakHoldFallsBackWithTheReturnTime) {
    rlz = 1.0;
    StartMeter();
    Write({1.0});
    ASSERT_TRUE(vu.Tick());
    EXPECT_DOUBLE_EQ(Read(vu).peak1, 1.0);
    Write(std::vector<double>(48000, 0.0));
    ASSERT_TRUE(vu.Tick());
    EXPECT_NEAR(Read(vu).peak1, std::exp(-0.5), 1e-12);
    vu.resetPeakLatch();
    Write({0.0});
    vu.Tick();
    EXPECT_GT(Read(vu).peak1, 0.6) << "with a return time the request has no visible effect";
    EXPECT_EQ(posts, (std::vector<std::pair<uintptr_t, intptr_t>>(3, {kNotifyVuRefresh, 2})));
}

TEST_F(VuMeterTest, WithoutAReturnTimeThePeakHoldsUntilItIsReset) {
    StartMeter();
    Write({0.8, 0.1});
    vu.Tick();
    Write(std::vector<double>(96000, 0.0));
    vu.Tick();
    EXPECT_DOUBLE_EQ(Read(vu).peak1, 0.8);
    vu.resetPeakLatch();
    EXPECT_DOUBLE_EQ(Read(vu).peak1, 0.8) << "takes effect at the next tick";
    EXPECT_FALSE(vu.Tick()) << "no new samples, no tick, no notification";
    Write({0.25});
    vu.Tick();
    EXPECT_DOUBLE_EQ(Read(vu).peak1, 0.25);
}

TEST_F(VuMeterTest, ClipRunsCountAllButTheirFirstSampleWithOneInputOnly) {
    struct Case {
        std::vector<std::vector<double>> ticks;
        int assign;
        int clips;
    };
    const Case cases[] = {
        {{{0.99, 0.99, 0.99}}, 1, 2},
        {{{0.99, 0.5, 0.99}}, 1, 0},
        {{{0.99}, {0.99}}, 1, 1},  // the run goes on into the next tick
        {{{0.99, 0.99, 0.99}}, 3, 0},
        {{{-0.99, -1.0}}, 1, 1},
        {{{0.977, 0.977}}, 1, 0},  // just below -0.2 dB
    };
    for (const Case& c : cases) {
        inputAssign.store(c.assign);
        TVuThread meter([] { return 0.0; }, [](uintptr_t, intptr_t) {});
        meter.Tick();  // the reset reads the assignment and clears the counter
        for (const auto& tick : c.ticks) {
            Write(tick, tick);
            meter.Tick();
        }
        EXPECT_EQ(clipCounter.load(), c.clips) << c.ticks.size() << " ticks, assignment " << c.assign;
    }
}

TEST_F(VuMeterTest, RmsOfAFullScaleSineRisesTo0707OverItsWindowOnBothInputs) {
    inputAssign.store(3);
    StartMeter();
    std::vector<double> sine(12000), half(12000);
    for (int i = 0; i < 12000; ++i) {
        sine[i] = std::sin(2 * std::numbers::pi * 1000.0 * i / 48000.0);
        half[i] = 0.5 * sine[i];
    }
    Write({sine.begin(), sine.begin() + 3000}, {half.begin(), half.begin() + 3000});
    vu.Tick();
    EXPECT_NEAR(Read(vu).rms1, 0.5, 1e-9) << "half the window filled";
    Write({sine.begin() + 3000, sine.end()}, {half.begin() + 3000, half.end()});
    vu.Tick();
    const Levels l = Read(vu);
    EXPECT_NEAR(l.rms1, std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(l.rms2, 0.5 * std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(l.peak1, 1.0, 1e-9);
    EXPECT_NEAR(l.peak2, 0.5, 1e-9);

    inputAssign.store(1);
    vu.resetLevelCalc();
    Write({0.9});
    vu.Tick();  // the reset begins after what was written before it
    Write({0.3});
    vu.Tick();
    EXPECT_EQ(Read(vu).rms2, 0.0) << "one input: the second bar shows nothing";
    EXPECT_EQ(Read(vu).peak2, 0.0);
    EXPECT_NEAR(Read(vu).peak1, 0.3, 1e-12) << "the reset started from silence";
}

TEST_F(VuMeterTest, VuMeterConcurrentThreadPublishesWhatAnotherThreadWrites) {
    std::mutex lock;
    std::condition_variable notified;
    int count = 0;
    TVuThread running([] { return 0.0; }, [&](uintptr_t code, intptr_t) {
        if (code != kNotifyVuRefresh) return;
        std::lock_guard guard(lock);
        ++count;
        notified.notify_all();
    });
    running.Start();
    // The meter skips what was written before its start-up reset, which it
    // makes on its own thread: write until it has seen something.
    std::vector<double> block(480);
    for (int i = 0; i < 480; ++i) block[i] = 0.5 * std::sin(2 * std::numbers::pi * i / 48.0);
    std::thread producer([&] {
        for (int n = 0; n < 100; ++n) {
            Write(block);
            std::unique_lock guard(lock);
            if (notified.wait_for(guard, std::chrono::milliseconds(100), [&] { return count >= 1; })) return;
        }
    });
    producer.join();
    {
        std::unique_lock guard(lock);
        ASSERT_GE(count, 1);
    }
    // Blocks are published whole, so the tick that gave notice saw the block's peak.
    const Levels l = Read(running);
    EXPECT_NEAR(l.peak1, 0.5, 1e-9);
    running.Stop();
    EXPECT_TRUE(running.Finished());
}

}  // namespace

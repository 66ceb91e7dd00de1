// The calculation on its own thread, woken by its timer, with an input
// producer and a reader on other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "engine_fixture.h"

using namespace engine_test;

namespace {

constexpr int kWaitMs = 10000;

class CalculationThreadConcurrent : public EngineFixture {};

TEST_F(CalculationThreadConcurrent, MeasuresWhatAnotherThreadWritesWhileAThirdReads) {
    main.settings.leqBlocks = 4800;  // fixed 10-minute intervals: the reset announces itself with 49
    main.settings.leqKBlocks = 8;
    TCalcer calc(&posts);
    calc.Start();
    ASSERT_TRUE(posts.WaitFor(kNotifyBlockClosed, 1, kWaitMs));

    std::atomic<bool> produced{false};
    std::thread producer([&] {
        SineSource sine(1000.0, 0.1);
        for (int piece = 0; piece < 200; ++piece) {
            WriteFrames(sine.Next(480));
        }
        produced = true;
    });
    // Reads while the calculation publishes; every value must stay a number.
    while (!produced) {
        double leqk = 0;
        int32_t blocks = 0;
        reader.GetLeqk(leqk, blocks);
        ASSERT_TRUE(std::isfinite(leqk));
        double p1 = 0, p2 = 0;
        reader.GetPeak(p1, p2);
        ASSERT_TRUE(std::isfinite(p1));
    }
    producer.join();

    // Two stop handshakes: the cycle that answers the second one began after
    // the first was answered, so it has taken every sample written before.
    calcStoppedEvent.Reset();
    calc.StopIt();
    WriteFrames(std::vector<double>(1, 0.0));
    ASSERT_TRUE(calcStoppedEvent.Wait(kWaitMs));
    calc.StopIt();
    WriteFrames(std::vector<double>(1, 0.0));
    ASSERT_TRUE(calcStoppedEvent.Wait(kWaitMs));

    double leqk = 0;
    int32_t blocks = 0;
    reader.GetLeqk(leqk, blocks);
    EXPECT_EQ(blocks, 8);
    EXPECT_NEAR(leqk, 96.99, 0.05);
    EXPECT_NEAR(reader.GetLeqFull(), 96.99, 0.05);
    EXPECT_EQ(posts.Count(kNotifyThreadFailure), 0);
    EXPECT_GE(posts.Count(kNotifyNewValues), 1);

    calc.Stop();
    EXPECT_TRUE(calc.Finished());
}

TEST_F(CalculationThreadConcurrent, ABodyThatThrowsReportsOnceAndEnds) {
    main.onSetupRead = [] { throw std::runtime_error("set-up unreadable"); };
    TCalcer calc(&posts);
    calc.Start();
    ASSERT_TRUE(calc.WaitFinished(kWaitMs));
    EXPECT_EQ(posts.Take(), (std::vector<Posted>{{kNotifyThreadFailure, 0, true}}));
}

TEST_F(CalculationThreadConcurrent, WithoutAMainWindowTheThreadEndsAtOnce) {
    RegisterMainWindowServices(nullptr);
    TCalcer calc(&posts);
    calc.Start();
    ASSERT_TRUE(calc.WaitFinished(kWaitMs));
    EXPECT_TRUE(posts.Take().empty());
}

TEST_F(CalculationThreadConcurrent, ARefusedSetupIsReportedOnceWhileTheThreadRunsOn) {
    main.settings.peakSamples = 300000;
    TCalcer calc(&posts);
    calc.Start();
    ASSERT_TRUE(posts.WaitFor(kNotifyThreadFailure, 1, kWaitMs));
    // A second reset with a usable set-up brings the engine back.
    main.settings.peakSamples = 6000;
    main.settings.leqBlocks = 480;
    calc.ResetCalculation();
    ASSERT_TRUE(posts.WaitFor(kNotifyBlockClosed, 1, kWaitMs));
    EXPECT_FALSE(calc.Finished());
    calc.Stop();
    EXPECT_EQ(posts.Count(kNotifyThreadFailure), 1);
}

}  // namespace

// The calculation cycle driven directly: samples enter through the rings as
// an input back-end writes them, the corrected clock is frozen, and the
// notifications land in a recorder.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <mutex>

#include "engine_fixture.h"

using namespace engine_test;

namespace {

using CalculationCycleTest = EngineFixture;

// Everything a cycle publishes, to compare two runs bit for bit.
struct Published {
    double curLeq, curLeqFactor, curLeqK1, curLeqK2, curLeq120, curLeqFull, peakHold1, peakHold2;
    double rmsSlowAmp, rmsFastAmp, rmsSlowAmp2, rmsPSlowAmp, rmsPFastAmp;
    int32_t leqBlocksDone, leqKBlocksDone;
    bool operator==(const Published&) const = default;
};

Published TakePublished() {
    std::lock_guard guard(valueLock);
    return {curLeq,     curLeqFactor, curLeqK1,    curLeqK2,    curLeq120,     curLeqFull,    peakHold1, peakHold2,
            rmsSlowAmp, rmsFastAmp,   rmsSlowAmp2, rmsPSlowAmp, rmsPFastAmp, leqBlocksDone, leqKBlocksDone};
}

// A 1 kHz sine of amplitude 0.1 (-20 dBFS peak) has the mean square 0.005,
// -23.01 dB; with a calibration offset of 120 dB it reads 96.99 dB whatever
// the weighting, since A and C are 0 dB at 1 kHz.
TEST_F(CalculationCycleTest, ASineAtMinus20dBFSReads96Point99InEveryWeighting) {
    for (int32_t weighting : {1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << "weighting " << weighting);
        main.settings.filter[0] = main.settings.filter[1] = main.settings.filter[2] = weighting;
        main.settings.leqBlocks = -8;   // 1 s sliding
        main.settings.leqKBlocks = 16;  // 2 s
        TCalcer calc(&posts);
        calc.RunCycle();  // the reset
        SineSource sine(1000.0, 0.1);
        Feed(calc, sine, 4 * 48000);

        EXPECT_NEAR(Leq(), 96.99, 0.05);
        EXPECT_NEAR(LeqK(), 96.99, 0.05);
        EXPECT_NEAR(reader.GetLeqFull(), 96.99, 0.05);
        double slow = 0, fast = 0;
        reader.GetRMS(slow, fast);
        EXPECT_NEAR(20.0 * std::log10(slow) + 120.0, 96.99, 0.05);
        EXPECT_NEAR(20.0 * std::log10(fast) + 120.0, 96.99, 0.05);
        double p1 = 0, p2 = 0;
        reader.GetPeak(p1, p2);
        EXPECT_NEAR(20.0 * std::log10(p1 / 0.1 * std::sqrt(2.0)), 0.0, 0.05);  // the window's RMS
        EXPECT_EQ(p2, 0.0);
    }
}

TEST_F(CalculationCycleTest, TheFirstCycleResetsAndSkipsWhatCameBefore) {
    SineSource loud(1000.0, 0.9);
    WriteFrames(loud.Next(12000));
    TCalcer calc(&posts);
    EXPECT_FALSE(calc.ValidSetup());
    calc.RunCycle();
    EXPECT_TRUE(calc.ValidSetup());
    EXPECT_TRUE(posts.Take().empty());
    calc.RunCycle();  // nothing new: the samples before the reset stay unprocessed
    EXPECT_TRUE(posts.Take().empty());
    EXPECT_EQ(Leq(), 0.0);
    double slow = 1, fast = 1;
    reader.GetRMS(slow, fast);
    EXPECT_EQ(slow, 0.0);

    SineSource quiet(1000.0, 0.01);
    WriteFrames(quiet.Next(6000));
    calc.RunCycle();
    EXPECT_EQ(posts.Count(kNotifyNewValues), 1);
    posts.Take();
    int32_t blocks = 0;
    double leqk = 0;
    reader.GetLeqk(leqk, blocks);
    EXPECT_EQ(blocks, 1);
    // Only the quiet block counts: one block of 8 in the window at 76.99 dB.
    EXPECT_NEAR(reader.GetLeqFull(), 76.99, 0.1);

    // A new reset again skips what was written before it.
    WriteFrames(loud.Next(6000));
    calc.ResetCalculation();
    calc.RunCycle();
    calc.RunCycle();
    EXPECT_TRUE(posts.Take().empty());
    EXPECT_EQ(reader.GetLeqFull(), 0.0);
}

TEST_F(CalculationCycleTest, ZeroNewSamplesComputeAndPostNothing) {
    TCalcer calc(&posts);
    calc.RunCycle();
    SineSource sine(500.0, 0.3);
    Feed(calc, sine, 7200);
    posts.Take();
    const Published before = TakePublished();
    for (int i = 0; i < 3; ++i) {
        Cycle(calc);
    }
    EXPECT_TRUE(posts.Take().empty());
    EXPECT_EQ(TakePublished(), before);
}

// How the input is cut into cycles, where the ring wraps and where the
// engine's own buffers and ring indexes wrap must not change a single bit.
TEST_F(CalculationCycleTest, CycleSizeAndRingWrapDoNotChangeTheResults) {
    main.settings.peakSamples = 6000;  // no decay of the peak hold, which counts cycles
    main.settings.leqBlocks = -16;
    main.settings.leqKBlocks = 8;
    inputAssign.store(3);
    const int32_t total = 3 * 48000 + 1234;

    auto run = [&](int32_t startPos, int32_t perCycle) {
        AllocateSampleRings();
        RestartRingsAt(startPos);
        TCalcer calc(&posts);
        calc.RunCycle();
        SineSource ch1(997.0, 0.4), ch2(63.0, 0.2);
        Feed(calc, ch1, total, perCycle, &ch2);
        return TakePublished();
    };
    const Published reference = run(0, 1200);
    EXPECT_GT(reference.curLeqK2, 0.0);
    EXPECT_EQ(run(kSampleRingSize - 5000, 1200), reference);  // the sample ring wraps
    EXPECT_EQ(run(0, 10000), reference);                      // cycles over several buffer pieces
    EXPECT_EQ(run(kSampleRingSize - 70000, 100000), reference);
    EXPECT_EQ(run(17, 1), reference);                         // one sample per cycle
}

// What the calculation read, as it copied it into the recording ring.
std::vector<double> RecordedSince(int32_t from) {
    const int32_t n = (recRing.Position() - from + recRing.Size()) % recRing.Size();
    std::vector<double> out(static_cast<size_t>(n));
    recRing.Read(from, out.data(), n);
    return out;
}

// An audio start begins the rings afresh before it opens the device; a
// cycle that comes before the readers' own reset must not take the jump
// back to slot 0 for a wrap and read the old content once more.
TEST_F(CalculationCycleTest, NoCycleAfterARestartOfTheRingsReadsASampleWrittenBeforeIt) {
    TCalcer calc(&posts);
    calc.RunCycle();
    SineSource loud(1000.0, 0.9);
    for (int i = 0; i < 10; ++i) {
        WriteFrames(loud.Next(48000));
        Cycle(calc);
    }
    const int32_t before = recRing.Position();
    ringWritePos.Restart();
    SineSource quiet(1000.0, 0.001);
    WriteFrames(quiet.Next(1200));
    Cycle(calc);
    const std::vector<double> read = RecordedSince(before);
    ASSERT_EQ(read.size(), 1200u);
    EXPECT_LE(*std::max_element(read.begin(), read.end()), 0.001);
}

// A calculation held back past the ring's length reads only what is still
// whole, the newest data, and the first loss of a run reaches the event list.
TEST_F(CalculationCycleTest, AReaderLappedByTheWriterSkipsToTheNewestWholeDataAndReportsTheLossOncePerRun) {
    TCalcer calc(&posts);
    calc.RunCycle();
    int64_t numbered = 0;  // every sample carries its number
    auto writeAhead = [&](int64_t count) {
        std::vector<double> block(48000);
        for (int64_t done = 0; done < count; done += 48000) {
            for (double& v : block) v = static_cast<double>(numbered++ % 1000000) * 1e-6;
            WriteFrames(block);
        }
    };
    const int64_t ahead = 24 * 48000;  // a ring and three fifths
    writeAhead(ahead);
    const int32_t before = recRing.Position();
    Cycle(calc);
    const int64_t lost = ahead - SampleRingReader::kWholeSamples;
    EXPECT_EQ(posts.TakeLines(), std::vector<QString>{LostInputText(lost)});
    const std::vector<double> read = RecordedSince(before);
    ASSERT_EQ(read.size(), static_cast<size_t>(SampleRingReader::kWholeSamples));
    EXPECT_DOUBLE_EQ(read.front(), static_cast<double>(lost % 1000000) * 1e-6);
    EXPECT_DOUBLE_EQ(read.back(), static_cast<double>((ahead - 1) % 1000000) * 1e-6);

    writeAhead(ahead);
    Cycle(calc);
    EXPECT_TRUE(posts.TakeLines().empty()) << "once per run";

    calc.ResetCalculation();
    Cycle(calc);
    writeAhead(ahead);
    Cycle(calc);
    EXPECT_EQ(posts.TakeLines().size(), 1u) << "a new run reports again";
}

TEST_F(CalculationCycleTest, AWritePositionBelowTheReadPositionIsAWrap) {
    RestartRingsAt(kSampleRingSize - 100);
    TCalcer calc(&posts);
    calc.RunCycle();
    // 6000 samples: 100 to the end of the ring, 5900 from slot 0.
    SineSource sine(1000.0, 0.1);
    WriteFrames(sine.Next(6000));
    ASSERT_EQ(ringWritePos.Slot(), 5900);
    calc.RunCycle();
    EXPECT_EQ(posts.Count(kNotifyNewValues), 1);
    int32_t blocks = 0;
    double leqk = 0;
    reader.GetLeqk(leqk, blocks);
    EXPECT_EQ(blocks, 1);
}

TEST_F(CalculationCycleTest, TwoInputsAreCalculatedOnlyWhenBothAreAssigned) {
    SineSource ch1(1000.0, 0.1), ch2(1000.0, 0.01);
    {
        inputAssign.store(1);
        TCalcer calc(&posts);
        calc.RunCycle();
        Feed(calc, ch1, 48000, 1200, &ch2);
        EXPECT_FALSE(calc.HasChannel2Filter());
        EXPECT_EQ(reader.GetRmsSlow(true), 0.0);
        EXPECT_EQ(reader.GetCalLeqK2(), 0.0);
        double p1 = 0, p2 = 0;
        reader.GetPeak(p1, p2);
        EXPECT_EQ(p2, 0.0);
    }
    {
        inputAssign.store(3);
        TCalcer calc(&posts);
        calc.RunCycle();
        Feed(calc, ch1, 48000, 1200, &ch2);
        EXPECT_TRUE(calc.HasChannel2Filter());
        EXPECT_NEAR(20.0 * std::log10(reader.GetRmsSlow(true)) + 120.0, 76.99 + 0.13, 0.05);
        EXPECT_NEAR(LevelOfEnergy(reader.GetCalLeqK2(), qFactor.load()), 76.99 + 0.13, 0.05);
        EXPECT_NEAR(Leq(), 96.99, 0.05);  // channel 1 is still the calculation input
    }
}

// During the loudest-location search with the reference input, channel 2 is
// the only input and nothing of channel 2's own results is computed.
TEST_F(CalculationCycleTest, TheSearchWithTheReferenceInputCalculatesChannel2Alone) {
    inputAssign.store(3);
    main.Fields().isFindPeak = true;
    main.Fields().useRefForLLF = true;
    TCalcer calc(&posts);
    calc.RunCycle();
    SineSource silence(1000.0, 0.0), reference(1000.0, 0.1);
    Feed(calc, silence, 48000, 1200, &reference);
    EXPECT_FALSE(calc.HasChannel2Filter());
    EXPECT_NEAR(Leq(), 96.99, 0.05);
    EXPECT_EQ(reader.GetRmsSlow(true), 0.0);
    EXPECT_EQ(reader.GetCalLeqK2(), 0.0);
}

TEST_F(CalculationCycleTest, SilenceEntersTheSumsAsZeroAndNoEnergy) {
    TCalcer calc(&posts);
    calc.RunCycle();
    SineSource silence(1000.0, 0.0);
    Feed(calc, silence, 24000);
    EXPECT_EQ(posts.Count(kNotifyNewValues), 4);
    const Published p = TakePublished();
    EXPECT_EQ(p.curLeq, 0.0);
    EXPECT_EQ(p.curLeqFull, 0.0);
    EXPECT_EQ(p.rmsSlowAmp, 0.0);
    EXPECT_EQ(p.peakHold1, 0.0);
    EXPECT_EQ(p.leqBlocksDone, 4);
    EXPECT_EQ(Leq(), 0.0);
}

// A sample that is no number would otherwise stay in every running sum and
// filter state for good.
TEST_F(CalculationCycleTest, GarbageSamplesCannotPoisonTheLevels) {
    TCalcer calc(&posts);
    calc.RunCycle();
    std::vector<double> bad(1200, 0.05);
    bad[10] = std::numeric_limits<double>::quiet_NaN();
    bad[20] = std::numeric_limits<double>::infinity();
    bad[30] = -1e300;
    WriteFrames(bad);
    Cycle(calc);
    SineSource sine(1000.0, 0.1);
    Feed(calc, sine, 4 * 48000);
    const Published p = TakePublished();
    for (double v : {p.curLeq, p.curLeqK1, p.curLeqFull, p.curLeq120, p.peakHold1, p.rmsSlowAmp}) {
        EXPECT_TRUE(std::isfinite(v));
    }
    EXPECT_NEAR(Leq(), 96.99, 0.05);
}

TEST_F(CalculationCycleTest, TheUnweightedInputIsCopiedIntoTheRecordingRingAcrossItsEnd) {
    TCalcer calc(&posts);
    calc.RunCycle();
    const int32_t first = 500000, second = 500000;
    std::vector<double> ramp(first + second);
    for (size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<double>(i) * 1e-6 - 0.5;
    }
    WriteFrames(std::vector<double>(ramp.begin(), ramp.begin() + first));
    Cycle(calc);
    WriteFrames(std::vector<double>(ramp.begin() + first, ramp.end()));
    Cycle(calc);

    ASSERT_EQ(recRing.Position(), first + second - recRing.Size());
    std::vector<double> recorded(recRing.Size());
    recRing.Read(recRing.Position(), recorded.data(), recRing.Size());
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), ramp.end() - recRing.Size()));
}

TEST_F(CalculationCycleTest, AStopIsAnsweredOnceByTheNextCycleWithOrWithoutSamples) {
    TCalcer calc(&posts);
    calc.RunCycle();
    calcStoppedEvent.Reset();
    calc.StopIt();
    Cycle(calc);  // no audio: answered all the same
    EXPECT_TRUE(calcStoppedEvent.Wait(0));
    SineSource sine(1000.0, 0.1);
    calc.StopIt();
    Feed(calc, sine, 1200);
    EXPECT_TRUE(calcStoppedEvent.Wait(0));
    Feed(calc, sine, 1200);
    EXPECT_FALSE(calcStoppedEvent.Wait(0));
}

struct RefusedCase {
    const char* what;
    CalcSettings settings;
};

CalcSettings With(std::function<void(CalcSettings&)> change) {
    CalcSettings s;
    change(s);
    return s;
}

// A set-up that the rings cannot hold is refused: the engine stays idle,
// reports it once and never reads or writes outside its rings.
TEST_F(CalculationCycleTest, SetupsBeyondTheRingsAreRefusedOnceAndLeaveTheEngineIdle) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const RefusedCase cases[] = {
        {"peak window 0", With([](CalcSettings& s) { s.peakSamples = 0; })},
        {"peak window over the ring", With([](CalcSettings& s) { s.peakSamples = 262145; })},
        {"short-term window 0", With([](CalcSettings& s) { s.leqKBlocks = 0; })},
        {"short-term window over the ring", With([](CalcSettings& s) { s.leqKBlocks = 30001; })},
        {"Leq window 0", With([](CalcSettings& s) { s.leqBlocks = 0; })},
        {"sliding Leq over the ring", With([](CalcSettings& s) { s.leqBlocks = -30001; })},
        {"sliding Leq of INT_MIN", With([](CalcSettings& s) { s.leqBlocks = INT_MIN; })},
        {"fixed interval under a minute", With([](CalcSettings& s) { s.leqBlocks = 479; })},
        {"calibration that is no number", With([&](CalcSettings& s) { s.korr[0] = nan; })},
        {"short-term calibration infinite",
         With([](CalcSettings& s) { s.korr[1] = std::numeric_limits<double>::infinity(); })},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        main.settings = c.settings;
        TCalcer calc(&posts);
        calc.RunCycle();
        EXPECT_FALSE(calc.ValidSetup());
        EXPECT_EQ(posts.Take(), (std::vector<Posted>{{kNotifyThreadFailure, kThreadFailureRefusedSetup, true}}));
        SineSource sine(1000.0, 0.5);
        Feed(calc, sine, 12000);
        EXPECT_TRUE(posts.Take().empty());
        EXPECT_EQ(Leq(), 0.0);
        EXPECT_EQ(LeqK(), 0.0);
        EXPECT_EQ(reader.GetLeqFull(), 0.0);
        double p1 = -1, p2 = -1;
        reader.GetPeak(p1, p2);
        EXPECT_EQ(p1, 0.0);
    }
}

TEST_F(CalculationCycleTest, TheLongestWindowsTheRingsHoldAreAccepted) {
    main.settings.peakSamples = 262144;
    main.settings.leqKBlocks = 30000;
    for (int32_t leqBlocks : {-30000, 480, -2}) {
        SCOPED_TRACE(leqBlocks);
        main.settings.leqBlocks = leqBlocks;
        TCalcer calc(&posts);
        calc.RunCycle();
        EXPECT_TRUE(calc.ValidSetup());
        SineSource sine(1000.0, 0.1);
        Feed(calc, sine, 300000, 100000);
        EXPECT_EQ(posts.Count(kNotifyThreadFailure), 0);
        EXPECT_GT(reader.GetLeqFull(), 96.9);
        posts.Take();
    }
}

TEST_F(CalculationCycleTest, WithoutAMainWindowTheResetLeavesTheEngineIdle) {
    RegisterMainWindowServices(nullptr);
    TCalcer calc(&posts);
    calc.RunCycle();
    EXPECT_FALSE(calc.ValidSetup());
    SineSource sine(1000.0, 0.5);
    Feed(calc, sine, 12000);
    EXPECT_TRUE(posts.Take().empty());
}

}  // namespace

// Warning and limit states, maxima, the held peak's decay and the correction
// sums, with the thresholds taken from a real default store.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "measurement_fixture.h"

using namespace engine_test;

namespace {

class LimitStatesTest : public MeasurementFixture {
protected:
    void SetUp() override {
        MeasurementFixture::SetUp();
        main.settings.leqBlocks = -8;  // 1 s sliding
        main.settings.leqKBlocks = 8;
    }
    double PeakLevel() {
        double p1 = 0, p2 = 0;
        reader.GetPeak(p1, p2);
        return 20.0 * std::log10(p1) + 120.0;
    }
};

// Leq thresholds at 90 and 95 dB: a level that rises through both and falls
// back is told at every crossing, without hysteresis.
TEST_F(LimitStatesTest, TheLeqStateFollowsItsLevelAcrossWarningAndLimit) {
    TCalcer calc(&posts);
    calc.RunCycle();
    for (double level : {85.0, 92.0, 97.0, 85.0}) {
        SetLevel(level);
        Run(calc, 2000, 25);
    }
    const std::vector<Posted> posted = posts.Take();
    EXPECT_EQ(ArgumentsOf(posted, kNotifyLeqState), (std::vector<intptr_t>{0, 1, 2, 1, 0}));
    EXPECT_EQ(ArgumentsOf(posted, kNotifyLeqKState), (std::vector<intptr_t>{0}));
    EXPECT_EQ(ArgumentsOf(posted, kNotifyPeakState), (std::vector<intptr_t>{0}));
    for (const Posted& p : posted) {
        if (p.code >= kNotifyPeakState && p.code <= kNotifyLeqState) {
            EXPECT_TRUE(p.always);  // told whether or not the main window is ready
        }
    }

    // After a reset the first cycle tells all three states again.
    calc.ResetCalculation();
    calc.RunCycle();
    Step(calc, 25, 1200);
    const std::vector<Posted> again = posts.Take();
    EXPECT_EQ(ArgumentsOf(again, kNotifyLeqState), (std::vector<intptr_t>{0}));
    EXPECT_EQ(ArgumentsOf(again, kNotifyLeqKState), (std::vector<intptr_t>{0}));
    EXPECT_EQ(ArgumentsOf(again, kNotifyPeakState), (std::vector<intptr_t>{0}));
}

TEST_F(LimitStatesTest, OneCycleTellsItsEventsInTheirOrder) {
    TCalcer calc(&posts);
    calc.RunCycle();  // 10:07:12.400, the first record is due at 10:07:20
    SetLevel(118.0);
    Step(calc, 125, kBlock);
    EXPECT_EQ(posts.Take(), (std::vector<Posted>{
                                {kNotifyNewPeakMax, 0, false},
                                {kNotifyLeqOverLimit, 2, true},
                                {kNotifyLeqState, 2, true},
                                {kNotifyLeqKState, 2, true},
                                {kNotifyPeakState, 2, true},
                                {kNotifyNewLeqMax, 0, false},
                                {kNotifyNewValues, kNewValuesBlock, false},
                            }));
}

struct ThresholdCase {
    const char* what;
    int32_t warn, limit;  // dB as stored; the store adds 0.05
    double level;
    intptr_t state;
};

TEST_F(LimitStatesTest, ThresholdsComeFromTheDefaultStore) {
    const ThresholdCase cases[] = {
        {"between warning and limit", 90, 95, 92.0, 1},
        {"just below the warning level", 90, 95, 90.0, 0},
        {"above a limit below its warning level", 99, 95, 97.0, 2},
        {"limit at or below 0 dB, silence", -1, -1, kSilence, 0},
        {"limit at or below 0 dB, any sound", -1, -1, 10.0, 2},
    };
    for (const ThresholdCase& c : cases) {
        SCOPED_TRACE(c.what);
        store.SetWarnLEQ(c.warn);
        store.SetMaxLEQ(c.limit);
        TCalcer calc(&posts);
        calc.RunCycle();
        SetLevel(c.level);
        Run(calc, 2000, 25);
        const std::vector<intptr_t> states = ArgumentsOf(posts.Take(), kNotifyLeqState);
        ASSERT_FALSE(states.empty());
        EXPECT_EQ(states.back(), c.state);
        // Nothing to show is 0 dB, never NaN or minus infinity.
        EXPECT_TRUE(std::isfinite(Leq()));
        EXPECT_TRUE(std::isfinite(reader.GetMaxLeq()));
        if (c.level == kSilence) {
            EXPECT_EQ(Leq(), 0.0);
        }
    }
}

struct PeakCase {
    const char* what;
    int32_t limit;
    double level;
    intptr_t state;
};

// The peak thresholds are window sums; the calibration maps full scale to
// 120 dB, so a limit above it becomes the full-scale sum.
TEST_F(LimitStatesTest, PeakThresholdsAreWindowSumsCappedAtFullScale) {
    const PeakCase cases[] = {
        {"above the limit", 115, 116.0, 2},
        {"between warning and limit", 115, 114.0, 1},
        {"limit above full scale, input beyond it", 125, 124.0, 2},  // 10^0.4 N > N
    };
    for (const PeakCase& c : cases) {
        SCOPED_TRACE(c.what);
        store.SetWarnPeak(110);
        store.SetMaxPeak(c.limit);
        TCalcer calc(&posts);
        calc.RunCycle();
        SetLevel(c.level);
        Run(calc, 500, 25);
        const std::vector<intptr_t> states = ArgumentsOf(posts.Take(), kNotifyPeakState);
        ASSERT_FALSE(states.empty());
        EXPECT_EQ(states.back(), c.state);
    }
}

TEST_F(LimitStatesTest, MaximaKeepTheirHighestValueAndItsTime) {
    TCalcer calc(&posts);
    calc.RunCycle();  // 10:07:12.400
    EXPECT_EQ(Ms(reader.GetMaxLeqTime()), Ms(Local(10, 7, 12, 400)));
    SetLevel(80.0);
    Run(calc, 3000, 25);
    SetLevel(96.0);
    Run(calc, 2000, 25);  // 10:07:15.400 to 10:07:17.400
    SetLevel(85.0);
    Run(calc, 3000, 25);

    EXPECT_NEAR(reader.GetMaxLeq(), 96.0, 0.01);
    EXPECT_NEAR(reader.GetMaxLeqK(), 96.0, 0.01);
    EXPECT_NEAR(reader.GetMaxPeak(), 96.0, 0.01);
    // The one-second windows are full of the loud level from 10:07:16.400
    // on, the 125 ms peak window from 10:07:15.525.
    for (platform::TDateTime t : {reader.GetMaxLeqTime(), reader.GetMaxLeqKTime()}) {
        EXPECT_GE(Ms(t), Ms(Local(10, 7, 16, 400)));
        EXPECT_LE(Ms(t), Ms(Local(10, 7, 17, 400)));
    }
    EXPECT_GE(Ms(reader.GetMaxPeakTime()), Ms(Local(10, 7, 15, 525)));
    EXPECT_LE(Ms(reader.GetMaxPeakTime()), Ms(Local(10, 7, 17, 400)));
    EXPECT_GE(posts.Count(kNotifyNewPeakMax), 2);
    EXPECT_GE(posts.Count(kNotifyNewLeqMax), 2);

    // A reset starts them from 0 at the reset time.
    calc.ResetCalculation();
    calc.RunCycle();
    EXPECT_EQ(reader.GetMaxLeq(), 0.0);
    EXPECT_EQ(reader.GetMaxPeak(), 0.0);
    EXPECT_EQ(Ms(reader.GetMaxPeakTime()), Ms(LocalNow()));
}

// In fixed intervals the first crossing of the limit is told once per
// interval, with its time.
TEST_F(LimitStatesTest, TheFirstLeqOverTheLimitIsToldOncePerInterval) {
    main.settings.leqBlocks = 480;
    SetLocalNow(Local(10, 7, 59));
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(100.0);
    Run(calc, 1025, 25);  // closes the first interval at 10:08:00.025
    ASSERT_EQ(ArgumentsOf(posts.Take(), kNotifyBlockClosed), (std::vector<intptr_t>{0, 1}));
    EXPECT_EQ(calc.GetLeqHighTime(), 0.0);

    // The interval's Leq grows with its blocks; 100 dB passes 95.05 dB after
    // 31.8 % of the minute.
    platform::TDateTime toldAt = 0.0;
    for (int i = 0; i < 2400 && toldAt == 0.0; ++i) {
        Step(calc, 25, 1200);
        if (posts.Count(kNotifyLeqOverLimit) > 0) {
            toldAt = LocalNow();
        }
    }
    EXPECT_EQ(posts.Count(kNotifyLeqOverLimit), 1);
    EXPECT_NEAR(static_cast<double>(Ms(toldAt) - Ms(Local(10, 8, 0))), 19100.0, 200.0);
    EXPECT_EQ(Ms(calc.GetLeqHighTime()), Ms(toldAt));
    posts.Take();
    Run(calc, 65000, 25);  // past 10:09:20
    const std::vector<Posted> posted = posts.Take();
    EXPECT_EQ(ArgumentsOf(posted, kNotifyBlockClosed), (std::vector<intptr_t>{2}));
    EXPECT_EQ(ArgumentsOf(posted, kNotifyLeqOverLimit), (std::vector<intptr_t>{2}));  // the new interval's
    EXPECT_EQ(Ms(Val(reader.GetBlockData().LeqHighTime)), Ms(toldAt));
    EXPECT_GT(Ms(calc.GetLeqHighTime()), Ms(Local(10, 9, 0)));
}

struct DecayCase {
    int32_t peakSamples;
    bool decays;
};

// A reader taking the peak every cycle sees the held peak of the peak and
// impulse windows fall by 10 log10(e) / 12 dB per 25 ms cycle after a burst;
// the fast and slow windows' holds fall to the current value at once.
TEST_F(LimitStatesTest, ThePeakAndImpulseHoldsDecayAfterABurst) {
    const double stepDb = 10.0 * std::log10(std::exp(1.0)) / 12.0;  // 0.362 dB
    for (const DecayCase c : {DecayCase{1680, true}, DecayCase{2, true}, DecayCase{6000, false}}) {
        SCOPED_TRACE(c.peakSamples);
        main.settings.peakSamples = c.peakSamples;
        TCalcer calc(&posts);
        calc.RunCycle();
        SetLevel(100.0);
        Run(calc, 200, 25);
        SetLevel(kSilence);
        Run(calc, 200, 25);  // every window has emptied
        double previous = PeakLevel();
        for (int i = 0; i < 10; ++i) {
            Step(calc, 25, 1200);
            double p1 = 0, p2 = 0;
            reader.GetPeak(p1, p2);
            if (c.decays) {
                const double level = 20.0 * std::log10(p1) + 120.0;
                EXPECT_NEAR(previous - level, stepDb, 1e-9);
                previous = level;
            } else {
                EXPECT_LT(p1, 1e-6);
            }
        }
    }
}

class CorrectionSumsTest : public LimitStatesTest {
protected:
    struct Rms {
        double a = -1, c = -1, z = -1;
    };
    Rms Value(bool* positive = nullptr) {
        Rms r;
        const bool ok = calc.GetKorrVal(r.a, r.c, r.z);
        if (positive) {
            *positive = ok;
        }
        return r;
    }
    Rms Channel2() {
        Rms r;
        calc.GetKorrVgl(r.a, r.c, r.z);
        return r;
    }
    Rms Stop() {
        Rms r;
        calc.StopGetKorr(r.a, r.c, r.z);
        return r;
    }
    static double Db(double ratio) { return 20.0 * std::log10(ratio); }

    TCalcer calc{&posts};
};

// 250 Hz: A weighting -8.67 dB, C 0.00 dB on the calculation input (-8.63 and
// +0.12 on channel 2), whatever the preset weights; Z is the sine's RMS.
TEST_F(CorrectionSumsTest, TheSumsAreTheWeightedRmsOfAKnownSine) {
    inputAssign.store(3);
    calc.RunCycle();
    SetLevel(100.0, 90.0, 250);
    Run(calc, 500, 25);  // the filters settle
    bool positive = true;
    calc.StartGetKorr();
    Value(&positive);
    EXPECT_FALSE(positive);
    Step(calc, 25, 1200);  // sees the request: starts from 0 with the next cycle
    Value(&positive);
    EXPECT_FALSE(positive);
    Run(calc, 2000, 25);
    const Rms one = Value(&positive);
    EXPECT_TRUE(positive);
    const double rms1 = AmplitudeOf(100.0) / std::sqrt(2.0);
    EXPECT_NEAR(one.z / rms1, 1.0, 1e-4);
    EXPECT_NEAR(Db(one.a / rms1), -8.67, 0.05);
    EXPECT_NEAR(Db(one.c / rms1), 0.00, 0.05);
    const Rms two = Channel2();
    const double rms2 = AmplitudeOf(90.0) / std::sqrt(2.0);
    EXPECT_NEAR(two.z / rms2, 1.0, 1e-4);
    EXPECT_NEAR(Db(two.a / rms2), -8.63, 0.05);
    EXPECT_NEAR(Db(two.c / rms2), 0.12, 0.05);

    // Stopped, the values stay as they were however the input changes.
    const Rms stopped = Stop();
    EXPECT_EQ(stopped.z, one.z);
    SetLevel(60.0, 60.0, 250);
    Run(calc, 500, 25);
    EXPECT_EQ(Value().z, one.z);
    EXPECT_EQ(Channel2().z, two.z);
}

TEST_F(CorrectionSumsTest, AStopBeforeTheNextCycleGivesThePreviousComparison) {
    calc.RunCycle();
    calc.StartGetKorr();
    EXPECT_EQ(Stop().z, 0.0);  // nothing compared yet

    SetLevel(100.0);
    calc.StartGetKorr();
    Run(calc, 1000, 25);
    const Rms first = Stop();
    EXPECT_GT(first.z, 0.0);
    EXPECT_EQ(Channel2().z, 0.0);  // one input only

    SetLevel(80.0);
    calc.StartGetKorr();
    EXPECT_EQ(Stop().z, first.z);
    Step(calc, 25, 1200);

    // A new comparison starts from 0; a reset ends it with what it had.
    calc.StartGetKorr();
    Run(calc, 1000, 25);
    const Rms second = Value();
    EXPECT_NEAR(second.z / (AmplitudeOf(80.0) / std::sqrt(2.0)), 1.0, 1e-4);
    calc.ResetCalculation();
    calc.RunCycle();
    SetLevel(100.0);
    Run(calc, 1000, 25);
    EXPECT_EQ(Value().z, second.z);
}

// The correction wizard reads the sums on the main thread while the
// calculation runs on its own, and the main window reads the time of the
// first Leq over the limit after notification 54.
class LimitStatesConcurrent : public LimitStatesTest {};

TEST_F(LimitStatesConcurrent, CorrectionSumsAndTheLimitTimeAreReadWhileTheThreadRuns) {
    constexpr int kWaitMs = 10000;
    main.settings.leqBlocks = 4800;  // fixed intervals: the reset announces itself with 49
    store.SetMaxLEQ(-1);             // every sound is over the limit
    TCalcer calc(&posts);
    calc.Start();
    ASSERT_TRUE(posts.WaitFor(kNotifyBlockClosed, 1, kWaitMs));
    // The cycle that takes this silence sees the request, so the sums start
    // with the producer's first sample; it is over once the stop is answered.
    calc.StartGetKorr();
    WriteFrames(std::vector<double>(480, 0.0));
    calcStoppedEvent.Reset();
    calc.StopIt();
    ASSERT_TRUE(calcStoppedEvent.Wait(kWaitMs));

    const double amplitude = AmplitudeOf(100.0);
    std::thread producer([&] {
        SineSource sine(1000.0, amplitude);
        for (int piece = 0; piece < 100; ++piece) {
            WriteFrames(sine.Next(480));  // ten whole periods
        }
    });
    double a = 0, c = 0, z = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!posts.WaitFor(kNotifyLeqOverLimit, 1, 1) && std::chrono::steady_clock::now() < deadline) {
        calc.GetKorrVal(a, c, z);
        ASSERT_TRUE(std::isfinite(z));
        calc.GetLeqHighTime();
    }
    producer.join();
    ASSERT_EQ(posts.Count(kNotifyLeqOverLimit), 1);
    EXPECT_EQ(Ms(calc.GetLeqHighTime()), Ms(LocalNow()));
    calc.StopIt();
    ASSERT_TRUE(calcStoppedEvent.Wait(kWaitMs));  // this cycle took every sample written

    EXPECT_TRUE(calc.GetKorrVal(a, c, z));
    EXPECT_NEAR(z / (amplitude / std::sqrt(2.0)), 1.0, 1e-6);
    double sa = 0, sc = 0, sz = 0;
    calc.StopGetKorr(sa, sc, sz);
    EXPECT_EQ(sz, z);
    calc.Stop();
    EXPECT_EQ(posts.Count(kNotifyThreadFailure), 0);
}

}  // namespace

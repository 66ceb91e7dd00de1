// The test signal: the noise table and its low-pass, the level and its ramp
// and menu, the switch of notification 18, and the start and stop of the
// output by interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "audio/test_signal.h"
#include "audio_in_fakes.h"

using namespace audio_in_test;

namespace {

double Rms(const std::vector<double>& v) {
    const double sum = std::accumulate(v.begin(), v.end(), 0.0, [](double s, double x) { return s + x * x; });
    return std::sqrt(sum / static_cast<double>(v.size()));
}

double LargestAbs(const std::vector<double>& v) {
    double m = 0.0;
    for (double x : v) m = std::max(m, std::fabs(x));
    return m;
}

std::vector<double> BuildTable(int32_t length, bool doubling) {
    noiseTable.assign(static_cast<size_t>(length), 0.0);
    MakePinkNoise(doubling);
    return noiseTable;
}

// The section as written down, without the loop warm-up, over a copy.
std::vector<double> PlainSection(const std::vector<double>& x, const uBiQuad::TParam& p, int32_t warmFrom) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    auto step = [&](double in) {
        const double out = p.a0 * in + p.a1 * x1 + p.a2 * x2 - p.b1 * y1 - p.b2 * y2;
        x2 = x1;
        x1 = in;
        y2 = y1;
        y1 = out;
        return out;
    };
    for (size_t i = static_cast<size_t>(warmFrom); i < x.size(); ++i) step(x[i]);
    std::vector<double> out;
    for (double v : x) out.push_back(step(v));
    return out;
}

class TestSignalTest : public AudioInFixture {
protected:
    void TearDown() override {
        testSignalOn.store(false);
        outputGain.store(0.0);
        main.fields.statusMessung.store(0);
        AudioInFixture::TearDown();
    }
};

}  // namespace

TEST(NoiseTable, EveryBuildIsTheSameAndPeaksAtExactlyFullScale) {
    const std::vector<double> first = BuildTable(kNoiseTableLength, false);
    const std::vector<double> second = BuildTable(kNoiseTableLength, false);
    EXPECT_EQ(first, second);
    EXPECT_EQ(LargestAbs(first), 1.0);
    // The level the correction measurements are calibrated against.
    EXPECT_NEAR(Rms(first), 0.2103, 0.00005);
}

TEST(NoiseTable, TheDoubledTableIsTheSameNoiseInEqualPairsLowPassed) {
    const std::vector<double> single = BuildTable(kNoiseTableLength, false);
    const std::vector<double> doubled = BuildTable(kNoiseTableLength96, true);
    // Before its low-pass the doubled table holds the first half of the
    // draws twice each, scaled by the peak of that half.
    const std::vector<double> half(single.begin(), single.begin() + kNoiseTableLength96 / 2);
    const double halfPeak = LargestAbs(half);
    std::vector<double> pairs;
    for (double v : half) pairs.insert(pairs.end(), 2, v / halfPeak);
    uBiQuad::TBiQuad lowPass;
    uBiQuad::TBiQuad::DoBiQuad(pairs.data(), static_cast<int32_t>(pairs.size()) - 1,
                               lowPass.SetBiquad(uBiQuad::kLowPass, 0.25, 1.0, 0.0));
    ASSERT_EQ(pairs.size(), doubled.size());
    for (size_t i = 0; i < pairs.size(); i += 997) ASSERT_NEAR(doubled[i], pairs[i], 1e-12) << i;
}

TEST(BiQuad, TheHalfBandLowPassHasItsTextbookCoefficients) {
    uBiQuad::TBiQuad q;
    const uBiQuad::TParam p = q.SetBiquad(uBiQuad::kLowPass, 0.25, 1.0, 0.0);
    // tan(pi/4) is 0.9999999999999999, so these are not exact.
    EXPECT_NEAR(p.a0, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(p.a1, 2.0 / 3.0, 1e-15);
    EXPECT_NEAR(p.a2, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(p.b1, 0.0, 1e-15);
    EXPECT_NEAR(p.b2, 1.0 / 3.0, 1e-15);
    EXPECT_EQ(q.art, uBiQuad::kLowPass);
    const uBiQuad::TParam kept = q.SetArt(42);
    EXPECT_EQ(kept.a0, p.a0) << "an unknown kind keeps the coefficients";
}

TEST(BiQuad, ShortArraysWarmUpOnWhatTheyHold) {
    uBiQuad::TBiQuad q;
    const uBiQuad::TParam p = q.SetBiquad(uBiQuad::kHighPass, 0.1, 0.7, 0.0);
    for (int32_t n : {10, 11, 200, 401, 1000}) {
        std::vector<double> x(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) x[i] = std::sin(i * 0.37) + 0.1 * i;
        const std::vector<double> expected = n <= 10 ? x : PlainSection(x, p, std::max(0, n - 401));
        uBiQuad::TBiQuad::DoBiQuad(x.data(), n - 1, p);
        EXPECT_EQ(x, expected) << n << " samples";
    }
}

TEST(TestSignalRamp, StepsStayWithinTheRange) {
    struct Case {
        int32_t current, tag, expected;
    };
    for (const Case& c : {Case{-80, 1, -80}, Case{0, 2, 0}, Case{-20, 1, -21}, Case{-20, 2, -19}, Case{-20, 3, -20},
                          Case{-85, 2, -80}}) {
        EXPECT_EQ(RampStep(c.current, c.tag), c.expected) << c.current << " tag " << c.tag;
    }
}

TEST_F(TestSignalTest, SetLevelSetsGainAndLevelAndRepaintsTheBar) {
    SetLevel(-60.0);
    EXPECT_DOUBLE_EQ(outputGain.load(), 0.001);
    EXPECT_EQ(main.fields.OutLevelDB.load(), -60);
    SetLevel(-90.0);  // the correction wizard goes below the ramp
    EXPECT_EQ(main.fields.OutLevelDB.load(), -90);
    EXPECT_EQ(NotificationsOnly(), (std::vector<Message>{{WM_MAIN_NOTIFY, kNotifyVuRefresh, 0},
                                                          {WM_MAIN_NOTIFY, kNotifyVuRefresh, 0}}));
}

TEST_F(TestSignalTest, TheLevelMenuPostsOnlyANewLevel) {
    std::vector<int32_t> levels;
    for (const LevelMenuItem& item : LevelMenuItems()) {
        levels.push_back(item.level);
        EXPECT_EQ(item.caption, QString::number(item.level) + " dB");
    }
    EXPECT_EQ(levels, (std::vector<int32_t>{-60, -50, -40, -30, -20, -10}));
    main.fields.OutLevelDB.store(-30);
    EXPECT_FALSE(N60dB2Click(-30));
    EXPECT_FALSE(N60dB2Click(-81));
    EXPECT_TRUE(N60dB2Click(-20));
    EXPECT_EQ(NotificationsOnly(), (std::vector<Message>{{WM_MAIN_NOTIFY, kNotifyTestSignalLevel, -20}}));
}

TEST_F(TestSignalTest, TheSwitchActsOnlyWhileTheSearchRunsAndAnOutputPlays) {
    EXPECT_FALSE(TestSignalSwitch(1)) << "no search, no wizard";
    EXPECT_FALSE(testSignalOn.load());
    main.fields.statusMessung.store(1);
    EXPECT_TRUE(TestSignalSwitch(1));
    EXPECT_FALSE(testSignalOn.load()) << "no output runs";
    SetOutputRunning(true);
    EXPECT_TRUE(TestSignalSwitch(1));
    EXPECT_TRUE(testSignalOn.load());
    EXPECT_EQ(main.fields.statusMessung.load(), 4);
    EXPECT_TRUE(TestSignalSwitch(0));
    EXPECT_FALSE(testSignalOn.load());
    EXPECT_EQ(main.fields.statusMessung.load(), 1);
}

TEST_F(TestSignalTest, StartWithoutAnOutputOfTheInterfaceStartsNothing) {
    BuildTable(kNoiseTableLength, false);
    wasOut = QStringLiteral("ab");
    for (int32_t mode : {0, 1, 2}) {
        main.fields.IOMode.store(mode);
        main.fields.waveOutID.store(mode == 0 ? -1 : 0);  // a wave output counts only for the wave interface
        main.fields.ASIOOutputID.store(-1);
        testSignalOn.store(true);
        StartPinkNoise();
        EXPECT_FALSE(testSignalOn.load()) << mode;
        EXPECT_FALSE(IsOutputRunning()) << mode;
    }
    EXPECT_TRUE(peers.calls.empty());
    wasOut.clear();
}

TEST_F(TestSignalTest, StopWhileNothingPlaysChangesNothing) {
    main.fields.statusMessung.store(4);
    for (int32_t mode : {0, 1, 2}) {
        main.fields.IOMode.store(mode);
        StopAudioOut();
    }
    EXPECT_EQ(main.fields.statusMessung.load(), 4);
    EXPECT_TRUE(peers.calls.empty());
}

TEST_F(TestSignalTest, FramesCarryGainTimesTableInEveryWidthAndClipAtFullScale) {
    noiseTable = {0.5, -1.0, 1.0, 0.25};
    noisePos.store(0);
    std::vector<uint8_t> out(4 * 2 * 3);
    FillNoiseFrames(out.data(), 4, 3, 1.0);
    auto sample24 = [&](size_t frame, int channel) {
        const uint8_t* p = out.data() + frame * 6 + channel * 3;
        return static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24)) >> 8;
    };
    EXPECT_EQ(sample24(0, 0), 4194304);  // round(0.5 x 8388607), halves to even
    EXPECT_EQ(sample24(1, 1), -8388607);
    EXPECT_EQ(sample24(2, 0), 8388607);
    EXPECT_EQ(noisePos.load(), 0) << "the position wraps after the last slot";
    // A gain beyond full scale saturates instead of wrapping round.
    std::vector<uint8_t> wide(4 * 2 * 2);
    FillNoiseFrames(wide.data(), 4, 2, 4.0);
    int16_t s[8];
    std::memcpy(s, wide.data(), sizeof s);
    EXPECT_EQ(s[0], 32767);
    EXPECT_EQ(s[2], -32768);
    EXPECT_EQ(s[4], 32767);
    EXPECT_EQ(s[6], 32767);
    EXPECT_EQ(OutputSample(-1.0, 2147483647.0), -2147483647);
    EXPECT_EQ(OutputSample(2.0, 2147483647.0), 2147483647);
}

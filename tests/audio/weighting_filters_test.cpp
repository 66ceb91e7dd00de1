#include "audio/weighting_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

enum class Path { InputA, InputC, Channel2A, Channel2C };

// Runs samples through one path of a fresh filter.
std::vector<double> Filtered(Path path, std::vector<double> samples) {
    TdBFilter filter;
    const int32_t n = static_cast<int32_t>(samples.size());
    switch (path) {
    case Path::InputA: filter.DoACFilterNew(samples.data(), nullptr, n); return samples;
    case Path::InputC: {
        std::vector<double> c(samples.size());
        filter.DoACFilterNew(samples.data(), c.data(), n);
        return c;
    }
    case Path::Channel2A: filter.DoAFilterDouble(samples.data(), n); return samples;
    case Path::Channel2C: filter.DoCFilterDouble(samples.data(), n); return samples;
    }
    return {};
}

std::vector<double> Sine(double frequency, double amplitude, size_t count) {
    std::vector<double> out(count);
    for (size_t i = 0; i < count; ++i) {
        out[i] = amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / kRate);
    }
    return out;
}

double Rms(const std::vector<double>& v, size_t from, size_t count) {
    double sum = 0.0;
    for (size_t i = from; i < from + count; ++i) {
        sum += v[i] * v[i];
    }
    return std::sqrt(sum / static_cast<double>(count));
}

// The steady-state gain in dB: after one second of settling, over two
// seconds, which hold a whole number of periods of every table frequency.
double GainDb(Path path, double frequency) {
    const size_t settle = 48000, measure = 96000;
    const std::vector<double> in = Sine(frequency, 1.0, settle + measure);
    const std::vector<double> out = Filtered(path, in);
    return 20.0 * std::log10(Rms(out, settle, measure) / Rms(in, settle, measure));
}

struct ResponseRow {
    Path path;
    const char* name;
    double db[10];
};

constexpr double kFrequencies[10] = {31.5, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

const ResponseRow kResponses[] = {
    {Path::InputA, "input A", {-39.53, -26.22, -16.19, -8.67, -3.25, 0.00, 1.21, 0.98, -1.08, -6.73}},
    {Path::InputC, "input C", {-3.03, -0.82, -0.17, 0.00, 0.03, 0.00, -0.17, -0.82, -2.99, -8.66}},
    {Path::Channel2A, "channel 2 A", {-39.00, -26.31, -16.30, -8.63, -3.12, 0.13, 1.28, 0.93, -1.14, -6.62}},
    {Path::Channel2C, "channel 2 C", {-2.61, -0.70, -0.05, 0.12, 0.16, 0.13, -0.03, -0.66, -2.82, -9.81}},
};

TEST(WeightingFilters, SteadySinesMatchTheResponseTable) {
    for (const ResponseRow& row : kResponses) {
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(GainDb(row.path, kFrequencies[i]), row.db[i], 0.02)
                << row.name << " at " << kFrequencies[i] << " Hz";
        }
    }
}

// The nominal A and C weightings of IEC 61672-1 in their analytic form,
// normalised to 0 dB at 1 kHz.
double NominalDb(bool aWeighting, double f) {
    constexpr double f1 = 20.598997, f2 = 107.65265, f3 = 737.86223, f4 = 12194.217;
    auto raw = [&](double x) {
        const double x2 = x * x;
        const double c = f4 * f4 * x2 / ((x2 + f1 * f1) * (x2 + f4 * f4));
        return aWeighting ? c * x2 / std::sqrt((x2 + f2 * f2) * (x2 + f3 * f3)) : c;
    };
    return 20.0 * std::log10(raw(f) / raw(1000.0));
}

// Class 1 acceptance limits of IEC 61672-1:2013 around the nominal response
// at the one-third-octave frequencies (exact base-ten midbands).
struct ClassOneLimit {
    int band;  // midband 1000 * 10^(band / 10) Hz
    double above;
    double below;  // infinity: no lower limit
};

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

const ClassOneLimit kClassOne[] = {
    {-20, 3.0, kNoLimit}, {-19, 2.5, kNoLimit}, {-18, 2.0, 4.0}, {-17, 2.0, 2.0}, {-16, 2.0, 1.5}, {-15, 1.5, 1.5},
    {-14, 1.0, 1.0},      {-13, 1.0, 1.0},      {-12, 1.0, 1.0}, {-11, 1.0, 1.0}, {-10, 1.0, 1.0}, {-9, 1.0, 1.0},
    {-8, 1.0, 1.0},       {-7, 1.0, 1.0},       {-6, 1.0, 1.0},  {-5, 1.0, 1.0},  {-4, 1.0, 1.0},  {-3, 1.0, 1.0},
    {-2, 1.0, 1.0},       {-1, 1.0, 1.0},       {0, 0.7, 0.7},   {1, 1.0, 1.0},   {2, 1.0, 1.0},   {3, 1.0, 1.0},
    {4, 1.0, 1.0},        {5, 1.0, 1.0},        {6, 1.0, 1.0},   {7, 1.5, 1.5},   {8, 1.5, 2.0},   {9, 1.5, 2.5},
    {10, 2.0, 3.0},       {11, 2.0, 5.0},       {12, 2.5, 16.0}, {13, 3.0, kNoLimit},
};

// The responses a sound level meter of class 1 must have, from 10 Hz to
// 20 kHz, on the measuring input's A and C paths.
TEST(WeightingFilters, TheMeasuringInputMeetsTheClassOneLimitsFrom10HzTo20kHz) {
    const struct {
        Path path;
        bool aWeighting;
        const char* name;
    } paths[] = {{Path::InputA, true, "input A"}, {Path::InputC, false, "input C"}};
    for (const auto& p : paths) {
        for (const ClassOneLimit& limit : kClassOne) {
            const double f = 1000.0 * std::pow(10.0, limit.band / 10.0);
            const double deviation = GainDb(p.path, f) - NominalDb(p.aWeighting, f);
            EXPECT_LE(deviation, limit.above) << p.name << " at " << f << " Hz";
            EXPECT_GE(deviation, -limit.below) << p.name << " at " << f << " Hz";
        }
    }
}

// Filter states carry over, so how the signal is cut into buffers must not
// change a single bit of the output.
TEST(WeightingFilters, ManySmallBuffersGiveTheSameBitsAsOne) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<double> input = Sine(1000.0, 1.0, 20000);
    for (double& v : input) {
        v += noise(random);
    }

    TdBFilter whole;
    std::vector<double> wholeA = input, wholeC(input.size()), whole2A = input, whole2C = input;
    const int32_t n = static_cast<int32_t>(input.size());
    whole.DoACFilterNew(wholeA.data(), wholeC.data(), n);
    whole.DoAFilterDouble(whole2A.data(), n);
    whole.DoCFilterDouble(whole2C.data(), n);

    TdBFilter pieces;
    std::vector<double> pieceA = input, pieceC(input.size()), piece2A = input, piece2C = input;
    std::uniform_int_distribution<int32_t> length(0, 700);
    for (int32_t at = 0; at < n;) {
        const int32_t len = std::min(length(random), n - at);
        pieces.DoACFilterNew(pieceA.data() + at, pieceC.data() + at, len);
        pieces.DoAFilterDouble(piece2A.data() + at, len);
        pieces.DoCFilterDouble(piece2C.data() + at, len);
        at += len;
    }
    EXPECT_EQ(pieceA, wholeA);
    EXPECT_EQ(pieceC, wholeC);
    EXPECT_EQ(piece2A, whole2A);
    EXPECT_EQ(piece2C, whole2C);
}

// The cascade is sections 1 and 3, the C signal taken there 1.94 dB down,
// then section 2 for A.
TEST(WeightingFilters, CascadeIsSectionsOneThreeThenTwo) {
    const std::vector<double> input = Sine(440.0, 0.8, 5000);
    std::vector<double> a = input, c(input.size());
    TdBFilter filter;
    filter.DoACFilterNew(a.data(), c.data(), static_cast<int32_t>(a.size()));

    std::vector<double> bySection = input;
    const int32_t n = static_cast<int32_t>(input.size());
    TBiQuad::DoBiQuad(bySection.data(), n, TBiQuad::InitAFilter(1));
    TBiQuad::DoBiQuad(bySection.data(), n, TBiQuad::InitAFilter(3));
    std::vector<double> cBySection = bySection;
    for (double& v : cBySection) {
        v *= std::pow(10.0, -0.097);
    }
    TBiQuad::DoBiQuad(bySection.data(), n, TBiQuad::InitAFilter(2));

    EXPECT_EQ(a, bySection);
    EXPECT_EQ(c, cBySection);
}

TEST(WeightingFilters, DoBiQuadReturnsTheStateToContinueFrom) {
    const std::vector<double> input = Sine(100.0, 1.0, 300);
    std::vector<double> whole = input;
    TBiQuad::DoBiQuad(whole.data(), 300, TBiQuad::InitAFilter(2));

    std::vector<double> split = input;
    const TParamFull half = TBiQuad::DoBiQuad(split.data(), 150, TBiQuad::InitAFilter(2));
    EXPECT_EQ(half.da0, split[149]);
    EXPECT_EQ(half.db1, split[149]);
    EXPECT_EQ(half.da1, input[149]);
    EXPECT_EQ(half.da2, input[148]);
    TBiQuad::DoBiQuad(split.data() + 150, 150, half);
    EXPECT_EQ(split, whole);
}

TEST(WeightingFilters, DirectCurrentDecaysExceptThroughTheChannel2AFilter) {
    const std::vector<double> dc(10 * 48000, 1.0);
    EXPECT_LT(std::fabs(Filtered(Path::InputA, dc).back()), 1e-6);
    EXPECT_LT(std::fabs(Filtered(Path::InputC, dc).back()), 1e-6);
    EXPECT_LT(std::fabs(Filtered(Path::Channel2C, dc).back()), 1e-6);
    const double passed = Filtered(Path::Channel2A, dc).back();
    EXPECT_NEAR(20.0 * std::log10(std::fabs(passed)), -49.0, 1.0);
}

TEST(WeightingFilters, WithoutACBufferTheAOutputAndAllStatesStillAdvance) {
    const std::vector<double> first = Sine(2000.0, 0.5, 1000), second = Sine(300.0, 0.5, 1000);
    TdBFilter withC, withoutC;
    std::vector<double> a1 = first, c1(first.size()), a2 = first;
    withC.DoACFilterNew(a1.data(), c1.data(), 1000);
    withoutC.DoACFilterNew(a2.data(), nullptr, 1000);
    EXPECT_EQ(a1, a2);

    std::vector<double> b1 = second, d1(second.size()), b2 = second, d2(second.size());
    withC.DoACFilterNew(b1.data(), d1.data(), 1000);
    withoutC.DoACFilterNew(b2.data(), d2.data(), 1000);
    EXPECT_EQ(b1, b2);
    EXPECT_EQ(d1, d2);
}

TEST(WeightingFilters, RefusesWhatIsNoSectionOrNoBuffer) {
    EXPECT_THROW(TBiQuad::InitAFilter(0), std::invalid_argument);
    EXPECT_THROW(TBiQuad::InitAFilter(4), std::invalid_argument);
    double sample = 1.0;
    EXPECT_THROW(TBiQuad::DoBiQuad(&sample, -1, TBiQuad::InitAFilter(1)), std::invalid_argument);
    EXPECT_THROW(TBiQuad::DoBiQuad(nullptr, 1, TBiQuad::InitAFilter(1)), std::invalid_argument);

    TdBFilter filter;
    EXPECT_THROW(filter.DoACFilterNew(nullptr, nullptr, 4), std::invalid_argument);
    EXPECT_THROW(filter.DoAFilterDouble(&sample, -2), std::invalid_argument);
    EXPECT_THROW(filter.DoCFilterDouble(nullptr, 1), std::invalid_argument);
    // A refused call leaves the states alone: the next sample sees a filter at rest.
    filter.DoAFilterDouble(nullptr, 0);
    std::vector<double> impulse = {1.0}, fresh = {1.0};
    filter.DoAFilterDouble(impulse.data(), 1);
    TdBFilter().DoAFilterDouble(fresh.data(), 1);
    EXPECT_EQ(impulse, fresh);
}

}  // namespace

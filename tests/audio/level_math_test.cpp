#include "audio/level_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

TEST(LevelMath, QTakesLog10Of2InSinglePrecision) {
    const double q = ComputeQFactor();
    EXPECT_EQ(q, 3.0 / static_cast<double>(0.30103001f));
    EXPECT_NEAR(q, 9.96578381, 1e-8);
    EXPECT_NE(q, 3.0 / std::log10(2.0));
}

TEST(LevelMath, LevelsAndEnergiesConvertBothWays) {
    const double q = ComputeQFactor();
    for (double level : {-20.0, 0.0, 3.0, 96.99, 140.0}) {
        EXPECT_NEAR(LevelOfEnergy(EnergyOfLevel(level, q), q), level, 1e-11);
    }
    // Twice the energy is 3 dB more, up to the single-precision log10(2).
    const double doubled = LevelOfEnergy(2.0 * EnergyOfLevel(90.0, q), q);
    EXPECT_NEAR(doubled, 90.0 + q * std::log10(2.0), 1e-11);
    EXPECT_NEAR(doubled, 93.0, 2e-7);
}

TEST(LevelMath, NothingToShowIsZeroDecibelsNeverNaNOrInfinity) {
    const double q = ComputeQFactor();
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double energy : {0.0, -1.0, nan, inf, -inf}) {
        EXPECT_EQ(LevelOfEnergy(energy, q), 0.0) << energy;
    }
    for (double sum : {0.0, -4.0, nan, inf}) {
        EXPECT_EQ(LevelOfPeakSum(sum, 6000, 120.0), 0.0) << sum;
    }
    EXPECT_EQ(LevelOfPeakSum(3000.0, 0, 120.0), 0.0);
    EXPECT_EQ(LevelOfPeakSum(3000.0, -5, 120.0), 0.0);
    EXPECT_EQ(LevelOfPeakSum(1.0, 1, nan), 0.0);
}

TEST(LevelMath, PeakSumIsTheRmsOfTheWindowInDecibels) {
    // A full-scale sine fills a window of N samples with N / 2.
    EXPECT_NEAR(LevelOfPeakSum(3000.0, 6000, 120.0), 120.0 - 10.0 * std::log10(2.0), 1e-12);
    EXPECT_NEAR(LevelOfPeakSum(2.0 * 0.01, 2, 100.0), 80.0, 1e-12);
}

// The fast power must agree with the energy formula to the last few bits over
// the whole range a square can take, across table slots and exponents. (Below
// 1e-300, levels under -3000 dB, the exponent factor itself turns denormal.)
TEST(LevelMath, FastPowerMatchesTheEnergyFormula) {
    const double q = ComputeQFactor();
    const ExchangeRatePower power(q);
    // The exponent 10 / q as a double is the one the energy formula uses too.
    const long double p = power.Exponent();
    EXPECT_EQ(power.Exponent(), 10.0 / q);
    double worst = 0.0;
    auto check = [&](double s) {
        const long double exact = std::exp(p * std::log(static_cast<long double>(s)));
        const double relative = static_cast<double>(std::fabs((power(s) - exact) / exact));
        worst = std::max(worst, relative);
    };
    for (double s = 1e-300; s < 1e15; s *= 1.0009765625) {
        check(s);
    }
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-990, 50);
    for (int i = 0; i < 200000; ++i) {
        check(std::ldexp(mantissa(random), exponent(random)));
    }
    EXPECT_LT(worst, 8.0 * DBL_EPSILON);
    // Silence and denormal squares carry no energy.
    EXPECT_EQ(power(0.0), 0.0);
    EXPECT_EQ(power(DBL_MIN / 4), 0.0);

    // The same as the formula written with logarithms and a calibration offset.
    const double s = 0.005;
    const double viaFormula = EnergyOfLevel(10.0 * std::log10(s) + 120.0, q);
    EXPECT_NEAR(power(s) * EnergyOfLevel(120.0, q) / viaFormula, 1.0, 1e-14);
}

}  // namespace

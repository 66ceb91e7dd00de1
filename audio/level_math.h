#pragma once
// The level scale of the engine: an exchange rate of 3 dB. A level L has the
// energy E(L) = 10^(L / q) and an energy E the level q * log10(E), where
// q = 3 / log10(2) with log10(2) taken in single precision (0.30103001), so
// q = 9.96578381. Everything else is double precision.
#include <array>
#include <bit>
#include <cstdint>

// q as defined above.
double ComputeQFactor();

// E(L) = 10^(L / q).
double EnergyOfLevel(double level, double q);

// q * log10(energy); 0 for an energy that is not above 0 or not finite, so a
// level never comes out as NaN or infinity.
double LevelOfEnergy(double energy, double q);

// The level of a sum of squares over a peak window of windowSamples samples:
// 20 * log10(sqrt(sum / windowSamples)) + offset; 0 when the sum or the
// window is not above 0 or the result would not be finite.
double LevelOfPeakSum(double sum, int32_t windowSamples, double offset);

// A square's contribution to an energy: E(10 * log10(s) + offset) equals
// s^(10 / q) * 10^(offset / q). The first factor is needed for every sample
// of every level, so it is computed here from tables and a short polynomial
// instead of a general power function: the exponent and the leading mantissa
// bits of s pick two table factors, and the polynomial covers the remaining
// relative step of at most 2^-9. The relative error stays within a few units
// of the last place of a double.
class ExchangeRatePower {
public:
    explicit ExchangeRatePower(double q);

    // s^(10 / q) for a finite s >= DBL_MIN; 0 for 0 and for denormals, which
    // is what they give with flush-to-zero on. Not for negative s.
    double operator()(double s) const {
        const uint64_t bits = BitsOf(s);
        const uint32_t exponent = static_cast<uint32_t>(bits >> 52);
        const uint32_t slot = static_cast<uint32_t>(bits >> (52 - kMantissaBits)) & (kSlots - 1);
        const double mantissa = DoubleOf((bits & kMantissaMask) | kExponentOfOne);
        const Slot& m = slots_[slot];
        const double u = mantissa * m.reciprocal - 1.0;
        const double series = 1.0 + u * (k1_ + u * (k2_ + u * (k3_ + u * k4_)));
        return (exponentFactor_[exponent] * m.factor) * series;
    }

    // 10 / q.
    double Exponent() const { return p_; }

private:
    static constexpr int kMantissaBits = 8;
    static constexpr uint32_t kSlots = 1u << kMantissaBits;
    static constexpr uint64_t kMantissaMask = (uint64_t{1} << 52) - 1;
    static constexpr uint64_t kExponentOfOne = uint64_t{1023} << 52;

    struct Slot {
        double reciprocal;  // 1 / (centre of the slot), rounded
        double factor;      // reciprocal^(-p), from the rounded reciprocal
    };

    static uint64_t BitsOf(double v) { return std::bit_cast<uint64_t>(v); }
    static double DoubleOf(uint64_t bits) { return std::bit_cast<double>(bits); }

    double p_;
    double k1_, k2_, k3_, k4_;                // binomial series of (1 + u)^p
    std::array<double, 2048> exponentFactor_;  // 2^(p * (e - 1023)) per biased exponent
    std::array<Slot, kSlots> slots_;
};

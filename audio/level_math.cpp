#include "audio/level_math.h"

#include <cmath>
#include <limits>

double ComputeQFactor() {
    const float log10Of2 = std::log10(2.0f);
    return 3.0 / static_cast<double>(log10Of2);
}

double EnergyOfLevel(double level, double q) { return std::pow(10.0, level / q); }

double LevelOfEnergy(double energy, double q) {
    if (!(energy > 0.0) || !std::isfinite(energy)) {
        return 0.0;
    }
    const double level = q * std::log10(energy);
    return std::isfinite(level) ? level : 0.0;
}

double LevelOfPeakSum(double sum, int32_t windowSamples, double offset) {
    if (!(sum > 0.0) || windowSamples <= 0 || !std::isfinite(sum)) {
        return 0.0;
    }
    const double level = 20.0 * std::log10(std::sqrt(sum / windowSamples)) + offset;
    return std::isfinite(level) ? level : 0.0;
}

ExchangeRatePower::ExchangeRatePower(double q) : p_(10.0 / q) {
    // The tables are built in extended precision so that their rounding adds
    // no more than one unit of the last place.
    const long double p = p_;
    k1_ = p_;
    k2_ = static_cast<double>(p * (p - 1) / 2);
    k3_ = static_cast<double>(p * (p - 1) * (p - 2) / 6);
    k4_ = static_cast<double>(p * (p - 1) * (p - 2) * (p - 3) / 24);

    exponentFactor_.fill(0.0);
    for (int e = 1; e < 2047; ++e) {
        exponentFactor_[e] = static_cast<double>(std::exp2(p * static_cast<long double>(e - 1023)));
    }
    exponentFactor_[2047] = std::numeric_limits<double>::infinity();

    for (uint32_t i = 0; i < kSlots; ++i) {
        const long double centre = 1.0L + (static_cast<long double>(i) + 0.5L) / kSlots;
        const double reciprocal = static_cast<double>(1.0L / centre);
        slots_[i].reciprocal = reciprocal;
        slots_[i].factor = static_cast<double>(std::pow(static_cast<long double>(reciprocal), -p));
    }
}

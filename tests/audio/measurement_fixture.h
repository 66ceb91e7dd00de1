#pragma once
// Measurements faster than real time: the sample rings hold a periodic 1 kHz
// sine once, and each cycle only moves the write position on and the frozen
// corrected clock with it, so hours of input cost only the engine's own work.
// Every quantity is unweighted, which makes the levels exact: a sine of
// amplitude a reads 120 + 10 log10(a^2 / 2) dB.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine_fixture.h"
#include "store/measurement_store.h"

namespace engine_test {

inline constexpr int32_t kSamplesPerMs = 48;
inline constexpr int32_t kBlock = 6000;
inline constexpr double kSilence = -1000.0;

// The amplitude of a sine that reads level dB with the 120 dB calibration.
inline double AmplitudeOf(double level) {
    return level <= kSilence ? 0.0 : std::sqrt(2.0) * std::pow(10.0, (level - 120.0) / 20.0);
}

// A local wall time on the test day (summer time in Berlin, UTC + 2), and any
// time on the straight millisecond line.
inline platform::TDateTime Local(int h, int m, int s, int ms = 0) {
    return platform::EncodeDateTime(2024, 5, 6, h, m, s, ms);
}
inline int64_t Ms(platform::TDateTime t) { return platform::DateTimeToMs(t); }

// The records are packed: their fields are read by value.
template <typename T>
T Val(T value) {
    return value;
}

class MeasurementFixture : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        main.settings.filter[0] = main.settings.filter[1] = main.settings.filter[2] = 4;
        store.SetNKS(1);  // thresholds lie half a display step (0.05 dB) above the levels
        store.SetWarnLEQ(90);
        store.SetMaxLEQ(95);
        store.SetWarnLeqK(100);
        store.SetMaxLeqK(105);
        store.SetWarnPeak(110);
        store.SetMaxPeak(115);
        defaultDaten.store(&store);
        SetLocalNow(Local(10, 7, 12, 400));
        SetLevel(kSilence);
    }
    void TearDown() override {
        defaultDaten.store(nullptr);
        EngineFixture::TearDown();
    }

    void SetLocalNow(platform::TDateTime local) { utcNow.store(platform::LocalToUtcDateTime(local)); }
    platform::TDateTime LocalNow() const { return platform::UtcToLocalDateTime(utcNow.load()); }

    // Both rings hold a sine (1 kHz unless said) whose phase follows the slot,
    // so a ring filled anew continues the wave seamlessly; the period must
    // divide the 720000 slots.
    void SetLevel(double level1, double level2 = kSilence, int32_t frequency = 1000) {
        const double a1 = AmplitudeOf(level1);
        const double a2 = AmplitudeOf(level2);
        const int32_t period = 48000 / frequency;
        ASSERT_EQ(kSampleRingSize % period, 0);
        for (int32_t i = 0; i < kSampleRingSize; ++i) {
            const double s = std::sin(2.0 * std::numbers::pi * (i % period) / period);
            sampleRing1[i] = a1 * s;
            sampleRing2[i] = a2 * s;
        }
    }

    // One cycle: the clock moves ms on, samples new frames are in the rings.
    void Step(TCalcer& calc, int64_t ms, int64_t samples) {
        utcNow.store(platform::MsToDateTime(Ms(utcNow.load()) + ms));
        ringWritePos.Publish(static_cast<int32_t>(samples));
        calc.RunCycle();
    }

    // Real-time input for a while, in cycles of cycleMs.
    void Run(TCalcer& calc, int64_t ms, int64_t cycleMs = 1000) {
        for (int64_t done = 0; done < ms; done += cycleMs) {
            const int64_t step = std::min(cycleMs, ms - done);
            Step(calc, step, step * kSamplesPerMs);
        }
    }

    // The clock runs on while no input arrives.
    void RunWithoutInput(TCalcer& calc, int64_t ms, int64_t cycleMs = 1000) {
        for (int64_t done = 0; done < ms; done += cycleMs) {
            Step(calc, std::min(cycleMs, ms - done), 0);
        }
    }

    std::vector<intptr_t> ArgumentsOf(const std::vector<Posted>& posted, uintptr_t code) {
        std::vector<intptr_t> out;
        for (const Posted& p : posted) {
            if (p.code == code) {
                out.push_back(p.argument);
            }
        }
        return out;
    }

    double LeqFactor() {
        double leq = 0, factor = 0;
        reader.GetLeq(leq, factor);
        return factor;
    }

    TDaten store;
};

}  // namespace engine_test

#pragma once
// The records a measurement of the simulated tone must hold, with the offset
// that makes the tone read 94 dB, one-second records and the Leq in
// one-minute blocks (the measurement tests' set-up).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/date_time.h"
#include "store/measurement_store.h"

namespace test_support {

inline constexpr double kOneSecond = 1.0 / 86400.0;
inline constexpr double kToneLevel = 94.0;

// The minute a local time lies in, counted from the day count's zero.
inline double MinuteOf(platform::TDateTime t) { return std::floor(t * 1440.0 + 1e-6); }

// Ids consecutive, each record on a whole second and a second after the one
// before, the short-term Leq at the tone once its window of leqKSeconds is
// full. In fixed intervals a record's Leq is the energy of its interval so
// far over the whole interval: within one minute it grows by a 60th of the
// tone's energy each second (to within the one 125 ms block a record may end
// before or after).
// A record closes on the clock, with the audio the calculation has taken by
// then: one 125 ms block either way, and on a loaded machine a few more
// that the input hands over late (they count in the next records).
inline constexpr double kLateAudioAllowanceSeconds = 0.6;

inline ::testing::AssertionResult RecordsOfTheTone(const TDaten& file, double leqKSeconds) {
    const int32_t count = file.GetWerteAnzahl();
    const platform::TDateTime start = file.GetStartTime();
    const int32_t firstId = count > 0 ? file.GetWert(0).id : 0;
    for (int32_t i = 0; i < count; ++i) {
        const TSaveIT6 v = file.GetWert(i);
        if (v.id != firstId + i) return ::testing::AssertionFailure() << "record " << i << " has id " << v.id;
        if (v.TimeStamp - start > (leqKSeconds + 1.0) * kOneSecond && std::abs(v.LeqK - kToneLevel) > 0.1)
            return ::testing::AssertionFailure() << "record " << i << " has the short-term Leq " << v.LeqK;
        if (i + 1 == count) continue;
        const double seconds = v.TimeStamp / kOneSecond;
        if (std::abs(seconds - std::round(seconds)) > 0.002)
            return ::testing::AssertionFailure() << "record " << i << " is not on a whole second";
        if (std::abs(file.GetWert(i + 1).TimeStamp - v.TimeStamp - kOneSecond) > kOneSecond / 1000.0)
            return ::testing::AssertionFailure() << "records " << i << " and " << i + 1 << " are not a second apart";
    }
    const double toneEnergy = std::pow(10.0, kToneLevel / 10.0);
    for (int32_t first = 0, last = 0; first < count - 1; first = last + 1) {
        const double minute = MinuteOf(file.GetWert(first).TimeStamp - kOneSecond / 2);
        last = first;
        while (last + 2 < count && MinuteOf(file.GetWert(last + 1).TimeStamp - kOneSecond / 2) == minute) ++last;
        const double span = (file.GetWert(last).TimeStamp - file.GetWert(first).TimeStamp) / kOneSecond;
        if (span < 4.0) continue;
        const double grown =
            std::pow(10.0, file.GetWert(last).leq / 10.0) - std::pow(10.0, file.GetWert(first).leq / 10.0);
        if (std::abs(grown / (toneEnergy / 60.0) - span) > kLateAudioAllowanceSeconds)
            return ::testing::AssertionFailure() << "the Leq of records " << first << " to " << last << " grew by "
                                                 << grown / (toneEnergy / 60.0) << " seconds of the tone over "
                                                 << span << " s";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support

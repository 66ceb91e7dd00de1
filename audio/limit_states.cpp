// What the calculation makes of its published values each cycle: the
// warning and limit states of the Leq, the short-term Leq and the peak, the
// highest values with their times, and the correction sums the correction
// wizard compares.
//
// Thresholds live on the scales of the compared values, so no level is taken
// of a value per cycle: Leq thresholds are energies E(dB), peak thresholds
// sums of squares over the peak window. A threshold of 0 (a level at or
// below 0 dB) is exceeded by every positive value; an energy of 0 exceeds
// nothing. Every comparison is strictly greater-than.
#include <cmath>
#include <exception>
#include <mutex>

#include "audio/calculation_thread.h"
#include "audio/level_math.h"
#include "audio/level_results.h"
#include "store/measurement_store.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

// Without a peak window the thresholds are amplitudes squared near full scale.
constexpr double kPeakLimitWithoutWindow = 0.9;
constexpr double kPeakWarnWithoutWindow = 0.8;

constexpr intptr_t kLeqOverLimitArgument = 2;

// A stored time below this is no time: the field is unset.
constexpr double kUnsetTime = 10.0;

using ValueGuard = std::lock_guard<platform::CriticalSection>;

std::optional<double> ReadLevel(const TDaten& store, bool limit, int32_t quantity) {
    try {
        const double level = limit ? store.GetRealLimit(quantity) : store.GetRealWarn(quantity);
        if (std::isfinite(level)) {
            return level;
        }
    } catch (const std::exception&) {
        // A level the store cannot give leaves its threshold as it was.
    }
    return std::nullopt;
}

void SetEnergyThreshold(const std::optional<double>& levelDb, double q, double& threshold) {
    if (levelDb) {
        threshold = *levelDb > 0.0 ? EnergyOfLevel(*levelDb, q) : 0.0;
    }
}

// The calibration maps full scale (amplitude 1.0) to offset dB, so a level
// at or above the full-scale level becomes the full-scale sum N.
void SetPeakThreshold(const std::optional<double>& levelDb, double offset, int32_t windowSamples, double& threshold) {
    if (levelDb) {
        const double belowFullScale = *levelDb - offset;
        threshold = belowFullScale < 0.0 ? std::pow(10.0, belowFullScale / 10.0) * windowSamples : windowSamples;
    }
}

int32_t LimitState(double value, double warn, double limit) {
    int32_t state = 0;
    if (value > warn) {
        state = 1;
    }
    // Independent of the warning level: above the limit is 2 even when the
    // warning level lies higher.
    if (value > limit) {
        state = 2;
    }
    return state;
}

constexpr NotifyCode kStateCodes[3] = {kNotifyLeqState, kNotifyLeqKState, kNotifyPeakState};

double Squares(const double* samples, int32_t count, double sum) {
    for (int32_t i = 0; i < count; ++i) {
        sum += samples[i] * samples[i];
    }
    return sum;
}

double RmsOf(double sum, int64_t count) { return count < 1 ? 0.0 : std::sqrt(sum / static_cast<double>(count)); }

}  // namespace

// --- thresholds ----------------------------------------------------------------

void TCalcer::ReadStoreLevels(Setup& setup) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) {
        return;
    }
    setup.haveStore = true;
    for (int32_t quantity : {kQuantityLeq, kQuantityLeqK, kQuantityPeak}) {
        setup.limitDb[quantity] = ReadLevel(*store, true, quantity);
        setup.warnDb[quantity] = ReadLevel(*store, false, quantity);
    }
    if (setup.peakSamples >= 1) {
        setup.peakOffset = mainWindowServices()->GetKorr(kQuantityPeak);
    }
}

void TCalcer::SetThresholds(const Setup& setup) {
    if (!setup.haveStore) {
        return;
    }
    const double q = qFactor.load(std::memory_order_relaxed);
    SetEnergyThreshold(setup.limitDb[kQuantityLeq], q, leqLimit);
    SetEnergyThreshold(setup.warnDb[kQuantityLeq], q, leqWarn);
    SetEnergyThreshold(setup.limitDb[kQuantityLeqK], q, leqKLimit);
    SetEnergyThreshold(setup.warnDb[kQuantityLeqK], q, leqKWarn);
    const int32_t n = peakWindowSamples.load(std::memory_order_relaxed);
    if (n < 1) {
        peakLimit = kPeakLimitWithoutWindow;
        peakWarn = kPeakWarnWithoutWindow;
        return;
    }
    calOffset[kQuantityPeak].store(setup.peakOffset, std::memory_order_relaxed);
    SetPeakThreshold(setup.limitDb[kQuantityPeak], setup.peakOffset, n, peakLimit);
    SetPeakThreshold(setup.warnDb[kQuantityPeak], setup.peakOffset, n, peakWarn);
}

// --- maxima and states -----------------------------------------------------------

void TCalcer::UpdateMaxima(platform::TDateTime now, CycleEvents& events) {
    if (peakHold1 > topPeak) {
        topPeak = peakHold1;
        topPeakTime = now;
        events.Hold(kNotifyNewPeakMax, 0, false);
    }
    if (curLeqK1 > topLeqK) {
        topLeqK = curLeqK1;
        topLeqKTime = now;
    }
    if (curLeq > topLeq) {
        topLeq = curLeq;
        topLeqTime = now;
        events.newTopLeq = true;
    }
    if (curLeq > Saveblock.leq) {
        Saveblock.leq = curLeq;
        if (Saveblock.LeqHighTime < kUnsetTime && curLeq > leqLimit) {
            Saveblock.LeqHighTime = now;
            leqHighTime_.store(now, std::memory_order_relaxed);
            events.Hold(kNotifyLeqOverLimit, kLeqOverLimitArgument, true);
        }
    }
    if (curLeqK1 > Saveblock.leqK) {
        Saveblock.leqK = curLeqK1;
        Saveblock.LeqKHighTime = now;
    }
    // The cycle's own largest window sum, without hold and decay.
    if (peakMax1 > Saveblock.dBCMax) {
        Saveblock.dBCMax = peakMax1;
        Saveblock.PeakHighTime = now;
        blockPeak = peakMax1;
        blockPeakTime = now;
    }
}

// No hysteresis and no minimum duration: every crossing is told.
void TCalcer::UpdateLimitStates(CycleEvents& events) {
    UpdateLimitState(kQuantityLeq, curLeq, leqWarn, leqLimit, events);
    UpdateLimitState(kQuantityLeqK, curLeqK1, leqKWarn, leqKLimit, events);
    UpdateLimitState(kQuantityPeak, peakHold1, peakWarn, peakLimit, events);
}

void TCalcer::UpdateLimitState(int32_t quantity, double value, double warn, double limit, CycleEvents& events) {
    const int32_t state = LimitState(value, warn, limit);
    if (state != rememberedStates_[quantity]) {
        events.Hold(kStateCodes[quantity], state, true);
        rememberedStates_[quantity] = state;
    }
}

platform::TDateTime TCalcer::GetLeqHighTime() const { return leqHighTime_.load(std::memory_order_relaxed); }

// --- correction sums -------------------------------------------------------------

// The A and C sums always use the A and C filters, whatever the preset
// weights. Sums are formed sample by sample in input order, so they do not
// depend on how the input is cut into cycles.
void TCalcer::AccumulateCorrectionSums(int32_t count) {
    korrLA = Squares(weightedA1_.data(), count, korrLA);
    korrLC = Squares(weightedC1_.data(), count, korrLC);
    korrLZ = Squares(raw1_.data(), count, korrLZ);
    if (doTwo) {
        korrLVA = Squares(weightedA2_.data(), count, korrLVA);
        korrLVC = Squares(weightedC2_.data(), count, korrLVC);
        korrLVZ = Squares(raw2_.data(), count, korrLVZ);
    }
    korrCount += count;
}

// A new request starts from 0 with the next cycle's samples; after the
// request ends the published copies stay as they were.
void TCalcer::PublishCorrectionSums() {
    if (isK && !isKorr) {
        korrLA = korrLC = korrLZ = 0.0;
        korrLVA = korrLVC = korrLVZ = 0.0;
        korrCount = 0;
    }
    isKorr = isK;
    if (isKorr) {
        kLA = korrLA;
        kLC = korrLC;
        kLZ = korrLZ;
        kLVA = korrLVA;
        kLVC = korrLVC;
        kLVZ = korrLVZ;
        kCount = korrCount;
    }
}

void TCalcer::StartGetKorr() {
    ValueGuard guard(valueLock);
    isK = true;
}

void TCalcer::StopGetKorr(double& valA, double& valC, double& valF) {
    ValueGuard guard(valueLock);
    isK = false;
    valA = RmsOf(kLA, kCount);
    valC = RmsOf(kLC, kCount);
    valF = RmsOf(kLZ, kCount);
}

bool TCalcer::GetKorrVal(double& valA, double& valC, double& valZ) const {
    ValueGuard guard(valueLock);
    valA = RmsOf(kLA, kCount);
    valC = RmsOf(kLC, kCount);
    valZ = RmsOf(kLZ, kCount);
    return valA > 0.0 && valC > 0.0 && valZ > 0.0;
}

void TCalcer::GetKorrVgl(double& valA, double& valC, double& valF) const {
    ValueGuard guard(valueLock);
    valA = RmsOf(kLVA, kCount);
    valC = RmsOf(kLVC, kCount);
    valF = RmsOf(kLVZ, kCount);
}

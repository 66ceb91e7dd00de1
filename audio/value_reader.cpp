#include "audio/value_reader.h"

#include <cmath>
#include <exception>
#include <mutex>

#include "audio/level_math.h"
#include "audio/level_results.h"
#include "ui_kit/services/clock.h"

namespace {

using ValueGuard = std::lock_guard<platform::CriticalSection>;

double Q() { return qFactor.load(std::memory_order_relaxed); }

double DbOfEnergy(double energy) { return LevelOfEnergy(energy, Q()); }

double DbOfPeakSum(double sum) {
    return LevelOfPeakSum(sum, peakWindowSamples.load(std::memory_order_relaxed),
                          calOffset[2].load(std::memory_order_relaxed));
}

TBlockDaten8 BlockInDb(TBlockDaten8 block) {
    block.dBCMax = DbOfPeakSum(block.dBCMax);
    block.leq = DbOfEnergy(block.leq);
    block.leqK = DbOfEnergy(block.leqK);
    return block;
}

double AmplitudeOfPeakSum(double sum, int32_t windowSamples) {
    if (windowSamples < 1 || !(sum > 0.0) || !std::isfinite(sum)) {
        return 0.0;
    }
    return std::sqrt(sum / windowSamples);
}

}  // namespace

TWertCreate::TWertCreate() : aPegel(kRingSlots) { ResetWerteCreate(); }

void TWertCreate::ResetWerteCreate() {
    ValueGuard valueGuard(valueLock);
    std::lock_guard ringGuard(ringLock_);
    for (TSaveIT6& slot : aPegel) {
        slot = TSaveIT6{};
        slot.id = -1;
    }
    readId.store(0, std::memory_order_release);
}

void TWertCreate::AddValue(const TSaveIT6& record) {
    std::lock_guard ringGuard(ringLock_);
    int32_t i = readId.load(std::memory_order_relaxed) + 1;
    if (i > aMax) {
        i = 0;
    }
    aPegel[i] = record;
    readId.store(i, std::memory_order_release);
}

TSaveIT6 TWertCreate::GetSaveData(int32_t id) const {
    TSaveIT6 stored;
    bool found = false;
    {
        std::lock_guard ringGuard(ringLock_);
        if (id < 0) {
            stored = aPegel[readId.load(std::memory_order_relaxed)];
            found = true;
        } else {
            for (int32_t slot = aMax; slot >= 0; --slot) {
                if (aPegel[slot].id == id) {
                    stored = aPegel[slot];
                    found = true;
                    break;
                }
            }
        }
    }
    TSaveIT6 result;
    if (!found) {
        result.id = -1;
        result.LeqK = -1.0;
        result.leq = -1.0;
        return result;
    }
    result.id = stored.id;
    result.valDif = stored.valDif;
    result.TimeStamp = stored.TimeStamp;
    result.clipCount = 0;
    result.Peak = DbOfPeakSum(stored.Peak);
    result.LeqK = DbOfEnergy(stored.LeqK);
    result.leq = DbOfEnergy(stored.leq);
    return result;
}

void TWertCreate::GetRMS(double& rmsS, double& rmsF) const {
    ValueGuard guard(valueLock);
    rmsS = rmsSlowAmp;
    rmsF = rmsFastAmp;
}

void TWertCreate::GetRMSP(double& rmsS, double& rmsF) const {
    ValueGuard guard(valueLock);
    rmsS = rmsPSlowAmp;
    rmsF = rmsPFastAmp;
}

double TWertCreate::GetRmsSlow(bool isSecondChannel) const {
    ValueGuard guard(valueLock);
    return isSecondChannel ? rmsSlowAmp2 : rmsSlowAmp;
}

double TWertCreate::GetRMSPeak() const {
    ValueGuard guard(valueLock);
    return rmsSlowMax;
}

double TWertCreate::GetRMSPeakP() const {
    ValueGuard guard(valueLock);
    return rmsPSlowMax;
}

void TWertCreate::ResetRMSPeak() {
    ValueGuard guard(valueLock);
    rmsSlowMax = 0.0;
}

void TWertCreate::ResetRMSPeakP() {
    ValueGuard guard(valueLock);
    rmsPSlowMax = 0.0;
}

void TWertCreate::GetPeak(double& peak1, double& peak2) {
    ValueGuard guard(valueLock);
    const int32_t n = peakWindowSamples.load(std::memory_order_relaxed);
    peak1 = AmplitudeOfPeakSum(peakHold1, n);
    peak2 = AmplitudeOfPeakSum(peakHold2, n);
    peakHold1 = 0.0;
    peakHold2 = 0.0;
}

void TWertCreate::GetLeq(double& leqValue, double& leqFactor) const {
    ValueGuard guard(valueLock);
    leqValue = DbOfEnergy(curLeq);
    leqFactor = std::isfinite(curLeqFactor) ? curLeqFactor : 0.0;
}

void TWertCreate::GetLeqk(double& leqk, int32_t& leqkCount) const {
    ValueGuard guard(valueLock);
    leqk = leqKBlocksDone >= 1 ? DbOfEnergy(curLeqK1) : 0.0;
    leqkCount = leqKBlocksDone;
}

double TWertCreate::GetCalLeqK1() const {
    ValueGuard guard(valueLock);
    return curLeqK1;
}

double TWertCreate::GetCalLeqK2() const {
    ValueGuard guard(valueLock);
    return leqKBlocksDone > 0 ? curLeqK2 : 0.0;
}

double TWertCreate::GetLeq120() const {
    ValueGuard guard(valueLock);
    return DbOfEnergy(curLeq120);
}

double TWertCreate::GetLeqFull() const {
    ValueGuard guard(valueLock);
    return DbOfEnergy(curLeqFull);
}

double TWertCreate::GetMaxLeq() const {
    ValueGuard guard(valueLock);
    return DbOfEnergy(topLeq);
}

double TWertCreate::GetMaxLeqK() const {
    ValueGuard guard(valueLock);
    return DbOfEnergy(topLeqK);
}

platform::TDateTime TWertCreate::GetMaxLeqTime() const {
    ValueGuard guard(valueLock);
    return topLeqTime;
}

platform::TDateTime TWertCreate::GetMaxLeqKTime() const {
    ValueGuard guard(valueLock);
    return topLeqKTime;
}

double TWertCreate::GetMaxPeak() const {
    ValueGuard guard(valueLock);
    return DbOfPeakSum(topPeak);
}

platform::TDateTime TWertCreate::GetMaxPeakTime() const {
    ValueGuard guard(valueLock);
    return topPeakTime;
}

double TWertCreate::GetCurrentBlockPeak() const {
    ValueGuard guard(valueLock);
    return DbOfPeakSum(blockPeak);
}

platform::TDateTime TWertCreate::GetCurrentBlockPeakTime() const {
    ValueGuard guard(valueLock);
    return blockPeakTime;
}

platform::TDateTime TWertCreate::GetNextBlockTimeUTC() const {
    ValueGuard guard(valueLock);
    return nextBlockTimeUtc;
}

platform::TDateTime TWertCreate::GetNextBlockTimeLocal() const {
    const platform::TDateTime utc = GetNextBlockTimeUTC();
    try {
        return UtcToLocal(utc);
    } catch (const std::exception&) {
        // Only a time that is no date at all gets here; show nothing rather than fail.
        return 0.0;
    }
}

TBlockDaten8 TWertCreate::GetBlockData() const {
    ValueGuard guard(valueLock);
    return BlockInDb(lastBlock);
}

TBlockDaten8 TWertCreate::GetIntervalBlockData() const {
    ValueGuard guard(valueLock);
    return BlockInDb(lastIntervalBlock);
}

double TWertCreate::GetErwartungLeq() const {
    ValueGuard guard(valueLock);
    const double a = curLeq;
    const double f = curLeqFactor;
    if (a > 1e-6 && f > 1e-10) {
        return DbOfEnergy(a / f);
    }
    return 0.0;
}

double TWertCreate::GetErwartungLeqK() const {
    ValueGuard guard(valueLock);
    const double a = curLeq;
    const double k = curLeqK1;
    const int32_t w = leqWindowBlocks;
    const int32_t d = leqBlocksDone;
    if (a > 0.0 && d > 0 && k > 0.0 && w > 0) {
        return DbOfEnergy(a + k * static_cast<double>(w - d) / w);
    }
    return 0.0;
}

// The level windows of the calculation thread: what happens at the end of
// each 125 ms block, what a cycle publishes of the windows, how a reset sets
// them up, and the clock-aligned Leq blocks and save records.
//
// Block energies go into rings of 30001 slots. The index that leaves a
// window starts one window length "behind" the write index, so the slot that
// leaves is always the one written exactly one window earlier; until that
// many blocks exist, zeroed slots leave and the sums grow from 0. Every
// window divides by its full length, also while it fills: a sliding window
// rises from 0, and a fixed interval's Leq grows towards the interval's value
// while curLeqFactor tells how much of it is filled.
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "audio/calculation_thread.h"
#include "audio/level_results.h"
#include "audio/value_reader.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kBlocksIn120Min = 57600.0;
constexpr int32_t kBlocksPerMinute = 8 * 60;
constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr double kMsPerBlock = 125.0;
// A Leq block whose collected 125 ms blocks differ from its wall-clock length
// by more than this share carries the deviation as its remark.
constexpr double kTolerableDeviation = 0.025;
// The first peak of a later interval counts even when it is tiny.
constexpr double kFreshBlockPeak = 1e-9;
const QString kNoRemark = QStringLiteral("---");
// The argument of the planned-duration notification: the stop mode it asks for.
constexpr intptr_t kStopModePlannedDuration = 3;

// A fixed interval of n blocks is used in whole minutes, cut down.
int32_t WholeMinutesOf(int32_t blocks) { return blocks / 8 / 60; }

int32_t NextRingIndex(int32_t index, int32_t lastIndex) { return index >= lastIndex ? 0 : index + 1; }

// Milliseconds of a date-time on the straight millisecond line, cut down to
// the whole unit.
int64_t FloorTo(int64_t ms, int64_t unit) {
    const int64_t rest = ms % unit;
    return rest < 0 ? ms - rest - unit : ms - rest;
}

int64_t PositiveModulo(int64_t value, int64_t modulus) {
    const int64_t rest = value % modulus;
    return rest < 0 ? rest + modulus : rest;
}

// Steps from position to the next multiple of step that lies strictly after it.
int64_t StepsToNextMultiple(int64_t position, int64_t step) { return (position / step + 1) * step - position; }

platform::TDateTime PlusMs(platform::TDateTime t, int64_t ms) {
    return platform::MsToDateTime(platform::DateTimeToMs(t) + ms);
}

// Fields of the packed records are passed by value, never bound to a reference.
double Larger(double a, double b) { return a > b ? a : b; }

// A percentage as the remark shows it: rounded to three significant digits
// but to no more than one decimal, always with one decimal, in the system's
// number format; a value with more than three digits before the decimal
// point in scientific notation.
QString DeviationPercentText(double percent) {
    const QLocale locale = QLocale::system();
    const double magnitude = std::fabs(percent);
    if (magnitude >= 100.0) {
        const double roundedToThreeDigits = std::round(percent);
        if (std::fabs(roundedToThreeDigits) >= 1000.0) {
            return locale.toString(percent, 'E', 2);
        }
        return locale.toString(roundedToThreeDigits, 'f', 1);
    }
    return locale.toString(percent, 'f', 1);
}

QString DeviationRemark(int32_t valDif, int64_t soll) {
    if (soll <= 0) {
        return kNoRemark;
    }
    const double share = static_cast<double>(valDif) / static_cast<double>(soll);
    if (!(std::fabs(share) > kTolerableDeviation)) {
        return kNoRemark;
    }
    return QStringLiteral("Delta: ") + DeviationPercentText(share * 100.0) + QStringLiteral("%");
}

}  // namespace

void TCalcer::BlockEnd() {
    aLeq1[leqIndex] = leqLatch1;
    if (leqSamples < 0) {
        leqLatch = leqLatch - aLeq1[leqRemove] + leqLatch1;
        leqRemove = NextRingIndex(leqRemove, maxLeqIndex);
    } else {
        leqLatch += leqLatch1;
    }
    if (leqSamplesAktuell < std::abs(leqSamples)) {
        ++leqSamplesAktuell;
    }
    if (doTwo) {
        aLeq2[leqIndex] = leqLatch2;
    }
    aLeqK[leqIndex] = leqKLatch1;
    leqKLatch = leqKLatch + aLeqK[leqIndex] - aLeqK[leqKRemove];
    if (doTwo) {
        // Channel 2 has no short-term weighting of its own: its short-term
        // energy is its Leq-weighted block energy over the short-term window.
        leqKLatch2 = leqKLatch2 + leqLatch2 - aLeq2[leqKRemove];
    }
    if (leqKSamplesAktuell < leqKSamples) {
        ++leqKSamplesAktuell;
    }
    leqKRemove = NextRingIndex(leqKRemove, maxLeqIndex);
    leqIndex = NextRingIndex(leqIndex, maxLeqIndex);
    leq120Latch += leqLatch1;
    if (leqFullSamples > 0) {
        leqFullLatch = leqFullLatch / (leqFullSamples + 1) * leqFullSamples;
        ++leqFullSamples;
        leqFullLatch = leqFullLatch + leqLatch1 / leqFullSamples;
    } else {
        leqFullLatch = leqLatch1;
        leqFullSamples = 1;
    }
    leqLatch1 = 0.0;
    leqLatch2 = 0.0;
    leqKLatch1 = 0.0;
    leq125Index = 0;
}

void TCalcer::PublishWindowValues() {
    if (leqKSamples > 0) {
        curLeqK1 = leqKLatch / leqKSamples;
        curLeqK2 = leqKLatch2 / leqKSamples;
    } else {
        curLeqK1 = 0.0;
        curLeqK2 = 0.0;
    }
    leqKBlocksDone = leqKSamplesAktuell;
    curLeq120 = leq120Latch / kBlocksIn120Min;
    if (leqFullSamples > 0) {
        curLeqFull = leqFullLatch;
    }
    if (IsLeqFull) {
        curLeq = curLeqFull;
        curLeqFactor = 1.0;
    } else if (leqSamples != 0) {
        curLeq = leqLatch / std::abs(leqSamples);
        curLeqFactor = std::abs(static_cast<double>(leqSamplesAktuell) / leqSamples);
    } else {
        curLeq = 0.0;
        curLeqFactor = 0.0;
    }
    leqBlocksDone = leqSamplesAktuell;
}

void TCalcer::ResetLevelWindows(const Setup& setup, platform::TDateTime resetUtc, CycleEvents& events) {
    std::fill(aLeq1.begin(), aLeq1.end(), 0.0);
    std::fill(aLeq2.begin(), aLeq2.end(), 0.0);
    std::fill(aLeqK.begin(), aLeqK.end(), 0.0);
    maxLeqIndex = kBlockRingSlots - 1;
    leqIndex = 0;
    leq125Index = 0;
    leqLatch = 0.0;
    leqKLatch = 0.0;
    // The block that was running belongs to the samples before the reset,
    // which are never processed: none of its energy may reach the first block.
    leqLatch1 = 0.0;
    leqLatch2 = 0.0;
    // A fixed interval runs on the clock in whole minutes, so its energy is
    // divided by the blocks of those minutes: a 90 s interval is a 60 s one
    // (and would otherwise read 1.76 dB low for a steady level).
    leqSamples = setup.leqBlocks > 0 ? WholeMinutesOf(setup.leqBlocks) * kBlocksPerMinute : setup.leqBlocks;
    IsLeqFull = leqSamples == -2;
    leqWindowBlocks = std::abs(leqSamples);
    Saveblock.start = UtcToLocal(resetUtc);
    blockStartUtc_ = resetUtc;
    if (leqSamples < 0) {
        StartSlidingLeq(resetUtc, setup.plannedMinutes);
    } else {
        StartLeqBlocks(resetUtc, events);
    }
    saveCount = 0;
    leqSamplesAktuell = 0;
    curLeq = 0.0;
    curLeqFactor = 0.0;
    leqBlocksDone = 0;
    StartLeqKWindow(setup.leqKBlocks);
    curLeqK1 = 0.0;
    curLeqK2 = 0.0;
    leqKBlocksDone = 0;
    leq120Latch = 0.0;
    curLeq120 = 0.0;
    leqFullLatch = 0.0;
    leqFullSamples = 0;
    curLeqFull = 0.0;
}

void TCalcer::StartSlidingLeq(platform::TDateTime resetUtc, int32_t plannedMinutes) {
    leqRemove = maxLeqIndex - std::abs(leqSamples) + 1;
    stopZeit = plannedMinutes > 0
                   ? platform::MsToDateTime(platform::DateTimeToMs(resetUtc) + plannedMinutes * kMsPerMinute)
                   : 0.0;
    isLeqBlock = false;
}

// The first interval ends at the next minute that is a multiple of the
// interval length counted from the start of the current UTC hour, always
// after the reset; every later one is exactly that long.
void TCalcer::StartLeqBlocks(platform::TDateTime resetUtc, CycleEvents& events) {
    stopZeit = 0.0;
    Saveblock.id = 1;
    Saveblock.valDif = 0;
    Saveblock.dBCMax = 0.0;
    Saveblock.currentCount = 0;
    Saveblock.PeakHighTime = 0.0;
    Saveblock.leqK = 0.0;
    Saveblock.LeqKHighTime = 0.0;
    Saveblock.leq = 0.0;
    Saveblock.LeqHighTime = 0.0;
    leqHighTime_.store(0.0, std::memory_order_relaxed);
    Saveblock.clipCount = 0;
    leqRemove = 0;
    leqKRemove = 0;
    const int64_t wholeMinute = FloorTo(platform::DateTimeToMs(resetUtc), kMsPerMinute);
    blockStepMin = WholeMinutesOf(leqSamples);
    const int64_t minuteOfHour = PositiveModulo(wholeMinute / kMsPerMinute, 60);
    const int64_t firstEnd = wholeMinute + StepsToNextMultiple(minuteOfHour, blockStepMin) * kMsPerMinute;
    nextBlockTimeUtc = platform::MsToDateTime(firstEnd);
    Saveblock.next = UtcToLocal(nextBlockTimeUtc);
    isLeqBlock = true;
    events.Hold(kNotifyBlockClosed, 0, false);
}

void TCalcer::StartLeqKWindow(int32_t leqKBlocks) {
    leqKLatch1 = 0.0;
    leqKLatch2 = 0.0;
    leqKSamples = leqKBlocks;
    leqKRemove = maxLeqIndex - leqKSamples + 1;
    leqKSamplesAktuell = 0;
}

// The first record closes at the next multiple of the interval (seconds
// within the minute, or minutes within the UTC hour), strictly after the
// reset; later ones follow on the same grid.
void TCalcer::AlignSaveTime(platform::TDateTime resetUtc) {
    const int64_t wholeSecond = FloorTo(platform::DateTimeToMs(resetUtc), kMsPerSecond);
    int64_t due = wholeSecond;
    if (saveIntervalSec >= 60) {
        const int64_t stepMinutes = saveIntervalSec / 60;
        const int64_t wholeMinute = FloorTo(wholeSecond, kMsPerMinute);
        const int64_t minuteOfHour = PositiveModulo(wholeMinute / kMsPerMinute, 60);
        due = wholeMinute + StepsToNextMultiple(minuteOfHour, stepMinutes) * kMsPerMinute;
    } else {
        const int64_t secondOfMinute = PositiveModulo(wholeSecond / kMsPerSecond, 60);
        due = wholeSecond + StepsToNextMultiple(secondOfMinute, saveIntervalSec) * kMsPerSecond;
    }
    nextSaveTime = platform::MsToDateTime(due);
}

// The block's expected length counts from its start to the closing cycle on
// the UTC line, so that lost audio shows in valDif and the remark. A stop
// publishes the unfinished interval and leaves it running; only the clock
// advances to the next one.
bool TCalcer::LeqBlockCloses(const CycleTime& time, bool stopping) const {
    return isLeqBlock &&
           (stopping || platform::DateTimeToMs(nextBlockTimeUtc) < platform::DateTimeToMs(time.utc));
}

int64_t TCalcer::ExpectedBlocks(const CycleTime& time) const {
    const int64_t elapsedMs = platform::DateTimeToMs(time.utc) - platform::DateTimeToMs(blockStartUtc_);
    return platform::Round(static_cast<double>(elapsedMs) / kMsPerBlock);
}

// Formatted before the value lock is taken: the locale's number format is
// no work for the getters to wait on. Everything it reads belongs to this thread.
QString TCalcer::ClosingRemark(const CycleTime& time) const {
    const int64_t soll = ExpectedBlocks(time);
    return DeviationRemark(static_cast<int32_t>(soll - leqSamplesAktuell), soll);
}

void TCalcer::CloseLeqBlock(const CycleTime& time, bool stopping, QString remark, CycleEvents& events) {
    if (!LeqBlockCloses(time, stopping)) {
        return;
    }
    ++blockCount;
    lastBlock = Saveblock;
    lastBlock.ende = time.local;
    lastBlock.clipCount = 0;
    const int64_t soll = ExpectedBlocks(time);
    BlockCountSoll = static_cast<int32_t>(soll);
    lastBlock.valDif = static_cast<int32_t>(soll - leqSamplesAktuell);
    lastBlock.id = blockCount;
    lastBlock.remarkStr = std::move(remark);
    if (stopping) {
        return;
    }
    lastIntervalBlock = lastBlock;
    StartNextLeqBlock(time, events);
}

void TCalcer::StartNextLeqBlock(const CycleTime& time, CycleEvents& events) {
    Saveblock.currentCount = Saveblock.currentCount + 1;
    Saveblock.start = time.local;
    blockStartUtc_ = time.utc;
    Saveblock.dBCMax = kFreshBlockPeak;
    Saveblock.leqK = 0.0;
    Saveblock.leq = 0.0;
    Saveblock.LeqHighTime = 0.0;
    leqHighTime_.store(0.0, std::memory_order_relaxed);
    Saveblock.LeqKHighTime = 0.0;
    nextBlockTimeUtc = PlusMs(nextBlockTimeUtc, blockStepMin * kMsPerMinute);
    leqSamplesAktuell = 0;
    curLeqFactor = 0.0;
    curLeq = 0.0;
    leqLatch = 0.0;
    blockPeak = 0.0;
    blockPeakTime = -1.0;
    events.leqBlockClosed = true;
    events.leqBlockNumber = Saveblock.currentCount;
}

// A record collects the highest values published since the previous one and
// closes on its grid time, or at once on a stop.
void TCalcer::UpdateSaveRecord(const CycleTime& time, bool stopping, CycleEvents& events) {
    saveData.LeqK = Larger(saveData.LeqK, curLeqK1);
    saveData.leq = Larger(saveData.leq, curLeq);
    saveData.Peak = Larger(saveData.Peak, peakMax1);
    if (stopping || platform::DateTimeToMs(time.utc) >= platform::DateTimeToMs(nextSaveTime)) {
        CloseSaveRecord(time, events);
    }
}

// The record carries its scheduled time, and the next one is due exactly one
// interval later, so the stamps stay on the grid when a cycle is late.
void TCalcer::CloseSaveRecord(const CycleTime& time, CycleEvents& events) {
    lastSaveRecord = saveData;
    lastSaveRecord.TimeStamp = UtcToLocal(nextSaveTime);
    nextSaveTime = platform::MsToDateTime(
        FloorTo(platform::DateTimeToMs(nextSaveTime) + saveIntervalSec * kMsPerSecond, kMsPerSecond));
    saveData.Peak = 0.0;
    saveData.LeqK = 0.0;
    saveData.leq = 0.0;
    ++saveCount;
    lastSaveRecord.id = saveCount;
    if (TWertCreate* reader = wertCreate.load()) {
        reader->AddValue(lastSaveRecord);
    }
    if (stopZeit > 0.0 && platform::DateTimeToMs(time.utc) >= platform::DateTimeToMs(stopZeit)) {
        events.Hold(kNotifyPlannedDurationReached, kStopModePlannedDuration, true);
    }
    events.saveRecordClosed = true;
    events.saveRecordId = saveCount;
}

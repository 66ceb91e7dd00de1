#include "audio/calculation_thread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64)
#include <pmmintrin.h>
#include <xmmintrin.h>
#define VELTARO_HAS_SSE_CONTROL 1
#endif

#include <QCoreApplication>

#include "audio/level_results.h"
#include "audio/value_reader.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

// The input is processed in pieces of this many samples, so the working
// buffers stay small and warm in the cache; a normal 25 ms cycle (1200
// samples) is one piece. Every result is independent of the piece size.
constexpr int32_t kChunkSamples = 4096;

// A producer hands over doubles at full scale 1.0. A value that is no number,
// or a million times full scale, can only be garbage, and once inside a
// running sum (or a filter state, which outlives resets) it would stay there:
// it enters as 0 or at that bound instead.
constexpr double kLargestSample = 1.0e6;

constexpr int32_t kPeakWindowImpulse = 1680;
constexpr int32_t kPeakWindowPeak = 2;

constexpr int32_t kLongestBlockWindow = TCalcer::kBlockRingSlots - 1;
constexpr int32_t kShortestFixedInterval = 8 * 60;  // blocks in one minute

// Written without branches: comparisons with a NaN are false, so a NaN
// passes both bounds and is caught by the last test.
inline double SanitizedSample(double x) {
    const double low = x < -kLargestSample ? -kLargestSample : x;
    const double bounded = low > kLargestSample ? kLargestSample : low;
    return bounded == bounded ? bounded : 0.0;
}

// Denormal arithmetic is slow by orders of magnitude, and decaying filter
// states and running sums would otherwise pass through it after every loud
// passage.
void EnableFlushToZero() {
#ifdef VELTARO_HAS_SSE_CONTROL
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
#endif
}

void CopySanitized(const std::vector<double>& ring, int32_t from, double* out, int32_t count) {
    const int32_t size = static_cast<int32_t>(ring.size());
    int32_t pos = from;
    while (count > 0) {
        const int32_t run = std::min(count, size - pos);
        const double* src = ring.data() + pos;
        for (int32_t i = 0; i < run; ++i) {
            out[i] = SanitizedSample(src[i]);
        }
        out += run;
        count -= run;
        pos += run;
        if (pos >= size) {
            pos = 0;
        }
    }
}

const double* Weighted(int32_t code, const double* raw, const double* a, const double* c) {
    switch (code) {
    case 1: return a;
    case 2: return c;
    default: return raw;
    }
}

inline int32_t Advance(int32_t index, int32_t count, int32_t lastIndex) {
    index += count;
    return index > lastIndex ? index - (lastIndex + 1) : index;
}

}  // namespace

void MainWindowNotifier::Post(uintptr_t code, intptr_t argument) { PostMainNotify(code, argument); }

void MainWindowNotifier::PostAlways(uintptr_t code, intptr_t argument) { PostMainNotifyAlways(code, argument); }

// The event list belongs to the GUI thread: the line is queued to it.
void MainWindowNotifier::EventLine(const QString& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [text] {
            if (MainWindowServices* mw = mainWindowServices()) {
                mw->AddEventMessage(text, false, false);
            }
        },
        Qt::QueuedConnection);
}

QString LostInputText(int64_t samples) {
    return QStringLiteral("Audio input lost: %1 samples (%2 s) were overwritten before the level calculation read them")
        .arg(samples)
        .arg(static_cast<double>(samples) / 48000.0, 0, 'f', 1);
}

bool UseSecondIn() {
    MainWindowServices* mw = mainWindowServices();
    if (mw == nullptr) {
        return false;
    }
    MainWindowFields& fields = mw->Fields();
    return inputAssign.load() == 3 && fields.isFindPeak.load() && fields.useRefForLLF.load();
}

TCalcer::TCalcer(CalcNotifier* notifier)
    : platform::TThread("calculation"),
      notifier_(notifier),
      power_(ComputeQFactor()),
      aLeq1(kBlockRingSlots, 0.0),
      aLeq2(kBlockRingSlots, 0.0),
      aLeqK(kBlockRingSlots, 0.0),
      PeakArray1(kPeakRingSlots, 0.0),
      PeakArray2(kPeakRingSlots, 0.0),
      rmsDaten(kRmsRingSlots, 0.0),
      rmsDatenV(kRmsRingSlots, 0.0),
      rmsDatenP(kRmsRingSlots, 0.0),
      raw1_(kChunkSamples),
      raw2_(kChunkSamples),
      weightedA1_(kChunkSamples),
      weightedC1_(kChunkSamples),
      weightedA2_(kChunkSamples),
      weightedC2_(kChunkSamples) {
    if (notifier_ == nullptr) {
        ownNotifier_ = std::make_unique<MainWindowNotifier>();
        notifier_ = ownNotifier_.get();
    }
    qFactor.store(ComputeQFactor(), std::memory_order_relaxed);
}

TCalcer::~TCalcer() { Stop(); }

void TCalcer::ResetCalculation() { resetRequest.store(true, std::memory_order_release); }

void TCalcer::StopIt() { stopRec.store(true, std::memory_order_release); }

void TCalcer::Execute() {
    try {
        EnableFlushToZero();
        if (mainWindowServices() == nullptr) {
            return;
        }
        // The first cycle comes at the next whole second of the corrected
        // clock, so the save records and blocks start on the second.
        platform::WaitableTimer timer;
        const int64_t msIntoSecond = platform::DateTimeToMs(CorrectedUtcNow()) % 1000;
        timer.SetRelative(std::chrono::milliseconds(1000 - msIntoSecond), std::chrono::milliseconds(kTimerPeriodMs));
        while (!Terminated()) {
            const int signalled = platform::WaitForAny({&TerminateEvent(), &timer}, kTimerWaitMs);
            if (signalled == 1) {
                RunCycle();
            }
        }
    } catch (...) {
        // No further results until the program starts the calculation anew.
        notifier_->PostAlways(kNotifyThreadFailure, 0);
    }
    hDBFilter1.reset();
    hDBFilter2.reset();
}

void TCalcer::RunCycle() {
    if (resetRequest.exchange(false, std::memory_order_acq_rel)) {
        CycleEvents events;
        InitCalculation(events);
        leqSamplesAktuell = 0;
        rememberedStates_ = {-1, -1, -1};
        PostHeldNotifications(events);
        return;
    }
    // Taken once: a stop that arrives during the cycle belongs to the next one,
    // so a stop is never signalled before its block and record are closed.
    const bool stopping = stopRec.exchange(false, std::memory_order_acq_rel);
    CycleEvents events;
    if (validSetup.load(std::memory_order_relaxed)) {
        const int32_t n = NewSampleCount();
        TakeLostInput(events);
        if (n > 0) {
            ProcessSamples(n, events);
            PublishCycle(events, stopping);
        } else if (stopping) {
            // Without input (input off, device lost) the stop must still end
            // the measurement with its own last block and record.
            CloseOnStopWithoutSamples(events);
        }
    }
    PostHeldNotifications(events);
    if (stopping) {
        calcStoppedEvent.Set();
    }
    PostCycleNotifications(events);
}

// --- reset ---------------------------------------------------------------------

TCalcer::Setup TCalcer::ReadSetup() {
    MainWindowServices& mw = *mainWindowServices();
    Setup setup;
    setup.useSecond = UseSecondIn();
    setup.inputAssignment = inputAssign.load();
    setup.leqOffset = mw.GetKorr(0);
    setup.leqKOffset = mw.GetKorr(1);
    setup.peakSamples = mw.GetPeakSamples();
    setup.filters[2] = mw.GetFilter(2);
    setup.filters[0] = mw.GetFilter(0);
    setup.filters[1] = mw.GetFilter(1);
    setup.leqBlocks = mw.GetLeqSamples();
    setup.plannedMinutes = mw.GetMessDauerMin();
    setup.leqKBlocks = mw.GetSamplesLeqKurz();
    setup.saveInterval = mw.GetSaveIntervalSec();
    ReadStoreLevels(setup);
    return setup;
}

// The rings bound every window: a longer one would read outside them, a fixed
// interval under one minute cannot be aligned to the clock, and an offset
// that is no number would turn every level into one.
bool TCalcer::IsUsableSetup(const Setup& setup) {
    if (!std::isfinite(setup.leqOffset) || !std::isfinite(setup.leqKOffset) ||
        (setup.haveStore && !std::isfinite(setup.peakOffset))) {
        return false;
    }
    if (setup.peakSamples < 1 || setup.peakSamples > kPeakRingSlots) {
        return false;
    }
    if (setup.leqKBlocks < 1 || setup.leqKBlocks > kLongestBlockWindow) {
        return false;
    }
    if (setup.leqBlocks == 0 || setup.leqBlocks < -kLongestBlockWindow) {
        return false;
    }
    return setup.leqBlocks < 0 || setup.leqBlocks >= kShortestFixedInterval;
}

void TCalcer::InitCalculation(CycleEvents& events) {
    if (mainWindowServices() == nullptr) {
        validSetup.store(false, std::memory_order_relaxed);
        return;
    }
    const Setup setup = ReadSetup();
    const platform::TDateTime resetUtc = CorrectedUtcNow();
    // The reset happens in one step for every reader of the results.
    std::lock_guard guard(valueLock);
    if (!IsUsableSetup(setup)) {
        RefuseSetup(events);
        return;
    }
    validSetup.store(true, std::memory_order_relaxed);
    leqBuffer = kBlockSamples;
    useSecond = setup.useSecond;
    doTwo = !useSecond && setup.inputAssignment == 3;
    ResetPeakPath(setup);
    blockCount = 0;
    lastIntervalBlock = TBlockDaten8{};
    ResetRmsPath();
    ResetLevelWindows(setup, resetUtc, events);
    CreateWeightingFilters();
    SetThresholds(setup);
    saveIntervalSec = std::max(1, setup.saveInterval);
    saveData = TSaveIT6{};
    lastSaveRecord = TSaveIT6{};
    AlignSaveTime(resetUtc);
    ringReader_.SkipToNewest();
    ringReader_.TakeLost();
    lostInputReported_ = false;
    peakFaktorImpulse = std::exp(-1.0 / 12.0);
    isK = false;
    isKorr = false;
    if (TWertCreate* reader = wertCreate.load()) {
        reader->ResetWerteCreate();
    }
    ResetMax();
}

void TCalcer::RefuseSetup(CycleEvents& events) {
    validSetup.store(false, std::memory_order_relaxed);
    isK = false;
    isKorr = false;
    ClearPublishedLevels();
    if (TWertCreate* reader = wertCreate.load()) {
        reader->ResetWerteCreate();
    }
    ResetMax();
    events.Hold(kNotifyThreadFailure, kThreadFailureRefusedSetup, true);
}

void TCalcer::ResetPeakPath(const Setup& setup) {
    maxpeakIndex = static_cast<int32_t>(PeakArray1.size()) - 1;
    std::fill(PeakArray1.begin(), PeakArray1.end(), 0.0);
    std::fill(PeakArray2.begin(), PeakArray2.end(), 0.0);
    oldPeakVal = 0.0;
    calOffset[0].store(setup.leqOffset, std::memory_order_relaxed);
    calOffset[1].store(setup.leqKOffset, std::memory_order_relaxed);
    peakIndex = 0;
    peakWindowSamples.store(setup.peakSamples, std::memory_order_relaxed);
    peakVal1 = 0.0;
    peakVal2 = 0.0;
    peakRemove = maxpeakIndex - setup.peakSamples + 1;
    peakMax1 = 0.0;
    peakMax2 = 0.0;
    peakHold1 = 0.0;
    peakHold2 = 0.0;
    blockPeakTime = -1.0;
    filterId = setup.filters;
    const double q = qFactor.load(std::memory_order_relaxed);
    leqEnergyScale_ = EnergyOfLevel(setup.leqOffset, q) / kBlockSamples;
    leqKEnergyScale_ = EnergyOfLevel(setup.leqKOffset, q) / kBlockSamples;
}

void TCalcer::ResetRmsPath() {
    std::fill(rmsDaten.begin(), rmsDaten.end(), 0.0);
    std::fill(rmsDatenV.begin(), rmsDatenV.end(), 0.0);
    std::fill(rmsDatenP.begin(), rmsDatenP.end(), 0.0);
    maxRMSDatenIndex = kRmsRingSlots - 1;
    rmsAdd = 0;
    rmsOffset = kFastRmsSamples;
    rmsRemove = maxRMSDatenIndex - rmsOffset + 1;
    rmsSlowAmp = rmsPSlowAmp = rmsPFastAmp = rmsFastAmp = rmsSlowAmp2 = 0.0;
    rmsSlow = rmsSlowV = rmsFast = rmsPFast = rmsPSlow = 0.0;
}

void TCalcer::ClearPublishedLevels() {
    curLeq = curLeqFactor = 0.0;
    leqBlocksDone = 0;
    curLeqK1 = curLeqK2 = 0.0;
    leqKBlocksDone = 0;
    curLeq120 = curLeqFull = 0.0;
    peakHold1 = peakHold2 = 0.0;
    rmsSlowAmp = rmsPSlowAmp = rmsPFastAmp = rmsFastAmp = rmsSlowAmp2 = 0.0;
}

void TCalcer::CreateWeightingFilters() {
    if (!hDBFilter1) {
        hDBFilter1 = std::make_unique<TdBFilter>();
    }
    if (doTwo && !hDBFilter2) {
        hDBFilter2 = std::make_unique<TdBFilter>();
    }
}

void TCalcer::ResetMax() {
    const platform::TDateTime now = CorrectedNow();
    topLeq = topLeqK = topPeak = 0.0;
    topLeqTime = topLeqKTime = topPeakTime = now;
}

// --- cycle ---------------------------------------------------------------------

int32_t TCalcer::NewSampleCount() {
    if (sampleRing1.size() != static_cast<size_t>(kSampleRingSize) ||
        sampleRing2.size() != static_cast<size_t>(kSampleRingSize)) {
        return 0;
    }
    return ringReader_.Pending();
}

// A lap costs the levels of the lost stretch; the main window hears of the
// first one of a run, with what it cost.
void TCalcer::TakeLostInput(CycleEvents& events) {
    const int64_t lost = ringReader_.TakeLost();
    if (lost > 0 && !lostInputReported_) {
        events.lostSamples = lost;
        lostInputReported_ = true;
    }
}

void TCalcer::ProcessSamples(int32_t n, CycleEvents& events) {
    peakMax1 = 0.0;
    peakMax2 = 0.0;
    const bool toRecordingRing = n < recRing.Size();
    bool recordingFailureReported = false;
    for (int32_t done = 0; done < n;) {
        const int32_t count = std::min(kChunkSamples, n - done);
        ReadRings(count);
        if (toRecordingRing) {
            CopyIntoRecordingRing(count, recordingFailureReported);
        }
        WeightInput(count);
        if (isKorr) {
            AccumulateCorrectionSums(count);
        }
        AccumulateSamples(SelectWeightings(), count, events);
        done += count;
    }
}

void TCalcer::ReadRings(int32_t count) {
    const int32_t from = ringReader_.Position();
    if (doTwo) {
        CopySanitized(sampleRing1, from, raw1_.data(), count);
        CopySanitized(sampleRing2, from, raw2_.data(), count);
    } else {
        CopySanitized(useSecond ? sampleRing2 : sampleRing1, from, raw1_.data(), count);
    }
    ringReader_.Consume(count);
}

void TCalcer::CopyIntoRecordingRing(int32_t count, bool& reported) {
    try {
        recRing.Append(raw1_.data(), count);
    } catch (...) {
        // The recording loses these samples; the levels must not.
        if (!reported) {
            notifier_->PostAlways(kNotifyThreadFailure, 1);
            reported = true;
        }
    }
}

void TCalcer::WeightInput(int32_t count) {
    const size_t bytes = sizeof(double) * static_cast<size_t>(count);
    std::memcpy(weightedA1_.data(), raw1_.data(), bytes);
    hDBFilter1->DoACFilterNew(weightedA1_.data(), weightedC1_.data(), count);
    if (doTwo) {
        std::memcpy(weightedA2_.data(), raw2_.data(), bytes);
        hDBFilter2->DoAFilterDouble(weightedA2_.data(), count);
        std::memcpy(weightedC2_.data(), raw2_.data(), bytes);
        hDBFilter2->DoCFilterDouble(weightedC2_.data(), count);
    }
}

TCalcer::Signals TCalcer::SelectWeightings() const {
    Signals s;
    s.peak1 = Weighted(filterId[2], raw1_.data(), weightedA1_.data(), weightedC1_.data());
    s.leq1 = Weighted(filterId[0], raw1_.data(), weightedA1_.data(), weightedC1_.data());
    s.leqK1 = Weighted(filterId[1], raw1_.data(), weightedA1_.data(), weightedC1_.data());
    s.peak2 = Weighted(filterId[2], raw2_.data(), weightedA2_.data(), weightedC2_.data());
    s.leq2 = Weighted(filterId[0], raw2_.data(), weightedA2_.data(), weightedC2_.data());
    return s;
}

// The longest run of samples in which no ring index wraps and no block ends,
// so that the inner loop needs neither test.
int32_t TCalcer::RunLengthWithoutWrap(int32_t remaining) const {
    int32_t run = std::min(remaining, leqBuffer - leq125Index);
    run = std::min(run, maxpeakIndex + 1 - peakIndex);
    run = std::min(run, maxpeakIndex + 1 - peakRemove);
    run = std::min(run, maxRMSDatenIndex + 1 - rmsAdd);
    run = std::min(run, maxRMSDatenIndex + 1 - rmsRemove);
    return run;
}

void TCalcer::AdvanceRingIndexes(int32_t count) {
    peakIndex = Advance(peakIndex, count, maxpeakIndex);
    peakRemove = Advance(peakRemove, count, maxpeakIndex);
    rmsAdd = Advance(rmsAdd, count, maxRMSDatenIndex);
    rmsRemove = Advance(rmsRemove, count, maxRMSDatenIndex);
    leq125Index += count;
}

void TCalcer::AccumulateSamples(const Signals& paths, int32_t count, CycleEvents& events) {
    const bool sameLeqK = paths.leq1 == paths.leqK1;
    for (int32_t offset = 0; offset < count;) {
        const int32_t run = RunLengthWithoutWrap(count - offset);
        Signals piece = paths;
        piece.peak1 += offset;
        piece.leq1 += offset;
        piece.leqK1 += offset;
        piece.peak2 += offset;
        piece.leq2 += offset;
        if (doTwo) {
            sameLeqK ? AccumulateRun<true, true>(piece, run) : AccumulateRun<true, false>(piece, run);
        } else {
            sameLeqK ? AccumulateRun<false, true>(piece, run) : AccumulateRun<false, false>(piece, run);
        }
        AdvanceRingIndexes(run);
        if (leq125Index >= leqBuffer) {
            BlockEnd();
            events.blockCompleted = true;
        }
        offset += run;
    }
}

// The sample loop. Every window is a running sum: add the new square,
// subtract the one that leaves. The difference is formed first so that each
// sum's dependency from one sample to the next is a single addition. Sums
// that change together (slow and fast RMS, the Leq and short-term energies)
// share the two lanes of a vector; each lane rounds exactly as scalar code.
template <bool kTwo, bool kSameLeqK>
void TCalcer::AccumulateRun(const Signals& paths, int32_t count) {
    using Pair = double __attribute__((vector_size(16)));
    const double* __restrict peakIn1 = paths.peak1;
    const double* __restrict leqIn1 = paths.leq1;
    const double* __restrict leqKIn1 = paths.leqK1;
    const double* __restrict peakIn2 = paths.peak2;
    const double* __restrict leqIn2 = paths.leq2;
    double* __restrict peakRing1 = PeakArray1.data();
    double* __restrict peakRing2 = PeakArray2.data();
    double* __restrict rmsRingP = rmsDatenP.data();
    double* __restrict rmsRing = rmsDaten.data();
    double* __restrict rmsRingV = rmsDatenV.data();
    const int32_t add = peakIndex, remove = peakRemove, rmsIn = rmsAdd, rmsOut = rmsRemove;
    const Pair energyScale{leqEnergyScale_, leqKEnergyScale_};
    const double leqScale = leqEnergyScale_;
    double sum1 = peakVal1, sum2 = peakVal2, max1 = peakMax1, max2 = peakMax2, slowV = rmsSlowV, latch2 = leqLatch2;
    Pair peakRms{rmsPSlow, rmsPFast};
    Pair leqRms{rmsSlow, rmsFast};
    Pair latches{leqLatch1, leqKLatch1};

    for (int32_t i = 0; i < count; ++i) {
        const double s = peakIn1[i] * peakIn1[i];
        sum1 += s - peakRing1[remove + i];
        peakRing1[add + i] = s;
        double s2 = 0.0;
        if constexpr (kTwo) {
            const double sp2 = peakIn2[i] * peakIn2[i];
            sum2 += sp2 - peakRing2[remove + i];
            peakRing2[add + i] = sp2;
            max2 = std::max(max2, sum2);
            s2 = leqIn2[i] * leqIn2[i];
        }
        peakRms += Pair{s, s} - Pair{rmsRingP[rmsIn + i], rmsRingP[rmsOut + i]};
        rmsRingP[rmsIn + i] = s;
        max1 = std::max(max1, sum1);

        // A square of 0 contributes no energy: its power is 0.
        const double sL = leqIn1[i] * leqIn1[i];
        const double powerL = power_(sL);
        leqRms += Pair{sL, sL} - Pair{rmsRing[rmsIn + i], rmsRing[rmsOut + i]};
        rmsRing[rmsIn + i] = sL;
        if constexpr (kTwo) {
            slowV += s2 - rmsRingV[rmsIn + i];
            rmsRingV[rmsIn + i] = s2;
            latch2 += power_(s2) * leqScale;
        }
        if constexpr (kSameLeqK) {
            latches += Pair{powerL, powerL} * energyScale;
        } else {
            const double sK = leqKIn1[i] * leqKIn1[i];
            latches += Pair{powerL, power_(sK)} * energyScale;
        }
    }

    peakVal1 = sum1, peakVal2 = sum2, peakMax1 = max1, peakMax2 = max2;
    rmsPSlow = peakRms[0], rmsPFast = peakRms[1], rmsSlow = leqRms[0], rmsFast = leqRms[1], rmsSlowV = slowV;
    leqLatch1 = latches[0], leqLatch2 = latch2, leqKLatch1 = latches[1];
}

void TCalcer::PublishCycle(CycleEvents& events, bool stopping) {
    const CycleTime time = ReadCycleTime();
    QString remark = LeqBlockCloses(time, stopping) ? ClosingRemark(time) : QString();
    std::lock_guard guard(valueLock);
    PublishCorrectionSums();
    PublishRmsAmplitudes();
    UpdatePeakHolds();
    PublishWindowValues();
    UpdateMaxima(time.local, events);
    UpdateLimitStates(events);
    CloseLeqBlock(time, stopping, std::move(remark), events);
    UpdateSaveRecord(time, stopping, events);
}

void TCalcer::CloseOnStopWithoutSamples(CycleEvents& events) {
    const CycleTime time = ReadCycleTime();
    QString remark = LeqBlockCloses(time, true) ? ClosingRemark(time) : QString();
    std::lock_guard guard(valueLock);
    CloseLeqBlock(time, true, std::move(remark), events);
    // A record no cycle has added to since the last one closed (the stop came
    // right after it) holds no measurement: stored, it would read 0 dB.
    if (saveData.Peak > 0.0 || saveData.LeqK > 0.0 || saveData.leq > 0.0) CloseSaveRecord(time, events);
}

TCalcer::CycleTime TCalcer::ReadCycleTime() {
    CycleTime time;
    time.utc = CorrectedUtcNow();
    time.local = CorrectedNow();
    return time;
}

void TCalcer::PublishRmsAmplitudes() {
    rmsSlowAmp2 = rmsSlowV > 0.0 ? std::sqrt(rmsSlowV / kRmsRingSlots) : 0.0;
    rmsSlowAmp = rmsSlow > 0.0 ? std::sqrt(rmsSlow / kRmsRingSlots) : 0.0;
    rmsSlowMax = std::max(rmsSlowMax, rmsSlowAmp);
    rmsFastAmp = rmsFast > 0.0 ? std::sqrt(rmsFast / rmsOffset) : 0.0;
    rmsPFastAmp = rmsPFast > 0.0 ? std::sqrt(rmsPFast / rmsOffset) : 0.0;
    rmsPSlowAmp = rmsPSlow > 0.0 ? std::sqrt(rmsPSlow / kRmsRingSlots) : 0.0;
    rmsPSlowMax = std::max(rmsPSlowMax, rmsPSlowAmp);
}

// The holds keep the largest window sums until the value reader takes the
// peak. For the peak and impulse windows the held level of channel 1 falls
// no faster than by exp(-1/12) per 25 ms cycle, however often it is taken.
void TCalcer::UpdatePeakHolds() {
    peakHold1 = std::max(peakHold1, peakMax1);
    peakHold2 = std::max(peakHold2, peakMax2);
    const int32_t n = peakWindowSamples.load(std::memory_order_relaxed);
    if (n == kPeakWindowImpulse || n == kPeakWindowPeak) {
        oldPeakVal *= peakFaktorImpulse;
        if (oldPeakVal > peakHold1) {
            peakHold1 = oldPeakVal;
        } else {
            oldPeakVal = peakHold1;
        }
    }
}

void TCalcer::PostHeldNotifications(const CycleEvents& events) {
    for (int32_t i = 0; i < events.heldCount; ++i) {
        const CycleEvents::Held& p = events.held[static_cast<size_t>(i)];
        p.always ? notifier_->PostAlways(p.code, p.argument) : notifier_->Post(p.code, p.argument);
    }
    if (events.lostSamples > 0) {
        notifier_->EventLine(LostInputText(events.lostSamples));
    }
}

void TCalcer::PostCycleNotifications(const CycleEvents& events) {
    if (events.leqBlockClosed) {
        notifier_->Post(kNotifyBlockClosed, events.leqBlockNumber);
    }
    if (events.saveRecordClosed) {
        notifier_->Post(kNotifyNewSaveRecord, events.saveRecordId);
    }
    if (events.blockCompleted) {
        if (events.newTopLeq) {
            notifier_->Post(kNotifyNewLeqMax, 0);
        }
        notifier_->Post(kNotifyNewValues, kNewValuesBlock);
    }
}

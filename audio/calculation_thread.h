#pragma once
// The calculation thread: every 25 ms it takes the samples that the input
// wrote into the sample rings since its last visit, weights them, and turns
// them into peak-window sums, fast and slow RMS sums, 125 ms block energies
// and the level windows built on them; from those, the limit states, the
// maxima, the clock-aligned Leq blocks and the save records. It copies its
// unweighted input into the recording ring and publishes its results behind
// the value lock (level_results.h), where the value reader takes them.
//
// The thread itself only waits for its clock-aligned timer and calls
// RunCycle; everything else happens in the cycle, which a test can drive
// directly with samples in the rings, the test clock of the corrected clock
// and its own CalcNotifier.
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "audio/level_math.h"
#include "audio/weighting_filters.h"
#include "platform/date_time.h"
#include "platform/threads.h"
#include "store/measurement_records.h"
#include "ui_kit/shared_state.h"

// Where the calculation's notifications go (codes of ui_kit/notifications.h).
// Never called while the value lock is held.
class CalcNotifier {
public:
    virtual ~CalcNotifier() = default;
    // Only while the main window is ready to take notifications.
    virtual void Post(uintptr_t code, intptr_t argument) = 0;
    // Whether or not the main window is ready.
    virtual void PostAlways(uintptr_t code, intptr_t argument) = 0;
    // A line for the main window's event list.
    virtual void EventLine(const QString& text) = 0;
};

// Posts to the main window; event lines reach it on the GUI thread.
class MainWindowNotifier : public CalcNotifier {
public:
    void Post(uintptr_t code, intptr_t argument) override;
    void PostAlways(uintptr_t code, intptr_t argument) override;
    void EventLine(const QString& text) override;
};

// The event line of input lost because the calculation fell a whole ring behind.
QString LostInputText(int64_t samples);

// True when the calculation takes the reference input as its only input:
// both inputs are assigned, the loudest-location search is on and it uses
// the reference input. False without a main window.
bool UseSecondIn();

class TCalcer : public platform::TThread {
public:
    static constexpr int32_t kBlockSamples = 6000;        // 125 ms
    static constexpr int32_t kBlockRingSlots = 30001;     // up to 30000 blocks in a window
    static constexpr int32_t kPeakRingSlots = 262144;     // the longest peak window
    static constexpr int32_t kRmsRingSlots = 48000;       // 1 s
    static constexpr int32_t kFastRmsSamples = 6000;      // 125 ms
    static constexpr int32_t kTimerPeriodMs = 25;
    static constexpr int32_t kTimerWaitMs = 1000;

    // notifier: where to post; nullptr posts to the main window. The rings
    // and working buffers are allocated here, once. Created suspended; the
    // first cycle performs a reset.
    explicit TCalcer(CalcNotifier* notifier = nullptr);
    ~TCalcer() override;

    // The next cycle resets the whole calculation and processes no samples.
    void ResetCalculation();
    // The next cycle that is not a reset, with or without new samples,
    // publishes the unfinished Leq interval in lastBlock (the interval keeps
    // running), closes the running save record and then signals
    // calcStoppedEvent. While the engine is idle the stop is answered with
    // nothing to close.
    void StopIt();

    // When the Leq first went above its limit in the running Leq block; 0
    // while it has not. Safe from any thread.
    platform::TDateTime GetLeqHighTime() const;

    // Correction sums: the mean squares of the A-weighted, C-weighted and
    // unweighted input over a stretch chosen by the caller, whatever the
    // preset's weightings. Accumulation starts with the cycle after the one
    // that sees the request, from 0. Results are RMS amplitudes (full scale
    // 1.0), all 0 while no sample is counted.
    void StartGetKorr();
    // Ends the accumulation; the published values stay until the next start.
    void StopGetKorr(double& valA, double& valC, double& valF);
    // The calculation input's values so far; true when all three are above 0.
    bool GetKorrVal(double& valA, double& valC, double& valZ) const;
    // The same for channel 2 (0 unless both inputs are calculated).
    void GetKorrVgl(double& valA, double& valC, double& valF) const;

    // One round of the calculation, as the timer runs it every 25 ms.
    void RunCycle();

    // False while the engine is idle: no usable set-up since the last reset.
    bool ValidSetup() const { return validSetup.load(std::memory_order_relaxed); }
    // Whether the filter of channel 2 exists (created when both inputs are
    // calculated and kept from then on).
    bool HasChannel2Filter() const { return hDBFilter2 != nullptr; }

protected:
    void Execute() override;

private:
    // What the main window's getters answer at a reset.
    struct Setup {
        bool useSecond = false;
        int32_t inputAssignment = 0;
        double leqOffset = 0.0;
        double leqKOffset = 0.0;
        int32_t peakSamples = 0;
        std::array<int32_t, 3> filters{};  // [0] Leq, [1] short-term Leq, [2] peak
        int32_t leqBlocks = 0;
        int32_t leqKBlocks = 0;
        int32_t saveInterval = 0;
        int32_t plannedMinutes = 0;
        // Limit and warning level in dB per quantity ([0] Leq, [1] short-term
        // Leq, [2] peak), as the default store has them; only with a store. A
        // level that cannot be read leaves its threshold as it was.
        bool haveStore = false;
        std::array<std::optional<double>, 3> limitDb;
        std::array<std::optional<double>, 3> warnDb;
        double peakOffset = 0.0;
    };

    // The corrected clock as one cycle reads it.
    struct CycleTime {
        platform::TDateTime local = 0.0;
        platform::TDateTime utc = 0.0;
    };

    // The signal each path uses in one piece of the cycle's input.
    struct Signals {
        const double* peak1 = nullptr;
        const double* leq1 = nullptr;
        const double* leqK1 = nullptr;
        const double* peak2 = nullptr;
        const double* leq2 = nullptr;
    };

    // What a cycle has to tell the main window once the lock is released.
    struct CycleEvents {
        struct Held {
            uintptr_t code = 0;
            intptr_t argument = 0;
            bool always = false;
        };
        // Posts that arise while the results are published, in their order:
        // at most six in a cycle (new peak, Leq over its limit, three
        // states, planned duration), one at a reset.
        std::array<Held, 8> held{};
        int32_t heldCount = 0;
        bool blockCompleted = false;
        bool leqBlockClosed = false;
        int32_t leqBlockNumber = 0;
        bool saveRecordClosed = false;
        int32_t saveRecordId = 0;
        bool newTopLeq = false;
        int64_t lostSamples = 0;

        void Hold(uintptr_t code, intptr_t argument, bool always) {
            if (heldCount < static_cast<int32_t>(held.size())) {
                held[static_cast<size_t>(heldCount++)] = Held{code, argument, always};
            }
        }
    };

    // Reset.
    void InitCalculation(CycleEvents& events);
    static Setup ReadSetup();
    static bool IsUsableSetup(const Setup& setup);
    void RefuseSetup(CycleEvents& events);
    void ResetPeakPath(const Setup& setup);
    void ResetRmsPath();
    void ResetLevelWindows(const Setup& setup, platform::TDateTime resetUtc, CycleEvents& events);
    void StartSlidingLeq(platform::TDateTime resetUtc, int32_t plannedMinutes);
    void StartLeqBlocks(platform::TDateTime resetUtc, CycleEvents& events);
    void StartLeqKWindow(int32_t leqKBlocks);
    void AlignSaveTime(platform::TDateTime resetUtc);
    static void ReadStoreLevels(Setup& setup);
    void SetThresholds(const Setup& setup);
    void ClearPublishedLevels();
    void CreateWeightingFilters();
    void ResetMax();

    // Cycle.
    int32_t NewSampleCount();
    void ProcessSamples(int32_t n, CycleEvents& events);
    void ReadRings(int32_t count);
    void CopyIntoRecordingRing(int32_t count, bool& reported);
    void WeightInput(int32_t count);
    Signals SelectWeightings() const;
    void AccumulateSamples(const Signals& paths, int32_t count, CycleEvents& events);
    template <bool kTwo, bool kSameLeqK>
    void AccumulateRun(const Signals& paths, int32_t count);
    int32_t RunLengthWithoutWrap(int32_t remaining) const;
    void AdvanceRingIndexes(int32_t count);
    void AccumulateCorrectionSums(int32_t count);
    void BlockEnd();
    void PublishCycle(CycleEvents& events, bool stopping);
    void CloseOnStopWithoutSamples(CycleEvents& events);
    static CycleTime ReadCycleTime();
    bool LeqBlockCloses(const CycleTime& time, bool stopping) const;
    int64_t ExpectedBlocks(const CycleTime& time) const;
    QString ClosingRemark(const CycleTime& time) const;
    void PublishCorrectionSums();
    void PublishRmsAmplitudes();
    void UpdatePeakHolds();
    void PublishWindowValues();
    void UpdateMaxima(platform::TDateTime now, CycleEvents& events);
    void UpdateLimitStates(CycleEvents& events);
    void UpdateLimitState(int32_t quantity, double value, double warn, double limit, CycleEvents& events);
    void CloseLeqBlock(const CycleTime& time, bool stopping, QString remark, CycleEvents& events);
    void StartNextLeqBlock(const CycleTime& time, CycleEvents& events);
    void UpdateSaveRecord(const CycleTime& time, bool stopping, CycleEvents& events);
    void CloseSaveRecord(const CycleTime& time, CycleEvents& events);
    void TakeLostInput(CycleEvents& events);
    // What arose under the value lock, in its order, and the lost-input line.
    void PostHeldNotifications(const CycleEvents& events);
    void PostCycleNotifications(const CycleEvents& events);

    CalcNotifier* notifier_;
    std::unique_ptr<CalcNotifier> ownNotifier_;
    ExchangeRatePower power_;
    // The factor that turns a square's power into its share of a block
    // energy, per level: 10^(offset / q) / kBlockSamples.
    double leqEnergyScale_ = 0.0;
    double leqKEnergyScale_ = 0.0;

    bool IsLeqFull = false;
    std::atomic<bool> resetRequest{true};
    std::unique_ptr<TdBFilter> hDBFilter1;
    std::unique_ptr<TdBFilter> hDBFilter2;
    bool useSecond = false;
    std::array<int32_t, 3> filterId{};  // [0] Leq, [1] short-term Leq, [2] peak
    bool doTwo = false;
    std::vector<double> aLeq1;
    std::vector<double> aLeq2;
    std::vector<double> aLeqK;
    int32_t maxLeqIndex = kBlockRingSlots - 1;
    std::vector<double> PeakArray1;
    std::vector<double> PeakArray2;
    int32_t peakIndex = 0;
    int32_t maxpeakIndex = kPeakRingSlots - 1;
    double leqLatch1 = 0.0;
    double leqLatch2 = 0.0;
    double leqKLatch = 0.0;
    double rmsSlow = 0.0;
    double rmsSlowV = 0.0;
    double rmsFast = 0.0;
    double rmsPFast = 0.0;
    double rmsPSlow = 0.0;
    std::vector<double> rmsDaten;
    std::vector<double> rmsDatenV;
    std::vector<double> rmsDatenP;
    int32_t maxRMSDatenIndex = kRmsRingSlots - 1;
    int32_t rmsAdd = 0;
    int32_t rmsRemove = 0;
    int32_t rmsOffset = kFastRmsSamples;
    SampleRingReader ringReader_;
    // Whether this run (since the last reset) has reported lost input.
    bool lostInputReported_ = false;
    int32_t leqIndex = 0;
    int32_t leq125Index = 0;
    double peakVal1 = 0.0;
    double peakVal2 = 0.0;
    int32_t peakRemove = 0;
    double peakMax1 = 0.0;
    double peakMax2 = 0.0;
    double leqKLatch1 = 0.0;
    double leqKLatch2 = 0.0;
    int32_t leqKSamples = 0;
    int32_t leqKSamplesAktuell = 0;
    int32_t leqKRemove = 0;
    double leq120Latch = 0.0;
    double leqFullLatch = 0.0;
    int32_t leqFullSamples = 0;
    int32_t leqRemove = 0;
    int32_t leqSamples = 0;
    int32_t leqSamplesAktuell = 0;
    double leqLatch = 0.0;
    std::atomic<bool> validSetup{false};
    bool isLeqBlock = false;
    int32_t saveIntervalSec = 1;
    platform::TDateTime nextSaveTime = 0.0;  // UTC
    TSaveIT6 saveData;
    int32_t saveCount = 0;
    TBlockDaten8 Saveblock;
    int32_t blockStepMin = 0;
    std::atomic<bool> stopRec{false};
    double leqLimit = 0.0;
    double peakLimit = 0.0;
    double peakWarn = 0.0;
    double leqWarn = 0.0;
    double leqKWarn = 0.0;
    double leqKLimit = 0.0;
    platform::TDateTime stopZeit = 0.0;
    double oldPeakVal = 0.0;
    double peakFaktorImpulse = 0.0;
    int32_t blockCount = 0;
    int32_t BlockCountSoll = 0;
    // Running correction sums, touched by the calculation thread alone; 64-bit
    // counts, so a comparison left running cannot overflow them.
    double korrLA = 0.0, korrLC = 0.0, korrLZ = 0.0;
    double korrLVA = 0.0, korrLVC = 0.0, korrLVZ = 0.0;
    int64_t korrCount = 0;
    bool isKorr = false;
    // Published copies and the request, guarded by valueLock.
    double kLA = 0.0, kLC = 0.0, kLZ = 0.0;
    double kLVA = 0.0, kLVC = 0.0, kLVZ = 0.0;
    int64_t kCount = 0;
    bool isK = false;
    int32_t leqBuffer = kBlockSamples;

    // The state last posted per quantity ([0] Leq, [1] short-term Leq,
    // [2] peak); -1 after the start and each reset, so the first cycle posts all.
    std::array<int32_t, 3> rememberedStates_{-1, -1, -1};
    // The running Leq block's start on the UTC line: its real length does not
    // depend on a change of summer time within it.
    platform::TDateTime blockStartUtc_ = 0.0;
    // Saveblock.LeqHighTime for readers on other threads.
    std::atomic<platform::TDateTime> leqHighTime_{0.0};

    // The cycle's working buffers, one piece of the input at a time.
    std::vector<double> raw1_;
    std::vector<double> raw2_;
    std::vector<double> weightedA1_;
    std::vector<double> weightedC1_;
    std::vector<double> weightedA2_;
    std::vector<double> weightedC2_;
};

#include "main/worker_threads.h"

#include <limits>
#include <mutex>
#include <utility>

#include "audio/calculation_thread.h"
#include "audio/clock_thread.h"
#include "audio/value_reader.h"
#include "audio/vu_meter_thread.h"
#include "store/measuring_preset.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

void CalcSetupCopy::TakeFrom(const TVTPreset& preset) {
    leqDauer.store(preset.messungen[kPresetEntryLeq].Dauer);
    leqKDauer.store(preset.messungen[kPresetEntryLeqK].Dauer);
    peakSamples.store(preset.messungen[kPresetEntryPeak].Dauer);
    for (int i = 0; i < 3; ++i) filter[i].store(preset.messungen[i].Filter);
}

int32_t LeqBlocksOf(int32_t seconds, bool wholeMeasurementAllowed) {
    if (wholeMeasurementAllowed && seconds == -2) return -2;
    const int64_t blocks = static_cast<int64_t>(seconds) * 8;
    if (blocks > std::numeric_limits<int32_t>::max() || blocks < std::numeric_limits<int32_t>::min()) return 0;
    return static_cast<int32_t>(blocks);
}

namespace {

// The owner's half of a thread that does not free itself: told to end and
// waited for before its object goes.
template <class T>
void StopOwned(std::unique_ptr<T>& thread) {
    if (!thread) return;
    thread->Stop();
    thread.reset();
}

template <class T, class... Args>
void StartOwned(std::unique_ptr<T>& thread, int32_t failureCode, Args&&... args) {
    StopOwned(thread);
    thread = std::make_unique<T>(std::forward<Args>(args)...);
    thread->SetFailureCode(failureCode);
    thread->Start();
}

// The reader's short-term Leq and its filled blocks; 0 without a reader.
void ReadLeqK(double& leqK, int32_t& blocks) {
    leqK = 0.0;
    blocks = 0;
    if (const TWertCreate* reader = wertCreate.load()) reader->GetLeqk(leqK, blocks);
}

}  // namespace

TWorkerThreads::TWorkerThreads(std::function<double()> getRLZ) : getRLZ_(std::move(getRLZ)) {}

TWorkerThreads::~TWorkerThreads() {
    StopClockThread();
    StopCalcer();
    StopVuThread();
}

void TWorkerThreads::StartVuThread() { StartOwned(vu_, kThreadFailureVuMeter, getRLZ_); }

void TWorkerThreads::StopVuThread() { StopOwned(vu_); }

void TWorkerThreads::StartCalcer() {
    StopCalcer();
    wertCreate.store(new TWertCreate());
    auto* thread = new TCalcer();
    calcer.store(thread);
    thread->Start();
    ++calcStarts_;
}

void TWorkerThreads::StopCalcer() {
    // The thread goes first: it writes into the reader until it has ended.
    TCalcer* thread = calcer.exchange(nullptr);
    try {
        if (thread != nullptr) {
            thread->Stop();
            delete thread;
        }
    } catch (...) {
    }
    delete wertCreate.exchange(nullptr);
}

void TWorkerThreads::StartClockThread() { StartOwned(clock_, kThreadFailureClock); }

void TWorkerThreads::StopClockThread() { StopOwned(clock_); }

void TWorkerThreads::FetchLeq120() {
    std::lock_guard guard(startStop_);
    const TWertCreate* reader = wertCreate.load();
    dispLeq120.store(reader != nullptr ? reader->GetLeq120() : 0.0);
}

void TWorkerThreads::FetchLeqFull() {
    std::lock_guard guard(startStop_);
    const TWertCreate* reader = wertCreate.load();
    dispLeqFull.store(reader != nullptr ? reader->GetLeqFull() : 0.0);
}

void TWorkerThreads::FetchLeqK() {
    std::lock_guard guard(startStop_);
    double leqK;
    int32_t blocks;
    ReadLeqK(leqK, blocks);
    dispLeqK.store(leqK);
    dispLeqKSeconds.store(static_cast<int32_t>(blocks * 0.125));
}

void TWorkerThreads::FetchLeqAndCheck() {
    std::lock_guard guard(startStop_);
    if (const TWertCreate* reader = wertCreate.load()) {
        double leq = 0.0;
        double fill = 0.0;
        reader->GetLeq(leq, fill);
        dispLeq.store(leq);
        dispLeqFill.store(fill);
    } else {
        dispLeq.store(0.0);
    }
}

void TWorkerThreads::FetchLeqKAndCheck() {
    std::lock_guard guard(startStop_);
    double leqK;
    int32_t blocks;
    ReadLeqK(leqK, blocks);
    checkLeqK.store(leqK);
}

void TWorkerThreads::FetchPeakAndCheck() {
    std::lock_guard guard(startStop_);
    TWertCreate* reader = wertCreate.load();
    if (reader == nullptr) return;
    double peak1 = 0.0;
    double peak2 = 0.0;
    reader->GetPeak(peak1, peak2);
    peakAmp.store(peak1);
    peakAmp2.store(peak2);
}

double TWorkerThreads::CurrentPeak() {
    std::lock_guard guard(startStop_);
    return peakAmp.load();
}

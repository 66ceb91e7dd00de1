#pragma once
// The three long-lived workers of the level engine that the main window owns
// (the VU meter, the calculation with its value reader, the clock), the set-up
// the calculation reads from the main window at each reset, and the fetches
// with which notification 45 copies the current levels into the display
// values.
//
// The calculation reads its set-up on its own thread without a lock, so the
// preset numbers it needs are kept here as atomic copies that the main
// thread refreshes before it asks for a reset.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/sync.h"

class TVuThread;
class TUpdateTime;
struct TVTPreset;

// The window numbers of the current preset in the units of the calculation.
struct CalcSetupCopy {
    std::atomic<int32_t> leqDauer{1800};   // seconds; -2 the whole measurement
    std::atomic<int32_t> leqKDauer{10};    // seconds
    std::atomic<int32_t> peakSamples{2};
    std::array<std::atomic<int32_t>, 3> filter{1, 1, 2};

    void TakeFrom(const TVTPreset& preset);
};

// The window length in 125 ms blocks; -2 stays the whole measurement. A
// duration whose block count leaves 32 bits gives 0, which the calculation
// refuses as a set-up, instead of an overflow inside its thread.
int32_t LeqBlocksOf(int32_t seconds, bool wholeMeasurementAllowed);

class TWorkerThreads {
public:

    // getRLZ answers the VU peak return time of the main window's settings.
    explicit TWorkerThreads(std::function<double()> getRLZ);
    ~TWorkerThreads();

    void StartVuThread();
    void StopVuThread();
    // Stops a running calculation first, so there is never a second thread
    // or a second value reader.
    void StartCalcer();
    void StopCalcer();
    void StartClockThread();
    void StopClockThread();

    TVuThread* VuThread() const { return vu_.get(); }
    // How many calculation threads were started so far.
    int CalcStarts() const { return calcStarts_; }
    TUpdateTime* ClockThread() const { return clock_.get(); }

    // The fetches of notification 45; the start/stop lock is taken around
    // each read of the value reader.
    void FetchLeq120();
    void FetchLeqFull();
    void FetchLeqK();
    void FetchLeqAndCheck();
    void FetchLeqKAndCheck();
    void FetchPeakAndCheck();

    // The peak amplitude of the measuring input as last fetched.
    double CurrentPeak();

    platform::CriticalSection& StartStopLock() { return startStop_; }

    // The short-term Leq that only the bring-to-front check reads.
    std::atomic<double> checkLeqK{0.0};

private:
    std::function<double()> getRLZ_;
    std::unique_ptr<TVuThread> vu_;
    std::unique_ptr<TUpdateTime> clock_;
    int calcStarts_ = 0;
    platform::CriticalSection startStop_;
};

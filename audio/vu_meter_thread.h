#pragma once
// The VU meter: every 50 ms it takes the samples written into the sample
// rings since its last visit and publishes the unweighted peak (with a peak
// hold that falls back with the return time) and the 125 ms RMS of the
// measuring input and, with two inputs, of the reference input. With the
// measuring input alone it also counts clipping: each sample of a run above
// -0.2 dB of full scale after the run's first one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/sync.h"
#include "platform/threads.h"
#include "ui_kit/shared_state.h"

class TVuThread : public platform::TThread {
public:
    static constexpr int32_t kRmsSlots = 6000;  // 125 ms
    static constexpr int32_t kPeriodMs = 50;
    static constexpr int32_t kWaitMs = 200;

    // getRLZ answers the return time of the peak hold in seconds (the main
    // window's setting; 0 or less holds the peak); it is read at each reset.
    // notify posts a notification; empty posts to the main window while it
    // is ready.
    explicit TVuThread(std::function<double()> getRLZ,
                       std::function<void(uintptr_t code, intptr_t argument)> notify = {});
    ~TVuThread() override;

    // Linear amplitudes, full scale 1.0.
    void getLevels(double& peak1, double& peak2, double& rms1, double& rms2);
    // The thread re-reads its set-up and restarts its windows before its next wait.
    void resetLevelCalc();
    // With a return time of 0 or less the held peaks clear at the next tick;
    // with a positive one the request stays pending and has no effect.
    void resetPeakLatch();

    // One round of the meter: the reset when one is asked for, then the new
    // samples. Answers whether there were new samples (and a notification
    // went out). The thread runs it every 50 ms; a test may drive it
    // directly on a thread that was never started.
    bool Tick();

protected:
    void Execute() override;

private:
    void ResetLevels();
    bool ProcessNewSamples();
    void ReturnPeaks(int32_t n);
    void ProcessOne(int32_t n);
    void ProcessTwo(int32_t n);
    void Publish();

    const std::function<double()> getRLZ_;
    const std::function<void(uintptr_t, intptr_t)> notify_;

    std::atomic<bool> peakResetRequest{false};
    std::atomic<bool> resetRequest{true};
    SampleRingReader ringReader_;
    int32_t lastReadPos = 0;  // the slot the running pass reads next
    bool doTwo = false;
    double RuecklaufZeit = 0.0;
    std::vector<double> rmsa1;
    std::vector<double> rmsa2;
    int32_t maxIndexRms = kRmsSlots - 1;
    int32_t rmsIndex = 0;
    double rmsVal1 = 0.0;
    double rmsVal2 = 0.0;
    double peakLatch1 = 0.0;
    double peakLatch2 = 0.0;
    double outPeak1 = 0.0;  // the four published values are guarded by csLevel
    double outPeak2 = 0.0;
    double outRms1 = 0.0;
    double outRms2 = 0.0;
    platform::CriticalSection csLevel;
    bool lastWasClip = false;
    double clipLevel = 0.0;
};

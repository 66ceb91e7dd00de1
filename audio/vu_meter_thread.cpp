#include "audio/vu_meter_thread.h"

#include <chrono>
#include <cmath>
#include <mutex>

#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

TVuThread::TVuThread(std::function<double()> getRLZ, std::function<void(uintptr_t, intptr_t)> notify)
    : platform::TThread("VU meter"), getRLZ_(std::move(getRLZ)), notify_(std::move(notify)),
      clipLevel(std::pow(10.0, -0.02)) {}

TVuThread::~TVuThread() { Stop(); }

void TVuThread::getLevels(double& peak1, double& peak2, double& rms1, double& rms2) {
    std::lock_guard guard(csLevel);
    peak1 = outPeak1;
    peak2 = outPeak2;
    rms1 = outRms1;
    rms2 = outRms2;
}

void TVuThread::resetLevelCalc() { resetRequest.store(true); }
void TVuThread::resetPeakLatch() { peakResetRequest.store(true); }

void TVuThread::Execute() {
    resetRequest.store(true);
    platform::WaitableTimer timer;
    timer.SetRelative(std::chrono::milliseconds(kPeriodMs), std::chrono::milliseconds(kPeriodMs));
    while (!Terminated()) {
        if (resetRequest.load()) ResetLevels();
        const int woke = platform::WaitForAny({&timer, &TerminateEvent()}, kWaitMs);
        if (woke != 0 || Terminated()) continue;
        ProcessNewSamples();
    }
    timer.Cancel();
}

bool TVuThread::Tick() {
    if (resetRequest.load()) ResetLevels();
    return ProcessNewSamples();
}

void TVuThread::ResetLevels() {
    std::lock_guard guard(csLevel);
    clipCounter.exchange(0);
    RuecklaufZeit = getRLZ_ ? getRLZ_() : 0.0;
    doTwo = inputAssign.load() == 3;
    ringReader_.SkipToNewest();
    rmsa1.assign(kRmsSlots, 0.0);
    rmsa2.assign(kRmsSlots, 0.0);
    maxIndexRms = kRmsSlots - 1;
    rmsIndex = 0;
    rmsVal1 = rmsVal2 = 0.0;
    peakLatch1 = peakLatch2 = 0.0;
    outRms1 = outRms2 = outPeak1 = outPeak2 = 0.0;
    resetRequest.store(false);
}

bool TVuThread::ProcessNewSamples() {
    const auto ringSize = static_cast<int32_t>(sampleRing1.size());
    if (ringSize == 0) return false;
    const int32_t n = ringReader_.Pending();
    ringReader_.TakeLost();  // a meter only shows the present: what it missed does not matter
    if (n <= 0) return false;
    lastReadPos = ringReader_.Position();
    ReturnPeaks(n);
    if (doTwo) ProcessTwo(n);
    else ProcessOne(n);
    ringReader_.Consume(n);  // only after the reads: the producer may write these slots again
    Publish();
    if (notify_) notify_(kNotifyVuRefresh, 2);
    else PostMainNotify(kNotifyVuRefresh, 2);
    return true;
}

void TVuThread::ReturnPeaks(int32_t n) {
    if (RuecklaufZeit > 0.0) {
        const double fall = std::exp(n / (RuecklaufZeit * -48000.0));
        peakLatch1 *= fall;
        peakLatch2 *= fall;
    } else if (peakResetRequest.load()) {
        peakLatch1 = peakLatch2 = 0.0;
        peakResetRequest.store(false);
    }
}

void TVuThread::ProcessOne(int32_t n) {
    const auto ringLast = static_cast<int32_t>(sampleRing1.size()) - 1;
    for (int32_t i = 0; i < n; ++i) {
        const double s1 = sampleRing1[lastReadPos] * sampleRing1[lastReadPos];
        rmsVal1 = rmsVal1 - rmsa1[rmsIndex] + s1;
        rmsa1[rmsIndex] = s1;
        if (s1 > peakLatch1) peakLatch1 = s1;
        if (s1 > clipLevel) {
            if (lastWasClip) clipCounter.fetch_add(1);
            else lastWasClip = true;
        } else {
            lastWasClip = false;
        }
        rmsIndex = rmsIndex + 1 > maxIndexRms ? 0 : rmsIndex + 1;
        lastReadPos = lastReadPos + 1 > ringLast ? 0 : lastReadPos + 1;
    }
}

void TVuThread::ProcessTwo(int32_t n) {
    const auto ringLast = static_cast<int32_t>(sampleRing1.size()) - 1;
    for (int32_t i = 0; i < n; ++i) {
        const double s1 = sampleRing1[lastReadPos] * sampleRing1[lastReadPos];
        const double s2 = sampleRing2[lastReadPos] * sampleRing2[lastReadPos];
        rmsVal1 = rmsVal1 - rmsa1[rmsIndex] + s1;
        rmsVal2 = rmsVal2 - rmsa2[rmsIndex] + s2;
        rmsa1[rmsIndex] = s1;
        rmsa2[rmsIndex] = s2;
        if (s1 > peakLatch1) peakLatch1 = s1;
        if (s2 > peakLatch2) peakLatch2 = s2;
        rmsIndex = rmsIndex + 1 > maxIndexRms ? 0 : rmsIndex + 1;
        lastReadPos = lastReadPos + 1 > ringLast ? 0 : lastReadPos + 1;
    }
}

void TVuThread::Publish() {
    std::lock_guard guard(csLevel);
    outPeak1 = std::sqrt(peakLatch1);
    outRms1 = rmsVal1 > 0.0 ? std::sqrt(rmsVal1 / kRmsSlots) : 0.0;
    if (doTwo) {
        outPeak2 = std::sqrt(peakLatch2);
        outRms2 = rmsVal2 > 0.0 ? std::sqrt(rmsVal2 / kRmsSlots) : 0.0;
    } else {
        outPeak2 = 0.0;
        outRms2 = 0.0;
    }
}

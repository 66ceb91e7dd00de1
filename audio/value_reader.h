#pragma once
// The read side of the level engine. Each getter takes the value lock for
// its own reads, converts what the calculation thread published into dB and
// releases the lock; nothing here calls out while holding it. Levels come
// out as 0 dB when there is nothing to show, never as NaN or infinity.
//
// It also keeps the last 20 save records. The calculation thread adds each
// closed record and then posts its id; the main window takes the records up
// to that id. That read does not wait for the value lock: the ring has a
// small lock of its own, held only while a record is copied in or out.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/date_time.h"
#include "store/measurement_records.h"

class TWertCreate {
public:
    static constexpr int32_t kRingSlots = 20;

    // A ring of 20 empty slots.
    TWertCreate();

    // Empties the ring: every slot's id becomes -1 and the newest slot is 0.
    void ResetWerteCreate();
    // Puts a record into the slot after the newest one, which it becomes.
    // Called by the calculation thread while it holds the value lock.
    void AddValue(const TSaveIT6& record);
    // The record with this id (the newest slot holding it), or for a negative
    // id the newest slot; levels in dB, clipCount 0. Without such a record:
    // id -1, LeqK -1 and leq -1.
    TSaveIT6 GetSaveData(int32_t id) const;

    // Linear amplitudes of the Leq signal of channel 1: 1 s and 125 ms RMS.
    void GetRMS(double& rmsS, double& rmsF) const;
    // The same for the peak signal.
    void GetRMSP(double& rmsS, double& rmsF) const;
    // The 1 s RMS amplitude of channel 2 or of channel 1.
    double GetRmsSlow(bool isSecondChannel) const;
    double GetRMSPeak() const;
    double GetRMSPeakP() const;
    void ResetRMSPeak();
    void ResetRMSPeakP();
    // The held peak amplitudes of both channels (linear); then clears the holds.
    void GetPeak(double& peak1, double& peak2);
    // Leq in dB and the filled fraction of its window.
    void GetLeq(double& leqValue, double& leqFactor) const;
    // Short-term Leq in dB (0 until its first block is complete) and the
    // blocks collected in its window.
    void GetLeqk(double& leqk, int32_t& leqkCount) const;
    double GetCalLeqK1() const;  // linear energy
    double GetCalLeqK2() const;  // linear energy, 0 before the first block
    double GetLeq120() const;
    double GetLeqFull() const;
    double GetMaxLeq() const;
    double GetMaxLeqK() const;
    platform::TDateTime GetMaxLeqTime() const;
    platform::TDateTime GetMaxLeqKTime() const;
    double GetMaxPeak() const;
    platform::TDateTime GetMaxPeakTime() const;
    double GetCurrentBlockPeak() const;
    platform::TDateTime GetCurrentBlockPeakTime() const;  // -1.0 when none
    platform::TDateTime GetNextBlockTimeUTC() const;
    platform::TDateTime GetNextBlockTimeLocal() const;
    // The last closed Leq block with its peak and levels in dB.
    TBlockDaten8 GetBlockData() const;
    // The last whole interval the calculation closed (id 0 before the first);
    // unlike GetBlockData, a stop's unfinished interval does not replace it.
    TBlockDaten8 GetIntervalBlockData() const;
    // The Leq of the part of the window collected so far.
    double GetErwartungLeq() const;
    // The Leq the window would reach if the current short-term Leq held for
    // the rest of it.
    double GetErwartungLeqK() const;

private:
    const int32_t aMax = kRingSlots - 1;
    std::atomic<int32_t> readId{0};
    std::vector<TSaveIT6> aPegel;
    mutable std::mutex ringLock_;
};

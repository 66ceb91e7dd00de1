#pragma once
// The results of the level engine, shared between the calculation thread,
// which writes them, and the value reader, whose getters read them.
//
// Everything here is guarded by valueLock unless it is atomic: the
// calculation thread holds the lock only while it publishes a cycle's results
// (never while it filters or waits), and each getter holds it only for its
// own reads. Amplitudes are linear (full scale 1.0); a "sum" is a sum of
// squares over the peak window; an "energy" is a mean block energy on the
// scale of level_math.h. Date-times are the corrected clock's, local time
// unless the name says UTC.
#include <array>
#include <atomic>
#include <cstdint>

#include "platform/date_time.h"
#include "platform/sync.h"
#include "store/measurement_records.h"

extern platform::CriticalSection valueLock;

// Set once when the calculation thread is created; read without the lock.
extern std::atomic<double> qFactor;
// Calibration offset in dB: [0] Leq (also channel 2), [1] short-term Leq,
// [2] peak. Atomic because the save-record ring is read without the lock.
extern std::array<std::atomic<double>, 3> calOffset;
// Peak window N in samples; atomic for the same reason.
extern std::atomic<int32_t> peakWindowSamples;

extern int32_t leqWindowBlocks;   // absolute Leq window in blocks
extern double curLeq;             // current Leq energy
extern double curLeqFactor;       // filled fraction of the Leq window
extern int32_t leqBlocksDone;     // blocks in the current Leq window
extern double curLeqK1;           // current short-term Leq energy, channel 1
extern double curLeqK2;           // the same, channel 2
extern int32_t leqKBlocksDone;    // blocks in the short-term window
extern double curLeq120;          // two-hour Leq energy
extern double curLeqFull;         // Leq energy of the whole measurement
extern double peakHold1;          // largest peak-window sum of channel 1 since the last take
extern double peakHold2;          // the same, channel 2
extern double rmsSlowAmp;         // 1 s RMS of the Leq signal, channel 1
extern double rmsFastAmp;         // 125 ms RMS of the Leq signal, channel 1
extern double rmsSlowAmp2;        // 1 s RMS of the Leq signal, channel 2
extern double rmsPSlowAmp;        // 1 s RMS of the peak signal, channel 1
extern double rmsPFastAmp;        // 125 ms RMS of the peak signal, channel 1
extern double rmsSlowMax;         // held maxima since the reader cleared them;
extern double rmsPSlowMax;        //   a calculation reset leaves them
extern double topLeq;             // highest Leq energy since the reset
extern double topLeqK;            // highest short-term Leq energy
extern double topPeak;            // highest peak-window sum
extern platform::TDateTime topLeqTime;
extern platform::TDateTime topLeqKTime;
extern platform::TDateTime topPeakTime;
extern double blockPeak;                  // highest peak-window sum in the running Leq block
extern platform::TDateTime blockPeakTime; // its time, -1.0 when none
extern platform::TDateTime nextBlockTimeUtc;
extern TBlockDaten8 lastBlock;            // the most recently closed Leq block
extern TBlockDaten8 lastIntervalBlock;    // the most recently closed whole interval; a stop's unfinished
                                          // interval goes into lastBlock only
extern TSaveIT6 lastSaveRecord;           // the most recently closed save record

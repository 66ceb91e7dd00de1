#pragma once
// The wave-interface back-end: records the chosen wave input device with two
// buffers that circulate between the device and the callback, converts each
// returned buffer into the sample rings (full scale 1.0) and publishes the
// new write position; and plays the test signal on the wave output device
// with two buffers that the callback refills from the noise table.
//
// Open, close and the error report run on the main thread; the callbacks run
// on the device's own thread. The settings come from the main window's
// fields (waveInID, waveOutID, HighRes, Kanal, WaveDeviceName).
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/wave_audio.h"

inline constexpr uint32_t kWaveInFrames = 2048;   // per input buffer, 42.7 ms
inline constexpr uint32_t kWaveOutFrames = 4096;  // per output buffer, 85.3 ms

// The wave format record of the input (and, with its own copy, the output).
// Main thread only; other back-ends set its sample rate to theirs.
extern platform::WaveFormat waveFormat;

// Gives the record the values the main window starts with: the extensible
// tag without its extension, 2 channels, 48000 per second, 16 bits.
void InitWaveFormatRecord();

extern std::atomic<platform::WaveHandle> hWaveIn;
extern std::atomic<platform::WaveHandle> hWaveOut;
// While set, the callbacks neither convert nor re-queue.
extern std::atomic<bool> waveInClosing;
extern std::atomic<bool> waveOutClosing;
// Set after the first input buffer of the program came back: that buffer is
// dropped, every later one converted.
extern std::atomic<bool> waveFirstBuffer;

// True when the device was opened, both buffers queued and recording began.
bool OpenWaveIn();
void CloseWaveIn();
bool IsWaveInOpen();

void WaveInProc(platform::WaveHandle handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                uintptr_t param2);
void WaveInDataReady(platform::WaveHeader* header);

void OpenWaveOut();
// Ends the wave output: stops the refill, clears the output-running bit,
// resets the device, waits for both buffers, unprepares them and closes it.
void CloseWaveOut();
bool IsWaveOutOpen();

void WaveOutProc(platform::WaveHandle handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                 uintptr_t param2);
void WaveOutDone(platform::WaveHandle handle, uintptr_t buffer);

// True for 0; otherwise shows the wave error text with the step as header
// and answers false. From a thread other than the GUI thread the message box
// is queued to it and the answer is false at once.
bool CheckWaveError(uint32_t code, const QString& step);

// Sees each new write position right after it is published, on the
// device's thread. For tests that measure the input rate; empty removes it.
void SetRingPublishObserver(std::function<void(int32_t position)> observer);
// Called by every input back-end after it published a block.
void TellRingPublished(int32_t position);

#pragma once
// The core-audio interface as an input back-end: the capture thread that
// moves the captured frames into the sample rings, the render thread that
// plays the test signal, the main window's routines that open and close the
// two streams, and the input-volume guard that invalidates a calibration
// when the capture session's volume is turned.
//
// Open, close and the guard run on the main thread; each thread is ended and
// joined by the routine that closes its stream, before the stream goes.
#include <cstdint>

#include "platform/threads.h"

class TwasIn : public platform::TThread {
public:
    TwasIn() : TThread("TwasIn") {}
    ~TwasIn() override { Stop(); }

protected:
    void Execute() override;
};

class TwasOut : public platform::TThread {
public:
    TwasOut() : TThread("TwasOut") {}
    ~TwasOut() override { Stop(); }

protected:
    void Execute() override;
};

// Converts frames of the capture format into the rings from the write
// position on and publishes them. bits 16, 24 or 32; other depths convert
// nothing. measureRight: the measuring microphone is on the right channel.
void ConvertCaptureFrames(const uint8_t* data, uint32_t frames, int32_t bits, bool mono, bool measureRight);

// Opens and starts the capture stream of wasIn and its thread; sets the
// input-running bit on success.
void OpenWasapiIn();
// Ends the capture thread, then stops and releases the stream.
void CloseWasapiIn();
// Opens and starts the render stream of wasOut and its thread; sets the
// output-running bit on success.
void OpenWasapiOut();
// Clears the output-running bit, ends the render thread, then stops and
// releases the stream.
void CloseWasapiOut();

// The interface is WASAPI and its device object exists.
bool IsWASAudio();
// True when the interface is not WASAPI or the capture session's volume is
// the one of the last calibration (of the measurement start while one
// runs); otherwise warns and answers false.
bool CheckInputVolume();
// Notification 259 from the capture session: 3 (state) nothing, otherwise
// the warning at once.
void WasSessionEvent(intptr_t lParam);
// Invalidates the calibration and the location store's input volume while
// idle (and tells the user); during a measurement only an event message.
void InputVolumeWarning();

#pragma once
// The one switch for the sound-card input, whatever the interface: start and
// stop by the interface mode (0 wave, 1 ASIO, 2 WASAPI), the crash marker
// IOStart around the opening of a device, the shared state the back-ends
// write and the readers read, the input assignment (1 measuring input, 3
// measuring and reference input), the device texts and the audio
// information window. All of it runs on the main thread and is part of the
// main window's work; the ASIO and WASAPI back-ends, the test-signal output
// and the default store are reached through audio_peers.h.
#include <QString>

#include <cstdint>

struct MainWindowFields;

// Starts the input of the interface mode; always completes and answers true.
// While a measurement runs the write position and the readers are left as
// they are, so no sample already counted is counted again.
bool StartAudioIn(bool withOutput);
// Stops input and output of the interface mode; nothing when neither runs.
void StopAudioIn();
// The input device stopped delivering: marks the input stopped and tells the
// main window with the audio-failure notification, which stops and saves a
// running measurement. Safe from a device's own thread.
void ReportLostInputDevice();
void RestartAudioWithOutput();
// Restarts the input when the assignment changes (a second input that cannot
// be used falls back to 1).
void ChangeInputAssign(int32_t assignment);
bool CanUseSecondIn();
// The reference microphone is on the right.
bool IsRefRechts();
// A fresh, zeroed recording ring.
void AllocRecordingRing();
// Puts the audio events into their unsignalled starting state; the locks
// exist for the program's life.
void CreateAudioSyncObjects();

// Refreshes the device description while the input runs (and stores it as
// the sound-card text), posts notification 15 and answers the description
// (empty while the input is off).
QString UpdateSoundLabel();
QString WaveDeviceText();
QString AsioDeviceText();
QString WasapiDeviceText();
QString CalDeviceInfoText();
// The audio information window of the main menu.
void Soundkarten1Click();

// Part of the settings loader: a marker IOStart left by a program that ended
// inside a device open switches to the wave interface with no input device.
// Answers whether it did.
bool ApplyLeftoverIOStart(MainWindowFields& fields);

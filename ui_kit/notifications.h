#pragma once
// The window messages of the program and the codes of its notification
// message. Worker threads, callbacks, web requests and dialogs never touch the
// main window's controls: they post a notification and the main window acts
// on it on the GUI thread, ignoring codes it does not know.
#include <cstdint>

#include "platform/window_messages.h"

inline constexpr uint32_t WM_MAIN_NOTIFY = platform::WM_APP + 0xB3;   // wParam code, lParam argument
inline constexpr uint32_t WM_INPUT_RUNNING = platform::WM_APP + 0xB0; // wParam 324, lParam runState
inline constexpr uint32_t WM_ASIO_RESET = platform::WM_APP + 0xB2;    // lParam driver message
inline constexpr uint32_t WM_MIDI_INPUT = platform::WM_APP + 0xB6;    // wParam kind, lParam data

inline constexpr uintptr_t kInputRunningCode = 324;

// Notification codes (wParam of WM_MAIN_NOTIFY).
enum NotifyCode : uintptr_t {
    kNotifyGraphRedraw = 2,
    kNotifySampleRateChanged = 3,
    kNotifyBringToFront = 4,
    kNotifyVuClip = 5,
    kNotifyInputAssign = 8,
    kNotifyMaxText = 11,
    kNotifyClockTick = 14,
    kNotifyCalStatus = 15,
    kNotifyVuRefresh = 16,
    kNotifyAudioFailure = 17,
    kNotifyTestSignalSwitch = 18,
    kNotifyTestSignalLevel = 19,
    kNotifyOpenFileInViewer = 20,
    kNotifyInfoAnswer = 21,
    kNotifyViewerClosed = 22,
    kNotifyVuLayout = 25,
    kNotifyNewEventData = 26,
    kNotifyCalStatusDevice = 27,
    kNotifyHintsCancel = 28,
    kNotifyHintsSave = 29,
    kNotifyDeviceLine = 31,
    kNotifyPeakPopup = 32,
    kNotifyPresetFileNamed = 40,
    kNotifyBlockProtocol = 42,
    kNotifyNewValues = 45,
    kNotifyNewPeakMax = 46,
    kNotifyNewSaveRecord = 47,
    kNotifyNewLeqMax = 48,
    kNotifyBlockClosed = 49,
    kNotifyStatusText = 50,
    kNotifyGraphCursor = 51,
    kNotifyPlannedDurationReached = 52,
    kNotifyWebClients = 53,
    kNotifyLeqOverLimit = 54,
    kNotifyPeakState = 55,
    kNotifyLeqKState = 56,
    kNotifyLeqState = 57,
    kNotifyLanguage = 71,
    kNotifyThreadFailure = 72,
    kNotifyRecorderEnded = 74,
    kNotifyGraphRepaint = 256,
    kNotifyForceValueRedraw = 257,
    kNotifyPeriodicBackup = 258,
    kNotifySessionEvent = 259,
    kNotifyShowHints = 294,
    kNotifyEndDialogDone = 295,
    kNotifyVerifyAfterMeasurement = 296,
    kNotifyDisplayElementChosen = 322,
    kNotifyStatusLine = 323,
    kNotifyArtNetSwitch = 512,
    kNotifyArtNetSetup = 513,
    // The calibration wizard and its remote state.
    kNotifyCalWizardStatus = 264,
    kNotifyCalIpState = 265,
    // The remark editor's and the log table's end.
    kNotifyCalLogEditDone = 297,
    kNotifyCalTableDone = 298,
};

// Arguments of kNotifyNewValues: only a finished 125 ms block counts as new values.
inline constexpr intptr_t kNewValuesBlock = 15;
inline constexpr intptr_t kNewValuesAudioStart = 5;
inline constexpr intptr_t kNewValuesTestSignal = 7;

// Argument of kNotifyShowHints from the end-of-measurement dialog: the
// editor opens just below that dialog.
inline constexpr intptr_t kShowHintsBelowEndDialog = 5;

// Arguments of kNotifyThreadFailure: what failed.
inline constexpr intptr_t kThreadFailureCalculation = 0;   // the calculation thread ended by a failure
inline constexpr intptr_t kThreadFailureRecord = 1;        // a save record could not be formed
inline constexpr intptr_t kThreadFailureRecorder = 2;      // the WAV recorder failed
inline constexpr intptr_t kThreadFailureRefusedSetup = 3;  // the calculation refused its set-up and waits idle
inline constexpr intptr_t kThreadFailureVuMeter = 4;       // the VU meter thread ended by a failure
inline constexpr intptr_t kThreadFailureClock = 5;         // the clock thread ended by a failure

// Posts a notification to the main window, only while it is ready to take
// one; answers whether it was posted.
bool PostMainNotify(uintptr_t code, intptr_t argument);

// Posts a notification to the main window whether or not it is ready; a post
// that finds no window is dropped.
bool PostMainNotifyAlways(uintptr_t code, intptr_t argument);

// Lets a worker thread whose body failed report it as notification 72 with
// the thread's failure code.
void InstallThreadFailureNotification();

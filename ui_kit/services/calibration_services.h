#pragma once
// What the lower parts use of the calibration and correction subsystem besides
// the clock (clock.h): the location store's input-volume mark, the
// calibration-status check and the open correction wizard. The subsystem
// implements CalibrationServices and registers it at start; before that the
// accessor answers nullptr and callers skip the call.
//
// The wizards need nothing further here: the calibration wizard writes the
// capture volume into MainWindowFields::KalWasVol, and the correction wizard
// asks for the test signal with notifications 18 and 19 to the main window.
#include <cstdint>

#include "platform/date_time.h"
#include "platform/window_messages.h"

class CalibrationServices {
public:
    virtual ~CalibrationServices() = default;

    // Marks the location store's input volume as unknown (65551) and the
    // store for saving, under the store's own lock; nothing without a store.
    virtual void InVolInvalid() = 0;

    // Re-derives the calibration and device status the main window shows
    // (1 ready, 2 calibration needed, 3 and 6 corrections missing, 4 audio
    // input stopped, 5 reference microphone not usable or due). GUI thread.
    virtual void CheckCalStatus() = 0;

    // The open correction wizard, which takes notification 259 when the
    // capture volume changed; 0 while it is closed.
    virtual platform::WindowHandle CorrectionWizardWindow() = 0;

    // --- What the measurement start asks (GUI thread) ---

    // Sets the three calculator offsets (appliedCalOffset) from the default
    // store's calibration and corrections. The caller holds the start/stop lock.
    virtual void ApplyCalibration() = 0;
    // Runs the correction wizard for the default store, or only brings an
    // open location-text editor to the front; modal.
    virtual void DoKorrektur() = 0;
    // The pre-start information dialog for the calibration time and the
    // target-file check: 1 cancel, 2 start, 3 calibrate, 4 measurement
    // options, 5 data entry.
    virtual int32_t ShowStartInfo(platform::TDateTime calTime, int32_t fileCheck) = 0;
    // The headroom warning when a monitored peak limit is out of reach:
    // 0 start, 1 cancel, 3 calibrate.
    virtual int32_t CheckHeadroom() = 0;
    // The main window's calibration action.
    virtual void RunCalibration() = 0;
};

// The registered implementation, or nullptr before the subsystem started.
CalibrationServices* calibrationServices();
void RegisterCalibrationServices(CalibrationServices* services);

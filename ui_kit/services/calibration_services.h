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
};

// The registered implementation, or nullptr before the subsystem started.
CalibrationServices* calibrationServices();
void RegisterCalibrationServices(CalibrationServices* services);

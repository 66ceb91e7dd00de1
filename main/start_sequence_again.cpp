// The start sequence run again on an answer of the information window. It
// brings an idle program into its idle state once more: the audio input is
// restarted from the stored device settings, so a running measurement, a
// start under way, an open calibration or correction wizard (both measure
// the input) or a sequence still waiting in one of its own questions is
// left alone.
#include "main/main_window.h"

void TVTProMaster::RunStartSequenceAgain() {
    if (!formCreated_ || startSequenceRuns_ || tryToStart_ || GetMessungLaeuft()) return;
    if (hCal_ != nullptr || hKF_ != nullptr) return;
    startSequenceRuns_ = true;
    // The sequence reads the stored settings back: what so far lives only in
    // memory (placement, layout, the basic settings) is written first.
    SaveSettingsOnExit();
    InitAfterCreate();
    startSequenceRuns_ = false;
}

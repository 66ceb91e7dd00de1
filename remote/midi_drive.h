#pragma once
// How the main window's run drives the MIDI outputs: the reset of the status
// notes and controllers when a measurement's data are prepared, the level
// controllers on every value update, and whether controller output is
// allowed. It reads the run state, the current peak and its calibration
// offset through the main window's services and the last fetched Leq values
// from the shared display values. GUI thread.
#include <cstdint>

class TVtMidi;

class TMidiDrive {
public:
    void ResetMidiOutputs(TVtMidi& midi);
    void SendMidiLevels(TVtMidi& midi);
    void UpdateMidiCCEnable(TVtMidi& midi);
    bool CCAllowed() const { return doMidiCC_; }

    // The controller level of a peak amplitude (full scale 1.0) in whole dB:
    // 30 dB, which sends 0, without an amplitude.
    static int32_t PeakLevel(double amplitude, double offset);

private:
    bool doMidiCC_ = false;
};

#pragma once
// The MIDI output as the main window sees it: status notes for the three
// monitored quantities, level controllers and the feedback note of a
// measurement's start and stop. The MIDI subsystem implements MidiServices
// and registers it when its output object exists; before that the accessor
// answers nullptr and the main window sends nothing. GUI thread.
#include <cstdint>

class MidiServices {
public:
    virtual ~MidiServices() = default;

    // A new state of a quantity: 0 normal, 1 warning, 2 over the limit.
    virtual void SendPeakStatus(int32_t state) = 0;
    virtual void SendLeqStatus(int32_t state) = 0;
    virtual void SendLeqKStatus(int32_t state) = 0;
    // Level controller slot 0..4 with a level in whole dB (3 the highest Leq,
    // 4 the highest peak of the measurement).
    virtual void SendCC(int32_t slot, int32_t level) = 0;
    // Feedback of the measurement: 1 started, 2 stopped. True when sent.
    virtual bool SendStatusInfo(int32_t status) = 0;

    // --- The main window's drive of the outputs ---
    // The normal-range notes on, the others off, every controller at 0, and
    // the normal range counted as signalled.
    virtual void ResetMidiOutputs() = 0;
    // The three level controllers from the main window's last values (each
    // value update).
    virtual void SendMidiLevels() = 0;
    // Controller output allowed from now on; its latches are reset when it
    // was not allowed before.
    virtual void UpdateMidiCCEnable() = 0;
};

// The registered MIDI output, or nullptr while there is none.
MidiServices* MidiObject();
void RegisterMidiObject(MidiServices* midi);

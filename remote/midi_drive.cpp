#include "remote/midi_drive.h"

#include <algorithm>
#include <cmath>

#include "remote/vt_midi.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int32_t kLeqController = 0;
constexpr int32_t kLeqKController = 1;
constexpr int32_t kPeakController = 2;
constexpr int32_t kMaxLeqController = 3;
constexpr int32_t kMaxPeakController = 4;
constexpr int32_t kSilentLevel = 30;  // gives controller value 0

// Whole dB, halves to even; a level no controller can show (not finite, far
// out of range) is held at a bound instead of overflowing the conversion.
int32_t WholeDb(double level) {
    if (!std::isfinite(level)) return kSilentLevel;
    return static_cast<int32_t>(std::nearbyint(std::clamp(level, -1000.0, 1000.0)));
}

}  // namespace

int32_t TMidiDrive::PeakLevel(double amplitude, double offset) {
    if (!(amplitude > 0.0)) return kSilentLevel;
    return WholeDb(20.0 * std::log10(amplitude) + offset);
}

void TMidiDrive::ResetMidiOutputs(TVtMidi& midi) {
    for (int32_t normal : {0, 3, 6}) midi.SendOutStatus(normal, true);
    for (int32_t other : {1, 2, 4, 5, 7, 8}) midi.SendOutStatus(other, false);
    // The device now shows the normal range; a later change must be measured
    // against that, not against what was signalled before the reset.
    midi.ForgetSignalledStates();
    midi.ResetCCLatches();
    for (int32_t controller : {kMaxLeqController, kMaxPeakController, kLeqController, kLeqKController, kPeakController})
        midi.SendCC(controller, 0);
}

void TMidiDrive::SendMidiLevels(TVtMidi& midi) {
    MainWindowServices* window = mainWindowServices();
    if (!doMidiCC_ || window == nullptr) return;
    const bool running = window->GetMessungLaeuft();
    if (running) midi.SendCC(kLeqController, WholeDb(dispLeq.load()));
    if (midi.GetRunOnly() && !running) return;
    midi.SendCC(kLeqKController, WholeDb(dispLeqK.load()));
    midi.SendCC(kPeakController, PeakLevel(window->GetCPeak(), window->GetKorr(2)));
}

void TMidiDrive::UpdateMidiCCEnable(TVtMidi& midi) {
    const bool was = doMidiCC_;
    doMidiCC_ = true;
    if (!was) midi.ResetCCLatches();
}

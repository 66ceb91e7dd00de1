// The main window's handlers of the notification message. Workers, callbacks
// and dialogs post a code and an argument; the handler runs here, on the GUI
// thread, in the order of the posts.
#include "audio/audio_device_setup.h"
#include "audio/audio_start_stop.h"
#include "main/graph_view.h"
#include "main/main_window.h"
#include "main/vu_meter_view.h"
#include "store/measurement_store.h"
#include "ui_kit/info_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int32_t kInfoAnswerChangeDisplay = 3;
constexpr int32_t kInfoAnswerCalibrate = 6;
constexpr int32_t kInfoAnswerAudioSetup = 1;
constexpr int32_t kInfoAnswerStartSequence = 7;
constexpr int32_t kInfoAnswerStartSequenceToo = 8;

}  // namespace

void TVTProMaster::RegisterNotifications() {
    // A changed assignment restarts the input and rebuilds the meter's layout.
    dispatch_.Add(kNotifyInputAssign, [](int32_t assignment) { ChangeInputAssign(assignment); });
    dispatch_.Add(kNotifyClockTick, [this](int32_t) {
        zeitSpeicher_ = platform::SystemLocalNow();
        RepaintTickPanels();
    });
    dispatch_.Add(kNotifyVuRefresh, [this](int32_t) {
        if (vuView_) vuView_->PaintBuffer();
    });
    dispatch_.Add(kNotifyInfoAnswer, [this](int32_t answer) { InfoAnswer(answer); });
    dispatch_.Add(kNotifyVuLayout, [this](int32_t) {
        if (vuView_) vuView_->RebuildVuScale();
    });
    dispatch_.Add(kNotifyNewEventData, [this](int32_t) {
        if (TDaten* store = defaultDaten.load()) store->InitValues();
        if (TKorrLocation* locations = LocationStore()) locations->Clear();
        ApplyRunSettings();
    });
    dispatch_.Add(kNotifyDeviceLine, [](int32_t) { UpdateSoundLabel(); });
    dispatch_.Add(
        kNotifyNewValues,
        [this](int32_t argument) {
            if (argument == kNewValuesBlock) calcRestartedLast_ = false;  // the calculation works again
            UpdateValues(argument == kNewValuesBlock);
        },
        true);
    dispatch_.Add(kNotifyStatusText, [this](int32_t) {
        if (pbInfoMessung_) pbInfoMessung_->Invalidate();
    });
    dispatch_.Add(kNotifyThreadFailure, [this](int32_t code) { ReportThreadFailure(code); });
    dispatch_.Add(kNotifyStatusLine, [this](int32_t) {
        if (pbStatus_) pbStatus_->Invalidate();
    });
    // The level graph: 2 renders the display copy, 51 and 256 show the result.
    dispatch_.Add(
        kNotifyGraphRedraw,
        [this](int32_t) {
            if (graphView_) graphView_->RedrawGraph();
        },
        true);
    for (uintptr_t repaint : {kNotifyGraphCursor, kNotifyGraphRepaint}) {
        dispatch_.Add(
            repaint,
            [this](int32_t) {
                if (graphView_) graphView_->RepaintGraph();
            },
            true);
    }
    dispatch_.Add(kNotifyForceValueRedraw, [this](int32_t) { ForceValueRedraw(); });
    RegisterRunNotifications();
    RegisterEventNotifications();
    dispatch_.Add(kNotifyDisplayElementChosen, [this](int32_t answer) { DisplayElementChosen(answer); });
    RegisterRemoteNotifications();
    RegisterCalibrationNotifications();
    RegisterAudioNotifications();
    RegisterCorrectionNotifications();
    RegisterViewerNotifications();
}

// The measurement run: storing, stopping, the end dialog and the limit states.
void TVTProMaster::RegisterRunNotifications() {
    dispatch_.Add(kNotifyNewSaveRecord, [this](int32_t id) { StoreNewValues(id); });
    dispatch_.Add(kNotifyPeriodicBackup, [this](int32_t) { PeriodicBackup(); });
    dispatch_.Add(kNotifyBlockClosed, [this](int32_t block) { BlockClosed(block); });
    dispatch_.Add(kNotifyBlockProtocol, [this](int32_t index) { WriteBlockProtocol(index); });
    dispatch_.Add(kNotifyPlannedDurationReached, [this](int32_t mode) {
        if (GetMessungLaeuft()) StopMessung(mode);
    });
    dispatch_.Add(kNotifyAudioFailure, [this](int32_t) { AudioFailureStop(); });
    dispatch_.Add(kNotifyHintsCancel, [this](int32_t) { EndHinweise(false); });
    dispatch_.Add(kNotifyHintsSave, [this](int32_t) { EndHinweise(true); });
    dispatch_.Add(kNotifyShowHints, [this](int32_t position) { ShowHintsEditor(position); });
    dispatch_.Add(kNotifyEndDialogDone, [this](int32_t) { FinishFromEndDialog(1); });
    dispatch_.Add(kNotifyNewPeakMax, [this](int32_t) { TakeMaxPeak(); });
    dispatch_.Add(kNotifyNewLeqMax, [this](int32_t) { TakeMaxLeq(); });
    dispatch_.Add(kNotifyPeakState, [this](int32_t state) { PeakState(state); });
    dispatch_.Add(kNotifyLeqKState, [this](int32_t state) { LeqKState(state); });
    dispatch_.Add(kNotifyLeqState, [this](int32_t state) { LeqState(state); });
}

void TVTProMaster::WMMainNotify(uintptr_t code, intptr_t argument) {
    if (observeNotifications_) observeNotifications_(code, argument);
    dispatch_.Dispatch(code, argument, leaving_);
}

void TVTProMaster::InfoAnswer(int32_t code) {
    // These two keep the window that asked open while the start sequence runs.
    if (code == kInfoAnswerStartSequence || code == kInfoAnswerStartSequenceToo) {
        RunStartSequenceAgain();
        return;
    }
    CloseInfoWindow();
    if (code == kInfoAnswerChangeDisplay) SelectDisplayElement(pickArea.load());
    if (code == kInfoAnswerCalibrate) RunCalibration();
    if (code == kInfoAnswerAudioSetup) aSelectSCExecute();
}

void TVTProMaster::CloseInfoWindow() {
    if (TinfoWindow* window = infoWindow.exchange(nullptr)) {
        window->hide();
        window->deleteLater();
    }
}

void TVTProMaster::UpdateVuLayout() {
    PostMainNotify(kNotifyVuLayout, 0);
    PostMainNotify(kNotifyVuRefresh, 5);
}

void TVTProMaster::DrawVuLabels() {
    if (vuView_) vuView_->RebuildVuScale();
}

// The loudest-location search: while it is on, the value displays hold the
// slow RMS maximum of one microphone (the measuring or the reference one)
// and the test signal can sound, so the operator walks the venue to find the
// place the correction wizard should measure. The two settings-menu items
// switch it; every run that needs the input for itself ends it first.
#include <QAction>

#include "audio/test_signal.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kStatusSearch = 1;
constexpr int32_t kStatusMeasuring = 2;
constexpr intptr_t kDisplaysRefresh = 8;

}  // namespace

void TVTProMaster::WireLoudestLocationSearch() {
    const std::pair<const char*, bool> items[] = {{"lsMic", false}, {"lsRef", true}};
    for (const auto& [name, reference] : items) {
        QAction* item = CalAction(name);
        if (item == nullptr) continue;
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, reference] { FindPeakClick(reference); });
    }
    SetFindPeak(false);
}

// A click on the active microphone's item ends the search; a click on the
// other one switches the microphone and starts the search anew.
void TVTProMaster::FindPeakClick(bool reference) {
    const bool onWithOther = fields_.isFindPeak.load() && fields_.useRefForLLF.load() != reference;
    if (!onWithOther) fields_.isFindPeak.store(!fields_.isFindPeak.load());
    fields_.useRefForLLF.store(reference);
    if (fields_.isFindPeak.load()) StartFindPeak();
    else EndFindPeak();
    PostFindPeakState();
}

void TVTProMaster::StartFindPeak() {
    ResetFindPeak();
    testSignalOn.store(false);
    ApplyCalibration();
    ResetFindPeak();
    fields_.statusMessung.store(kStatusSearch);
    SetFindPeak(true);
    // Switching the microphone keeps the output playing: opening a running
    // output again would re-arm buffers its device thread is still playing.
    if (!IsOutputRunning()) StartPinkNoise();
    RefreshValueDisplays();
}

void TVTProMaster::EndFindPeak() {
    StopAudioOut();
    // The switch's own notification arrives after the run state below has
    // left the search and would be refused, so the sound goes off here.
    testSignalOn.store(false);
    PostMainNotify(kNotifyTestSignalSwitch, 0);
    if (GetMessungLaeuft()) fields_.statusMessung.store(kStatusMeasuring);
    else ResetStatusMessung();
    const TDaten* store = messDaten.load();
    SetStatusInfo(2, store != nullptr ? store->GetSaveName() : QStringLiteral("---"));
    SetFindPeak(false);
}

void TVTProMaster::PostFindPeakState() {
    PostMainNotify(kNotifyCalStatus, 0);
    PostMainNotify(kNotifyNewValues, kDisplaysRefresh);
}

void TVTProMaster::SetFindPeak(bool on) {
    fields_.isFindPeak.store(on);
    if (pbMitte_ == nullptr) return;
    pbMitte_->setToolTip(GetLangText(on ? 1119 : 1118));
    pbMitte_->Invalidate();
}

// Every run that takes the input or the output for itself ends the search
// the same way its own item does, so neither the output nor the search's run
// state outlives it: a run state left at "search" would let a remote switch
// sound the test signal with no search on.
void TVTProMaster::StopFindPeak() {
    if (!fields_.isFindPeak.load()) return;
    EndFindPeak();
    PostFindPeakState();
}

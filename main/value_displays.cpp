// The main window's value displays: the four display areas, the peak display
// beside the level meter, and notification 45, which fetches the current
// values and repaints them.

#include "audio/value_reader.h"
#include "main/main_window.h"
#include "main/vu_meter_view.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/shared_state.h"

void TVTProMaster::BuildValueDisplays() {
    InitCaptionFormat();
    displayReadings_ = std::make_unique<TEngineDisplayReadings>();
    pbTop_->setObjectName(QStringLiteral("pbTop"));

    TDisplayAreas::Hooks areaHooks;
    areaHooks.running = [this] { return GetMessungLaeuft(); };
    areaHooks.isFindPeak = [this] { return fields_.isFindPeak.load(); };
    areaHooks.drawIcon = IconPainter();
    areaHooks.showAreaInfo = [this](int32_t area, QPoint global) { ShowAreaInfo(area, global); };
    areaHooks.resetRmsPeak = [] {
        if (TWertCreate* reader = wertCreate.load()) reader->ResetRMSPeak();
    };
    areaHooks.resetRmsPeakP = [] {
        if (TWertCreate* reader = wertCreate.load()) reader->ResetRMSPeakP();
    };
    areaHooks.resetFindPeak = [this] { ResetFindPeak(); };
    areaHooks.afterTopLayout = [this] {
        if (peakDisplay_) peakDisplay_->FitPeakFont();
    };
    const auto drawIcon = areaHooks.drawIcon;
    displayAreas_ = std::make_unique<TDisplayAreas>(pbTop_, pbMitte_, std::move(areaHooks));

    TPeakDisplay::Hooks peakHooks;
    peakHooks.running = [this] { return GetMessungLaeuft(); };
    peakHooks.isFindPeak = [this] { return fields_.isFindPeak.load(); };
    peakHooks.currentPeak = [this] { return GetCPeak(); };
    peakHooks.blockPeak = [] {
        const TWertCreate* reader = wertCreate.load();
        return reader != nullptr ? reader->GetCurrentBlockPeak() : 0.0;
    };
    peakHooks.drawIcon = drawIcon;
    peakHooks.setStatusInfo = [this](int32_t slot, const QString& text) { SetStatusInfo(slot, text); };
    peakDisplay_ = std::make_unique<TPeakDisplay>(pbPeakDisplay_, fields_.OutLevelDB, std::move(peakHooks));

    vuView_->korrOn = [this] { return korrOn; };
    vuView_->paintPeakDisplay = [this] {
        if (peakDisplay_) peakDisplay_->ShowPeakC();
    };
}

void TVTProMaster::UpdateValues(bool full) {
    if (!displayAreas_) return;
    displayAreas_->isShowProgress = settings_.showProgress;
    if (full) {
        workers_->FetchLeqAndCheck();
        workers_->FetchPeakAndCheck();
        workers_->FetchLeqKAndCheck();
        workers_->FetchLeqK();
        workers_->FetchLeq120();
        workers_->FetchLeqFull();
        displayAreas_->LatchLeqBar(dispLeqFill.load());
        CheckAllAutoFront();
        if (MidiServices* midi = MidiObject()) midi->SendMidiLevels();
    }
    // Only what changed is drawn again in the top areas: this runs every 125 ms.
    displayAreas_->RepaintValues();
    displayAreas_->ClearLeqBarLatch();
}

void TVTProMaster::RefreshValueDisplays() {
    if (displayAreas_) displayAreas_->RefreshValueDisplays();
}

void TVTProMaster::ForceValueRedraw() {
    if (displayAreas_) displayAreas_->MarkTopStale();
    PostMainNotify(kNotifyNewValues, kNewValuesAudioStart);
}

void TVTProMaster::ResetFindPeak() {
    if (!fields_.isFindPeak.load()) return;
    if (TWertCreate* reader = wertCreate.load()) {
        reader->ResetRMSPeak();
        reader->ResetRMSPeakP();
    }
}

// Bringing the current preset and the program settings into force, the
// set-up the calculation reads, the event list and the reports of worker
// failures.
#include <QAction>
#include <QMenu>
#include <QPainter>

#include <cmath>
#include <exception>

#include "audio/calculation_thread.h"
#include "audio/vu_meter_thread.h"
#include "main/graph_view.h"
#include "main/main_window.h"
#include "reports/print_settings.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/display_texts.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kDefaultSaveIntervalSec = 10;

int32_t WholeDb(double level) { return static_cast<int32_t>(std::nearbyint(level)); }

}  // namespace

void TVTProMaster::ApplyRunSettings() {
    if (TVTPresetHandler* handler = presetHandler.load()) {
        curPreset = handler->GetPreset(-1);
        leqColorMode.store(curPreset.leqColorMode);
    }
    calcSetup_.TakeFrom(curPreset);
    if (TDaten* store = defaultDaten.load()) store->SetNKS(curPreset.naKoS);
    ApplyPresetLimits();
    ResetVuPeakLatch();
    ResetRunValues();
    refusedSetupReported_ = false;
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    // The lower info area and the block table show the preset's labels and limits.
    if (infoPanels_) infoPanels_->RepaintAll();
    ReloadCalLog();
}

void TVTProMaster::ApplyPresetLimits() {
    TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    const auto& leq = curPreset.messungen[kPresetEntryLeq];
    const auto& leqK = curPreset.messungen[kPresetEntryLeqK];
    const auto& peak = curPreset.messungen[kPresetEntryPeak];
    try {
        store->SetWarnPeak(WholeDb(peak.Gelb));
        store->SetMaxPeak(WholeDb(peak.Rot));
        store->SetWarnLEQ(WholeDb(leq.Gelb));
        store->SetMaxLEQ(WholeDb(leq.Rot));
        store->SetWarnLeqK(WholeDb(leqK.Gelb));
        store->SetMaxLeqK(WholeDb(leqK.Rot));
        store->SetLEQDauer(leq.Dauer);
        store->SetFilter(0, leq.Filter);
        store->SetLEQKurzDauer(leqK.Dauer);
        store->SetFilter(1, leqK.Filter);
        store->SetPeakWerte(peak.Dauer);
        store->SetFilter(2, peak.Filter);
    } catch (const std::exception& e) {
        // The store keeps what it accepted; the operator learns which preset
        // value it refused instead of measuring against a half-applied one.
        AddEventMessage(QString::fromUtf8(e.what()), false, true);
    }
}

void TVTProMaster::ResetVuPeakLatch() {
    std::lock_guard guard(workers_->StartStopLock());
    if (TVuThread* vu = workers_->VuThread()) vu->resetPeakLatch();
}

void TVTProMaster::ResetMidiOutputs() {
    // The last-sent level states live with the MIDI output; without one
    // there is nothing to send and nothing to forget.
    if (MidiServices* midi = MidiObject()) midi->ResetMidiOutputs();
}

void TVTProMaster::ResetRunValues() {
    std::lock_guard guard(workers_->StartStopLock());
    dispMaxLeq.store(0.0);
    dispMaxLeqTime.store(0.0);
    dispMaxLeqK.store(0.0);
    dispMaxLeqKTime.store(0.0);
    ResetMidiOutputs();
}

void TVTProMaster::ReportThreadFailure(int32_t code) {
    switch (code) {
    case kThreadFailureCalculation:
        AddEventMessage(QStringLiteral("Calcer Global Crash"), true, true);
        // A calculation that fails again before it produced one block would
        // fail the same way after every restart.
        if (calcRestartedLast_) return;
        workers_->StartCalcer();
        calcRestartedLast_ = true;
        AddEventMessage(QStringLiteral("Calcer Global Restart"), true, true);
        return;
    case kThreadFailureRecord:
        AddEventMessage(QStringLiteral("Record Data Problem"), true, true);
        return;
    case kThreadFailureRecorder:
        AddEventMessage(QStringLiteral("Record First Assign Crash"), true, true);
        ForgetEndedRecorders();
        return;
    case kThreadFailureRefusedSetup:
        // The engine waits idle until the settings change; once is enough.
        if (refusedSetupReported_) return;
        refusedSetupReported_ = true;
        AddEventMessage(QStringLiteral("Calculation set-up refused: the preset's windows cannot be measured"), true,
                        true);
        return;
    case kThreadFailureVuMeter:
        AddEventMessage(QStringLiteral("VU meter thread failure: the level meter stands still"), true, true);
        return;
    case kThreadFailureClock:
        AddEventMessage(QStringLiteral("Clock thread failure: the clock line stands still"), true, true);
        return;
    default:
        return;
    }
}

double TVTProMaster::GetKorr(int32_t quantity) {
    return quantity >= 0 && quantity <= 2 ? appliedCalOffset[quantity].load() : -1.0;
}

int32_t TVTProMaster::GetPeakSamples() { return calcSetup_.peakSamples.load(); }

int32_t TVTProMaster::GetSamplesLeqKurz() { return LeqBlocksOf(calcSetup_.leqKDauer.load(), false); }

int32_t TVTProMaster::GetLeqSamples() { return LeqBlocksOf(calcSetup_.leqDauer.load(), true); }

int32_t TVTProMaster::GetFilter(int32_t quantity) {
    return quantity >= 0 && quantity <= 2 ? calcSetup_.filter[quantity].load() : 4;
}

int32_t TVTProMaster::GetSaveIntervalSec() {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? store->GetDrawInterval() : kDefaultSaveIntervalSec;
}

int32_t TVTProMaster::GetInterval() const {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? store->GetDrawInterval() : 0;
}

int32_t TVTProMaster::GetMessDauerMin() {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? store->GetMessDauer() : 0;
}

double TVTProMaster::GetCPeak() { return workers_ ? workers_->CurrentPeak() : 0.0; }

void TVTProMaster::AddEventMessage(const QString& text, bool tray, bool box) {
    try {
        TDaten* running = GetMessungLaeuft() ? messDaten.load() : nullptr;
        if (running != nullptr) {
            running->AddSms(text);
            if (pbInfoMessung_) pbInfoMessung_->Invalidate();
        } else if (box) {
            AskMessage(text, 0, 861, 0, 0, 1054, this);
        }
        events_.Add(CorrectedNow(), text);
        RefreshEventZoom(true);
        if (tray && running != nullptr) ShowTrayEvent(text);
    } catch (...) {
        // Reporting an event must never stop the caller.
    }
}

void TVTProMaster::ApplyLanguage(int32_t lang, bool force) {
    if (lang != 1 && lang != 2) return;
    if (!force && lang == language.load()) return;
    SetGuiLabels(lang, force);
    printSettings().printOutLangId = lang;
    if (fileMenu_) fileMenu_->setTitle(GetLangText(384));
    if (exitAction_) exitAction_->setText(GetLangText(208));
    if (resetSettingsAction_) resetSettingsAction_->setText(GetLangText(852));
    if (measureMenu_) measureMenu_->setTitle(GetLangText(224));
    if (startAction_) startAction_->setText(GetLangText(225));
    if (stopAction_) stopAction_->setText(GetLangText(227));
    ShowLanguageRunStatus();
    if (infoPanels_) infoPanels_->RepaintAll();
}

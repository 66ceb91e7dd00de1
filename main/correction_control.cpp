// The main window's side of the location corrections: the location store's
// life and its idle save, the correction run with the wizard, its remote
// state for the web display, and the start-up question about stored
// corrections.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopeGuard>

#include "audio/calculation_thread.h"
#include "audio/test_signal.h"
#include "audio/wasapi_devices.h"
#include "calibration/calculation_sums.h"
#include "calibration/correction_wizard_window.h"
#include "calibration/location_text_editor.h"
#include "main/main_window.h"
#include "platform/user_dialogs.h"
#include "main/vu_meter_view.h"
#include "main/web_display.h"
#include "main/wizard_host.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kCodeEditKorrDone = 293;
constexpr int32_t kCodeKorrIpState = 301;
constexpr int32_t kStatusRemoteWizard = 5;
constexpr int32_t kStatusWizard = 6;
constexpr int32_t kCorrectionPeakWindow = 6000;  // 125 ms at 48 kHz
constexpr int32_t kCorrectionLeqKSeconds = 10;

}  // namespace

// --- the location store ---

void TVTProMaster::CreateLocationStore() {
    korrLocation_ = std::make_unique<TKorrLocation>(fields_.basisPfad);
    korrLocation.store(korrLocation_.get());
    // Changed locations reach the file when the event loop has nothing left to do.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { SaveLocationsWhenIdle(); });
    }
}

void TVTProMaster::SaveLocationsWhenIdle() {
    TKorrLocation* store = korrLocation_.get();
    if (store == nullptr || !store->NeedSave()) return;
    if (!store->CheckAndSave()) AddEventMessage(store->TakeReport(), false, false);
}

// Freed after the web server stopped: its threads read the store while a
// remote client follows the wizard.
void TVTProMaster::FreeLocationStore() {
    if (!korrLocation_) return;
    korrLocation.store(nullptr);
    if (!korrLocation_->Finish()) AddEventMessage(korrLocation_->TakeReport(), false, false);
    korrLocation_.reset();
}

// The start-up question: stored corrections are offered for clearing unless
// a measurement was running when the program ended.
void TVTProMaster::StartUpCorrectionQuestion(bool laeuft) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr || laeuft || !settings_.checkKorrStart || settings_.autoStart) return;
    const bool values = store->GetKorr(1) != 0.0 || store->GetKorr(2) != 0.0 || store->GetKorr(4) != 0.0;
    const bool locations = korrLocation_ && korrLocation_->GetLocCount() > 0;
    if (!values && !locations) return;
    if (AskMessageIds(266, 101, 1012, 0, 939, this) == platform::kMessageLeft) ClearKorrValues();
}

// --- notifications and actions ---

void TVTProMaster::RegisterCorrectionNotifications() {
    dispatch_.Add(kCodeEditKorrDone, [this](int32_t accepted) { EditKorrDone(accepted > 0); });
    dispatch_.Add(kCodeKorrIpState, [this](int32_t on) { SetKorrIpState(on > 0); });
}

void TVTProMaster::WireCorrectionActions() {
    if (QAction* getKorr = CalAction("aGetKorr")) {
        connect(getKorr, &QAction::triggered, this, [this] { aGetKorrExecute(); });
    }
    WireLoudestLocationSearch();
}

void TVTProMaster::SetKorrIpState(bool on) {
    if (hKF_ != nullptr) fields_.statusMessung.store(on ? kStatusRemoteWizard : kStatusWizard);
}

platform::WindowHandle TVTProMaster::CorrectionWizardHandle() const { return hKF_ != nullptr ? hKF_->Handle() : 0; }

void TVTProMaster::aGetKorrExecute() {
    if (hEditKorr_ != nullptr) {
        hEditKorr_->raise();
        hEditKorr_->activateWindow();
        return;
    }
    try {
        DoKorrektur();
    } catch (const std::exception& error) {
        AddEventMessage(QStringLiteral("The correction run failed: %1").arg(QString::fromLocal8Bit(error.what())), false,
                        true);
    }
}

// --- the correction run ---

KorrEnvironment TVTProMaster::CorrectionEnvironment() {
    KorrEnvironment env;
    env.host = &WizardHostInUse();
    env.store = korrLocation_.get();
    korrSums_.reset();
    if (TCalcer* calculation = calcer.load()) korrSums_ = std::make_unique<TCalcerSums>(*calculation);
    env.sums = korrSums_.get();
    env.outputRunning = IsOutputRunning();
    env.waveOutId = fields_.waveOutID.load();
    // Only the shared-mode interface has session volumes; elsewhere every volume check passes.
    if (fields_.IOMode.load() == 2 && wasAudio_ != nullptr) {
        env.sessionVolumes = true;
        env.captureVolume = [this] { return wasAudio_->GetInVol(); };
        env.renderVolume = [this] { return wasAudio_->GetOutVol(); };
    }
    if (const TDaten* store = defaultDaten.load()) {
        env.calM = store->GetCalVal();
        env.calR = store->GetVMicCalVal();
        env.immissionText = store->GetKorrText(1);
    }
    env.allowDirectEntry = AllowKorrCalc;
    return env;
}

void TVTProMaster::PrepareCorrectionWizard(TKorrWizard& wizard) {
    const TDaten& store = *defaultDaten.load();
    const QRect main = frameGeometry();
    const QPoint centred(static_cast<int>(std::nearbyint(main.left() + (main.width() - wizard.width()) * 0.5)),
                         static_cast<int>(std::nearbyint(main.top() + (main.height() - wizard.height()) * 0.5)));
    wizard.move(FitRectToWorkArea(QRect(centred, wizard.size())));
    TaKorr& core = wizard.Core();
    const int32_t status = fields_.StatusID.load();
    core.SetMode(inputAssign.load() == 3 && (status == 1 || status == 3), store.GetMinKorrSpl(), store.GetMusicKorr());
    core.SetEOrtText(store.GetKorrText(8));
    if (store.GetKorrArt() == kKorrDirect) core.SetDirectInfo(store.GetKorrText(1), store.GetKorrText(2), store.GetKorrText(4));
    core.SetKorrCalcText(store.GetKorrCalcText());
    core.SetKorrEText(store.GetKorrText(8));
    core.SetCorrMode(store.GetKorrArt());
    const QString copied = store.GetCopyKorFrom();
    core.SetCorrFileName(!copied.isEmpty() && QFileInfo::exists(copied) ? copied : fields_.userPfad);
    const int32_t weightings[3] = {1, 2, 4};
    for (int32_t i = 0; i < 3; ++i) wizard.DirectField(i)->setText(FixedSignificant(store.GetKorr(weightings[i]), 4, 2));
    core.UseIp(bKorIpState_);
}

// Whatever way the run ends, the preset, the displays, the calculation and
// the output are as they were before it.
void TVTProMaster::RestoreAfterCorrectionRun(const TVTPreset& saved) {
    ShowRunten();
    raise();
    curPreset = saved;
    RefreshValueDisplays();
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    korrOn = false;
    ResetStatusMessung();
    StopAudioOut();
    PostMainNotify(kNotifyCalStatus, 0);
    canSetForeGround_ = true;
}

void TVTProMaster::TakeCorrectionResult(TKorrWizard& wizard, int result) {
    TDaten& store = *defaultDaten.load();
    if (result == QDialog::Accepted) {
        wizard.Core().SetKorrResults(store);
        ApplyCalibration();
        ShowKorrStatus();
        if (!store.SaveToFile(defaultDatenDatei_, QString()))
            AddEventMessage(QStringLiteral("The default store could not be saved after the correction run."), false, true);
    } else if (const int32_t method = wizard.Core().GetCancelMode(); method != kKorrNone) {
        store.SetKorrArt(method);
    }
}

void TVTProMaster::DoKorrektur() {
    if (hKF_ != nullptr || defaultDaten.load() == nullptr) return;
    // The search stops its output, so it ends before the wizard's output starts.
    StopFindPeak();
    StartPinkNoise();
    canSetForeGround_ = false;
    HideRunten();
    const TVTPreset saved = curPreset;
    auto restore = qScopeGuard([this, &saved] { RestoreAfterCorrectionRun(saved); });
    curPreset.messungen[2].Dauer = kCorrectionPeakWindow;
    curPreset.messungen[2].Filter = 2;
    curPreset.messungen[1].Dauer = kCorrectionLeqKSeconds;
    curPreset.messungen[1].Filter = 1;
    korrOn = true;
    if (vuView_) vuView_->update();

    auto wizard = std::make_unique<TKorrWizard>(CorrectionEnvironment(), GetTreeBasePath(), this);
    hKF_ = wizard.get();
    auto release = qScopeGuard([this] {
        if (webDisplay_) webDisplay_->WizardSources().correction = nullptr;
        hKF_ = nullptr;
    });
    if (webDisplay_) {
        webDisplay_->WizardSources().correction = [this] {
            TWebKorWizardPanel panel;
            if (hKF_ == nullptr) return panel;
            panel.open = true;
            panel.window = hKF_->Handle();
            panel.ipEnabled = hKF_->Core().IsIpEnabled();
            panel.useIP = hKF_->Core().GetUseIP();
            panel.webString = hKF_->Core().GetWebString();
            return panel;
        };
        wizard->onStateChanged = [this] {
            if (webDisplay_) webDisplay_->Publish();
        };
    }
    PrepareCorrectionWizard(*wizard);
    wizard->raise();
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    const int result = wizard->exec();
    TakeCorrectionResult(*wizard, result);
    bKorIpState_ = wizard->Core().GetUseIP();
}

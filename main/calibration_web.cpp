// What the web clients see of the calibration: the wizard's remote getters
// while it is open, otherwise the log's mean and the check-level difference.
// The web display copies these into its snapshot on the main thread, so the
// server's threads never touch the wizard or the log.
#include "calibration/calibration_log.h"
#include "calibration/calibration_wizard.h"
#include "main/main_window.h"
#include "main/web_display.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"

void TVTProMaster::ConnectCalibrationToWeb() {
    if (!webDisplay_) return;
    TWebWizardSources& sources = webDisplay_->WizardSources();
    sources.kalStatus = [this] { return kalStatus_; };
    sources.calibration = [this] { return CalibrationPanel(); };
    sources.calLog = [] {
        TWebCalLogPanel panel;
        const TCalLog* log = calLog.load();
        if (log == nullptr) return panel;
        panel.exists = true;
        panel.mean = log->GetAverage();
        if (const TDaten* store = defaultDaten.load()) panel.checkLevelDifference = store->GetOffDif();
        return panel;
    };
}

TWebCalWizardPanel TVTProMaster::CalibrationPanel() const {
    TWebCalWizardPanel panel;
    if (hCal_ == nullptr) return panel;
    const TKalibrierungCore& core = hCal_->Core();
    panel.open = true;
    panel.ipEnabled = core.IpEnabled();
    panel.window = hCal_->Handle();
    panel.crestFactor = core.GetCrest();
    panel.level = core.GetMaxDb();
    panel.remainingSeconds = core.GetProz();
    panel.microphoneId = core.GetMicId();
    panel.warningText = core.GetInfoText();
    return panel;
}

void TVTProMaster::PublishCalibrationStatus(int32_t status) {
    kalStatus_ = status;
    if (webDisplay_) webDisplay_->Publish();
}

// The main window's side of the calibration: the calculator offsets derived
// from the stored calibration and corrections, the correction data kept in
// the default store, the calibration log's life, and the services the lower
// parts reach all of it through.
#include <QAction>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

#include "calibration/calibration_log.h"
#include "calibration/location_text_editor.h"
#include "calibration/calibration_log_edit.h"
#include "main/main_window.h"
#include "platform/registry.h"
#include "store/measuring_preset.h"
#include "ui_kit/startup_settings.h"
#include "store/measurement_store.h"
#include "store/preset_handler.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"
#include "audio/calculation_thread.h"

namespace {

constexpr double kLowestCalValue = 40.0;
constexpr double kHighestCalValue = 200.0;
constexpr double kInvalidCalValue = 120.0;
constexpr double kLargestDeviation = 30.0;
constexpr double kDefaultRefVal = 94.0;
constexpr int32_t kCalValidBit = 1;
constexpr int32_t kKorrValidBit = 2;
constexpr int32_t kLocationOfImmissionText = 725;
const QString kCalLogName = QStringLiteral("CalLog.VTL");
const QString kFolderName = QStringLiteral("Veltaro_2026");
const QString kOldFolderName = QStringLiteral("Veltaro_2025");
constexpr std::array<int32_t, 3> kWeightings{1, 2, 4};
constexpr std::array<int32_t, 4> kKorrIds{1, 2, 4, 8};

bool IsUsableDeviation(double value) { return std::isfinite(value) && std::fabs(value) <= kLargestDeviation; }

class TMainCalibrationServices : public CalibrationServices {
public:
    explicit TMainCalibrationServices(TVTProMaster& window) : window_(window) {}
    void InVolInvalid() override {
        if (TKorrLocation* store = window_.LocationStore()) store->InVolInvalid();
    }
    void CheckCalStatus() override { window_.CheckCalStatus(); }
    platform::WindowHandle CorrectionWizardWindow() override { return window_.CorrectionWizardHandle(); }
    void ApplyCalibration() override { window_.ApplyCalibration(); }
    void DoKorrektur() override { window_.aGetKorrExecute(); }
    int32_t ShowStartInfo(platform::TDateTime calTime, int32_t fileCheck) override {
        return window_.ShowStartInfo(calTime, fileCheck);
    }
    int32_t CheckHeadroom() override { return window_.CheckHeadroom(); }
    void RunCalibration() override { window_.RunCalibration(); }

private:
    TVTProMaster& window_;
};

}  // namespace

// --- The services and their wiring ---

void TVTProMaster::StartCalibrationServices() {
    calibrationServices_ = std::make_unique<TMainCalibrationServices>(*this);
    // A test that brought its own calibration services keeps them.
    if (calibrationServices() == nullptr) RegisterCalibrationServices(calibrationServices_.get());
}

void TVTProMaster::EndCalibrationServices() {
    if (OwnsCalibration()) RegisterCalibrationServices(nullptr);
}

bool TVTProMaster::OwnsCalibration() const {
    return calibrationServices_ != nullptr && calibrationServices() == calibrationServices_.get();
}

QAction* TVTProMaster::CalAction(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

void TVTProMaster::RegisterCalibrationNotifications() {
    dispatch_.Add(kNotifyCalStatus, [](int32_t) {
        if (CalibrationServices* calibration = calibrationServices()) calibration->CheckCalStatus();
    });
    dispatch_.Add(kNotifyCalWizardStatus, [this](int32_t status) { PublishCalibrationStatus(status); });
    dispatch_.Add(kNotifyCalIpState,
                  [this](int32_t on) { fields_.statusMessung.store(on > 0 && hCal_ != nullptr ? 3 : 6); });
    dispatch_.Add(kNotifyVerifyAfterMeasurement, [this](int32_t) { VerifyAfterMeasurement(); });
    dispatch_.Add(kNotifyCalLogEditDone, [this](int32_t mode) { CalLogEditDone(mode); });
    dispatch_.Add(kNotifyCalTableDone, [this](int32_t) { CalTableDone(); });
}

void TVTProMaster::WireCalibrationActions() {
    ConnectCalibrationToWeb();
    if (QAction* action = CalAction("aPegel"))
        connect(action, &QAction::triggered, this, [this] { CalibrateUnlessEditingLocations(false); });
    if (QAction* action = CalAction("miShowCalList")) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, [this] { ShowCalTable(); });
    }
    if (QAction* action = CalAction("miVerify")) {
        // Offered whenever the status shows it (the status check hides it).
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, [this] { CalibrateUnlessEditingLocations(true); });
    }
}

// An open location-text editor holds the correction run's texts; it comes to
// the front instead of a calibration starting underneath it.
void TVTProMaster::CalibrateUnlessEditingLocations(bool isVerification) {
    if (TEditKorr* editor = LocationEditor()) {
        editor->raise();
        editor->activateWindow();
        return;
    }
    DoKalibrierung(true, isVerification);
}

// Start-up steps: the correction line, the microphone configuration and the
// offsets; answers whether the reminders are due.
void TVTProMaster::StartUpCorrectionStatus() {
    if (!OwnsCalibration()) return;
    ShowKorrStatus();
    // The audio device dialog of a program without a chosen interface is the
    // audio set-up's; here only the configuration of a chosen one is set.
    if (fields_.IOMode.load() != -1) SetMicConfig(false, inputAssign.load() == 3);
}

bool TVTProMaster::StartUpApplyCalibration() {
    if (!OwnsCalibration()) return false;
    return (ApplyCalibration() & kCalValidBit) != 0;
}

// --- Offsets ---

double TVTProMaster::ReadRefVal() {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey)) return kDefaultRefVal;
    const std::optional<double> value = reg.ReadFloat(QStringLiteral("RefVal"));
    return value && std::isfinite(*value) ? *value : kDefaultRefVal;
}

int32_t TVTProMaster::ApplyCalibration() {
    canSetForeGround_ = false;
    TDaten* store = defaultDaten.load();
    if (store == nullptr) return 0;
    bool calValid = true;
    bool korrValid = true;
    const double calValue = store->GetCalVal();
    if (!std::isfinite(calValue) || calValue < kLowestCalValue || calValue > kHighestCalValue) {
        store->SetCalVal(kInvalidCalValue);
        store->SetCalTime(0.0);
        calValid = false;
    }
    if (!IsUsableDeviation(store->GetOffValVor())) {
        store->SetOffValVor(0.0);
        store->SetOffTimeVor(0.0);
    }
    if (!IsUsableDeviation(store->GetOffValNach())) {
        store->SetOffValNach(0.0);
        store->SetOffTimeNach(0.0);
    }
    for (int32_t weighting : kWeightings) {
        if (!IsValidLevel(store->GetKorr(weighting))) korrValid = false;
    }
    if (!korrValid) ResetKorrData();

    const double cal = store->GetCalVal();
    for (int32_t quantity = 0; quantity < 3; ++quantity) {
        const double korr = store->GetKorr(curPreset.messungen[quantity].Filter);
        appliedCalOffset[quantity].store(cal + (IsValidLevel(korr) ? korr : 0.0));
    }
    const bool refMic = fields_.useRefForLLF.load() && inputAssign.load() == 3;
    rmsCalOffset.store(refMic ? store->GetVMicCalVal() : cal);
    PostMainNotify(kNotifyCalStatus, 0);

    if (!calValid || !korrValid) {
        QString text;
        if (!calValid) {
            text += GetLangText(105) + QStringLiteral("\r\n") + GetLangText(106) + QStringLiteral("\r\n\r\n");
        }
        if (!korrValid) text += GetLangText(107) + QStringLiteral("\r\n") + GetLangText(108);
        AskMessage(text, 0, 101, 0, 0, 1126, this);
    }
    ShowKorrStatus();
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    canSetForeGround_ = true;
    return (calValid ? kCalValidBit : 0) | (korrValid ? kKorrValidBit : 0);
}

// --- Correction data ---

void TVTProMaster::ResetKorrData() {
    if (TDaten* store = defaultDaten.load()) {
        for (int32_t id : kKorrIds) {
            store->SetKorrTime(id, 0.0);
            store->SetKorrVal(id, 0.0);
        }
        for (int32_t weighting : kWeightings) store->SetKorrText(weighting, GetLangText(kLocationOfImmissionText));
        store->SetKorrArt(-1);
    }
    if (TKorrLocation* locations = LocationStore()) locations->Clear();
    ShowKorrStatus();
}

void TVTProMaster::ClearKorrValues() {
    if (TDaten* store = defaultDaten.load()) {
        for (int32_t weighting : kWeightings) store->SetKorrVal(weighting, 0.0);
        for (int32_t id : kKorrIds) store->SetKorrText(id, QString());
    }
    ResetKorrData();
    PostMainNotify(kNotifyCalStatus, 0);
}

void TVTProMaster::ShowKorrStatus() {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    auto value = [](double v) { return QLocale().toString(v, 'f', 1); };
    SetStatusInfo(1, GetLangText(116) + value(store->GetKorr(1)) + QStringLiteral("dB, ") + GetLangText(115) +
                         value(store->GetKorr(2)) + QStringLiteral("dB"));
    if (pbStatus_) pbStatus_->update();
}

// --- The calibration log ---

QString TVTProMaster::CalLogFile() const { return fields_.basisPfad + QLatin1Char('/') + kCalLogName; }

// The log object lives as long as the window: the web server's threads may
// hold it at any moment, so a settings apply saves and reloads it in place.
void TVTProMaster::InitCalLog() {
    TCalLog* log = calLog.load();
    if (log == nullptr) {
        calLogOwner_ = std::make_unique<TCalLog>();
        log = calLogOwner_.get();
        calLog.store(log);
    }
    const QString appData = QFileInfo(fields_.basisPfad).path();
    const QString documents = QFileInfo(fields_.userPfad).path();
    const QString candidates[] = {CalLogFile(), appData + QLatin1Char('/') + kOldFolderName + QLatin1Char('/') + kCalLogName,
                                  fields_.userPfad + QLatin1Char('/') + kCalLogName,
                                  documents + QLatin1Char('/') + kOldFolderName + QLatin1Char('/') + kCalLogName};
    for (const QString& candidate : candidates) {
        if (!QFileInfo::exists(candidate)) continue;
        log->LoadData(candidate);
        const QString damage = log->DamageReport();
        if (!damage.isEmpty()) AddEventMessage(damage, false, true);
        return;
    }
    log->ClearAll();
}

bool TVTProMaster::SaveCalLog() {
    TCalLog* log = calLog.load();
    if (log == nullptr) return true;
    QString why;
    if (log->SaveData(CalLogFile(), &why)) return true;
    AddEventMessage(QStringLiteral("The calibration log could not be saved: %1").arg(why), false, true);
    return false;
}

void TVTProMaster::ReloadCalLog() {
    // A log that could not be written keeps its entries in memory rather
    // than being read back over them.
    if (calLog.load() != nullptr && !SaveCalLog()) return;
    InitCalLog();
}

void TVTProMaster::FinishCalLog() {
    // The table and the editors write into the log: they go before the log does.
    CalTableDone();
    CalLogEditDone(TCalLogEdit::kFromTable);
    if (formCreated_) EndCalLog();
    calLog.store(nullptr);
    calLogOwner_.reset();
}

bool TVTProMaster::EndCalLog() {
    if (calLog.load() == nullptr) return true;
    if (!SaveCalLog()) return false;
    calLog.store(nullptr);
    calLogOwner_.reset();
    return true;
}

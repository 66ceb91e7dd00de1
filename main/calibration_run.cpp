// One calibration or verification run: the calculation is prepared for the
// wizard, the wizard runs modally, an accepted result goes into the default
// store and the calibration log, and the remark editor and the question
// about old corrections follow. Whatever happens inside, the offsets, the
// preset windows and the displays are restored before the run returns.
#include <QPointer>

#include <cmath>
#include <exception>
#include <stdexcept>

#include "audio/audio_start_stop.h"
#include "audio/calculation_thread.h"
#include "audio/wasapi_devices.h"
#include "calibration/calibration_log_edit.h"
#include "calibration/calibration_table.h"
#include "calibration/calibration_wizard.h"
#include "main/display_areas.h"
#include "main/main_window.h"
#include "main/wizard_host.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kRefVerifyBefore = 3;
constexpr int32_t kRefVerifyAfter = 4;
constexpr int32_t kRefNewest = 5;
constexpr int32_t kKalPosCalibration = 1;
constexpr int32_t kKalPosVerifyBefore = 3;
constexpr int32_t kKalPosVerifyAfter = 4;
constexpr int32_t kCalibrationLeqKSeconds = 10;
constexpr int32_t kCalibrationPeakSamples = 2;
constexpr int32_t kTopDisplayRefresh = 2;
constexpr int32_t kStatusWithLogo = 6;
constexpr int32_t kStatusRemark = 7;
constexpr int32_t kCopyModeKept = 6;
constexpr double kRealDate = 10.0;

// Runs its action when it goes out of scope, however that happens.
class ScopeGuard {
public:
    explicit ScopeGuard(std::function<void()> action) : action_(std::move(action)) {}
    ~ScopeGuard() {
        try {
            action_();
        } catch (...) {
            // A restore that fails leaves nothing better to do here.
        }
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

private:
    std::function<void()> action_;
};

}  // namespace

// --- menu entries ---

void TVTProMaster::RunCalibration() { DoKalibrierung(true, false); }

void TVTProMaster::VerifyAfterMeasurement() {
    DoKalibrierung(false, true);
    TDaten* store = defaultDaten.load();
    TDaten* run = messDaten.load();
    if (store == nullptr || run == nullptr) return;
    run->SetOffTimeNach(store->GetOffTimeNach());
    run->SetOffValNach(store->GetOffValNach());
    if (hEOM_ && store->GetOffTimeNach() > kRealDate) {
        hEOM_->SetKalDone(store->GetOffTimeNach(), store->GetOffValNach());
        hEOM_->Show();
    }
}

// --- the run ---

void TVTProMaster::PrepareCalibrationRun() {
    StopFindPeak();
    fields_.statusMessung.store(kStatusWithLogo);
    canSetForeGround_ = false;
    for (auto& offset : appliedCalOffset) offset.store(0.0);
    if (displayAreas_) displayAreas_->showNoVals = true;
    PostMainNotify(kNotifyForceValueRedraw, kTopDisplayRefresh);
    RefreshValueDisplays();
}

void TVTProMaster::ForceCalibrationWindows() {
    curPreset.messungen[kPresetEntryLeqK].Dauer = kCalibrationLeqKSeconds;
    curPreset.messungen[kPresetEntryPeak].Dauer = kCalibrationPeakSamples;
    calcSetup_.TakeFrom(curPreset);
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    ResetVuPeakLatch();
}

void TVTProMaster::RestoreAfterCalibration(int32_t leqKSeconds, int32_t peakSamples) {
    curPreset.messungen[kPresetEntryLeqK].Dauer = leqKSeconds;
    curPreset.messungen[kPresetEntryPeak].Dauer = peakSamples;
    calcSetup_.TakeFrom(curPreset);
    ResetVuPeakLatch();
    ApplyCalibration();
    if (displayAreas_) displayAreas_->showNoVals = false;
    canSetForeGround_ = true;
    PostMainNotify(kNotifyNewValues, 3);
    PostMainNotify(kNotifyCalStatus, 0);
    if (TDaten* store = defaultDaten.load()) SaveDefaultStore(*store);
    ResetStatusMessung();
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
}

void TVTProMaster::DoKalibrierung(bool canEdit, bool isVerification) {
    if (hCal_ != nullptr || defaultDaten.load() == nullptr) return;
    PrepareCalibrationRun();
    const int32_t leqKSeconds = curPreset.messungen[kPresetEntryLeqK].Dauer;
    const int32_t peakSamples = curPreset.messungen[kPresetEntryPeak].Dauer;
    QString failure;
    {
        ScopeGuard restore([this, leqKSeconds, peakSamples] { RestoreAfterCalibration(leqKSeconds, peakSamples); });
        bool remarkOpened = false;
        try {
            remarkOpened = RunCalibrationWizard(canEdit, isVerification);
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            failure = QStringLiteral("unknown failure");
        }
        hCal_ = nullptr;
        if (!remarkOpened) {
            try {
                AfterCalLogEntry(canEdit && !isVerification);
            } catch (const std::exception& e) {
                if (failure.isEmpty()) failure = QString::fromLocal8Bit(e.what());
            }
        }
    }
    if (!failure.isEmpty()) {
        AskMessageTexts(QStringLiteral("The calibration ended with an error: %1\r\nThe previous calibration stays in force.")
                            .arg(failure),
                        GetLangText(101), QString(), GetLangText(1126), this);
    }
}

bool TVTProMaster::RunCalibrationWizard(bool canEdit, bool isVerification) {
    TDaten& store = *defaultDaten.load();
    const double r = ReadRefVal();
    if (store.GetSplRef(kRefCalibration) < 0) store.SetSplRef(kRefCalibration, r);
    auto wizard = std::make_unique<TKalibrierung>(WizardHostInUse(), calLog.load(), this);
    hCal_ = wizard.get();
    wizard->Core().SetCaptureVolumeSource([this]() -> std::optional<int32_t> {
        if (wasAudio_ == nullptr || fields_.IOMode.load() != 2) return std::nullopt;
        return wasAudio_->GetInVol();
    });
    wizard->SetCalibratorText(isVerification ? store.GetOffDeviceText() : store.GetCalText());
    wizard->SetRefVol(fields_.KalWasVol.load());

    const double r1 = store.GetSplRef(kRefCalibration);
    if (!canEdit) {
        const double ref = store.GetSplRef(kRefNewest);
        store.SetSplRef(kRefVerifyAfter, ref);
        wizard->SetMode(0, ref, store.GetLastOffTime(), 0, store.GetCalVal(), kKalPosVerifyAfter, false, 0, 0,
                        store.GetPreviousValue());
    } else if (isVerification) {
        if (store.GetSplRef(kRefVerifyBefore) < 0) store.SetSplRef(kRefVerifyBefore, r1);
        wizard->SetMode(0, store.GetSplRef(kRefVerifyBefore), store.GetCalTime(), 0, store.GetCalVal(),
                        kKalPosVerifyBefore, false, 0, 0, 0);
    } else if (inputAssign.load() == 1) {
        wizard->SetMode(0, r1, store.GetCalTime(), store.GetCalArt(), store.GetCalVal(), kKalPosCalibration, false, 0,
                        0, 0);
    } else if (inputAssign.load() == 3) {
        wizard->SetMode(1, r1, store.GetCalTime(), store.GetCalArt(), store.GetCalVal(), kKalPosCalibration, false,
                        store.GetVMicCalDate(), store.GetVMicCalVal(), 0);
    } else {
        AskMessageTexts(QStringLiteral("Invalid Mic Configuration, ID: %1").arg(inputAssign.load()),
                        QStringLiteral("Start Calibration"), QString(), GetLangText(1126), this);
    }
    wizard->EnableModeSelect(canEdit && !isVerification);
    wizard->EnableCalibratorEdit(canEdit);
    ForceCalibrationWindows();

    if (settings_.kalPosX >= 0 && settings_.kalPosY >= 0) {
        wizard->move(FitRectToWorkArea(QRect(QPoint(settings_.kalPosX, settings_.kalPosY), wizard->size())));
    } else {
        wizard->move(FitRectToWorkArea(QRect(frameGeometry().center() - wizard->rect().center(), wizard->size())));
    }
    settings_.kalPosX = wizard->x();
    settings_.kalPosY = wizard->y();
    const int result = wizard->exec();
    settings_.kalPosX = wizard->x();
    settings_.kalPosY = wizard->y();
    if (!wizard->Failure().isEmpty()) throw std::runtime_error(wizard->Failure().toStdString());
    bool remarkOpened = false;
    if (result == TKalibrierungCore::kResultAccepted || wizard->Core().GetMCG())
        remarkOpened = ApplyCalibrationResult(*wizard, result, canEdit, isVerification);
    return remarkOpened;
}

// The accepted result into the default store and the log; answers whether
// the remark editor was opened.
bool TVTProMaster::ApplyCalibrationResult(const TKalibrierung& wizard, int result, bool canEdit, bool isVerification) {
    TDaten& store = *defaultDaten.load();
    const TKalibrierungCore& core = wizard.Core();
    const double v = core.GetCalM();
    store.SetCalArt(core.GetKalArtId());
    const double ref = core.GetRefVal();
    fields_.KalWasVol.store(kVolumeUnknown);
    const QString text = wizard.GetCalibratorText();
    if (isVerification) {
        store.SetOffDeviceText(text);
        if (canEdit) store.SetSplRef(kRefVerifyBefore, ref);
        store.SetSplRef(kRefVerifyAfter, ref);
    } else {
        store.SetCalText(text);
        store.SetRechMax(v);
        for (int32_t id : {kRefVerifyBefore, kRefVerifyAfter, kRefCalibration}) store.SetSplRef(id, ref);
    }
    const double delta = v - store.GetCalVal();
    RememberCalibrationInput();

    int32_t logMode = kCalModeCalibration;
    if (!canEdit) {
        store.SetOffTimeNach(core.GetCTM());
        store.SetOffValNach(delta);
        logMode = kCalModeVerifyAfter;
    } else {
        store.SetOffDeviceText(text);
        if (isVerification) {
            store.SetOffTimeVor(core.GetCTM());
            store.SetOffValVor(delta);
            logMode = kCalModeVerifyBefore;
        } else {
            store.SetCalTime(core.GetCTM());
            store.SetCalVal(v);
            if (result == TKalibrierungCore::kResultAccepted && CanUseSecondIn() && inputAssign.load() == 3) {
                store.SetVMicCal(core.GetCalR());
                store.SetVMicCalTime(core.GetCTR());
            }
        }
    }
    store.SetCopyMode(store.GetCopyMode() & kCopyModeKept);
    SaveDefaultStore(store);

    TCalLog* log = calLog.load();
    if (core.OnlyRef() || core.GetKalArtId() != 0 || log == nullptr) return false;
    const QString remark = CalLogPresetText();
    const double volume = fields_.KalWasVol.load();
    if (logMode == kCalModeCalibration) {
        log->AddKal(v, text, remark, fields_.CurrentDeviceName, logMode, volume, 0);
    } else {
        log->AddOff(delta, text, remark, fields_.CurrentDeviceName, logMode, volume, 0);
    }
    SaveCalLog();
    if (!NeedsCalLogRemark(canEdit, core.GetCalLogDif())) return false;
    PostMainNotify(kNotifyCalWizardStatus, kStatusRemark);
    OpenCalLogEdit(canEdit, isVerification);
    return true;
}

void TVTProMaster::RememberCalibrationInput() {
    const int32_t mode = fields_.IOMode.load();
    settings_.kalIODev = fields_.CurrentDeviceName;
    fields_.KalIOMode.store(mode);
    switch (mode) {
    case 0:
        fields_.KalIOID.store(static_cast<int32_t>(fields_.waveInID.load()));
        fields_.KalC1.store(fields_.Kanal.load());
        break;
    case 1:
        settings_.kalASIOIn = fields_.asioKanalLabel;
        settings_.kalAsioGuid = fields_.AsioGuid.toString();
        break;
    case 2:
        if (wasAudio_ != nullptr) {
            const TDevInfo info = wasAudio_->GetInInfo();
            settings_.kalWasIn = info.Guid;
            fields_.KalWasVol.store(wasAudio_->GetInVol());
            wasInMono.store(info.isMono);
        }
        fields_.KalC1.store(wasChannel1.load());
        break;
    default:
        break;
    }
}

// --- remark editor ---

QString TVTProMaster::CalLogPresetText() const {
    const TDaten* store = defaultDaten.load();
    if (calLog.load() == nullptr || store == nullptr || !TCalLog::IsUsePreset(clModePreset)) return QString();
    QString text;
    if (TCalLog::IsPresetVA(clModePreset)) text = store->GetVeranstaltung();
    if (TCalLog::IsPresetLocation(clModePreset)) text = JoinWithBullet(text, store->GetLocationText());
    if (TCalLog::IsPresetSigner(clModePreset)) text = JoinWithBullet(text, store->GetUnterzeichner());
    return text;
}

bool TVTProMaster::NeedsCalLogRemark(bool isPre, double delta) const {
    const TCalLog* log = calLog.load();
    return log != nullptr && log->NumEntries() > 0 && TCalLog::ShowEdit(delta, isPre ? clModePre : clModePost);
}

void TVTProMaster::OpenCalLogEdit(bool canEdit, bool isOff) {
    TCalLog* log = calLog.load();
    if (log == nullptr) return;
    const int32_t id = isOff ? log->GetLastOffId() : log->GetLastCalId(kCalFamilyCalibration);
    const bool reused = hCLE_ != nullptr;
    if (!reused) hCLE_ = new TCalLogEdit(log, [this] { SaveCalLog(); }, this);
    int32_t mode = TCalLogEdit::kAfterVerifyAfter;
    if (canEdit) mode = isOff ? TCalLogEdit::kAfterVerifyBefore : TCalLogEdit::kAfterCalibration;
    if (mode == TCalLogEdit::kAfterVerifyAfter && hEOM_) hEOM_->Hide();
    hCLE_->InitLog(id, handle_, mode);
    hCLE_->move(FitRectToWorkArea(QRect(frameGeometry().center() - hCLE_->rect().center(), hCLE_->size())));
    if (reused) hCLE_->raise();
    hCLE_->show();
    hCLE_->activateWindow();
}

void TVTProMaster::CalLogEditDone(int32_t mode) {
    if (hCLE_ != nullptr) {
        hCLE_->hide();
        hCLE_->deleteLater();
        hCLE_ = nullptr;
    }
    switch (mode) {
    case TCalLogEdit::kAfterCalibration:
        AfterCalLogEntry(true);
        break;
    case TCalLogEdit::kAfterVerifyBefore:
        AfterCalLogEntry(false);
        break;
    case TCalLogEdit::kAfterVerifyAfter:
        if (hEOM_) hEOM_->Show();
        AfterCalLogEntry(false);
        break;
    default:
        break;
    }
}

void TVTProMaster::AfterCalLogEntry(bool isCalibration) {
    fields_.statusMessung.store(kStatusWithLogo);
    if (isCalibration && AskClearCorrections()) ClearKorrValues();
}

bool TVTProMaster::AskClearCorrections() {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return false;
    // The location store belongs to the correction side; until it exists
    // here it holds no location.
    const bool none = store->GetKorr(1) == 0.0 && store->GetKorr(2) == 0.0 && store->GetKorr(4) == 0.0;
    if (none) return false;
    return AskMessageIds(266, 104, 1122, 0, 1127, this) == platform::kMessageLeft;
}

// --- log table ---

void TVTProMaster::ShowCalTable() {
    CalTableDone();
    hCalTable_ = new TShowCalTable(calLog.load(), [this] { SaveCalLog(); }, handle_, this);
    const QRect main = frameGeometry();
    const QPoint centred(static_cast<int>(std::nearbyint(main.left() + (main.width() - hCalTable_->width()) * 0.5)),
                         static_cast<int>(std::nearbyint(main.top() + (main.height() - hCalTable_->height()) * 0.5)));
    hCalTable_->move(FitRectToWorkArea(QRect(centred, hCalTable_->size())));
    hCalTable_->show();
}

void TVTProMaster::CalTableDone() {
    if (hCalTable_ == nullptr) return;
    hCalTable_->hide();
    hCalTable_->deleteLater();
    hCalTable_ = nullptr;
}

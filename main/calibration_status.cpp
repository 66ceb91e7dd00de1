// Whether a measurement may start: the calibration status derived from the
// running input and the stored calibration, the actions it enables, the
// switch between one and two microphones, and the reminders after start-up.
#include <QAction>

#include <cmath>
#include <exception>

#include "audio/wasapi_devices.h"
#include "audio/wasapi_streams.h"
#include "platform/user_dialogs.h"
#include "store/measuring_preset.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kReady = 1;
constexpr int32_t kCalNeeded = 2;
constexpr int32_t kKorrMissing = 3;
constexpr int32_t kInputStopped = 4;
constexpr int32_t kRefMicDue = 5;
constexpr int32_t kKorrMissingToo = 6;
constexpr int32_t kReasonDevice = 1;
constexpr int32_t kReasonChannel = 2;
constexpr int32_t kReasonVolume = 4;
constexpr int32_t kReasonAge = 8;
constexpr int32_t kReasonBackEnd = 32;
constexpr int32_t kCalValidDays = 360;
constexpr double kNeverDays = 5000.0;
constexpr uint32_t kSecondInputBit = 4;
const QString kCrLf = QStringLiteral("\r\n");

void EnableWithHint(QAction* action, bool enabled, const QString& hint) {
    if (action == nullptr) return;
    action->setEnabled(enabled);
    action->setToolTip(hint);
    action->setStatusTip(hint);
}

}  // namespace

double TVTProMaster::WholeDaysBetween(platform::TDateTime a, platform::TDateTime b) {
    return std::floor(std::fabs(a - b) + 1e-9);
}

void TVTProMaster::SetCalNeeded(int32_t reason) {
    fields_.StatusID.store(kCalNeeded);
    statusHint_ = GetLangText(192);
    fields_.noCalReason.store(reason);
}

// The reasons why the input differs from the one the calibration was made
// with; -1 when the current back-end cannot be judged (status 4).
int32_t TVTProMaster::InputDifferences() {
    const int32_t mode = fields_.IOMode.load();
    if (fields_.KalIOMode.load() != mode) return kReasonBackEnd;
    switch (mode) {
    case 0: {
        int32_t r = fields_.KalIOID.load() != fields_.waveInID.load() ? kReasonDevice : 0;
        if (fields_.KalC1.load() != fields_.Kanal.load()) r |= kReasonChannel;
        return r;
    }
    case 1: {
        int32_t r = settings_.kalASIOIn.compare(fields_.asioKanalLabel, Qt::CaseInsensitive) != 0 ? kReasonChannel : 0;
        if (QUuid::fromString(settings_.kalAsioGuid) != fields_.AsioGuid) r |= kReasonDevice;
        return r;
    }
    case 2: {
        if (wasAudio_ == nullptr) return -1;
        int32_t r = fields_.KalC1.load() != wasChannel1.load() ? kReasonChannel : 0;
        if (settings_.kalWasIn.compare(wasAudio_->GetInInfo().Guid, Qt::CaseInsensitive) != 0) r |= kReasonDevice;
        if (fields_.KalWasVol.load() != wasAudio_->GetInVol()) r |= kReasonVolume;
        return r;
    }
    default:
        return -1;
    }
}

void TVTProMaster::CheckCalStatus() {
    try {
        DeriveCalStatus();
    } catch (const std::exception&) {
        PostMainNotify(kNotifyNewEventData, 0);
    }
}

void TVTProMaster::DeriveCalStatus() {
    TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    const bool twoMics = inputAssign.load() == 3;
    statusHint_.clear();
    fields_.StatusID.store(kReady);
    if (twoMics && fields_.IOMode.load() == 1) {
        const int32_t ref = fields_.ASIOInputIDV.load();
        if (ref < 0 || ref == fields_.ASIOInputID.load()) fields_.StatusID.store(kRefMicDue);
    }
    const bool running = IsInputRunning();
    if (QAction* pegel = CalAction("aPegel")) pegel->setEnabled(running);
    if (QAction* lsMic = CalAction("lsMic")) lsMic->setEnabled(running);
    if (QAction* lsRef = CalAction("lsRef")) lsRef->setEnabled(fields_.StatusID.load() == kReady);
    QAction* getKorr = CalAction("aGetKorr");
    if (running) {
        if (!store->IsValidCal()) SetCalNeeded(kReasonAge);
    } else {
        if (getKorr) getKorr->setEnabled(false);
        statusHint_ = GetLangText(6);
        fields_.StatusID.store(kInputStopped);
    }

    int32_t status = fields_.StatusID.load();
    if (status == kReady || status == kRefMicDue) {
        const platform::TDateTime now = CorrectedNow();
        if (twoMics && status == kReady && WholeDaysBetween(now, store->GetVMicCalDate()) > kCalValidDays) {
            fields_.StatusID.store(kRefMicDue);
        }
        const int32_t reasons = InputDifferences();
        if (reasons < 0) fields_.StatusID.store(kInputStopped);
        else if (reasons > 0) SetCalNeeded(reasons);
    }

    status = fields_.StatusID.load();
    if (status == kInputStopped) {
        const bool second = (runState.load() & kSecondInputBit) != 0;
        EnableWithHint(getKorr, false, second ? GetLangText(196) : (running ? GetLangText(197) : QString()));
    } else {
        const int32_t assignment = inputAssign.load();
        QString hint;
        if (assignment == 1) hint = GetLangText(194) + DateTimeText(store->GetCalTime());
        else if (assignment == 3) hint = GetLangText(193) + DateTimeText(store->GetCalTime());
        else hint = QStringLiteral("Invalid Mic configuration, Id: %1").arg(assignment);
        if (QAction* pegel = CalAction("aPegel")) pegel->setToolTip(hint);
        statusHint_ = GetLangText(195);
    }
    const bool korrEnabled = status == kReady || status == kCalNeeded || status == kRefMicDue;
    if (getKorr) getKorr->setEnabled(korrEnabled);
    if (korrEnabled) {
        bool missing = false;
        for (int32_t quantity = 0; quantity < 3; ++quantity) {
            const int32_t protocol = curPreset.messungen[quantity].Status;
            if ((protocol == 1 || protocol == 2) && store->GetKorrTime(curPreset.messungen[quantity].Filter) < 0)
                missing = true;
        }
        if (missing) {
            fields_.StatusID.store(status == kReady ? kKorrMissing : kKorrMissingToo);
            statusHint_ = GetLangText(195);
        } else {
            statusHint_.clear();
        }
    }
    status = fields_.StatusID.load();
    EnableWithHint(freeStartAction_, true, statusHint_);
    EnableWithHint(startAction_, status == kReady || status == kRefMicDue, statusHint_);
    const bool search = fields_.isFindPeak.load();
    const bool useRef = fields_.useRefForLLF.load();
    if (QAction* lsMic = CalAction("lsMic")) lsMic->setChecked(search && !(useRef && inputAssign.load() != 1));
    if (QAction* lsRef = CalAction("lsRef")) lsRef->setChecked(search && useRef && inputAssign.load() == 3);
    if (QAction* verify = CalAction("miVerify")) verify->setVisible(status != kCalNeeded && status != kInputStopped);
}

void TVTProMaster::OnInputState(uintptr_t code, intptr_t runState) {
    if (code != kInputRunningCode) return;
    if (CalibrationServices* calibration = calibrationServices()) calibration->CheckCalStatus();
    if ((static_cast<uint32_t>(runState) & kRunInput) != 0) CheckInputVolume();
}

void TVTProMaster::ResetCalibration() {
    if (TDaten* store = defaultDaten.load()) {
        store->SetCalTime(0.0);
        store->SetOffTimeNach(0.0);
        store->SetVMicCalTime(0.0);
        store->SetCalArt(0);
    }
    ResetKorrData();
}

void TVTProMaster::SetMicConfig(bool ask, bool twoMics) {
    const bool current = inputAssign.load() == 3;
    bool choice = twoMics;
    if (ask && twoMics != current) {
        const bool apply = AskMessageIds(twoMics ? 186 : 188, 187, 939, 0, 403, this) == platform::kMessageLeft;
        if (apply) {
            if (twoMics) ResetCalibration();
            else ClearKorrValues();
        } else {
            choice = current;
        }
    }
    if (!ask || choice != current) PostMainNotify(kNotifyInputAssign, choice ? 3 : 1);
    PostMainNotify(kNotifyVuLayout, 0);
    PostMainNotify(kNotifyCalStatus, 0);
}

QString TVTProMaster::CalReminderText() const {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return {};
    const platform::TDateTime now = CorrectedNow();
    QString text;
    bool skipVerification = false;
    const platform::TDateTime calTime = store->GetCalTime();
    if (settings_.kalErinnern && calTime > 100) {
        const double days = WholeDaysBetween(now, calTime);
        if (days >= settings_.kalIntervall) {
            if (days > kNeverDays) {
                text = GetLangText(28);
                skipVerification = true;
            } else {
                text = WithTextArgument(GetLangText(1089), QString::number(days, 'f', 0)) + kCrLf + GetLangText(165) +
                       DateText(calTime) + kCrLf + GetLangText(1093) + QStringLiteral(": ") +
                       DateText(calTime + settings_.kalIntervall);
            }
        }
    }
    if (settings_.offErinnern && !skipVerification) {
        const platform::TDateTime t = std::max({store->GetOffTimeVor(), store->GetOffTimeNach(), calTime});
        const double days = WholeDaysBetween(now, t);
        if (days >= settings_.offIntervall) {
            if (!text.isEmpty()) text += kCrLf + kCrLf;
            if (days >= kNeverDays) {
                text += GetLangText(1091);
            } else {
                text += WithTextArgument(GetLangText(1090), QString::number(days, 'f', 0)) + kCrLf + GetLangText(1094) +
                        QStringLiteral(": ") + DateText(t) + kCrLf + GetLangText(1092) + QStringLiteral(": ") +
                        DateText(t + settings_.offIntervall);
            }
        }
    }
    return text;
}

void TVTProMaster::ShowCalReminder() {
    const QString text = CalReminderText();
    if (text.size() > 1) AskMessage(text, 0, 1088, 0, 0, 1126, this);
}

// The correction wizard's timed measurements and the level of its own test
// signal: waiting for the input, sampling with the level band, the errors
// that end a measurement, and the output-level ramp.
#include <cmath>

#include "calibration/correction_wizard_core.h"
#include "calibration/location_store.h"
#include "calibration/wizard_host.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kCodeTestSignal = 18;
constexpr int32_t kCodeOutputLevel = 19;
constexpr int32_t kWaitingTicksAllowed = 30;
constexpr int32_t kFirstTickMs = 1000;
constexpr int32_t kTickMs = 100;

QString Text(int32_t id) { return GetLangText(id); }

}  // namespace

QString TaKorr::RemainingText(int32_t seconds) const {
    return Text(1144).replace(QStringLiteral("%d"), QString::number(seconds));
}

void TaKorr::SetProgText(const QString& text, int32_t kind) {
    if (kind & 1) progress1_ = text;
    if (kind & 2) progress2_ = text;
}

void TaKorr::StartMessTimer() {
    immi_.warningVisible = true;
    mess_.warningVisible = true;
    llc = 0;
    messInterval_ = kFirstTickMs;
    firstStartSampling = true;
    messTimerOn_ = true;
}

void TaKorr::StopMessTimer() {
    waitCursor_ = false;
    messTimerOn_ = false;
    immi_.dualMonitorVisible = false;
    mess_.monitorVisible = false;
}

void TaKorr::StoreRunSettings() {
    TKorrLocation* store = Store();
    if (store == nullptr) return;
    store->SetSeTgVol(seOutVol_);
    if (env_.sessionVolumes) {
        store->SetOutVal(RenderVolume());
        store->SetInVal(CaptureVolume());
    }
    store->SetKorrConfig(env_.calM, env_.calR, KorrMode == kKorrTwoMics ? kModeTwoMics : kModeOneMic);
}

void TaKorr::StartImmiMeasurement() {
    SetProgText(Text(1103), 1);
    SetStepMark(IsDualMode() ? 14 : 6);
    waitCursor_ = true;
    page_ = KorrPage::tsImmi;
    immi_.placementVisible = false;
    immi_.warningVisible = true;
    immi_.levelControlsVisible = false;
    immi_.levelControlsEnabled = false;
    immi_.pinkVisible = false;
    immi_.infoVisible = false;
    nextVisible_ = false;
    checkAmpJitter = !doMusic || Duration() < 60;
    messEnd = Duration() * 10;
    progress1Visible_ = true;
    TKorrLocation* store = Store();
    if (store != nullptr && env_.sessionVolumes) {
        store->SetInVal(CaptureVolume());
        store->SetOutVal(RenderVolume());
    }
    if (store != nullptr && store->GetLocCount() == 0) StoreRunSettings();
    if (IsDualMode()) immi_.dualMonitorVisible = true;
    else mess_.monitorVisible = false;
    StartMessTimer();
}

void TaKorr::StartMessMeasurement() {
    SetProgText(Text(1103), 3);
    SetStepMark(10);
    cIndex = 8;
    page_ = KorrPage::tsMessMess;
    nextVisible_ = false;
    messEnd = Duration() * 10;
    mess_.placementVisible = false;
    mess_.hintVisible = false;
    progress2Visible_ = true;
    mess_.monitorVisible = true;
    StartMessTimer();
}

void TaKorr::MessTick() {
    if (!messTimerOn_) return;
    const bool sendLevelMoved = OutVolUnchanged() && Store() != nullptr && seOutVol_ != Store()->GetSeV();
    if (env_.sums == nullptr || env_.host == nullptr || sendLevelMoved) {
        AbortVolumeChanged(true);
        return;
    }
    if (firstStartSampling) {
        messInterval_ = kTickMs;
        latchRmsStart = env_.host->GetRMSSlow(false);
        bool start = false;
        if (KorrMode == kKorrTwoMics) {
            const double r = env_.host->GetRMSSlow(true);
            if (latchRmsStart > Amp_Thres_Start && r > Amp_Thres_Start) {
                latchRmsStart /= r;
                start = true;
            }
        } else {
            start = latchRmsStart > Amp_Thres_Start;
        }
        if (start) {
            StartSampling();
            SetProgText(RemainingText(messEnd / 10), 1);
        } else if (++llc > kWaitingTicksAllowed) {
            AbortLevelLow();
        }
        return;
    }
    if (cIndex == 8) MessSamplingTick();
    else ImmiSamplingTick();
}

void TaKorr::StartSampling() {
    env_.sums->StartGetKorr();
    firstStartSampling = false;
    messCount = 0;
}

void TaKorr::ImmiSamplingTick() {
    ++messCount;
    if (messCount < messEnd) {
        double q = env_.host->GetRMSSlow(false);
        if (IsDualMode()) {
            const double r = env_.host->GetRMSSlow(true);
            q = r > 0.0 ? q / r : 0.0;
        }
        q /= latchRmsStart;
        if (checkAmpJitter && (q < Amp_Jump_Min || q > Amp_Jump_Max)) {
            AbortLevelJump();
            return;
        }
        SetProgText(RemainingText((messEnd - messCount) / 10 + 1), 1);
        if (IsDualMode()) {
            double m[3] = {0.0, 0.0, 0.0};
            env_.sums->GetKorrVal(m[0], m[1], m[2]);
            env_.sums->GetKorrVgl(aDirectV, cDirectV, zDirectV);
            const double d = env_.host->GetKalDiv();
            const double r[3] = {aDirectV, cDirectV, zDirectV};
            for (int32_t i = 0; i < 3; ++i) SetMonitor(i, r[i] * m[i] > 0.0 ? r[i] / m[i] : kKorrInvalid, d);
        }
    }
    if (messCount >= messEnd) EndImmiMeasurement();
}

void TaKorr::MessSamplingTick() {
    ++messCount;
    if (!OutVolUnchanged()) {
        // The test signal's render volume moved since the immission
        // measurements: the pink noise now plays at another level.
        AbortVolumeChanged(true);
        return;
    }
    const double q = env_.host->GetRMSSlow(false) / latchRmsStart;
    if (q < Amp_Jump_Min || q > Amp_Jump_Max) {
        AbortLevelJump();
        return;
    }
    double m[3] = {0.0, 0.0, 0.0};
    if (env_.sums->GetKorrVal(m[0], m[1], m[2])) {
        const double me[3] = {meA, meC, meZ};
        for (int32_t i = 0; i < 3; ++i) SetMonitor(i, me[i] > 0.0 ? me[i] / m[i] : kKorrInvalid, 0.0);
    }
    if (messCount < messEnd) SetProgText(RemainingText((messEnd - messCount) / 10 + 1), 2);
    else EndMessMeasurement();
}

void TaKorr::SetMonitor(int32_t i, double ratio, double calDiff) {
    zr_[static_cast<size_t>(i)] = ratio;
    if (ratio > 0.0) {
        const double value = 20.0 * std::log10(ratio) + calDiff;
        wl_[static_cast<size_t>(i)].exchange(static_cast<int32_t>(std::nearbyint(value * 10.0)));
    }
}

double TaKorr::MonitorDb(int32_t i) const {
    const double ratio = zr_[static_cast<size_t>(i)];
    if (!(ratio > 0.0)) return kKorrInvalid;
    const double d = IsDualMode() && env_.host != nullptr ? env_.host->GetKalDiv() : 0.0;
    return 20.0 * std::log10(ratio) + d;
}

void TaKorr::EndImmiMeasurement() {
    SetProgText(Text(879), 1);
    StopMessTimer();
    meA = meC = meZ = 0.0;
    if (env_.sums != nullptr) env_.sums->StopGetKorr(meA, meC, meZ);
    meT = Now();
    nextVisible_ = true;
    immi_.warningVisible = false;
    if (IsDualMode()) {
        Post(kCodeTestSignal, 0);
        const double d = env_.host != nullptr ? env_.host->GetKalDiv() : 0.0;
        aDirectV = cDirectV = zDirectV = 0.0;
        if (env_.sums != nullptr) env_.sums->GetKorrVgl(aDirectV, cDirectV, zDirectV);
        ComputeCorrections({aDirectV, cDirectV, zDirectV}, {meA, meC, meZ}, d);
        cIndex = 27;
        CheckPositiveCorr();
        return;
    }
    const bool own = Store() != nullptr && Store()->GetUseTg();
    if (own) {
        SetInfoText1(Text(787));
        immi_.info2 = Text(1053);
    } else {
        SetInfoText1(Text(788));
        immi_.info2 = Text(611) + QStringLiteral("\r\n") + Text(612);
    }
    if (own && MainReady()) Post(kCodeOutputLevel, kMutedLevel);
    cIndex = 16;
    SetStepMark(7);
}

// Corrections: 20 log10(loud / reference) + d per weighting, 0 where a level is missing.
void TaKorr::ComputeCorrections(const std::array<double, 3>& loud, const std::array<double, 3>& reference,
                                double calDiff) {
    double* kl[3] = {&klA, &klC, &klZ};
    for (size_t i = 0; i < 3; ++i) {
        *kl[i] = loud[i] * reference[i] > 0.0 ? 20.0 * std::log10(loud[i] / reference[i]) + calDiff : 0.0;
    }
}

void TaKorr::EndMessMeasurement() {
    eGetTime = Now();
    SetProgText(Text(879), 1);
    StopMessTimer();
    aMess = cMess = zMess = -1.0;
    if (env_.sums != nullptr) env_.sums->StopGetKorr(aMess, cMess, zMess);
    const bool silent = !(aMess > 0.0) || !(cMess > 0.0) || !(zMess > 0.0);
    mess_.statusLine = silent ? Text(789) : QString();
    if (MainReady()) Send(kCodeTestSignal, 0);
    Post(kCodeTestSignal, 0);
    mess_.warningVisible = false;
    waitCursor_ = false;
    if (silent) {
        // A measuring position without audio would hand back corrections of
        // 0 dB as if they were measured.
        AbortLevelLow();
        return;
    }
    ComputeCorrections({meA, meC, meZ}, {aMess, cMess, zMess}, 0.0);
    mess_.headerVisible = true;
    nextVisible_ = true;
    CheckPositiveCorr();
}

void TaKorr::CheckPositiveCorr() {
    if (klA > 1.0 || klC > 1.0 || klZ > 1.0) {
        const double values[3] = {klA, klC, klZ};
        const int32_t labels[3] = {580, 581, 922};
        QStringList lines;
        for (int32_t i = 0; i < 3; ++i) {
            if (values[i] > 0.0) {
                lines << Text(labels[i]) + QStringLiteral(": ") + QString::number(values[i], 'f', 1) + QStringLiteral(" dB");
            }
        }
        warnHeader = Text(lines.size() >= 2 ? 959 : 786);
        warnText = lines.join(QStringLiteral("\r\n")) + Text(785);
        isWarnInfo = true;
        SetStepMark(16);
        middleVisible_ = true;
        nextVisible_ = true;
        page_ = KorrPage::tsError;
        cIndex = 28;
        return;
    }
    if (cIndex == 8) ShowResultPage();
    else if (cIndex == 27) DoNextStep();
}

void TaKorr::AbortLevelLow() {
    if (cIndex == 9 || cIndex == 15 || cIndex == 29) return;
    messTimerOn_ = false;
    warnText = Text(958);
    warnHeader = Text(933);
    isWarnInfo = false;
    errorTimerOn_ = true;
    waitCursor_ = false;
    page_ = KorrPage::tsError;
    nextVisible_ = false;
    switch (cIndex) {
    case 5: cIndex = 9; break;
    case 8: cIndex = 15; break;
    case 26: cIndex = 29; break;
    case 35: cIndex = 38; break;
    default: break;
    }
}

void TaKorr::AbortLevelJump() {
    waitCursor_ = false;
    StopMessTimer();
    Send(kCodeTestSignal, 0);
    isWarnInfo = false;
    warnHeader = Text(940);
    warnText = QString(Text(934)).replace(QStringLiteral("%s"), doMusic ? QStringLiteral("25") : QStringLiteral("3"));
    page_ = KorrPage::tsError;
    nextVisible_ = false;
    errorTimerOn_ = true;
    markRed_ = true;
    cIndex = 25;
}

void TaKorr::AbortVolumeChanged(bool pinkNoise) {
    StopMessTimer();
    levelChangeOn_ = false;
    nextVisible_ = false;
    middleVisible_ = false;
    isWarnInfo = false;
    warnHeader = Text(855);
    warnText = Text(pinkNoise ? 860 : 859);
    page_ = KorrPage::tsError;
}

void TaKorr::ErrorTick() {
    errorTimerOn_ = false;
    if (cIndex == 9 || cIndex == 15 || cIndex == 29 || cIndex == 38) middleVisible_ = true;
    else nextVisible_ = true;
}

// --- output level ---

void TaKorr::SetSpin(int32_t value) {
    const int32_t clamped = std::clamp(value, kSpinMin, kSpinMax);
    if (clamped == seOutVol_) return;
    seOutVol_ = clamped;
    if (env_.host == nullptr) return;
    if (TKorrLocation* store = Store(); store != nullptr && env_.sessionVolumes) store->SetOutVal(RenderVolume());
    if (MainReady()) Post(kCodeOutputLevel, seOutVol_);
}

void TaKorr::ShowLevelSetting() {
    middleVisible_ = true;
    Post(kCodeOutputLevel, seOutVol_);
    Post(kCodeTestSignal, 1);
    immi_.placementVisible = true;
    SetInfoText1(Text(588));
    SetStepMark(IsDualMode() ? 13 : 5);
    const TKorrLocation* store = Store();
    const bool own = store != nullptr && store->GetUseTg();
    immi_.levelControlsVisible = own;
    immi_.levelControlsEnabled = own && store->GetLocCount() == 0;
    if (store != nullptr && store->GetLocCount() > 0) seOutVol_ = store->GetSeV();
}

void TaKorr::StartLevelRamp() {
    seOutVol_ = kSpinMin;
    Send(kCodeOutputLevel, kSpinMin);
    Send(kCodeTestSignal, 1);
    levelTarget = Store() != nullptr ? Store()->GetSeV() : kSpinMin;
    levelChangeOn_ = true;
    nextVisible_ = false;
}

void TaKorr::LevelButton(int32_t target) {
    levelTarget = target;
    levelChangeOn_ = true;
}

void TaKorr::LevelMenuChoice(int32_t target) {
    if (target == levelTarget) return;
    LevelButton(target);
}

void TaKorr::SpinDoubleClick() {
    levelChangeOn_ = false;
    SetSpin(kSpinMin);
}

void TaKorr::LevelTick() {
    if (!levelChangeOn_) return;
    if (seOutVol_ < levelTarget) SetSpin(seOutVol_ + 1);
    else if (seOutVol_ > levelTarget) SetSpin(seOutVol_ - 1);
    if (seOutVol_ != std::clamp(levelTarget, kSpinMin, kSpinMax)) return;
    levelChangeOn_ = false;
    if (cIndex == 7) StartMessMeasurement();
    else if (cIndex == 35) StartImmiMeasurement();
}

#include "calibration/calibration_wizard_core.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "calibration/calibration_log.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kNotifyWizardStatus = 264;
constexpr int32_t kNotifyWizardIpState = 265;
constexpr int32_t kStatusReadyCalibrator = 0;
constexpr int32_t kStatusCheckStarted = 1;
constexpr int32_t kStatusRunStarted = 2;
constexpr int32_t kStatusRunFinished = 3;
constexpr int32_t kStatusProblem = 4;
constexpr int32_t kStatusInformation = 5;
constexpr int32_t kStatusReadyMeter = 6;
constexpr int32_t kStatusCheckPassed = 8;
constexpr int32_t kStatusCheckLow = 9;
constexpr int32_t kSamplesCalibration = 100;
constexpr int32_t kSamplesVerification = 75;
constexpr int32_t kSettleSamples = 9;
constexpr int32_t kFirstLeqSample = 61;
constexpr int32_t kGoodTicksToPass = 6;
constexpr double kLowestReference = 30.0;
constexpr double kHighestReference = 170.0;
constexpr double kMissing = -100.0;
constexpr double kNoRms = -200.0;
constexpr double kSecondsPerSample = 0.25;
const QString kCrLf = QStringLiteral("\r\n");

QString Whole(double value) { return QString::number(static_cast<int64_t>(std::trunc(value))); }

}  // namespace

TKalibrierungCore::TKalibrierungCore(WizardHost& host, const TCalLog* log)
    : host_(host), log_(log), now_([] { return platform::SystemLocalNow(); }), limitFactor_(std::pow(10.0, 0.075)) {
    lights_.fill(Light::White);
}

// --- set-up ---

void TKalibrierungCore::SetMode(int32_t newCalMode, double lastRefVal, platform::TDateTime lastCalTimeM,
                                int32_t berechnungsArt, double lastKalVal, int32_t kalPos, bool showVgl,
                                platform::TDateTime lastCalTimeR, double lastCalValR, double /*previousVal*/) {
    KALART_ = newCalMode;
    enableVgl_ = showVgl || berechnungsArt == 1;
    KalM_ = calResM_ = Last_Result_ = lastKalVal;
    KalR_ = calResR_ = lastCalValR;
    refVal_ = lastRefVal;
    Cal_Time_M_ = lastCalTimeM_ = lastCalTimeM;
    Cal_Time_R_ = lastCalTimeR;
    Kal_Pos_ = kalPos;
    Berechnungs_art_ = std::max(berechnungsArt, 0);
    DualMode_ = TwoMicConfig() ? 2 : 1;
    Restart(false);
    oldKalRef_ = refVal_;
    refValid_ = ParseReference(QLocale().toString(refVal_, 'f', 1)).has_value();
}

std::optional<double> TKalibrierungCore::ParseReference(const QString& text) {
    const QLocale locale;
    const QChar separator = locale.decimalPoint().at(0);
    const QChar other = separator == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(other)) return std::nullopt;
    QString plain = trimmed;
    plain.replace(separator, QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value) || value < kLowestReference || value > kHighestReference) return std::nullopt;
    return value;
}

// --- commands ---

void TKalibrierungCore::ControlKal(int32_t cMode) {
    switch (cMode) {
    case 0:
        StopTimers();
        tShowNext_ = false;
        modalResult_ = kResultCancelled;
        break;
    case 1:
        if (modeBRechts_ == kButtonStart) StartLevelCheck();
        break;
    case 3:
        if (RightVisible() && modeBRechts_ == kButtonApply) Accept();
        break;
    case 4:
        Repeat();
        break;
    case 5:
        StepAction();
        break;
    case 6:
        StopTimers();
        modalResult_ = kResultAccepted;
        break;
    default:
        break;
    }
}

void TKalibrierungCore::ButtonCommand(int32_t mode) {
    switch (mode) {
    case kButtonApply:
        ControlKal(3);
        break;
    case kButtonNext:
    case kButtonRepeatStep:
        ControlKal(5);
        break;
    case kButtonStart:
        ControlKal(1);
        break;
    case kButtonRepeat:
        ControlKal(4);
        break;
    default:
        break;
    }
}

void TKalibrierungCore::TalkToMe(int32_t code) {
    switch (code) {
    case 261:
        ControlKal(1);
        break;
    case 262:
        ControlKal(0);
        break;
    case 263:
        if (MiddleVisible()) MiddleButtonCommand();
        break;
    case 266:
        ControlKal(3);
        break;
    case 267:
        if (RightVisible()) RightButtonCommand();
        break;
    default:
        break;
    }
}

void TKalibrierungCore::Restart(bool fromBeginning) {
    view_ = ConnectView::Labels;
    tLevel_ = false;
    markerAlarm_ = false;
    CurrentMic_ = 1;
    if (fromBeginning || Kal_Pos_ == 1) {
        if (!TwoMicConfig()) DualMode_ = 1;
        if (enableVgl_ || TwoMicConfig()) {
            EnterChoice();
        } else {
            Berechnungs_art_ = 0;
            cIndex_ = 2;
            page_ = Page::Description;
        }
    } else {
        DualMode_ = 1;
        EnterConnect(20);
    }
    SetRight(kButtonNext);
    modeBMitte_ = kButtonHidden;
    iCCounter_ = iACounter_ = 0;
}

void TKalibrierungCore::EnterChoice() {
    cIndex_ = 1;
    page_ = Page::Choice;
    SetRight(kButtonNext);
    if (TwoMicConfig()) {
        DualMode_ = 2;
        CurrentMic_ = 1;
    }
}

void TKalibrierungCore::ChooseKind(int32_t berechnungsArt) {
    if (!enableVgl_) return;
    Berechnungs_art_ = berechnungsArt == 1 ? 1 : 0;
    if (TwoMicConfig()) {
        DualMode_ = 2;
        CurrentMic_ = 1;
    }
}

void TKalibrierungCore::ChooseMics(Mics mics) {
    if (!TwoMicConfig()) return;
    DualMode_ = mics == Mics::Both ? 2 : 1;
    CurrentMic_ = mics == Mics::ReferenceOnly ? 2 : 1;
}

TKalibrierungCore::Mics TKalibrierungCore::SelectedMics() const {
    if (DualMode_ == 2) return Mics::Both;
    return CurrentMic_ == 2 ? Mics::ReferenceOnly : Mics::MeasuringOnly;
}

void TKalibrierungCore::ShowNominalPage() {
    cIndex_ = 3;
    page_ = Berechnungs_art_ == 1 ? Page::Meter : Page::Nominal;
    view_ = ConnectView::Labels;
    EditReference(QLocale().toString(refVal_ > kMissing ? refVal_ : oldKalRef_, 'f', 1));
}

void TKalibrierungCore::EditReference(const QString& text) {
    refVal_ = kMissing;
    const std::optional<double> value = ParseReference(text);
    refValid_ = value.has_value();
    if (refValid_) refVal_ = *value;
    if (cIndex_ == 3) SetRight(refValid_ ? kButtonNext : kButtonHidden);
}

void TKalibrierungCore::SetIpControl(bool on) {
    checkUseIp_ = on;
    host_.PostToMain(kNotifyWizardIpState, on ? 1 : 0);
}

void TKalibrierungCore::EnterConnect(int32_t step) {
    cIndex_ = step;
    page_ = Page::Connect;
    view_ = ConnectView::Labels;
    SetRight(kButtonStart);
    modeBMitte_ = kButtonHidden;
    PostReadyStatus();
}

void TKalibrierungCore::StepAction() {
    switch (cIndex_) {
    case 1:
        cIndex_ = Berechnungs_art_ == 1 ? 4 : 2;
        page_ = Page::Description;
        SetRight(kButtonNext);
        break;
    case 2:
    case 4:
        ShowNominalPage();
        break;
    case 3:
        if (!refValid_) break;
        sampleCounter_ = 0;
        EnterConnect(9);
        break;
    case 15:
        if (DualMode_ != 2 || CurrentMic_ != 1) break;
        KalM_ = calResM_;
        Cal_Time_M_ = now_();
        MicCalGood_ = true;
        CurrentMic_ = 2;
        sampleCounter_ = 0;
        EnterConnect(9);
        break;
    case 19:
        if (DualMode_ == 2) EnterConnect(21);
        break;
    case 20:
        if (Berechnungs_art_ == 1) {
            ShowNominalPage();
        } else {
            sampleCounter_ = 0;
            EnterConnect(9);
        }
        break;
    case 21:
        if (view_ == ConnectView::LevelCheck && tLevel_) StartRun();
        break;
    case 257:
    case 258:
        EnterConnect(cIndex_ == 257 ? 19 : 21);
        markerAlarm_ = false;
        sampleCounter_ = 0;
        StartLevelCheck();
        break;
    case 259:
        Restart(true);
        break;
    default:
        break;
    }
}

// --- level check ---

void TKalibrierungCore::StartLevelCheck() {
    if (modeBRechts_ != kButtonStart) return;
    modeBRechts_ = modeBMitte_ = kButtonHidden;
    crestVal_ = 0.0;
    view_ = ConnectView::LevelCheck;
    lights_.fill(Light::White);
    crestShown_ = true;
    cLatch_ = lLatch_ = 0.0;
    iCCounter_ = clpos_ = 0;
    maxDb_ = -1.0;
    cIndex_ = 21;
    aClatch_.fill(0.0);
    tMess_ = false;
    tLevel_ = true;
    lowInputShown_ = false;
    iCounterShowWeiter_ = -1;
    iLowLevelBlink_ = 0;
    levelCaption_ = IsVerification() ? GetLangText(1113) : QStringLiteral("---");
    PostIpStatus(kStatusCheckStarted);
}

void TKalibrierungCore::ReadMicLevels(double& peakSquare, double& rmsLevel) {
    const bool second = CurrentMic_ == 2;
    const double peak = second ? host_.GetCPeakV() : host_.GetCPeak();
    peakSquare = peak * peak;
    const double rms = host_.GetRMSSlow(second);
    rmsLevel = rms > 0.0 ? 20.0 * std::log10(rms) : kNoRms;
}

void TKalibrierungCore::LevelTick() {
    if (!tLevel_) return;
    double p = 0.0, r = kNoRms;
    ReadMicLevels(p, r);
    cLatch_ = cLatch_ - aClatch_[clpos_] + p;
    aClatch_[clpos_] = p;
    clpos_ = (clpos_ + 1) % static_cast<int32_t>(aClatch_.size());
    ++iCCounter_;
    if (iCCounter_ <= 1) return;

    lights_.fill(Light::White);
    double m = 0.0;
    if (cLatch_ > 0.0) {
        const double level = 10.0 * std::log10(cLatch_ / 2.0);
        m = refVal_ - level;
        crestVal_ = r > kNoRms ? level - r : kNoCrest;
    } else {
        cLatch_ = 0.0;
        crestVal_ = kNoCrest;
    }
    const double a = p > 0.0 ? 10.0 * std::log10(p) : kMissing;

    if (IsVerification()) {
        const double d = log_ != nullptr ? std::fabs(log_->GetDifference(3, m)) : 0.0;
        const bool levelGood = d < 10.0;
        const bool crestGood = crestVal_ >= 2.0 && crestVal_ <= 4.0;
        if (levelGood) lights_[0] = Light::Green;
        if (crestGood) lights_[1] = Light::Green;
        if (levelGood && crestGood) {
            ++iCounterShowWeiter_;
            iLowLevelBlink_ = -1;
        } else {
            iCounterShowWeiter_ = 0;
            if (iLowLevelBlink_ == 0) {
                lights_[0] = Light::Red;
                iLowLevelBlink_ = 1;
            } else {
                lights_[1] = Light::Red;
                iLowLevelBlink_ = 0;
            }
        }
        levelStatus_ = levelGood ? 100 : 0;
        lowInputShown_ = !levelGood;
        crestShown_ = !lowInputShown_;
    } else {
        const bool bad = a < -60.0 || std::fabs(crestVal_) > 50.0;
        if (bad) {
            lowInputShown_ = true;
            crestShown_ = false;
            PostIpStatus(kStatusCheckLow);
            ++iLowLevelBlink_;
            if (iLowLevelBlink_ >= 0 && iLowLevelBlink_ <= 5) {
                lights_[static_cast<size_t>(iLowLevelBlink_)] = Light::Red;
            } else {
                iLowLevelBlink_ = -1;
            }
            modeBRechts_ = kButtonHidden;
            iCounterShowWeiter_ = -1;
            maxDb_ = kMissing;
            levelCaption_ = GetLangText(1034);
        } else {
            if (iCounterShowWeiter_ < 0) PostIpStatus(kStatusCheckStarted);
            ++iCounterShowWeiter_;
            iLowLevelBlink_ = -1;
            const double limit = host_.MaxPresetLimit();
            size_t lit = 5;
            if (m < limit - 20) lit = 0;
            else if (m < limit - 5) lit = 1;
            else if (m < limit) lit = 2;
            else if (m < limit + 5) lit = 3;
            else if (m < limit + 15) lit = 4;
            lights_[lit] = lit < 3 ? Light::Red : (lit == 3 ? Light::Yellow : Light::Green);
            maxDb_ = m;
            levelCaption_ = Whole(m) + QStringLiteral("dB");
            lowInputShown_ = false;
            crestShown_ = true;
        }
    }
    if (iCounterShowWeiter_ == kGoodTicksToPass) {
        PostIpStatus(kStatusCheckPassed);
        SetRight(kButtonNext);
    }
}

// --- measuring run ---

void TKalibrierungCore::StartRun() {
    tLevel_ = false;
    view_ = ConnectView::Run;
    crestShown_ = lowInputShown_ = false;
    cLatch_ = lLatch_ = 0.0;
    iCCounter_ = iACounter_ = 0;
    if (captureVolume_) {
        if (const std::optional<int32_t> volume = captureVolume_()) volRef_ = *volume;
    }
    maxSamples_ = IsVerification() ? kSamplesVerification : kSamplesCalibration;
    sampleCounter_ = 0;
    webTimeValue_ = static_cast<int32_t>(std::ceil(maxSamples_ * kSecondsPerSample));
    runAborted_ = false;
    tMess_ = true;
    PostIpStatus(kStatusRunStarted);
    modeBRechts_ = modeBMitte_ = kButtonHidden;
    levelCaption_.clear();
}

void TKalibrierungCore::RunTick() {
    if (!tMess_) return;
    if (captureVolume_) {
        const std::optional<int32_t> volume = captureVolume_();
        if (volume && *volume != volRef_) {
            tMess_ = false;
            modeBMitte_ = kButtonHidden;
            modeBRechts_ = kButtonRepeat;
            ShowWarningPage(GetLangText(855), GetLangText(856), false);
            return;
        }
    }
    AddCalSample();
    if (tMess_ && !runAborted_ && sampleCounter_ >= maxSamples_) FinishRun();
}

void TKalibrierungCore::AddCalSample() {
    const bool second = CurrentMic_ == 2;
    const double a = host_.GetRMSSlow(second);
    const double b = second ? host_.GetCPeakV() : host_.GetCPeak();
    const double c = host_.GetLEQCal(second);
    ++sampleCounter_;
    webTimeValue_ = static_cast<int32_t>(std::ceil((maxSamples_ - sampleCounter_) * kSecondsPerSample));
    if (sampleCounter_ == kSettleSamples) {
        cLatch_ = lLatch_ = 0.0;
        iCCounter_ = iACounter_ = 0;
        lowLimit_ = a / limitFactor_;
        highLimit_ = a * limitFactor_;
    }
    if (sampleCounter_ <= kSettleSamples) return;
    if (a < lowLimit_ || a > highLimit_) {
        AbortUnstable();
        return;
    }
    cLatch_ += b * b;
    ++iCCounter_;
    if (sampleCounter_ >= kFirstLeqSample) {
        lLatch_ += c * c;
        ++iACounter_;
    }
}

void TKalibrierungCore::AbortUnstable() {
    runAborted_ = true;
    markerAlarm_ = true;
    tMess_ = false;
    levelCaption_ = GetLangText(940);
    if (DualMode_ == 2 && CurrentMic_ == 2) cIndex_ = 257;
    else if (Kal_Pos_ == 4) cIndex_ = 259;
    else cIndex_ = 258;
    modeBMitte_ = kButtonHidden;
    modeBRechts_ = kButtonRepeatStep;
    ShowWarningPage(GetLangText(940), GetLangText(935), false);
}

void TKalibrierungCore::FinishRun() {
    tMess_ = false;
    PostIpStatus(kStatusRunFinished);
    // Without signal the run's band is [0, 0] and every sample passes it;
    // such a run yields no calibration.
    if (!(cLatch_ > 0.0 && iCCounter_ > 0 && lLatch_ > 0.0 && iACounter_ > 0)) {
        modeBRechts_ = kButtonHidden;
        modeBMitte_ = kButtonRepeat;
        ShowWarningPage(GetLangText(604), GetLangText(Berechnungs_art_ == 1 ? 511 : 512), false);
        return;
    }
    const double cMess = 10.0 * std::log10(cLatch_ / iCCounter_);
    const double q = 3.0 / static_cast<double>(std::log10(2.0f));
    const double messVal = q * std::log10(std::sqrt(lLatch_ / iACounter_));
    if (CurrentMic_ == 2) {
        cMessR_ = cMess;
        messValR_ = messVal;
    } else {
        cMessM_ = cMess;
        messValM_ = messVal;
    }
    EvaluateCalResult();
}

void TKalibrierungCore::EvaluateCalResult() {
    const bool second = CurrentMic_ == 2;
    const double cMess = second ? cMessR_ : cMessM_;
    const double messVal = second ? messValR_ : messValM_;
    double& maxLevel = second ? maxDBCR_ : maxDBCM_;
    double& calRes = second ? calResR_ : calResM_;
    maxLevel = refVal_ - cMess;
    calRes = refVal_ - messVal;
    const double crest = cMess - messVal;
    const double n = std::trunc(maxLevel);
    maxDb_ = n;
    crestVal_ = crest;
    const QString crestLine = GetLangText(528) + FixedText(crest, 1);

    QString header, text;
    if (Kal_Pos_ == 1 && !second) {
        const double limit = host_.MaxPresetLimit();
        if (limit > n) {
            header = GetLangText(559);
            text = FillTextArguments(GetLangText(560), {Whole(n)}) + kCrLf +
                   FillTextArguments(GetLangText(558), {Whole(limit)}) + kCrLf + kCrLf + crestLine;
        }
    }
    if (IsVerification()) {
        header = GetLangText(556);
        text = GetLangText(557) + QLatin1Char(' ') + FixedText(std::fabs(calResM_ - Last_Result_), 1) +
               QStringLiteral(" dB ") + kCrLf + FillTextArguments(GetLangText(555), {DateText(lastCalTimeM_)}) +
               kCrLf + crestLine;
    }
    CheckCalLogOffset();
    cIndex_ = 15;
    if (header.isEmpty()) {
        page_ = Page::Result;
        PostIpStatus(kStatusRunFinished);
    } else {
        ShowWarningPage(header, text, true);
    }
}

void TKalibrierungCore::CheckCalLogOffset() {
    useOffsetWarning_ = false;
    if (Berechnungs_art_ == 0 && CurrentMic_ == 1) {
        calLogDif_ = log_ != nullptr ? log_->GetDifference(3, calResM_) : 0.0;
        if (std::fabs(calLogDif_) > 0.25) {
            calLogInfo_ = FillTextArguments(GetLangText(1002),
                                            {FixedText(calLogDif_, 3), DateText(log_->GetLastCalDate(3))});
            useOffsetWarning_ = true;
        }
    }
    SetRight(DualMode_ == 2 && CurrentMic_ == 1 ? kButtonNext : kButtonApply);
    SetMiddle(kButtonRepeat);
}

void TKalibrierungCore::ShowWarningPage(const QString& header, const QString& text, bool ok) {
    StopTimers();
    warnungHeader_ = header;
    warnungText_ = text;
    warnungOk_ = ok;
    page_ = Page::Warning;
    rightShown_ = middleShown_ = false;
    tShowNext_ = true;
    PostIpStatus(ok ? kStatusInformation : kStatusProblem);
}

void TKalibrierungCore::ShowNextTick() {
    if (!tShowNext_) return;
    tShowNext_ = false;
    rightShown_ = middleShown_ = true;
}

void TKalibrierungCore::Accept() {
    StopTimers();
    if (CurrentMic_ == 2) {
        KalR_ = calResR_;
        Cal_Time_R_ = now_();
    } else {
        KalM_ = calResM_;
        Cal_Time_M_ = now_();
    }
    modalResult_ = kResultAccepted;
}

void TKalibrierungCore::Repeat() {
    StopTimers();
    tShowNext_ = false;
    if (Kal_Pos_ == 4) {
        Restart(false);
    } else {
        cIndex_ = DualMode_ == 2 && CurrentMic_ == 2 ? 19 : 3;
    }
    markerAlarm_ = false;
    sampleCounter_ = 0;
    SetRight(kButtonStart);
    modeBMitte_ = kButtonHidden;
    PostIpStatus(Berechnungs_art_ == 1 ? kStatusReadyMeter : kStatusReadyCalibrator);
    StepAction();
}

// --- remote ---

bool TKalibrierungCore::RemotePossible() { return host_.ActiveAddressCount() > 0; }

void TKalibrierungCore::PostIpStatus(int32_t status) {
    if (checkUseIp_) host_.PostToMain(kNotifyWizardStatus, status);
}

void TKalibrierungCore::PostReadyStatus() {
    if (!RemotePossible() || (cIndex_ != 9 && cIndex_ != 20) || tLevel_ || tMess_) return;
    host_.PostToMain(kNotifyWizardStatus, Berechnungs_art_ == 1 ? kStatusReadyMeter : kStatusReadyCalibrator);
}

bool TKalibrierungCore::IpBoxVisible() {
    if (page_ != Page::Connect || (cIndex_ != 9 && cIndex_ != 20) || tLevel_ || tMess_) return false;
    if (DualMode_ == 2 && CurrentMic_ == 2) return false;
    return RemotePossible() && host_.Ipv4AddressCount() > 0;
}

double TKalibrierungCore::GetMaxDb() const {
    if (IsVerification()) {
        if (cIndex_ == 15) return std::fabs(calResM_ - Last_Result_);
        if (cIndex_ == 21) return levelStatus_;
    }
    return maxDb_;
}

int32_t TKalibrierungCore::GetMicId() const {
    const int32_t mic = CurrentMic_ == 1 || CurrentMic_ == 2 ? CurrentMic_ : 0;
    return mic + (IsVerification() ? 256 : 0);
}

// --- step list ---

bool TKalibrierungCore::StepVisible(int32_t entry) const {
    const bool calibration = Kal_Pos_ == 1;
    const bool meter = Berechnungs_art_ == 1;
    const bool mMic = CurrentMic_ == 1;
    const bool rPart = CurrentMic_ == 2 || DualMode_ == 2;
    switch (entry) {
    case 0: return calibration && (enableVgl_ || TwoMicConfig());
    case 1: return calibration;
    case 2: return calibration && !meter;
    case 3: return mMic && !meter;
    case 4:
    case 5: return meter;
    case 6:
    case 7:
    case 8: return mMic;
    case 9: return meter && rPart;
    case 10: return !meter && rPart;
    case 11:
    case 12:
    case 13: return rPart;
    default: return false;
    }
}

int32_t TKalibrierungCore::MarkedStep() const {
    const bool r = CurrentMic_ == 2;
    const bool meter = Berechnungs_art_ == 1;
    switch (page_) {
    case Page::Choice: return 0;
    case Page::Description: return 1;
    case Page::Nominal: return 2;
    case Page::Meter: return 4;
    case Page::Warning:
        // A run that ended without a result stays marked at the run.
        if (cIndex_ != 15) return r ? 12 : 7;
        return r ? 13 : 8;
    case Page::Result: return r ? 13 : 8;
    case Page::Connect: break;
    }
    if (view_ == ConnectView::LevelCheck) return r ? 11 : 6;
    if (view_ == ConnectView::Run) return r ? 12 : 7;
    if (Kal_Pos_ == 4 && cIndex_ == 20) return 0;
    if (r) return meter ? 9 : 10;
    return meter ? 5 : 3;
}

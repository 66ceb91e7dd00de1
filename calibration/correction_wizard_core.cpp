// The correction wizard's step machine: the three buttons, the pages each
// step opens and the questions on the way.
#include "calibration/correction_wizard_core.h"

#include <QFileInfo>
#include <QLocale>

#include <cmath>

#include "calibration/location_store.h"
#include "calibration/wizard_host.h"
#include "platform/user_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr std::array<int32_t, 5> kDurations{15, 30, 45, 60, 120};
constexpr int32_t kCodeTestSignal = 18;
constexpr int32_t kCodeOutputLevel = 19;
constexpr int32_t kCodeRemoteState = 301;

QString Text(int32_t id) { return GetLangText(id); }

}  // namespace

TaKorr::TaKorr(KorrEnvironment env) : env_(std::move(env)) {
    for (auto& w : wl_) w.store(0);
    canOut = env_.outputRunning && env_.waveOutId >= 0;
    TKorrLocation* store = Store();
    if (!canOut && store != nullptr) {
        if (store->GetUseTg() && OfferReuse()) {
            if (AskMessageIds(1170, 173, 1122, 0, 403) == platform::kMessageLeft) store->Clear();
            else cancelAtOnce_ = true;
        }
        store->SetUseTg(false);
    }
    cIndex = 2;
    page_ = KorrPage::tsART;
    imText.clear();
    eOrtText.clear();
    SetMemo(env_.immissionText);
    SetStepMark(0);
    usePink_ = store != nullptr && store->GetUseTg();
    if (cancelAtOnce_) return;
    // Before any method is known: the offer does not compare the mode.
    if (OfferReuse()) {
        LockRunSettings();
        SetStepMark(7);
        ShowLocList();
    }
}

// The page shows: a "Cancel" at creation ends the run before anything is
// seen; the method page takes its choice now that the set-up is done.
void TaKorr::Begin() {
    if (cancelAtOnce_) {
        result_ = KorrResult::Cancel;
        return;
    }
    if (page_ == KorrPage::tsART) ShowMethodPage();
}

platform::TDateTime TaKorr::Now() const { return env_.now ? env_.now() : CorrectedNow(); }
bool TaKorr::MainReady() const { return env_.host != nullptr && env_.host->MainIsReady(); }

void TaKorr::Post(int32_t code, int64_t argument) {
    if (env_.host != nullptr) env_.host->PostToMain(code, argument);
}

void TaKorr::Send(int32_t code, int64_t argument) {
    if (env_.host != nullptr) env_.host->SendToMain(code, argument);
}

// --- set-up ---

void TaKorr::SetMode(bool canDualMode, int32_t minSpl, bool music) {
    canDual = canDualMode;
    doMusic = music;
    Amp_Thres_Start = std::pow(10.0, minSpl / 20.0);
    Amp_Jump_Max = music ? std::pow(10.0, 1.25) : std::sqrt(2.0);
    Amp_Jump_Min = 1.0 / Amp_Jump_Max;
    pinkEnabled_ = env_.outputRunning;
    if (TKorrLocation* store = Store()) {
        if (!env_.outputRunning) store->SetUseTg(false);
        usePink_ = store->GetUseTg();
    }
}

void TaKorr::SetDirectInfo(const QString& locA, const QString& locC, const QString& locZ) {
    textReA = locA;
    textReC = locC;
    textReZ = locZ;
}

void TaKorr::SetCorrMode(int32_t kMode) { KorrMode = kMode; }

void TaKorr::SetCorrFileName(const QString& name) { loadFileName = QFileInfo::exists(name) ? name : QString(); }

void TaKorr::SetDirectField(int32_t index, const QString& text) {
    if (index < 0 || index > 2) return;
    double* fields[] = {&klA, &klC, &klZ};
    *fields[index] = kKorrInvalid;
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(platform::Trim(text), &ok);
    ok = ok && std::isfinite(value) && value > kKorrInvalid;
    if (ok) *fields[index] = value;
    directRed_[static_cast<size_t>(index)] = !ok;
    if (cIndex == 3) nextVisible_ = DirectValid();
}

bool TaKorr::DirectValid() const { return klA > kKorrInvalid && klC > kKorrInvalid && klZ > kKorrInvalid; }

QString TaKorr::DecimalHint() const {
    const bool point = QLocale().decimalPoint() == QStringLiteral(".");
    return Text(508) + Text(point ? 509 : 510);
}

void TaKorr::UseIp(bool useIpForKor) {
    useIp_ = useIpForKor && env_.host != nullptr && env_.host->ActiveAddressCount() > 0;
}

bool TaKorr::IsIpEnabled() const {
    return useIp_ && (KorrMode == kKorrOneMic || KorrMode == kKorrTwoMics) && env_.host != nullptr &&
           env_.host->ActiveAddressCount() > 0;
}

bool TaKorr::UseIpBoxVisible() const { return env_.host != nullptr && env_.host->ActiveAddressCount() > 0; }

void TaKorr::PostRemoteState() { Post(kCodeRemoteState, useIp_ && UseIpBoxVisible() ? 1 : 0); }

// --- volumes and the reuse offer ---

int32_t TaKorr::CaptureVolume() const { return env_.captureVolume ? env_.captureVolume() : kVolumeUnknown; }
int32_t TaKorr::RenderVolume() const { return env_.renderVolume ? env_.renderVolume() : kVolumeUnknown; }

bool TaKorr::InVolUnchanged() {
    TKorrLocation* store = Store();
    if (!env_.sessionVolumes || store == nullptr) return true;
    const int32_t stored = store->GetInVol();
    return stored == kVolumeUnknown || stored == CaptureVolume();
}

bool TaKorr::OutVolUnchanged() const {
    const TKorrLocation* store = Store();
    if (store == nullptr || !store->GetUseTg() || !env_.sessionVolumes) return true;
    return RenderVolume() == store->GetOutVol();
}

bool TaKorr::VolumesUnchanged() const {
    const TKorrLocation* store = Store();
    if (env_.host == nullptr || !env_.sessionVolumes || store == nullptr) return true;
    if (CaptureVolume() != store->GetInVol()) return false;
    return !(store->GetUseTg() && RenderVolume() != store->GetOutVol());
}

bool TaKorr::OfferReuse() {
    TKorrLocation* store = Store();
    if (store == nullptr) return false;
    int32_t n = store->GetLocCount();
    if (KorrMode != kKorrNone && IsDualMode() != store->IsDualKorr()) n = 0;
    if (n > 0 && !InVolUnchanged()) {
        n = 0;
        if (env_.sessionVolumes) store->SetInVal(CaptureVolume());
    }
    if (n > 0 && !OutVolUnchanged()) n = 0;
    if (n > 0 && !store->DoesCalFit(env_.calM, env_.calR)) n = 0;
    bool reuse = false;
    if (n > 0) {
        QString question = Text(n == 1 ? 1095 : 1065);
        if (!store->GetUseTg()) question += QStringLiteral("\r\n\r\n") + Text(1066);
        reuse = AskMessage(question, 0, 790, 1012, 0, 939) == platform::kMessageRight;
    }
    if (!reuse) store->Clear();
    return reuse;
}

// --- step list and pages ---

void TaKorr::SetStepMark(int32_t index) {
    if (index == rectIndex_) return;
    markRed_ = false;
    rectIndex_ = index;
}

bool TaKorr::StepEntryVisible(int32_t entry) const {
    const int32_t m = KorrMode;
    const bool one = m == kKorrOneMic;
    switch (entry) {
    case 0: case 16: return true;
    case 1: case 12: case 14: return IsDualMode();
    case 2: return one || m == kKorrTwoMics;
    case 3: return one || m == kKorrNoCorrection || m == kKorrTwoMics || m == kKorrDirect;
    case 4: case 6: case 7: case 9: case 10: return one;
    case 5: return one && usePink_;
    case 8: return one || m == kKorrTwoMics || m == kKorrDirect;
    case 11: return m == kKorrDirect;
    case 13: return IsDualMode() && usePink_;
    case 15: return m == kKorrImport;
    default: return false;
    }
}

void TaKorr::SetMemo(const QString& text) {
    memoText_ = text;
    ++memoRevision_;
}

// Next on a description page shows only for more than five characters.
void TaKorr::UpdateMemoRule() {
    if (page_ != KorrPage::tsEdit) return;
    nextVisible_ = memoText_.size() > 5;
    if (cIndex == 12 || cIndex == 13) middleVisible_ = nextVisible_;
}

void TaKorr::ShowEditPage(int32_t line1, int32_t line2, int32_t line3, const QString& text) {
    editLines_ = {Text(line1), Text(line2), Text(line3)};
    SetMemo(text);
    page_ = KorrPage::tsEdit;
    middleVisible_ = false;
    UpdateMemoRule();
}

bool TaKorr::MethodOffered(int32_t method) const {
    if (method == kKorrTwoMics) return canDual;
    if (method == kKorrDirect) return env_.allowDirectEntry;
    return method == kKorrOneMic || method == kKorrNoCorrection || method == kKorrImport;
}

bool TaKorr::MethodSelected(int32_t method) const { return KorrMode == method && MethodOffered(method); }

void TaKorr::ShowMethodPage() {
    cIndex = 2;
    page_ = KorrPage::tsART;
    nextVisible_ = true;
    middleVisible_ = false;
    PostRemoteState();
    const bool anySelected = MethodSelected(kKorrOneMic) || MethodSelected(kKorrNoCorrection) ||
                             MethodSelected(kKorrTwoMics) || MethodSelected(kKorrImport) ||
                             MethodSelected(kKorrDirect);
    if (!anySelected) {
        const TKorrLocation* store = Store();
        if (!canDual) KorrMode = kKorrOneMic;
        else if (store == nullptr || store->GetLocCount() == 0 || store->IsDualKorr()) KorrMode = kKorrTwoMics;
    }
    SetStepMark(0);
}

void TaKorr::ChooseMethod(int32_t method) {
    if (MethodOffered(method)) KorrMode = method;
}

int32_t TaKorr::Duration() const { return Store() != nullptr ? Store()->GetDauer() : kDefaultKorrDauer; }

void TaKorr::ChooseDauer(int32_t value) {
    const int32_t lowest = doMusic ? 60 : 15;
    if (TKorrLocation* store = Store()) store->SetDauer(std::clamp(value, lowest, 120));
}

void TaKorr::ShowDurationPage() {
    cIndex = 24;
    page_ = KorrPage::tsVglConfig;
    ChooseDauer(Duration());
    SetStepMark(2);
}

void TaKorr::ChooseDurationBox(int32_t index) {
    if (index < 0 || index > 4 || !DurationEnabled(index)) return;
    ChooseDauer(kDurations[static_cast<size_t>(index)]);
}

void TaKorr::ToggleUseIp() {
    if (!UseIpBoxVisible()) return;
    useIp_ = !useIp_;
    PostRemoteState();
}

void TaKorr::TogglePink() {
    if (!pinkEnabled_) return;
    usePink_ = !usePink_;
    ApplyPinkChoice();
}

void TaKorr::ApplyPinkChoice() {
    const bool own = usePink_ && env_.outputRunning;
    if (TKorrLocation* store = Store()) store->SetUseTg(own);
    SetInfoText1(Text(own ? 578 : 579));
}

void TaKorr::SetInfoText1(const QString& text) {
    immi_.info1 = text;
    immi_.infoVisible = true;
}

// The run settings of reused locations cannot change any more.
void TaKorr::LockRunSettings() {
    const TKorrLocation* store = Store();
    if (store == nullptr) return;
    seOutVol_ = store->GetSeV();
    spinEnabled_ = false;
    usePink_ = store->GetUseTg();
    pinkEnabled_ = false;
}

QString TaKorr::PinkBoxLine() const {
    const bool own = Store() != nullptr && Store()->GetUseTg();
    return WithTextArgument(Text(own ? 1191 : 1190), DurationText(Duration()));
}

void TaKorr::ShowLocList() {
    StopMessTimer();
    cIndex = 30;
    Post(kCodeTestSignal, 0);
    middleVisible_ = true;
    nextVisible_ = VolumesUnchanged();
    waitCursor_ = false;
    page_ = KorrPage::tsLocList;
    PostRemoteState();
}

void TaKorr::ShowResultPage() {
    page_ = KorrPage::tsEnde;
    cIndex = 10;
    SetStepMark(16);
    nextVisible_ = true;
    middleVisible_ = false;
}

void TaKorr::PrepareImmiPage() {
    page_ = KorrPage::tsImmi;
    immi_.levelControlsVisible = false;
    immi_.placementVisible = true;
    immi_.info1 = Text(611);
    immi_.infoVisible = false;
    immi_.warningVisible = false;
    immi_.dualMonitorVisible = false;
    mess_.monitorVisible = false;
    nextVisible_ = true;
    progress1Visible_ = false;
    immi_.pinkVisible = canOut;
    immi_.pinkEnabled = pinkEnabled_;
    immi_.pinkChecked = usePink_;
    if (KorrMode == kKorrTwoMics) {
        SetStepMark(12);
        immi_.header1 = Text(583);
        immi_.placement1 = Text(586);
        immi_.placement2 = Text(587);
    } else {
        SetStepMark(4);
        immi_.header1 = Text(582);
        immi_.placement1 = Text(608);
        immi_.placement2 = Text(609);
    }
}

void TaKorr::ShowMessPage() {
    page_ = KorrPage::tsMessMess;
    cIndex = 7;
    SetProgText(Text(1103), 2);
    mess_.headerVisible = false;
    mess_.warningVisible = false;
    nextVisible_ = true;
    mess_.hintVisible = true;
    mess_.placementVisible = true;
    mess_.hint = Text(Store() != nullptr && Store()->GetUseTg() ? 584 : 585);
    SetStepMark(IsDualMode() ? 12 : 9);
    mess_.monitorVisible = false;
    immi_.dualMonitorVisible = false;
}

// --- buttons ---

bool TaKorr::LeftIsBack() const {
    switch (cIndex) {
    case 6: case 7: case 8: case 31: case 32: case 33: return true;
    default: return false;
    }
}

QString TaKorr::LeftCaption() const { return Text(LeftIsBack() ? 1104 : 403); }

QString TaKorr::MiddleCaption() const {
    switch (cIndex) {
    case 11: case 19: return Text(1104);
    case 12: case 13: case 30: return Text(1062);
    case 38: return Text(1169);
    default: return Text(938);
    }
}

QString TaKorr::RightCaption() const {
    if (cIndex == 10) return QStringLiteral("OK");
    if (cIndex == 12 || cIndex == 13 || cIndex == 37) return Text(638);
    return Text(562);
}

void TaKorr::LeftButton() {
    if (LeftIsBack()) {
        StopMessTimer();
        levelChangeOn_ = false;
        ShowLocList();
    } else {
        CancelWizard();
    }
}

void TaKorr::CancelWizard() {
    cancelledOnList_ = cIndex == 30;
    StopMessTimer();
    levelChangeOn_ = false;
    errorTimerOn_ = false;
    waitCursor_ = false;
    Send(kCodeOutputLevel, kMutedLevel);
    result_ = KorrResult::Cancel;
}

void TaKorr::RightButton() {
    if (!nextVisible_) return;
    if (cIndex == 10) {
        Send(kCodeTestSignal, 0);
        result_ = KorrResult::Ok;
        return;
    }
    DoNextStep();
}

void TaKorr::MiddleButtonAction() {
    StopMessTimer();
    levelChangeOn_ = false;
    Send(kCodeOutputLevel, kMutedLevel);
    middleVisible_ = false;
    switch (cIndex) {
    case 8: case 38: ShowLocList(); break;
    case 9: case 11:
        cIndex = 4;
        PrepareImmiPage();
        immi_.levelControlsVisible = false;
        break;
    case 12: case 13: DirectMiddle(); break;
    case 15: case 29:
        cIndex = 6;
        DoNextStep();
        break;
    case 30:
        cIndex = 31;
        DoNextStep();
        break;
    default:
        GoToMeasuringDescription(6);
        break;
    }
}

// The description of the measuring position: again before a new measurement
// there (step 6), or in the direct entry (step 36).
void TaKorr::GoToMeasuringDescription(int32_t step) {
    ShowEditPage(627, 628, 629, eOrtText);
    SetStepMark(8);
    cIndex = step;
}

void TaKorr::DirectMiddle() {
    if (cIndex == 12) {
        textReA = memoText_;
        textReZ = textReA;
        ldA = ldZ = Now();
        SetStepMark(3);
        cIndex = 13;
        ShowEditPage(619, 1134, 1135, textReC);
    } else {
        ldC = Now();
        textReC = memoText_;
        SetStepMark(3);
        cIndex = 37;
        ShowEditPage(619, 1136, 1137, textReZ);
    }
}

void TaKorr::DoNextStep() {
    middleVisible_ = false;
    switch (cIndex) {
    case 1: NextAtStep1(); break;
    case 2: NextAtMethodPage(); break;
    case 3:
        ktA = textReA;
        ktC = textReC;
        ktZ = textReZ;
        ShowResultPage();
        break;
    case 4: StartImmiAfterPink(11, 5); break;
    case 20: StartImmiAfterPink(19, 26); break;
    case 11: cIndex = 5; StartImmiMeasurement(); break;
    case 19: cIndex = 26; StartImmiMeasurement(); break;
    case 6: NextAtStep6(); break;
    case 7: NextAtStep7(); break;
    case 12:
        textReA = textReC = textReZ = memoText_;
        ldA = ldC = ldZ = Now();
        GoToMeasuringDescription(36);
        break;
    case 13:
        textReC = memoText_;
        ldC = Now();
        GoToMeasuringDescription(36);
        break;
    case 37:
        textReZ = memoText_;
        ldZ = Now();
        GoToMeasuringDescription(36);
        break;
    case 36:
        SetStepMark(11);
        cIndex = 3;
        eOrtText = memoText_;
        page_ = KorrPage::tsRECH;
        nextVisible_ = DirectValid();
        break;
    case 14: NextAtStep14(); break;
    case 16:
        Post(kCodeOutputLevel, kMutedLevel);
        AddMeasuredLocation();
        ShowLocList();
        break;
    case 22: ShowDurationPage(); break;
    case 24:
        if (KorrMode == kKorrTwoMics) ShowEditPage(619, 620, 621, QString());
        else ShowEditPage(619, 941, 942, QString());
        SetStepMark(3);
        cIndex = 1;
        break;
    case 25:
        Post(kCodeTestSignal, 0);
        if (Store() != nullptr && Store()->GetLocCount() > 0) ShowLocList();
        else ShowMethodPage();
        break;
    case 27: AfterLocationAdded(); break;
    case 28:
        Send(kCodeTestSignal, 0);
        if (KorrMode == kKorrTwoMics) AfterLocationAdded();
        else ShowResultPage();
        break;
    case 30: NextAtLocList(); break;
    case 31: FurtherLocationVolumeCheck(); break;
    case 32:
        cIndex = 33;
        imText = memoText_;
        LockRunSettings();
        PrepareImmiPage();
        immi_.header2 = imText;
        immi_.pinkChecked = usePink_;
        break;
    case 33:
        waitCursor_ = true;
        cIndex = 35;
        SetProgText(Text(1103), 3);
        if (Store() != nullptr && Store()->GetUseTg()) StartLevelRamp();
        else StartImmiMeasurement();
        break;
    default: break;
    }
}

void TaKorr::NextAtMethodPage() {
    nextVisible_ = true;
    switch (KorrMode) {
    case kKorrOneMic:
    case kKorrTwoMics:
        if (OfferReuse()) {
            LockRunSettings();
            ShowLocList();
        } else if (KorrMode == kKorrOneMic) {
            ShowDurationPage();
        } else {
            cIndex = 22;
            page_ = KorrPage::tsDualMicCal;
            SetStepMark(1);
        }
        break;
    case kKorrNoCorrection:
        ShowEditPage(627, 628, 629, eOrtText);
        SetStepMark(3);
        cIndex = 1;
        break;
    case kKorrImport:
        cIndex = 14;
        page_ = KorrPage::tsLoad;
        nextVisible_ = false;
        SetStepMark(15);
        SelectImportFile(loadFileName);
        break;
    case kKorrDirect:
        cIndex = 12;
        ShowEditPage(619, 1132, 1133, textReA);
        SetStepMark(3);
        middleVisible_ = nextVisible_;
        break;
    default: break;
    }
}

void TaKorr::NextAtStep1() {
    switch (KorrMode) {
    case kKorrOneMic:
        imText = memoText_;
        cIndex = 4;
        PrepareImmiPage();
        immi_.header2 = imText;
        ApplyPinkChoice();
        immi_.infoVisible = true;
        break;
    case kKorrNoCorrection:
        eOrtText = memoText_;
        klA = klC = klZ = 0.0;
        ShowResultPage();
        break;
    case kKorrTwoMics:
        imText = memoText_;
        immi_.header2 = imText;
        ShowEditPage(627, 628, 629, eOrtText);
        SetStepMark(3);
        cIndex = 6;
        break;
    default: break;
    }
}

// Steps 4 and 20: the own signal gets its level first, an external one is measured at once.
void TaKorr::StartImmiAfterPink(int32_t levelStep, int32_t measureStep) {
    immi_.pinkVisible = false;
    Send(kCodeTestSignal, 0);
    if (MainReady() && Store() != nullptr && Store()->GetUseTg()) {
        cIndex = levelStep;
        ShowLevelSetting();
        progress1Visible_ = false;
        nextVisible_ = true;
    } else {
        cIndex = measureStep;
        StartImmiMeasurement();
    }
}

void TaKorr::NextAtStep6() {
    if (VolumesUnchanged()) {
        eOrtText = memoText_;
        if (KorrMode == kKorrTwoMics) {
            cIndex = 20;
            PrepareImmiPage();
            progress2Visible_ = true;
            progress1Visible_ = false;
        } else {
            ShowMessPage();
            mess_.headerVisible = true;
            progress1Visible_ = true;
        }
        return;
    }
    const TKorrLocation* store = Store();
    const bool inputSame = store != nullptr && store->GetInVol() == CaptureVolume();
    AskMessageTexts(Text(inputSame ? 1189 : 1187), Text(173), Text(403), QString());
}

void TaKorr::NextAtStep7() {
    progress2Visible_ = true;
    waitCursor_ = true;
    if (Store() != nullptr && Store()->GetUseTg()) {
        StartLevelRamp();
    } else {
        StartMessMeasurement();
    }
}

void TaKorr::NextAtLocList() {
    TKorrLocation* store = Store();
    if (store == nullptr) return;
    if (KorrMode == kKorrTwoMics) {
        klA = store->GetARef();
        klC = store->GetCRef();
        klZ = store->GetZRef();
        eGetTime = store->GetDateTime(store->GetIdKFA());
        ShowResultPage();
    } else {
        meA = store->GetARef();
        meC = store->GetCRef();
        meZ = store->GetZRef();
        ShowEditPage(627, 628, 629, eOrtText);
        cIndex = 6;
        SetStepMark(8);
    }
}

void TaKorr::FurtherLocationVolumeCheck() {
    if (!VolumesUnchanged()) {
        const TKorrLocation* store = Store();
        const bool inputSame = store != nullptr && store->GetInVol() == CaptureVolume();
        const QString text = Text(inputSame ? 1189 : 1187) + QStringLiteral("\r\n") + Text(1188);
        if (AskMessageTexts(text, Text(173), Text(403), Text(1054)) != platform::kMessageRight) {
            cIndex = 31;
            return;
        }
        if (TKorrLocation* s = Store()) s->Clear();
    }
    if (KorrMode == kKorrTwoMics) ShowEditPage(619, 620, 621, QString());
    else ShowEditPage(619, 941, 942, QString());
    SetStepMark(3);
    cIndex = 32;
}

// A failed import keeps the file page: nothing of the file reaches the result.
void TaKorr::NextAtStep14() {
    if (!LoadKorrFromFile(loadFileName)) {
        nextVisible_ = false;
        return;
    }
    ShowResultPage();
}

void TaKorr::AddMeasuredLocation() {
    if (TKorrLocation* store = Store()) store->Add(meA, meC, meZ, meT, meA, meC, meZ, imText);
}

// Step 27: a two-microphone result joins the list.
void TaKorr::AfterLocationAdded() {
    Send(kCodeTestSignal, 0);
    TKorrLocation* store = Store();
    if (store == nullptr) {
        ShowResultPage();
        return;
    }
    store->Add(klA, klC, klZ, meT, meA, meC, meZ, imText);
    ShowLocList();
}

void TaKorr::AskDeleteLocation(int32_t entryId) {
    TKorrLocation* store = Store();
    if (store == nullptr || cIndex != 30 || entryId < 0 || entryId >= store->GetLocCount()) return;
    const QString text = WithTextArgument(Text(1068), QStringLiteral("\r\n") + store->GetLocText(entryId, false) +
                                                          QStringLiteral("\r\n"));
    if (AskMessage(text, 0, 207, 1012, 0, 403) != platform::kMessageLeft) return;
    if (store->RemoveEntry(entryId) == 0) {
        Post(kCodeTestSignal, 0);
        ShowMethodPage();
    }
}

// --- codes ---

void TaKorr::HandleCode(int32_t code, int64_t argument) {
    switch (code) {
    case 19: LevelMenuChoice(static_cast<int32_t>(argument)); break;
    case 259:
    case 305: CancelWizard(); break;
    case 302: MiddleButtonAction(); break;
    case 303:
        if (nextVisible_) RightButton();
        break;
    case 306:
        if ((cIndex != 11 && cIndex != 19) || argument < 0) break;
        if (argument == 0) SetSpin(seOutVol_ - 1);
        else if (argument == 1) SetSpin(seOutVol_ + 1);
        else SetSpin(static_cast<int32_t>(std::max<int64_t>(-argument, kSpinMin)));
        break;
    case 307:
        if (cIndex != 4 && cIndex != 20) break;
        if (pinkEnabled_) usePink_ = argument > 0;
        ApplyPinkChoice();
        immi_.pinkChecked = usePink_;
        break;
    default: break;
    }
}

// The start of a measurement: the ways in, the checks that may stop or
// divert it, the preparation of the three stores, the choice of the file
// name and the switch into the running state. All on the GUI thread. The
// running flag is the very last thing a start sets: until then the
// calculation's records and blocks are not stored.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <cmath>
#include <functional>

#include "audio/audio_start_stop.h"
#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "audio/vu_meter_thread.h"
#include "main/crash_markers.h"
#include "main/main_window.h"
#include "main/save_dialogs.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/system_services.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/target_file.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTargetFreeSpaceMB = 300;
constexpr double kLowestStartLevelDb = -100.0;

// Answers of the pre-start dialogs.
constexpr int32_t kStartGo = 0;
constexpr int32_t kStartCancel = 1;
constexpr int32_t kStartInfoStart = 2;
constexpr int32_t kStartCalibrate = 3;
constexpr int32_t kStartOptions = 4;
constexpr int32_t kStartDataEntry = 5;

// Display elements the start makes sure are shown.
constexpr int32_t kElementLeqK = 1;
constexpr int32_t kElementLeq = 2;

// Leaves tryToStart clear and repaints what the start may have changed on
// every way out, early ends included.
class StartGuard {
public:
    StartGuard(bool& flag, std::function<void()> repaint) : flag_(flag), repaint_(std::move(repaint)) { flag_ = true; }
    ~StartGuard() {
        repaint_();
        flag_ = false;
    }
    StartGuard(const StartGuard&) = delete;
    StartGuard& operator=(const StartGuard&) = delete;

private:
    bool& flag_;
    std::function<void()> repaint_;
};

// The highest area (1..4) that shows element, 0 for none.
int32_t HighestAreaShowing(int32_t element) {
    for (int32_t area = 4; area >= 1; --area) {
        if (areaChannel[area - 1].load() == element) return area;
    }
    return 0;
}

}  // namespace

// --- The ways in ---

void TVTProMaster::aMessungStartenExecute() {
    if (IsLevelHighEnough()) StartMessung();
}

void TVTProMaster::StartDinMessung() {
    if (!IsLevelHighEnough()) return;
    if (TVTPresetHandler* handler = presetHandler.load()) {
        handler->SetCurrent(kDinPresetId);
        curPreset = handler->GetPreset(-1);
    }
    StartMessung();
}

void TVTProMaster::aFreeStartExecute() { StartMessung(); }

void TVTProMaster::AutoStartMessung() {
    CloseInfoWindow();
    StartMessung();
}

bool TVTProMaster::IsLevelHighEnough() {
    TVuThread* vu = workers_->VuThread();
    if (vu == nullptr) return false;
    double peak1 = 0.0, peak2 = 0.0, rms1 = 0.0, rms2 = 0.0;
    vu->getLevels(peak1, peak2, rms1, rms2);
    const double rms = IsRefRechts() ? rms1 : rms2;
    if (rms > 0.0 && 20.0 * std::log10(rms) > kLowestStartLevelDb) return true;
    return AskMessageTexts(QStringLiteral("Input level too low. Please check audio chain"), GetLangText(225),
                           GetLangText(225), GetLangText(403), this) == platform::kMessageLeft;
}

// --- The start ---

void TVTProMaster::StartMessung() {
    if (tryToStart_) return;
    StartGuard guard(tryToStart_, [this] {
        if (pbInfoMessung_) pbInfoMessung_->Invalidate();
        if (pbMInfo_) pbMInfo_->Invalidate();
        if (pbTopBar_) pbTopBar_->Invalidate();
    });
    if (GetMessungLaeuft()) return;
    const bool automatic = settings_.autoStart;
    if (!automatic) CheckPowerStatus();
    StopFindPeak();
    lastLeqBarVal_ = -1;
    inputAssignLatch_ = inputAssign.load();
    WMMainNotify(kNotifyInputAssign, 1);
    canSetForeGround_ = true;
    paintCount_ = oldEWFull_ = oldEW10_ = startLineIndex_ = 0;
    ApplyRunSettings();
    SyncWebTime();
    fields_.recId.store(0);
    TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    RecordTitle = store->GetVeranstaltung().toLocal8Bit();

    const int32_t headroomQuantity = FindLimitAboveHeadroom();
    if (headroomQuantity >= 0) {
        ShowHeadroomError(headroomQuantity);
        return;
    }
    ApplyPresetToDefaultStore();
    const platform::TDateTime calTime = store->GetCalTime();

    if (store->GetKorrArt() < 0) {
        if (CalibrationServices* calibration = calibrationServices()) calibration->DoKorrektur();
        if (store->GetKorrArt() < 0) return;
    }

    int32_t answer = ChooseSaveName();
    const int32_t fileCheck = CheckTargetFile(store->GetSaveName(), kTargetFreeSpaceMB);
    if (automatic) {
        // An automatic start asks nothing, but never runs without a new name.
        if (store->GetSaveName().isEmpty()) store->SetSaveName(FallbackSaveName());
        if (store->GetSaveName().isEmpty()) {
            AddEventMessage(QStringLiteral("Auto-Start: no file name for the measurement, it was not started"),
                            false, false);
            return;
        }
        answer = kStartGo;
    } else if (answer == kStartGo) {
        CalibrationServices* calibration = calibrationServices();
        answer = calibration != nullptr ? calibration->ShowStartInfo(calTime, fileCheck) : kStartInfoStart;
        if (answer == kStartInfoStart) answer = kStartGo;
        // Without the calibration subsystem the chain's headroom cannot be
        // judged, so no measurement starts from the menu.
        if (answer == kStartGo) answer = calibration != nullptr ? calibration->CheckHeadroom() : kStartCancel;
    }
    switch (answer) {
    case kStartGo:
        StartPrepared();
        return;
    case kStartCalibrate:
        if (CalibrationServices* calibration = calibrationServices()) calibration->RunCalibration();
        return;
    case kStartOptions:
    case kStartDataEntry:
        // The measurement options and the data entry open from their own
        // menus once those dialogs exist; the start ends here as asked.
        return;
    default:
        return;
    }
}

void TVTProMaster::ApplyPresetToDefaultStore() {
    TDaten* store = defaultDaten.load();
    const auto& entries = curPreset.messungen;
    QString regulation = curPreset.vor;
    if (settings_.autoStart) regulation += QStringLiteral(" (") + QStringLiteral("Auto-Start") + QStringLiteral(")");
    store->SetVorschrift(regulation);
    fields_.messInputLevel.store(static_cast<double>(fields_.KalWasVol.load()));
    if (store->GetLastOffTime() < store->GetCalTime()) {
        store->SetOffTimeVor(store->GetCalTime());
        store->SetOffValVor(0.0);
    } else {
        store->SetOffValVor(store->GetLastOffValue());
        store->SetOffTimeVor(store->GetLastOffTime());
    }
    store->SetOffTimeNach(0.0);
    store->SetShowLeq(settings_.dLeq);
    store->SetShowLeqK(settings_.dLeqK);
    store->SetShowPeak(settings_.dPeak);
    store->SetProtStatus(entries[kPresetEntryLeq].Status, entries[kPresetEntryLeqK].Status,
                         entries[kPresetEntryPeak].Status);
    store->SetLEQDauer(entries[kPresetEntryLeq].Dauer);
    store->SetLEQKurzDauer(entries[kPresetEntryLeqK].Dauer);
    store->SetPeakWerte(entries[kPresetEntryPeak].Dauer);
    store->SetFilter(0, entries[kPresetEntryLeq].Filter);
    store->SetFilter(1, curPreset.linkLeqK ? entries[kPresetEntryLeq].Filter : entries[kPresetEntryLeqK].Filter);
    store->SetFilter(2, entries[kPresetEntryPeak].Filter);
    store->SetVTVersion(getVersionID());
    store->SetOffValNach(0.0);
    store->SetPrecision(settings_.precision);
}

// The start proper, once every check and dialog agreed.
void TVTProMaster::StartPrepared() {
    TDaten* store = defaultDaten.load();
    RefreshEventZoom(false);
    HideTrayIcon();
    events_.Clear();
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
    CloseProtocolWindow();
    if (wertCreate.load() == nullptr) return;

    fields_.lastBackup.store(CorrectedNow());
    fields_.statusMessung.store(2);
    ++statusInfo_;
    SaveSettings();
    keepAwake_.Take(GetLangText(101), GetLangText(76));
    if (hBlocker_) hBlocker_->BlockIt(handle_, GetLangText(76));
    SetInfoLine(GetLangText(297));
    memoLines_.clear();
    ResetRunValues();
    EditKorrDone(false);
    SetIdleMenus(false);

    measurementFile_ = store->GetSaveName();
    const QString name = measurementFile_.left(measurementFile_.size() - 4);
    {
        std::lock_guard lock(workers_->StartStopLock());
        if (CalibrationServices* calibration = calibrationServices()) calibration->ApplyCalibration();
    }
    EnsureLevelDisplays(curPreset);
    ResetLimitStates();
    const platform::TDateTime start = CorrectedNow();
    store->SetStartTime(start);
    InitMessungDaten(name);
    if (TCalcer* calculation = calcer.load()) calculation->ResetCalculation();
    lastStoredValue_ = -1;
    if (TDaten* display = fields_.AnzeigeDaten.load()) display->SetStartTime(start);
    if (ReportNaming* naming = reportNaming()) naming->IncRunningNumber();
    SetMessungLaeuft(name + QStringLiteral(".VTM"), start);
    if (MidiServices* midi = MidiObject()) midi->SendStatusInfo(1);
}

int32_t TVTProMaster::ChooseSaveName() {
    TDaten* store = defaultDaten.load();
    store->SetSaveName(QString());
    int32_t result = 1;
    if (settings_.doFileName) {
        const QString& fixed = settings_.sRecFileName;
        if (settings_.overWritePrompt && QFileInfo::exists(fixed)) {
            const QString question = QStringLiteral("The file: ") + QLatin1Char('\n') + fixed + QLatin1Char('\n') +
                                     QStringLiteral(" still exists.") + QStringLiteral("\n\n") +
                                     QStringLiteral("Do you want to replace it?");
            if (AskMessageTexts(question, QStringLiteral("Existing File Name"), GetLangText(403), GetLangText(1123),
                                this) != platform::kMessageRight) {
                return 1;
            }
        }
        store->SetSaveName(fixed);
        return 0;
    }
    if (settings_.doAutoFileName && QFileInfo(settings_.sRecDir).isDir()) {
        ReportNaming* naming = reportNaming();
        const QString automatic = naming != nullptr ? naming->CreateSaveName(CorrectedNow()) : QString();
        if (!automatic.isEmpty()) {
            store->SetSaveName(settings_.sRecDir + QLatin1Char('/') + automatic);
            return 0;
        }
    }
    const platform::SaveFileAnswer chosen =
        platform::userDialogs()->AskSaveFile(ReportSaveRequest(fields_.userPfad, settings_.overWritePrompt, this));
    if (chosen.ok()) {
        store->SetSaveName(chosen.path);
        result = 0;
    }
    return result;
}

// An automatic start whose fixed or automatic name gave nothing: a name made
// of the corrected start time in the user folder, never the previous run's.
QString TVTProMaster::FallbackSaveName() const {
    if (fields_.userPfad.isEmpty()) return QString();
    const QDateTime now = platform::ToQDateTime(CorrectedNow());
    return fields_.userPfad + QLatin1Char('/') + now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
           QStringLiteral(".vtm");
}

void TVTProMaster::InitMessungDaten(const QString& name) {
    if (name.isEmpty()) return;
    TDaten* run = messDaten.load();
    TDaten* store = defaultDaten.load();
    if (run == nullptr || store == nullptr) return;
    ResetVuPeakLatch();
    run->SetLEQmax(0.0, 0.0);
    run->SetLEQKmax(0.0, 0.0);
    run->SetPeakMax(0.0, 0.0);
    run->SetDaten(*store);
    ResetMidiOutputs();
    crash_markers::MarkMeasurementOpen();
    run->SetNKS(curPreset.naKoS);
    store->SetNKS(curPreset.naKoS);
    if (!run->InitMessung(fields_.basisPfad)) {
        AddEventMessage(QStringLiteral("The crash backup could not be started in %1").arg(fields_.basisPfad), false,
                        false);
    }
    backupFailureReported_ = false;
    store->SetSaveName(defaultDatenDatei_);
    if (settings_.tsStart && settings_.tsUse) AddTimeServerStamp();
    if (TDaten* display = fields_.AnzeigeDaten.load()) run->CopyTo(*display);
}

void TVTProMaster::SetMessungLaeuft(const QString& fileName, platform::TDateTime startTime) {
    TDaten* run = messDaten.load();
    memoLines_ << DateTimeText(startTime) + QStringLiteral(": ") + GetLangText(425) + QLatin1Char(' ');
    memoLines_ << QString();
    ReportNaming* naming = reportNaming();
    memoLines_ << (naming != nullptr ? naming->SymbolicPath(fileName) : fileName);
    memoLines_ << QStringLiteral("***");
    QString status = GetLangText(41) + DateTimeText(run->GetStartTime());
    startLineIndex_ = 0;
    if (TDaten* store = defaultDaten.load(); store != nullptr && store->GetIsInterval()) {
        memoLines_ << DateText(startTime) + QStringLiteral(", ") + TimeText(startTime) + QLatin1Char(' ') +
                          GetLangText(425);
        startLineIndex_ = static_cast<int32_t>(memoLines_.size()) - 1;
        if (TWertCreate* reader = wertCreate.load()) {
            const platform::TDateTime next = reader->GetNextBlockTimeLocal();
            status += GetLangText(61) + DateText(next) + QStringLiteral(", ") + TimeText(next);
        }
    }
    SetStatusInfo(0, status);
    SetStatusInfo(2, fileName);
    crash_markers::MarkRunStarted(startTime);
    const double limit = run->GetRealLimit(0);
    leqPercentRef.store(std::pow(10.0, limit / 10.0) * 0.01);
    werteClipLatch_ = 0;
    blockClipLatch_ = 0;
    clipCounter.store(0);
    messungLaeuft_.store(true);
}

// --- Small steps of the start ---

void TVTProMaster::ShowHeadroomError(int32_t quantity) {
    const TDaten* store = defaultDaten.load();
    QString label;
    if (store != nullptr) {
        const int32_t lang = language.load();
        label = quantity == 0 ? store->GetLEQLabel(lang) : quantity == 1 ? store->GetLEQKLabel(lang)
                                                                         : store->GetPeakLabel();
    }
    const QString text = QStringLiteral(
                             "The headroom is not sufficent to monitor the limit of\r\n%s. No measurement "
                             "possible\r\n\r\nPlease modify the limit or repeat calibration")
                             .replace(QStringLiteral("%s"), label);
    AskMessageTexts(text, GetLangText(226), QString(), GetLangText(1126), this);
}

void TVTProMaster::EnsureLevelDisplays(const TVTPreset& preset) {
    const auto& entries = preset.messungen;
    int32_t leqArea = HighestAreaShowing(kElementLeq);
    const int32_t leqKArea = HighestAreaShowing(kElementLeqK);
    if (entries[kPresetEntryLeq].Status > 0 && leqArea == 0) {
        leqArea = leqKArea == 1 ? 2 : 1;
        areaChannel[leqArea - 1].store(kElementLeq);
    }
    if (entries[kPresetEntryLeqK].Status > 0 && leqKArea == 0) {
        areaChannel[leqArea == 1 ? 1 : 0].store(kElementLeqK);
    }
}

void TVTProMaster::ResetLimitStates() {
    statusPeak_ = statusLeq_ = statusLeqK_ = -1;
    // A level over its limit at the start must get its "Exceed" again.
    isOverLeq_ = isOverLeqK_ = isOverPeak_ = false;
    limitOverLatch_ = 0;
    recId_ = 0;
    // The stop stores the highest peak: one from the last run must not pass for this one's.
    maxPeak_ = 0.0;
    maxPeakTime_ = 0.0;
}

void TVTProMaster::SetIdleMenus(bool idle) {
    for (QAction* action : {startAction_, dinStartAction_, freeStartAction_, resetSettingsAction_}) {
        if (action) action->setVisible(idle);
    }
    if (stopAction_) stopAction_->setVisible(!idle);
    SetImmiMenus(idle);
}

void TVTProMaster::BuildMeasureMenu() {
    measureMenu_ = menuBar()->addMenu(GetLangText(224));
    startAction_ = measureMenu_->addAction(GetLangText(225));
    connect(startAction_, &QAction::triggered, this, [this] { aMessungStartenExecute(); });
    dinStartAction_ = measureMenu_->addAction(QStringLiteral("Messung DIN15905-5 starten"));
    connect(dinStartAction_, &QAction::triggered, this, [this] { StartDinMessung(); });
    // The start without the level check has no menu item of its own.
    freeStartAction_ = new QAction(this);
    connect(freeStartAction_, &QAction::triggered, this, [this] { aFreeStartExecute(); });
    stopAction_ = measureMenu_->addAction(GetLangText(227));
    stopAction_->setVisible(false);
    connect(stopAction_, &QAction::triggered, this, [this] { aStopMessungExecute(); });
}

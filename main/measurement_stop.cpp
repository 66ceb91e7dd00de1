// The end of a measurement: the stop takes the calculation's last record and
// block, saves the file (with an emergency copy whenever a save fails or the
// session ends), and the finish saves it once more with the report password,
// marks it read-only, lets the computer sleep again and gives the input
// assignment back. GUI thread only.
#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "audio/audio_device_setup.h"
#include "audio/audio_start_stop.h"
#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "main/crash_markers.h"
#include "main/main_window.h"
#include "main/save_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/sftp_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/system_services.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kCalcStopWaitMs = 2500;
constexpr int kSaveNameAttempts = 9;
constexpr int32_t kHintsBelowEndDialog = 5;

QString NotstopName(const QString& folder, int32_t n) {
    return QDir(folder).filePath(QStringLiteral("Notstop%1.vtm").arg(n));
}

}  // namespace

void TVTProMaster::StopMessung(int32_t mode) {
    // A stop finds something to stop only while the run is on; a stop while
    // idle would save the last measurement's store over its finished file.
    if (!GetMessungLaeuft()) return;
    if (mode != 2 && mode != 3 &&
        AskMessageTexts(QStringLiteral("Sure to stop the Measurement?"), QStringLiteral("Security Check"),
                        QStringLiteral("Continue Measurement"), GetLangText(208), this) != platform::kMessageRight) {
        return;  // declined: the run goes on exactly as it was
    }
    if (TDaten* run = messDaten.load()) run->SetOffTimeNach(0.0);
    canSetForeGround_ = false;
    StopRecording();
    {
        std::lock_guard lock(workers_->StartStopLock());
        aufzeichnungStoppenExecute();
    }
    crash_markers::MarkRunStopped();
    AddStopTimeLine();
    const bool saved = SaveAtStop();
    fields_.statusMessung.store(0);
    if (MidiServices* midi = MidiObject()) midi->SendStatusInfo(2);
    ++statusInfo_;
    const bool askAtEnd = !curPreset.endDirect || curPreset.offCheck || pwLength != 0;
    if ((mode == 1 || mode == 3) && askAtEnd) {
        ShowEndDialog(mode, saved);
    } else {
        FinishMessung(mode, QString(), saved);
    }
    if (pbTopBar_) pbTopBar_->Invalidate();
    PostMainNotify(kNotifyGraphRedraw, 0);
    if (hBlocker_) hBlocker_->UnBlock();
    ResetStatusMessung();
}

void TVTProMaster::aufzeichnungStoppenExecute() {
    messungLaeuft_.store(false);
    TDaten* run = messDaten.load();
    if (run == nullptr) return;
    if (settings_.tsEnd && settings_.tsUse) AddTimeServerStamp();
    if (TCalcer* calculation = calcer.load()) {
        calculation->StopIt();
        platform::WaitForAny({&calcStoppedEvent}, kCalcStopWaitMs);
    }
    // The record the stop closed was posted after the running flag went
    // off; it belongs to the measurement all the same.
    StoreRecordsUpTo(NewestRecordId());
    StoreIntervalClosedBeforeStop();

    TBlockDaten8 block{};
    TWertCreate* reader = wertCreate.load();
    if (reader != nullptr) block = reader->GetBlockData();
    run->SetStopTime(reader != nullptr && block.ende > 0.0 ? block.ende : CorrectedNow());
    SetStatusInfo(0, GetLangText(101));
    block.clipCount = TakeNewClips(blockClipLatch_);
    const int32_t index = reader != nullptr ? run->AddBlock(block) : -1;
    run->SetPeakMax(maxPeak_, maxPeakTime_);
    run->SetLEQmax(dispMaxLeq.load(), dispMaxLeqTime.load());
    run->SetLEQKmax(dispMaxLeqK.load(), dispMaxLeqKTime.load());
    run->SetLEQ120(dispLeq120.load());
    run->SetLeqFull(dispLeqFull.load());
    SaveMeasurement(run->GetSaveName(), QString());  // the stop saves again and handles a failure
    if (TDaten* display = fields_.AnzeigeDaten.load(); display != nullptr && reader != nullptr) {
        display->AddBlock(block);
    }
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
    WriteBlockProtocol(index);
}

// A whole interval the calculation closed just before the stop has its
// notification handled only after the running flag went off, which ignores
// it; the stop stores it ahead of its own unfinished interval.
void TVTProMaster::StoreIntervalClosedBeforeStop() {
    TDaten* run = messDaten.load();
    const TWertCreate* reader = wertCreate.load();
    if (run == nullptr || reader == nullptr) return;
    TBlockDaten8 interval = reader->GetIntervalBlockData();
    platform::TDateTime storedUpTo = run->GetStartTime();
    if (const int32_t count = run->GetNumBlocks(); count > 0) {
        TBlockDaten8 newest{};
        run->GetBlock(count - 1, newest);
        const platform::TDateTime newestEnd = newest.ende;  // a packed field: read by value
        storedUpTo = std::max(storedUpTo, newestEnd);
    }
    if (interval.id <= 0 || interval.ende <= storedUpTo) return;
    interval.clipCount = TakeNewClips(blockClipLatch_);
    const int32_t index = run->AddBlock(interval);
    if (TDaten* display = fields_.AnzeigeDaten.load()) display->AddBlock(interval);
    WriteBlockProtocol(index);
    // The stop's own interval follows these lines instead of replacing them.
    startLineIndex_ = static_cast<int32_t>(memoLines_.size());
}

void TVTProMaster::WriteBlockProtocol(int32_t index) {
    const TDaten* store = defaultDaten.load();
    const TDaten* run = messDaten.load();
    if (store == nullptr || run == nullptr || !store->GetIsInterval()) return;
    const int32_t decimals = store->GetNKS();
    const int32_t lang = language.load();
    const auto levelText = [decimals](double level) { return FixedText(level, decimals); };
    TBlockDaten8 block{};
    const bool known = index >= 0 && index < run->GetNumBlocks();
    if (known) {
        run->GetBlock(index, block);
        if (startLineIndex_ > 0 && startLineIndex_ < memoLines_.size()) {
            memoLines_.erase(memoLines_.begin() + startLineIndex_, memoLines_.end());
        }
        memoLines_ << GetLangText(425) + QStringLiteral(": ") + DateTimeText(block.start);
        const auto averagedLines = [&](int32_t quantity, const QString& label, double level, double highTime,
                                       int32_t limit, const QString& unitGap) {
            if (!run->InsProtokoll(quantity)) return;
            memoLines_ << (level > 0.0 ? label + QStringLiteral(": ") + levelText(level) + QStringLiteral(" dB")
                                       : QStringLiteral("---"));
            if (highTime > 0.0 && run->ForceProt(quantity)) {
                memoLines_ << label + QStringLiteral(" > ") + QString::number(limit) + unitGap + GetLangText(575) +
                                  QLatin1Char(' ') + DateTimeText(highTime);
            }
        };
        averagedLines(0, run->GetLEQLabel(lang), block.leq, block.LeqHighTime, run->GetMaxLEQ(),
                      QStringLiteral(" dB "));
        averagedLines(1, run->GetLEQKLabel(lang), block.leqK, block.LeqKHighTime, run->GetMaxLeqK(),
                      QStringLiteral("dB "));
        if (run->InsProtokoll(2)) {
            if (block.dBCMax > 0.0) {
                QString line = run->GetPeakLabel() + QStringLiteral(": ") + levelText(block.dBCMax) +
                               QStringLiteral(" dB") + QStringLiteral(", ") + DateTimeText(block.PeakHighTime);
                if (block.dBCMax > run->GetMaxPeak() && run->ForceProt(2)) {
                    line += QStringLiteral(" > ") + QString::number(run->GetMaxPeak()) + QStringLiteral(" dB");
                }
                memoLines_ << line;
            } else {
                memoLines_ << QStringLiteral("---");
            }
        }
    }
    // A block the store refused has no lines of its own: the end of the
    // measurement is still worth its line.
    const platform::TDateTime end = known ? block.ende : run->GetStopTime();
    memoLines_ << QStringLiteral("End") + QStringLiteral(": ") + DateTimeText(end);
    memoLines_ << QStringLiteral("***");
    if (GetMessungLaeuft() && known) {
        memoLines_ << DateText(block.ende) + QStringLiteral(", ") + TimeText(block.ende) + QLatin1Char(' ') +
                          GetLangText(425);
        startLineIndex_ = static_cast<int32_t>(memoLines_.size()) - 1;
    }
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
}

void TVTProMaster::AddStopTimeLine() {
    if (const TDaten* run = messDaten.load()) memoLines_ << DateTimeText(run->GetStopTime()) + GetLangText(64);
}

// --- Saving ---

bool TVTProMaster::SaveMeasurement(const QString& fileName, const QString& password) {
    TDaten* run = messDaten.load();
    if (run == nullptr || fileName.isEmpty()) return false;
    try {
        return run->SaveToFile(fileName, password);
    } catch (const std::exception&) {
        return false;
    }
}

bool TVTProMaster::SaveAtStop() {
    const TDaten* run = messDaten.load();
    if (run != nullptr && SaveMeasurement(run->GetSaveName(), QString())) return true;
    return SaveWithNewName();
}

bool TVTProMaster::SaveWithNewName() {
    TDaten* run = messDaten.load();
    if (run == nullptr) return false;
    const bool rescued = SaveNotstopFile(false);
    AskMessageTexts(QStringLiteral("Unable to save the file %s. Please use an other filename")
                        .replace(QStringLiteral("%s"), run->GetSaveName()),
                    QStringLiteral("Could not Save!"), QString(), GetLangText(1126), this);
    QString chosen;
    bool saved = false;
    for (int attempt = 0; attempt < kSaveNameAttempts && !saved; ++attempt) {
        const platform::SaveFileAnswer answer =
            platform::userDialogs()->AskSaveFile(ReportSaveRequest(fields_.userPfad, settings_.overWritePrompt, this));
        if (answer.ok()) chosen = answer.path;
        saved = chosen.size() >= 4 && SaveMeasurement(chosen, QString());
    }
    if (saved) {
        run->SetSaveName(chosen);
        measurementFile_ = chosen;
        if (TDaten* store = defaultDaten.load()) store->SetSaveName(chosen);
    }
    return saved || rescued;
}

bool TVTProMaster::SaveNotstopFile(bool alsoOwnName) {
    const TDaten* run = messDaten.load();
    if (run == nullptr) return false;
    int32_t n = 0;
    while (QFileInfo::exists(NotstopName(fields_.userPfad, n))) ++n;
    bool saved = SaveMeasurement(NotstopName(fields_.userPfad, n), QString());
    FinishFromEndDialog(2);
    if (alsoOwnName) saved = SaveMeasurement(run->GetSaveName(), QString()) || saved;
    return saved;
}

// --- The finish ---

void TVTProMaster::ShowEndDialog(int32_t mode, bool saved) {
    ReportServices* reports = reportServices();
    if (reports == nullptr) {
        FinishMessung(mode, QString(), saved);
        return;
    }
    savedAtStop_ = saved;
    hEOM_ = reports->NewEndOfMeasurement(this);
    hEOM_->SetForceKal(curPreset.offCheck);
    hEOM_->Show();
}

void TVTProMaster::FinishFromEndDialog(int32_t mode) {
    if (!hEOM_) return;
    const QString password = hEOM_->GetPW();
    // Cleared before the finish, so that a nested call through the
    // emergency copy finds no dialog and returns.
    std::unique_ptr<TEndOfMeasurement> dialog = std::move(hEOM_);
    FinishMessung(mode, password, savedAtStop_);
    dialog->Hide();
}

void TVTProMaster::FinishMessung(int32_t mode, const QString& password, bool savedAtStop) {
    TDaten* run = messDaten.load();
    bool copyWritten = savedAtStop;
    if (hintsEditor_) {
        if (mode == 2 || !hintsEditor_->IsChanged()) {
            EndHinweise(true);
        } else {
            hintsEditor_->BringToFront();
            const QString question = GetLangText(69) + QStringLiteral("\r\n\r\n") + GetLangText(70);
            EndHinweise(AskMessageTexts(question, GetLangText(71), GetLangText(403), GetLangText(843), this) ==
                        platform::kMessageRight);
        }
    }
    QStringList failures;
    if (run != nullptr) {
        const QString own = run->GetSaveName();
        if (mode == 2) {
            copyWritten = SaveNotstopFile(true) || copyWritten;
        } else if (SaveMeasurement(own, password)) {
            copyWritten = true;
        } else if (password.size() >= 2 && copyWritten) {
            failures << QStringLiteral("The report password could not be applied to %1; the file stays without it.")
                            .arg(own);
        }
        try {
            run->EndMessung(password, settings_.makeReadOnly);
        } catch (const std::exception&) {
            // The saves above already told what was written.
        }
    }
    SetIdleMenus(true);
    if (copyWritten) {
        crash_markers::MarkRunFinished();
    } else {
        // Nothing reached a file: the crash backups stay on offer at the next start.
        failures << QStringLiteral("The measurement could not be saved, neither under its own name nor as an "
                                   "emergency copy in %1. Its crash backups are kept.")
                        .arg(fields_.userPfad);
    }
    keepAwake_.Release();
    PostMainNotify(kNotifyInputAssign, inputAssignLatch_);
    canSetForeGround_ = true;
    if (!failures.isEmpty()) {
        AskMessageTexts(failures.join(QStringLiteral("\r\n\r\n")), QStringLiteral("Could not Save!"), QString(),
                        GetLangText(1126), this);
    }
    SftpServices* sftp = sftpServices();
    if (copyWritten && run != nullptr && sftp != nullptr && sftp->AutoTransferOn() &&
        QFileInfo::exists(run->GetSaveName())) {
        sftp->UploadBySFTP(run->GetSaveName());
    }
}

void TVTProMaster::ResetStatusMessung() {
    fields_.statusMessung.store(logoOnStop ? 6 : 0);
    ++statusInfo_;
}

// --- The hints editor ---

void TVTProMaster::ShowHintsEditor(int32_t position) {
    const TDaten* store = defaultDaten.load();
    ReportServices* reports = reportServices();
    if (store == nullptr || reports == nullptr) return;
    if (!hintsEditor_) {
        hintsEditor_ = reports->NewHintsEditor(this);
        hintsEditor_->SetTheHints(store->GetHinweisText());
        hintsEditor_->SetMessageInfo(handle_, kNotifyHintsCancel, kNotifyHintsSave);
        const QRect main = frameGeometry();
        const QSize size = hintsEditor_->Size();
        QPoint topLeft = main.center() - QPoint(size.width() / 2, size.height() / 2);
        if (position == kHintsBelowEndDialog) {
            topLeft = hEOM_ ? QPoint(hEOM_->FrameGeometry().left(), hEOM_->FrameGeometry().bottom() + 1) : main.topLeft();
        }
        hintsEditor_->ShowAt(topLeft);
    }
    hintsEditor_->BringToFront();
}

void TVTProMaster::EndHinweise(bool save) {
    if (!hintsEditor_) return;
    std::unique_ptr<THinweise> editor = std::move(hintsEditor_);
    try {
        if (save) {
            const QString hints = editor->GetTheHints();
            if (TDaten* store = defaultDaten.load()) store->SetHinweisText(hints);
            if (TDaten* run = messDaten.load()) run->SetHinweisText(hints);
        }
        editor->Hide();
    } catch (...) {
        // Closing the editor must never stop the finish.
    }
}

// --- The audio device stopped answering ---

void TVTProMaster::AudioFailureStop() {
    QString text = QStringLiteral("The audio device selected") + QStringLiteral("\r\n") + fields_.CurrentDeviceName +
                   QStringLiteral("\r\n") + QStringLiteral("does not respond.") + QStringLiteral("\r\n\r\n");
    if (GetMessungLaeuft()) {
        StopMessung(2);
        QCoreApplication::processEvents();
        text += QStringLiteral("The measurment has been stopped.") + QStringLiteral("\r\n\r\n");
    }
    if (fields_.IOMode.load() == 1) StopAudioIn();
    text += QStringLiteral("To change the audio device settings\r\nselect YES, \r\nto exit the software select NO.");
    const int answer = AskMessageTexts(text, GetLangText(6), GetLangText(208), GetLangText(20), this);
    if (answer == platform::kMessageLeft) {
        close();
    } else if (answer == platform::kMessageRight) {
        aSelectSCExecute();  // "Audio Device Setup"
    }
}

// How the main window names, starts, extends and stops the WAV recordings of
// a measurement's limit events. The window owns its recorders: a stopped one
// finishes its file on its own thread and is joined and freed when it has
// reported its end (notification 74 or 72/2), or at the window's end.
#include <QDir>
#include <QFileInfo>

#include "audio/wav_recorder.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/target_file.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kRecordingMinFreeMB = 300;
constexpr int32_t kShortestSaveName = 3;

QString Symbolic(const QString& path) {
    ReportNaming* naming = reportNaming();
    return naming != nullptr ? naming->SymbolicPath(path) : path;
}

// The target check leaves an empty file to test the name; without a
// recording it is litter.
void RemoveEmptyFile(const QString& path) {
    const QFileInfo file(path);
    if (file.isFile() && file.size() == 0) QFile::remove(path);
}

}  // namespace

QString TVTProMaster::RecordingFileName() {
    ++recId_;
    const TDaten* run = messDaten.load();
    QString name = run != nullptr ? run->GetSaveName() : QString();
    // A run without a real save name would record into the root or the
    // working folder; the user folder with a generated name is ours.
    if (name.size() <= kShortestSaveName) name = FallbackSaveName();
    if (name.isEmpty()) return QString();
    QString base = name;
    if (base.endsWith(QStringLiteral(".vtm"), Qt::CaseInsensitive)) base.chop(4);
    if (recUseSubDir) {
        QDir().mkpath(base);
        base += QLatin1Char('/');
    } else {
        base += QLatin1Char('_');
    }
    return base + QStringLiteral("REC_") + QString::number(recId_) + QStringLiteral(".WAV");
}

void TVTProMaster::StartRecording() {
    if (!GetMessungLaeuft()) return;
    // One recording covers overlapping events.
    if (hRec_) {
        hRec_->ReTrigger();
        return;
    }
    const QString fileName = RecordingFileName();
    if (fileName.isEmpty()) return;
    switch (CheckTargetFile(fileName, kRecordingMinFreeMB)) {
    case kTargetFileOk:
        StartRecorder(fileName);
        return;
    case kTargetFileLowSpace:
        RemoveEmptyFile(fileName);
        AddEventMessage(GetLangText(916), true, true);
        return;
    case kTargetFileNotCreatable:
        AddEventMessage(WithTextArgument(GetLangText(919), Symbolic(fileName)), false, true);
        return;
    default:
        return;
    }
}

void TVTProMaster::StartRecorder(const QString& fileName) {
    try {
        auto recorder = std::make_unique<TRecordIt>();
        recorder->Init(fileName, static_cast<int64_t>(recPre) * TRecordIt::kSampleRate, recPost, recId_, recMax);
        AddEventMessage(Symbolic(fileName), false, false);
        recorder->Start();
        hRec_ = std::move(recorder);
    } catch (...) {
        RemoveEmptyFile(fileName);
        AddEventMessage(QStringLiteral("Start Record failed: ") + fileName, true, true);
    }
}

void TVTProMaster::ExtendRecording() {
    if (hRec_) hRec_->ReTrigger();
}

void TVTProMaster::StopRecording() {
    if (!hRec_) return;
    hRec_->StopRec();
    stoppedRecorders_.push_back(std::move(hRec_));
}

void TVTProMaster::ForgetEndedRecorders() {
    if (hRec_ && hRec_->Reported()) {
        hRec_->WaitFor();
        hRec_.reset();
    }
    std::erase_if(stoppedRecorders_, [](const std::unique_ptr<TRecordIt>& recorder) {
        if (!recorder->Reported()) return false;
        recorder->WaitFor();
        return true;
    });
}

void TVTProMaster::RegisterEventNotifications() {
    dispatch_.Add(kNotifyMaxText, [this](int32_t) { ShowMaxText(); }, true);
    dispatch_.Add(kNotifyLeqOverLimit, [this](int32_t type) { LeqEvent(type); });
    dispatch_.Add(kNotifyRecorderEnded, [this](int32_t) { ForgetEndedRecorders(); });
    dispatch_.Add(kNotifyLanguage, [this](int32_t lang) { ApplyLanguage(lang, false); });
    dispatch_.Add(kNotifyPeakPopup, [this](int32_t which) {
        const TDaten* store = defaultDaten.load();
        if (which == 1) ShowMaxPeakPopup();
        else if (which == 0 && store != nullptr && store->GetIsInterval()) ShowBlockPeakPopup();
    });
}

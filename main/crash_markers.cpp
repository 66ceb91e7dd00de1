#include "main/crash_markers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <optional>

#include "main/main_window.h"
#include "platform/registry.h"
#include "store/crash_backups.h"
#include "store/restore_backup_dialog.h"
#include "ui_kit/message_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace crash_markers {

namespace {

const QString kMessung = QStringLiteral("Messung");
const QString kLaeuft = QStringLiteral("Laeuft");
const QString kStart = QStringLiteral("Start");
const QString kRotation = QStringLiteral("Rotation");

// Opens the program key, writes and closes it: a marker that is not on disk
// when the next step begins would be worthless after a crash.
bool WriteMarkers(const std::function<bool(platform::Registry&)>& write) {
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    const bool written = write(reg);
    return reg.CloseKey() && written;
}

// The seven backup files in the order a rotation moves them.
QStringList BackupFileNames() {
    return {DatenBackupName(1), DatenBackupName(2), WerteBackupName(1), WerteBackupName(2),
            BlockBackupName(1), BlockBackupName(2), kHeaderTextsBackupName};
}

bool EitherExists(const QString& folder, QString (*name)(int32_t)) {
    return platform::FileExistsNoCase(folder, name(1)) || platform::FileExistsNoCase(folder, name(2));
}

// "Backup_YYYY_MM_DD_" + the first number from 0001 whose folder does not
// exist, in any letter case.
QString NextRotationFolder(const QString& userPfad, platform::TDateTime today) {
    const platform::DateTimeParts date = platform::DecodeDateTime(today);
    const QString stem = QStringLiteral("Backup_%1_%2_%3_")
                             .arg(date.year)
                             .arg(date.month, 2, 10, QLatin1Char('0'))
                             .arg(date.day, 2, 10, QLatin1Char('0'));
    const QStringList existing = QDir(userPfad).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    for (int number = 1;; ++number) {
        const QString name = stem + QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
        if (!existing.contains(name, Qt::CaseInsensitive)) return QDir(userPfad).filePath(name);
    }
}

// The folder of a rotation that has not moved every file yet. A crash in
// the middle of one (or a file that could not be moved) leaves the set split
// between the base folder and that folder, where neither half restores and
// the next run's backups would overwrite the half left behind; the next
// start moves the rest after the first half.
QString UnfinishedRotation() {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey)) return QString();
    const std::optional<QString> folder = reg.ReadString(kRotation);
    return folder && QFileInfo(*folder).isDir() ? *folder : QString();
}

// A move the crash interrupted after the whole copy arrived (a move across
// file systems deletes its source last) left the file in both places; the
// source is whole, so it is moved again.
bool MoveAgain(const QString& from, const QString& to, const FileMover& move, QString* why) {
    if (QFileInfo::exists(to) && !QFile::remove(to)) {
        *why = QStringLiteral("Cannot replace \"%1\" with \"%2\".").arg(to, from);
        return false;
    }
    return move(from, to, why);
}

}  // namespace

bool MarkMeasurementOpen() {
    return WriteMarkers([](platform::Registry& reg) { return reg.WriteInteger(kMessung, 1); });
}

bool MarkRunStarted(platform::TDateTime start) {
    return WriteMarkers([start](platform::Registry& reg) {
        return reg.WriteBool(kLaeuft, true) && reg.WriteDateTime(kStart, start);
    });
}

bool MarkRunStopped() {
    return WriteMarkers([](platform::Registry& reg) {
        return reg.WriteBool(kLaeuft, false) && reg.WriteInteger(kMessung, 2);
    });
}

bool MarkRunFinished() {
    return WriteMarkers([](platform::Registry& reg) { return reg.WriteInteger(kMessung, 0); });
}

bool CheckAbortedRun(const QString& basisPfad) {
    if (!UnfinishedRotation().isEmpty()) return true;
    if (!EitherExists(basisPfad, DatenBackupName) || !EitherExists(basisPfad, WerteBackupName)) return false;
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey)) return true;
    const std::optional<int32_t> messung = reg.ReadInteger(kMessung);
    return !messung || *messung > 0;
}

RotationResult RotateBackups(const QString& basisPfad, const QString& userPfad, platform::TDateTime today,
                             const FileMover& move) {
    RotationResult result;
    QString folder = UnfinishedRotation();
    const bool resumed = !folder.isEmpty();
    if (!resumed) {
        folder = NextRotationFolder(userPfad, today);
        if (!QDir().mkpath(folder)) return result;
        WriteMarkers([&folder](platform::Registry& reg) { return reg.WriteString(kRotation, folder); });
    }
    result.folder = folder;
    for (const QString& name : BackupFileNames()) {
        for (const QString& from : platform::FindFilesNoCase(basisPfad, name)) {
            const QString to = QDir(folder).filePath(QFileInfo(from).fileName());
            QString why;
            if (!(resumed ? MoveAgain(from, to, move, &why) : move(from, to, &why)))
                result.notMoved << (why.isEmpty() ? from : why);
        }
    }
    // Both markers in one write of the settings: never one without the other.
    if (result.notMoved.isEmpty()) {
        WriteMarkers([](platform::Registry& reg) {
            reg.DeleteValue(kRotation);
            return reg.WriteInteger(kMessung, 0);
        });
    }
    return result;
}

}  // namespace crash_markers

// An aborted run's backups are moved aside before anything can start a new
// measurement over them, then offered for restoring.
void TVTProMaster::CheckForAbortedRun() {
    if (!crash_markers::CheckAbortedRun(fields_.basisPfad)) {
        // A start sequence run again finds the backups moved already; the
        // folder they were moved to stays the one offered.
        if (fields_.RestorePfad.isEmpty()) fields_.RestorePfad = fields_.userPfad;
        return;
    }
    const crash_markers::RotationResult rotation =
        crash_markers::RotateBackups(fields_.basisPfad, fields_.userPfad, CorrectedNow());
    // Without a rotation folder the backups still lie in the base folder.
    fields_.RestorePfad = rotation.folder.isEmpty() ? fields_.basisPfad : rotation.folder;
    for (const QString& why : rotation.notMoved) AddEventMessage(why, false, false);
    if (!settings_.autoStart) RestoreAbortedRun(fields_.RestorePfad);
}

void TVTProMaster::RestoreAbortedRun(const QString& startDir) {
    TRestoreBackup dialog(this);
    QRect placed(QPoint(0, 0), dialog.size());
    placed.moveCenter(frameGeometry().center());
    dialog.move(FitRectToWorkArea(placed));
    dialog.InitDir(startDir);
    const int result = dialog.exec();
    const QString restored = dialog.GetRestoreFile();
    if (result != kRestoreDone || !QFileInfo::exists(restored)) return;
    // The restored file becomes the current measurement file. At start-up the
    // device settings, which hold that name, are read after this offer, so
    // the name is written where they read it.
    lastProt = restored;
    platform::Registry reg;
    if (reg.OpenKey(kSettingsKey, true)) reg.WriteString(QStringLiteral("LastProt"), restored);
    reg.CloseKey();
}

void TVTProMaster::AbgebrocheneMessungwiederherstellen1Click() { RestoreAbortedRun(fields_.RestorePfad); }

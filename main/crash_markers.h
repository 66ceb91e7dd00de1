#pragma once
// The marker values in the program's registry key that tell the next
// program start whether the last measurement ended normally:
//   Messung  1 the measurement store was prepared at the start,
//            2 the measurement was stopped and saved but not finished,
//            0 it was finished (or its backups were moved aside);
//   Laeuft   true while the running flag is set;
//   Start    the start time of the last measurement, never cleared;
//   Rotation the folder a rotation of the backups is moving them into,
//            removed when every file has arrived.
// Each write opens the key, writes and closes it, so the marker is on disk
// before the step that follows it.
#include <QString>
#include <QStringList>

#include <functional>

#include "platform/date_time.h"
#include "platform/files.h"

namespace crash_markers {

// Messung := 1 (the measurement store is being prepared).
bool MarkMeasurementOpen();
// Laeuft := true and Start := start.
bool MarkRunStarted(platform::TDateTime start);
// Laeuft := false and Messung := 2.
bool MarkRunStopped();
// Messung := 0.
bool MarkRunFinished();

// The start-up test: a rotation has not moved every file yet, or a header
// backup and a values backup lie in the base folder (names in any case) and
// Messung is above 0 or missing.
bool CheckAbortedRun(const QString& basisPfad);

struct RotationResult {
    QString folder;        // the new rotation folder; empty when it could not be made
    QStringList notMoved;  // one line per backup file that stayed in the base folder, with why
};

using FileMover = std::function<bool(const QString& from, const QString& to, QString* error)>;

// Moves every backup file of the base folder (each spelling of each name)
// into a new folder "Backup_YYYY_MM_DD_NNNN" under the user folder, dated
// today, numbered from 0001 upwards past every existing folder of that name
// in any case. Messung := 0 only when every file was moved: while a backup
// file stays behind, the run still counts as not finished. A rotation that
// a crash or an unmovable file left unfinished is carried on into its own
// folder, so the set is never split across two folders.
RotationResult RotateBackups(const QString& basisPfad, const QString& userPfad, platform::TDateTime today,
                             const FileMover& move = platform::MoveFile);

}  // namespace crash_markers

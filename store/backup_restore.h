#pragma once
// Rebuilding a measurement file from the crash backups of an aborted run
// (store/crash_backups.h describes the files). The restore dialog scans the
// folder the user picks and restores from it; tests call both without the
// dialog.
//
// A crash can catch either file of a pair in the middle of a write, so every
// candidate is checked before it is used: a header file needs its whole
// 368-byte record with format version 14; a values file counts its whole
// 44-byte records and drops a cut one at its end; a block file counts its
// blocks up to the first cut one (its count word may be stale). Of each pair
// the file with more complete records is taken, the newer one on a tie, and
// the other one when the chosen file is unusable. The backup files are only
// read, never changed.
#include <QString>

#include <cstdint>

#include "platform/date_time.h"
#include "store/measurement_records.h"

// What a backup folder holds.
struct BackupScan {
    QString restoreDir;  // the folder when it holds a restorable set, else empty
    QString infoText;    // the info box's text
    bool restorable = false;
    TsaveItHeader13 header;  // fixed part and texts of the set
    QString headerFile;      // the header backup the header came from
    QString valuesFile;      // the values backup a restore reads
    int32_t completeValues = 0;
    // Last-write times (local) of the two values and the two block files; 0
    // for a missing file.
    platform::TDateTime timeW1 = 0.0;
    platform::TDateTime timeW2 = 0.0;
    platform::TDateTime timeb1 = 0.0;
    platform::TDateTime timeb2 = 0.0;
};

// Examines the backup set in folder and writes the info text in the current
// language.
BackupScan ScanBackupFolder(const QString& folder);

struct RestoreResult {
    bool ok = false;
    QString error;     // why nothing was restored
    QString readLast;  // full path of the backup file read last
    int32_t values = 0;  // values restored
    int32_t blocks = 0;  // blocks taken from the block backup (the closing block not counted)
};

// Rebuilds the measurement whose backups lie in folder and saves it to
// target without a password: every complete value and block, the maxima, a
// closing block over the values after the last complete block, and the
// message "Restored <backup file read last>". An existing target that is
// write-protected is refused and left as it was.
RestoreResult RestoreFromBackup(const QString& folder, const QString& target);

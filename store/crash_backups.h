#pragma once
// The crash backups of a running measurement (TDaten::InitMessung and
// TDaten::SecSave, declared with the store). All files lie in the backup
// folder and are matched without regard to case:
//
//  - "werteBackup1.vtb" / "werteBackup2.vtb": the stored values from index 0,
//    44 raw bytes each, nothing else;
//  - "BlockBackup1.vtb" / "BlockBackup2.vtb": the block count (int32), then
//    the blocks in the measurement file's block form;
//  - "DatenBackup1.vtb" / "DatenBackup2.vtb": the 368-byte header record
//    followed by 232 zero bytes;
//  - "SBU1.vtb": the 29 header texts in the measurement file's order.
//
// Values, blocks and header alternate between their two files. A run lasts
// days and is backed up every few seconds, so the values and block files
// only grow: each backup appends what its file lacks and syncs it once,
// and its bookkeeping moves on only when that succeeded. A crash inside an
// append can leave a cut last record or block behind the complete ones;
// readers take the whole 44-byte values and the blocks up to the first cut
// one, and do not trust the block count, which may be stale after a crash.
// The next append to such a file first cuts it back to what is known to be
// complete. A file that failed to be written keeps its bookkeeping and
// catches up on its next turn, so the two files of a kind never have a
// permanent gap. The small header files are replaced whole through the
// atomic writer.
#include <QString>

#include <cstdint>

inline constexpr int32_t kHeaderBackupBytes = 600;

// The name of backup file number (1 or 2) of a kind.
QString WerteBackupName(int32_t number);
QString BlockBackupName(int32_t number);
QString DatenBackupName(int32_t number);
inline const QString kHeaderTextsBackupName = QStringLiteral("SBU1.vtb");

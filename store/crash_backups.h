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
// Values, blocks and header alternate between their two files, and every
// file is replaced whole through the atomic writer, so a crash at any moment
// leaves each file either at its previous or at its new content. A file
// that failed to be written keeps its bookkeeping and catches up on its next
// turn: the two files of a kind never have a permanent gap.
#include <QString>

#include <cstdint>

inline constexpr int32_t kHeaderBackupBytes = 600;

// The name of backup file number (1 or 2) of a kind.
QString WerteBackupName(int32_t number);
QString BlockBackupName(int32_t number);
QString DatenBackupName(int32_t number);
inline const QString kHeaderTextsBackupName = QStringLiteral("SBU1.vtb");

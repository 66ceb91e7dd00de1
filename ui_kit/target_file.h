#pragma once
// Checks, before a measurement or a recording starts, that its target file
// can be written and that its folder has room.
#include <QString>

#include <cstdint>

enum TargetFileCheck : int32_t {
    kTargetFileOk = 0,
    kTargetFileLowSpace = 1,   // creatable, but the folder has less than the free space asked for
    kTargetFileNotCreatable = 2,
    kTargetFileNameTooShort = 3,  // 5 characters or fewer; the disk is not touched
};

// Creates fileName when it is missing (it stays on disk, empty) and checks the
// free space of its folder in whole megabytes (1024 x 1024 bytes available to
// the user) against minFreeMB. An existing file is opened for writing but
// never shortened: a target whose name repeats must not lose an earlier
// measurement. A read-only file cannot be created. Space that cannot be determined counts as too little.
// Every caller passes 300.
int32_t CheckTargetFile(const QString& fileName, int32_t minFreeMB);

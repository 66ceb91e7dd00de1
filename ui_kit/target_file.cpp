#include "ui_kit/target_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

// Opening for appending creates a missing file and leaves an existing one whole.
bool CreateWithoutTruncating(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    file.close();
    return true;
}

qint64 FreeMegabytes(const QString& fileName) {
    const QStorageInfo storage(QFileInfo(fileName).absolutePath());
    if (!storage.isValid() || !storage.isReady()) {
        return -1;
    }
    const qint64 bytes = storage.bytesAvailable();
    return bytes < 0 ? -1 : bytes / 1024 / 1024;
}

}  // namespace

int32_t CheckTargetFile(const QString& fileName, int32_t minFreeMB) {
    if (fileName.size() < 6) {
        return kTargetFileNameTooShort;
    }
    // A read-only file is a finished measurement: never a target, whoever
    // runs the program (the owner's write bit counts, not the access rights).
    const QFileInfo existing(fileName);
    if (existing.exists() && !(existing.permissions() & QFileDevice::WriteOwner)) {
        return kTargetFileNotCreatable;
    }
    if (!CreateWithoutTruncating(fileName)) {
        return kTargetFileNotCreatable;
    }
    const qint64 freeMB = FreeMegabytes(fileName);
    if (freeMB < 0 || freeMB < minFreeMB) {
        return kTargetFileLowSpace;
    }
    return kTargetFileOk;
}

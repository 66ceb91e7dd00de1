#include "store/crash_backups.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cstring>
#include <exception>
#include <vector>

#include "platform/files.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/own_copies.h"

namespace {

// The existing spelling of a backup file when there is one, so that a file
// written under another letter case is replaced rather than doubled.
QString BackupPath(const QString& folder, const QString& name) {
    const QString existing = platform::FindFileNoCase(folder, name);
    return existing.isEmpty() ? QDir(folder).filePath(name) : existing;
}

bool RemoveEverySpelling(const QString& folder, const QString& name) {
    for (;;) {
        const QString path = platform::FindFileNoCase(folder, name);
        if (path.isEmpty()) {
            return true;
        }
        if (!QFile::remove(path)) {
            return false;
        }
    }
}

QByteArray HeaderBackupImage(const TSaveData13& d) {
    QByteArray image(kHeaderBackupBytes, '\0');
    std::memcpy(image.data(), &d, sizeof d);
    return image;
}

QByteArray HeaderTextsImage(const TsaveItHeader13& header) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    if (WriteHeaderTexts(out, header) < 0) {
        throw std::runtime_error("the header texts could not be built");
    }
    return image;
}

QByteArray BlocksImage(const std::vector<TBlockDaten8>& blocks) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    const auto count = static_cast<int32_t>(blocks.size());
    bool ok = out.write(reinterpret_cast<const char*>(&count), sizeof count) == sizeof count;
    for (const TBlockDaten8& block : blocks) {
        ok = ok && WriteBlockRecord(out, block);
    }
    if (!ok) {
        throw std::runtime_error("the block backup could not be built");
    }
    return image;
}

int32_t Other(int32_t number) { return number == 1 ? 2 : 1; }

}  // namespace

QString WerteBackupName(int32_t number) { return QStringLiteral("werteBackup%1.vtb").arg(number); }
QString BlockBackupName(int32_t number) { return QStringLiteral("BlockBackup%1.vtb").arg(number); }
QString DatenBackupName(int32_t number) { return QStringLiteral("DatenBackup%1.vtb").arg(number); }

bool TDaten::InitMessung(const QString& folder) {
    TsaveItHeader13 header;
    {
        platform::WriteGuard guard(DataSync);
        ClearContentLocked();
        BUP = folder;
        blockSaveID = werteSaveID = datenSaveId = 1;
        lastSavedBlock[0] = lastSavedBlock[1] = -1;
        firstWertToSave[0] = firstWertToSave[1] = 0;
        header = OwnCopy(DatenLatch);
    }
    saveDaten = false;

    // Values and blocks of an earlier measurement must not survive into this
    // one's backup set, or a restore would mix the two.
    bool ok = true;
    for (int32_t number : {1, 2}) {
        ok = RemoveEverySpelling(folder, WerteBackupName(number)) && ok;
        ok = RemoveEverySpelling(folder, BlockBackupName(number)) && ok;
    }
    try {
        const QByteArray headerImage = HeaderBackupImage(header.theData);
        for (int32_t number : {1, 2}) {
            ok = platform::WriteFileAtomically(BackupPath(folder, DatenBackupName(number)), headerImage) && ok;
        }
        ok = platform::WriteFileAtomically(BackupPath(folder, kHeaderTextsBackupName), HeaderTextsImage(header)) && ok;
    } catch (const std::exception&) {
        ok = false;
    }
    return ok;
}

bool TDaten::SecSave(bool saveBlock) {
    if (BUP.isEmpty()) {
        return false;
    }
    bool wrote = false;
    bool ok = true;
    if (saveBlock) {
        ok = BackupWerte(wrote) && ok;
        ok = BackupBlocks() && ok;
    }
    ok = BackupHeader(wrote) && ok;
    return wrote && ok;
}

// The file whose turn it is gets every value up to now. Its bookkeeping
// moves on only when the write succeeded; the turn passes either way, so a
// file that cannot be written does not hold up the other one.
bool TDaten::BackupWerte(bool& wrote) {
    const int32_t number = werteSaveID;
    int32_t& first = firstWertToSave[number - 1];
    QByteArray content;
    int32_t n = 0;
    try {
        platform::ReadGuard guard(DataSync);
        n = static_cast<int32_t>(aW6.size());
        if (n == 0) {
            return true;
        }
        if (first != n) {
            content = QByteArray(reinterpret_cast<const char*>(aW6.data()),
                                 static_cast<qsizetype>(aW6.size() * sizeof(TSaveIT6)));
        }
    } catch (const std::exception&) {
        werteSaveID = Other(number);
        return false;
    }
    werteSaveID = Other(number);
    if (first == n) {
        return true;
    }
    if (!platform::WriteFileAtomically(BackupPath(BUP, WerteBackupName(number)), content)) {
        return false;
    }
    wrote = wrote || n > first;
    first = n;
    return true;
}

bool TDaten::BackupBlocks() {
    const int32_t number = blockSaveID;
    blockSaveID = Other(number);
    std::vector<TBlockDaten8> blocks;
    try {
        {
            platform::ReadGuard guard(DataSync);
            const auto b = static_cast<int32_t>(aB8.size());
            if (b == 0 || lastSavedBlock[number - 1] >= b - 1) {
                return true;
            }
            blocks.reserve(aB8.size());
            for (const TBlockDaten8& block : aB8) {
                blocks.push_back(OwnCopy(block));
            }
        }
        if (!platform::WriteFileAtomically(BackupPath(BUP, BlockBackupName(number)), BlocksImage(blocks))) {
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    lastSavedBlock[number - 1] = static_cast<int32_t>(blocks.size()) - 1;
    return true;
}

// The dirty flag is taken before the header is read, so a change made
// meanwhile on another thread sets it again and is written next time.
bool TDaten::BackupHeader(bool& wrote) {
    if (!saveDaten.exchange(false)) {
        return true;
    }
    const int32_t number = datenSaveId;
    datenSaveId = Other(number);
    TSaveData13 header;
    {
        platform::ReadGuard guard(DataSync);
        header = DatenLatch.theData;
    }
    if (!platform::WriteFileAtomically(BackupPath(BUP, DatenBackupName(number)), HeaderBackupImage(header))) {
        saveDaten = true;
        return false;
    }
    wrote = true;
    return true;
}

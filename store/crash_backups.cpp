#include "store/crash_backups.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <algorithm>
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

QByteArray CountImage(int32_t count) {
    return QByteArray(reinterpret_cast<const char*>(&count), sizeof count);
}

QByteArray BlockRecordsImage(const std::vector<TBlockDaten8>& blocks) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    for (const TBlockDaten8& block : blocks) {
        if (!WriteBlockRecord(out, block)) {
            throw std::runtime_error("the block backup could not be built");
        }
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
        readOnlyMarked_.clear();  // a new run owns no mark of an earlier one
        blockSaveID = werteSaveID = datenSaveId = 1;
        lastSavedBlock[0] = lastSavedBlock[1] = -1;
        blockBytesSaved[0] = blockBytesSaved[1] = 0;
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
        backupFailed.store(true);
        return false;
    }
    bool wrote = false;
    bool ok = true;
    if (saveBlock) {
        ok = BackupWerte(wrote) && ok;
        ok = BackupBlocks() && ok;
    }
    ok = BackupHeader(wrote) && ok;
    backupFailed.store(!ok);
    return wrote && ok;
}

// The file whose turn it is gets the values it lacks appended. Its
// bookkeeping moves on only when the append reached the disk; the turn passes
// either way, so a file that cannot be written does not hold up the other
// one. Only the copy of the new values is made under the lock.
bool TDaten::BackupWerte(bool& wrote) {
    const int32_t number = werteSaveID;
    int32_t& first = firstWertToSave[number - 1];
    try {
        int32_t n = 0;
        {
            platform::ReadGuard guard(DataSync);
            n = static_cast<int32_t>(aW6.size());
        }
        if (n == 0) {
            return true;
        }
        werteSaveID = Other(number);
        if (first == n) {
            return true;
        }
        platform::GrowingFile file;
        if (!file.open(BackupPath(BUP, WerteBackupName(number)))) {
            return false;
        }
        // A file shorter than its bookkeeping says (removed meanwhile) is
        // refilled from its last whole value; a list that shrank is written
        // anew.
        const auto wholeOnDisk = static_cast<int32_t>(std::min<qint64>(file.sizeAtOpen() / kWertBytes, first));
        int32_t from = first <= n ? wholeOnDisk : 0;
        QByteArray fresh;
        {
            platform::ReadGuard guard(DataSync);
            n = static_cast<int32_t>(aW6.size());
            from = std::min(from, n);
            fresh = QByteArray(reinterpret_cast<const char*>(aW6.data() + from),
                               static_cast<qsizetype>(n - from) * kWertBytes);
        }
        const qint64 at = static_cast<qint64>(from) * kWertBytes;
        if (!file.cutTo(at) || !file.writeAt(at, fresh) || !file.sync()) {
            return false;
        }
        wrote = wrote || n > from;
        first = n;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// As the values: the blocks the file lacks are appended and the count at its
// start is brought up to date before the one sync.
bool TDaten::BackupBlocks() {
    const int32_t number = blockSaveID;
    blockSaveID = Other(number);
    int32_t& last = lastSavedBlock[number - 1];
    int64_t& length = blockBytesSaved[number - 1];
    try {
        {
            platform::ReadGuard guard(DataSync);
            const auto b = static_cast<int32_t>(aB8.size());
            if (b == 0 || last >= b - 1) {
                return true;
            }
        }
        platform::GrowingFile file;
        if (!file.open(BackupPath(BUP, BlockBackupName(number)))) {
            return false;
        }
        // A file shorter than its bookkeeping says is written anew.
        const qint64 keep = length > 0 && file.sizeAtOpen() >= length ? length : 0;
        const int32_t from = keep > 0 ? last + 1 : 0;
        std::vector<TBlockDaten8> fresh;
        {
            platform::ReadGuard guard(DataSync);
            for (size_t i = static_cast<size_t>(from); i < aB8.size(); ++i) {
                fresh.push_back(OwnCopy(aB8[i]));
            }
        }
        const auto count = static_cast<int32_t>(from + fresh.size());
        const QByteArray records = BlockRecordsImage(fresh);
        const QByteArray image = keep > 0 ? records : CountImage(count) + records;
        if (!file.cutTo(keep) || !file.writeAt(keep, image) || (keep > 0 && !file.writeAt(0, CountImage(count))) ||
            !file.sync()) {
            return false;
        }
        last = count - 1;
        length = keep + image.size();
        return true;
    } catch (const std::exception&) {
        return false;
    }
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

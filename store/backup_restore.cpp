#include "store/backup_restore.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/files.h"
#include "store/crash_backups.h"
#include "store/csv_export.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextMeasurementStarted = 723;
constexpr int32_t kTextLastValidData = 815;
constexpr int32_t kTextNoValidData = 816;
constexpr int32_t kTextSelectBackupFolder = 817;
constexpr int32_t kTextRestored = 866;
constexpr int32_t kTextOlderVersion = 867;
constexpr int32_t kCurrentVersion = 14;
const QString kLineBreak = QStringLiteral("\r\n");

// One file of a backup pair as found on disk.
struct BackupFile {
    QString path;        // empty when missing
    QDateTime modified;  // last write, local time

    bool exists() const { return !path.isEmpty(); }
    platform::TDateTime localTime() const { return exists() ? platform::ToDateTime(modified) : 0.0; }
};

BackupFile FindBackup(const QString& folder, const QString& name) {
    BackupFile file;
    file.path = platform::FindFileNoCase(folder, name);
    if (file.exists()) file.modified = QFileInfo(file.path).lastModified();
    return file;
}

// Later by at least a millisecond; a missing file is never the newer one.
bool IsNewer(const BackupFile& a, const BackupFile& b) {
    if (!a.exists()) return false;
    return !b.exists() || b.modified.msecsTo(a.modified) >= 1;
}

// The pair's files, the one to try first in front: the one with more
// complete records, the newer one on a tie (file 2 when both are as new).
std::array<int, 2> PreferenceOrder(const std::array<BackupFile, 2>& files, const std::array<int64_t, 2>& complete) {
    if (complete[0] != complete[1]) return complete[0] > complete[1] ? std::array{0, 1} : std::array{1, 0};
    return IsNewer(files[0], files[1]) ? std::array{0, 1} : std::array{1, 0};
}

std::array<BackupFile, 2> FindPair(const QString& folder, QString (*name)(int32_t)) {
    return {FindBackup(folder, name(1)), FindBackup(folder, name(2))};
}

QString DateTimeText(platform::TDateTime t) {
    const QLocale locale;
    return CsvDateText(t, locale) + QLatin1Char(' ') + CsvTimeText(t, locale);
}

enum class HeaderState { Missing, Damaged, OtherVersion, Usable };

HeaderState ReadHeaderRecord(const BackupFile& file, TSaveData13& record) {
    if (!file.exists()) return HeaderState::Missing;
    QFile in(file.path);
    if (!in.open(QIODevice::ReadOnly)) return HeaderState::Damaged;
    TSaveData13 read;
    if (in.read(reinterpret_cast<char*>(&read), sizeof read) != static_cast<qint64>(sizeof read))
        return HeaderState::Damaged;
    if (read.Version != kCurrentVersion) return HeaderState::OtherVersion;
    record = read;
    return HeaderState::Usable;
}

// The header of the set: the newer file, or the other one when the newer is
// cut short or of another version. Answers the text id that says why there
// is none, or 0.
int32_t ChooseHeader(const QString& folder, BackupScan& scan) {
    const std::array<BackupFile, 2> files = FindPair(folder, DatenBackupName);
    if (!files[0].exists() && !files[1].exists()) return kTextSelectBackupFolder;
    bool otherVersion = false;
    for (int i : IsNewer(files[0], files[1]) ? std::array{0, 1} : std::array{1, 0}) {
        const HeaderState state = ReadHeaderRecord(files[i], scan.header.theData);
        if (state == HeaderState::Usable) {
            scan.headerFile = files[i].path;
            return 0;
        }
        otherVersion = otherVersion || state == HeaderState::OtherVersion;
    }
    return otherVersion ? kTextOlderVersion : kTextNoValidData;
}

// The texts are only written at the start; a damaged texts file costs the
// texts from the damage on, not the measurement.
void ReadTexts(const QString& folder, TsaveItHeader13& header) {
    QFile in(platform::FindFileNoCase(folder, kHeaderTextsBackupName));
    if (in.fileName().isEmpty() || !in.open(QIODevice::ReadOnly)) return;
    ReadHeaderTexts(in, header);
}

int64_t CompleteValues(const BackupFile& file) {
    return file.exists() ? QFileInfo(file.path).size() / kWertBytes : 0;
}

QString HeaderInfoText(const TsaveItHeader13& header) {
    QString text;
    if (!header.Veranstaltung.isEmpty()) text = header.Veranstaltung + kLineBreak + kLineBreak;
    if (!header.LocationText.isEmpty()) text += header.LocationText + kLineBreak;
    return text + GetLangText(kTextMeasurementStarted) + QLatin1Char(':') + DateTimeText(header.theData.start) +
           kLineBreak;
}

void ChooseValues(const QString& folder, BackupScan& scan) {
    const std::array<BackupFile, 2> files = FindPair(folder, WerteBackupName);
    scan.timeW1 = files[0].localTime();
    scan.timeW2 = files[1].localTime();
    const std::array<int64_t, 2> complete = {CompleteValues(files[0]), CompleteValues(files[1])};
    const int chosen = PreferenceOrder(files, complete)[0];
    if (complete[chosen] == 0) {
        scan.infoText = GetLangText(kTextNoValidData);
        return;
    }
    scan.valuesFile = files[chosen].path;
    scan.completeValues = static_cast<int32_t>(std::min<int64_t>(complete[chosen], INT32_MAX));
    scan.infoText += GetLangText(kTextLastValidData) + DateTimeText(files[chosen].localTime());
    scan.restorable = true;
    scan.restoreDir = folder;
}

std::vector<TSaveIT6> ReadCompleteValues(const QString& path, QString& error) {
    const std::optional<QByteArray> bytes = platform::ReadFileBounded(path, kLargestMeasurementFileBytes, &error);
    std::vector<TSaveIT6> values;
    if (!bytes) return values;
    values.resize(static_cast<size_t>(bytes->size() / kWertBytes));
    if (!values.empty()) std::memcpy(values.data(), bytes->constData(), values.size() * sizeof(TSaveIT6));
    return values;
}

// The blocks up to the first one that is cut short; the count word in front
// is not trusted, since a crash may have caught the file between the blocks
// and the count.
std::vector<TBlockDaten8> ReadCompleteBlocks(const BackupFile& file) {
    std::vector<TBlockDaten8> blocks;
    if (!file.exists()) return blocks;
    std::optional<QByteArray> bytes = platform::ReadFileBounded(file.path, kLargestMeasurementFileBytes);
    if (!bytes || bytes->size() < static_cast<qsizetype>(sizeof(int32_t))) return blocks;
    QBuffer in(&*bytes);
    in.open(QIODevice::ReadOnly);
    in.seek(sizeof(int32_t));
    TBlockDaten8 block;
    while (!in.atEnd() && ReadBlockRecord(in, block)) blocks.push_back(block);
    return blocks;
}

struct Maxima {
    double peak = 0.0, peakTime = 0.0;
    double leqK = 0.0, leqKTime = 0.0;
    double leq = 0.0, leqTime = 0.0;

    void Take(const TSaveIT6& v) {
        if (v.Peak > peak) peak = v.Peak, peakTime = v.TimeStamp;
        if (v.LeqK > leqK) leqK = v.LeqK, leqKTime = v.TimeStamp;
        if (v.leq > leq) leq = v.leq, leqTime = v.TimeStamp;
    }
};

int32_t AppendValues(TDaten& store, const std::vector<TSaveIT6>& values) {
    Maxima maxima;
    int32_t added = 0;
    double lastTime = 0.0;
    for (const TSaveIT6& value : values) {
        if (store.AddWert(value) < 0) continue;
        maxima.Take(value);
        lastTime = value.TimeStamp;
        ++added;
    }
    if (added > 0) store.SetStopTime(lastTime);
    store.SetPeakMax(maxima.peak, maxima.peakTime);
    store.SetLEQmax(maxima.leq, maxima.leqTime);
    store.SetLEQKmax(maxima.leqK, maxima.leqKTime);
    return added;
}

// Blocks of fixed Leq intervals: the pair's better file is read; answers the
// path read (empty when neither file exists).
QString AppendBlocks(const QString& folder, TDaten& store, int32_t& blocksRead) {
    store.ClearBlock();
    const std::array<BackupFile, 2> files = FindPair(folder, BlockBackupName);
    const std::array<std::vector<TBlockDaten8>, 2> blocks = {ReadCompleteBlocks(files[0]), ReadCompleteBlocks(files[1])};
    const int chosen = PreferenceOrder(files, {static_cast<int64_t>(blocks[0].size()),
                                               static_cast<int64_t>(blocks[1].size())})[0];
    blocksRead = 0;
    for (const TBlockDaten8& block : blocks[chosen]) {
        if (store.AddBlock(block) >= 0) ++blocksRead;
    }
    return files[chosen].path;
}

// The block that closes the measurement: from the end of the last complete
// block (or the start) to the stop, over the values of that stretch.
TBlockDaten8 ClosingBlock(const TDaten& store, bool afterBlocks) {
    TBlockDaten8 closing;
    closing.id = store.GetNumBlocks();
    closing.start = store.GetStartTime();
    if (afterBlocks && store.GetNumBlocks() > 0) {
        TBlockDaten8 last;
        store.GetBlock(store.GetNumBlocks() - 1, last);
        if (last.ende > 0) closing.start = last.ende;
    }
    closing.ende = store.GetStopTime();

    const int32_t count = store.GetWerteAnzahl();
    int32_t first = 0;
    if (afterBlocks && store.GetNumBlocks() > 0) {
        first = count;
        for (int32_t i = 0; i < count; ++i) {
            if (store.GetWert(i).TimeStamp >= closing.start) {
                first = i;
                break;
            }
        }
    }
    int64_t clips = 0;
    for (int32_t i = first; i < count; ++i) {
        const TSaveIT6 v = store.GetWert(i);
        if (v.Peak > closing.dBCMax) closing.dBCMax = v.Peak, closing.PeakHighTime = v.TimeStamp;
        if (v.leq > closing.leq) closing.leq = v.leq, closing.LeqHighTime = v.TimeStamp;
        if (v.LeqK > closing.leqK) closing.leqK = v.LeqK, closing.LeqKHighTime = v.TimeStamp;
        clips += v.clipCount;
    }
    closing.clipCount = static_cast<int32_t>(std::clamp<int64_t>(clips, INT32_MIN, INT32_MAX));
    return closing;
}

bool IsWriteProtected(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

}  // namespace

BackupScan ScanBackupFolder(const QString& folder) {
    BackupScan scan;
    if (const int32_t why = ChooseHeader(folder, scan); why != 0) {
        scan.infoText = GetLangText(why);
        return scan;
    }
    ReadTexts(folder, scan.header);
    scan.infoText = HeaderInfoText(scan.header);
    ChooseValues(folder, scan);
    // Determined for every set, so that a restore never reads the times of
    // an earlier scan.
    const std::array<BackupFile, 2> blocks = FindPair(folder, BlockBackupName);
    scan.timeb1 = blocks[0].localTime();
    scan.timeb2 = blocks[1].localTime();
    return scan;
}

RestoreResult RestoreFromBackup(const QString& folder, const QString& target) {
    RestoreResult result;
    const BackupScan scan = ScanBackupFolder(folder);
    if (!scan.restorable) {
        result.error = scan.infoText;
        return result;
    }
    if (IsWriteProtected(target)) {
        result.error = QStringLiteral("\"%1\" is write-protected.").arg(target);
        return result;
    }
    QString readError;
    const std::vector<TSaveIT6> values = ReadCompleteValues(scan.valuesFile, readError);
    if (values.empty()) {
        result.error = readError.isEmpty() ? GetLangText(kTextNoValidData) : readError;
        return result;
    }

    try {
        TDaten store(scan.header);
        result.values = AppendValues(store, values);
        result.readLast = scan.valuesFile;
        const bool fixedIntervals = scan.header.theData.DAUERLEQ > 0;
        if (fixedIntervals) {
            const QString blockFile = AppendBlocks(folder, store, result.blocks);
            if (!blockFile.isEmpty()) result.readLast = blockFile;
        }
        const TBlockDaten8 closing = ClosingBlock(store, fixedIntervals);
        if (scan.header.theData.INTERVAL > 0) store.AddBlock(closing);
        store.AddSms(GetLangText(kTextRestored) + QLatin1Char(' ') + QFileInfo(result.readLast).absoluteFilePath());

        store.SetSaveName(target);
        if (!store.SaveToFile(target, QString())) {
            result.error = QStringLiteral("The restored measurement could not be built.");
            return result;
        }
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
        return result;
    }
    result.ok = true;
    return result;
}

#include "store/backup_restore.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "store/crash_backups.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

const platform::TDateTime kStart = platform::EncodeDateTime(2026, 3, 14, 12, 0, 0, 0);
constexpr double kSecondsPerDay = 86400.0;

TSaveIT6 Value(int32_t i) {
    TSaveIT6 v;
    v.id = i;
    v.TimeStamp = kStart + (i + 1) * 10.0 / kSecondsPerDay;
    v.clipCount = i % 3;
    v.Peak = 100.0 + (i % 50) * 0.5;
    v.LeqK = 90.0 + (i % 40) * 0.25;
    v.leq = 85.0 + (i % 30) * 0.125;
    return v;
}

QByteArray ValueBytes(int32_t count) {
    QByteArray out;
    for (int32_t i = 0; i < count; ++i) {
        const TSaveIT6 v = Value(i);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    return out;
}

// Block b covers the b-th half hour after the start.
TBlockDaten8 Block(int32_t b) {
    TBlockDaten8 block;
    block.id = b;
    block.leq = 90.0 + b;
    block.start = kStart + b * 1800.0 / kSecondsPerDay;
    block.ende = kStart + (b + 1) * 1800.0 / kSecondsPerDay;
    block.remarkStr = QStringLiteral("Block %1").arg(b);
    return block;
}

QByteArray BlockFileBytes(int32_t countWord, int32_t blocks) {
    QByteArray out(reinterpret_cast<const char*>(&countWord), sizeof countWord);
    QBuffer buffer(&out);
    buffer.open(QIODevice::Append);
    for (int32_t b = 0; b < blocks; ++b) EXPECT_TRUE(WriteBlockRecord(buffer, Block(b)));
    return out;
}

TsaveItHeader13 Header(int32_t dauerLeq = 1800, int32_t version = 14) {
    TsaveItHeader13 h = TDaten().GetHeader();
    h.theData.Version = version;
    h.theData.start = kStart;
    h.theData.DAUERLEQ = dauerLeq;
    h.theData.INTERVAL = 10;
    h.Veranstaltung = QStringLiteral("Stadtfest");
    h.LocationText = QStringLiteral("FOH tower");
    return h;
}

QByteArray HeaderFileBytes(const TSaveData13& d, int size = kHeaderBackupBytes) {
    QByteArray image(kHeaderBackupBytes, '\0');
    std::memcpy(image.data(), &d, sizeof d);
    return image.left(size);
}

class BackupRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        language.store(kLangEnglish);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QDir().mkpath(Folder());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QString Folder() const { return dir_.filePath(QStringLiteral("backup")); }
    QString Target() const { return dir_.filePath(QStringLiteral("restored.vtm")); }
    QString Path(const QString& name) const { return QDir(Folder()).filePath(name); }

    void Write(const QString& name, const QByteArray& bytes, int secondsOld = 60) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        SetAge(name, secondsOld);
    }
    // The last write secondsOld seconds before a fixed moment, to the millisecond.
    void SetAge(const QString& name, int secondsOld) {
        const QDateTime when = QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26)).addSecs(-secondsOld);
        const qint64 ms = when.toMSecsSinceEpoch();
        const timespec times[2] = {{ms / 1000, (ms % 1000) * 1000000}, {ms / 1000, (ms % 1000) * 1000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(Path(name)).constData(), times, 0), 0);
    }
    void WriteHeaderSet(const TsaveItHeader13& h) {
        Write(DatenBackupName(1), HeaderFileBytes(h.theData));
        Write(DatenBackupName(2), HeaderFileBytes(h.theData));
        QByteArray texts;
        QBuffer out(&texts);
        out.open(QIODevice::WriteOnly);
        ASSERT_GT(WriteHeaderTexts(out, h), 0);
        Write(kHeaderTextsBackupName, texts);
    }
    // A fixed-interval run of 600 values (100 minutes) and 3 closed blocks.
    void WriteRun(int32_t dauerLeq = 1800) {
        WriteHeaderSet(Header(dauerLeq));
        Write(WerteBackupName(1), ValueBytes(600), 5);
        Write(WerteBackupName(2), ValueBytes(599), 15);
        Write(BlockBackupName(1), BlockFileBytes(3, 3), 5);
        Write(BlockBackupName(2), BlockFileBytes(2, 2), 15);
    }
    QByteArray FolderDigest() const {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const QFileInfo& f : QDir(Folder()).entryInfoList(QDir::Files, QDir::Name)) {
            QFile in(f.filePath());
            EXPECT_TRUE(in.open(QIODevice::ReadOnly));
            hash.addData(f.fileName().toUtf8());
            hash.addData(in.readAll());
            hash.addData(QByteArray::number(f.lastModified().toMSecsSinceEpoch()));
        }
        return hash.result();
    }
    // The restored file, loaded as the viewer would.
    std::unique_ptr<TDaten> Load(const QString& path) {
        auto store = std::make_unique<TDaten>();
        QString why;
        EXPECT_EQ(store->LoadFromFile(path, kLoadEverything, &why), kLoadDone) << why.toStdString();
        return store;
    }

    QTemporaryDir dir_;
};

// Which header file the set is read from: the newer one, file 2 on a tie,
// and the other one when the newer is cut short or of another version.
TEST_F(BackupRestoreTest, HeaderFileChoice) {
    struct Case {
        const char* name;
        int size1, version1, age1;  // size 0: missing
        int size2, version2, age2;
        int expectedFile;           // 0: nothing restorable
        int32_t expectedText;       // info text id when nothing is restorable
    };
    const Case cases[] = {
        {"second newer", 600, 14, 20, 600, 14, 10, 2, 0},
        {"only the first", 600, 14, 20, 0, 14, 0, 1, 0},
        {"same time", 600, 14, 10, 600, 14, 10, 2, 0},
        {"first newer", 600, 14, 10, 600, 14, 20, 1, 0},
        {"header record alone", 368, 14, 10, 0, 14, 0, 1, 0},
        {"newer one cut short", 367, 14, 10, 600, 14, 20, 2, 0},
        {"newer one of another version", 600, 13, 10, 600, 14, 20, 2, 0},
        {"both cut short", 100, 14, 10, 200, 14, 20, 0, 816},
        {"both of another version", 600, 12, 10, 600, 12, 20, 0, 867},
        {"none", 0, 14, 0, 0, 14, 0, 0, 817},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(Folder()).entryList(QDir::Files)) QFile::remove(Path(name));
        Write(WerteBackupName(1), ValueBytes(4));
        for (int file : {1, 2}) {
            const int size = file == 1 ? c.size1 : c.size2;
            if (size == 0) continue;
            TsaveItHeader13 h = Header(1800, file == 1 ? c.version1 : c.version2);
            h.theData.LIMITLEQ = 90 + file;  // tells the two files apart
            Write(DatenBackupName(file), HeaderFileBytes(h.theData, size), file == 1 ? c.age1 : c.age2);
        }
        const BackupScan scan = ScanBackupFolder(Folder());
        if (c.expectedFile == 0) {
            EXPECT_FALSE(scan.restorable);
            EXPECT_TRUE(scan.restoreDir.isEmpty());
            EXPECT_EQ(scan.infoText, GetLangText(c.expectedText));
            EXPECT_FALSE(RestoreFromBackup(Folder(), Target()).ok);
            EXPECT_FALSE(QFile::exists(Target()));
        } else {
            ASSERT_TRUE(scan.restorable);
            EXPECT_EQ(scan.header.theData.LIMITLEQ, 90 + c.expectedFile);
            EXPECT_EQ(QFileInfo(scan.headerFile).fileName(), DatenBackupName(c.expectedFile));
        }
    }
}

// Which values file is restored: more whole records win, the newer one on a
// tie; a cut record at the end is dropped, a file without a whole record is
// unusable.
TEST_F(BackupRestoreTest, ValuesFileChoice) {
    struct Case {
        const char* name;
        int bytes1, age1;  // -1: missing
        int bytes2, age2;
        int32_t expectedValues;  // 0: nothing restorable
        int expectedFile;
    };
    const Case cases[] = {
        {"10 newer against 9", 440, 5, 396, 15, 10, 1},
        {"9 newer against 10", 396, 5, 440, 15, 10, 2},
        {"same count, second newer", 396, 15, 396, 5, 9, 2},
        {"same count, same time", 396, 5, 396, 5, 9, 2},
        {"partial value at the end", 440 + 20, 5, 396, 15, 10, 1},
        {"only a partial value, other file whole", 20, 5, 396, 15, 9, 2},
        {"only the second", -1, 0, 132, 5, 3, 2},
        {"no whole value anywhere", 43, 5, -1, 0, 0, 0},
        {"no values file", -1, 0, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(Folder()).entryList(QDir::Files)) QFile::remove(Path(name));
        QFile::remove(Target());
        WriteHeaderSet(Header(-600));
        for (int file : {1, 2}) {
            const int bytes = file == 1 ? c.bytes1 : c.bytes2;
            if (bytes < 0) continue;
            QByteArray content = ValueBytes(bytes / kWertBytes);
            content.append(QByteArray(bytes % kWertBytes, '\x7f'));
            Write(WerteBackupName(file), content, file == 1 ? c.age1 : c.age2);
        }
        const BackupScan scan = ScanBackupFolder(Folder());
        const RestoreResult result = RestoreFromBackup(Folder(), Target());
        if (c.expectedValues == 0) {
            EXPECT_FALSE(scan.restorable);
            EXPECT_EQ(scan.infoText, GetLangText(816));
            EXPECT_FALSE(result.ok);
            EXPECT_FALSE(QFile::exists(Target()));
            continue;
        }
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(QFileInfo(result.readLast).fileName(), WerteBackupName(c.expectedFile));
        EXPECT_EQ(result.values, c.expectedValues);
        const auto restored = Load(Target());
        ASSERT_EQ(restored->GetWerteAnzahl(), c.expectedValues);
        const TSaveIT6 last = restored->GetWert(c.expectedValues - 1);
        EXPECT_EQ(std::memcmp(&last, ValueBytes(c.expectedValues).right(kWertBytes).constData(), kWertBytes), 0);
        EXPECT_DOUBLE_EQ(restored->GetStopTime(), Value(c.expectedValues - 1).TimeStamp);
    }
}

TEST_F(BackupRestoreTest, InfoTextTellsEventLocationStartAndLastData) {
    WriteRun();
    SetAge(WerteBackupName(1), 0);  // 15:09:26 local
    const BackupScan scan = ScanBackupFolder(Folder());
    ASSERT_TRUE(scan.restorable);
    EXPECT_EQ(scan.restoreDir, Folder());
    EXPECT_EQ(scan.infoText, QStringLiteral("Stadtfest\r\n\r\nFOH tower\r\nMeasurement started:14.03.26 12:00:00\r\n"
                                            "Last valid data: 14.03.26 15:09:26"));
    EXPECT_GT(scan.timeb1, scan.timeb2);
}

// Fixed Leq intervals of 30 minutes, 3 closed blocks, values for 100
// minutes: the blocks come back and a closing block covers the last 10
// minutes only.
TEST_F(BackupRestoreTest, FixedIntervalsGetTheirBlocksAndAClosingBlock) {
    WriteRun();
    const QByteArray before = FolderDigest();
    const RestoreResult result = RestoreFromBackup(Folder(), Target());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(FolderDigest(), before);  // the backups are only read

    const auto restored = Load(Target());
    EXPECT_EQ(restored->GetWerteAnzahl(), 600);
    ASSERT_EQ(restored->GetNumBlocks(), 4);
    for (int32_t b = 0; b < 3; ++b) {
        TBlockDaten8 block;
        restored->GetBlock(b, block);
        EXPECT_EQ(block.remarkStr, Block(b).remarkStr);
        EXPECT_DOUBLE_EQ(block.ende, Block(b).ende);
    }
    TBlockDaten8 closing;
    restored->GetBlock(3, closing);
    EXPECT_EQ(closing.id, 3);
    EXPECT_DOUBLE_EQ(closing.start, Block(2).ende);
    EXPECT_DOUBLE_EQ(closing.ende, Value(599).TimeStamp);
    // Values 539 .. 599 end at or after 90 minutes.
    double peak = 0, peakTime = 0, leq = 0;
    int32_t clips = 0;
    for (int32_t i = 539; i < 600; ++i) {
        if (Value(i).Peak > peak) peak = Value(i).Peak, peakTime = Value(i).TimeStamp;
        if (Value(i).leq > leq) leq = Value(i).leq;
        clips += Value(i).clipCount;
    }
    EXPECT_DOUBLE_EQ(closing.dBCMax, peak);
    EXPECT_DOUBLE_EQ(closing.PeakHighTime, peakTime);
    EXPECT_DOUBLE_EQ(closing.leq, leq);
    EXPECT_EQ(closing.clipCount, clips);
    EXPECT_EQ(closing.valDif, 0);
    EXPECT_TRUE(closing.remarkStr.isEmpty());

    const TMaxInfo maxima = restored->GetMaxData();
    EXPECT_DOUBLE_EQ(maxima.maxPeakVal, 124.5);
    EXPECT_DOUBLE_EQ(maxima.maxPeakTime, Value(49).TimeStamp);  // the first of the highest wins
    EXPECT_DOUBLE_EQ(restored->GetStopTime(), Value(599).TimeStamp);

    ASSERT_GT(restored->GetSmsCount(), 0);
    EXPECT_EQ(restored->GetSms(restored->GetSmsCount() - 1).meldung,
              QStringLiteral("Restored ") + Path(BlockBackupName(1)));
    EXPECT_EQ(restored->GetSaveName(), Target());
}

// Damaged block files: a cut last block, a stale count word, and a file
// that lags behind its partner.
TEST_F(BackupRestoreTest, BlockFileDamage) {
    struct Case {
        const char* name;
        QByteArray file1;  // newer
        QByteArray file2;
        int32_t expectedBlocks;
        int expectedFile;
    };
    const QByteArray cut = BlockFileBytes(4, 4).chopped(7);
    const Case cases[] = {
        {"cut last block", cut, BlockFileBytes(2, 2), 3, 1},
        {"stale count word", BlockFileBytes(5, 3), BlockFileBytes(2, 2), 3, 1},
        {"newer file lags behind", BlockFileBytes(1, 1), BlockFileBytes(3, 3), 3, 2},
        {"newer file cut in its count", QByteArray(3, '\0'), BlockFileBytes(2, 2), 2, 2},
        {"both empty", BlockFileBytes(0, 0), BlockFileBytes(0, 0), 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Target());
        WriteRun();
        Write(BlockBackupName(1), c.file1, 5);
        Write(BlockBackupName(2), c.file2, 15);
        const RestoreResult result = RestoreFromBackup(Folder(), Target());
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(result.blocks, c.expectedBlocks);
        EXPECT_EQ(QFileInfo(result.readLast).fileName(), BlockBackupName(c.expectedFile));
        const auto restored = Load(Target());
        EXPECT_EQ(restored->GetWerteAnzahl(), 600);
        ASSERT_EQ(restored->GetNumBlocks(), c.expectedBlocks + 1);
        TBlockDaten8 closing;
        restored->GetBlock(c.expectedBlocks, closing);
        EXPECT_DOUBLE_EQ(closing.start, c.expectedBlocks > 0 ? Block(c.expectedBlocks - 1).ende : kStart);
    }
}

// Blocks are read whenever the measurement has fixed intervals, whatever the
// save interval says; a moving Leq reads none.
TEST_F(BackupRestoreTest, BlocksAreReadExactlyForFixedIntervals) {
    WriteRun();
    TsaveItHeader13 noInterval = Header(1800);
    noInterval.theData.INTERVAL = 0;
    Write(DatenBackupName(1), HeaderFileBytes(noInterval.theData));
    Write(DatenBackupName(2), HeaderFileBytes(noInterval.theData));
    RestoreResult result = RestoreFromBackup(Folder(), Target());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.blocks, 3);
    EXPECT_EQ(Load(Target())->GetNumBlocks(), 3);  // no closing block without a save interval

    QFile::remove(Target());
    WriteRun(-600);
    result = RestoreFromBackup(Folder(), Target());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.blocks, 0);
    const auto restored = Load(Target());
    EXPECT_EQ(restored->GetNumBlocks(), 0);
    EXPECT_EQ(restored->GetWerteAnzahl(), 600);
    EXPECT_EQ(restored->GetSms(restored->GetSmsCount() - 1).meldung,
              QStringLiteral("Restored ") + Path(WerteBackupName(1)));
}

TEST_F(BackupRestoreTest, AnUnwritableTargetIsRefusedAndChangesNothing) {
    WriteRun();
    const QByteArray before = FolderDigest();
    const RestoreResult missingFolder = RestoreFromBackup(Folder(), dir_.filePath(QStringLiteral("no/such/folder/x.vtm")));
    EXPECT_FALSE(missingFolder.ok);
    EXPECT_FALSE(missingFolder.error.isEmpty());

    QFile protectedFile(Target());
    ASSERT_TRUE(protectedFile.open(QIODevice::WriteOnly));
    protectedFile.write("keep");
    protectedFile.close();
    ASSERT_EQ(::chmod(QFile::encodeName(Target()).constData(), 0444), 0);
    const RestoreResult readOnly = RestoreFromBackup(Folder(), Target());
    EXPECT_FALSE(readOnly.ok);
    EXPECT_FALSE(readOnly.error.isEmpty());
    QFile back(Target());
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("keep"));
    EXPECT_EQ(FolderDigest(), before);
}

// The backups the real writer leaves behind a killed run come back whole.
TEST_F(BackupRestoreTest, WhatTheWriterBacksUpIsRestored) {
    TDaten running;
    running.SetDaten(TDaten(Header(1800)));
    running.SetStartTime(kStart);
    ASSERT_TRUE(running.InitMessung(Folder()));
    for (int32_t i = 0; i < 400; ++i) {
        ASSERT_EQ(running.AddWert(Value(i)), i);
        if (i == 179 || i == 359) running.AddBlock(Block(i / 180));
        if (i % 50 == 49) running.SecSave(true);
    }
    // Values 350 .. 399 reached only the values file written last.
    const RestoreResult result = RestoreFromBackup(Folder(), Target());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const auto restored = Load(Target());
    ASSERT_EQ(restored->GetWerteAnzahl(), 400);
    for (int32_t i : {0, 199, 399}) {
        const TSaveIT6 v = restored->GetWert(i);
        EXPECT_EQ(std::memcmp(&v, ValueBytes(i + 1).right(kWertBytes).constData(), kWertBytes), 0) << i;
    }
    EXPECT_EQ(result.blocks, 2);
    EXPECT_EQ(restored->GetNumBlocks(), 3);
    EXPECT_EQ(restored->GetVeranstaltung(), QStringLiteral("Stadtfest"));
}

}  // namespace

#include "store/crash_backups.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "store/measurement_file.h"
#include "store/measurement_store.h"

namespace {

TSaveIT6 Value(int32_t i) {
    TSaveIT6 v;
    v.id = i;
    v.TimeStamp = 46000.0 + i / 86400.0;
    v.clipCount = i % 4;
    v.Peak = 110.0 + i * 0.25;
    v.LeqK = 95.0 + i * 0.125;
    v.leq = 90.0 + i * 0.0625;
    return v;
}

QByteArray ValueBytes(int32_t from, int32_t to) {
    QByteArray out;
    for (int32_t i = from; i < to; ++i) {
        const TSaveIT6 v = Value(i);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    return out;
}

TBlockDaten8 Block(int32_t id) {
    TBlockDaten8 b;
    b.id = id;
    b.leq = 94.0 + id;
    b.start = 46000.0 + id / 48.0;
    b.remarkStr = QStringLiteral("Block %1").arg(id);
    return b;
}

class CrashBackupTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Folder() const { return dir_.path(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool Exists(const QString& name) const { return QFile::exists(Path(name)); }
    void AddValues(TDaten& store, int32_t from, int32_t to) {
        for (int32_t i = from; i < to; ++i) {
            ASSERT_EQ(store.AddWert(Value(i)), i);
        }
    }
    static QByteArray HeaderImage(const TDaten& store) {
        const TsaveItHeader13 h = store.GetHeader();
        QByteArray image(kHeaderBackupBytes, '\0');
        std::memcpy(image.data(), &h.theData, sizeof h.theData);
        return image;
    }
    void SetWritable(const QString& name, bool on) {
        ASSERT_EQ(::chmod(QFile::encodeName(Path(name)).constData(), on ? 0644 : 0444), 0);
    }

private:
    QTemporaryDir dir_;
};

TEST_F(CrashBackupTest, InitMessungStartsAFreshSet) {
    TDaten store;
    store.SetVeranstaltung(QStringLiteral("Open Air"));
    AddValues(store, 0, 4);
    store.AddBlock(Block(1));
    store.AddSms(QStringLiteral("old"));
    QFile stale(Path("WERTEBACKUP2.VTB"));  // another spelling of the same file
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    ASSERT_TRUE(store.InitMessung(Folder()));
    EXPECT_EQ(store.GetWerteAnzahl(), 0);
    EXPECT_EQ(store.GetNumBlocks(), 0);
    EXPECT_EQ(store.GetSmsCount(), 0);
    EXPECT_FALSE(store.GetSaveDaten());
    EXPECT_FALSE(Exists("WERTEBACKUP2.VTB"));
    EXPECT_EQ(Read("DatenBackup1.vtb"), HeaderImage(store));
    EXPECT_EQ(Read("DatenBackup2.vtb"), HeaderImage(store));

    QByteArray texts = Read("SBU1.vtb");
    QBuffer in(&texts);
    in.open(QIODevice::ReadOnly);
    TsaveItHeader13 back;
    ASSERT_TRUE(TDaten::ReadHeaderStrings(in, back));
    EXPECT_EQ(back.Veranstaltung, QStringLiteral("Open Air"));
    EXPECT_TRUE(in.atEnd());

    AddValues(store, 0, 2);
    store.AddBlock(Block(1));
    ASSERT_TRUE(store.SecSave(true));
    ASSERT_TRUE(store.SecSave(true));
    ASSERT_TRUE(store.InitMessung(Folder()));
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb", "BlockBackup1.vtb", "BlockBackup2.vtb"}) {
        EXPECT_FALSE(Exists(name)) << name;
    }
    EXPECT_EQ(Read("DatenBackup1.vtb"), HeaderImage(store));
    EXPECT_EQ(Read("DatenBackup2.vtb"), HeaderImage(store));
}

TEST_F(CrashBackupTest, ValuesAlternateAndEachFileHoldsEveryValueFromTheStart) {
    TDaten store;
    ASSERT_TRUE(store.InitMessung(Folder()));
    EXPECT_FALSE(store.SecSave(true));  // no value yet: nothing written, the turn stays
    EXPECT_FALSE(Exists("werteBackup1.vtb"));

    AddValues(store, 0, 3);
    EXPECT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup1.vtb"), ValueBytes(0, 3));
    EXPECT_FALSE(Exists("werteBackup2.vtb"));

    AddValues(store, 3, 5);
    EXPECT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup2.vtb").size(), 220);
    EXPECT_EQ(Read("werteBackup2.vtb"), ValueBytes(0, 5));

    AddValues(store, 5, 6);
    EXPECT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup1.vtb").size(), 264);
    EXPECT_EQ(Read("werteBackup1.vtb"), ValueBytes(0, 6));
}

TEST_F(CrashBackupTest, HeaderIsWrittenOnlyWhenItChanged) {
    TDaten store;
    ASSERT_TRUE(store.InitMessung(Folder()));
    const QByteArray initial = Read("DatenBackup1.vtb");
    EXPECT_FALSE(store.SecSave(false));
    EXPECT_EQ(Read("DatenBackup1.vtb"), initial);

    store.SetStartTime(46000.25);
    ASSERT_TRUE(store.GetSaveDaten());
    EXPECT_TRUE(store.SecSave(false));
    EXPECT_FALSE(store.GetSaveDaten());
    EXPECT_EQ(Read("DatenBackup1.vtb"), HeaderImage(store));
    EXPECT_EQ(Read("DatenBackup2.vtb"), initial);
    EXPECT_FALSE(Exists("werteBackup1.vtb"));

    store.SetStopTime(46000.5);
    EXPECT_TRUE(store.SecSave(false));
    EXPECT_EQ(Read("DatenBackup2.vtb"), HeaderImage(store));
}

QByteArray BlockFileOf(const std::vector<TBlockDaten8>& blocks) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    const auto n = static_cast<int32_t>(blocks.size());
    buffer.write(reinterpret_cast<const char*>(&n), sizeof n);
    for (const TBlockDaten8& b : blocks) {
        EXPECT_TRUE(WriteBlockRecord(buffer, b));
    }
    return out;
}

TEST_F(CrashBackupTest, EachBlockFileCatchesUpOnItsOwnTurn) {
    TDaten store;
    ASSERT_TRUE(store.InitMessung(Folder()));
    AddValues(store, 0, 1);
    store.AddBlock(Block(1));
    store.AddBlock(Block(2));
    store.SecSave(true);
    const QByteArray first = Read("BlockBackup1.vtb");
    EXPECT_EQ(first, BlockFileOf({Block(1), Block(2)}));

    // No new block, but the second file has none yet: it is written on its turn.
    store.SecSave(true);
    EXPECT_EQ(Read("BlockBackup2.vtb"), first);

    store.AddBlock(Block(3));
    store.SecSave(true);
    const QByteArray third = Read("BlockBackup1.vtb");
    EXPECT_EQ(qFromLittleEndian<int32_t>(third.constData()), 3);
    EXPECT_EQ(third.mid(4, first.size() - 4), first.mid(4));
    EXPECT_EQ(third, BlockFileOf({Block(1), Block(2), Block(3)}));
}

TEST_F(CrashBackupTest, AFailedWriteLeavesNoGap) {
    TDaten store;
    ASSERT_TRUE(store.InitMessung(Folder()));
    AddValues(store, 0, 2);
    store.AddBlock(Block(1));
    ASSERT_TRUE(store.SecSave(true));  // values file 1, block file 1
    AddValues(store, 2, 4);
    ASSERT_TRUE(store.SecSave(true));  // values file 2, block file 2

    SetWritable("werteBackup1.vtb", false);
    SetWritable("BlockBackup1.vtb", false);
    AddValues(store, 4, 6);
    store.AddBlock(Block(2));
    EXPECT_FALSE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup1.vtb"), ValueBytes(0, 2));

    AddValues(store, 6, 8);
    ASSERT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup2.vtb"), ValueBytes(0, 8));
    EXPECT_EQ(Read("BlockBackup2.vtb"), BlockFileOf({Block(1), Block(2)}));

    SetWritable("werteBackup1.vtb", true);
    SetWritable("BlockBackup1.vtb", true);
    AddValues(store, 8, 9);
    ASSERT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup1.vtb"), ValueBytes(0, 9));
    EXPECT_EQ(Read("BlockBackup1.vtb"), BlockFileOf({Block(1), Block(2)}));
}

TEST_F(CrashBackupTest, NothingIsWrittenBeforeAMeasurementStarted) {
    TDaten store;
    AddValues(store, 0, 3);
    EXPECT_FALSE(store.SecSave(true));
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty());
}

// A writer killed at an arbitrary moment of its run leaves, in one of the two
// values files, every value up to its last completed backup; no file is
// ever half written.
TEST_F(CrashBackupTest, KilledWriterLeavesEveryCompletedValueReadable) {
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(progress[0]);
        TDaten store;
        if (!store.InitMessung(Folder())) {
            ::_exit(2);
        }
        for (int32_t i = 0;; ++i) {
            store.AddWert(Value(i));
            if (i % 5 == 0) {
                store.AddBlock(Block(i / 5 + 1));
            }
            if (store.SecSave(true)) {
                const int32_t done = i + 1;
                if (::write(progress[1], &done, sizeof done) != sizeof done) {
                    ::_exit(3);
                }
            }
        }
    }
    ::close(progress[1]);
    int32_t completed = 0;
    while (completed < 300) {
        ASSERT_EQ(::read(progress[0], &completed, sizeof completed), static_cast<ssize_t>(sizeof completed));
    }
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Backups that finished after the last report we read count as well.
    int32_t more = 0;
    while (::read(progress[0], &more, sizeof more) == sizeof more) {
        completed = more;
    }
    ::close(progress[0]);

    int32_t longest = 0;
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        const QByteArray file = Read(name);
        ASSERT_EQ(file.size() % 44, 0) << name;
        const auto n = static_cast<int32_t>(file.size() / 44);
        EXPECT_EQ(file, ValueBytes(0, n)) << name;
        longest = std::max(longest, n);
    }
    EXPECT_GE(longest, completed);
    EXPECT_LE(longest, completed + 1);
    for (const char* name : {"DatenBackup1.vtb", "DatenBackup2.vtb"}) {
        EXPECT_EQ(Read(name).size(), kHeaderBackupBytes) << name;
    }
    for (const char* name : {"BlockBackup1.vtb", "BlockBackup2.vtb"}) {
        QByteArray file = Read(name);
        QBuffer in(&file);
        in.open(QIODevice::ReadOnly);
        int32_t count = 0;
        ASSERT_EQ(in.read(reinterpret_cast<char*>(&count), 4), 4) << name;
        for (int32_t b = 0; b < count; ++b) {
            TBlockDaten8 block;
            ASSERT_TRUE(ReadBlockRecord(in, block)) << name << " block " << b;
            EXPECT_EQ(+block.id, b + 1);
        }
        EXPECT_TRUE(in.atEnd()) << name;
    }
}

}  // namespace

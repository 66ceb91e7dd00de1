#include "store/crash_backups.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

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
    // A running measurement whose values 0 .. values-1 and block 1 are in
    // both files of their pair.
    void StartBackedUp(TDaten& store, int32_t values) {
        ASSERT_TRUE(store.InitMessung(Folder()));
        AddValues(store, 0, values);
        store.AddBlock(Block(1));
        ASSERT_TRUE(store.SecSave(true));
        ASSERT_TRUE(store.SecSave(true));
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

// What a reader takes from a file that a crash may have cut: the whole
// values, and the blocks up to the first cut one (ids in file order).
int32_t WholeValues(const QByteArray& file) { return static_cast<int32_t>(file.size() / 44); }

std::vector<int32_t> WholeBlockIds(QByteArray file) {
    QBuffer in(&file);
    in.open(QIODevice::ReadOnly);
    std::vector<int32_t> ids;
    int32_t count = 0;
    if (in.read(reinterpret_cast<char*>(&count), 4) != 4) {
        return ids;
    }
    TBlockDaten8 block;
    while (ReadBlockRecord(in, block)) {
        ids.push_back(block.id);
    }
    return ids;
}

std::vector<int32_t> IdsFrom1To(int32_t last) {
    std::vector<int32_t> ids;
    for (int32_t id = 1; id <= last; ++id) {
        ids.push_back(id);
    }
    return ids;
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

TEST_F(CrashBackupTest, AVanishedFileIsWrittenAnewOnItsTurn) {
    TDaten store;
    ASSERT_NO_FATAL_FAILURE(StartBackedUp(store, 3));
    ASSERT_TRUE(QFile::remove(Path("werteBackup1.vtb")));
    ASSERT_TRUE(QFile::remove(Path("BlockBackup1.vtb")));

    AddValues(store, 3, 5);
    store.AddBlock(Block(2));
    ASSERT_TRUE(store.SecSave(true));
    EXPECT_EQ(Read("werteBackup1.vtb"), ValueBytes(0, 5));
    EXPECT_EQ(Read("BlockBackup1.vtb"), BlockFileOf({Block(1), Block(2)}));
}

// Writes beyond the limit fail with EFBIG, as they would on a full disk,
// while the object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{bytes, old_.rlim_max};
        ok_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
    bool ok_ = false;
};

TEST_F(CrashBackupTest, AFullDiskLosesNothingAndTheBackupCatchesUpLater) {
    TDaten store;
    ASSERT_NO_FATAL_FAILURE(StartBackedUp(store, 10));
    const QByteArray header1 = Read("DatenBackup1.vtb");
    const QByteArray header2 = Read("DatenBackup2.vtb");
    TBlockDaten8 longBlock = Block(2);
    longBlock.remarkStr = QString(300, QLatin1Char('r'));
    {
        // Room for one more value and part of the next; the block and
        // header writes do not fit at all.
        FileSizeLimit full(10 * 44 + 64);
        ASSERT_TRUE(full.ok());
        AddValues(store, 10, 14);
        store.AddBlock(longBlock);
        EXPECT_FALSE(store.SecSave(true));
        EXPECT_FALSE(store.SecSave(true));
    }
    bool cut = false;
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        const QByteArray file = Read(name);
        EXPECT_EQ(file.left(10 * 44), ValueBytes(0, 10)) << name;
        cut = cut || file.size() % 44 != 0;
    }
    EXPECT_TRUE(cut);  // a write stopped inside a value
    EXPECT_EQ(WholeBlockIds(Read("BlockBackup1.vtb")), IdsFrom1To(1));
    EXPECT_EQ(WholeBlockIds(Read("BlockBackup2.vtb")), IdsFrom1To(1));
    EXPECT_EQ(Read("DatenBackup1.vtb"), header1);
    EXPECT_EQ(Read("DatenBackup2.vtb"), header2);
    EXPECT_TRUE(store.GetSaveDaten());

    AddValues(store, 14, 15);
    ASSERT_TRUE(store.SecSave(true));
    ASSERT_TRUE(store.SecSave(true));
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        EXPECT_EQ(Read(name), ValueBytes(0, 15)) << name;
    }
    for (const char* name : {"BlockBackup1.vtb", "BlockBackup2.vtb"}) {
        EXPECT_EQ(Read(name), BlockFileOf({Block(1), longBlock})) << name;
    }
    EXPECT_TRUE(Read("DatenBackup1.vtb") == HeaderImage(store) || Read("DatenBackup2.vtb") == HeaderImage(store));
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

    // A kill inside an append may leave a cut last value or block; every
    // whole one before it is intact.
    int32_t longest = 0;
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        const QByteArray file = Read(name);
        const int32_t n = WholeValues(file);
        EXPECT_EQ(file.left(n * 44), ValueBytes(0, n)) << name;
        longest = std::max(longest, n);
    }
    EXPECT_GE(longest, completed);
    EXPECT_LE(longest, completed + 1);
    for (const char* name : {"DatenBackup1.vtb", "DatenBackup2.vtb"}) {
        EXPECT_EQ(Read(name).size(), kHeaderBackupBytes) << name;
    }
    const std::vector<int32_t> blocks1 = WholeBlockIds(Read("BlockBackup1.vtb"));
    const std::vector<int32_t> blocks2 = WholeBlockIds(Read("BlockBackup2.vtb"));
    EXPECT_EQ(blocks1, IdsFrom1To(static_cast<int32_t>(blocks1.size())));
    EXPECT_EQ(blocks2, IdsFrom1To(static_cast<int32_t>(blocks2.size())));
    EXPECT_GE(std::max(blocks1.size(), blocks2.size()), static_cast<size_t>((completed - 1) / 5 + 1));
}

// The kernel stops a write at the file size limit and signals the writer,
// which answers with SIGKILL: it dies inside an append, part of a value on
// disk.
void KillOnFileSizeLimit(int) { ::kill(::getpid(), SIGKILL); }

TEST_F(CrashBackupTest, AKillInsideAnAppendLeavesACutTailThatTheNextBackupCutsOff) {
    TDaten store;
    ASSERT_NO_FATAL_FAILURE(StartBackedUp(store, 10));

    // The child goes on with the same store from here; this process keeps
    // the bookkeeping of the last backup completed before the fork, as a
    // writer restarting from it would.
    constexpr rlim_t kLimit = 30 * 44 + 20;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, KillOnFileSizeLimit) == SIG_ERR) {
            ::_exit(2);
        }
        for (int32_t i = 10; i < 100; ++i) {
            store.AddWert(Value(i));
            if (i % 5 == 0) {
                store.AddBlock(Block(i / 5));
            }
            store.SecSave(true);
        }
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    bool cut = false;
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        const QByteArray file = Read(name);
        const int32_t n = WholeValues(file);
        EXPECT_EQ(file.left(n * 44), ValueBytes(0, n)) << name;
        cut = cut || file.size() == static_cast<qsizetype>(kLimit);
    }
    ASSERT_TRUE(cut);
    EXPECT_GT(WholeBlockIds(Read("BlockBackup1.vtb")).size(), 1u);

    AddValues(store, 10, 12);
    TBlockDaten8 other = Block(2);
    other.remarkStr = QStringLiteral("after the restart");
    store.AddBlock(other);
    ASSERT_TRUE(store.SecSave(true));
    ASSERT_TRUE(store.SecSave(true));
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb"}) {
        EXPECT_EQ(Read(name), ValueBytes(0, 12)) << name;
    }
    for (const char* name : {"BlockBackup1.vtb", "BlockBackup2.vtb"}) {
        EXPECT_EQ(Read(name), BlockFileOf({Block(1), other})) << name;
    }
}

// Values and blocks may arrive on another thread while a backup runs: each
// backup copies a consistent prefix under the lock and the files end up
// holding every value and block.
TEST(CrashBackupConcurrent, BackupsRunWhileAnotherThreadAppends) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDaten store;
    ASSERT_TRUE(store.InitMessung(dir.path()));
    constexpr int32_t kValues = 2000;
    std::atomic<bool> done{false};
    std::thread appender([&] {
        for (int32_t i = 0; i < kValues; ++i) {
            store.AddWert(Value(i));
            if (i % 100 == 0) {
                store.AddBlock(Block(i / 100 + 1));
            }
        }
        done = true;
    });
    while (!done.load()) {
        store.SecSave(true);
    }
    appender.join();
    store.SecSave(true);
    store.SecSave(true);
    std::vector<TBlockDaten8> blocks;
    for (int32_t id = 1; id <= kValues / 100; ++id) {
        blocks.push_back(Block(id));
    }
    for (const char* name : {"werteBackup1.vtb", "werteBackup2.vtb", "BlockBackup1.vtb", "BlockBackup2.vtb"}) {
        QFile file(QDir(dir.path()).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(file.readAll(), name[0] == 'w' ? ValueBytes(0, kValues) : BlockFileOf(blocks)) << name;
    }
}

}  // namespace

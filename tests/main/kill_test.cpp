// No measurement is lost: the whole program (tests/peers/kill_probe) is
// killed with SIGKILL at random moments of its start, its run and its stop,
// and started again on the same folders and settings hive. Each restart must
// bring back every value the killed run had backed up on disk, and leave
// every file behind loadable.
//
// The kill count comes from VELTARO_KILLS (20 unless set) and the random
// moments from VELTARO_KILL_SEED (a fresh seed unless set); the seed is
// printed, so a failing sequence can be run again.
//
// The test's own process starts no thread: the probe's threads are the main
// window's, which the measurement run tests check under ThreadSanitizer.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "store/backup_restore.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "support/peers.h"
#include "support/tone_records.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

constexpr int kDefaultKills = 20;

int KillCount() {
    const char* text = std::getenv("VELTARO_KILLS");
    const int kills = text != nullptr ? std::atoi(text) : 0;
    return kills > 0 ? kills : kDefaultKills;
}

uint32_t Seed() {
    const char* text = std::getenv("VELTARO_KILL_SEED");
    if (text != nullptr && *text != '\0') return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    return std::random_device{}();
}

// Where a life of the probe is killed.
enum class Moment { Start, Run, Stop, AfterFinish };

const char* Name(Moment moment) {
    switch (moment) {
    case Moment::Start: return "start";
    case Moment::Run: return "run";
    case Moment::Stop: return "stop";
    case Moment::AfterFinish: return "after finish";
    }
    return "?";
}

// What a restart must find of the runs before it.
struct Promise {
    enum Kind {
        Nothing,     // the last run finished: nothing is offered
        Maybe,       // the run may not have begun: either answer, no values promised
        MustRestore  // the run was under way: its backed-up values come back
    } kind = Nothing;
    int64_t values = 0;     // at least these values come back
    QString ownFile;        // the run's own file
    bool mayHaveFinished = false;  // the kill fell into the stop: the own file may hold it instead
    bool mayBeRotated = false;     // a start was killed meanwhile: the backups may have been moved aside
};

// One life of the probe and the lines it printed.
class ProbeLife {
public:
    bool Start(const QString& root, const QString& file, const QString& target) {
        clock_.start();
        return probe_.Start(peers::PeerPath(QStringLiteral("kill_probe")), {root, file, target});
    }

    // Reads lines until done() holds; false when the probe ended or fell
    // silent first (the bound only catches a broken probe).
    bool ReadUntil(const std::function<bool()>& done) {
        while (!done()) {
            const QString line = probe_.ReadLine();
            if (line.isEmpty()) return false;
            Take(line);
        }
        return true;
    }
    // Reads lines for ms milliseconds: the random moment of a kill within its
    // phase, not a wait for something to happen.
    void ReadFor(int ms) {
        QProcess& process = probe_.Process();
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (process.canReadLine()) Take(QString::fromUtf8(process.readLine()).trimmed());
            const qint64 left = ms - clock.elapsed();
            if (left <= 0 || process.state() == QProcess::NotRunning) return;
            process.waitForReadyRead(static_cast<int>(left));
        }
    }
    void Write(const QByteArray& line) {
        lines << QStringLiteral("%1 ms: <%2>").arg(clock_.elapsed()).arg(QString::fromUtf8(line));
        probe_.Write(line);
    }

    // SIGKILL, then the lines it printed before it died.
    void Kill() {
        const qint64 killedAt = clock_.elapsed();
        probe_.Kill();
        const QList<QByteArray> rest = probe_.Process().readAll().split('\n');
        // The last piece is what followed the last line end: never a whole line.
        for (qsizetype i = 0; i + 1 < rest.size(); ++i) Take(QString::fromUtf8(rest[i]).trimmed(), killedAt);
        lines << QStringLiteral("%1 ms: <SIGKILL>").arg(killedAt);
    }
    bool FinishNormally() { return probe_.Finish() && probe_.ExitCode() == 0; }

    QString restoreLine;
    bool started = false;
    int64_t backedUp = 0;
    bool finished = false;
    QStringList lines;

private:
    // A line and when it was read (at the latest).
    void Take(const QString& line, qint64 readAt = -1) {
        if (line.isEmpty()) return;
        lines << QStringLiteral("%1 ms: %2").arg(readAt >= 0 ? readAt : clock_.elapsed()).arg(line);
        if (line.startsWith(QStringLiteral("backup "))) {
            backedUp = std::max<int64_t>(backedUp, line.mid(7).toLongLong());
        } else if (line.startsWith(QStringLiteral("started "))) {
            started = true;
        } else if (line == QStringLiteral("finished")) {
            finished = true;
        } else if (line.startsWith(QStringLiteral("restore")) || line == QStringLiteral("nothing to restore")) {
            restoreLine = line;
        }
    }

    peers::PeerProcess probe_;
    QElapsedTimer clock_;  // since the start: when each line was read
};

// A measurement file of the probe loads completely and holds at least
// `atLeast` one-second records of the tone.
::testing::AssertionResult HoldsTheTone(const QString& path, int64_t atLeast, int64_t* count = nullptr) {
    TDaten file;
    QString why;
    if (file.LoadFromFile(path, kLoadEverything, &why) != kLoadDone)
        return ::testing::AssertionFailure() << path.toStdString() << " does not load: " << why.toStdString();
    const int32_t values = file.GetWerteAnzahl();
    if (count != nullptr) *count = values;
    if (values < atLeast)
        return ::testing::AssertionFailure() << path.toStdString() << " holds " << values << " values, backed up were "
                                             << atLeast;
    return test_support::RecordsOfTheTone(file, file.GetLEQKurzDauer()) << " in " << path.toStdString();
}

// The failures the running test has recorded so far.
int Failures() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

class KillTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        ASSERT_TRUE(root_.isValid());
        // The base folder (the crash backups) on another file system than the
        // user folder, where a rotation copies, syncs and deletes each file
        // instead of renaming it: a kill lands inside one far more often.
        if (shm_.isValid() && QStorageInfo(shm_.path()).device() != QStorageInfo(Root()).device()) {
            ASSERT_TRUE(QFile::link(shm_.path(), root_.filePath("data")));
        }
        platform::SetUserDialogs(&dialogs_);
        peers::PeerProcess setUp;
        ASSERT_TRUE(setUp.Start(peers::PeerPath(QStringLiteral("kill_probe")), {Root()}));
        ASSERT_EQ(setUp.ReadLine(), QStringLiteral("set up"));
        ASSERT_TRUE(setUp.Finish());
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
    }

    QString Root() const { return root_.path(); }
    QString RunFile(int life) const { return root_.filePath(QStringLiteral("run_%1.vtm").arg(life)); }
    QString RestoreTarget(int life) const { return root_.filePath(QStringLiteral("restored_%1.vtm").arg(life)); }

    // The newest rotation folder under the user folder; empty when none.
    QString NewestRotationFolder() const {
        QStringList folders;
        QDirIterator it(Root(), {QStringLiteral("Backup_*")}, QDir::Dirs, QDirIterator::Subdirectories);
        while (it.hasNext()) folders << it.next();
        std::sort(folders.begin(), folders.end());
        return folders.isEmpty() ? QString() : folders.last();
    }

    // The restart's first answer against what the runs before it promised.
    void CheckRestart(const ProbeLife& life, const Promise& promise, int index) {
        SCOPED_TRACE("life " + std::to_string(index) + ": " + life.restoreLine.toStdString());
        const QString& line = life.restoreLine;
        static const QRegularExpression restored(QStringLiteral("^restored (.+) (\\d+)$"));
        if (const auto match = restored.match(line); match.hasMatch()) {
            EXPECT_NE(promise.kind, Promise::Nothing) << "a finished run was offered for restoring";
            int64_t count = 0;
            EXPECT_TRUE(HoldsTheTone(match.captured(1), promise.values, &count));
            EXPECT_EQ(count, match.captured(2).toLongLong());
            return;
        }
        if (line.startsWith(QStringLiteral("restore failed"))) {
            EXPECT_EQ(promise.values, 0) << "backed-up values were not restored";
            EXPECT_NE(promise.kind, Promise::Nothing);
            return;
        }
        ASSERT_EQ(line, QStringLiteral("nothing to restore"));
        if (promise.kind != Promise::MustRestore) {
            if (promise.kind == Promise::Nothing && !promise.ownFile.isEmpty()) {
                EXPECT_TRUE(HoldsTheTone(promise.ownFile, promise.values));
            }
            return;
        }
        // Not offered although the run was under way: either its stop got as
        // far as finishing its own file, or a killed start moved the backups
        // aside, where the protocol menu's restore finds them.
        if (promise.mayHaveFinished && HoldsTheTone(promise.ownFile, promise.values)) return;
        ASSERT_TRUE(promise.mayBeRotated) << "the aborted run was not found";
        const QString folder = NewestRotationFolder();
        const QString target = root_.filePath(QStringLiteral("restored_by_test_%1.vtm").arg(index));
        const RestoreResult result = RestoreFromBackup(folder, target);
        ASSERT_TRUE(result.ok) << folder.toStdString() << ": " << result.error.toStdString();
        EXPECT_TRUE(HoldsTheTone(target, promise.values));
    }

    // What the next restart must find after this life.
    static Promise After(const ProbeLife& life, const Promise& before, const QString& ownFile, bool finishAsked) {
        if (life.restoreLine.isEmpty()) {
            // Killed before its own start-up answered: the last run is still pending.
            Promise carried = before;
            carried.mayBeRotated = true;
            return carried;
        }
        Promise next;
        next.ownFile = ownFile;
        next.values = life.backedUp;
        if (life.finished) {
            next.kind = Promise::Nothing;
        } else if (life.backedUp > 0) {
            next.kind = Promise::MustRestore;
            next.mayHaveFinished = finishAsked;
        } else {
            next.kind = Promise::Maybe;  // nothing backed up yet: nothing promised
        }
        return next;
    }

    // Every file left behind loads: the hive, Default.vtm and each
    // measurement file, and each folder of backups restores. The start
    // reserves the run's own file empty (its target check creates it), so
    // the own file of a run killed before its stop saved may still be empty:
    // no loader takes that for a measurement, and nothing was in it.
    void CheckFilesLeft(const QStringList& killedRuns) {
        platform::Registry::SetHiveFiles(root_.filePath("user.hive"), root_.filePath("machine.hive"));
        platform::Registry reg;
        EXPECT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
        EXPECT_EQ(platform::Registry::TakeDamageReport(), QString());
        EXPECT_TRUE(QDir(Root()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).isEmpty());
        bool sawDefault = false;
        int reserved = 0;
        QStringList backupFolders;
        QDirIterator it(Root(), QDir::Files, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString suffix = info.suffix().toLower();
            if (suffix == QStringLiteral("vtb")) {
                // Only a set with a whole value is a run to restore; one that
                // ended before its first values backup is offered nowhere.
                const bool values = info.fileName().startsWith(QStringLiteral("wertebackup"), Qt::CaseInsensitive);
                if (values && info.size() >= 44 && !backupFolders.contains(info.path())) backupFolders << info.path();
                continue;
            }
            if (suffix != QStringLiteral("vtm")) continue;
            if (info.size() == 0 && killedRuns.contains(info.filePath())) {
                ++reserved;
                continue;
            }
            TDaten file;
            QString why;
            sawDefault |= info.fileName() == QStringLiteral("Default.vtm");
            EXPECT_EQ(file.LoadFromFile(info.filePath(), kLoadEverything, &why), kLoadDone)
                << info.filePath().toStdString() << ": " << why.toStdString();
        }
        EXPECT_TRUE(sawDefault);
        std::printf("%d empty own files of killed runs, %lld backup sets with values\n", reserved,
                    static_cast<long long>(backupFolders.size()));
        for (const QString& folder : backupFolders) {
            const RestoreResult result = RestoreFromBackup(folder, root_.filePath("left_behind.vtm"));
            EXPECT_TRUE(result.ok) << folder.toStdString() << ": " << result.error.toStdString();
            QFile::remove(root_.filePath("left_behind.vtm"));
        }
    }

    QTemporaryDir root_;
    QTemporaryDir shm_{QStringLiteral("/dev/shm/veltaro-kill-XXXXXX")};
    platform::ScriptedDialogs dialogs_;
};

TEST_F(KillTest, EveryBackedUpValueSurvivesAKillAtAnyMoment) {
    const int kills = KillCount();
    const uint32_t seed = Seed();
    std::printf("kill test: %d kills, VELTARO_KILL_SEED=%u\n", kills, seed);
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));
    std::mt19937 random(seed);
    // Each moment comes a quarter of the times, in a random order.
    std::vector<Moment> moments;
    for (int i = 0; i < kills; ++i) moments.push_back(static_cast<Moment>(i % 4));
    std::shuffle(moments.begin(), moments.end(), random);
    const auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

    Promise promise;
    QStringList killedRuns;
    std::vector<int> unjudged;
    for (int index = 0; index <= kills; ++index) {
        const bool last = index == kills;
        const Moment moment = last ? Moment::AfterFinish : moments[static_cast<size_t>(index)];
        SCOPED_TRACE("seed " + std::to_string(seed) + ", life " + std::to_string(index) + ", kill at " + Name(moment));
        ProbeLife life;
        ASSERT_TRUE(life.Start(Root(), RunFile(index), RestoreTarget(index)));
        bool finishAsked = false;
        const auto readUntil = [&life](const std::function<bool()>& done) {
            if (life.ReadUntil(done)) return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << life.lines.join('\n').toStdString();
        };
        if (moment == Moment::Start) {
            life.ReadFor(between(0, 400));
        } else if (moment == Moment::Run) {
            // Killed between two backups or inside one.
            ASSERT_TRUE(readUntil([&] { return life.backedUp > 0; }));
            life.ReadFor(between(0, 2000));
        } else {
            // A stop of a run with values on disk; a finish at any time.
            if (moment == Moment::Stop) {
                ASSERT_TRUE(readUntil([&] { return life.backedUp > 0; }));
                life.ReadFor(between(0, 1000));
            } else {
                ASSERT_TRUE(readUntil([&] { return life.started; }));
                life.ReadFor(between(0, 2500));
            }
            life.Write("finish");
            finishAsked = true;
            if (moment == Moment::Stop) {
                life.ReadFor(between(0, 40));
            } else {
                ASSERT_TRUE(readUntil([&] { return life.finished; }));
            }
        }
        if (last) {
            ASSERT_TRUE(life.FinishNormally());
        } else {
            life.Kill();
            if (!life.finished) killedRuns << RunFile(index);
        }
        std::printf("life %d, kill at %s: %s\n", index, Name(moment), qPrintable(life.lines.join(QStringLiteral(" | "))));
        std::fflush(stdout);
        if (!life.restoreLine.isEmpty()) {
            const int failuresBefore = Failures();
            CheckRestart(life, promise, index);
            // The restart judges every kill since the last restart that got this far.
            for (int kill : unjudged) {
                std::printf("kill %d at %s: %s\n", kill, Name(moments[static_cast<size_t>(kill)]),
                            Failures() > failuresBefore ? "failed" : "passed");
            }
            std::fflush(stdout);
            unjudged.clear();
        }
        if (!last) unjudged.push_back(index);
        promise = After(life, promise, RunFile(index), finishAsked);
    }
    const int failuresBefore = Failures();
    EXPECT_EQ(promise.kind, Promise::Nothing);
    EXPECT_TRUE(HoldsTheTone(RunFile(kills), promise.values));
    CheckFilesLeft(killedRuns);
    std::printf("files left: %s\n", Failures() > failuresBefore ? "failed" : "passed");
}

}  // namespace

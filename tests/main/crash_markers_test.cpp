// The start-up check for an aborted run, the rotation of its backups and the
// offer of the restore when the program starts.
#include "main/crash_markers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>

#include "main/main_window_fixture.h"
#include "platform/registry.h"
#include "store/crash_backups.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/restore_backup_dialog.h"
#include "support/fake_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

using platform::Registry;

const platform::TDateTime kToday = platform::EncodeDateTime(2026, 3, 4, 10, 0, 0, 0);

QStringList AllBackupNames() {
    return {DatenBackupName(1), DatenBackupName(2), WerteBackupName(1), WerteBackupName(2),
            BlockBackupName(1), BlockBackupName(2), kHeaderTextsBackupName};
}

void WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Messung as the next start reads it; nullopt when missing.
std::optional<int32_t> ReadMessung() {
    Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey)) return std::nullopt;
    return reg.ReadInteger(QStringLiteral("Messung"));
}

void WriteMessung(std::optional<int32_t> value) {
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    if (value) {
        ASSERT_TRUE(reg.WriteInteger(QStringLiteral("messung"), *value));  // any spelling is the same value
    } else {
        reg.DeleteValue(QStringLiteral("Messung"));
    }
    ASSERT_TRUE(reg.CloseKey());
}

class CrashMarkersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        base = dir.filePath("base");
        user = dir.filePath("user");
        QDir().mkpath(base);
        QDir().mkpath(user);
    }
    void TearDown() override { Registry::SetHiveFiles(QString(), QString()); }

    // Every backup file, each with its own content.
    void WriteFullSet(const QString& folder) {
        for (const QString& name : AllBackupNames()) WriteFile(QDir(folder).filePath(name), name.toUtf8().repeated(50));
    }
    QStringList Files(const QString& folder) const { return QDir(folder).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    QString base;
    QString user;
};

TEST_F(CrashMarkersTest, CheckAbortedRunTruthTable) {
    struct Case {
        const char* name;
        QStringList files;
        std::optional<int32_t> messung;  // nullopt: the value is missing
        bool keyExists;
        bool expected;
    };
    const QString d1 = DatenBackupName(1), d2 = DatenBackupName(2), w1 = WerteBackupName(1), w2 = WerteBackupName(2);
    const Case cases[] = {
        {"running", {d1, w1}, 1, true, true},
        {"stopped, not finished", {d1, d2, w1, w2}, 2, true, true},
        {"finished", {d1, w1}, 0, true, false},
        {"marker missing", {d2, w2}, std::nullopt, true, true},
        {"first use, no key", {d1, w2}, std::nullopt, false, true},
        {"header without values", {d1, d2}, 1, true, false},
        {"values without header", {w1, w2}, 1, true, false},
        {"blocks and texts only", {BlockBackupName(1), kHeaderTextsBackupName}, 1, true, false},
        {"names in other case", {QStringLiteral("DATENBACKUP2.VTB"), QStringLiteral("WerteBackup1.VTB")}, 2, true, true},
        {"negative marker", {d1, w1}, -1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : Files(base)) QFile::remove(QDir(base).filePath(name));
        for (const QString& name : c.files) WriteFile(QDir(base).filePath(name), "x");
        Registry reg;
        reg.DeleteKey(kSettingsKey);
        reg.CloseKey();
        if (c.keyExists) WriteMessung(c.messung);
        EXPECT_EQ(crash_markers::CheckAbortedRun(base), c.expected);
    }
}

TEST_F(CrashMarkersTest, TwoRotationsADayGiveFolders0001And0002) {
    WriteMessung(1);
    WriteFullSet(base);
    const crash_markers::RotationResult first = crash_markers::RotateBackups(base, user, kToday);
    EXPECT_EQ(first.folder, QDir(user).filePath("Backup_2026_03_04_0001"));
    EXPECT_TRUE(first.notMoved.isEmpty());
    EXPECT_TRUE(Files(base).isEmpty());
    for (const QString& name : AllBackupNames())
        EXPECT_EQ(ReadFile(QDir(first.folder).filePath(name)), name.toUtf8().repeated(50)) << name.toStdString();
    EXPECT_EQ(ReadMessung(), 0);

    // The second crash of the day; its files come in another letter case and
    // a folder of the day's next number exists in another case too.
    WriteMessung(2);
    QDir().mkpath(QDir(user).filePath("BACKUP_2026_03_04_0002"));
    WriteFile(QDir(base).filePath("DATENBACKUP1.VTB"), "h");
    WriteFile(QDir(base).filePath("WERTEBACKUP1.vtb"), "v");
    const crash_markers::RotationResult second = crash_markers::RotateBackups(base, user, kToday);
    EXPECT_EQ(second.folder, QDir(user).filePath("Backup_2026_03_04_0003"));
    EXPECT_EQ(Files(second.folder), QStringList({"DATENBACKUP1.VTB", "WERTEBACKUP1.vtb"}));
    EXPECT_TRUE(Files(base).isEmpty());
    EXPECT_EQ(ReadMessung(), 0);
}

// A file that cannot be moved stays, and so does the marker: the run is
// still not finished.
TEST_F(CrashMarkersTest, AFileThatCannotBeMovedKeepsMessung) {
    WriteMessung(1);
    WriteFullSet(base);
    const QString stuck = WerteBackupName(2);
    const crash_markers::FileMover refuseOne = [&](const QString& from, const QString& to, QString* why) {
        if (QFileInfo(from).fileName() == stuck) {
            *why = QStringLiteral("%1 is in use").arg(from);
            return false;
        }
        return platform::MoveFile(from, to, why);
    };
    const crash_markers::RotationResult rotation = crash_markers::RotateBackups(base, user, kToday, refuseOne);
    ASSERT_FALSE(rotation.folder.isEmpty());
    EXPECT_EQ(rotation.notMoved, QStringList{QDir(base).filePath(stuck) + QStringLiteral(" is in use")});
    EXPECT_EQ(Files(base), QStringList{stuck});
    EXPECT_EQ(Files(rotation.folder).size(), 6);
    EXPECT_EQ(ReadMessung(), 1);

    // The next start finds the run and completes the set in the same folder.
    EXPECT_TRUE(crash_markers::CheckAbortedRun(base));
    const crash_markers::RotationResult next = crash_markers::RotateBackups(base, user, kToday);
    EXPECT_EQ(next.folder, rotation.folder);
    EXPECT_TRUE(next.notMoved.isEmpty());
    EXPECT_EQ(Files(rotation.folder).size(), 7);
    EXPECT_EQ(ReadMessung(), 0);
}

// A crash in the middle of a rotation: the next start carries it on into
// the same folder, so the set is whole there and nothing stays behind for
// the next run's backups to overwrite.
TEST_F(CrashMarkersTest, ARotationCutByACrashIsCompletedByTheNextStart) {
    struct Crash {};
    struct Case {
        const char* name;
        // Moves one file before the crash; throws Crash where the process died.
        std::function<bool(const QString&, const QString&, QString*)> mover;
    };
    int moved = 0;
    const Case cases[] = {
        {"after the header files moved",
         [&](const QString& from, const QString& to, QString* why) {
             if (moved++ == 2) throw Crash{};
             return platform::MoveFile(from, to, why);
         }},
        {"after a copy arrived, before its source was removed",
         [&](const QString& from, const QString& to, QString* why) {
             if (moved++ < 3) return platform::MoveFile(from, to, why);
             QFile::copy(from, to);
             throw Crash{};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        moved = 0;
        QDir(user).removeRecursively();
        WriteMessung(1);
        WriteFullSet(base);
        EXPECT_THROW(crash_markers::RotateBackups(base, user, kToday, c.mover), Crash);
        const QString folder = QDir(user).filePath("Backup_2026_03_04_0001");
        EXPECT_EQ(ReadMessung(), 1);
        EXPECT_TRUE(crash_markers::CheckAbortedRun(base));
        const crash_markers::RotationResult next = crash_markers::RotateBackups(base, user, kToday);
        EXPECT_EQ(next.folder, folder);
        EXPECT_TRUE(next.notMoved.isEmpty()) << next.notMoved.join('\n').toStdString();
        EXPECT_TRUE(Files(base).isEmpty());
        for (const QString& name : AllBackupNames())
            EXPECT_EQ(ReadFile(QDir(folder).filePath(name)), name.toUtf8().repeated(50)) << name.toStdString();
        EXPECT_EQ(ReadMessung(), 0);
        EXPECT_FALSE(crash_markers::CheckAbortedRun(base));
    }
}

TEST_F(CrashMarkersTest, ARotationFolderThatCannotBeMadeChangesNothing) {
    WriteMessung(2);
    WriteFullSet(base);
    const QString blocked = dir.filePath("blocked");
    WriteFile(blocked, "a file where the user folder should be");
    const crash_markers::RotationResult rotation = crash_markers::RotateBackups(base, blocked, kToday);
    EXPECT_TRUE(rotation.folder.isEmpty());
    EXPECT_EQ(Files(base).size(), 7);
    EXPECT_EQ(ReadMessung(), 2);
}

// Base and user folder on different file systems: the files are copied,
// synced and removed, and every one arrives whole.
TEST_F(CrashMarkersTest, RotationAcrossFileSystems) {
    QTemporaryDir shm(QStringLiteral("/dev/shm/veltaro-XXXXXX"));
    if (!shm.isValid() || QStorageInfo(shm.path()).device() == QStorageInfo(user).device())
        GTEST_SKIP() << "no second file system (/dev/shm) to put the base folder on";
    WriteMessung(1);
    WriteFullSet(shm.path());
    const QByteArray big(3 * 1024 * 1024 + 17, '\x5a');  // more than one copy buffer
    WriteFile(QDir(shm.path()).filePath(WerteBackupName(1)), big);
    const crash_markers::RotationResult rotation = crash_markers::RotateBackups(shm.path(), user, kToday);
    ASSERT_FALSE(rotation.folder.isEmpty());
    EXPECT_TRUE(rotation.notMoved.isEmpty()) << rotation.notMoved.join('\n').toStdString();
    EXPECT_TRUE(Files(shm.path()).isEmpty());
    EXPECT_EQ(Files(rotation.folder).size(), 7);
    EXPECT_EQ(ReadFile(QDir(rotation.folder).filePath(WerteBackupName(1))), big);
    EXPECT_EQ(ReadFile(QDir(rotation.folder).filePath(kHeaderTextsBackupName)),
              kHeaderTextsBackupName.toUtf8().repeated(50));
    EXPECT_EQ(ReadMessung(), 0);
}

// --- The program start ---

class AbortedRunAtStart : public test_support::MainWindowConcurrent {
protected:
    QString BaseFolder() const { return dir.filePath("data/Veltaro_2026"); }
    QString UserFolder() const { return dir.filePath("docs/Veltaro_2026"); }

    // The backups a killed run leaves in the base folder, by the real writer.
    void LeaveBackupsOfAKilledRun(int32_t messung) {
        QDir().mkpath(BaseFolder());
        TDaten running;
        running.SetVeranstaltung(QStringLiteral("Killed run"));
        ASSERT_TRUE(running.InitMessung(BaseFolder()));
        for (int32_t i = 0; i < 12; ++i) {
            TSaveIT6 v;
            v.id = i;
            v.TimeStamp = platform::EncodeDateTime(2026, 3, 4, 9, 0, 0, 0) + i / 1440.0;
            v.leq = 95.0;
            running.AddWert(v);
        }
        ASSERT_TRUE(running.SecSave(true));
        WriteMessung(messung);
    }
    // Answers the restore dialog when it shows: records what it offers, then
    // restores into target (or cancels when target is empty).
    void AnswerRestoreDialog(const QString& target) {
        poll_ = std::make_unique<QTimer>();
        QObject::connect(poll_.get(), &QTimer::timeout, poll_.get(), [this, target] {
            auto* dialog = dynamic_cast<TRestoreBackup*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            poll_->stop();
            offeredFolder = dialog->SelectedFolder();
            offeredRestorable = dialog->Scan().restorable;
            if (target.isEmpty()) {
                dialog->pTExitClick();
                return;
            }
            dialogs.ScriptSaveFile(target);
            dialogs.ScriptMessage(platform::kMessageRight);
            dialog->Button1Click();
        });
        poll_->start(5);
    }
    void TearDown() override {
        poll_.reset();
        MainWindowConcurrent::TearDown();
    }
    bool RotationFolderExists() const { return QDir(UserFolder()).entryList({"Backup_*"}, QDir::Dirs).size() == 1; }

    std::optional<QString> offeredFolder;
    bool offeredRestorable = false;
    std::unique_ptr<QTimer> poll_;
};

TEST_F(AbortedRunAtStart, StoppedButNotFinishedOffersTheRestoreFromTheRotationFolder) {
    LeaveBackupsOfAKilledRun(2);
    const QString target = dir.filePath("docs/Veltaro_2026/restored.vtm");
    AnswerRestoreDialog(target);
    Start();
    ASSERT_TRUE(offeredFolder.has_value());
    EXPECT_TRUE(offeredFolder->startsWith(UserFolder() + "/Backup_"));
    EXPECT_TRUE(offeredRestorable);
    EXPECT_EQ(window->Fields().RestorePfad, *offeredFolder);
    EXPECT_EQ(ReadMessung(), 0);
    EXPECT_FALSE(platform::FileExistsNoCase(BaseFolder(), WerteBackupName(1)));
    EXPECT_EQ(lastProt, target);
    TDaten back;
    ASSERT_EQ(back.LoadFromFile(target, kLoadEverything), kLoadDone);
    EXPECT_EQ(back.GetWerteAnzahl(), 12);

    // The start sequence run again finds the backups moved and keeps their folder.
    const QString rotated = *offeredFolder;
    offeredFolder.reset();
    AnswerRestoreDialog(QString());
    window->InfoAnswer(7);
    EXPECT_FALSE(offeredFolder.has_value());
    EXPECT_EQ(window->Fields().RestorePfad, rotated);
    Exit();
}

TEST_F(AbortedRunAtStart, AutoStartRotatesWithoutADialogAndTheMenuItemOffersItLater) {
    LeaveBackupsOfAKilledRun(1);
    WriteSettings([](Registry& reg) { reg.WriteBool("AutoStart", true); });
    AnswerRestoreDialog(QString());
    // The automatic start would open the correction wizard of an uncorrected
    // program; what is tested here is only the backup rotation.
    test_support::FakeCalibration calibration;
    RegisterCalibrationServices(&calibration);
    Start();
    EXPECT_FALSE(offeredFolder.has_value());
    EXPECT_TRUE(RotationFolderExists());
    EXPECT_EQ(ReadMessung(), 0);

    window->AbgebrocheneMessungwiederherstellen1Click();
    ASSERT_TRUE(offeredFolder.has_value());
    EXPECT_EQ(*offeredFolder, window->Fields().RestorePfad);
    EXPECT_TRUE(offeredFolder->startsWith(UserFolder() + "/Backup_"));
    Exit();
    RegisterCalibrationServices(nullptr);
}

TEST_F(AbortedRunAtStart, AFinishedRunOffersNothing) {
    LeaveBackupsOfAKilledRun(0);
    AnswerRestoreDialog(QString());
    Start();
    EXPECT_FALSE(offeredFolder.has_value());
    EXPECT_FALSE(RotationFolderExists());
    EXPECT_TRUE(platform::FileExistsNoCase(BaseFolder(), WerteBackupName(1)));
    EXPECT_EQ(window->Fields().RestorePfad, UserFolder());
    Exit();
}

}  // namespace

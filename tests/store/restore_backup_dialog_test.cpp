// The restore dialog on real backup sets: what it offers for a folder, the
// restore through the scripted save-file prompt, cancel, a target that cannot
// be written, and screenshots in both colour schemes (written into the build
// folder, or $VELTARO_SCREENSHOT_DIR).
#include "store/restore_backup_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QImage>
#include <QTemporaryDir>
#include <QTreeView>

#include <sys/stat.h>

#include "platform/user_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

// The dialog's model reads folders on a thread of Qt's, and painting a
// whole window for a screenshot lets Qt Gui's raster engine fill on threads
// of its own pool; each hands its work over under locks that ThreadSanitizer
// cannot see in the uninstrumented Qt. Our code runs on the main thread only.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "race:libQt6Gui.so.6\n"; }
#endif

namespace {

QString ShotPath(const QString& file) {
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QStringLiteral(VELTARO_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return QDir(dir).filePath(file);
}

class RestoreDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        ASSERT_TRUE(dir_.isValid());
        language.store(kLangEnglish);
        SetUIScale(1.0);
        SetColorScheme(kSchemeLight);
        platform::SetUserDialogs(&dialogs);
        backups = dir_.filePath(QStringLiteral("Backup_2026_03_14_0001"));
        WriteBackupSet(backups);
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        SetColorScheme(kSchemeDark);
    }

    // A measurement of 30 values backed up by the real writer.
    static void WriteBackupSet(const QString& folder) {
        QDir().mkpath(folder);
        TDaten running;
        running.SetVeranstaltung(QStringLiteral("Open Air am See, Hauptbühne"));
        running.SetLocationText(QStringLiteral("Mischpult, 25 m vor der Bühne"));
        running.SetStartTime(platform::EncodeDateTime(2026, 3, 14, 19, 30, 0, 0));
        ASSERT_TRUE(running.InitMessung(folder));
        for (int32_t i = 0; i < 30; ++i) {
            TSaveIT6 v;
            v.id = i;
            v.TimeStamp = platform::EncodeDateTime(2026, 3, 14, 19, 30, 0, 0) + (i + 1) / 1440.0;
            v.Peak = 120.0;
            v.LeqK = 99.0;
            v.leq = 96.0;
            running.AddWert(v);
        }
        ASSERT_TRUE(running.SecSave(true));
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // The tree's model reads a folder on its own thread: runs the event loop
    // until it shows rows entries under folder (bounded) and answers its index.
    static QModelIndex FillFolder(TRestoreBackup& dialog, const QString& folder, int rows) {
        auto* model = static_cast<QFileSystemModel*>(dialog.fs2->model());
        const QModelIndex parent = model->index(folder);
        model->fetchMore(parent);
        QElapsedTimer clock;
        clock.start();
        while (model->rowCount(parent) < rows && clock.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return parent;
    }

    platform::ScriptedDialogs dialogs;
    QString backups;
    QTemporaryDir dir_;
};

TEST_F(RestoreDialogTest, OffersExactlyAFolderWithARestorableSet) {
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(backups);
    EXPECT_EQ(dialog.SelectedFolder(), backups);
    EXPECT_TRUE(dialog.Scan().restorable);
    EXPECT_FALSE(dialog.pTOk->isHidden());
    EXPECT_TRUE(dialog.Scan().infoText.startsWith(QStringLiteral("Open Air am See")));

    const QString empty = Path(QStringLiteral("empty"));
    QDir().mkpath(empty);
    dialog.InitDir(empty);
    EXPECT_EQ(dialog.SelectedFolder(), empty);
    EXPECT_TRUE(dialog.pTOk->isHidden());
    EXPECT_EQ(dialog.Scan().infoText, GetLangText(817));
}

// The tree shows folders only, hidden ones included.
TEST_F(RestoreDialogTest, TreeShowsFoldersOnlyHiddenOnesToo) {
    QDir().mkpath(Path(QStringLiteral(".hidden")));
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(dir_.path());
    const QModelIndex parent = FillFolder(dialog, dir_.path(), 2);
    const QAbstractItemModel* model = dialog.fs2->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row) names << model->index(row, 0, parent).data().toString();
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral(".hidden"), QStringLiteral("Backup_2026_03_14_0001")}));
    EXPECT_TRUE(dialog.fs2->isColumnHidden(1));
}

TEST_F(RestoreDialogTest, RestoreSavesUnderTheChosenNameAndCloses) {
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(backups);
    const QString target = Path(QStringLiteral("restored.vtm"));
    dialogs.ScriptSaveFile(target);
    dialogs.ScriptMessage(platform::kMessageRight);
    dialog.Button1Click();

    EXPECT_EQ(dialog.result(), kRestoreDone);
    EXPECT_EQ(dialog.GetRestoreFile(), target);
    const std::vector<platform::SaveFileRequest> requests = dialogs.saveFileRequests();
    ASSERT_EQ(requests.size(), 1u);
    const platform::SaveFileRequest& request = requests.front();
    EXPECT_EQ(request.title, QStringLiteral("Speicherort für die Wiederherstellung wählen"));
    EXPECT_EQ(request.filter, QStringLiteral("Veltaro Protokoll|*.VTM"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("vtm"));
    const std::vector<platform::MessageRequest> messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front().text,
              QStringLiteral("The measurement log has been restored and has been stored\r\nusing the file-name\r\n\r\n") +
                  target);
    EXPECT_EQ(messages.front().header, GetLangText(812));
    TDaten back;
    ASSERT_EQ(back.LoadFromFile(target, kLoadEverything), kLoadDone);
    EXPECT_EQ(back.GetWerteAnzahl(), 30);
}

TEST_F(RestoreDialogTest, CancelGivesTwoAndNoFile) {
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(backups);
    dialogs.ScriptSaveFileCancel();
    dialog.Button1Click();  // a cancelled prompt restores nothing and keeps the dialog
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialogs.messages().empty());

    dialog.show();
    gui_test::Click(dialog.pTExit, QPoint(10, 10));
    EXPECT_EQ(dialog.result(), kRestoreCancelled);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.GetRestoreFile().isEmpty());
}

TEST_F(RestoreDialogTest, AnUnwritableTargetIsToldAndTheDialogStaysOpen) {
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(backups);
    dialog.show();
    dialogs.ScriptSaveFile(Path(QStringLiteral("missing/folder/restored.vtm")));
    dialogs.ScriptMessage(platform::kMessageRight);
    dialog.Button1Click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialog.GetRestoreFile().isEmpty());
    const std::vector<platform::MessageRequest> messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(messages.front().text.isEmpty());
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

struct Scheme {
    int32_t id;
    const char* name;
};

class RestoreDialogScreenshot : public RestoreDialogTest, public ::testing::WithParamInterface<Scheme> {};

TEST_P(RestoreDialogScreenshot, LooksFinished) {
    displayLayout = GetParam().id;
    SetColorScheme(GetParam().id);
    TRestoreBackup dialog(nullptr, 96);
    dialog.InitDir(backups);
    dialog.show();
    ButtonMouseEnter(dialog.pTOk);
    FillFolder(dialog, dir_.path(), 1);
    QApplication::processEvents();
    const QImage shot = dialog.grab().toImage();
    ASSERT_TRUE(shot.save(ShotPath(QStringLiteral("restore_dialog_%1.png").arg(QLatin1String(GetParam().name)))));

    EXPECT_EQ(shot.size(), QSize(638, 364));
    // The info box: background fill inside, a frame in the text colour.
    const QRect info = dialog.pbInfo->geometry();
    EXPECT_EQ(shot.pixelColor(info.left(), info.center().y()).rgba(), clText32);
    EXPECT_EQ(shot.pixelColor(info.right() - 2, info.bottom() - 2).rgba(), clBack32);
    // Nothing overlaps and everything lies inside the window.
    const QRect tree = dialog.fs2->geometry();
    const QRect ok = dialog.pTOk->geometry();
    const QRect exit = dialog.pTExit->geometry();
    EXPECT_FALSE(tree.intersects(info));
    EXPECT_FALSE(info.intersects(ok));
    EXPECT_FALSE(ok.intersects(exit));
    for (const QRect& r : {tree, info, ok, exit}) EXPECT_TRUE(dialog.rect().contains(r));
}

INSTANTIATE_TEST_SUITE_P(BothSchemes, RestoreDialogScreenshot,
                         ::testing::Values(Scheme{kSchemeLight, "light"}, Scheme{kSchemeDark, "dark"}),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(info.param.name); });

}  // namespace

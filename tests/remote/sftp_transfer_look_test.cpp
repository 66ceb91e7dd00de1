// The transfer window as the user sees it after a failed attempt. Apart from
// the transfer tests because painting a shown window starts Qt's own
// rendering threads, which ThreadSanitizer cannot follow; this test starts
// no thread of its own.
#include "remote/sftp_transfer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/sshd_fixture.h"
#include "reports/sftp_manager.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

TEST(SFTPTransferLook, AFailedAttemptShowsItsLinesAndBothButtons) {
    gui_test::App();
    language.store(kLangEnglish);
    QTemporaryDir dir;
    platform::Registry::SetHiveFiles(dir.filePath(QStringLiteral("user.hive")), dir.filePath(QStringLiteral("machine.hive")));
    platform::ScriptedDialogs dialogs;
    platform::SetUserDialogs(&dialogs);
    TSFTPManager settings;
    settings.SetHost(QStringLiteral("127.0.0.1"));
    settings.SetPort(sshd_test::FreeLoopbackPort());  // nobody listens
    settings.SetSavePW(true);
    settings.SetPW(QStringLiteral("secret"));
    sftpManager.store(&settings);
    const QString path = dir.filePath(QStringLiteral("m1.vtm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    TSFTPTransfer dialog(nullptr, 96);
    dialog.SetFileName(path);
    dialog.StartUpload();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialog.Info().endsWith(QStringLiteral("\nConnection refused\nDone")));
    dialog.show();
    const QImage shot = dialog.grab().toImage();
    EXPECT_TRUE(shot.save(QStringLiteral(VELTARO_BINARY_DIR) + QStringLiteral("/sftp_transfer_failure.png")));
    // Both buttons stand below the message box, inside the window.
    EXPECT_GT(dialog.pbCancel->geometry().top(), dialog.pbTransInfo->geometry().bottom());
    EXPECT_TRUE(dialog.rect().contains(dialog.pbRetry->geometry()));
    EXPECT_LT(dialog.pbCancel->geometry().right(), dialog.pbRetry->geometry().left());
    // The message box is painted in the panel colour, not left blank.
    const QPoint inBox = dialog.pbTransInfo->geometry().bottomRight() - QPoint(4, 4);
    EXPECT_EQ(shot.pixelColor(inBox).rgb() & 0xFFFFFF, clPanel32 & 0xFFFFFF);
    dialog.hide();

    sftpManager.store(nullptr);
    platform::SetUserDialogs(nullptr);
    platform::Registry::SetHiveFiles(QString(), QString());
}

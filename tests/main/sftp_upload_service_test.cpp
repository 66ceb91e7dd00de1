#include "main/sftp_upload_service.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/sftp_transfer.h"
#include "remote/sshd_fixture.h"
#include "reports/sftp_manager.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

// The transfer attempt run at once instead of a modal window.
int RunAttempt(TSFTPTransfer& dialog) {
    dialog.StartUpload();
    return dialog.result();
}

class SftpUploadServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        platform::Registry::SetHiveFiles(dir_.filePath(QStringLiteral("user.hive")),
                                         dir_.filePath(QStringLiteral("machine.hive")));
        platform::SetUserDialogs(&dialogs_);
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
    }
    void StoreSettings(const TSFTPManager& settings) {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        settings.SaveToReg(&reg);
    }

    QTemporaryDir dir_;
    platform::ScriptedDialogs dialogs_;
};

}  // namespace

TEST_F(SftpUploadServiceTest, PublishesTheSettingsWhileItLives) {
    TSFTPManager stored;
    stored.SetHost(QStringLiteral("sftp-host"));
    stored.SetAutoTrans(true);
    StoreSettings(stored);
    {
        TSftpUploadService service(nullptr, RunAttempt);
        EXPECT_EQ(sftpServices(), &service);
        ASSERT_NE(sftpManager.load(), nullptr);
        EXPECT_EQ(sftpManager.load()->GetHost(), QStringLiteral("sftp-host"));
        EXPECT_TRUE(service.AutoTransferOn());
        sftpManager.load()->SetAutoTrans(false);
        sftpManager.load()->SetPort(2222);
        service.SaveSettings();
        EXPECT_FALSE(service.UploadBySFTP(dir_.filePath(QStringLiteral("missing.vtm"))));
    }
    EXPECT_EQ(sftpServices(), nullptr);
    EXPECT_EQ(sftpManager.load(), nullptr);
    TSftpUploadService again(nullptr, RunAttempt);
    EXPECT_FALSE(again.AutoTransferOn());
    EXPECT_EQ(sftpManager.load()->GetPort(), 2222);
}

TEST_F(SftpUploadServiceTest, ASuccessfulUploadIsAnnounced) {
    sshd_test::SshdServer server;
    START_SSHD_OR_SKIP(server);
    ASSERT_TRUE(QDir().mkpath(server.home() + QStringLiteral("/data")));
    sshd_test::RunTool(QStringLiteral("chown"), {server.user(), server.home() + QStringLiteral("/data")});
    TSFTPManager stored;
    stored.SetHost(QStringLiteral("127.0.0.1"));
    stored.SetPort(server.port());
    stored.SetUser(server.user());
    stored.SetSubDir(QStringLiteral("data"));
    stored.SetSavePW(true);
    stored.SetPW(server.password());
    StoreSettings(stored);
    const QString path = dir_.filePath(QStringLiteral("m1.vtm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("measurement");
    file.close();

    TSftpUploadService service(nullptr, RunAttempt);
    EXPECT_TRUE(service.UploadBySFTP(path));
    ASSERT_EQ(dialogs_.infos().size(), 1u);
    const platform::InfoRequest notice = dialogs_.infos()[0];
    EXPECT_EQ(notice.header, QStringLiteral("SFTP Upload"));
    EXPECT_EQ(notice.info, QStringLiteral("m1.vtm successfully uploaded to 127.0.0.1/data"));
    EXPECT_EQ(notice.rightCaption, QStringLiteral("Close"));
    EXPECT_TRUE(notice.leftCaption.isEmpty());
    EXPECT_EQ(notice.timeoutMs, 10000);

    // A refused password: no announcement.
    sftpManager.load()->SetPW(QStringLiteral("wrong password"));
    dialogs_.ScriptPasswordCancel();
    EXPECT_FALSE(service.UploadBySFTP(path));
    EXPECT_EQ(dialogs_.infos().size(), 1u);
}

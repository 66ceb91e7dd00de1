#include "remote/sftp_transfer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/sshd_fixture.h"
#include "remote/ssh2_host_keys.h"
#include "remote/tcp_relay.h"
#include "reports/sftp_manager.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

using sshd_test::SshdServer;

namespace {

QByteArray RandomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& c : bytes) c = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray ReadBack(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The settings, the registry, the dialog service and one server for the
// suite; each test uploads files of its own.
class SFTPTransferTest : public sshd_test::SharedSshdSuite {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        platform::Registry::SetHiveFiles(local_.filePath(QStringLiteral("user.hive")),
                                         local_.filePath(QStringLiteral("machine.hive")));
        platform::SetUserDialogs(&dialogs_);
        sftpManager.store(&settings_);
        if (!SkipReason().isEmpty()) GTEST_SKIP() << SkipReason().toStdString();
        settings_.SetHost(QStringLiteral("127.0.0.1"));
        settings_.SetPort(server_->port());
        settings_.SetUser(server_->user());
        settings_.SetSavePW(true);
        settings_.SetPW(server_->password());
    }
    void TearDown() override {
        sftpManager.store(nullptr);
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
    }
    QString Home(const QString& name) const { return server_->home() + QLatin1Char('/') + name; }
    // A local measurement file of size bytes.
    QString LocalFile(const QString& name, qsizetype size) {
        const QString path = local_.filePath(name);
        EXPECT_TRUE(WriteFile(path, RandomBytes(size)));
        return path;
    }
    QStringList Lines(const TSFTPTransfer& dialog) const { return dialog.Info().split(QLatin1Char('\n')); }

    QTemporaryDir local_;
    platform::ScriptedDialogs dialogs_;
    TSFTPManager settings_;
};

}  // namespace

TEST_F(SFTPTransferTest, StoredPasswordUploadsAndCloses) {
    const QString path = LocalFile(QStringLiteral("stored.vtm"), 70000);
    TSFTPTransfer dialog;
    dialog.SetFileName(path);
    dialog.StartUpload();
    EXPECT_EQ(dialog.result(), kUploadSucceeded);
    EXPECT_EQ(ReadBack(Home(QStringLiteral("stored.vtm"))), ReadBack(path));
    EXPECT_EQ(dialog.Progress(), 100);
    const QStringList lines = Lines(dialog);
    EXPECT_EQ(lines.value(1), path);
    EXPECT_EQ(lines.last(), QStringLiteral("Done"));
    EXPECT_TRUE(dialogs_.passwordRequests().empty());
}

TEST_F(SFTPTransferTest, PromptedPasswordAndACancelledPrompt) {
    settings_.SetSavePW(false);
    const QString path = LocalFile(QStringLiteral("prompted.vtm"), 10);
    TSFTPTransfer dialog;
    dialog.SetFileName(path);
    dialogs_.ScriptPasswordCancel();
    dialog.StartUpload();
    EXPECT_EQ(dialog.result(), 0);  // still open
    EXPECT_EQ(Lines(dialog), QStringList({QString(), path}));
    ASSERT_EQ(dialogs_.passwordRequests().size(), 1u);
    EXPECT_FALSE(dialogs_.passwordRequests()[0].fileMode);
    EXPECT_EQ(dialogs_.passwordRequests()[0].name, QStringLiteral("127.0.0.1"));
    EXPECT_DOUBLE_EQ(dialog.windowOpacity(), 1.0);

    dialogs_.ScriptPassword(server_->password());
    dialog.pbRetryClick();
    EXPECT_EQ(dialog.result(), kUploadSucceeded);
    EXPECT_EQ(ReadBack(Home(QStringLiteral("prompted.vtm"))), ReadBack(path));
}

TEST_F(SFTPTransferTest, WrongPasswordTellsAndStaysOpen) {
    settings_.SetPW(QStringLiteral("wrong password"));
    dialogs_.ScriptPasswordCancel();  // the keyboard-interactive question after the refused password
    TSFTPTransfer dialog;
    dialog.SetFileName(LocalFile(QStringLiteral("wrong.vtm"), 10));
    dialog.StartUpload();
    EXPECT_EQ(dialog.result(), 0);
    const QStringList lines = Lines(dialog);
    const qsizetype at = lines.indexOf(QStringLiteral("Invalid username or password"));
    ASSERT_GE(at, 0) << dialog.Info().toStdString();
    ASSERT_EQ(lines.size(), at + 3);  // the client's error, then "Done"
    EXPECT_FALSE(lines[at + 1].isEmpty());
    EXPECT_EQ(lines[at + 2], QStringLiteral("Done"));
    EXPECT_FALSE(QFileInfo::exists(Home(QStringLiteral("wrong.vtm"))));
}

TEST_F(SFTPTransferTest, MissingSubFolderIsToldAndTheUploadFails) {
    settings_.SetSubDir(QStringLiteral("data"));
    TSFTPTransfer dialog;
    dialog.SetFileName(LocalFile(QStringLiteral("sub.vtm"), 10));
    dialog.StartUpload();
    EXPECT_EQ(dialog.result(), 0);
    const QStringList lines = Lines(dialog);
    const qsizetype at = lines.indexOf(QStringLiteral("The folder data does not exist"));
    ASSERT_GE(at, 0) << dialog.Info().toStdString();
    ASSERT_EQ(lines.size(), at + 3);
    EXPECT_TRUE(lines[at + 1].startsWith(QStringLiteral("SFTP: "))) << lines[at + 1].toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("Done"));

    // With the folder there the file lands in it.
    ASSERT_TRUE(QDir().mkpath(Home(QStringLiteral("data"))));
    sshd_test::RunTool(QStringLiteral("chown"), {server_->user(), Home(QStringLiteral("data"))});
    dialog.pbRetryClick();
    EXPECT_EQ(dialog.result(), kUploadSucceeded) << dialog.Info().toStdString();
    EXPECT_TRUE(QFileInfo::exists(Home(QStringLiteral("data/sub.vtm"))));
}

TEST_F(SFTPTransferTest, BadSettingsEndTheAttemptWithoutConnecting) {
    const QString path = LocalFile(QStringLiteral("bad.vtm"), 10);
    {
        settings_.SetPort(70000);
        TSFTPTransfer dialog;
        dialog.SetFileName(path);
        dialog.StartUpload();
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_TRUE(Lines(dialog).contains(QStringLiteral("Invalid SFTP port: 70000")));
        settings_.SetPort(server_->port());
    }
    {
        // A missing file or a host too short: no line at all.
        TSFTPTransfer dialog;
        dialog.SetFileName(local_.filePath(QStringLiteral("missing.vtm")));
        EXPECT_FALSE(dialog.Upload());
        settings_.SetHost(QStringLiteral("x"));
        dialog.SetFileName(path);
        const QString before = dialog.Info();
        EXPECT_FALSE(dialog.Upload());
        EXPECT_EQ(dialog.Info(), before);
    }
    EXPECT_FALSE(server_->Log().contains(QStringLiteral("userauth-request")));
}

TEST_F(SFTPTransferTest, CutConnectionLeavesNothingHalfAndRepeatSucceeds) {
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite on" : "overwrite off");
        const QString name = overwrite ? QStringLiteral("cut_over.vtm") : QStringLiteral("cut.vtm");
        if (overwrite) ASSERT_TRUE(WriteFile(Home(name), "the old measurement"));
        sshd_test::TcpRelay relay(server_->port(), 1024 * 1024);
        settings_.SetPort(relay.port());
        settings_.SetOverWrite(overwrite);
        const QString path = LocalFile(name, 3 * 1024 * 1024);
        TSFTPTransfer dialog;
        dialog.SetFileName(path);
        dialog.StartUpload();
        EXPECT_TRUE(relay.HasCut());
        EXPECT_EQ(dialog.result(), 0);
        const QStringList lines = Lines(dialog);
        EXPECT_EQ(lines.last(), QStringLiteral("Done"));
        EXPECT_FALSE(lines[lines.size() - 2].isEmpty());
        EXPECT_EQ(ReadBack(Home(name)), overwrite ? QByteArray("the old measurement") : QByteArray("<missing>"));

        dialog.pbRetryClick();
        EXPECT_EQ(dialog.result(), kUploadSucceeded) << dialog.Info().toStdString();
        EXPECT_EQ(ReadBack(Home(name)), ReadBack(path));
        EXPECT_FALSE(QFileInfo::exists(Home(name + QStringLiteral(".part"))));
    }
}

TEST_F(SFTPTransferTest, ChangedHostKeyRefusedThenTrusted) {
    TSFTPTransfer first;
    first.SetFileName(LocalFile(QStringLiteral("key1.vtm"), 10));
    first.StartUpload();
    ASSERT_EQ(first.result(), kUploadSucceeded);
    EXPECT_TRUE(first.Info().contains(QStringLiteral("New host key stored: SHA256:")));

    ASSERT_EQ(server_->RestartWithNewHostKey(), QString());
    dialogs_.ScriptMessage(platform::kMessageClosed);  // closing the box is Cancel
    TSFTPTransfer refused;
    refused.SetFileName(LocalFile(QStringLiteral("key2.vtm"), 10));
    refused.StartUpload();
    EXPECT_EQ(refused.result(), 0);
    EXPECT_TRUE(Lines(refused).contains(HostKeyMessage(HostKeyText::KeyRefused)));
    EXPECT_FALSE(server_->Log().contains(QStringLiteral("userauth-request")));
    EXPECT_FALSE(QFileInfo::exists(Home(QStringLiteral("key2.vtm"))));

    dialogs_.ScriptMessage(platform::kMessageLeft);
    refused.pbRetryClick();
    EXPECT_EQ(refused.result(), kUploadSucceeded);
    EXPECT_TRUE(QFileInfo::exists(Home(QStringLiteral("key2.vtm"))));
    EXPECT_EQ(dialogs_.unscriptedCount(), 0);
}

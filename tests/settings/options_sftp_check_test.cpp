// The SFTP page's check against a real OpenSSH server on 127.0.0.1: what a
// user reads in the page's log after a good login, a wrong password and a
// port where nothing listens.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/sshd_fixture.h"
#include "settings/options_dialog.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kDoneText = 944;
constexpr int kLoginRefusedText = 1240;

class OptionsSftpCheck : public sshd_test::SharedSshdSuite {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        platform::Registry::SetHiveFiles(local_.filePath("user.hive"), local_.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs_);
        if (!SkipReason().isEmpty()) GTEST_SKIP() << SkipReason().toStdString();
        dialog_ = std::make_unique<TvtpOptionen>(nullptr, TOptionsHooks{}, 96);
    }
    void TearDown() override {
        dialog_.reset();
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
    }
    // The page filled as a user would, with the stored password.
    QStringList Check(const QString& password, const QString& subDir, int32_t port, bool makeSubDir) {
        dialog_->SetSFTP("127.0.0.1", server_->user(), password, subDir, port, false, true, false);
        dialog_->RunSftpCheck(makeSubDir);
        return dialog_->SftpLog().split('\n');
    }

    QTemporaryDir local_;
    platform::ScriptedDialogs dialogs_;
    std::unique_ptr<TvtpOptionen> dialog_;
};

TEST_F(OptionsSftpCheck, AGoodLoginMakesTheSubFolderAndEndsWithItsPath) {
    const QStringList lines = Check(server_->password(), "reports/2026", server_->port(), true);
    ASSERT_GE(lines.size(), 5) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[1].startsWith("Start SFTP Check, Version "));
    EXPECT_TRUE(lines[2].contains("SHA256:")) << "a first connection stores the host key and says so";
    EXPECT_EQ(lines[lines.size() - 3], "reports/2026") << lines.join('\n').toStdString();
    EXPECT_EQ(lines[lines.size() - 2], QString()) << "no error, though the folder was probed before it was made";
    EXPECT_EQ(lines.last(), GetLangText(kDoneText));
    EXPECT_TRUE(QFileInfo(server_->home() + "/reports/2026").isDir());
    dialog_->Select_Window(TvtpOptionen::tsSFTP);
    dialog_->show();
    EXPECT_TRUE(dialog_->grab().save(test_support::ScreenshotPath("options_sftp_check_log.png")));

    // Checked again without making it, a folder that is not there is named.
    const QStringList missing = Check(server_->password(), "elsewhere", server_->port(), false);
    EXPECT_TRUE(missing.contains("Directory elsewhere does not exist")) << missing.join('\n').toStdString();
    EXPECT_FALSE(missing.join('\n').contains("SHA256:")) << "the stored host key is known now";
    EXPECT_EQ(missing.last(), GetLangText(kDoneText));
    EXPECT_FALSE(QFileInfo::exists(server_->home() + "/elsewhere"));
}

TEST_F(OptionsSftpCheck, AWrongPasswordIsToldWithTheServersError) {
    dialogs_.ScriptPasswordCancel();  // a keyboard-interactive question after the refused password
    const QStringList lines = Check("not the password", QString(), server_->port(), false);
    const qsizetype at = lines.indexOf(GetLangText(kLoginRefusedText));
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    ASSERT_EQ(lines.size(), at + 3) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines[at + 1].isEmpty()) << "the client's error";
    EXPECT_EQ(lines.last(), GetLangText(kDoneText));
}

TEST_F(OptionsSftpCheck, APortWhereNothingListensEndsWithTheConnectError) {
    const uint16_t closed = sshd_test::FreeLoopbackPort();
    const QStringList lines = Check(server_->password(), QString(), closed, false);
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[1].startsWith("Start SFTP Check, Version "));
    EXPECT_FALSE(lines[2].isEmpty()) << "the connect error";
    EXPECT_EQ(lines[3], GetLangText(kDoneText));
    EXPECT_FALSE(server_->Log().contains(QString::number(closed)));
}

}  // namespace

#include "reports/sftp_manager.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/registry.h"

namespace {

const QString kKey = QStringLiteral("Software\\Brask Soft\\Veltaro2026");

class SFTPManagerRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Registry::SetHiveFiles(dir_.filePath(QStringLiteral("user.hive")),
                                         dir_.filePath(QStringLiteral("machine.hive")));
        ASSERT_TRUE(reg_.OpenKey(kKey, true));
    }
    void TearDown() override {
        reg_.CloseKey();
        platform::Registry::SetHiveFiles(QString(), QString());
    }

    QTemporaryDir dir_;
    platform::Registry reg_;
};

}  // namespace

TEST(SFTPManager, ClearedSettingsAndThePath) {
    TSFTPManager manager;
    EXPECT_EQ(manager.GetPort(), 22);
    EXPECT_FALSE(manager.GetOverWrite() || manager.GetUseV6() || manager.GetSavePW() || manager.GetAutoTrans());
    EXPECT_TRUE(manager.GetHost().isEmpty() && manager.GetUser().isEmpty() && manager.GetPW().isEmpty());
    EXPECT_EQ(manager.GetFullSFTPPath(), QString());
    manager.SetHost(QStringLiteral("sftp-host"));
    manager.SetSubDir(QStringLiteral("data/vt"));
    EXPECT_EQ(manager.GetFullSFTPPath(), QStringLiteral("sftp-host/data/vt"));
    manager.SetSubDir(QString());
    EXPECT_EQ(manager.GetFullSFTPPath(), QStringLiteral("sftp-host"));
    manager.SetPort(2222);
    manager.ClearSettings();
    EXPECT_EQ(manager.GetPort(), 22);
    EXPECT_TRUE(manager.GetHost().isEmpty());
}

TEST(SFTPManager, CheckSubDirNormalises) {
    const std::pair<const char*, const char*> cases[] = {
        {" \\data\\vt\\ ", "data/vt"}, {"//x//", "/x/"}, {"/", ""}, {"a/b", "a/b"}, {"\t/a\n", "a"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(TSFTPManager::CheckSubDir(QString::fromUtf8(input)), QString::fromUtf8(expected)) << input;
}

TEST(SFTPManager, PasswordsAreStoredEnciphered) {
    TSFTPManager manager;
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Secret!"), QStringLiteral("EmEQowgY2QNKJ8kRuxE=")},
        {QStringLiteral("Grüße €"), QStringLiteral("BjUF6lF1g9Is53sRS08=")},
        {QStringLiteral("x"), QString()},
        {QString(), QString()},
    };
    for (const auto& [password, stored] : cases) {
        manager.SetPW(password);
        EXPECT_EQ(manager.StoredPW(), stored) << password.toStdString();
        EXPECT_EQ(manager.GetPW(), stored.isEmpty() ? QString() : password);
    }
    manager.SetPW(QStringLiteral("Secret!"));
    manager.SetSavePW(false);
    EXPECT_TRUE(manager.StoredPW().isEmpty());
}

TEST_F(SFTPManagerRegistry, RoundTripThroughTheRegistry) {
    TSFTPManager written;
    written.SetUser(QStringLiteral("meter"));
    written.SetHost(QStringLiteral("sftp-host"));
    written.SetSubDir(QStringLiteral("/data/"));
    written.SetPort(2222);
    written.SetOverWrite(true);
    written.SetUseV6(true);
    written.SetAutoTrans(true);
    written.SetSavePW(true);
    written.SetPW(QStringLiteral("Grüße €"));
    written.SaveToReg(&reg_);
    EXPECT_EQ(reg_.ReadString(QStringLiteral("SFTP_PW")), QStringLiteral("BjUF6lF1g9Is53sRS08="));
    EXPECT_EQ(reg_.ReadInteger(QStringLiteral("SFTP_OVER")), 1);

    TSFTPManager read;
    read.LoadFromReg(&reg_);
    EXPECT_EQ(read.GetUser(), QStringLiteral("meter"));
    EXPECT_EQ(read.GetFullSFTPPath(), QStringLiteral("sftp-host/data"));
    EXPECT_EQ(read.GetPort(), 2222);
    EXPECT_TRUE(read.GetOverWrite() && read.GetUseV6() && read.GetAutoTrans() && read.GetSavePW());
    EXPECT_EQ(read.GetPW(), QStringLiteral("Grüße €"));

    // Without the switch no password reaches the registry.
    written.SetSavePW(false);
    written.SaveToReg(&reg_);
    EXPECT_EQ(reg_.ReadString(QStringLiteral("SFTP_PW")), QString());
    EXPECT_EQ(reg_.ReadBool(QStringLiteral("SFTP_SAVE")), false);
    read.LoadFromReg(nullptr);
    EXPECT_EQ(read.GetPort(), 22);
    written.SaveToReg(nullptr);  // nothing, no crash
}

TEST_F(SFTPManagerRegistry, BadOrMissingValuesKeepTheClearedOnes) {
    reg_.WriteString(QStringLiteral("SFTP_HOST"), QStringLiteral("only-host"));
    reg_.WriteString(QStringLiteral("SFTP_PORT"), QStringLiteral("not a number"));
    reg_.WriteString(QStringLiteral("SFTP_SUBDIR"), QStringLiteral("/as/stored"));
    reg_.WriteString(QStringLiteral("SFTP_PW"), QStringLiteral("%%% not base64 %%%"));
    reg_.WriteInteger(QStringLiteral("SFTP_USER"), 7);
    TSFTPManager manager;
    manager.LoadFromReg(&reg_);
    EXPECT_EQ(manager.GetHost(), QStringLiteral("only-host"));
    EXPECT_EQ(manager.GetPort(), 22);
    EXPECT_EQ(manager.GetSubDir(), QStringLiteral("/as/stored"));
    EXPECT_TRUE(manager.GetUser().isEmpty());
    EXPECT_TRUE(manager.GetPW().isEmpty());
    EXPECT_FALSE(manager.GetSavePW());
}

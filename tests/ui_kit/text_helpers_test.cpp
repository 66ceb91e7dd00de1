#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include "ui_kit/target_file.h"
#include "ui_kit/text_helpers.h"

namespace {

TEST(TextHelpers, JoinWithBullet) {
    const QString bullet = QString::fromUtf8(" \u2022 ");
    EXPECT_EQ(JoinWithBullet(QStringLiteral("Halle"), QStringLiteral("Bühne")), QStringLiteral("Halle") + bullet + QStringLiteral("Bühne"));
    EXPECT_EQ(JoinWithBullet(QStringLiteral("Halle"), QString()), QStringLiteral("Halle"));
    EXPECT_EQ(JoinWithBullet(QString(), QStringLiteral("Bühne")), QStringLiteral("Bühne"));
    EXPECT_EQ(JoinWithBullet(QString(), QString()), QString());
}

TEST(TextHelpers, FoldLineBreaksGivesOneBlankPerBreak) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\r\nb", "a b"},
        {"a\nb", "a b"},
        {"a\rb", "a b"},
        {"a\n\rb", "a b"},
        {"a\r\n\r\nb", "a  b"},
        {"a\n\nb", "a  b"},
        {"  \r\nline one\r\nline two\n  ", "line one line two"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(FoldLineBreaks(QString::fromUtf8(c.in)), QString::fromUtf8(c.out));
    }
}

TEST(TextHelpers, IsValidLevelIncludesBothEnds) {
    EXPECT_TRUE(IsValidLevel(100.0));
    EXPECT_TRUE(IsValidLevel(-100.0));
    EXPECT_TRUE(IsValidLevel(0.0));
    EXPECT_FALSE(IsValidLevel(100.0001));
    EXPECT_FALSE(IsValidLevel(-100.0001));
    EXPECT_FALSE(IsValidLevel(std::nan("")));
    EXPECT_FALSE(IsValidLevel(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(IsValidLevel(-std::numeric_limits<double>::infinity()));
}

class TargetFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
};

TEST_F(TargetFileTest, ShortNamesAreRefusedWithoutTouchingTheDisk) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(CheckTargetFile(QStringLiteral("a.vtm"), 300), kTargetFileNameTooShort);
    EXPECT_EQ(CheckTargetFile(QStringLiteral("ab"), 300), kTargetFileNameTooShort);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QDir::setCurrent(cwd);
}

TEST_F(TargetFileTest, MissingFileIsCreatedEmpty) {
    const QString path = dir.filePath(QStringLiteral("Messung_0001.vtm"));
    EXPECT_EQ(CheckTargetFile(path, 0), kTargetFileOk);
    const QFileInfo info(path);
    EXPECT_TRUE(info.exists());
    EXPECT_EQ(info.size(), 0);
}

TEST_F(TargetFileTest, AReadOnlyFileIsNoTarget) {
    const QString path = dir.filePath(QStringLiteral("Messung_0001.vtm"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("finished");
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_EQ(CheckTargetFile(path, 0), kTargetFileNotCreatable);
}

TEST_F(TargetFileTest, ExistingFileKeepsItsContent) {
    const QString path = dir.filePath(QStringLiteral("Messung_0001.vtm"));
    const QByteArray earlier("an earlier measurement");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    EXPECT_EQ(CheckTargetFile(path, 0), kTargetFileOk);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), earlier);
}

TEST_F(TargetFileTest, FileThatCannotBeCreatedGivesTwo) {
    EXPECT_EQ(CheckTargetFile(dir.filePath(QStringLiteral("no/such/folder/file.vtm")), 0), kTargetFileNotCreatable);
    EXPECT_EQ(CheckTargetFile(dir.path(), 0), kTargetFileNotCreatable);  // a folder, not a file
}

TEST_F(TargetFileTest, TooLittleFreeSpaceGivesOneButStillCreates) {
    const QString path = dir.filePath(QStringLiteral("Aufnahme_REC_1.WAV"));
    EXPECT_EQ(CheckTargetFile(path, std::numeric_limits<int32_t>::max()), kTargetFileLowSpace);
    EXPECT_TRUE(QFileInfo::exists(path));
}

}  // namespace

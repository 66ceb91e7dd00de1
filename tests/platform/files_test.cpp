#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::AtomicFile;
using platform::FindFileNoCase;
using platform::RemoveLeftoverTemporaryFiles;
using platform::WriteFileAtomically;

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
    return f.readAll();
}

void writePlain(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray pattern(qsizetype size, char seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) data[i] = static_cast<char>(seed + i * 31 + (i >> 9));
    return data;
}

struct ChildResult {
    int exitCode = -1;
    QString message;
};

// Runs body in a child process and hands back its exit code and the text it
// wrote to the pipe. Used where a test changes process-wide limits or the
// user id, so the test process itself stays as it was.
ChildResult runInChild(const std::function<int(int messageFd)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int code = 99;
        try {
            code = body(fds[1]);
        } catch (...) {
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    QByteArray message;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) message.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ChildResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.message = QString::fromUtf8(message);
    return result;
}

void sendText(int fd, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    [[maybe_unused]] const ssize_t n = ::write(fd, bytes.constData(), bytes.size());
}

class AtomicWriteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

TEST_F(AtomicWriteTest, CreatesAndReplacesWholeFilesLeavingNoTemporaryFile) {
    const QString target = path("data.bin");
    const QByteArray first = pattern(300000, 'a');
    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, first, &error)) << error.toStdString();
    EXPECT_EQ(readAll(target), first);

    const QByteArray second("short");
    ASSERT_TRUE(WriteFileAtomically(target, second, &error)) << error.toStdString();
    EXPECT_EQ(readAll(target), second);
    ASSERT_TRUE(WriteFileAtomically(target, QByteArray(), &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(target).size(), 0);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"data.bin"});
}

TEST_F(AtomicWriteTest, KeepsThePermissionBitsOfTheTarget) {
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755)}) {
        const QString target = path(QStringLiteral("mode-%1").arg(mode, 0, 8));
        writePlain(target, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), mode), 0);
        ASSERT_TRUE(WriteFileAtomically(target, "new"));
        EXPECT_EQ(modeOf(target), mode) << std::oct << mode;
        EXPECT_EQ(readAll(target), "new");
    }
}

TEST_F(AtomicWriteTest, ForcedModeWinsOverTheOldBits) {
    const QString target = path("secret");
    writePlain(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0644), 0);
    AtomicFile file;
    file.setFileMode(0600);
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("new"));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(modeOf(target), mode_t(0600));
}

TEST_F(AtomicWriteTest, RefusesTargetsThatMustNotBeReplaced) {
    const QString readOnly = path("locked.vtm");
    writePlain(readOnly, "protected content");
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    QString error;
    EXPECT_FALSE(WriteFileAtomically(readOnly, "replacement", &error));
    EXPECT_TRUE(error.contains("read-only")) << error.toStdString();
    EXPECT_EQ(readAll(readOnly), "protected content");
    EXPECT_EQ(modeOf(readOnly), mode_t(0444));

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    error.clear();
    EXPECT_FALSE(WriteFileAtomically(path("folder"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(path("folder")).isDir());

    error.clear();
    EXPECT_FALSE(WriteFileAtomically(path("no-such-folder/file"), "x", &error));
    EXPECT_FALSE(error.isEmpty());

    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"folder", "locked.vtm"}));
}

TEST_F(AtomicWriteTest, TargetIsUntouchedWhenItsFolderIsNotWritable) {
    // The superuser may write into any folder, so the write runs in a child
    // that has dropped to an unprivileged user.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("closed"));
    const QString folder = path("closed");
    const QString target = folder + "/settings.txt";
    writePlain(target, "old settings");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

    const ChildResult child = runInChild([&](int fd) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 3;
        QString error;
        if (WriteFileAtomically(target, "new settings", &error)) return 1;
        sendText(fd, error);
        return 0;
    });
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_FALSE(child.message.isEmpty());
    EXPECT_EQ(readAll(target), "old settings");
    EXPECT_EQ(entriesOf(folder), QStringList{"settings.txt"});
}

TEST_F(AtomicWriteTest, TargetIsUntouchedWhenTheWriteFailsHalfWay) {
    // A file size limit makes the kernel refuse the write part-way, as a
    // full disk would.
    const QString target = path("big.bin");
    const QByteArray old = pattern(1000, 'o');
    writePlain(target, old);

    const ChildResult child = runInChild([&](int fd) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 * 1024, 256 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        QString error;
        if (WriteFileAtomically(target, pattern(1024 * 1024, 'n'), &error)) return 1;

        AtomicFile streamed;
        if (!streamed.open(target)) return 4;
        bool allWritten = true;
        for (int i = 0; i < 64; ++i) allWritten = streamed.write(pattern(16 * 1024, char(i))) && allWritten;
        if (streamed.commit()) return 5;
        sendText(fd, error + "\n" + streamed.errorString());
        return allWritten ? 6 : 0;
    });
    EXPECT_EQ(child.exitCode, 0) << child.message.toStdString();
    EXPECT_EQ(child.message.count('\n'), 1) << child.message.toStdString();
    EXPECT_EQ(readAll(target), old);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"big.bin"});
}

TEST_F(AtomicWriteTest, StreamedFileAppearsOnlyOnCommit) {
    const QString target = path("stream.bin");
    writePlain(target, "old");
    QByteArray expected;
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(target));
        for (int i = 0; i < 50; ++i) {
            const QByteArray chunk = pattern(7000 + i, char('A' + i));
            expected += chunk;
            ASSERT_TRUE(file.write(chunk));
        }
        EXPECT_EQ(readAll(target), "old");
        ASSERT_TRUE(file.commit()) << file.errorString().toStdString();
    }
    EXPECT_EQ(readAll(target), expected);

    {
        AtomicFile dropped;
        ASSERT_TRUE(dropped.open(target));
        ASSERT_TRUE(dropped.write(pattern(200000, 'x')));
    }
    AtomicFile cancelled;
    ASSERT_TRUE(cancelled.open(target));
    ASSERT_TRUE(cancelled.write("gone"));
    cancelled.cancel();
    EXPECT_FALSE(cancelled.commit());
    EXPECT_EQ(readAll(target), expected);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"stream.bin"});
}

TEST_F(AtomicWriteTest, WritingThroughALinkReplacesTheFileItPointsTo) {
    const QString real = path("real.txt");
    const QString link = path("link.txt");
    writePlain(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(real), "new");
}

TEST_F(AtomicWriteTest, LeftoverTemporaryFilesOfACutShortWriteAreRemoved) {
    const QString target = path("hive");
    ASSERT_TRUE(WriteFileAtomically(target, "whole"));
    for (const char* name : {".hive.tmp-Ab3xQ9", ".hive.tmp-zzzzzz", ".hive.tmp-toolong1", ".other.tmp-Ab3xQ9", "hive.tmp-Ab3xQ9"}) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(RemoveLeftoverTemporaryFiles(target), 2);
    QStringList left = entriesOf(dir.path());
    left.sort();
    EXPECT_EQ(left, (QStringList{".hive.tmp-toolong1", ".other.tmp-Ab3xQ9", "hive", "hive.tmp-Ab3xQ9"}));
    EXPECT_EQ(readAll(target), QByteArray("whole"));
}

TEST(FindFileNoCaseTest, MatchesNamesWithoutRegardToCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"DatenBackup1.vtb", "werteBackup2.VTB", "Exact.txt", "EXACT.txt", "Ärger.vtm", ".Hidden"}) {
        writePlain(dir.filePath(QString::fromUtf8(name)), "x");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("Sub.vtb"));

    struct Case {
        const char* asked;
        const char* found;  // empty: nothing found
    };
    const Case cases[] = {
        {"Datenbackup1.vtb", "DatenBackup1.vtb"},
        {"DATENBACKUP1.VTB", "DatenBackup1.vtb"},
        {"wertebackup2.vtb", "werteBackup2.VTB"},
        {"Exact.txt", "Exact.txt"},
        {"EXACT.txt", "EXACT.txt"},
        {"exact.TXT", "EXACT.txt"},  // no exact spelling: the first in name order
        {"ärger.VTM", "Ärger.vtm"},
        {".hidden", ".Hidden"},
        {"sub.vtb", ""},  // a folder is not a file
        {"Datenbackup3.vtb", ""},
        {"", ""},
        {"../DatenBackup1.vtb", ""},
        {"..", ""},
    };
    for (const Case& c : cases) {
        const QString found = FindFileNoCase(dir.path(), QString::fromUtf8(c.asked));
        const QString expected = *c.found ? dir.filePath(QString::fromUtf8(c.found)) : QString();
        EXPECT_EQ(found, expected) << c.asked;
        EXPECT_EQ(platform::FileExistsNoCase(dir.path(), QString::fromUtf8(c.asked)), *c.found != 0) << c.asked;
    }
    EXPECT_TRUE(FindFileNoCase(dir.filePath("missing-folder"), "DatenBackup1.vtb").isEmpty());
}

// A move never replaces a file; a refused or impossible move leaves the
// source where it was and nothing at the target.
TEST_F(AtomicWriteTest, MoveFileNeverReplacesAndLeavesTheSourceOnFailure) {
    const QString from = dir.filePath("werteBackup1.vtb");
    const QString taken = dir.filePath("taken.vtb");
    writePlain(from, "values");
    writePlain(taken, "other");
    QString why;
    EXPECT_FALSE(platform::MoveFile(from, taken, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(readAll(from), QByteArray("values"));
    EXPECT_EQ(readAll(taken), QByteArray("other"));

    EXPECT_FALSE(platform::MoveFile(from, dir.filePath("no/such/folder/x.vtb"), &why));
    EXPECT_EQ(readAll(from), QByteArray("values"));

    ASSERT_TRUE(QDir().mkpath(dir.filePath("moved")));
    const QString to = dir.filePath("moved/werteBackup1.vtb");
    EXPECT_TRUE(platform::MoveFile(from, to, &why)) << why.toStdString();
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_EQ(readAll(to), QByteArray("values"));
}

}  // namespace

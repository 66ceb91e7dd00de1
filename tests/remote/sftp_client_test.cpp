#include "remote/sftp_client.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

#include <future>
#include <memory>
#include <thread>

#include "remote/sshd_fixture.h"

using sshd_test::SshdServer;

namespace {

QByteArray RandomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(static_cast<quint32>(size));
    for (char& c : bytes) c = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray ReadBack(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
    return file.readAll();
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

// One server for the suite; each test connects a client of its own.
class SFTPClientTest : public sshd_test::SharedSshdSuite {
protected:
    void SetUp() override {
        if (!SkipReason().isEmpty()) GTEST_SKIP() << SkipReason().toStdString();
        client_.SetHost(QStringLiteral("127.0.0.1"));
        client_.SetPort(server_->port());
        client_.SetUserName(server_->user());
        client_.SetPassword(server_->password());
        client_.SetAuthModes(AuthModeBit(TAuthMode::amPassword) | AuthModeBit(TAuthMode::amKeyboardInteractive));
        client_.SetBlockingMode(false);
        client_.SetIPVersion(2);
    }
    QString Home(const QString& name = QString()) const {
        return name.isEmpty() ? server_->home() : server_->home() + QLatin1Char('/') + name;
    }
    // Puts bytes under name; the progress reports in progress when given.
    void PutBytes(const QByteArray& bytes, const QString& name, bool overwrite,
                  std::vector<uint64_t>* progress = nullptr) {
        QBuffer source;
        source.setData(bytes);
        source.open(QIODevice::ReadOnly);
        client_.OnTransferProgress = [progress](TSSH2Client&, const QString&, uint64_t done, uint64_t total) {
            if (progress != nullptr) progress->push_back(done);
            EXPECT_LE(done, total);
        };
        client_.Put(source, name, overwrite);
    }

    TSFTPClient client_;
};

}  // namespace

TEST_F(SFTPClientTest, StartFolderAndListing) {
    client_.Connect(QStringLiteral("."));
    ASSERT_TRUE(client_.Connected());
    EXPECT_EQ(client_.CurrentDirectory(), Home());
    client_.Disconnect();

    client_.Connect(QStringLiteral("/"));
    EXPECT_EQ(client_.CurrentDirectory(), QStringLiteral("/"));
    client_.List(QString());
    EXPECT_EQ(client_.DirectoryItems().Path(), QStringLiteral("/"));
    bool sawTmp = false;
    for (int32_t i = 0; i < client_.DirectoryItems().Count(); ++i) {
        const TSFTPItem& item = client_.DirectoryItems().Items(i);
        EXPECT_NE(item.FileName, QStringLiteral("."));
        if (item.FileName == QStringLiteral("tmp")) sawTmp = item.ItemType == TSFTPItemType::sitDirectory;
    }
    EXPECT_TRUE(sawTmp);
    EXPECT_THROW(client_.List(QStringLiteral("/no/such/folder")), ESSH2Exception);
    EXPECT_TRUE(client_.OpenDir(QStringLiteral("/"), false, 0));  // the current one: no question asked
    client_.Disconnect();

    const int32_t before = client_.DirectoryItems().Count();
    client_.List(QStringLiteral("/tmp"));  // not connected: nothing happens
    EXPECT_EQ(client_.DirectoryItems().Count(), before);
}

TEST_F(SFTPClientTest, UploadsArriveWholeWithMode0644) {
    client_.Connect(QStringLiteral("/"));
    ASSERT_TRUE(client_.Connected());
    for (const qsizetype size : {qsizetype(0), qsizetype(70000), qsizetype(3 * 1024 * 1024)}) {
        const QString name = QStringLiteral("upload_%1.vtm").arg(size);
        const QByteArray bytes = RandomBytes(size);
        std::vector<uint64_t> progress;
        PutBytes(bytes, name, false, &progress);
        EXPECT_EQ(ReadBack(Home(name)), bytes) << size;
        EXPECT_EQ(ModeOf(Home(name)), 0644u) << size;
        EXPECT_FALSE(QFileInfo::exists(Home(name + QStringLiteral(".part"))));
        if (size == 0) {
            EXPECT_TRUE(progress.empty());
        } else {
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back(), static_cast<uint64_t>(size));
        }
    }
}

TEST_F(SFTPClientTest, OverwriteOffKeepsTheFileOverwriteOnReplacesIt) {
    client_.Connect(QStringLiteral("."));
    const QString name = QStringLiteral("replace.vtm");
    PutBytes("old content", name, false);
    try {
        PutBytes("new content", name, false);
        ADD_FAILURE() << "the existing file was replaced";
    } catch (const ESSH2Exception& error) {
        EXPECT_EQ(error.text(), QStringLiteral("SFTP: File exists"));
    }
    EXPECT_EQ(ReadBack(Home(name)), QByteArray("old content"));
    PutBytes("new content", name, true);
    EXPECT_EQ(ReadBack(Home(name)), QByteArray("new content"));
    EXPECT_FALSE(QFileInfo::exists(Home(name + QStringLiteral(".part"))));
}

TEST_F(SFTPClientTest, OpenDirMakesTheMissingFolders) {
    client_.Connect(QStringLiteral("."));
    EXPECT_FALSE(client_.OpenDir(QStringLiteral("a/b"), false, 0));
    EXPECT_TRUE(client_.OpenDir(QStringLiteral("a/b"), true, 0));
    EXPECT_EQ(client_.CurrentDirectory(), QStringLiteral("a/b"));
    EXPECT_EQ(ModeOf(Home(QStringLiteral("a"))), 0755u);
    EXPECT_EQ(ModeOf(Home(QStringLiteral("a/b"))), 0755u);
    EXPECT_TRUE(client_.ExistsDir(QStringLiteral("a/b")));
    // Paths stay relative to the server's default folder, not to the current one.
    PutBytes("x", QStringLiteral("a/b/m.bin"), false);
    EXPECT_EQ(ReadBack(Home(QStringLiteral("a/b/m.bin"))), QByteArray("x"));
    EXPECT_FALSE(client_.ExistsDir(QStringLiteral("a/b/m.bin")));
    EXPECT_THROW(PutBytes("x", QStringLiteral("missing/m.bin"), false), ESSH2Exception);
}

TEST_F(SFTPClientTest, OperationsWithoutAChannelRaise) {
    QBuffer source;
    source.open(QIODevice::ReadOnly);
    EXPECT_THROW(client_.Put(source, QStringLiteral("x"), false), ESSH2Exception);
    EXPECT_THROW(client_.MakeDir(QStringLiteral("x"), 0, false), ESSH2Exception);
    EXPECT_THROW(client_.ExistsDir(QStringLiteral("x")), ESSH2Exception);
}

TEST_F(SFTPClientTest, ConcurrentCancelDuringAPutFailsItAndLeavesNothing) {
    client_.Connect(QStringLiteral("."));
    ASSERT_TRUE(client_.Connected());
    const QString name = QStringLiteral("cancelled.vtm");
    QBuffer source;
    source.setData(RandomBytes(3 * 1024 * 1024));
    source.open(QIODevice::ReadOnly);
    std::promise<void> started;
    std::thread canceller;
    client_.OnTransferProgress = [&](TSSH2Client& client, const QString&, uint64_t, uint64_t) {
        if (canceller.joinable()) return;
        canceller = std::thread([&client] { client.Cancel(true); });
    };
    try {
        client_.Put(source, name, false);
        ADD_FAILURE() << "a cancelled upload succeeded";
    } catch (const ESSH2Exception& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Cancelled"));
    }
    if (canceller.joinable()) canceller.join();
    EXPECT_FALSE(QFileInfo::exists(Home(name)));
    EXPECT_FALSE(QFileInfo::exists(Home(name + QStringLiteral(".part"))));
    client_.Disconnect();
    EXPECT_FALSE(client_.Connected());
}

// The single-instance guard across real processes: each start is a separate
// instance_probe process with its own environment.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "support/peers.h"

namespace {

using peers::PeerProcess;

const QString kName = QStringLiteral("VeltaroRunTest");

class SingleInstance : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);  // lives as long as the process
    }

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    }

    // A new start of the program; its first line says how it went.
    PeerProcess& Start() {
        starts.push_back(std::make_unique<PeerProcess>());
        PeerProcess& start = *starts.back();
        start.SetEnvironment(environment);
        EXPECT_TRUE(start.Start(peers::PeerPath(QStringLiteral("instance_probe")), {kName}));
        return start;
    }

    // A later start: finds the running instance, has it raise its window and
    // ends with 0.
    void ExpectRaisedBy(PeerProcess& running, PeerProcess& later) {
        EXPECT_EQ(later.ReadLine(), QStringLiteral("already running"));
        EXPECT_EQ(later.ReadLine(), QStringLiteral("answered"));
        EXPECT_TRUE(later.Finish());
        EXPECT_EQ(later.ExitCode(), 0);
        EXPECT_EQ(running.ReadLine(), QStringLiteral("raised"));
    }

    QTemporaryDir folder;
    QProcessEnvironment environment;
    std::vector<std::unique_ptr<PeerProcess>> starts;
};

TEST_F(SingleInstance, ASecondStartRaisesTheFirstAndEnds) {
    PeerProcess& first = Start();
    ASSERT_EQ(first.ReadLine(), QStringLiteral("first"));
    ExpectRaisedBy(first, Start());
    ExpectRaisedBy(first, Start());
}

TEST_F(SingleInstance, TheSocketOfAKilledInstanceIsTakenOver) {
    PeerProcess& killed = Start();
    ASSERT_EQ(killed.ReadLine(), QStringLiteral("first"));
    killed.Kill();
    ASSERT_TRUE(QFileInfo::exists(folder.filePath(kName + ".socket")));  // left behind

    PeerProcess& next = Start();
    ASSERT_EQ(next.ReadLine(), QStringLiteral("first"));
    ExpectRaisedBy(next, Start());
}

TEST_F(SingleInstance, RacingStartsGiveExactlyOneFirstInstance) {
    constexpr int kStarts = 5;
    for (int i = 0; i < kStarts; ++i) Start();
    int firsts = 0;
    PeerProcess* winner = nullptr;
    for (auto& start : starts) {
        const QString line = start->ReadLine();
        if (line == QStringLiteral("first")) {
            ++firsts;
            winner = start.get();
        } else {
            EXPECT_EQ(line, QStringLiteral("already running"));
            EXPECT_EQ(start->ReadLine(), QStringLiteral("answered"));
        }
    }
    ASSERT_EQ(firsts, 1);
    for (int i = 1; i < kStarts; ++i) EXPECT_EQ(winner->ReadLine(), QStringLiteral("raised"));
}

TEST_F(SingleInstance, WithoutARuntimeFolderTheGuardLivesInAPrivateFolderUnderTemp) {
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), folder.path());
    PeerProcess& first = Start();
    ASSERT_EQ(first.ReadLine(), QStringLiteral("first"));
    ExpectRaisedBy(first, Start());

    struct stat info {};
    const QString guardFolder = folder.filePath(QStringLiteral("veltaro-%1").arg(getuid()));
    ASSERT_EQ(stat(QFile::encodeName(guardFolder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFileInfo::exists(guardFolder + "/" + kName + ".socket"));
}

// A guard that cannot be created is a failure with a reason, never a second
// instance and never "already running".
struct Unusable {
    const char* what;
    bool needsNonRoot;  // root may write anywhere
    // Prepares the environment; answers the folder the reason must name.
    QString (*prepare)(const QString& base, QProcessEnvironment& environment);
};

const Unusable kUnusable[] = {
    {"runtime folder is a file", false,
     [](const QString& base, QProcessEnvironment& environment) {
         QFile file(base + "/file");
         file.open(QIODevice::WriteOnly);
         environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), file.fileName());
         return file.fileName();
     }},
    {"runtime folder missing", false,
     [](const QString& base, QProcessEnvironment& environment) {
         environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + "/missing");
         return base + "/missing";
     }},
    {"runtime folder not writable", true,
     [](const QString& base, QProcessEnvironment& environment) {
         const QString runtime = base + "/readonly";
         QDir().mkdir(runtime);
         chmod(QFile::encodeName(runtime).constData(), 0500);
         environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
         return runtime;
     }},
    {"temp folder open to others", false,
     [](const QString& base, QProcessEnvironment& environment) {
         const QString shared = base + QStringLiteral("/veltaro-%1").arg(getuid());
         QDir().mkdir(shared);
         chmod(QFile::encodeName(shared).constData(), 0777);
         environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
         environment.insert(QStringLiteral("TMPDIR"), base);
         return shared;
     }},
};

TEST_F(SingleInstance, AnUnusableFolderFailsWithAReason) {
    for (const Unusable& c : kUnusable) {
        SCOPED_TRACE(c.what);
        if (c.needsNonRoot && geteuid() == 0) continue;
        const QString expectedFolder = c.prepare(folder.path(), environment);
        PeerProcess& start = Start();
        const QString line = start.ReadLine();
        EXPECT_TRUE(line.startsWith(QStringLiteral("failed: The single-instance guard could not be created")))
            << line.toStdString();
        EXPECT_TRUE(line.contains(expectedFolder)) << line.toStdString();
        EXPECT_TRUE(start.Finish());
        EXPECT_EQ(start.ExitCode(), 2);
        environment = QProcessEnvironment::systemEnvironment();
    }
}

}  // namespace

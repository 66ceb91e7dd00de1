// The program as a process: one instance per user, a second start hands over
// to the first and ends, and an instance killed outright leaves nothing that
// keeps the next start out.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

#include <csignal>

#include "support/peers.h"

namespace {

const QString kProgram = QStringLiteral(VELTARO_BINARY_DIR "/veltaro");

class ProgramInstanceConcurrent : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 0;
        static QCoreApplication app(argc, nullptr);
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir(home.path()).mkpath("runtime"));
        QFile::setPermissions(home.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner);
        QFile conf(home.filePath("asound.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.insert("ALSA_CONFIG_PATH", conf.fileName());
        env.remove("VELTARO_BENCH_FIRST_PAINT");
        // The program's own races are looked for in-process (main_window_test);
        // here a started program under ThreadSanitizer must not stop on the
        // reports about Qt's D-Bus thread that the uninstrumented Qt causes.
        env.insert("TSAN_OPTIONS", "report_bugs=0");
    }

    // Starts the program; with reportFirstPaint it quits after its first paint.
    void Start(peers::PeerProcess& process, bool reportFirstPaint) {
        QProcessEnvironment e = env;
        if (reportFirstPaint) e.insert("VELTARO_BENCH_FIRST_PAINT", "1");
        process.SetEnvironment(e);
        ASSERT_TRUE(process.Start(kProgram, {}));
    }

    // Waits until a running instance listens for the next start.
    bool WaitForGuard() {
        const QString socket = home.filePath("runtime/VeltaroRun.socket");
        QFileSystemWatcher watcher({home.filePath("runtime")});
        QEventLoop loop;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, [&] {
            if (QFileInfo::exists(socket)) loop.quit();
        });
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        bound.start(peers::kPeerWaitMs);
        if (!QFileInfo::exists(socket)) loop.exec();
        return QFileInfo::exists(socket);
    }

    // Waits for the end of a process that may have ended already.
    static bool Ended(peers::PeerProcess& process) {
        return process.Process().state() == QProcess::NotRunning || process.Finish();
    }

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(ProgramInstanceConcurrent, ASecondStartHandsOverAndAKilledInstanceIsTakenOver) {
    peers::PeerProcess first;
    Start(first, false);
    ASSERT_TRUE(WaitForGuard());

    peers::PeerProcess second;
    QElapsedTimer clock;
    clock.start();
    Start(second, true);
    EXPECT_EQ(second.ReadLine(), QString());  // it never builds a window
    ASSERT_TRUE(Ended(second));
    EXPECT_EQ(second.ExitCode(), 0);
    std::printf("the second start ended after %lld ms\n", static_cast<long long>(clock.elapsed()));

    first.Kill();  // SIGKILL: the instance leaves its guard files behind
    peers::PeerProcess third;
    Start(third, true);
    EXPECT_EQ(third.ReadLine(), QStringLiteral("first-paint"));
    ASSERT_TRUE(Ended(third));
    EXPECT_EQ(third.ExitCode(), 0);
}

}  // namespace

#pragma once
// Peer processes of the tests: the executables in tests/peers/ and a private
// dbus-daemon. Waits are bounded by a generous limit that only a broken peer
// reaches; nothing sleeps.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <csignal>

#include <sys/prctl.h>

namespace peers {

inline constexpr int kPeerWaitMs = 20000;

// The path of a peer executable built beside the tests.
inline QString PeerPath(const QString& name) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/peers/") + name;
}

// A started process whose stdout is read line by line. Killed at the end
// unless it ended before, and also when the test process dies: a peer left
// behind would hold the test's stderr open and keep ctest waiting.
class PeerProcess {
public:
    PeerProcess() {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~PeerProcess() { Kill(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    void SetEnvironment(const QProcessEnvironment& environment) { process_.setProcessEnvironment(environment); }

    // Starts program; false when it could not be started.
    bool Start(const QString& program, const QStringList& arguments) {
        process_.start(program, arguments);
        return process_.waitForStarted(kPeerWaitMs);
    }

    // The next line of its stdout without the line end; empty when none came
    // before the process ended or the limit passed.
    QString ReadLine() {
        while (!process_.canReadLine()) {
            if (process_.state() == QProcess::NotRunning || !process_.waitForReadyRead(kPeerWaitMs)) {
                if (process_.canReadLine()) break;
                return process_.readAll().trimmed();
            }
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

    void Write(const QByteArray& line) {
        process_.write(line + '\n');
        process_.waitForBytesWritten(kPeerWaitMs);
    }

    // Closes its stdin, which ends the peers of tests/peers/, and waits.
    bool Finish() {
        process_.closeWriteChannel();
        return process_.waitForFinished(kPeerWaitMs);
    }
    int ExitCode() const { return process_.exitCode(); }

    // SIGKILL: the process gets no chance to clean up.
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(kPeerWaitMs);
    }

    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

// Whether the dbus-daemon peer is installed (`./test --quick` installs no
// peers; the tests that need it then skip).
inline bool HaveDbusDaemon() { return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(); }

// A dbus-daemon of the test's own, with the session bus's rules.
class PrivateBus {
public:
    PrivateBus() {
        if (daemon_.Start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                          QStringLiteral("--print-address=1")}))
            address_ = daemon_.ReadLine();
    }
    // Empty when the daemon did not start.
    const QString& Address() const { return address_; }

private:
    PeerProcess daemon_;
    QString address_;
};

// Starts a peer of tests/peers/ and waits for its "ready" line.
inline ::testing::AssertionResult StartReadyPeer(PeerProcess& peer, const QString& name, const QStringList& arguments) {
    if (!peer.Start(PeerPath(name), arguments)) return ::testing::AssertionFailure() << "cannot start " << name.toStdString();
    const QString line = peer.ReadLine();
    if (line != QStringLiteral("ready"))
        return ::testing::AssertionFailure() << name.toStdString() << " said \"" << line.toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

}  // namespace peers

#pragma once
// A real OpenSSH server on 127.0.0.1 for the SSH and SFTP tests: a free
// port, a throw-away host key and user key, internal-sftp only, and a test
// user made for the run with a random password and removed afterwards.
// Needs root (useradd, sshd) and /usr/sbin/sshd; where either is missing
// Start reports why and the test skips. Nothing sleeps: starting waits for
// sshd's "Server listening" line, stopping waits for the process to end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "support/loopback_listener.h"

namespace sshd_test {

inline constexpr int kProcessWaitMs = 20000;
inline const QString kSshd = QStringLiteral("/usr/sbin/sshd");

// A port that was free a moment ago: bound once, then released.
inline uint16_t FreeLoopbackPort() { return test_support::LoopbackListener().port(); }

// Runs a helper program to its end; its output on failure.
inline bool RunTool(const QString& program, const QStringList& arguments, QString* output = nullptr,
                    const QByteArray& input = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(kProcessWaitMs)) return false;
    if (!input.isEmpty()) process.write(input);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(kProcessWaitMs);
    if (output != nullptr) *output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

struct SshdOptions {
    bool password = true;
    bool keyboardInteractive = true;
    bool publicKey = true;
};

class SshdServer {
public:
    SshdServer() = default;
    ~SshdServer() {
        Stop();
        if (!user_.isEmpty()) RunTool(QStringLiteral("userdel"), {QStringLiteral("-f"), user_});  // also while a session of it ends
    }
    SshdServer(const SshdServer&) = delete;
    SshdServer& operator=(const SshdServer&) = delete;

    // Empty when the server runs; otherwise why it cannot.
    QString Start(const SshdOptions& options = {}) {
        if (geteuid() != 0) return QStringLiteral("the sshd fixture needs root");
        if (!QFileInfo::exists(kSshd)) return kSshd + QStringLiteral(" is not installed");
        if (!dir_.isValid()) return QStringLiteral("no temporary folder");
        options_ = options;
        // sshd reads the authorized keys as the user: the folder must be open to it.
        chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        QDir().mkpath(QStringLiteral("/run/sshd"));
        if (QString why = MakeKeys(); !why.isEmpty()) return why;
        if (QString why = MakeUser(); !why.isEmpty()) return why;
        port_ = FreeLoopbackPort();
        return Launch();
    }

    // Ends sshd and starts it again with a new host key on the same port.
    QString RestartWithNewHostKey() {
        Stop();
        QFile::remove(HostKeyPath());
        QFile::remove(HostKeyPath() + QStringLiteral(".pub"));
        if (!RunTool(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", HostKeyPath()}))
            return QStringLiteral("ssh-keygen failed");
        log_.clear();
        return Launch();
    }

    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        process_.waitForFinished(kProcessWaitMs);
        log_ += QString::fromLocal8Bit(process_.readAll());
    }

    // Everything sshd logged so far (LogLevel DEBUG1).
    QString Log() {
        log_ += QString::fromLocal8Bit(process_.readAll());
        return log_;
    }

    uint16_t port() const { return port_; }
    const QString& user() const { return user_; }
    const QString& password() const { return password_; }
    QString home() const { return dir_.path() + QStringLiteral("/home"); }
    QString UserKeyPath() const { return dir_.path() + QStringLiteral("/user_key"); }
    QString UserPublicKeyPath() const { return UserKeyPath() + QStringLiteral(".pub"); }

private:
    QString HostKeyPath() const { return dir_.path() + QStringLiteral("/host_key"); }

    QString MakeKeys() {
        if (!RunTool(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", HostKeyPath()}) ||
            !RunTool(QStringLiteral("ssh-keygen"), {"-q", "-t", "ecdsa", "-m", "PEM", "-N", "", "-f", UserKeyPath()}))
            return QStringLiteral("ssh-keygen failed");
        QFile::copy(UserPublicKeyPath(), dir_.path() + QStringLiteral("/authorized_keys"));
        QFile(dir_.path() + QStringLiteral("/authorized_keys"))
            .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return {};
    }

    // Users of earlier runs that were killed before they could clean up: the
    // fixture's name pattern, and their temporary home is gone.
    static void RemoveStaleUsers() {
        QFile passwd(QStringLiteral("/etc/passwd"));
        if (!passwd.open(QIODevice::ReadOnly)) return;
        const QRegularExpression pattern(QStringLiteral("^(vts[0-9a-f]{8}):[^:]*:[^:]*:[^:]*:[^:]*:([^:]*)/home:"));
        for (const QByteArray& line : passwd.readAll().split('\n')) {
            const QRegularExpressionMatch match = pattern.match(QString::fromLocal8Bit(line));
            if (match.hasMatch() && !QFileInfo::exists(match.captured(2)))
                RunTool(QStringLiteral("userdel"), {QStringLiteral("-f"), match.captured(1)});
        }
    }

    QString MakeUser() {
        RemoveStaleUsers();
        const quint32 tag = QRandomGenerator::global()->generate();
        user_ = QStringLiteral("vts%1").arg(tag, 8, 16, QLatin1Char('0'));
        password_ = QStringLiteral("Pw-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        QString output;
        if (!RunTool(QStringLiteral("useradd"), {"-M", "-d", home(), "-s", "/bin/sh", user_}, &output)) {
            const QString why = QStringLiteral("useradd failed: ") + output;
            user_.clear();
            return why;
        }
        if (!RunTool(QStringLiteral("chpasswd"), {}, &output, (user_ + QLatin1Char(':') + password_ + '\n').toUtf8()))
            return QStringLiteral("chpasswd failed: ") + output;
        QDir().mkpath(home());
        RunTool(QStringLiteral("chown"), {user_, home()});
        return {};
    }

    QString Config() const {
        const auto yesNo = [](bool on) { return on ? QStringLiteral("yes") : QStringLiteral("no"); };
        QStringList lines{
            QStringLiteral("ListenAddress 127.0.0.1"),
            QStringLiteral("Port %1").arg(port_),
            QStringLiteral("HostKey ") + HostKeyPath(),
            QStringLiteral("PidFile none"),
            QStringLiteral("LogLevel DEBUG1"),
            QStringLiteral("AuthorizedKeysFile ") + dir_.path() + QStringLiteral("/authorized_keys"),
            QStringLiteral("StrictModes no"),
            QStringLiteral("UsePAM yes"),
            QStringLiteral("PubkeyAuthentication ") + yesNo(options_.publicKey),
            QStringLiteral("PasswordAuthentication ") + yesNo(options_.password),
            QStringLiteral("KbdInteractiveAuthentication ") + yesNo(options_.keyboardInteractive),
            QStringLiteral("AllowUsers ") + user_,
            QStringLiteral("ForceCommand internal-sftp"),
            QStringLiteral("Subsystem sftp internal-sftp"),
        };
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

    QString Launch() {
        const QString config = dir_.path() + QStringLiteral("/sshd_config");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(Config().toUtf8()) < 0) return QStringLiteral("no config");
        file.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(kSshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config});
        if (!process_.waitForStarted(kProcessWaitMs)) return QStringLiteral("sshd did not start");
        while (!log_.contains(QStringLiteral("Server listening"))) {
            if (!process_.waitForReadyRead(kProcessWaitMs)) return QStringLiteral("sshd did not listen: ") + log_;
            log_ += QString::fromLocal8Bit(process_.readAll());
        }
        return {};
    }

    QTemporaryDir dir_;
    SshdOptions options_;
    QProcess process_;
    QString log_;
    QString user_;
    QString password_;
    uint16_t port_ = 0;
};

// One server for a whole test suite; each test skips when it cannot run.
class SharedSshdSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new SshdServer();
        skipReason_ = server_->Start();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    // The reason to skip, empty when the server runs.
    static const QString& SkipReason() { return skipReason_; }

    static inline SshdServer* server_ = nullptr;
    static inline QString skipReason_;
};

}  // namespace sshd_test

// Starts the server or skips the test with the reason.
#define START_SSHD_OR_SKIP(server, ...)                                   \
    do {                                                                  \
        const QString why = (server).Start(__VA_ARGS__);                  \
        if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();            \
    } while (false)

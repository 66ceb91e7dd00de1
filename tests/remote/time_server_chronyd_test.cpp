// The time-server client against a real NTP server: chronyd on loopback,
// unpacked by tools/install-packages --with-peers, run without root on a
// private configuration that serves its own clock at stratum 8.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "remote/sntp_client.h"
#include "remote/time_server_client.h"
#include "support/sntp_responder.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/services/clock.h"

namespace {

QString ChronydPath() {
    const QString cache = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") ? QDir::homePath() + QStringLiteral("/.cache")
                                                                        : qEnvironmentVariable("XDG_CACHE_HOME");
    return cache + QStringLiteral("/veltaro/chrony/usr/sbin/chronyd");
}

class Chronyd : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        setenv("VELTARO_LOOPBACK_ONLY", "1", 1);
        const QString program = ChronydPath();
        if (!QFileInfo(program).isExecutable())
            GTEST_SKIP() << "no chronyd at " << program.toStdString() << " (tools/install-packages --with-peers)";
        ASSERT_TRUE(dir.isValid());
        port = test_support::UdpSocket().port;  // free once the socket is closed
        const QString conf = dir.filePath(QStringLiteral("chrony.conf"));
        QFile file(conf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("port %1\nbindaddress 127.0.0.1\nallow 127.0.0.1\ncmdport 0\nbindcmdaddress /\n"
                                  "local stratum 8\npidfile %2\ndriftfile %3\n")
                       .arg(port)
                       .arg(dir.filePath(QStringLiteral("chronyd.pid")), dir.filePath(QStringLiteral("drift")))
                       .toUtf8());
        file.close();
        const passwd* user = getpwuid(getuid());
        ASSERT_NE(user, nullptr);
        server.setProcessChannelMode(QProcess::ForwardedChannels);
        server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        server.start(program, {"-U", "-u", QString::fromLocal8Bit(user->pw_name), "-x", "-d", "-f", conf});
        ASSERT_TRUE(server.waitForStarted(20000));
        ASSERT_TRUE(WaitForAnswer()) << "chronyd did not answer";
    }
    void TearDown() override {
        SetClockSourceForTests(nullptr);
        SetClockOffset(0);
        if (server.state() != QProcess::NotRunning) {
            kill(static_cast<pid_t>(server.processId()), SIGTERM);
            if (!server.waitForFinished(20000)) server.kill();
        }
    }
    // The server answers once it has bound its port: each try is one bounded exchange.
    bool WaitForAnswer() {
        const std::optional<TSntpAddress> address = ResolveTimeServer(QStringLiteral("127.0.0.1"), port);
        for (int attempt = 0; address && attempt < 20 && server.state() == QProcess::Running; ++attempt) {
            if (SntpExchange(*address, kSntpTimeoutMs, [] { return platform::SystemUtcNow(); }).result ==
                TSntpResult::Answer)
                return true;
        }
        return false;
    }

    QTemporaryDir dir;
    QProcess server;
    uint16_t port = 0;
};

TEST_F(Chronyd, OffsetFromARealServer) {
    TTimeServerClient client;
    client.SetHost(QStringLiteral("127.0.0.1"));
    client.SetPort(port);
    struct Case {
        int64_t serverAheadMs;
        int64_t offset;
    };
    // Each measured offset is off by up to half the round trip, which a loaded
    // machine stretches to tens of milliseconds: the cases keep clear of the
    // 124 ms up to which an offset is ignored, and the check allows for it.
    constexpr double kRoundTripAllowanceMs = 50.0;
    for (const Case& c : {Case{40, 0}, Case{400, 400}, Case{-2000, -2000}}) {
        // The local clock moved back by what the server is to be ahead.
        const double shift = static_cast<double>(c.serverAheadMs) / platform::kMsPerDay;
        SetClockSourceForTests([shift] { return platform::SystemUtcNow() - shift; });
        SetClockOffset(1);
        bool sync = true;
        client.SyncWebTime(sync);
        EXPECT_TRUE(sync);
        EXPECT_NEAR(static_cast<double>(ClockOffset()), static_cast<double>(c.offset), kRoundTripAllowanceMs)
            << c.serverAheadMs;
    }
}

}  // namespace

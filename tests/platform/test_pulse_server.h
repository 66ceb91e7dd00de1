#pragma once
// A private PulseAudio server for one test: its own runtime folder and
// socket, a null sink, a sine source and a plain null source, nothing of the
// user's. The constructor returns once the server has said that it is up (or
// has failed, with the reason in Reason()); PULSE_SERVER then points at it.
#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/test_server_process.h"

class TestPulseServer {
public:
    TestPulseServer() {
        if (!dir_.isValid()) {
            reason_ = QStringLiteral("no temporary folder");
            return;
        }
        socket_ = dir_.filePath(QStringLiteral("native"));
        const std::string dir = dir_.path().toStdString();
        const std::string failure = process_.Start(
            {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit",
             "--disallow-module-loading=no", "--use-pid-file=no", "--log-target=stderr", "--log-level=info",
             "-L", "module-native-protocol-unix socket=" + socket_.toStdString() + " auth-anonymous=1",
             "-L", "module-null-sink sink_name=veltaro_sink sink_properties=device.description=Veltaro-Sink",
             "-L", "module-sine-source source_name=veltaro_sine rate=48000 frequency=1000",
             "-L", "module-null-source source_name=veltaro_silence"},
            {"PULSE_RUNTIME_PATH=" + dir, "HOME=" + dir, "XDG_CONFIG_HOME=" + dir});
        if (!failure.empty()) {
            reason_ = QString::fromStdString(failure);
            return;
        }
        if (!process_.WaitUntil([this] { return process_.LogContains("startup complete"); }, std::chrono::seconds(30))) {
            reason_ = QStringLiteral("pulseaudio did not come up: %1").arg(QString::fromStdString(process_.LogTail(600)));
            return;
        }
        setenv("PULSE_SERVER", ("unix:" + socket_.toStdString()).c_str(), 1);
    }

    ~TestPulseServer() {
        unsetenv("PULSE_SERVER");
        process_.End(SIGTERM);
    }

    // The server goes away at once, as a crashed one would.
    void Kill() { process_.End(SIGKILL); }

    bool Ready() const { return reason_.isEmpty(); }
    QString Reason() const { return reason_; }
    // What the server said, for a failed test's message.
    std::string Log() { return process_.LogTail(6000); }

    // Runs pactl against this server; true when it succeeded.
    bool Pactl(const std::string& arguments) const {
        const std::string command = "PULSE_SERVER=unix:" + socket_.toStdString() + " pactl " + arguments + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

private:
    QTemporaryDir dir_;
    QString socket_;
    QString reason_;
    test_support::TestServerProcess process_;
};

// A test with its own PulseAudio server and no simulated devices; skipped,
// with the reason, where no server can be started.
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VELTARO_PULSEAUDIO");
        setenv("VELTARO_SIMULATED_AUDIO", "0", 1);
        server = std::make_unique<TestPulseServer>();
        if (!server->Ready()) GTEST_SKIP() << "no PulseAudio server for this test: " << qPrintable(server->Reason());
    }
    void TearDown() override {
        server.reset();
        unsetenv("VELTARO_SIMULATED_AUDIO");
    }
    std::unique_ptr<TestPulseServer> server;
};

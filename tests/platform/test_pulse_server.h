#pragma once
// A private PulseAudio server for one test: its own runtime folder and
// socket, a null sink, a sine source and a plain null source, nothing of the
// user's. The constructor returns once the server has said that it is up (or
// has failed, with the reason in Reason()); PULSE_SERVER then points at it.
#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class TestPulseServer {
public:
    TestPulseServer() {
        if (!dir_.isValid()) {
            reason_ = QStringLiteral("no temporary folder");
            return;
        }
        socket_ = dir_.filePath(QStringLiteral("native"));
        int fds[2];
        if (pipe(fds) != 0) {
            reason_ = QStringLiteral("no pipe");
            return;
        }
        std::vector<std::string> args = {
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit",
            "--disallow-module-loading=no", "--use-pid-file=no", "--log-target=stderr", "--log-level=info",
            "-L", "module-native-protocol-unix socket=" + socket_.toStdString() + " auth-anonymous=1",
            "-L", "module-null-sink sink_name=veltaro_sink sink_properties=device.description=Veltaro-Sink",
            "-L", "module-sine-source source_name=veltaro_sine rate=48000 frequency=1000",
            "-L", "module-null-source source_name=veltaro_silence"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
        envStrings.push_back("PULSE_RUNTIME_PATH=" + dir_.path().toStdString());
        envStrings.push_back("HOME=" + dir_.path().toStdString());
        envStrings.push_back("XDG_CONFIG_HOME=" + dir_.path().toStdString());
        std::vector<char*> envp;
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int err = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (err != 0) {
            close(fds[0]);
            pid_ = -1;
            reason_ = QStringLiteral("pulseaudio cannot be started: %1").arg(QString::fromLocal8Bit(strerror(err)));
            return;
        }
        reader_ = std::thread([this, fd = fds[0]] { ReadLog(fd); });
        std::unique_lock lock(lock_);
        changed_.wait_for(lock, std::chrono::seconds(20), [this] { return up_ || ended_; });
        if (!up_) {
            reason_ = QStringLiteral("pulseaudio did not come up: %1").arg(QString::fromLocal8Bit(log_.c_str()).right(600));
            return;
        }
        setenv("PULSE_SERVER", ("unix:" + socket_.toStdString()).c_str(), 1);
    }

    ~TestPulseServer() {
        unsetenv("PULSE_SERVER");
        End(SIGTERM);
        if (reader_.joinable()) reader_.join();
    }

    // The server goes away at once, as a crashed one would.
    void Kill() { End(SIGKILL); }

    bool Ready() const { return reason_.isEmpty(); }
    QString Reason() const { return reason_; }

    // Runs pactl against this server; true when it succeeded.
    bool Pactl(const std::string& arguments) const {
        const std::string command = "PULSE_SERVER=unix:" + socket_.toStdString() + " pactl " + arguments + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

private:
    void End(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    void ReadLog(int fd) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard guard(lock_);
            if (!up_) {
                log_.append(buffer, static_cast<size_t>(n));
                if (log_.find("startup complete") != std::string::npos) {
                    up_ = true;
                    changed_.notify_all();
                }
            }
        }
        close(fd);
        std::lock_guard guard(lock_);
        ended_ = true;
        changed_.notify_all();
    }

    QTemporaryDir dir_;
    QString socket_;
    QString reason_;
    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string log_;
    bool up_ = false;
    bool ended_ = false;
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

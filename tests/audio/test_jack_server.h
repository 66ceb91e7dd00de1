#pragma once
// A private JACK server for one test: jackd with its dummy back-end at 48 kHz,
// no real-time scheduling, under a name of its own that JACK_DEFAULT_SERVER
// points at while it lives. Ended by its pid (or killed, as a crash would).
// The constructor returns once a client can connect, or with the reason.
#include <QString>

#include <jack/jack.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class TestJackServer {
public:
    explicit TestJackServer(int period = 256, int rate = 48000) {
        // jackd keeps a dead server's slot in its shared table until a server
        // of the same name starts again, and the table has only eight: the
        // names come from a small set, each held by a lock file while in use.
        if (!TakeName()) {
            reason_ = "every JACK test server name is in use";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            reason_ = "no pipe";
            return;
        }
        std::vector<std::string> args = {"jackd", "--no-realtime", "-n", name_, "-d", "dummy", "-r", std::to_string(rate),
                                         "-p", std::to_string(period)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int err = posix_spawnp(&pid_, "jackd", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (err != 0) {
            close(fds[0]);
            pid_ = -1;
            reason_ = "jackd cannot be started";
            return;
        }
        reader_ = std::thread([this, fd = fds[0]] { ReadLog(fd); });
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        // The server logs while it runs; each line is a moment to try again.
        std::unique_lock lock(lock_);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!ended_ && std::chrono::steady_clock::now() < giveUp) {
            lock.unlock();
            jack_status_t status{};
            if (jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status)) {
                jack_client_close(probe);
                return;
            }
            lock.lock();
            const size_t seen = lines_;
            changed_.wait_for(lock, std::chrono::milliseconds(200), [&] { return lines_ != seen || ended_; });
        }
        reason_ = "jackd did not come up: " + log_.substr(log_.size() > 600 ? log_.size() - 600 : 0);
    }

    ~TestJackServer() {
        End(SIGTERM);
        if (reader_.joinable()) reader_.join();
        unsetenv("JACK_DEFAULT_SERVER");
        if (lockFd_ >= 0) close(lockFd_);
    }

    void Kill() { End(SIGKILL); }
    bool Ready() const { return reason_.empty(); }
    QString Reason() const { return QString::fromStdString(reason_); }

private:
    bool TakeName() {
        for (int i = 0; i < 4; ++i) {
            const std::string lock = "/tmp/veltaro_asio_test_" + std::to_string(i) + ".lock";
            const int fd = open(lock.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
            if (fd < 0) continue;
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
                lockFd_ = fd;
                name_ = "veltaro_asio_test_" + std::to_string(i);
                return true;
            }
            close(fd);
        }
        return false;
    }

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
            if (log_.size() < 65536) log_.append(buffer, static_cast<size_t>(n));
            ++lines_;
            changed_.notify_all();
        }
        close(fd);
        std::lock_guard guard(lock_);
        ended_ = true;
        changed_.notify_all();
    }

    std::string name_;
    std::string reason_;
    int lockFd_ = -1;
    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string log_;
    size_t lines_ = 0;
    bool ended_ = false;
};

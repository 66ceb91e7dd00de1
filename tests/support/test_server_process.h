#pragma once
// A server process of a test's own (jackd, pulseaudio): started with its
// output in a pipe that a reader thread collects, waited for on a condition
// of the test's choosing, and ended by its pid (SIGTERM, or SIGKILL as a
// crash would).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace test_support {

class TestServerProcess {
public:
    TestServerProcess() = default;
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;
    ~TestServerProcess() {
        End(SIGTERM);
        if (reader_.joinable()) reader_.join();
    }

    // Starts program with args (args[0] is its name) and this process's
    // environment plus extra ("NAME=value"); empty, or the reason it failed.
    std::string Start(std::vector<std::string> args, const std::vector<std::string>& extra = {}) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return "no pipe";
        std::vector<std::string> envStrings(extra);
        for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        const int err = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (err != 0) {
            close(fds[0]);
            pid_ = -1;
            return args[0] + " cannot be started: " + std::strerror(err);
        }
        reader_ = std::thread([this, fd = fds[0]] { ReadLog(fd); });
        return {};
    }

    // Calls ready (without the log's lock) whenever the server wrote more,
    // and at least every 200 ms, until it answers true (returns true), the
    // server ended or the limit passed.
    bool WaitUntil(const std::function<bool()>& ready, std::chrono::seconds limit) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(lock_);
        while (!ended_ && std::chrono::steady_clock::now() < giveUp) {
            const size_t seen = reads_;
            lock.unlock();
            if (ready()) return true;
            lock.lock();
            changed_.wait_for(lock, std::chrono::milliseconds(200), [&] { return reads_ != seen || ended_; });
        }
        return false;
    }

    bool LogContains(const std::string& text) {
        std::lock_guard guard(lock_);
        return log_.find(text) != std::string::npos;
    }

    // The end of what the server wrote, for a failure's message.
    std::string LogTail(size_t chars = 2000) {
        std::lock_guard guard(lock_);
        return log_.substr(log_.size() > chars ? log_.size() - chars : 0);
    }

    void End(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    void ReadLog(int fd) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard guard(lock_);
            // The first and the latest output are kept: the start and the reason of an end.
            if (log_.size() > (1 << 20)) log_.erase(log_.size() / 2, log_.size() / 4);
            log_.append(buffer, static_cast<size_t>(n));
            ++reads_;
            changed_.notify_all();
        }
        close(fd);
        std::lock_guard guard(lock_);
        ended_ = true;
        changed_.notify_all();
    }

    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string log_;
    size_t reads_ = 0;
    bool ended_ = false;
};

}  // namespace test_support

#pragma once
// A private JACK server for one test: jackd with its dummy back-end, no
// real-time scheduling, under a name of its own that JACK_DEFAULT_SERVER
// points at while it lives. Ended by its pid (or killed, as a crash would).
// The constructor returns once a client can connect, or with the reason.
//
// A test machine may be loaded far beyond what a sound server expects: the
// client timeout is long, so that a client that misses cycles is never
// thrown out by the server; missed cycles themselves stay (the tests allow
// for them).
#include <QString>

#include <jack/jack.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/test_server_process.h"

class TestJackServer {
public:
    // realtime: the server and its clients' process threads run under the
    // real-time scheduler (a benchmark's server; tests run without it).
    explicit TestJackServer(int period = 256, int rate = 48000, bool realtime = false) {
        // jackd keeps a dead server's slot in its shared table until a server
        // of the same name starts again, and the table has only eight: the
        // names come from a small set, each held by a lock file while in use.
        if (!TakeName()) {
            reason_ = "no JACK test server name can be locked";
            return;
        }
        reason_ = process_.Start({"jackd", realtime ? "--realtime" : "--no-realtime", "-t", "30000", "-n", name_, "-d",
                                  "dummy", "-r", std::to_string(rate), "-p", std::to_string(period)},
                                 {"JACK_NO_AUDIO_RESERVATION=1"});
        if (!reason_.empty()) return;
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        const bool up = process_.WaitUntil(
            [] {
                jack_status_t status{};
                jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
                if (probe != nullptr) jack_client_close(probe);
                return probe != nullptr;
            },
            std::chrono::seconds(30));
        if (!up) reason_ = "jackd did not come up: " + process_.LogTail(600);
    }

    ~TestJackServer() {
        process_.End(SIGTERM);
        unsetenv("JACK_DEFAULT_SERVER");
        if (lockFd_ >= 0) close(lockFd_);
    }

    void Kill() { process_.End(SIGKILL); }
    bool Ready() const { return reason_.empty(); }
    QString Reason() const { return QString::fromStdString(reason_); }
    const std::string& Name() const { return name_; }
    // What the server said, for a failed test's message.
    std::string Log() { return process_.LogTail(); }

private:
    bool TakeName() {
        for (int i = 0; i < 4; ++i)
            if (LockName(i, LOCK_NB)) return true;
        // All in use by tests running beside this one: wait for one.
        return LockName(static_cast<int>(getpid() % 4), 0);
    }

    bool LockName(int i, int flags) {
        const std::string name = "veltaro_asio_test_" + std::to_string(i);
        const int fd = open(("/tmp/" + name + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        if (flock(fd, LOCK_EX | flags) != 0) {
            close(fd);
            return false;
        }
        lockFd_ = fd;
        name_ = name;
        return true;
    }

    std::string name_;
    std::string reason_;
    int lockFd_ = -1;
    test_support::TestServerProcess process_;
};

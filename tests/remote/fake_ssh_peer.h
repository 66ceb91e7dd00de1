#pragma once
// A TCP peer on 127.0.0.1 that plays a broken SSH server for one
// connection: it sends garbage instead of a banner, or a banner and then
// hangs up, or accepts and stays silent. It runs on a thread of its own and
// ends when the client leaves or the peer is destroyed.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support/loopback_listener.h"

namespace sshd_test {

enum class PeerBehaviour { GarbageBanner, CloseAfterBanner, Silence };

class FakeSshPeer {
public:
    explicit FakeSshPeer(PeerBehaviour behaviour) : behaviour_(behaviour), listener_(1) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeSshPeer() {
        stop_.Raise();
        thread_.join();
    }
    uint16_t port() const { return listener_.port(); }

private:
    // Waits for fd to become readable; false when the peer is told to stop.
    bool WaitReadable(int fd) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
        return poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) == 0;
    }

    void Send(int fd, const std::string& text) {
        [[maybe_unused]] const ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    }

    void Serve() {
        if (!WaitReadable(listener_.fd())) return;
        const int fd = listener_.Accept();
        if (fd < 0) return;
        char buffer[4096];
        switch (behaviour_) {
        case PeerBehaviour::GarbageBanner:
            Send(fd, std::string(300, 'G') + "\r\nHTTP/1.1 400 Bad Request\r\n\r\n");
            if (WaitReadable(fd)) [[maybe_unused]] ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            break;
        case PeerBehaviour::CloseAfterBanner:
            Send(fd, "SSH-2.0-OpenSSH_9.2\r\n");
            if (WaitReadable(fd)) [[maybe_unused]] ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            break;
        case PeerBehaviour::Silence:
            // Reads what comes and answers nothing, until the client leaves.
            while (WaitReadable(fd) && recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
            break;
        }
        close(fd);
    }

    PeerBehaviour behaviour_;
    test_support::LoopbackListener listener_;
    test_support::StopSignal stop_;
    std::thread thread_;
};

}  // namespace sshd_test

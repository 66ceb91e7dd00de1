#pragma once
// A TCP relay on 127.0.0.1 in front of a server: it passes every connection
// through, and the first one it can cut after a number of bytes from the
// client, closing both sides as a failing network would. Later connections
// pass whole. It runs on a thread of its own until destroyed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "support/loopback_listener.h"

namespace sshd_test {

class TcpRelay {
public:
    // cutAfter 0: never cut.
    TcpRelay(uint16_t targetPort, uint64_t cutAfter) : targetPort_(targetPort), cutAfter_(cutAfter) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~TcpRelay() {
        stop_.Raise();
        thread_.join();
    }
    uint16_t port() const { return listener_.port(); }
    bool HasCut() const { return cut_.load(); }

private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    void Serve() {
        for (;;) {
            pollfd fds[2] = {{listener_.fd(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
            if (poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return;
            const int client = listener_.Accept();
            if (client < 0) continue;
            const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            // Small SSH packets must not wait for delayed acknowledgements here.
            const int on = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            sockaddr_in target = Loopback(targetPort_);
            if (connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
                if (!Pass(client, server)) {
                    close(client);
                    close(server);
                    return;
                }
            }
            close(client);
            close(server);
        }
    }

    // One connection until either side ends; false when told to stop.
    bool Pass(int client, int server) {
        const bool mayCut = cutAfter_ > 0 && !cut_.load();
        uint64_t upstream = 0;
        char buffer[16384];
        for (;;) {
            pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
            if (poll(fds, 3, -1) <= 0) return true;
            if (fds[2].revents & POLLIN) return false;
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                size_t wanted = sizeof buffer;
                if (mayCut && cutAfter_ - upstream < wanted) wanted = static_cast<size_t>(cutAfter_ - upstream);
                const ssize_t got = recv(client, buffer, wanted, 0);
                if (got <= 0 || send(server, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got) return true;
                upstream += static_cast<uint64_t>(got);
                if (mayCut && upstream >= cutAfter_) {
                    cut_.store(true);
                    return true;
                }
            }
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t got = recv(server, buffer, sizeof buffer, 0);
                if (got <= 0 || send(client, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got) return true;
            }
        }
    }

    uint16_t targetPort_;
    uint64_t cutAfter_;
    test_support::LoopbackListener listener_;
    test_support::StopSignal stop_;
    std::atomic<bool> cut_{false};
    std::thread thread_;
};

}  // namespace sshd_test

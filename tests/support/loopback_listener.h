#pragma once
// Small pieces of loopback TCP peers in tests: a listening socket on a free
// port of 127.0.0.1, and a stop signal that a peer thread polls beside its
// sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace test_support {

class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 4) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, backlog);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackListener() { close(fd_); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int fd() const { return fd_; }
    uint16_t port() const { return port_; }
    int Accept() const { return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Raised once by the owner; readable (POLLIN) from then on.
class StopSignal {
public:
    StopSignal() : fd_(eventfd(0, EFD_CLOEXEC)) {}
    ~StopSignal() { close(fd_); }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise() const {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace test_support

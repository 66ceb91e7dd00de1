#pragma once
// A UDP socket of a test on a loopback address: it plays an Art-Net node or
// controller, catches what the program sends and answers it.
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace test_support {

inline in_addr Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a;
}

inline sockaddr_in Address(const char* ip, uint16_t port) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(port);
    s.sin_addr = Ip(ip);
    return s;
}

// Bound to ip:port (port 0: a free one).
class Peer {
public:
    Peer(const char* ip, uint16_t port, bool reuse) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (reuse) setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in at = Address(ip, port);
        bound_ = bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0;
    }
    ~Peer() { close(fd_); }
    bool Bound() const { return bound_; }
    uint16_t Port() const {
        sockaddr_in at{};
        socklen_t len = sizeof at;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &len);
        return ntohs(at.sin_port);
    }
    // The next datagram, waiting up to 5 s while the program's events run.
    QByteArray Receive() {
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5) == 1) return ReadNow();
        }
        return {};
    }
    // A datagram already waiting, else empty.
    QByteArray ReadNow() {
        QByteArray buffer(65536, '\0');
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
        return n < 0 ? QByteArray() : buffer.left(n);
    }
    void SendTo(const char* ip, uint16_t port, const QByteArray& data) {
        const sockaddr_in to = Address(ip, port);
        sendto(fd_, data.constData(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    sockaddr_in from{};

private:
    int fd_ = -1;
    bool bound_ = false;
};

}  // namespace test_support

#pragma once
// A time server scripted by the test on 127.0.0.1: it answers each request
// with the replies the script gives, on the main thread while the client
// waits for them.
#include <QByteArray>
#include <QSocketNotifier>
#include <QtEndian>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "remote/sntp_client.h"

namespace test_support {

// A UDP socket on 127.0.0.1 and a free port.
struct UdpSocket {
    UdpSocket() {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
        socklen_t len = sizeof at;
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len);
        port = ntohs(at.sin_port);
    }
    ~UdpSocket() { close(fd); }
    int fd = -1;
    uint16_t port = 0;
};

struct Reply {
    QByteArray data;
    bool fromOtherPort = false;
};

class Responder {
public:
    std::function<std::vector<Reply>(const QByteArray& request)> script;
    int requests = 0;

    Responder() : notifier_(server_.fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { Answer(); });
    }
    uint16_t Port() const { return server_.port; }

private:
    void Answer() {
        QByteArray request(1024, '\0');
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(server_.fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        ++requests;
        request.truncate(n);
        if (!script) return;
        for (const Reply& r : script(request))
            sendto(r.fromOtherPort ? other_.fd : server_.fd, r.data.constData(), r.data.size(), 0,
                   reinterpret_cast<const sockaddr*>(&from), len);
    }
    UdpSocket server_;
    UdpSocket other_;
    QSocketNotifier notifier_;
};

// A server's answer to request, its clock offsetMs ahead of the local one.
inline QByteArray ServerReply(const QByteArray& request, int64_t offsetMs, platform::TDateTime localUtc) {
    QByteArray reply(kSntpPacketSize, '\0');
    reply[0] = 0x24;  // no leap warning, version 4, server
    reply[1] = 2;
    reply.replace(24, 8, request.mid(40, 8));
    const uint64_t now = NtpStampFromMs(MsSince1900(localUtc) + offsetMs);
    qToBigEndian<uint64_t>(now, reply.data() + 32);
    qToBigEndian<uint64_t>(now, reply.data() + 40);
    return reply;
}

}  // namespace test_support

#include "platform/net_guard.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

using namespace platform;

namespace {

// A destination as the sockets API takes it, built from its text form.
struct Destination {
    sockaddr_storage storage{};
    socklen_t length = 0;

    explicit Destination(const std::string& text, uint16_t port = 9) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(port);
            length = sizeof(sockaddr_in);
        } else if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(port);
            length = sizeof(sockaddr_in6);
        } else {
            ADD_FAILURE() << "not an address: " << text;
        }
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

class ScopedGuard {
public:
    explicit ScopedGuard(const char* value)
        : hadValue_(qEnvironmentVariableIsSet(kLoopbackOnlyVariable)),
          oldValue_(qgetenv(kLoopbackOnlyVariable)) {
        if (value != nullptr) {
            qputenv(kLoopbackOnlyVariable, value);
        } else {
            qunsetenv(kLoopbackOnlyVariable);
        }
    }
    ~ScopedGuard() {
        if (hadValue_) {
            qputenv(kLoopbackOnlyVariable, oldValue_);
        } else {
            qunsetenv(kLoopbackOnlyVariable);
        }
    }

private:
    bool hadValue_;
    QByteArray oldValue_;
};

class UdpSocket {
public:
    explicit UdpSocket(int family = AF_INET) : fd_(::socket(family, SOCK_DGRAM, 0)) {
        EXPECT_GE(fd_, 0) << std::strerror(errno);
    }
    ~UdpSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int fd() const { return fd_; }

    // Binds to 127.0.0.1 on a free port and answers that address.
    Destination BindLoopback() {
        Destination here("127.0.0.1", 0);
        EXPECT_EQ(::bind(fd_, here.get(), here.length), 0) << std::strerror(errno);
        socklen_t len = sizeof here.storage;
        EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&here.storage), &len), 0);
        // Only a safety net against a hang if the datagram were lost: loopback
        // queues it before sendto returns.
        timeval limit{10, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        return here;
    }

    std::string Receive() {
        char buffer[256] = {};
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        EXPECT_GT(n, 0) << std::strerror(errno);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    int fd_;
};

struct Case {
    const char* address;
    bool allowed;
};

constexpr Case kCases[] = {
    {"127.0.0.1", true},        {"127.255.255.254", true}, {"127.1.2.3", true},
    {"::1", true},              {"::ffff:127.0.0.1", true},
    {"10.0.0.1", false},        {"192.168.1.1", false},    {"255.255.255.255", false},
    {"2.255.255.255", false},   {"127.255.255.255", false}, {"0.0.0.0", false},
    {"::ffff:8.8.8.8", false},  {"fe80::1", false},        {"::", false},
    {"::127.0.0.1", false},     {"192.0.2.1", false},
};

}  // namespace

TEST(NetGuard, GuardOnAllowsOnlyLoopback) {
    ScopedGuard on("1");
    ASSERT_TRUE(LoopbackOnly());
    for (const Case& c : kCases) {
        Destination d(c.address);
        QString why;
        EXPECT_EQ(DestinationAllowed(d.get(), d.length, &why), c.allowed) << c.address;
        EXPECT_EQ(why.isEmpty(), c.allowed) << c.address << ": " << why.toStdString();
    }
}

TEST(NetGuard, GuardOffAllowsEverything) {
    for (const char* off : {static_cast<const char*>(nullptr), "0", ""}) {
        ScopedGuard guard(off);
        EXPECT_FALSE(LoopbackOnly());
        for (const Case& c : kCases) {
            Destination d(c.address);
            EXPECT_TRUE(DestinationAllowed(d.get(), d.length)) << c.address;
        }
    }
}

TEST(NetGuard, MalformedDestinationsAreRefused) {
    ScopedGuard on("1");
    Destination v4("127.0.0.1");
    Destination v6("::1");
    QString why;
    EXPECT_FALSE(DestinationAllowed(nullptr, 16, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(DestinationAllowed(v4.get(), sizeof(sockaddr_in) - 1));
    EXPECT_FALSE(DestinationAllowed(v6.get(), sizeof(sockaddr_in6) - 1));
    sockaddr raw{};
    raw.sa_family = AF_PACKET;
    EXPECT_FALSE(DestinationAllowed(&raw, sizeof raw));
}

TEST(NetGuard, DatagramToLoopbackArrives) {
    ScopedGuard on("1");
    UdpSocket receiver;
    const Destination target = receiver.BindLoopback();

    UdpSocket sender;
    const std::string payload = "Veltaro guard test";
    ASSERT_EQ(GuardedSendTo(sender.fd(), payload.data(), payload.size(), 0, target.get(), target.length),
              static_cast<ssize_t>(payload.size()))
        << std::strerror(errno);
    EXPECT_EQ(receiver.Receive(), payload);

    // A connected socket sends without a destination; its peer is checked.
    UdpSocket connected;
    ASSERT_EQ(GuardedConnect(connected.fd(), target.get(), target.length), 0) << std::strerror(errno);
    const std::string second = "over the connection";
    ASSERT_EQ(GuardedSendTo(connected.fd(), second.data(), second.size(), 0, nullptr, 0),
              static_cast<ssize_t>(second.size()));
    EXPECT_EQ(receiver.Receive(), second);
}

TEST(NetGuard, RefusedDestinationFailsWithEaccesAndSendsNothing) {
    ScopedGuard on("1");
    Destination testNet("192.0.2.1", 123);
    Destination broadcast("255.255.255.255", 6454);

    UdpSocket udp;
    errno = 0;
    EXPECT_EQ(GuardedSendTo(udp.fd(), "x", 1, 0, testNet.get(), testNet.length), -1);
    EXPECT_EQ(errno, EACCES);
    errno = 0;
    EXPECT_EQ(GuardedSendTo(udp.fd(), "x", 1, 0, broadcast.get(), broadcast.length), -1);
    EXPECT_EQ(errno, EACCES);
    errno = 0;
    EXPECT_EQ(GuardedConnect(udp.fd(), testNet.get(), testNet.length), -1);
    EXPECT_EQ(errno, EACCES);

    const int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(tcp, 0);
    Destination sshPeer("192.0.2.1", 22);
    errno = 0;
    EXPECT_EQ(GuardedConnect(tcp, sshPeer.get(), sshPeer.length), -1);
    EXPECT_EQ(errno, EACCES);
    // The refused connect left the socket unconnected.
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    EXPECT_EQ(::getpeername(tcp, reinterpret_cast<sockaddr*>(&peer), &len), -1);
    ::close(tcp);
}

TEST(NetGuard, QtHostAddressFollowsTheSameRule) {
#ifdef QT_NETWORK_LIB
    ScopedGuard on("1");
    for (const Case& c : kCases) {
        EXPECT_EQ(DestinationAllowed(QHostAddress(QString::fromLatin1(c.address))), c.allowed) << c.address;
    }
    QString why;
    EXPECT_FALSE(DestinationAllowed(QHostAddress(), &why));
    EXPECT_FALSE(why.isEmpty());
#else
    GTEST_SKIP() << "the platform library does not link Qt Network";
#endif
}

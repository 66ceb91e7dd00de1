#include "platform/ssh_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "support/loopback_listener.h"

using namespace platform;

namespace {

using Listener = test_support::LoopbackListener;

// A port nobody listens on: bound once, then released.
uint16_t ClosedPort() {
    Listener probe;
    return probe.port();
}

TcpConnectRequest Request(const QString& host, uint16_t port, int family = AF_UNSPEC) {
    TcpConnectRequest request;
    request.host = host;
    request.port = port;
    request.family = family;
    request.timeoutMs = 10000;
    return request;
}

}  // namespace

TEST(SshSocket, ConnectsToAListenerWithANonBlockingSocketOfTheRightFamily) {
    Listener listener;
    CancelSignal cancel;
    const TcpConnectResult result = ConnectTcp(Request(QStringLiteral("127.0.0.1"), listener.port(), AF_INET), cancel);
    ASSERT_GE(result.fd, 0) << result.errorText.toStdString();
    EXPECT_FALSE(result.cancelled);
    EXPECT_NE(fcntl(result.fd, F_GETFL) & O_NONBLOCK, 0);
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    getsockname(result.fd, reinterpret_cast<sockaddr*>(&local), &length);
    EXPECT_EQ(local.ss_family, AF_INET);
    close(result.fd);
}

TEST(SshSocket, FailuresGiveTheSystemsText) {
    CancelSignal cancel;
    struct Case {
        QString host;
        uint16_t port;
        int family;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("127.0.0.1"), ClosedPort(), AF_INET, SystemErrorText(ECONNREFUSED)},
        // The network guard of the test run refuses every other destination.
        {QStringLiteral("192.0.2.1"), 22, AF_INET, SystemErrorText(EACCES)},
        // An IPv4 address asked for as IPv6 does not resolve.
        {QStringLiteral("127.0.0.1"), 22, AF_INET6, QString()},
    };
    for (const Case& c : cases) {
        const TcpConnectResult result = ConnectTcp(Request(c.host, c.port, c.family), cancel);
        EXPECT_EQ(result.fd, -1) << c.host.toStdString();
        EXPECT_FALSE(result.errorText.isEmpty()) << c.host.toStdString();
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(result.errorText, c.expected);
        }
    }
}

TEST(SshSocket, ARaisedCancelEndsTheConnectWithoutASocket) {
    Listener listener;
    CancelSignal cancel;
    cancel.Raise();
    const TcpConnectResult result = ConnectTcp(Request(QStringLiteral("127.0.0.1"), listener.port()), cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.fd, -1);
    cancel.Clear();
    EXPECT_FALSE(cancel.IsRaised());
}

TEST(SshSocket, WaitSeesDataTimeOutAndADescriptorAbove1023) {
    Listener listener;
    CancelSignal cancel;
    const TcpConnectResult client = ConnectTcp(Request(QStringLiteral("127.0.0.1"), listener.port()), cancel);
    ASSERT_GE(client.fd, 0);
    const int server = listener.Accept();
    ASSERT_GE(server, 0);
    // select() could not watch this descriptor at all.
    const int high = fcntl(client.fd, F_DUPFD_CLOEXEC, 1500);
    ASSERT_GE(high, 1500);
    EXPECT_EQ(WaitSocket(high, kWaitInbound, cancel, 0), SocketWait::TimedOut);
    EXPECT_EQ(WaitSocket(high, kWaitOutbound, cancel, 10000), SocketWait::Ready);
    ASSERT_EQ(write(server, "x", 1), 1);
    EXPECT_EQ(WaitSocket(high, kWaitInbound, cancel, 10000), SocketWait::Ready);
    close(high);
    close(server);
    close(client.fd);
}

TEST(SshSocketConcurrent, CancelFromAnotherThreadEndsAWaitOnASilentPeer) {
    Listener listener;
    CancelSignal cancel;
    const TcpConnectResult client = ConnectTcp(Request(QStringLiteral("127.0.0.1"), listener.port()), cancel);
    ASSERT_GE(client.fd, 0);
    // The wait would last a minute; only the other thread's cancel ends it.
    std::thread canceller([&cancel] { cancel.Raise(); });
    EXPECT_EQ(WaitSocket(client.fd, kWaitInbound, cancel, 60000), SocketWait::Cancelled);
    canceller.join();
    close(client.fd);
}

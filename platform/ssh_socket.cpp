#include "platform/ssh_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/net_guard.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

int32_t MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int32_t>(left) : 0;
}

void SetSocketOptions(int fd, int32_t bufferBytes, bool keepAlive) {
    const int size = bufferBytes;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const int on = keepAlive ? 1 : 0;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

// One address: the connected socket, or -1 with the error text.
int ConnectOneAddress(const addrinfo& address, const TcpConnectRequest& request, const CancelSignal& cancel,
                      Clock::time_point deadline, TcpConnectResult& result) {
    const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        result.errorText = SystemErrorText(errno);
        return -1;
    }
    SetSocketOptions(fd, request.bufferBytes, request.keepAlive);
    if (GuardedConnect(fd, address.ai_addr, address.ai_addrlen) == 0) return fd;
    if (errno != EINPROGRESS) {
        result.errorText = SystemErrorText(errno);
        close(fd);
        return -1;
    }
    QString waitError;
    switch (WaitSocket(fd, kWaitOutbound, cancel, MillisecondsLeft(deadline), &waitError)) {
    case SocketWait::Ready: {
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error == 0) return fd;
        result.errorText = SystemErrorText(error);
        break;
    }
    case SocketWait::TimedOut:
        result.errorText = SystemErrorText(ETIMEDOUT);
        break;
    case SocketWait::Cancelled:
        result.cancelled = true;
        break;
    case SocketWait::Failed:
        result.errorText = waitError;
        break;
    }
    close(fd);
    return -1;
}

}  // namespace

CancelSignal::CancelSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CancelSignal::~CancelSignal() {
    if (fd_ >= 0) close(fd_);
}

void CancelSignal::Raise() const {
    const uint64_t one = 1;
    if (fd_ >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
}

void CancelSignal::Clear() const {
    uint64_t count = 0;
    if (fd_ >= 0) {
        [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
    }
}

bool CancelSignal::IsRaised() const {
    if (fd_ < 0) return false;
    pollfd probe{fd_, POLLIN, 0};
    return poll(&probe, 1, 0) == 1 && (probe.revents & POLLIN) != 0;
}

SocketWait WaitSocket(int fd, uint32_t directions, const CancelSignal& cancel, int32_t timeoutMs,
                      QString* errorText) {
    short events = 0;
    if (directions & kWaitInbound) events |= POLLIN;
    if (directions & kWaitOutbound) events |= POLLOUT;
    pollfd fds[2] = {{fd, events, 0}, {cancel.Descriptor(), POLLIN, 0}};
    const nfds_t count = cancel.Descriptor() >= 0 ? 2 : 1;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const int ready = poll(fds, count, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            if (errorText != nullptr) *errorText = SystemErrorText(errno);
            return SocketWait::Failed;
        }
        if (count == 2 && (fds[1].revents & POLLIN) != 0) return SocketWait::Cancelled;
        if (ready == 0) return SocketWait::TimedOut;
        return SocketWait::Ready;  // readiness, hang-up or error: the next call on the socket tells which
    }
}

TcpConnectResult ConnectTcp(const TcpConnectRequest& request, const CancelSignal& cancel) {
    TcpConnectResult result;
    addrinfo hints{};
    hints.ai_family = request.family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const QByteArray host = request.host.toLocal8Bit();
    const QByteArray port = QByteArray::number(request.port);
    const int resolved = getaddrinfo(host.constData(), port.constData(), &hints, &list);
    if (resolved != 0) {
        result.errorText = resolved == EAI_SYSTEM ? SystemErrorText(errno) : QString::fromLocal8Bit(gai_strerror(resolved));
        return result;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(request.timeoutMs);
    for (const addrinfo* address = list; address != nullptr && result.fd < 0; address = address->ai_next) {
        result.fd = ConnectOneAddress(*address, request, cancel, deadline, result);
        if (result.cancelled) break;
    }
    freeaddrinfo(list);
    return result;
}

}  // namespace platform

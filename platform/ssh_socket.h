#pragma once
// The TCP side of the SSH client: resolving the server, a non-blocking
// connect per resolved address, and the wait on the socket while the SSH
// library is blocked. Every wait also watches a cancel signal (an eventfd),
// so another thread ends a connect or a transfer at once by signalling it;
// no thread is ever killed. Waits use poll(), never select(): a Qt program
// may hold descriptors above 1023, where FD_SET writes out of bounds.
#include <QString>

#include <cstdint>

// Failures carry the system's text of the errno value, SystemErrorText.
#include "platform/wave_audio.h"

namespace platform {

// A cancel request that any thread may raise and that every wait of this
// layer sees at once. Raising it is async-signal-safe and lock free.
class CancelSignal {
public:
    CancelSignal();
    ~CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    // Wakes every present and later wait until Clear.
    void Raise() const;
    // Takes the request back (the owner does so before a new operation).
    void Clear() const;
    bool IsRaised() const;
    // The descriptor a wait polls for reading; -1 when the system gave none.
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// Directions a wait is for; both may be set.
inline constexpr uint32_t kWaitInbound = 1;
inline constexpr uint32_t kWaitOutbound = 2;

enum class SocketWait {
    Ready,      // the socket is ready in one of the directions
    TimedOut,   // nothing happened within the time
    Cancelled,  // the cancel signal was raised
    Failed,     // poll itself failed; the error text says why
};

// Waits until fd is ready in one of directions, the cancel signal is raised
// or timeoutMs milliseconds have passed.
SocketWait WaitSocket(int fd, uint32_t directions, const CancelSignal& cancel, int32_t timeoutMs,
                      QString* errorText = nullptr);

struct TcpConnectRequest {
    QString host;
    uint16_t port = 22;
    int family = 0;              // AF_UNSPEC, AF_INET or AF_INET6
    int32_t bufferBytes = 8192;  // SO_SNDBUF and SO_RCVBUF
    bool keepAlive = false;      // SO_KEEPALIVE
    int32_t timeoutMs = 90000;   // for the whole attempt, all addresses together
};

struct TcpConnectResult {
    int fd = -1;        // the connected, non-blocking socket; -1 on failure
    bool cancelled = false;
    QString errorText;  // the system's text for the last failure
};

// Resolves the host (restricted to the family) and connects to each address
// in the resolver's order until one accepts. Each address gets a socket of
// its own family; sockets of addresses that failed are closed. The network
// guard (net_guard.h) decides which destinations may be tried.
TcpConnectResult ConnectTcp(const TcpConnectRequest& request, const CancelSignal& cancel);

}  // namespace platform

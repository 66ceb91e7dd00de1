#pragma once
// The network guard. With VELTARO_LOOPBACK_ONLY set (to anything but "0"),
// every destination outside 127.0.0.0/8 and ::1 is refused, so a test run can
// never send a packet off the machine: no time-server request, no Art-Net
// broadcast, no SFTP connection. Every part of the program that opens a
// connection or sends a datagram goes through GuardedConnect or
// GuardedSendTo (or asks DestinationAllowed before it hands an address to a
// library).
#include <QString>
#include <QtNetwork/QHostAddress>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstring>

namespace platform {

inline constexpr const char* kLoopbackOnlyVariable = "VELTARO_LOOPBACK_ONLY";

// Whether the guard is on; read from the environment at each call.
bool LoopbackOnly();

// True when the guard is off, or the destination is an IPv4 address in
// 127.0.0.0/8 (its broadcast address excepted), ::1, an IPv4-mapped IPv6
// address in 127.0.0.0/8, or a local (AF_UNIX) socket. Otherwise false, with
// the reason in why when given.
bool DestinationAllowed(const sockaddr* addr, socklen_t len, QString* why = nullptr);

// The same rule for an address held by Qt's network classes. Inline, so that
// only code that links Qt Network pays for it; a null address is refused.
inline bool DestinationAllowed(const QHostAddress& address, QString* why = nullptr) {
    if (!LoopbackOnly()) {
        return true;
    }
    if (address.protocol() == QHostAddress::IPv4Protocol) {
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        return DestinationAllowed(reinterpret_cast<const sockaddr*>(&v4), sizeof v4, why);
    }
    if (address.protocol() == QHostAddress::IPv6Protocol) {
        sockaddr_in6 v6{};
        v6.sin6_family = AF_INET6;
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        return DestinationAllowed(reinterpret_cast<const sockaddr*>(&v6), sizeof v6, why);
    }
    if (why != nullptr) {
        *why = QStringLiteral("destination \"%1\" is not an IP address (%2=1)")
                   .arg(address.toString(), QLatin1String(kLoopbackOnlyVariable));
    }
    return false;
}

// connect(2) that refuses a destination the guard does not allow: -1 with
// errno EACCES, and nothing is sent.
int GuardedConnect(int fd, const sockaddr* addr, socklen_t len);

// sendto(2) under the same rule. Without a destination the socket's connected
// peer is checked.
ssize_t GuardedSendTo(int fd, const void* data, size_t size, int flags, const sockaddr* addr,
                      socklen_t len);

}  // namespace platform

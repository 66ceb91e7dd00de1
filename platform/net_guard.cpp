#include "platform/net_guard.h"

#include <arpa/inet.h>
#include <sys/un.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

constexpr uint32_t kLoopbackNet = 0x7F000000u;       // 127.0.0.0
constexpr uint32_t kLoopbackMask = 0xFF000000u;      // /8
constexpr uint32_t kLoopbackBroadcast = 0x7FFFFFFFu; // 127.255.255.255

void Explain(QString* why, const QString& text) {
    if (why != nullptr) {
        *why = text + QStringLiteral(" (%1=1)").arg(QLatin1String(kLoopbackOnlyVariable));
    }
}

QString FormatIPv4(uint32_t hostOrder) {
    in_addr a{};
    a.s_addr = htonl(hostOrder);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return QString::fromLatin1(text);
}

QString FormatIPv6(const in6_addr& a) {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &a, text, sizeof text);
    return QString::fromLatin1(text);
}

// hostOrder is the IPv4 destination in host byte order; shown is how the
// caller wrote it (an IPv4-mapped IPv6 address keeps its own form).
bool IPv4Allowed(uint32_t hostOrder, const QString& shown, QString* why) {
    if (hostOrder == kLoopbackBroadcast || hostOrder == INADDR_BROADCAST) {
        Explain(why, QStringLiteral("broadcast destination %1 refused").arg(shown));
        return false;
    }
    if ((hostOrder & kLoopbackMask) != kLoopbackNet) {
        Explain(why, QStringLiteral("destination %1 is outside 127.0.0.0/8").arg(shown));
        return false;
    }
    return true;
}

bool IPv6Allowed(const in6_addr& a, QString* why) {
    if (IN6_IS_ADDR_LOOPBACK(&a)) {
        return true;
    }
    if (IN6_IS_ADDR_V4MAPPED(&a)) {
        uint32_t mapped = 0;
        std::memcpy(&mapped, &a.s6_addr[12], sizeof mapped);
        return IPv4Allowed(ntohl(mapped), FormatIPv6(a), why);
    }
    Explain(why, QStringLiteral("destination %1 is not ::1").arg(FormatIPv6(a)));
    return false;
}

bool ConnectedPeerAllowed(int fd, QString* why) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        // Not connected: sendto itself answers that, and nothing leaves the machine.
        return true;
    }
    return DestinationAllowed(reinterpret_cast<const sockaddr*>(&peer), len, why);
}

void ReportRefusal(const char* call, const QString& why) {
    qWarning("%s refused: %s", call, qPrintable(why));
}

}  // namespace

bool LoopbackOnly() {
    const QByteArray value = qgetenv(kLoopbackOnlyVariable);
    return !value.isEmpty() && value != "0";
}

bool DestinationAllowed(const sockaddr* addr, socklen_t len, QString* why) {
    if (!LoopbackOnly()) {
        return true;
    }
    if (addr == nullptr || len < static_cast<socklen_t>(sizeof(sa_family_t))) {
        Explain(why, QStringLiteral("no destination address given"));
        return false;
    }
    switch (addr->sa_family) {
    case AF_INET: {
        if (len < static_cast<socklen_t>(sizeof(sockaddr_in))) {
            Explain(why, QStringLiteral("IPv4 destination of %1 bytes is too short").arg(len));
            return false;
        }
        sockaddr_in v4{};
        std::memcpy(&v4, addr, sizeof v4);
        const uint32_t hostOrder = ntohl(v4.sin_addr.s_addr);
        return IPv4Allowed(hostOrder, FormatIPv4(hostOrder), why);
    }
    case AF_INET6: {
        if (len < static_cast<socklen_t>(sizeof(sockaddr_in6))) {
            Explain(why, QStringLiteral("IPv6 destination of %1 bytes is too short").arg(len));
            return false;
        }
        sockaddr_in6 v6{};
        std::memcpy(&v6, addr, sizeof v6);
        return IPv6Allowed(v6.sin6_addr, why);
    }
    case AF_UNIX:
        return true;  // a local socket never leaves the machine
    case AF_UNSPEC:
        return true;  // connect with AF_UNSPEC only dissolves a datagram association
    default:
        Explain(why, QStringLiteral("address family %1 refused").arg(addr->sa_family));
        return false;
    }
}

int GuardedConnect(int fd, const sockaddr* addr, socklen_t len) {
    QString why;
    if (!DestinationAllowed(addr, len, &why)) {
        ReportRefusal("connect", why);
        errno = EACCES;
        return -1;
    }
    return ::connect(fd, addr, len);
}

ssize_t GuardedSendTo(int fd, const void* data, size_t size, int flags, const sockaddr* addr,
                      socklen_t len) {
    QString why;
    const bool allowed = addr != nullptr ? DestinationAllowed(addr, len, &why)
                                         : !LoopbackOnly() || ConnectedPeerAllowed(fd, &why);
    if (!allowed) {
        ReportRefusal("sendto", why);
        errno = EACCES;
        return -1;
    }
    return ::sendto(fd, data, size, flags, addr, len);
}

}  // namespace platform

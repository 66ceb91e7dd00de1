#include "remote/sntp_client.h"

#include <QtEndian>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <algorithm>
#include <cstring>

#include "platform/net_guard.h"

namespace {

// The NTP epoch, 1900-01-01, lies two days after the date-times' day zero.
constexpr double kNtpEpochDays = 2.0;
constexpr double kMsPerDay = static_cast<double>(platform::kMsPerDay);
constexpr double kEraMs = 4294967296.0 * 1000.0;
constexpr double kFractionUnits = 4294967296.0;
constexpr uint8_t kVersion4Client = (4 << 3) | 3;
constexpr uint8_t kModeServer = 4;
constexpr uint8_t kLeapUnsynchronised = 3;
constexpr int kOriginateOffset = 24;
constexpr int kReceiveOffset = 32;
constexpr int kTransmitOffset = 40;

uint64_t StampAt(const QByteArray& packet, int offset) {
    return qFromBigEndian<uint64_t>(packet.constData() + offset);
}

bool SameEndpoint(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    if (a.ss_family == AF_INET6) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in6&>(b);
        return x.sin6_port == y.sin6_port && std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
    }
    return false;
}

// Whether a reply is the server's answer to the request we sent at t1.
bool IsAnswer(const QByteArray& reply, uint64_t t1) {
    if (reply.size() < kSntpPacketSize) return false;
    const uint8_t first = static_cast<uint8_t>(reply[0]);
    const uint8_t stratum = static_cast<uint8_t>(reply[1]);
    return (first & 0x07) == kModeServer && (first >> 6) != kLeapUnsynchronised && stratum >= 1 && stratum <= 15 &&
           StampAt(reply, kTransmitOffset) != 0 && StampAt(reply, kOriginateOffset) == t1;
}

class Socket {
public:
    explicit Socket(int family) : fd(socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd >= 0) close(fd);
    }
    const int fd;
};

}  // namespace

double MsSince1900(platform::TDateTime utc) { return (utc - kNtpEpochDays) * kMsPerDay; }

platform::TDateTime UtcFromMsSince1900(double ms) { return ms / kMsPerDay + kNtpEpochDays; }

uint64_t NtpStampFromMs(double msSince1900) {
    double wrapped = std::fmod(msSince1900, kEraMs);
    if (wrapped < 0) wrapped += kEraMs;
    const double seconds = std::floor(wrapped / 1000.0);
    const double fraction = std::floor((wrapped / 1000.0 - seconds) * kFractionUnits);
    return static_cast<uint64_t>(seconds) << 32 | static_cast<uint64_t>(std::min(fraction, kFractionUnits - 1));
}

double MsFromNtpStamp(uint64_t stamp, double referenceMsSince1900) {
    const double withinEra = static_cast<double>(stamp >> 32) * 1000.0 +
                             static_cast<double>(stamp & 0xFFFFFFFFu) * 1000.0 / kFractionUnits;
    return withinEra + std::nearbyint((referenceMsSince1900 - withinEra) / kEraMs) * kEraMs;
}

std::optional<TSntpAddress> ResolveTimeServer(const QString& host, uint16_t port) {
    const QByteArray name = host.trimmed().toUtf8();
    if (name.isEmpty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    if (platform::LoopbackOnly() && name.compare("localhost", Qt::CaseInsensitive) != 0)
        hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (getaddrinfo(name.constData(), service.constData(), &hints, &found) != 0 || found == nullptr) return std::nullopt;
    TSntpAddress server;
    std::memcpy(&server.address, found->ai_addr, found->ai_addrlen);
    server.length = found->ai_addrlen;
    freeaddrinfo(found);
    return server;
}

TSntpExchange SntpExchange(const TSntpAddress& server, int timeoutMs,
                           const std::function<platform::TDateTime()>& localUtcNow) {
    TSntpExchange exchange;
    Socket socket(server.address.ss_family);
    if (socket.fd < 0) return exchange;
    QByteArray request(kSntpPacketSize, '\0');
    request[0] = static_cast<char>(kVersion4Client);
    const double t1Ms = MsSince1900(localUtcNow());
    const uint64_t t1 = NtpStampFromMs(t1Ms);
    qToBigEndian<uint64_t>(t1, request.data() + kTransmitOffset);
    const auto* to = reinterpret_cast<const sockaddr*>(&server.address);
    if (platform::GuardedSendTo(socket.fd, request.constData(), request.size(), 0, to, server.length) != request.size())
        return exchange;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray reply(512, '\0');
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return exchange;
        pollfd p{socket.fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(socket.fd, reply.data(), reply.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0 || !SameEndpoint(from, server.address)) continue;
        const QByteArray answer = reply.left(n);
        if (!IsAnswer(answer, t1)) continue;
        const double t4Ms = MsSince1900(localUtcNow());
        const double t2Ms = MsFromNtpStamp(StampAt(answer, kReceiveOffset), t1Ms);
        const double t3Ms = MsFromNtpStamp(StampAt(answer, kTransmitOffset), t4Ms);
        const double offsetMs = ((t2Ms - t1Ms) + (t3Ms - t4Ms)) / 2.0;
        exchange.offsetMs = std::llround(offsetMs);
        exchange.serverUtc = UtcFromMsSince1900(t4Ms + offsetMs);
        exchange.result = TSntpResult::Answer;
        return exchange;
    }
}

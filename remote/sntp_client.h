#pragma once
// One SNTP exchange with a time server: a 48-byte request carrying the local
// send time, and the first reply that is really the answer to it. A reply
// from another address or port, too short, not a server's, unsynchronised,
// of an impossible stratum, without a transmit time or not echoing our send
// time is ignored, and the wait goes on until the time-out: every time stamp
// of the program leans on the result. Blocking; runs on a worker thread.
#include <QByteArray>
#include <QString>

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/date_time.h"

inline constexpr uint16_t kSntpPort = 123;
inline constexpr int kSntpTimeoutMs = 1000;
inline constexpr int kSntpPacketSize = 48;

enum class TSntpResult { Answer, NoAnswer, Unresolvable };

struct TSntpExchange {
    TSntpResult result = TSntpResult::NoAnswer;
    int64_t offsetMs = 0;               // server minus local time: ((T2-T1)+(T3-T4))/2
    platform::TDateTime serverUtc = 0;  // the server's time when the answer arrived
};

struct TSntpAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The server's address. With the network guard on, only an address written
// as such or "localhost" is resolved, so that no name query leaves the
// machine either; nothing when the name cannot be resolved.
std::optional<TSntpAddress> ResolveTimeServer(const QString& host, uint16_t port);

// The exchange with a resolved server; localUtcNow reads the local clock.
TSntpExchange SntpExchange(const TSntpAddress& server, int timeoutMs,
                           const std::function<platform::TDateTime()>& localUtcNow);

// NTP time stamps (seconds since 1900 and a 32-bit fraction) and
// milliseconds since 1900, kept with their fraction: the offset is rounded
// once, at the end, so that a difference just above the ignored range is not
// rounded into it. A stamp's 32-bit seconds repeat every 136 years: the era
// is the one nearest the reference.
uint64_t NtpStampFromMs(double msSince1900);
double MsFromNtpStamp(uint64_t stamp, double referenceMsSince1900);
double MsSince1900(platform::TDateTime utc);
platform::TDateTime UtcFromMsSince1900(double ms);

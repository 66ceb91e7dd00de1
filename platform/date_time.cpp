#include "platform/date_time.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace platform {

namespace {

constexpr int64_t kFirstDay = -693593;  // 0001-01-01
constexpr int64_t kLastDay = 2958465;   // 9999-12-31
constexpr int64_t kUnixEpochMs = static_cast<int64_t>(kUnixEpochDays) * kMsPerDay;

QDate DayZero() {
    return QDate(1899, 12, 30);
}

[[noreturn]] void RefuseDateTime(double t) {
    throw std::invalid_argument("date-time out of range 0001-01-01 .. 9999-12-31: " + std::to_string(t));
}

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

void CheckDay(int64_t day, double original) {
    if (day < kFirstDay || day > kLastDay) {
        RefuseDateTime(original);
    }
}

QDateTime WallTime(TDateTime t, const QTimeZone* zone) {
    const int64_t ms = DateTimeToMs(t);
    const int64_t day = FloorDiv(ms, kMsPerDay);
    const QDate date = DayZero().addDays(day);
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms - day * kMsPerDay));
    if (!zone) {
        return QDateTime(date, time, Qt::LocalTime);
    }
    // Plain UTC rather than a zone named UTC, so that it compares and prints as UTC.
    if (*zone == QTimeZone::utc()) {
        return QDateTime(date, time, Qt::UTC);
    }
    return QDateTime(date, time, *zone);
}

// Milliseconds east of UTC that the system's local time is at a UTC instant.
int64_t LocalOffsetMs(int64_t unixMs) {
    return QDateTime::fromMSecsSinceEpoch(unixMs, Qt::UTC).toLocalTime().offsetFromUtc() * 1000LL;
}

// The UTC instant of a local wall time (both as Unix milliseconds). Candidates
// are the offsets in force a day before and a day after; clocks never change
// twice in that span.
int64_t LocalWallToUtc(int64_t wallMs) {
    const int64_t offsetBefore = LocalOffsetMs(wallMs - kMsPerDay);
    const int64_t offsetAfter = LocalOffsetMs(wallMs + kMsPerDay);
    const int64_t first = wallMs - std::max(offsetBefore, offsetAfter);
    const int64_t second = wallMs - std::min(offsetBefore, offsetAfter);
    if (first + LocalOffsetMs(first) == wallMs) {
        return first;  // also the first of the two in the repeated hour
    }
    if (second + LocalOffsetMs(second) == wallMs) {
        return second;
    }
    return wallMs - offsetBefore;  // skipped hour: the clocks have not changed yet
}

bool IsValidTime(int hour, int min, int sec, int msec) {
    return hour >= 0 && hour < 24 && min >= 0 && min < 60 && sec >= 0 && sec < 60 && msec >= 0 && msec < 1000;
}

int FirstKept(const QString& s) {
    int i = 0;
    while (i < s.size() && s.at(i).unicode() <= 0x20) {
        ++i;
    }
    return i;
}

int EndKept(const QString& s, int from) {
    int end = static_cast<int>(s.size());
    while (end > from && s.at(end - 1).unicode() <= 0x20) {
        --end;
    }
    return end;
}

}  // namespace

int64_t DateTimeToMs(TDateTime t) {
    if (!std::isfinite(t) || t <= static_cast<double>(kFirstDay - 1) || t >= static_cast<double>(kLastDay + 1)) {
        RefuseDateTime(t);
    }
    // Before day zero the fraction still counts forward from the start of the
    // day, so the time of day is the fraction's magnitude.
    const double whole = std::trunc(t);
    const int64_t day = static_cast<int64_t>(whole);
    const int64_t timeMs = std::llround(std::fabs(t - whole) * static_cast<double>(kMsPerDay));
    const int64_t ms = day * kMsPerDay + timeMs;
    CheckDay(FloorDiv(ms, kMsPerDay), t);
    return ms;
}

TDateTime MsToDateTime(int64_t ms) {
    const int64_t day = FloorDiv(ms, kMsPerDay);
    CheckDay(day, static_cast<double>(ms) / static_cast<double>(kMsPerDay));
    const double fraction = static_cast<double>(ms - day * kMsPerDay) / static_cast<double>(kMsPerDay);
    return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

TDateTime SystemUtcNow() {
    return MsToDateTime(QDateTime::currentMSecsSinceEpoch() + kUnixEpochMs);
}

TDateTime SystemLocalNow() {
    return UtcToLocalDateTime(SystemUtcNow());
}

TDateTime UtcToLocalDateTime(TDateTime utc) {
    const int64_t unixMs = DateTimeToMs(utc) - kUnixEpochMs;
    return MsToDateTime(unixMs + LocalOffsetMs(unixMs) + kUnixEpochMs);
}

TDateTime LocalToUtcDateTime(TDateTime local) {
    return MsToDateTime(LocalWallToUtc(DateTimeToMs(local) - kUnixEpochMs) + kUnixEpochMs);
}

TDateTime ToDateTime(const QDateTime& dt) {
    if (!dt.isValid()) {
        throw std::invalid_argument("invalid QDateTime");
    }
    const int64_t day = DayZero().daysTo(dt.date());
    return MsToDateTime(day * kMsPerDay + dt.time().msecsSinceStartOfDay());
}

QDateTime ToQDateTime(TDateTime t, QTimeZone zone) {
    return WallTime(t, &zone);
}

QDateTime ToLocalQDateTime(TDateTime t) {
    return WallTime(t, nullptr);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day) || !IsValidTime(hour, min, sec, msec)) {
        throw std::invalid_argument("no such date-time: " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                                    std::to_string(day) + " " + std::to_string(hour) + ":" + std::to_string(min) +
                                    ":" + std::to_string(sec) + "." + std::to_string(msec));
    }
    const int64_t days = DayZero().daysTo(QDate(year, month, day));
    const int64_t timeMs = ((hour * 60LL + min) * 60 + sec) * 1000 + msec;
    return MsToDateTime(days * kMsPerDay + timeMs);
}

DateTimeParts DecodeDateTime(TDateTime t) {
    const int64_t ms = DateTimeToMs(t);
    const int64_t day = FloorDiv(ms, kMsPerDay);
    const QDate date = DayZero().addDays(day);
    int64_t rest = ms - day * kMsPerDay;
    DateTimeParts parts;
    parts.year = date.year();
    parts.month = date.month();
    parts.day = date.day();
    parts.msec = static_cast<int>(rest % 1000);
    rest /= 1000;
    parts.sec = static_cast<int>(rest % 60);
    rest /= 60;
    parts.min = static_cast<int>(rest % 60);
    parts.hour = static_cast<int>(rest / 60);
    return parts;
}

std::chrono::system_clock::time_point ToTimePoint(TDateTime utc) {
    const std::chrono::milliseconds sinceUnixEpoch(DateTimeToMs(utc) - kUnixEpochMs);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceUnixEpoch));
}

TDateTime FromTimePoint(std::chrono::system_clock::time_point tp) {
    const auto sinceUnixEpoch = std::chrono::floor<std::chrono::milliseconds>(tp.time_since_epoch());
    return MsToDateTime(sinceUnixEpoch.count() + kUnixEpochMs);
}

int64_t Round(double v) {
    if (!std::isfinite(v)) {
        throw std::out_of_range("cannot round " + std::to_string(v) + " to an integer");
    }
    // Done by hand so that the result does not depend on the FPU rounding mode
    // that some library may have left behind.
    const double below = std::floor(v);
    const double rest = v - below;
    double rounded = below;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1.0;
    }
    if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) {
        throw std::out_of_range("cannot round " + std::to_string(v) + " to a 64-bit integer");
    }
    return static_cast<int64_t>(rounded);
}

QString Trim(const QString& s) {
    const int from = FirstKept(s);
    return s.mid(from, EndKept(s, from) - from);
}

QString TrimLeft(const QString& s) {
    return s.mid(FirstKept(s));
}

QString TrimRight(const QString& s) {
    return s.left(EndKept(s, 0));
}

}  // namespace platform

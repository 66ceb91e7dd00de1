#pragma once
// Date-times as the measurement files store them, and the two numeric and text
// helpers whose exact rules the file formats depend on.
//
// A TDateTime counts days since 1899-12-30 00:00; the fraction is the time of
// day. Days before that date are negative and keep a positive time of day in
// their fraction (-1.25 is 1899-12-29 06:00), so -0.5 and 0.5 name the same
// moment. The program only meets dates after 1900; the negative range is
// handled for completeness, not relied on. Valid dates run from 0001-01-01 to
// 9999-12-31; anything else (and NaN or infinity) is refused with
// std::invalid_argument. Conversions work to the millisecond: the time of day
// is rounded to the nearest millisecond.
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <chrono>
#include <cstdint>

namespace platform {

using TDateTime = double;

constexpr TDateTime kUnixEpochDays = 25569.0;  // 1970-01-01 00:00
constexpr int64_t kMsPerDay = 86400000;

struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int min = 0;
    int sec = 0;
    int msec = 0;
};

// The current UTC time of the system clock, to the millisecond.
TDateTime SystemUtcNow();
// The current local time of the system clock (time-zone rules from TZ).
TDateTime SystemLocalNow();

// Converts with the system time-zone rules in force at that date, summer time
// included. A local time that falls into the hour skipped at the change to
// summer time is read as if the clocks had not changed yet; a local time in
// the repeated hour in autumn is read as the first of the two.
TDateTime UtcToLocalDateTime(TDateTime utc);
TDateTime LocalToUtcDateTime(TDateTime local);

// The wall time of dt in dt's own time zone (or its UTC or local setting), milliseconds kept.
// An invalid dt is refused with std::invalid_argument.
TDateTime ToDateTime(const QDateTime& dt);
// Reads t as a wall time in zone.
QDateTime ToQDateTime(TDateTime t, QTimeZone zone = QTimeZone::utc());
// Reads t as a wall time in the system's local time.
QDateTime ToLocalQDateTime(TDateTime t);

// Throws std::invalid_argument for a date or time that does not exist.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
DateTimeParts DecodeDateTime(TDateTime t);

// Milliseconds since 1899-12-30 00:00 on a straight line (negative days made
// linear), the form in which date-times can be added and compared exactly.
int64_t DateTimeToMs(TDateTime t);
TDateTime MsToDateTime(int64_t ms);

// A UTC date-time as a point on the system clock, and back; for arming the
// waitable timers at a wall-clock instant.
std::chrono::system_clock::time_point ToTimePoint(TDateTime utc);
TDateTime FromTimePoint(std::chrono::system_clock::time_point tp);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). NaN, infinity and values beyond the 64-bit range are
// refused with std::out_of_range.
int64_t Round(double v);

// Removes every character up to U+0020 (spaces and all control characters) at
// both ends. Unlike QString::trimmed(), other Unicode white space such as the
// no-break space U+00A0 stays.
QString Trim(const QString& s);
QString TrimLeft(const QString& s);
QString TrimRight(const QString& s);

}  // namespace platform

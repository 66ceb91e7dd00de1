#include "reports/report_formatting.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "ui_kit/text_helpers.h"

namespace {

constexpr double kSamplesPerMs = 48.0;

// Seconds of the day, rounded to the whole second, halves to even.
int64_t RoundedSecondOfDay(platform::TDateTime t) {
    const platform::DateTimeParts p = platform::DecodeDateTime(t);
    const double seconds = p.hour * 3600.0 + p.min * 60.0 + p.sec + p.msec / 1000.0;
    return static_cast<int64_t>(std::nearbyint(seconds)) % 86400;
}

QString ClockText(int64_t secondOfDay) {
    return QStringLiteral("%1:%2:%3")
        .arg(secondOfDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(secondOfDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(secondOfDay % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString ReportLevelText(double x, int decimals) {
    if (!(x > 0.0)) return QStringLiteral("---");
    return FixedSignificant(x, decimals + 3, decimals) + QStringLiteral(" dB");
}

QString FormatSignedDb(double x, int precision, int digits) {
    QString sign;
    if (x > 0.0) sign = QStringLiteral("+");
    else if (!(x < 0.0)) sign = QStringLiteral("\u00B1");
    return sign + FixedSignificant(x, precision, digits) + QStringLiteral(" dB");
}

QString FormatDeviationDb(double x) { return FormatSignedDb(x, 3, 1); }

QString FormatTimeHMS(platform::TDateTime t) {
    const platform::DateTimeParts p = platform::DecodeDateTime(t);
    return ClockText(p.hour * 3600 + p.min * 60 + p.sec);
}

QString FormatEndTime(platform::TDateTime end, platform::TDateTime start) {
    const platform::DateTimeParts e = platform::DecodeDateTime(end);
    const platform::DateTimeParts s = platform::DecodeDateTime(start);
    const bool sameDay = e.year == s.year && e.month == s.month && e.day == s.day;
    if (sameDay || e.hour * 3600 + e.min * 60 + e.sec != 0) return FormatTimeHMS(end);
    return QStringLiteral("24:00:00");
}

QString FormatSampleDuration(int64_t n) {
    if (n <= 0) return QStringLiteral("---");
    const double ms = static_cast<double>(n) / kSamplesPerMs;
    if (ms < 10.0) return FixedSignificant(ms, 3, 2) + QStringLiteral("ms");
    if (ms < 100.0) return QLocale().toString(std::nearbyint(ms), 'f', 0) + QStringLiteral("ms");
    const double s = ms / 1000.0;
    if (s < 10.0) return FixedSignificant(s, 3, 1) + QStringLiteral("s");
    return QLocale().toString(std::nearbyint(s), 'f', 0) + QStringLiteral("s");
}

QString RoundedTimeText(platform::TDateTime t) { return ClockText(RoundedSecondOfDay(t)); }

QString LocalDateTimeText(platform::TDateTime t) {
    const platform::DateTimeParts p = platform::DecodeDateTime(t);
    QString text = DateText(t);
    if (p.hour != 0 || p.min != 0 || p.sec != 0 || p.msec != 0)
        text += QStringLiteral(" %1:%2").arg(p.hour, 2, 10, QLatin1Char('0')).arg(p.min, 2, 10, QLatin1Char('0'));
    return text;
}

QString VersionText(int64_t version) {
    const auto v = static_cast<uint64_t>(version);
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 48).arg((v >> 32) & 0xFFFF).arg((v >> 16) & 0xFFFF).arg(v & 0xFFFF);
}

#pragma once
// The number, time and text helpers that the printed protocol, the text
// report and the value list share.
#include <QString>
#include <QStringList>

#include <cstdint>

#include "platform/date_time.h"
#include "ui_kit/text_helpers.h"

// A level: above 0 the number at decimals + 3 significant digits and
// decimals decimals, then " dB"; otherwise "---".
QString ReportLevelText(double x, int decimals);

QString FormatSignedDb(double x, int precision, int digits);
QString FormatDeviationDb(double x);
QString FormatTimeHMS(platform::TDateTime t);
// "24:00:00" for an end exactly at midnight after a start on another day.
QString FormatEndTime(platform::TDateTime end, platform::TDateTime start);
// n samples at 48 kHz as "2.50ms", "50ms", "2.0s", "20s"; "---" for n <= 0.
QString FormatSampleDuration(int64_t n);
// The time of day rounded to the whole second, halves to even.
QString RoundedTimeText(platform::TDateTime t);
// The short date, a blank and hours:minutes; only the date at exactly midnight.
QString LocalDateTimeText(platform::TDateTime t);

// A 64-bit version id as its four 16-bit parts, most significant first: "2026.1.0.7".
QString VersionText(int64_t version);


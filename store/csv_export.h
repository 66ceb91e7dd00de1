#pragma once
// CSV and text export of the stored values (TDaten::SaveAsCSV, WriteToText
// and GetValueAtTime are declared with the store). The pieces below fix the
// number and date rules of the export; they never touch a program-wide
// number format, so other threads formatting numbers meanwhile are not
// affected.
#include <QChar>
#include <QLocale>
#include <QString>

#include "platform/date_time.h"

// A level in fixed-point notation with exactly one decimal place: rounded
// (halves away from zero) to one decimal but to no more than four significant
// digits, decimal as the decimal character, no thousands separator.
// 95.34 -> "95.3", 99.96 -> "100.0", -3.04 -> "-3.0", 1234.56 -> "1235.0".
QString FormatCsvLevel(double level, QChar decimal);

// The locale's long time format without its time-zone part, which the date
// and time columns of a spreadsheet cannot use.
QString LongTimeFormatWithoutZone(const QLocale& locale);

// The date (short format) and the time (long format) of t in locale; empty
// texts for a value that is no date-time.
QString CsvDateText(platform::TDateTime t, const QLocale& locale);
QString CsvTimeText(platform::TDateTime t, const QLocale& locale);

#pragma once
// Small text and number helpers that several windows and reports share.
#include <QString>
#include <QStringList>

// "a • b"; a alone when b is empty, b alone when a is empty.
QString JoinWithBullet(const QString& a, const QString& b);

// The one-line form of a multi-line memo text: trimmed, and every line break
// (CR LF, LF CR, a lone CR or a lone LF) replaced by one blank.
QString FoldLineBreaks(const QString& text);

// text with its first "%s" replaced by argument, as the text table writes
// its placeholders; a text without one stays as it is.
QString WithTextArgument(const QString& text, const QString& argument);

// The text with its "%s" and "%d" placeholders replaced by the arguments in
// order; placeholders without an argument stay as they are. The arguments
// are inserted literally, so a user's text is never read as a format.
QString FillTextArguments(const QString& text, const QStringList& arguments);

// True for a finite level from -100 to 100 dB, both ends included.
bool IsValidLevel(double x);

// Date-time texts in the user's regional format, for a local date-time
// (days since 1899-12-30): the short date, the time with seconds, and both
// separated by a blank.
QString DateText(double localDateTime);
QString TimeText(double localDateTime);
QString DateTimeText(double localDateTime);

// A level in fixed-point notation with decimals digits after the regional
// decimal separator.
QString FixedText(double value, int decimals);

// x rounded (halves to even) to precision significant digits, in fixed
// notation with digits decimals and the locale's group separator.
QString FixedSignificant(double x, int precision, int digits);

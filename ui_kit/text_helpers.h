#pragma once
// Small text and number helpers that several windows and reports share.
#include <QString>

// "a • b"; a alone when b is empty, b alone when a is empty.
QString JoinWithBullet(const QString& a, const QString& b);

// The one-line form of a multi-line memo text: trimmed, and every line break
// (CR LF, LF CR, a lone CR or a lone LF) replaced by one blank.
QString FoldLineBreaks(const QString& text);

// text with its first "%s" replaced by argument, as the text table writes
// its placeholders; a text without one stays as it is.
QString WithTextArgument(const QString& text, const QString& argument);

// True for a finite level from -100 to 100 dB, both ends included.
bool IsValidLevel(double x);

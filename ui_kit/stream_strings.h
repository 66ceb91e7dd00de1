#pragma once
// The text encoding inside every binary file of the program: a signed 32-bit
// little-endian byte count followed by that many bytes of UTF-16LE text, no
// terminator. An empty text is the count 0 alone.
//
// Readers accept counts of 2 to 2500 bytes (1 to 1250 code units), so writers
// store at most 1250 code units: every file this program writes reads back
// whole.
#include <QIODevice>
#include <QString>

#include <cstdint>

inline constexpr int32_t kStreamStringMaxBytes = 2500;
inline constexpr int32_t kStreamStringMaxUnits = kStreamStringMaxBytes / 2;

// The part of text a stream string carries: its first kStreamStringMaxUnits
// code units (one less when the cut would split a surrogate pair).
QString CapStreamString(const QString& text);

// Writes text, cut to its first kStreamStringMaxUnits code units (one less
// when the cut would split a surrogate pair). Returns the bytes written
// (4 + byte count), or -1 when the device refused the write; then part of the
// string may be on the device.
int32_t WriteStreamString(QIODevice& out, const QString& text);

// Reads one stream string into out, trimmed of blanks and control characters
// at both ends. out is empty unless a text was read.
//
// True for a count of 0 (the empty text) and for a count of 2 to 2500 whose
// bytes are all present; an odd count in that range reads its whole bytes as
// count / 2 code units and drops the last byte.
// False, with out empty, when:
//  - no whole count is left on the device (nothing is consumed);
//  - the count is 1, negative or above 2500: the count and, when present, the
//    bytes it announces are consumed, so a reader of a record stays in step;
//  - fewer bytes than the count announces are left: only the count is consumed.
// Never reads past the end of the device.
bool ReadStreamString(QIODevice& in, QString& out);

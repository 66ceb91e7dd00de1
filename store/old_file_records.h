#pragma once
// The pieces every reader of the older measurement file versions shares:
// fixed-size records read whole and then taken apart at their offsets, the
// short strings and multi-line texts inside them, and the test of the
// counts of a header against what the file still holds.
//
// Nothing here reads beyond a record or beyond the file: a record that is
// cut short, a count that is negative or larger than the file, and a text
// that is damaged all end in OldFileDamage, which tells what is wrong.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#include "store/measurement_records.h"

class QIODevice;

class OldFileDamage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One fixed-size record of an older file, little-endian and packed.
class OldRecord {
public:
    // The next size bytes of in; throws OldFileDamage ("<what> is cut short")
    // when fewer are left.
    static OldRecord Read(QIODevice& in, qint64 size, const QString& what);

    qint64 Size() const { return bytes_.size(); }
    int32_t I32(int at) const;
    int64_t I64(int at) const;
    double F64(int at) const;
    // The short string in the room of room bytes (length byte included) at
    // at, decoded as Windows-1252. A length byte larger than its room, or
    // than what is left of the record, is cut to it.
    QString Short(int at, int room) const;
    // A text stored as lines short strings in rooms of room bytes that
    // follow each other (see JoinLines).
    QString Lines(int at, int lines, int room) const;

private:
    explicit OldRecord(QByteArray bytes) : bytes_(std::move(bytes)) {}
    const char* At(int at, int size) const;

    QByteArray bytes_;
};

// The first line, then every further line that is not empty, each preceded
// by CR LF unless the text so far is empty; empty lines are dropped.
QString JoinLines(const std::vector<QString>& lines);

// text as a version-14 file keeps it: cut to the longest stream string and
// trimmed as the stream-string reader trims. A converted store then holds
// exactly what its saved file loads back as.
QString AsStoredText(const QString& text);

// "block 3" for the record of index 2, for the reason of a damage.
QString RecordName(const char* what, size_t index);

// The short-term warning level of a file that has none of its own: the Leq
// warning level, or, when that is negative, what header validation gives
// the Leq warning level (the field is unsigned, and a negative level once
// made the whole measurement unreadable).
uint32_t LeqKWarnOf(int32_t warnLeq);

// A block record of versions 2 to 11 from at on, where the numbers follow
// each other in the same order in all of them (behind id and valDif in the
// 176-byte record): dBCMax, currentCount, PeakHighTime, leq, start, ende,
// next, LeqHighTime, clipCount and the remark in a room of remarkRoom bytes.
// These records hold no short-term Leq: leqK is -1.0, LeqKHighTime 0; id
// and valDif are left to the caller.
TBlockDaten8 BlockWithoutShortTermLeq(const OldRecord& r, int at, int remarkRoom);

// One kind of record that a header counts.
struct CountedRecords {
    const char* what;  // plural noun for the reason ("blocks")
    int32_t count;
    qint64 leastBytes;  // smallest size one record can have in the file
};

// Throws OldFileDamage when a count is negative or the records cannot all
// fit into what is left of in.
void RequireCountsFit(const QIODevice& in, std::initializer_list<CountedRecords> parts);

// count value records of the current layout (TSaveIT6), read whole.
void ReadCurrentValueRecords(QIODevice& in, int32_t count, std::vector<TSaveIT6>& werte);
// count messages of the form date-time followed by a stream string.
void ReadStreamMessages(QIODevice& in, int32_t count, std::vector<TSMS>& messages);

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstddef>
#include <cstring>
#include <set>

#include "store/measurement_records.h"

// Fields of packed records are read through a unary +, so that no reference
// binds to a member that may sit at an unaligned address.

namespace {

struct FieldOffset {
    const char* name;
    size_t actual;
    size_t expected;
};

#define FIELD(type, field, offset) FieldOffset{#field, offsetof(type, field), offset}

void ExpectOffsets(std::initializer_list<FieldOffset> fields) {
    for (const FieldOffset& f : fields) {
        EXPECT_EQ(f.actual, f.expected) << f.name;
    }
}

TEST(MeasurementRecords, HeaderFieldOffsets) {
    ExpectOffsets({
        FIELD(TSaveData13, Version, 0),          FIELD(TSaveData13, DataSize, 4),
        FIELD(TSaveData13, start, 12),           FIELD(TSaveData13, GEWICHTUNG, 20),
        FIELD(TSaveData13, LIMITLEQ, 24),        FIELD(TSaveData13, LIMITPEAK, 28),
        FIELD(TSaveData13, STOP, 32),            FIELD(TSaveData13, KALTIME, 40),
        FIELD(TSaveData13, kalVal, 48),          FIELD(TSaveData13, kalRefSpl, 56),
        FIELD(TSaveData13, offValNach, 64),      FIELD(TSaveData13, offVRefSpl, 72),
        FIELD(TSaveData13, offValVor, 80),       FIELD(TSaveData13, offNRefSpl, 88),
        FIELD(TSaveData13, KALART, 96),          FIELD(TSaveData13, korrTimeA, 100),
        FIELD(TSaveData13, korrTimeC, 108),      FIELD(TSaveData13, korrTimeZ, 116),
        FIELD(TSaveData13, offTimeVor, 124),     FIELD(TSaveData13, offTimeNach, 132),
        FIELD(TSaveData13, korrEMess, 140),      FIELD(TSaveData13, korrA, 148),
        FIELD(TSaveData13, korrC, 156),          FIELD(TSaveData13, KORRF, 164),
        FIELD(TSaveData13, KORRTYP, 172),        FIELD(TSaveData13, MAXVAL, 176),
        FIELD(TSaveData13, WARNPEAK, 184),       FIELD(TSaveData13, WARNLEQ, 188),
        FIELD(TSaveData13, INTERVAL, 192),       FIELD(TSaveData13, MODUSID, 196),
        FIELD(TSaveData13, PRECISION, 200),      FIELD(TSaveData13, LEQMaxVal, 204),
        FIELD(TSaveData13, LEQMaxTime, 212),     FIELD(TSaveData13, PEAKMaxVal, 220),
        FIELD(TSaveData13, PEAKMaxTime, 228),    FIELD(TSaveData13, LEQKMaxVal, 236),
        FIELD(TSaveData13, LEQKMaxTime, 244),    FIELD(TSaveData13, GRANGE, 252),
        FIELD(TSaveData13, GTOP, 256),           FIELD(TSaveData13, DAUERLEQ, 260),
        FIELD(TSaveData13, DAUERLEQKURZ, 264),   FIELD(TSaveData13, PEAKWERTE, 268),
        FIELD(TSaveData13, NumBlock, 272),       FIELD(TSaveData13, NumWerte, 276),
        FIELD(TSaveData13, COPYSTATE, 280),      FIELD(TSaveData13, VTVERSION, 284),
        FIELD(TSaveData13, CalTimeVMic, 292),    FIELD(TSaveData13, CalValVMic, 300),
        FIELD(TSaveData13, LEQ120, 308),         FIELD(TSaveData13, NachKomma, 316),
        FIELD(TSaveData13, MessDauerFree, 320),  FIELD(TSaveData13, LEQFull, 324),
        FIELD(TSaveData13, LimitLeqK, 332),      FIELD(TSaveData13, ProtokollStatus, 340),
        FIELD(TSaveData13, NumSMS, 344),         FIELD(TSaveData13, KalGain, 348),
        FIELD(TSaveData13, statusInfo, 352),     FIELD(TSaveData13, minSPLKorr, 356),
        FIELD(TSaveData13, options, 360),        FIELD(TSaveData13, leqKWarn, 364),
    });
    EXPECT_EQ(sizeof(TSaveData13), 368u);
}

TEST(MeasurementRecords, ValueFieldOffsets) {
    ExpectOffsets({
        FIELD(TSaveIT6, id, 0),        FIELD(TSaveIT6, valDif, 4), FIELD(TSaveIT6, TimeStamp, 8),
        FIELD(TSaveIT6, clipCount, 16), FIELD(TSaveIT6, Peak, 20), FIELD(TSaveIT6, LeqK, 28),
        FIELD(TSaveIT6, leq, 36),
    });
    EXPECT_EQ(sizeof(TSaveIT6), 44u);
}

TEST(MeasurementRecords, BlockFieldOffsetsFollowTheFileForm) {
    ExpectOffsets({
        FIELD(TBlockDaten8Fields, id, 0),            FIELD(TBlockDaten8Fields, valDif, 4),
        FIELD(TBlockDaten8Fields, dBCMax, 8),        FIELD(TBlockDaten8Fields, currentCount, 16),
        FIELD(TBlockDaten8Fields, leq, 20),          FIELD(TBlockDaten8Fields, leqK, 28),
        FIELD(TBlockDaten8Fields, start, 36),        FIELD(TBlockDaten8Fields, ende, 44),
        FIELD(TBlockDaten8Fields, next, 52),         FIELD(TBlockDaten8Fields, LeqHighTime, 60),
        FIELD(TBlockDaten8Fields, LeqKHighTime, 68), FIELD(TBlockDaten8Fields, PeakHighTime, 76),
        FIELD(TBlockDaten8Fields, clipCount, 84),
    });
    EXPECT_EQ(sizeof(TBlockDaten8Fields), 88u);
}

// The text table lists every text of the header exactly once: the header is
// the fixed part followed by nothing but 29 texts.
TEST(MeasurementRecords, TextTableCoversEveryHeaderText) {
    EXPECT_EQ(sizeof(TsaveItHeader13), sizeof(TSaveData13) + kHeaderTextCount * sizeof(QString));
    TsaveItHeader13 header;
    std::set<const QString*> distinct;
    for (QString TsaveItHeader13::*text : kHeaderTextFields) {
        distinct.insert(&(header.*text));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kHeaderTextCount));
}

// The raw bytes are what a file holds: little-endian, no padding, all fields
// zero in a new record.
TEST(MeasurementRecords, RawBytesAreLittleEndianWithoutPadding) {
    TSaveData13 header;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&header), sizeof header), QByteArray(368, '\0'));

    header.Version = 14;
    header.start = 1.0;        // 00 00 00 00 00 00 F0 3F
    header.leqKWarn = 0x01020304;
    const QByteArray bytes(reinterpret_cast<const char*>(&header), sizeof header);
    EXPECT_EQ(bytes.left(4), QByteArray::fromHex("0E000000"));
    EXPECT_EQ(bytes.mid(12, 8), QByteArray::fromHex("000000000000F03F"));
    EXPECT_EQ(bytes.right(4), QByteArray::fromHex("04030201"));

    TSaveIT6 value;
    value.id = 7;
    value.leq = -0.5;  // 00 00 00 00 00 00 E0 BF
    const QByteArray valueBytes(reinterpret_cast<const char*>(&value), sizeof value);
    EXPECT_EQ(valueBytes.left(4), QByteArray::fromHex("07000000"));
    EXPECT_EQ(valueBytes.mid(36), QByteArray::fromHex("000000000000E0BF"));

    TSaveIT6 readBack;
    std::memcpy(&readBack, valueBytes.constData(), sizeof readBack);
    EXPECT_EQ(+readBack.id, 7);
    EXPECT_EQ(+readBack.leq, -0.5);
}

}  // namespace

// Measurement files of versions 10 to 13: close to version 14 (a raw fixed
// header part, the 29 texts as stream strings, 44-byte values), but with
// shorter or reordered fixed parts, blocks with the remark as an inline
// short string, and (12 and 13) messages read by their count.
#include <QIODevice>

#include <cstddef>
#include <cstring>

#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/old_file_records.h"

namespace {

// Versions 10 to 12 stored the first 344 bytes of the fixed part only.
constexpr int kShortHeaderBytes = 344;
constexpr int kBlock176Bytes = 176;
constexpr int kBlock192Bytes = 192;
constexpr int kRemarkRoom = 104;
constexpr qint64 kLeastMessageBytes = 8 + 4;

// The fixed part of version 12: the version-14 order without the three
// reference levels. Offsets in the file, offsets in TSaveData13, widths.
struct Version12Field {
    int at;
    size_t field;
    int bytes;
};

#define V12(at, name) Version12Field{at, offsetof(TSaveData13, name), static_cast<int>(sizeof(TSaveData13::name))}
constexpr Version12Field kVersion12Fields[] = {
    V12(12, start),        V12(24, LIMITLEQ),       V12(28, LIMITPEAK),    V12(32, STOP),
    V12(40, KALTIME),      V12(48, kalVal),         V12(56, offValNach),   V12(64, offValVor),
    V12(76, korrTimeA),    V12(84, korrTimeC),      V12(92, korrTimeZ),    V12(100, offTimeVor),
    V12(108, offTimeNach), V12(116, korrEMess),     V12(124, korrA),       V12(132, korrC),
    V12(140, KORRF),       V12(148, KORRTYP),       V12(152, MAXVAL),      V12(160, WARNPEAK),
    V12(164, WARNLEQ),     V12(168, INTERVAL),      V12(172, MODUSID),     V12(176, PRECISION),
    V12(180, LEQMaxVal),   V12(196, PEAKMaxVal),    V12(212, LEQKMaxVal),  V12(228, GRANGE),
    V12(232, GTOP),        V12(236, DAUERLEQ),      V12(240, DAUERLEQKURZ), V12(244, PEAKWERTE),
    V12(248, NumBlock),    V12(252, NumWerte),      V12(256, COPYSTATE),   V12(260, VTVERSION),
    V12(268, CalTimeVMic), V12(276, CalValVMic),    V12(292, NachKomma),   V12(296, MessDauerFree),
    V12(300, LEQFull),     V12(308, LimitLeqK),     V12(316, ProtokollStatus), V12(320, NumSMS),
    V12(324, KalGain),     V12(328, statusInfo),    V12(332, minSPLKorr),
};
#undef V12

void CopyVersion12Fields(const QByteArray& record, TSaveData13& d) {
    for (const Version12Field& f : kVersion12Fields) {
        std::memcpy(reinterpret_cast<char*>(&d) + f.field, record.constData() + f.at, static_cast<size_t>(f.bytes));
    }
}

QByteArray ReadFixedPart(QIODevice& stream, int bytes) {
    QByteArray record(bytes, '\0');
    if (!ReadExactly(stream, record.data(), bytes)) {
        throw OldFileDamage("the fixed header part is cut short");
    }
    return record;
}

void ReadTexts(QIODevice& stream, TsaveItHeader13& header) {
    if (!TDaten::ReadHeaderStrings(stream, header)) {
        throw OldFileDamage(
            QStringLiteral("a header text is damaged or cut short (at byte %1)").arg(stream.pos()).toStdString());
    }
}

TBlockDaten8 Block176(const OldRecord& r) {
    TBlockDaten8 b = BlockWithoutShortTermLeq(r, 8, kRemarkRoom);
    b.id = r.I32(0);
    b.valDif = r.I32(4);
    return b;
}

TBlockDaten8 Block192(const OldRecord& r) {
    TBlockDaten8 b;
    b.id = r.I32(0);
    b.valDif = r.I32(4);
    b.dBCMax = r.F64(8);
    b.currentCount = r.I32(16);
    b.PeakHighTime = r.F64(20);
    b.leq = r.F64(28);
    b.leqK = r.F64(36);
    b.start = r.F64(44);
    b.ende = r.F64(52);
    b.next = r.F64(60);
    b.LeqHighTime = r.F64(68);
    b.LeqKHighTime = r.F64(76);
    b.clipCount = r.I32(84);
    b.remarkStr = AsStoredText(r.Short(88, kRemarkRoom));
    return b;
}

}  // namespace

void TDaten::ReadBlock176(int32_t index, QIODevice& stream) {
    const auto i = static_cast<size_t>(index);
    aB8.at(i) = Block176(OldRecord::Read(stream, kBlock176Bytes, RecordName("block", i)));
}

void TDaten::ReadBlock176Renumber(int32_t index, QIODevice& stream) {
    ReadBlock176(index, stream);
    TBlockDaten8& block = aB8[static_cast<size_t>(index)];
    block.id = index + 1;
    block.valDif = 0;
}

void TDaten::ReadBlocks192(QIODevice& stream) {
    const int32_t n = DatenLatch.theData.NumBlock;
    if (n <= 0) {
        return;
    }
    RequireCountsFit(stream, {{"blocks", n, kBlock192Bytes}});
    aB8.resize(static_cast<size_t>(n));
    for (size_t i = 0; i < aB8.size(); ++i) {
        aB8[i] = Block192(OldRecord::Read(stream, kBlock192Bytes, RecordName("block", i)));
    }
}

int32_t TDaten::ReadVersion10Or11(QIODevice& stream, int32_t loadMode, int32_t version) {
    TSaveData13& d = DatenLatch.theData;
    const QByteArray fixed = ReadFixedPart(stream, kShortHeaderBytes);
    std::memcpy(reinterpret_cast<char*>(&d), fixed.constData(), kShortHeaderBytes);
    if (version == 10) {
        d.LimitLeqK = d.LIMITLEQ;
    }
    d.leqKWarn = LeqKWarnOf(d.WARNLEQ);
    d.kalRefSpl = d.offVRefSpl = d.offNRefSpl = kNoRefLevel;
    ReadTexts(stream, DatenLatch);
    RequireCountsFit(stream, {{"blocks", d.NumBlock, kBlock176Bytes}, {"values", d.NumWerte, kWertBytes}});
    aSms.clear();
    aB8.resize(static_cast<size_t>(static_cast<int32_t>(d.NumBlock)));
    for (size_t i = 0; i < aB8.size(); ++i) {
        if (version == 10) {
            ReadBlock176Renumber(static_cast<int32_t>(i), stream);
        } else {
            ReadBlock176(static_cast<int32_t>(i), stream);
        }
    }
    ReadCurrentValueRecords(stream, d.NumWerte, aW6);
    // A header-only read checks the whole file as well, then keeps the header.
    if (loadMode != kLoadEverything) {
        aB8.clear();
        aW6.clear();
    }
    return 0;
}

int32_t TDaten::ReadVersion12(QIODevice& stream, int32_t loadMode) {
    TSaveData13& d = DatenLatch.theData;
    const QByteArray fixed = ReadFixedPart(stream, kShortHeaderBytes);
    ReadTexts(stream, DatenLatch);
    CopyVersion12Fields(fixed, d);
    d.Version = kCurrentHeaderVersion;
    d.leqKWarn = LeqKWarnOf(d.WARNLEQ);
    d.kalRefSpl = d.offVRefSpl = d.offNRefSpl = kNoRefLevel;
    return ReadListsByCount(stream, loadMode, false);
}

int32_t TDaten::ReadVersion13(QIODevice& stream, int32_t loadMode) {
    TSaveData13& d = DatenLatch.theData;
    const QByteArray fixed = ReadFixedPart(stream, kHeaderRecordBytes);
    std::memcpy(reinterpret_cast<char*>(&d), fixed.constData(), kHeaderRecordBytes);
    ReadTexts(stream, DatenLatch);
    return ReadListsByCount(stream, loadMode, true);
}

// The lists of versions 12 and 13: blocks of 192 bytes, values, and the
// messages by their count. A header-only read keeps version 13's counts
// and sets version 12's list counts to 0.
int32_t TDaten::ReadListsByCount(QIODevice& stream, int32_t loadMode, bool keepCounts) {
    TSaveData13& d = DatenLatch.theData;
    RequireCountsFit(stream, {{"blocks", d.NumBlock, kBlock192Bytes},
                              {"values", d.NumWerte, kWertBytes},
                              {"messages", d.NumSMS, kLeastMessageBytes}});
    aB8.clear();
    ReadBlocks192(stream);
    ReadCurrentValueRecords(stream, d.NumWerte, aW6);
    ReadStreamMessages(stream, d.NumSMS, aSms);
    // A header-only read checks the whole file as well, then keeps the header.
    if (loadMode != kLoadEverything) {
        if (!keepCounts) {
            d.NumBlock = 0;
            d.NumWerte = 0;
        }
        aB8.clear();
        aW6.clear();
        aSms.clear();
    }
    return 0;
}

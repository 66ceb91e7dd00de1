// Measurement files of versions 2 to 9: one large header record whose texts
// are short strings in fixed rooms, then fixed-size block, value and (8 and
// 9) message records. The header is taken apart by one table with a column
// per version, so a field's offsets can be compared across the versions at
// a glance.
#include <QIODevice>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <span>

#include "store/header_words.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/old_file_records.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kVersions = 7;  // 2, 3, 4, 5, 7, 8, 9

int Column(int32_t version) { return version <= 5 ? version - 2 : version - 3; }

constexpr std::array<int, kVersions> kHeaderBytes = {5292, 7009, 7356, 7852, 7968, 8012, 8016};

// Where a header field lies in one version: offset, and for texts the
// number of lines and the size of each line's room (length byte included).
struct Cell {
    int16_t at = -1;
    int16_t lines = 1;
    int16_t room = 0;
};
constexpr Cell kNone{};
constexpr Cell S(int at, int room) { return Cell{static_cast<int16_t>(at), 1, static_cast<int16_t>(room)}; }
constexpr Cell T(int at, int lines, int room) {
    return Cell{static_cast<int16_t>(at), static_cast<int16_t>(lines), static_cast<int16_t>(room)};
}
constexpr Cell N(int at) { return Cell{static_cast<int16_t>(at), 1, 0}; }
constexpr std::array<Cell, kVersions> Same(Cell c2to5, Cell c7, Cell c8and9) {
    return {c2to5, c2to5, c2to5, c2to5, c7, c8and9, c8and9};
}

enum class Kind : uint8_t {
    Text,        // a short string or multi-line text into a header text
    AddedLine,   // a further line of the header text, joined to it
    I32, I64, F64,
    OldPeakCode, // the peak weighting of versions 2 and 3
};

// Fields outside the version-14 record are marked by this offset.
constexpr size_t kNoNumber = static_cast<size_t>(-1);

struct Row {
    Kind kind;
    QString TsaveItHeader13::*text;
    size_t number;  // offset in TSaveData13
    std::array<Cell, kVersions> cells;
};

constexpr Row Txt(QString TsaveItHeader13::*text, std::array<Cell, kVersions> cells) {
    return Row{Kind::Text, text, kNoNumber, cells};
}
constexpr std::array<Cell, kVersions> Nums(int v2, int v3, int v4, int v5, int v7, int v8, int v9) {
    return {N(v2), N(v3), N(v4), N(v5), N(v7), N(v8), N(v9)};
}
constexpr int kNo = -1;

#define FIELD(name) offsetof(TSaveData13, name)

// Columns: versions 2, 3, 4, 5, 7, 8, 9.
std::span<const Row> HeaderTable() {
    using H = TsaveItHeader13;
    static const Row rows[] = {
        Txt(&H::LocationText, {S(4, 101), S(4, 101), S(4, 101), S(12, 101), S(12, 101), S(12, 101), S(12, 101)}),
        {Kind::F64, nullptr, FIELD(start), Nums(105, 105, 108, 116, 116, 116, 116)},
        Txt(&H::Soundkarte, {S(113, 61), S(113, 61), S(116, 61), S(124, 61), S(124, 61), S(124, 101), S(124, 101)}),
        Txt(&H::Ort, {S(174, 61), S(174, 61), S(177, 61), S(185, 61), S(185, 61), S(225, 61), S(225, 61)}),
        Txt(&H::Plz, {S(235, 7), S(235, 7), S(238, 7), S(246, 7), S(246, 7), S(286, 7), S(286, 7)}),
        {Kind::AddedLine, &H::LocationText, kNoNumber,
         {S(242, 101), S(242, 101), S(245, 101), S(253, 101), S(253, 101), S(293, 101), S(293, 101)}},
        Txt(&H::Adresse, {S(343, 101), S(343, 101), S(346, 101), S(354, 101), S(354, 101), S(394, 101), S(394, 101)}),
        Txt(&H::Veranstaltung,
            {S(444, 101), S(444, 101), S(447, 101), S(455, 101), S(455, 101), S(495, 101), S(495, 101)}),
        Txt(&H::Veranstalter,
            {S(545, 101), S(545, 101), S(548, 101), S(556, 101), S(556, 101), S(596, 101), S(596, 101)}),
        Txt(&H::Verantwortlicher,
            {S(646, 101), S(646, 101), S(649, 101), S(657, 101), S(657, 101), S(697, 101), S(697, 101)}),
        Txt(&H::ZEITRAUM, {S(747, 101), S(747, 101), S(750, 101), S(758, 101), S(758, 101), S(798, 101), S(798, 101)}),
        {Kind::OldPeakCode, nullptr, kNoNumber, Nums(848, 848, kNo, kNo, kNo, kNo, kNo)},
        Txt(&H::Verordnung, {kNone, kNone, kNone, kNone, S(859, 101), S(899, 101), S(899, 101)}),
        {Kind::I32, nullptr, FIELD(LIMITLEQ), Nums(852, 852, 856, 864, 964, 1004, 1004)},
        {Kind::I32, nullptr, FIELD(LIMITPEAK), Nums(856, 856, 860, 868, 968, 1008, 1008)},
        {Kind::F64, nullptr, FIELD(STOP), Nums(860, 860, 864, 872, 972, 1012, 1012)},
        {Kind::F64, nullptr, FIELD(KALTIME), Nums(868, 868, 872, 880, 980, 1020, 1020)},
        Txt(&H::KALTEXT, {T(884, 2, 61), T(884, 2, 61), T(888, 2, 61), T(896, 2, 61), T(996, 2, 61), T(1036, 2, 61),
                          T(1036, 2, 61)}),
        {Kind::F64, nullptr, FIELD(kalVal), Nums(1006, 1006, 1012, 1020, 1120, 1160, 1160)},
        {Kind::F64, nullptr, FIELD(korrTimeA), Nums(1026, 1026, 1032, 1040, 1140, 1180, 1180)},
        {Kind::F64, nullptr, FIELD(korrC), Nums(1034, 1034, 1040, 1048, 1148, 1188, 1188)},
        {Kind::F64, nullptr, FIELD(korrA), Nums(1042, 1042, 1048, 1056, 1156, 1196, 1196)},
        {Kind::I32, nullptr, FIELD(KORRTYP), Nums(1050, 1050, 1056, 1064, 1164, 1204, 1204)},
        Txt(&H::textKorrIA, {T(1054, 1, 81), T(1054, 4, 81), T(1060, 4, 81), T(1068, 4, 81), T(1168, 4, 81),
                             T(1208, 4, 81), T(1208, 4, 81)}),
        Txt(&H::KORRE, {T(1378, 4, 81), T(1378, 4, 81), T(1384, 4, 81), T(1392, 4, 81), T(1492, 4, 81),
                        T(1532, 4, 81), T(1532, 4, 81)}),
        Txt(&H::KORRCALC, {T(1702, 4, 81), T(1702, 4, 81), T(1708, 4, 81), T(1716, 4, 81), T(1816, 4, 81),
                           T(1856, 4, 81), T(1856, 4, 81)}),
        Txt(&H::LimitText, {T(2026, 3, 61), T(2026, 3, 61), T(2032, 3, 61), T(2040, 3, 61), T(2140, 3, 61),
                            T(2180, 3, 61), T(2180, 3, 61)}),
        {Kind::F64, nullptr, FIELD(MAXVAL), Nums(2209, 2209, 2216, 2224, 2324, 2364, 2364)},
        Txt(&H::PAFIRMA,
            {S(2217, 101), S(2217, 101), S(2224, 101), S(2232, 101), S(2332, 101), S(2372, 101), S(2372, 101)}),
        Txt(&H::UNTERSCHREIB,
            {S(2318, 101), S(2318, 101), S(2325, 101), S(2333, 101), S(2433, 101), S(2473, 101), S(2473, 101)}),
        Txt(&H::PAKONTAKT,
            {S(2419, 101), S(2419, 101), S(2426, 101), S(2434, 101), S(2534, 101), S(2574, 101), S(2574, 101)}),
        Txt(&H::HINWEIS, {T(2520, 8, 101), T(2520, 25, 101), T(2527, 25, 101), T(2535, 25, 101), T(2635, 25, 101),
                          T(2675, 25, 101), T(2675, 25, 101)}),
        Txt(&H::PA, {T(3328, 6, 101), T(5045, 6, 101), T(5052, 6, 101), T(5060, 6, 101), T(5160, 6, 101),
                     T(5200, 6, 101), T(5200, 6, 101)}),
        Txt(&H::KORMAXPos, {T(4136, 4, 101), T(5853, 4, 101), T(5860, 4, 101), T(5868, 4, 101), T(5968, 4, 101),
                            T(6008, 4, 101), T(6008, 4, 101)}),
        Txt(&H::KORMESSPos, {T(4540, 4, 101), T(6257, 4, 101), T(6264, 4, 101), T(6272, 4, 101), T(6372, 4, 101),
                             T(6412, 4, 101), T(6412, 4, 101)}),
        {Kind::I32, nullptr, FIELD(WARNPEAK), Nums(4944, 6661, 6668, 6676, 6776, 6816, 6816)},
        {Kind::I32, nullptr, FIELD(WARNLEQ), Nums(4948, 6665, 6672, 6680, 6780, 6820, 6820)},
        {Kind::I32, nullptr, FIELD(INTERVAL), Nums(4952, 6669, 6676, 6684, 6784, 6824, 6824)},
        {Kind::I32, nullptr, FIELD(MODUSID), Nums(4956, 6673, 6680, 6688, 6788, 6828, 6828)},
        Txt(&H::myOwnName,
            {S(4960, 256), S(6677, 256), S(6684, 256), S(6692, 256), S(6792, 256), S(6832, 256), S(6832, 256)}),
        {Kind::F64, nullptr, FIELD(LEQMaxVal), Nums(5216, 6933, 6940, 6948, 7048, 7088, 7088)},
        {Kind::F64, nullptr, FIELD(LEQMaxTime), Nums(5224, kNo, kNo, kNo, kNo, kNo, kNo)},
        {Kind::F64, nullptr, FIELD(PEAKMaxVal), Nums(5232, 6949, 6956, 6964, 7064, 7104, 7104)},
        {Kind::F64, nullptr, FIELD(PEAKMaxTime), Nums(5240, kNo, kNo, kNo, kNo, kNo, kNo)},
        {Kind::F64, nullptr, FIELD(LEQKMaxVal), Nums(5248, 6965, 6972, 6980, 7080, 7120, 7120)},
        {Kind::F64, nullptr, FIELD(LEQKMaxTime), Nums(5256, kNo, kNo, kNo, kNo, kNo, kNo)},
        {Kind::I32, nullptr, FIELD(GRANGE), Nums(5264, 6981, 6988, 6996, 7096, 7136, 7136)},
        {Kind::I32, nullptr, FIELD(GTOP), Nums(5268, 6985, 6992, 7000, 7100, 7140, 7140)},
        {Kind::I32, nullptr, FIELD(DAUERLEQ), Nums(5272, 6989, 6996, 7004, 7104, 7144, 7144)},
        {Kind::I32, nullptr, FIELD(DAUERLEQKURZ), Nums(5276, 6993, 7000, 7008, 7108, 7148, 7148)},
        {Kind::I32, nullptr, FIELD(PEAKWERTE), Nums(5280, 6997, 7004, 7012, 7112, 7152, 7152)},
        {Kind::I32, nullptr, FIELD(NumBlock), Nums(5284, 7001, 7008, 7016, 7116, 7156, 7156)},
        {Kind::I32, nullptr, FIELD(NumWerte), Nums(5288, 7005, 7012, 7020, 7120, 7160, 7160)},
        Txt(&H::COPYKALFROM, {kNone, kNone, S(7016, 101), S(7024, 256), S(7124, 256), S(7164, 256), S(7164, 256)}),
        Txt(&H::COPYKORFROM, {kNone, kNone, S(7117, 101), S(7280, 256), S(7380, 256), S(7420, 256), S(7420, 256)}),
        Txt(&H::COPYDATAFROM,
            {kNone, kNone, S(7218, 101), S(7536, 256), S(7636, 256), S(7676, 256), S(7676, 256)}),
        {Kind::I32, nullptr, FIELD(COPYSTATE), Nums(kNo, kNo, 7320, kNo, 7892, 7932, 7932)},
        {Kind::I64, nullptr, FIELD(VTVERSION), Nums(kNo, kNo, kNo, 7796, 7896, 7936, 7936)},
        {Kind::F64, nullptr, FIELD(CalTimeVMic), Nums(kNo, kNo, 7332, 7804, 7904, 7944, 7944)},
        {Kind::F64, nullptr, FIELD(CalValVMic), Nums(kNo, kNo, 7340, 7812, 7912, 7952, 7952)},
        {Kind::I32, nullptr, FIELD(NachKomma), Nums(kNo, kNo, kNo, kNo, 7928, 7968, 7968)},
        {Kind::I32, nullptr, FIELD(MessDauerFree), Nums(kNo, kNo, kNo, kNo, 7932, 7972, 7972)},
        {Kind::F64, nullptr, FIELD(LEQFull), Nums(kNo, kNo, kNo, kNo, 7936, 7976, 7976)},
        {Kind::I32, nullptr, FIELD(ProtokollStatus), Nums(kNo, kNo, kNo, kNo, kNo, 8000, 8000)},
        {Kind::I32, nullptr, FIELD(NumSMS), Nums(kNo, kNo, kNo, kNo, kNo, 8004, 8004)},
    };
    return rows;
}

#undef FIELD

template <typename T>
void PutNumber(TSaveData13& d, size_t offset, T value) {
    std::memcpy(reinterpret_cast<char*>(&d) + offset, &value, sizeof value);
}

struct HeaderExtras {
    int32_t oldPeakCode = 0;
};

void CopyHeaderFields(const OldRecord& record, int32_t version, TsaveItHeader13& header, HeaderExtras& extras) {
    const int column = Column(version);
    for (const Row& row : HeaderTable()) {
        const Cell cell = row.cells[static_cast<size_t>(column)];
        if (cell.at < 0) {
            continue;
        }
        switch (row.kind) {
        case Kind::Text: header.*row.text = record.Lines(cell.at, cell.lines, cell.room); break;
        case Kind::AddedLine:
            header.*row.text = JoinLines({header.*row.text, record.Lines(cell.at, cell.lines, cell.room)});
            break;
        case Kind::I32: PutNumber(header.theData, row.number, record.I32(cell.at)); break;
        case Kind::I64: PutNumber(header.theData, row.number, record.I64(cell.at)); break;
        case Kind::F64: PutNumber(header.theData, row.number, record.F64(cell.at)); break;
        case Kind::OldPeakCode: extras.oldPeakCode = record.I32(cell.at); break;
        }
    }
}

// Outside main-window life (tests, tools) there is no program file to ask.
int64_t RunningProgramVersion() {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr ? main->getVersionID() : 0;
}

// Versions 2 to 5 kept the peak maximum as a linear amplitude.
double PeakLevelOfLinear(double linear, double kalVal, double korrC) {
    return linear > 0.0 ? 20.0 * std::log10(linear) + kalVal + korrC : 0.0;
}

void SetDerivedNumbers(TSaveData13& d, int32_t version) {
    d.Version = kCurrentHeaderVersion;
    d.kalRefSpl = d.offVRefSpl = d.offNRefSpl = kNoRefLevel;
    d.offValNach = d.offValVor = d.offTimeVor = d.offTimeNach = 0.0;
    d.korrTimeC = d.korrTimeZ = version >= 7 ? static_cast<double>(d.korrTimeA) : 0.0;
    d.korrEMess = d.korrTimeA;
    d.KORRF = 0.0;
    d.minSPLKorr = -60;
    if (version <= 5) {
        d.PEAKMaxVal = PeakLevelOfLinear(d.PEAKMaxVal, d.kalVal, d.korrC);
        d.NachKomma = d.MessDauerFree = 0;
        d.LEQFull = 0.0;
    }
    if (version <= 3) {
        d.COPYSTATE = 0;
        d.CalTimeVMic = 0.0;
        d.CalValVMic = kNoOffDif;
        d.LEQ120 = 0.0;
    }
    if (version <= 4) {
        d.VTVERSION = RunningProgramVersion();
    }
    if (version <= 7) {
        d.NumSMS = 0;
    }
    if (version >= 5) {
        d.LimitLeqK = d.LIMITLEQ;
        d.leqKWarn = LeqKWarnOf(d.WARNLEQ);
        d.PRECISION = -1;
        d.KalGain = -200;
    }
    if (version == 5 || version == 7) {
        d.ProtokollStatus = 37;
    }
    if (version >= 8) {
        d.statusInfo = 0;
    }
}

void SetDerivedTexts(TsaveItHeader13& h, int32_t version) {
    h.KALOFF = h.KALTEXT;
    if (version <= 3) {
        h.textKorrIC.clear();
        h.textKorrIF.clear();
        h.COPYKALFROM.clear();
        h.COPYKORFROM.clear();
        h.COPYDATAFROM.clear();
    } else if (version == 8) {
        // Version 8 kept the Z correction text apart; the fresh store's is kept.
        h.textKorrIC.clear();
    } else {
        h.textKorrIC = h.textKorrIA;
        h.textKorrIF = h.textKorrIA;
    }
    if (version == 5) {
        h.Verordnung = h.theData.MODUSID == 0 ? QStringLiteral("DIN 15905-5") : GetLangText(826);
    }
}

// Versions 2 and 3 knew one weighting for the peak; both Leqs were A.
void SetOldWeightings(TSaveData13& d, int32_t oldPeakCode) {
    const int32_t peak = oldPeakCode == 0 ? kWeightingC : oldPeakCode == 1 ? kWeightingA : kWeightingZ;
    int32_t word = d.GEWICHTUNG;
    word = WithWeighting(word, kQuantityPeak, peak);
    word = WithWeighting(word, kQuantityLeq, kWeightingA);
    word = WithWeighting(word, kQuantityLeqK, kWeightingA);
    d.GEWICHTUNG = word;
}

int BlockBytes(int32_t version) { return version <= 3 ? 165 : version <= 5 ? 168 : 176; }
int ValueBytes(int32_t version) { return version <= 5 ? 36 : 44; }
constexpr int kMessageBytes = 112;

TBlockDaten8 ShortBlock(const OldRecord& r, int32_t index, int remarkRoom) {
    TBlockDaten8 b = BlockWithoutShortTermLeq(r, 0, remarkRoom);
    b.id = index + 1;
    b.valDif = 0;
    return b;
}

TSaveIT6 ShortValue(const OldRecord& r, int32_t index) {
    TSaveIT6 w;
    w.id = index + 1;
    w.valDif = 0;
    w.TimeStamp = r.F64(0);
    w.clipCount = r.I32(8);
    w.Peak = r.F64(12);
    w.LeqK = r.F64(20);
    w.leq = r.F64(28);
    return w;
}

}  // namespace

int32_t TDaten::ReadVersion2To9(QIODevice& stream, int32_t loadMode, int32_t version, QString& why) {
    const OldRecord record = OldRecord::Read(stream, kHeaderBytes[static_cast<size_t>(Column(version))],
                                             QStringLiteral("the header record"));
    TsaveItHeader13& h = DatenLatch;
    TSaveData13& d = h.theData;
    HeaderExtras extras;
    CopyHeaderFields(record, version, h, extras);
    SetDerivedNumbers(d, version);
    SetDerivedTexts(h, version);
    for (QString TsaveItHeader13::*text : kHeaderTextFields) {
        h.*text = AsStoredText(h.*text);
    }
    if (version == 2) {
        SetOldWeightings(d, extras.oldPeakCode);
    }
    if (version == 3) {
        d.GRANGE = d.GRANGE | kCurveBits;
    }
    const bool withMessages = version >= 8;
    RequireCountsFit(stream, {{"blocks", d.NumBlock, BlockBytes(version)},
                              {"values", d.NumWerte, ValueBytes(version)},
                              {"messages", withMessages ? static_cast<int32_t>(d.NumSMS) : 0, kMessageBytes}});

    aB8.resize(static_cast<size_t>(static_cast<int32_t>(d.NumBlock)));
    for (size_t i = 0; i < aB8.size(); ++i) {
        if (version >= 7) {
            ReadBlock176Renumber(static_cast<int32_t>(i), stream);
        } else {
            const OldRecord block = OldRecord::Read(stream, BlockBytes(version), RecordName("block", i));
            aB8[i] = ShortBlock(block, static_cast<int32_t>(i), version <= 3 ? 101 : 104);
        }
    }
    if (version >= 7) {
        ReadCurrentValueRecords(stream, d.NumWerte, aW6);
    } else {
        aW6.resize(static_cast<size_t>(static_cast<int32_t>(d.NumWerte)));
        for (size_t i = 0; i < aW6.size(); ++i) {
            aW6[i] = ShortValue(OldRecord::Read(stream, ValueBytes(version), RecordName("value", i)),
                                static_cast<int32_t>(i));
        }
    }
    if (withMessages) {
        aSms.resize(static_cast<size_t>(static_cast<int32_t>(d.NumSMS)));
        for (size_t i = 0; i < aSms.size(); ++i) {
            const OldRecord message = OldRecord::Read(stream, kMessageBytes, RecordName("message", i));
            aSms[i].zeitpunkt = message.F64(0);
            aSms[i].meldung = AsStoredText(message.Short(8, 104));
        }
    }
    // A header-only read checks the whole file as well, then keeps the header.
    if (loadMode != kLoadEverything) {
        d.NumBlock = 0;
        d.NumWerte = 0;
        aB8.clear();
        aW6.clear();
        aSms.clear();
        if (version == 3) {
            why = QStringLiteral("files of version 3 are read whole only");
            return 1;
        }
        return 0;
    }

    if (version == 3) {
        SetOldWeightings(d, extras.oldPeakCode);
    }
    return 0;
}

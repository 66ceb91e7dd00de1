#pragma once
// Measurement files of the older format versions 2 to 5 and 7 to 13, put
// together byte by byte at the offsets of the published file layouts. The
// generator keeps its own transcription of the layouts (one row per
// version) and never uses the program's records or reader tables, so a
// mistake in either shows as a difference.
//
// Short strings are Windows-1252 bytes; the strings the program should read
// from them are listed beside them in Expected*.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstring>
#include <vector>

namespace old_files {

constexpr double kT0 = 46000.75;  // 2025-12-09 18:00
constexpr double kMinute = 1.0 / 1440.0;

// What a fixture holds; the defaults give the standard fixture of 2 blocks,
// 3 values and 2 messages.
struct Content {
    int32_t numBlock = 2;
    int32_t numWerte = 3;
    int32_t numSms = 2;
    int writtenBlocks = 2;
    int writtenWerte = 3;
    int writtenSms = 2;
    int32_t oldPeakCode = 0;
    double linearPeak = 1.0;
    double kalVal = 100.0;
    double korrC = 1.5;
    int32_t modusId = 0;
    int32_t warnLeq = 94;
    int32_t firstBlockId = 17;
};

class Writer {
public:
    QByteArray data;

    explicit Writer(int size = 0) : data(size, '\0') {}
    void I32At(int at, int32_t v) { qToLittleEndian(v, data.data() + at); }
    void I64At(int at, int64_t v) { qToLittleEndian(v, data.data() + at); }
    void F64At(int at, double v) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof v);
        qToLittleEndian(bits, data.data() + at);
    }
    void ShortAt(int at, const QByteArray& text) {
        data[at] = static_cast<char>(text.size());
        std::memcpy(data.data() + at + 1, text.constData(), static_cast<size_t>(text.size()));
    }
    void LinesAt(int at, int room, const QList<QByteArray>& lines) {
        for (int i = 0; i < lines.size(); ++i) {
            ShortAt(at + i * room, lines[i]);
        }
    }
    void Append(const QByteArray& bytes) { data.append(bytes); }
    void StreamText(const QString& s) {
        Writer count(4);
        count.I32At(0, static_cast<int32_t>(s.size() * 2));
        Append(count.data);
        for (QChar c : s) {
            data.append(static_cast<char>(c.unicode() & 0xFF));
            data.append(static_cast<char>(c.unicode() >> 8));
        }
    }
};

// ---- versions 2 to 9 --------------------------------------------------------

// Offsets of one version's header record; -1 where the version has no field.
struct Layout29 {
    int size, soundRoom, copyRoom, korrIALines, hinweisLines;
    int loc1, start, sound, ort, plz, loc2, adresse, veranstaltung, veranstalter, verantwortlicher, zeitraum;
    int peakCode, verordnung, limitLeq, limitPeak, stop, kalTime, kalText, kalVal, korrTimeA, korrC, korrA, korrTyp;
    int korrIA, korrE, korrCalc, limitText, maxVal, paFirma, unterschreib, paKontakt, hinweis, pa, korMax, korMess;
    int warnPeak, warnLeq, interval, modusId, ownName, leqMax, leqMaxTime, peakMax, peakMaxTime, leqKMax, leqKMaxTime;
    int grange, gtop, dauerLeq, dauerLeqKurz, peakWerte, numBlock, numWerte;
    int copyKal, copyKor, copyData, copyState, vtVersion, calTimeV, calValV, nachKomma, messDauerFree, leqFull;
    int protokoll, numSms;
};

inline const Layout29& LayoutOf(int version) {
    static const Layout29 v2{5292, 61, 0, 1, 8,
                             4, 105, 113, 174, 235, 242, 343, 444, 545, 646, 747,
                             848, -1, 852, 856, 860, 868, 884, 1006, 1026, 1034, 1042, 1050,
                             1054, 1378, 1702, 2026, 2209, 2217, 2318, 2419, 2520, 3328, 4136, 4540,
                             4944, 4948, 4952, 4956, 4960, 5216, 5224, 5232, 5240, 5248, 5256,
                             5264, 5268, 5272, 5276, 5280, 5284, 5288,
                             -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                             -1, -1};
    static const Layout29 v3{7009, 61, 0, 4, 25,
                             4, 105, 113, 174, 235, 242, 343, 444, 545, 646, 747,
                             848, -1, 852, 856, 860, 868, 884, 1006, 1026, 1034, 1042, 1050,
                             1054, 1378, 1702, 2026, 2209, 2217, 2318, 2419, 2520, 5045, 5853, 6257,
                             6661, 6665, 6669, 6673, 6677, 6933, -1, 6949, -1, 6965, -1,
                             6981, 6985, 6989, 6993, 6997, 7001, 7005,
                             -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                             -1, -1};
    static const Layout29 v4{7356, 61, 101, 4, 25,
                             4, 108, 116, 177, 238, 245, 346, 447, 548, 649, 750,
                             -1, -1, 856, 860, 864, 872, 888, 1012, 1032, 1040, 1048, 1056,
                             1060, 1384, 1708, 2032, 2216, 2224, 2325, 2426, 2527, 5052, 5860, 6264,
                             6668, 6672, 6676, 6680, 6684, 6940, -1, 6956, -1, 6972, -1,
                             6988, 6992, 6996, 7000, 7004, 7008, 7012,
                             7016, 7117, 7218, 7320, -1, 7332, 7340, -1, -1, -1,
                             -1, -1};
    static const Layout29 v5{7852, 61, 256, 4, 25,
                             12, 116, 124, 185, 246, 253, 354, 455, 556, 657, 758,
                             -1, -1, 864, 868, 872, 880, 896, 1020, 1040, 1048, 1056, 1064,
                             1068, 1392, 1716, 2040, 2224, 2232, 2333, 2434, 2535, 5060, 5868, 6272,
                             6676, 6680, 6684, 6688, 6692, 6948, -1, 6964, -1, 6980, -1,
                             6996, 7000, 7004, 7008, 7012, 7016, 7020,
                             7024, 7280, 7536, -1, 7796, 7804, 7812, -1, -1, -1,
                             -1, -1};
    static const Layout29 v7{7968, 61, 256, 4, 25,
                             12, 116, 124, 185, 246, 253, 354, 455, 556, 657, 758,
                             -1, 859, 964, 968, 972, 980, 996, 1120, 1140, 1148, 1156, 1164,
                             1168, 1492, 1816, 2140, 2324, 2332, 2433, 2534, 2635, 5160, 5968, 6372,
                             6776, 6780, 6784, 6788, 6792, 7048, -1, 7064, -1, 7080, -1,
                             7096, 7100, 7104, 7108, 7112, 7116, 7120,
                             7124, 7380, 7636, 7892, 7896, 7904, 7912, 7928, 7932, 7936,
                             -1, -1};
    static const Layout29 v8{8012, 101, 256, 4, 25,
                             12, 116, 124, 225, 286, 293, 394, 495, 596, 697, 798,
                             -1, 899, 1004, 1008, 1012, 1020, 1036, 1160, 1180, 1188, 1196, 1204,
                             1208, 1532, 1856, 2180, 2364, 2372, 2473, 2574, 2675, 5200, 6008, 6412,
                             6816, 6820, 6824, 6828, 6832, 7088, -1, 7104, -1, 7120, -1,
                             7136, 7140, 7144, 7148, 7152, 7156, 7160,
                             7164, 7420, 7676, 7932, 7936, 7944, 7952, 7968, 7972, 7976,
                             8000, 8004};
    static const Layout29 v9 = [] {
        Layout29 l = v8;
        l.size = 8016;
        return l;
    }();
    switch (version) {
    case 2: return v2;
    case 3: return v3;
    case 4: return v4;
    case 5: return v5;
    case 7: return v7;
    case 8: return v8;
    default: return v9;
    }
}

inline int BlockBytes29(int version) { return version <= 3 ? 165 : version <= 5 ? 168 : 176; }
inline int ValueBytes29(int version) { return version <= 5 ? 36 : 44; }

// The texts of the fixtures: Windows-1252 lines and what they read as.
inline QByteArray Cp(const char* s) { return QByteArray(s); }

inline QString ExpectedLocation() { return QStringLiteral("B\u00fchne Nord\r\nEingang West"); }
inline QString ExpectedOrt() { return QStringLiteral("K\u00f6ln"); }
inline QString ExpectedVeranstaltung() { return QStringLiteral("Stra\u00dfenfest"); }
inline QString ExpectedKalText() { return QStringLiteral("Kalibrator\r\nTyp 4231"); }
// The lines "A-Korrektur", "" and "Zeile 3"; version 2 keeps one line only.
inline QString ExpectedKorrIA(int version) {
    return version == 2 ? QStringLiteral("A-Korrektur") : QStringLiteral("A-Korrektur\r\nZeile 3");
}
inline QString ExpectedKorrE() { return QStringLiteral("Messung \u20ac"); }
inline QString ExpectedLimitText() { return QStringLiteral("99 dB"); }  // lines "", "99 dB"
inline QString ExpectedUnterschreib() { return QStringLiteral("\u00d6. Meier"); }
// The first two lines and the last line of the room.
inline QString ExpectedHinweis() { return QStringLiteral("Hinweis 1\r\nHinweis 2\r\nHinweis 3"); }
inline QString ExpectedRemark() { return QStringLiteral("Abweichung \u00b12 dB"); }
inline QString ExpectedMessage(int m) {
    return m == 0 ? QStringLiteral("Start") : QStringLiteral("Grenzwert \u00fcberschritten");
}
inline QString ExpectedVerordnung() { return QStringLiteral("DIN 15905-5:2007"); }
constexpr int64_t kFileVtVersion = 0x0001000200030004LL;
constexpr double kPeakMaxLevel = 127.5;  // versions 7 and up store the level itself

inline void WriteHeader29(Writer& w, int version, const Content& c) {
    const Layout29& l = LayoutOf(version);
    w.I32At(0, version);
    w.ShortAt(l.loc1, Cp("B\xFChne Nord"));
    w.F64At(l.start, kT0);
    w.ShortAt(l.sound, Cp("USB Audio"));
    w.ShortAt(l.ort, Cp("K\xF6ln"));
    w.ShortAt(l.plz, Cp("50667"));
    w.ShortAt(l.loc2, Cp("Eingang West"));
    w.ShortAt(l.adresse, Cp("Domplatz 1"));
    w.ShortAt(l.veranstaltung, Cp("Stra\xDF" "enfest"));
    w.ShortAt(l.veranstalter, Cp("Stadt K\xF6ln"));
    w.ShortAt(l.verantwortlicher, Cp("M\xFCller Akustik"));
    w.ShortAt(l.zeitraum, Cp("18-23 Uhr"));
    if (l.peakCode >= 0) w.I32At(l.peakCode, c.oldPeakCode);
    if (l.verordnung >= 0) w.ShortAt(l.verordnung, Cp("DIN 15905-5:2007"));
    w.I32At(l.limitLeq, 99);
    w.I32At(l.limitPeak, 135);
    w.F64At(l.stop, kT0 + 0.2);
    w.F64At(l.kalTime, kT0 - 0.01);
    w.LinesAt(l.kalText, 61, {Cp("Kalibrator"), Cp("Typ 4231")});
    w.F64At(l.kalVal, c.kalVal);
    w.F64At(l.korrTimeA, kT0 - 0.005);
    w.F64At(l.korrC, c.korrC);
    w.F64At(l.korrA, 2.5);
    w.I32At(l.korrTyp, 1);
    if (l.korrIALines == 1) {
        w.LinesAt(l.korrIA, 81, {Cp("A-Korrektur")});
        w.LinesAt(l.korrIA + 81, 81, {Cp("not read")});  // the rest of the room
    } else {
        w.LinesAt(l.korrIA, 81, {Cp("A-Korrektur"), Cp(""), Cp("Zeile 3")});
    }
    w.LinesAt(l.korrE, 81, {Cp("Messung \x80")});
    w.LinesAt(l.korrCalc, 81, {Cp("Rechnung"), Cp(""), Cp(""), Cp("Teil 2")});
    w.LinesAt(l.limitText, 61, {Cp(""), Cp("99 dB")});
    w.F64At(l.maxVal, 99.5);
    w.ShortAt(l.paFirma, Cp("PA GmbH"));
    w.ShortAt(l.unterschreib, Cp("\xD6. Meier"));
    w.ShortAt(l.paKontakt, Cp("0221 123"));
    w.LinesAt(l.hinweis, 101, {Cp("Hinweis 1"), Cp("Hinweis 2")});
    w.LinesAt(l.hinweis + (l.hinweisLines - 1) * 101, 101, {Cp("Hinweis 3")});
    w.LinesAt(l.pa, 101, {Cp("Line Array")});
    w.LinesAt(l.korMax, 101, {Cp("FOH")});
    w.LinesAt(l.korMess, 101, {Cp("B\xFChnenrand")});
    w.I32At(l.warnPeak, 130);
    w.I32At(l.warnLeq, c.warnLeq);
    w.I32At(l.interval, 60);
    w.I32At(l.modusId, c.modusId);
    w.ShortAt(l.ownName, Cp("messung.vtm"));
    w.F64At(l.leqMax, 97.25);
    if (l.leqMaxTime >= 0) w.F64At(l.leqMaxTime, kT0 + 0.1);
    w.F64At(l.peakMax, version <= 5 ? c.linearPeak : kPeakMaxLevel);
    if (l.peakMaxTime >= 0) w.F64At(l.peakMaxTime, kT0 + 0.11);
    w.F64At(l.leqKMax, 99.75);
    if (l.leqKMaxTime >= 0) w.F64At(l.leqKMaxTime, kT0 + 0.12);
    w.I32At(l.grange, 90);
    w.I32At(l.gtop, 120);
    w.I32At(l.dauerLeq, 1800);
    w.I32At(l.dauerLeqKurz, 10);
    w.I32At(l.peakWerte, 1680);
    w.I32At(l.numBlock, c.numBlock);
    w.I32At(l.numWerte, c.numWerte);
    if (l.copyKal >= 0) {
        w.ShortAt(l.copyKal, Cp("kal.vtm"));
        w.ShortAt(l.copyKor, Cp("kor.vtm"));
        w.ShortAt(l.copyData, Cp("daten.vtm"));
    }
    if (l.copyState >= 0) w.I32At(l.copyState, 5);
    if (version == 5) w.I32At(7792, 6);  // after the last copy text: no field of version 5
    if (l.vtVersion >= 0) w.I64At(l.vtVersion, kFileVtVersion);
    if (l.calTimeV >= 0) {
        w.F64At(l.calTimeV, kT0 - 1.0);
        w.F64At(l.calValV, 94.1);
    }
    if (l.nachKomma >= 0) {
        w.I32At(l.nachKomma, 1);
        w.I32At(l.messDauerFree, 120);
        w.F64At(l.leqFull, 96.5);
    }
    if (l.protokoll >= 0) {
        w.I32At(l.protokoll, 33);
        w.I32At(l.numSms, c.numSms);
    }
}

inline QByteArray Remark(int b) { return b == 1 ? Cp("Abweichung \xB1" "2 dB") : QByteArray(); }

inline void AppendBlocks29(Writer& w, int version, const Content& c) {
    for (int b = 0; b < c.writtenBlocks; ++b) {
        Writer r(BlockBytes29(version));
        const int o = version >= 7 ? 8 : 0;  // the 176-byte record begins with id and valDif
        if (version >= 7) {
            r.I32At(0, c.firstBlockId + b);
            r.I32At(4, 3);
        }
        r.F64At(o + 0, 121.5 + b);
        r.I32At(o + 8, 14400);
        r.F64At(o + 12, kT0 + 0.003);
        r.F64At(o + 20, 95.25 + b);
        r.F64At(o + 28, kT0 + b * 0.02);
        r.F64At(o + 36, kT0 + (b + 1) * 0.02);
        r.F64At(o + 44, kT0 + (b + 2) * 0.02);
        r.F64At(o + 52, kT0 + 0.001);
        r.I32At(o + 60, 3 * b);
        r.ShortAt(o + 64, Remark(b));
        w.Append(r.data);
    }
}

inline QByteArray ValueRecord44(int v) {
    Writer r(44);
    r.I32At(0, 7 + v);
    r.I32At(4, 1);
    r.F64At(8, kT0 + (v + 1) * kMinute);
    r.I32At(16, v);
    r.F64At(20, 120.0 + v);
    r.F64At(28, 96.0 + v);
    r.F64At(36, 94.0 + v);
    return r.data;
}

inline void AppendValues29(Writer& w, int version, const Content& c) {
    for (int v = 0; v < c.writtenWerte; ++v) {
        if (version >= 7) {
            w.Append(ValueRecord44(v));
            continue;
        }
        Writer r(36);
        r.F64At(0, kT0 + (v + 1) * kMinute);
        r.I32At(8, v);
        r.F64At(12, 120.0 + v);
        r.F64At(20, 96.0 + v);
        r.F64At(28, 94.0 + v);
        w.Append(r.data);
    }
}

inline void AppendMessages29(Writer& w, const Content& c) {
    const QByteArray texts[] = {Cp("Start"), Cp("Grenzwert \xFC" "berschritten")};
    for (int m = 0; m < c.writtenSms; ++m) {
        Writer r(112);
        r.F64At(0, kT0 + 0.01 * (m + 1));
        r.ShortAt(8, texts[m % 2]);
        w.Append(r.data);
    }
}

// ---- versions 10 to 13 ---------------------------------------------------------

// The texts in file order (KALOFF last), as stream strings.
inline QList<QString> StreamTexts() {
    return {QStringLiteral("USB Audio"), ExpectedOrt(), QStringLiteral("50667"), ExpectedLocation(),
            QStringLiteral("Domplatz 1"), ExpectedVeranstaltung(), QStringLiteral("Stadt K\u00f6ln"),
            QStringLiteral("M\u00fcller Akustik"), QStringLiteral("18-23 Uhr"), ExpectedVerordnung(),
            ExpectedKalText(), ExpectedKorrIA(10), QStringLiteral("C-Korrektur"), QStringLiteral("Z-Korrektur"),
            ExpectedKorrE(), QStringLiteral("Rechnung\r\nTeil 2"), ExpectedLimitText(), QStringLiteral("PA GmbH"),
            ExpectedUnterschreib(), QStringLiteral("0221 123"), ExpectedHinweis(), QStringLiteral("Line Array"),
            QStringLiteral("FOH"), QStringLiteral("B\u00fchnenrand"), QStringLiteral("messung.vtm"),
            QStringLiteral("kal.vtm"), QStringLiteral("kor.vtm"), QStringLiteral("daten.vtm"),
            QStringLiteral("Pegelpr\u00fcfer")};
}

constexpr double kFileRefLevel = 94.0;
constexpr double kFileLimitLeqK = 101.0;
constexpr uint32_t kFileLeqKWarn = 93;

// One number of the fixed part at its version-14 offset.
struct FixedField {
    int at;
    char kind;  // 'i' int32, 'l' int64, 'd' float64
    int64_t whole;
    double real;
};

// The fixed part's numbers in the version-14 order; the reference levels
// at 56, 72 and 88 hold kFileRefLevel.
inline std::vector<FixedField> FixedFields(int version, const Content& c) {
    auto i = [](int at, int64_t v) { return FixedField{at, 'i', v, 0.0}; };
    auto l = [](int at, int64_t v) { return FixedField{at, 'l', v, 0.0}; };
    auto d = [](int at, double v) { return FixedField{at, 'd', 0, v}; };
    return {i(0, version), d(12, kT0), i(20, 0x112), i(24, 99), i(28, 135), d(32, kT0 + 0.2), d(40, kT0 - 0.01),
            d(48, c.kalVal), d(56, kFileRefLevel), d(64, 93.8), d(72, kFileRefLevel), d(80, 93.9),
            d(88, kFileRefLevel), i(96, 1), d(100, kT0 - 0.005), d(108, kT0 - 0.004), d(116, kT0 - 0.003),
            d(124, kT0 - 0.009), d(132, kT0 + 0.21), d(140, kT0 - 0.006), d(148, 2.5), d(156, c.korrC), d(164, 0.5),
            i(172, 1), d(176, 99.5), i(184, 130), i(188, c.warnLeq), i(192, 60), i(196, c.modusId), i(200, 1),
            d(204, 97.25), d(212, kT0 + 0.1), d(220, kPeakMaxLevel), d(228, kT0 + 0.11), d(236, 99.75),
            d(244, kT0 + 0.12), i(252, 90), i(256, 120), i(260, 1800), i(264, 10), i(268, 1680), i(272, c.numBlock),
            i(276, c.numWerte), i(280, 5), l(284, kFileVtVersion), d(292, kT0 - 1.0), d(300, 94.1), d(308, 92.5),
            i(316, 1), i(320, 120), d(324, 96.5), d(332, kFileLimitLeqK), i(340, 33), i(344, c.numSms), i(348, 3),
            i(352, 2), i(356, -50), i(360, 1), i(364, kFileLeqKWarn)};
}

inline bool IsReferenceLevel(int at) { return at == 56 || at == 72 || at == 88; }

// Version 12 is the version-14 order without the three reference levels.
inline int Version12Offset(int at) { return at - 8 * ((at > 56) + (at > 72) + (at > 88)); }

// The fixed part of version (10, 11, 12 or 13); 10 to 12 end after 344 bytes.
inline QByteArray FixedPart(int version, const Content& c) {
    Writer w(version == 13 ? 368 : 344);
    for (const FixedField& f : FixedFields(version, c)) {
        if (version == 12 && IsReferenceLevel(f.at)) continue;
        const int at = version == 12 ? Version12Offset(f.at) : f.at;
        if (at >= w.data.size()) continue;
        switch (f.kind) {
        case 'i': w.I32At(at, static_cast<int32_t>(f.whole)); break;
        case 'l': w.I64At(at, f.whole); break;
        default: w.F64At(at, f.real); break;
        }
    }
    return w.data;
}

inline void AppendBlocks10To13(Writer& w, int version, const Content& c) {
    for (int b = 0; b < c.writtenBlocks; ++b) {
        if (version <= 11) {
            Writer r(176);
            r.I32At(0, c.firstBlockId + b);
            r.I32At(4, 3);
            r.F64At(8, 121.5 + b);
            r.I32At(16, 14400);
            r.F64At(20, kT0 + 0.003);
            r.F64At(28, 95.25 + b);
            r.F64At(36, kT0 + b * 0.02);
            r.F64At(44, kT0 + (b + 1) * 0.02);
            r.F64At(52, kT0 + (b + 2) * 0.02);
            r.F64At(60, kT0 + 0.001);
            r.I32At(68, 3 * b);
            r.ShortAt(72, Remark(b));
            w.Append(r.data);
            continue;
        }
        Writer r(192);
        r.I32At(0, c.firstBlockId + b);
        r.I32At(4, 3);
        r.F64At(8, 121.5 + b);
        r.I32At(16, 14400);
        r.F64At(20, kT0 + 0.003);
        r.F64At(28, 95.25 + b);
        r.F64At(36, 97.0 + b);
        r.F64At(44, kT0 + b * 0.02);
        r.F64At(52, kT0 + (b + 1) * 0.02);
        r.F64At(60, kT0 + (b + 2) * 0.02);
        r.F64At(68, kT0 + 0.001);
        r.F64At(76, kT0 + 0.002);
        r.I32At(84, 3 * b);
        r.ShortAt(88, Remark(b));
        w.Append(r.data);
    }
}

// The file of version (2 to 5, 7 to 13) with content c.
inline QByteArray OldFile(int version, const Content& c = {}) {
    Writer w;
    if (version <= 9) {
        w = Writer(LayoutOf(version).size);
        WriteHeader29(w, version, c);
        AppendBlocks29(w, version, c);
        AppendValues29(w, version, c);
        if (version >= 8) {
            AppendMessages29(w, c);
        }
        return w.data;
    }
    w.Append(FixedPart(version, c));
    for (const QString& text : StreamTexts()) {
        w.StreamText(text);
    }
    AppendBlocks10To13(w, version, c);
    for (int v = 0; v < c.writtenWerte; ++v) {
        w.Append(ValueRecord44(v));
    }
    if (version >= 12) {
        for (int m = 0; m < c.writtenSms; ++m) {
            Writer time(8);
            time.F64At(0, kT0 + 0.01 * (m + 1));
            w.Append(time.data);
            w.StreamText(ExpectedMessage(m % 2));
        }
    }
    return w.data;
}

inline constexpr int kOldVersions[] = {2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13};

}  // namespace old_files

#pragma once
// The records of one measurement: the fixed header part, one stored value,
// one closed Leq interval block, one timed message, and the whole in-memory
// header with its texts.
//
// TSaveData13, TSaveIT6 and the fixed part of TBlockDaten8 are written to and
// read from files byte for byte, so their layout is pinned: packed, fixed
// widths, little-endian. The program runs on little-endian machines only
// (x86-64 and aarch64 Linux); the assertion below stops a build anywhere
// else instead of letting it write files no other machine can read.
//
// Fields of a packed record may sit at unaligned offsets: read and write them
// by plain member access (which the compiler knows to be unaligned), never
// through a pointer or reference to the member.
#include <QString>

#include <array>
#include <bit>
#include <cstdint>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "the measurement records are stored raw and assume a little-endian machine");

#pragma pack(push, 1)

// The fixed part of a measurement header, format version 14. Date-times count
// days since 1899-12-30 (0 or below, or -1.0, means "not set"); levels are dB.
struct TSaveData13 {
    int32_t Version = 0;
    int64_t DataSize = 0;
    double start = 0.0;
    int32_t GEWICHTUNG = 0;  // weighting codes: bits 0-3 peak, 4-7 Leq, 8-11 short-term Leq
    int32_t LIMITLEQ = 0;
    int32_t LIMITPEAK = 0;
    double STOP = 0.0;
    double KALTIME = 0.0;
    double kalVal = 0.0;
    double kalRefSpl = 0.0;
    double offValNach = 0.0;
    double offVRefSpl = 0.0;
    double offValVor = 0.0;
    double offNRefSpl = 0.0;
    int32_t KALART = 0;
    double korrTimeA = 0.0;
    double korrTimeC = 0.0;
    double korrTimeZ = 0.0;
    double offTimeVor = 0.0;
    double offTimeNach = 0.0;
    double korrEMess = 0.0;
    double korrA = 0.0;
    double korrC = 0.0;
    double KORRF = 0.0;
    int32_t KORRTYP = 0;
    double MAXVAL = 0.0;
    int32_t WARNPEAK = 0;
    int32_t WARNLEQ = 0;
    int32_t INTERVAL = 0;
    int32_t MODUSID = 0;
    int32_t PRECISION = 0;
    double LEQMaxVal = 0.0;
    double LEQMaxTime = 0.0;
    double PEAKMaxVal = 0.0;
    double PEAKMaxTime = 0.0;
    double LEQKMaxVal = 0.0;
    double LEQKMaxTime = 0.0;
    int32_t GRANGE = 0;  // bits 0-7 graph range in dB; bits 8, 9, 10 show Leq, short-term Leq, peak
    int32_t GTOP = 0;
    int32_t DAUERLEQ = 0;
    int32_t DAUERLEQKURZ = 0;
    int32_t PEAKWERTE = 0;
    int32_t NumBlock = 0;
    int32_t NumWerte = 0;
    int32_t COPYSTATE = 0;
    int64_t VTVERSION = 0;
    double CalTimeVMic = 0.0;
    double CalValVMic = 0.0;
    double LEQ120 = 0.0;
    int32_t NachKomma = 0;
    int32_t MessDauerFree = 0;
    double LEQFull = 0.0;
    double LimitLeqK = 0.0;
    int32_t ProtokollStatus = 0;  // forced 1, 2, 4 and information 16, 32, 64: Leq, short-term Leq, peak
    int32_t NumSMS = 0;
    int32_t KalGain = 0;
    int32_t statusInfo = 0;  // bit 1: a value below 2 dB continues the previous one
    int32_t minSPLKorr = 0;
    uint32_t options = 0;  // bit 0: music-correction mode
    uint32_t leqKWarn = 0;
};

// One stored value: the maxima of one save interval.
struct TSaveIT6 {
    int32_t id = 0;
    int32_t valDif = 0;
    double TimeStamp = 0.0;  // end of the save interval
    int32_t clipCount = 0;
    double Peak = 0.0;
    double LeqK = 0.0;
    double leq = 0.0;
};

// The numbers of one closed Leq interval block, in the order and widths in
// which a block is stored in files.
struct TBlockDaten8Fields {
    int32_t id = 0;
    int32_t valDif = 0;  // expected minus collected 125 ms level blocks
    double dBCMax = 0.0;  // highest peak in the block
    int32_t currentCount = 0;
    double leq = 0.0;
    double leqK = 0.0;  // highest short-term Leq
    double start = 0.0;
    double ende = 0.0;
    double next = 0.0;
    double LeqHighTime = 0.0;
    double LeqKHighTime = 0.0;
    double PeakHighTime = 0.0;
    int32_t clipCount = 0;
};

#pragma pack(pop)

static_assert(sizeof(TSaveData13) == 368);
static_assert(sizeof(TSaveIT6) == 44);
static_assert(sizeof(TBlockDaten8Fields) == 88);
static_assert(std::is_trivially_copyable_v<TSaveData13> && std::is_standard_layout_v<TSaveData13>);
static_assert(std::is_trivially_copyable_v<TSaveIT6> && std::is_standard_layout_v<TSaveIT6>);
static_assert(std::is_trivially_copyable_v<TBlockDaten8Fields> && std::is_standard_layout_v<TBlockDaten8Fields>);

// One closed Leq interval block: its numbers and a remark (for example a
// deviation remark), which files store as a stream string after the numbers.
struct TBlockDaten8 : TBlockDaten8Fields {
    QString remarkStr;
};

// One timed message of a measurement.
struct TSMS {
    double zeitpunkt = 0.0;
    QString meldung;
};

// The maxima of a measurement with their times.
struct TMaxInfo {
    double maxLeqVal = 0.0;
    double maxLeqKVal = 0.0;
    double maxPeakVal = 0.0;
    double maxLeqTime = 0.0;
    double maxLeqKTime = 0.0;
    double maxPeakTime = 0.0;
};

// The whole header of a measurement in memory: the fixed part and 29 texts,
// in this order. Files store the texts in another order.
struct TsaveItHeader13 {
    TSaveData13 theData;
    QString Soundkarte;        // sound-card name
    QString Ort;               // town
    QString Plz;               // postal code
    QString LocationText;      // description of the measuring location
    QString Adresse;           // street address
    QString Veranstaltung;     // event
    QString Veranstalter;      // organiser
    QString Verantwortlicher;  // responsible person or measuring company
    QString ZEITRAUM;          // period
    QString Verordnung;        // name of the measuring regulation
    QString KALTEXT;           // calibration description
    QString KALOFF;            // description of the check device
    QString textKorrIA;        // text of the A correction
    QString textKorrIC;        // text of the C correction
    QString textKorrIF;        // text of the Z correction
    QString KORRE;             // text of the correction measurement
    QString KORRCALC;          // text of the correction calculation
    QString LimitText;
    QString PAFIRMA;           // sound company
    QString UNTERSCHREIB;      // signatory
    QString PAKONTAKT;         // contact at the sound company
    QString HINWEIS;           // report hints
    QString PA;                // description of the sound system
    QString KORMAXPos;         // position of the maximum used for the correction
    QString KORMESSPos;        // measuring position used for the correction
    QString myOwnName;         // the measurement's file name
    QString COPYKALFROM;       // file the calibration data was copied from
    QString COPYKORFROM;       // file the corrections were copied from
    QString COPYDATAFROM;      // file other data was copied from
};

inline constexpr int32_t kHeaderTextCount = 29;

// The 29 texts of a header in their in-memory order.
inline constexpr std::array<QString TsaveItHeader13::*, kHeaderTextCount> kHeaderTextFields = {
    &TsaveItHeader13::Soundkarte,   &TsaveItHeader13::Ort,           &TsaveItHeader13::Plz,
    &TsaveItHeader13::LocationText, &TsaveItHeader13::Adresse,       &TsaveItHeader13::Veranstaltung,
    &TsaveItHeader13::Veranstalter, &TsaveItHeader13::Verantwortlicher, &TsaveItHeader13::ZEITRAUM,
    &TsaveItHeader13::Verordnung,   &TsaveItHeader13::KALTEXT,       &TsaveItHeader13::KALOFF,
    &TsaveItHeader13::textKorrIA,   &TsaveItHeader13::textKorrIC,    &TsaveItHeader13::textKorrIF,
    &TsaveItHeader13::KORRE,        &TsaveItHeader13::KORRCALC,      &TsaveItHeader13::LimitText,
    &TsaveItHeader13::PAFIRMA,      &TsaveItHeader13::UNTERSCHREIB,  &TsaveItHeader13::PAKONTAKT,
    &TsaveItHeader13::HINWEIS,      &TsaveItHeader13::PA,            &TsaveItHeader13::KORMAXPos,
    &TsaveItHeader13::KORMESSPos,   &TsaveItHeader13::myOwnName,     &TsaveItHeader13::COPYKALFROM,
    &TsaveItHeader13::COPYKORFROM,  &TsaveItHeader13::COPYDATAFROM,
};
inline constexpr int32_t kCurrentHeaderVersion = 14;

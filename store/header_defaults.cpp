// The default state of a measurement header, the forgetting of a
// calibration, and the repair of a header that came from a file or another
// store.
#include <cmath>

#include "store/measurement_store.h"
#include "store/own_copies.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextNotDone = 739;  // "Not done"
const QString kNoValue = QStringLiteral("---");

// A date-time before 1900-01-01 counts as no calibration or no check.
constexpr double kEarliestRealDate = 2.0;
// 2200-01-01: no measurement starts or stops later; a later date is a damaged field.
constexpr double kLatestRealDate = 109575.0;
// The short-term Leq warning is unsigned in the header; anything above the
// highest level the other Leq warnings allow is a damaged field.
constexpr uint32_t kHighestLeqKWarn = 150;
constexpr uint32_t kLeqKWarnReplacement = 95;

bool IsMeasurementDate(double time) {
    return std::isfinite(time) && time >= kEarliestRealDate && time < kLatestRealDate;
}

bool IsDoneAt(double time, double value) {
    return std::isfinite(time) && time >= kEarliestRealDate && std::isfinite(value);
}

// Outside main-window life (tests, tools) there is no program file to ask.
int64_t RunningProgramVersion() {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr ? main->getVersionID() : 0;
}

void SetDefaultNumbers(TSaveData13& d, int64_t programVersion) {
    d.Version = kCurrentHeaderVersion;
    d.start = 0.0;
    d.GEWICHTUNG = WithWeighting(d.GEWICHTUNG, kQuantityPeak, kWeightingC);
    d.GEWICHTUNG = WithWeighting(d.GEWICHTUNG, kQuantityLeq, kWeightingA);
    d.GEWICHTUNG = WithWeighting(d.GEWICHTUNG, kQuantityLeqK, kWeightingA);
    d.LIMITLEQ = 99;
    d.WARNLEQ = 94;
    d.LIMITPEAK = 134;
    d.WARNPEAK = 128;
    d.STOP = 0.0;
    d.korrTimeA = d.korrTimeC = d.korrTimeZ = d.korrEMess = 0.0;
    d.korrA = d.korrC = d.KORRF = 0.0;
    d.KORRTYP = -1;
    d.MAXVAL = 100.0;
    d.INTERVAL = 60;
    d.MODUSID = 1;
    d.GRANGE = GraphWordWithRange(0, 100);
    d.PRECISION = 2;
    d.GTOP = 140;
    d.DAUERLEQ = 1800;
    d.DAUERLEQKURZ = 10;
    d.PEAKWERTE = 1680;
    d.LEQKMaxVal = d.LEQMaxVal = d.PEAKMaxVal = 0.0;
    d.NumBlock = d.NumWerte = d.NumSMS = 0;
    d.kalRefSpl = d.offVRefSpl = d.offNRefSpl = -1.0;
    d.COPYSTATE = 0;
    d.VTVERSION = programVersion;
    d.LEQ120 = 0.0;
    d.minSPLKorr = -60;
    d.statusInfo = 0;
    d.options = 0;
}

void SetDefaultTexts(TsaveItHeader13& h, const QString& notDone) {
    h.KALTEXT = notDone;
    h.KALOFF = notDone;
    for (QString* text : {&h.Soundkarte, &h.Ort, &h.Veranstalter, &h.Verantwortlicher, &h.ZEITRAUM, &h.PAFIRMA,
                          &h.PA}) {
        *text = kNoValue;
    }
    for (QString* text : {&h.LocationText, &h.Plz, &h.Adresse, &h.Veranstaltung, &h.textKorrIA, &h.textKorrIC,
                          &h.textKorrIF, &h.KORRE, &h.KORRCALC, &h.KORMAXPos, &h.KORMESSPos, &h.UNTERSCHREIB,
                          &h.PAKONTAKT, &h.HINWEIS, &h.COPYKALFROM, &h.COPYKORFROM, &h.COPYDATAFROM,
                          &h.myOwnName}) {
        text->clear();
    }
}

template <typename T>
void ReplaceWhen(T& field, bool outOfRange, T replacement) {
    if (outOfRange) {
        field = replacement;
    }
}

}  // namespace

void TDaten::InitValues() {
    const QString notDone = OwnCopy(GetLangText(kTextNotDone));  // before the lock: the text table is not ours
    const int64_t version = RunningProgramVersion();
    platform::WriteGuard guard(DataSync);
    siDo = 8;
    siDT = 8;
    si32 = 4;
    SetDefaultNumbers(DatenLatch.theData, version);
    SetDefaultTexts(DatenLatch, notDone);
    ClearCalLocked();
    aB8.clear();
    aW6.clear();
    aSms.clear();
}

void TDaten::ClearCalLocked() {
    TSaveData13& d = DatenLatch.theData;
    d.KALTIME = d.offTimeVor = d.offTimeNach = d.CalTimeVMic = -1.0;
    d.kalVal = d.offValNach = d.offValVor = d.CalValVMic = 0.0;
}

void TDaten::ClearCal() {
    platform::WriteGuard guard(DataSync);
    ClearCalLocked();
}

void TDaten::ValidateHeaderLocked() {
    TSaveData13& d = DatenLatch.theData;
    // Copies, not references: the fields of the packed record may be unaligned.
    int32_t warnPeak = d.WARNPEAK;
    ReplaceWhen(warnPeak, warnPeak < 30 || warnPeak > 160, 130);
    d.WARNPEAK = warnPeak;
    int32_t warnLeq = d.WARNLEQ;
    ReplaceWhen(warnLeq, warnLeq > 150 || warnLeq < 30, 95);
    d.WARNLEQ = warnLeq;
    int32_t limitLeq = d.LIMITLEQ;
    ReplaceWhen(limitLeq, limitLeq > 150 || limitLeq < 30, 100);
    d.LIMITLEQ = limitLeq;
    double limitLeqK = d.LimitLeqK;
    ReplaceWhen(limitLeqK, !std::isfinite(limitLeqK) || limitLeqK > 150.0 || limitLeqK < 30.0, 100.0);
    d.LimitLeqK = limitLeqK;
    int32_t limitPeak = d.LIMITPEAK;
    ReplaceWhen(limitPeak, limitPeak > 150 || limitPeak < 30, 135);
    d.LIMITPEAK = limitPeak;
    int32_t top = d.GTOP;
    ReplaceWhen(top, top > 160 || top < 80, 120);
    d.GTOP = top;
    const int32_t range = d.GRANGE & 0xFF;
    if (range < 60 || range > 100) {
        d.GRANGE = GraphWordWithRange(d.GRANGE, 100);
    }
    const int32_t peakWindow = d.PEAKWERTE;
    if (peakWindow < 2 || peakWindow > 48000) {
        d.PEAKWERTE = 1680;
        saveDaten = true;  // as any change of the peak window
    }
    int32_t leqSeconds = d.DAUERLEQ;
    ReplaceWhen(leqSeconds, leqSeconds != -2 && std::abs(int64_t{leqSeconds}) < 60, 1800);
    d.DAUERLEQ = leqSeconds;
    int32_t leqKSeconds = d.DAUERLEQKURZ;
    ReplaceWhen(leqKSeconds, leqKSeconds < 2 || leqKSeconds > 1800, 10);
    d.DAUERLEQKURZ = leqKSeconds;
    uint32_t leqKWarn = d.leqKWarn;
    ReplaceWhen(leqKWarn, leqKWarn > kHighestLeqKWarn, kLeqKWarnReplacement);
    d.leqKWarn = leqKWarn;
    // 0.0 is the "not set" of both times.
    double start = d.start;
    ReplaceWhen(start, !IsMeasurementDate(start), 0.0);
    d.start = start;
    double stop = d.STOP;
    ReplaceWhen(stop, !IsMeasurementDate(stop), 0.0);
    d.STOP = stop;

    if (!IsDoneAt(d.KALTIME, d.kalVal)) {
        d.KALTIME = 0.0;
        d.kalVal = 0.0;
    }
    if (!IsDoneAt(d.offTimeNach, d.offValNach)) {
        d.offTimeNach = 0.0;
        d.offValNach = 0.0;
    }
    if (!IsDoneAt(d.offTimeVor, d.offValVor)) {
        d.offTimeVor = 0.0;
        d.offValVor = 0.0;
    }
}

void TDaten::ValidateHeader() {
    platform::WriteGuard guard(DataSync);
    ValidateHeaderLocked();
}

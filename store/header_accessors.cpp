// Single header fields of a measurement and the values derived from them:
// thresholds, labels, times, the state of calibration and checks, the
// weighting summary of the protocol and the grouping of the corrections.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <stdexcept>

#include "store/measurement_store.h"
#include "store/own_copies.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMsPerDayF = static_cast<double>(platform::kMsPerDay);
constexpr int32_t kValueContinuationBit = 2;
constexpr uint32_t kMusicKorrBit = 1;
constexpr double kNoVMicCalValue = 130.0;
constexpr int32_t kCalValidDays = 360;

// ---- date-times compared to the millisecond; a value that is no number never compares

// Beyond any real date, but small enough that the milliseconds fit 64 bits.
constexpr double kDateLimitDays = 1.0e11;

int64_t RoundedMs(double t) {
    const double clamped = std::fmax(-kDateLimitDays, std::fmin(kDateLimitDays, t));
    return std::llround(clamped * kMsPerDayF);
}

bool BeforeMs(double a, double b) {
    return std::isfinite(a) && std::isfinite(b) && RoundedMs(a) < RoundedMs(b);
}

bool SameMs(double a, double b) {
    return std::isfinite(a) && std::isfinite(b) && RoundedMs(a) == RoundedMs(b);
}

// The time of day in milliseconds; a day before 1899-12-30 keeps a positive
// time of day in its fraction.
int64_t MsOfDay(double t) {
    if (!std::isfinite(t)) {
        return -1;
    }
    double whole = 0.0;
    const double fraction = std::fabs(std::modf(std::fmax(-kDateLimitDays, std::fmin(kDateLimitDays, t)), &whole));
    return std::llround(fraction * kMsPerDayF) % platform::kMsPerDay;
}

bool SameTimeOfDay(double a, double b) {
    const int64_t ma = MsOfDay(a);
    return ma >= 0 && ma == MsOfDay(b);
}

// ---- header rules shared by several accessors (the caller holds the lock)

int32_t NksOf(const TSaveData13& d) {
    const int32_t nks = d.NachKomma;
    return nks < 0 ? 0 : (nks > 3 ? 3 : nks);
}

// Half a display step, so a level shown as the limit does not count as above it.
double LimitToleranceOf(const TSaveData13& d) {
    switch (NksOf(d)) {
    case 1: return 0.05;
    case 2: return 0.005;
    default: return 0.5;
    }
}

int32_t MaxLeqKOf(const TSaveData13& d) {
    const double stored = d.LimitLeqK;
    if (!std::isfinite(stored) || std::fabs(stored) > 4.0e9) {
        throw std::out_of_range("short-term Leq limit is not a 32-bit whole number");
    }
    const int64_t rounded = platform::Round(stored);
    if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max()) {
        throw std::out_of_range("short-term Leq limit is not a 32-bit whole number");
    }
    return static_cast<int32_t>(rounded);
}

int32_t WarnLeqKOf(const TSaveData13& d) {
    const uint32_t stored = d.leqKWarn;
    if (stored > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
        throw std::out_of_range("short-term Leq warning level beyond the 32-bit range");
    }
    return static_cast<int32_t>(stored);
}

double LastOffTimeOf(const TSaveData13& d) {
    return BeforeMs(d.offTimeVor, d.offTimeNach) ? d.offTimeNach : d.offTimeVor;
}

int32_t LastCheckKindOf(const TSaveData13& d) {
    if (BeforeMs(LastOffTimeOf(d), d.KALTIME)) {
        return kRefCalibration;
    }
    return BeforeMs(d.offTimeNach, d.offTimeVor) ? kRefCheckAfter : kRefCheckBefore;
}

double PreviousValueOf(const TSaveData13& d) {
    switch (LastCheckKindOf(d)) {
    case kRefCheckBefore: return d.offValVor;
    case kRefCheckAfter: return d.offValNach;
    default: return d.kalVal;
    }
}

double SplRefOf(const TSaveData13& d, int32_t id) {
    if (id == kRefPrevious) {
        id = LastCheckKindOf(d);
    }
    switch (id) {
    case kRefCalibration: return d.kalRefSpl;
    case kRefCheckBefore: return d.offVRefSpl;
    case kRefCheckAfter: return d.offNRefSpl;
    default: return kNoRefLevel;
    }
}

double KorrTimeOf(const TSaveData13& d, int32_t id) {
    switch (id) {
    case kWeightingA: return d.korrTimeA;
    case kWeightingC: return d.korrTimeC;
    case kWeightingZ: return d.korrTimeZ;
    case kKorrMeasurement: return d.korrEMess;
    default: return 0.0;
    }
}

int32_t NumDifLocOf(const TSaveData13& d) {
    const double a = d.korrTimeA;
    const double c = d.korrTimeC;
    const double z = d.korrTimeZ;
    return 1 + (SameMs(c, a) ? 0 : 1) + (SameMs(z, a) || SameMs(z, c) ? 0 : 1);
}

int32_t LastKorrIdOf(const TSaveData13& d) {
    int32_t id = kWeightingA;
    double latest = d.korrTimeA;
    for (int32_t candidate : {kWeightingC, kWeightingZ}) {
        const double t = KorrTimeOf(d, candidate);
        if (BeforeMs(latest, t)) {
            id = candidate;
            latest = t;
        }
    }
    return id;
}

QString TsaveItHeader13::*KorrTextField(int32_t id) {
    switch (id) {
    case kWeightingA: return &TsaveItHeader13::textKorrIA;
    case kWeightingC: return &TsaveItHeader13::textKorrIC;
    case kWeightingZ: return &TsaveItHeader13::textKorrIF;
    case kKorrMeasurement: return &TsaveItHeader13::KORRE;
    default: return nullptr;
    }
}

bool IsQuantity(int32_t id) {
    return id == kQuantityLeq || id == kQuantityLeqK || id == kQuantityPeak;
}

int32_t ForcedBit(int32_t quantity) { return 1 << quantity; }
int32_t InfoBit(int32_t quantity) { return 16 << quantity; }

int32_t ProtBitsFor(int32_t quantity, int32_t state) {
    switch (state) {
    case 1: return InfoBit(quantity);
    case 2: return ForcedBit(quantity);
    default: return 0;
    }
}

}  // namespace

QString TDaten::ReadText(QString TsaveItHeader13::*text) const {
    platform::ReadGuard guard(DataSync);
    return OwnCopy(DatenLatch.*text);
}

void TDaten::WriteText(QString TsaveItHeader13::*text, const QString& value) {
    QString own = OwnCopy(value);
    platform::WriteGuard guard(DataSync);
    DatenLatch.*text = std::move(own);
}

// ---------------------------------------------------------------------------
// Limits and warning levels
// ---------------------------------------------------------------------------

int32_t TDaten::GetWarnPeak() const { return WithShared([](const TSaveData13& d) { return d.WARNPEAK; }); }
void TDaten::SetWarnPeak(int32_t level) { WithExclusive([level](TSaveData13& d) { d.WARNPEAK = level; }); }
int32_t TDaten::GetWarnLEQ() const { return WithShared([](const TSaveData13& d) { return d.WARNLEQ; }); }
void TDaten::SetWarnLEQ(int32_t level) { WithExclusive([level](TSaveData13& d) { d.WARNLEQ = level; }); }
int32_t TDaten::GetWarnLeqK() const { return WithShared([](const TSaveData13& d) { return WarnLeqKOf(d); }); }

void TDaten::SetWarnLeqK(int32_t level) {
    if (level < 0) {
        throw std::out_of_range("short-term Leq warning level must not be negative");
    }
    WithExclusive([level](TSaveData13& d) { d.leqKWarn = static_cast<uint32_t>(level); });
}

int32_t TDaten::GetMaxPeak() const { return WithShared([](const TSaveData13& d) { return d.LIMITPEAK; }); }
void TDaten::SetMaxPeak(int32_t level) { WithExclusive([level](TSaveData13& d) { d.LIMITPEAK = level; }); }
int32_t TDaten::GetMaxLEQ() const { return WithShared([](const TSaveData13& d) { return d.LIMITLEQ; }); }
void TDaten::SetMaxLEQ(int32_t level) { WithExclusive([level](TSaveData13& d) { d.LIMITLEQ = level; }); }
int32_t TDaten::GetMaxLeqK() const { return WithShared([](const TSaveData13& d) { return MaxLeqKOf(d); }); }
void TDaten::SetMaxLeqK(int32_t level) { WithExclusive([level](TSaveData13& d) { d.LimitLeqK = level; }); }

double TDaten::GetRealLimit(int32_t id) const {
    return WithShared([id](const TSaveData13& d) {
        switch (id) {
        case kQuantityLeq: return d.LIMITLEQ + LimitToleranceOf(d);
        case kQuantityLeqK: return MaxLeqKOf(d) + LimitToleranceOf(d);
        case kQuantityPeak: return d.LIMITPEAK + LimitToleranceOf(d);
        default: return kNoThreshold;
        }
    });
}

double TDaten::GetRealWarn(int32_t id) const {
    return WithShared([id](const TSaveData13& d) {
        switch (id) {
        case kQuantityLeq: return d.WARNLEQ + LimitToleranceOf(d);
        case kQuantityLeqK: return WarnLeqKOf(d) + LimitToleranceOf(d);
        case kQuantityPeak: return d.WARNPEAK + LimitToleranceOf(d);
        default: return kNoThreshold;
        }
    });
}

// ---------------------------------------------------------------------------
// Graph
// ---------------------------------------------------------------------------

int32_t TDaten::GetGraGap() const { return WithShared([](const TSaveData13& d) { return d.GTOP; }); }
void TDaten::SetGraGap(int32_t top) { WithExclusive([top](TSaveData13& d) { d.GTOP = top; }); }
int32_t TDaten::GetGraRange() const { return WithShared([](const TSaveData13& d) { return d.GRANGE & 0xFF; }); }

void TDaten::SetGraRange(int32_t range) {
    WithExclusive([range](TSaveData13& d) { d.GRANGE = GraphWordWithRange(d.GRANGE, range); });
}

TCurveFlags TDaten::GetFlags() const { return WithShared([](const TSaveData13& d) { return CurveFlagsOf(d.GRANGE); }); }

void TDaten::SetShowLeq(bool on) {
    WithExclusive([on](TSaveData13& d) { d.GRANGE = on ? (d.GRANGE | kCurveLeqBit) : (d.GRANGE & ~kCurveLeqBit); });
}

void TDaten::SetShowLeqK(bool on) {
    WithExclusive([on](TSaveData13& d) { d.GRANGE = on ? (d.GRANGE | kCurveLeqKBit) : (d.GRANGE & ~kCurveLeqKBit); });
}

void TDaten::SetShowPeak(bool on) {
    WithExclusive([on](TSaveData13& d) { d.GRANGE = on ? (d.GRANGE | kCurvePeakBit) : (d.GRANGE & ~kCurvePeakBit); });
}

// ---------------------------------------------------------------------------
// Windows and intervals
// ---------------------------------------------------------------------------

int32_t TDaten::GetLEQDauer() const { return WithShared([](const TSaveData13& d) { return d.DAUERLEQ; }); }
void TDaten::SetLEQDauer(int32_t seconds) { WithExclusive([seconds](TSaveData13& d) { d.DAUERLEQ = seconds; }); }
bool TDaten::GetIsInterval() const { return WithShared([](const TSaveData13& d) { return d.DAUERLEQ > 0; }); }
bool TDaten::IsLeqFull() const { return WithShared([](const TSaveData13& d) { return d.DAUERLEQ == -2; }); }
int32_t TDaten::GetLEQKurzDauer() const { return WithShared([](const TSaveData13& d) { return d.DAUERLEQKURZ; }); }
void TDaten::SetLEQKurzDauer(int32_t seconds) { WithExclusive([seconds](TSaveData13& d) { d.DAUERLEQKURZ = seconds; }); }
int32_t TDaten::GetPeakWerte() const { return WithShared([](const TSaveData13& d) { return d.PEAKWERTE; }); }

void TDaten::SetPeakWerte(int32_t samples) {
    WithExclusive([samples](TSaveData13& d) { d.PEAKWERTE = samples; });
    saveDaten = true;
}

int32_t TDaten::GetDrawInterval() const { return WithShared([](const TSaveData13& d) { return d.INTERVAL; }); }
void TDaten::SetDrawInterval(int32_t seconds) { WithExclusive([seconds](TSaveData13& d) { d.INTERVAL = seconds; }); }

// ---------------------------------------------------------------------------
// Start, stop and durations
// ---------------------------------------------------------------------------

platform::TDateTime TDaten::GetStartTime() const {
    const double start = WithShared([](const TSaveData13& d) { return d.start; });
    return start > 0.0 ? start : CorrectedNow();
}

void TDaten::SetStartTime(platform::TDateTime t) {
    WithExclusive([t](TSaveData13& d) { d.start = t; });
    saveDaten = true;
}

platform::TDateTime TDaten::GetStopTime() const {
    platform::ReadGuard guard(DataSync);
    const TSaveData13& d = DatenLatch.theData;
    if (d.STOP < 0.1 && d.NumWerte > 0) {
        return WertLocked(d.NumWerte - 1).TimeStamp;
    }
    return d.STOP;
}

void TDaten::SetStopTime(platform::TDateTime t) {
    WithExclusive([t](TSaveData13& d) { d.STOP = t; });
    saveDaten = true;
}

platform::TDateTime TDaten::GetRefTime() const {
    std::optional<double> firstSlotEnd;
    {
        platform::ReadGuard guard(DataSync);
        const TSaveData13& d = DatenLatch.theData;
        if (d.NumWerte >= 2) {
            firstSlotEnd = WertLocked(1).TimeStamp - d.INTERVAL / kSecondsPerDay;
        }
    }
    return firstSlotEnd ? *firstSlotEnd : GetStartTime();
}

int32_t TDaten::GetDauerInMinuten() const {
    return WithShared([](const TSaveData13& d) -> int32_t {
        if (!BeforeMs(d.start, d.STOP)) {
            return -1;
        }
        // start lies before STOP, so the span is positive and, with both
        // clamped, below 2^64 ms: unsigned arithmetic holds it where a
        // signed difference of two far dates would overflow.
        const uint64_t spanMs = static_cast<uint64_t>(RoundedMs(d.STOP)) - static_cast<uint64_t>(RoundedMs(d.start));
        const uint64_t minutes = spanMs / 60000;
        return static_cast<int32_t>(std::min<uint64_t>(minutes, std::numeric_limits<int32_t>::max()));
    });
}

int32_t TDaten::GetMessDauer() const {
    return WithShared([](const TSaveData13& d) -> int32_t {
        if (d.DAUERLEQ > 0) {
            return 0;
        }
        return d.MessDauerFree == 99 ? d.DAUERLEQ / -60 : d.MessDauerFree;
    });
}

void TDaten::SetMessDauer(int32_t minutes) { WithExclusive([minutes](TSaveData13& d) { d.MessDauerFree = minutes; }); }

// ---------------------------------------------------------------------------
// Calibration and checks
// ---------------------------------------------------------------------------

platform::TDateTime TDaten::GetCalTime() const { return WithShared([](const TSaveData13& d) { return d.KALTIME; }); }
void TDaten::SetCalTime(platform::TDateTime t) { WithExclusive([t](TSaveData13& d) { d.KALTIME = t; }); }
double TDaten::GetCalVal() const { return WithShared([](const TSaveData13& d) { return d.kalVal; }); }
void TDaten::SetCalVal(double v) { WithExclusive([v](TSaveData13& d) { d.kalVal = v; }); }
int32_t TDaten::GetCalArt() const { return WithShared([](const TSaveData13& d) { return d.KALART; }); }
void TDaten::SetCalArt(int32_t kind) { WithExclusive([kind](TSaveData13& d) { d.KALART = kind; }); }
platform::TDateTime TDaten::GetOffTimeVor() const { return WithShared([](const TSaveData13& d) { return d.offTimeVor; }); }
void TDaten::SetOffTimeVor(platform::TDateTime t) { WithExclusive([t](TSaveData13& d) { d.offTimeVor = t; }); }
platform::TDateTime TDaten::GetOffTimeNach() const { return WithShared([](const TSaveData13& d) { return d.offTimeNach; }); }
void TDaten::SetOffTimeNach(platform::TDateTime t) { WithExclusive([t](TSaveData13& d) { d.offTimeNach = t; }); }
double TDaten::GetOffValVor() const { return WithShared([](const TSaveData13& d) { return d.offValVor; }); }
void TDaten::SetOffValVor(double v) { WithExclusive([v](TSaveData13& d) { d.offValVor = v; }); }
double TDaten::GetOffValNach() const { return WithShared([](const TSaveData13& d) { return d.offValNach; }); }
void TDaten::SetOffValNach(double v) { WithExclusive([v](TSaveData13& d) { d.offValNach = v; }); }
int32_t TDaten::GetKorrArt() const { return WithShared([](const TSaveData13& d) { return d.KORRTYP; }); }
void TDaten::SetKorrArt(int32_t kind) { WithExclusive([kind](TSaveData13& d) { d.KORRTYP = kind; }); }
double TDaten::GetRechMax() const { return WithShared([](const TSaveData13& d) { return d.MAXVAL; }); }
void TDaten::SetRechMax(double v) { WithExclusive([v](TSaveData13& d) { d.MAXVAL = v; }); }
int32_t TDaten::GetPrecision() const { return WithShared([](const TSaveData13& d) { return d.PRECISION; }); }
void TDaten::SetPrecision(int32_t cls) { WithExclusive([cls](TSaveData13& d) { d.PRECISION = cls; }); }

// The system clock, not the corrected one: a calibration's age is a matter
// of the calendar, not of the time server.
bool TDaten::IsValidCal() const {
    const double calTime = GetCalTime();
    const double now = platform::SystemLocalNow();
    if (!std::isfinite(calTime)) {
        return false;
    }
    const int64_t spanMs = RoundedMs(now) - RoundedMs(calTime);
    const int64_t wholeDays = (spanMs < 0 ? -spanMs : spanMs) / platform::kMsPerDay;
    return wholeDays < kCalValidDays;
}

double TDaten::GetOffDif() const {
    return WithShared([](const TSaveData13& d) {
        const bool bothDone = d.offTimeVor > 0.0 && d.offTimeNach > 0.0 && d.offValVor > 0.0 && d.offValNach > 0.0;
        return bothDone ? d.offValVor - d.offValNach : kNoOffDif;
    });
}

platform::TDateTime TDaten::GetLastOffTime() const { return WithShared([](const TSaveData13& d) { return LastOffTimeOf(d); }); }

double TDaten::GetLastOffValue() const {
    return WithShared([](const TSaveData13& d) { return BeforeMs(d.offTimeVor, d.offTimeNach) ? d.offValNach : d.offValVor; });
}

int32_t TDaten::GetLastCheckKind() const { return WithShared([](const TSaveData13& d) { return LastCheckKindOf(d); }); }
double TDaten::GetPreviousValue() const { return WithShared([](const TSaveData13& d) { return PreviousValueOf(d); }); }
double TDaten::GetSplRef(int32_t id) const { return WithShared([id](const TSaveData13& d) { return SplRefOf(d, id); }); }

void TDaten::SetSplRef(int32_t id, double level) {
    WithExclusive([id, level](TSaveData13& d) {
        switch (id) {
        case kRefCalibration: d.kalRefSpl = level; break;
        case kRefCheckBefore: d.offVRefSpl = level; break;
        case kRefCheckAfter: d.offNRefSpl = level; break;
        default: break;
        }
    });
}

platform::TDateTime TDaten::GetVMicCalDate() const { return WithShared([](const TSaveData13& d) { return d.CalTimeVMic; }); }

double TDaten::GetVMicCalVal() const {
    return WithShared([](const TSaveData13& d) { return d.CalTimeVMic > 0.0 ? d.CalValVMic : kNoVMicCalValue; });
}

void TDaten::SetVMicCal(double value) {
    const double now = CorrectedNow();
    WithExclusive([value, now](TSaveData13& d) {
        d.CalValVMic = value;
        d.CalTimeVMic = now;
    });
}

void TDaten::SetVMicCalTime(platform::TDateTime t) { WithExclusive([t](TSaveData13& d) { d.CalTimeVMic = t; }); }

int32_t TDaten::GetTioGain() const { return WithShared([](const TSaveData13& d) { return d.KalGain; }); }

bool TDaten::SetTioGain(int32_t gain) {
    return WithExclusive([gain](TSaveData13& d) {
        if (d.KalGain == gain) {
            return false;
        }
        d.KalGain = gain;
        return true;
    });
}

int32_t TDaten::GetMinKorrSpl() const {
    return WithShared([](const TSaveData13& d) {
        const int32_t level = d.minSPLKorr;
        return level >= -100 && level <= -40 ? level : -60;
    });
}

bool TDaten::SetMinKorrSpl(int32_t level) {
    return WithExclusive([level](TSaveData13& d) {
        if (d.minSPLKorr == level) {
            return false;
        }
        d.minSPLKorr = level;
        return true;
    });
}

// ---------------------------------------------------------------------------
// Maxima and whole-measurement levels
// ---------------------------------------------------------------------------

void TDaten::SetLEQmax(double value, platform::TDateTime time) {
    WithExclusive([value, time](TSaveData13& d) {
        d.LEQMaxVal = value;
        d.LEQMaxTime = time;
    });
    saveDaten = true;
}

void TDaten::SetPeakMax(double value, platform::TDateTime time) {
    WithExclusive([value, time](TSaveData13& d) {
        d.PEAKMaxVal = value;
        d.PEAKMaxTime = time;
    });
    saveDaten = true;
}

void TDaten::SetLEQKmax(double value, platform::TDateTime time) {
    WithExclusive([value, time](TSaveData13& d) {
        d.LEQKMaxVal = value;
        d.LEQKMaxTime = time;
    });
    saveDaten = true;
}

double TDaten::GetLEQ120() const { return WithShared([](const TSaveData13& d) { return d.LEQ120; }); }

void TDaten::SetLEQ120(double level) {
    WithExclusive([level](TSaveData13& d) { d.LEQ120 = level; });
    saveDaten = true;
}

double TDaten::GetLeqFull() const { return WithShared([](const TSaveData13& d) { return d.LEQFull; }); }

void TDaten::SetLeqFull(double level) {
    WithExclusive([level](TSaveData13& d) { d.LEQFull = level; });
    saveDaten = true;
}

// ---------------------------------------------------------------------------
// Protocol switches, decimals and other settings
// ---------------------------------------------------------------------------

bool TDaten::ForceProt(int32_t id) const {
    return IsQuantity(id) && WithShared([id](const TSaveData13& d) { return (d.ProtokollStatus & ForcedBit(id)) != 0; });
}

bool TDaten::ProtInfo(int32_t id) const {
    return IsQuantity(id) && WithShared([id](const TSaveData13& d) { return (d.ProtokollStatus & InfoBit(id)) != 0; });
}

bool TDaten::InsProtokoll(int32_t id) const {
    return IsQuantity(id) &&
           WithShared([id](const TSaveData13& d) { return (d.ProtokollStatus & (ForcedBit(id) | InfoBit(id))) != 0; });
}

void TDaten::SetProtStatus(int32_t statusLeq, int32_t statusLeqK, int32_t statusPeak) {
    const int32_t word = ProtBitsFor(kQuantityLeq, statusLeq) | ProtBitsFor(kQuantityLeqK, statusLeqK) |
                         ProtBitsFor(kQuantityPeak, statusPeak);
    WithExclusive([word](TSaveData13& d) { d.ProtokollStatus = word; });
}

int32_t TDaten::GetNKS() const { return WithShared([](const TSaveData13& d) { return NksOf(d); }); }

bool TDaten::SetNKS(int32_t decimals) {
    return WithExclusive([decimals](TSaveData13& d) {
        const bool changed = d.NachKomma != decimals;
        d.NachKomma = decimals;
        return changed;
    });
}

int32_t TDaten::GetCopyMode() const { return WithShared([](const TSaveData13& d) { return d.COPYSTATE; }); }
void TDaten::SetCopyMode(int32_t flags) { WithExclusive([flags](TSaveData13& d) { d.COPYSTATE = flags; }); }
int64_t TDaten::GetVTVersion() const { return WithShared([](const TSaveData13& d) { return d.VTVERSION; }); }
void TDaten::SetVTVersion(int64_t version) { WithExclusive([version](TSaveData13& d) { d.VTVERSION = version; }); }
bool TDaten::GetMusicKorr() const { return WithShared([](const TSaveData13& d) { return (d.options & kMusicKorrBit) != 0; }); }

void TDaten::SetMusicKorr(bool on) {
    WithExclusive([on](TSaveData13& d) { d.options = on ? (d.options | kMusicKorrBit) : (d.options & ~kMusicKorrBit); });
}

bool TDaten::GetIsValCont() const {
    return WithShared([](const TSaveData13& d) { return (d.statusInfo & kValueContinuationBit) != 0; });
}

void TDaten::SetIsValCont(bool on) {
    WithExclusive([on](TSaveData13& d) {
        d.statusInfo = on ? (d.statusInfo | kValueContinuationBit) : (d.statusInfo & ~kValueContinuationBit);
    });
}

// ---------------------------------------------------------------------------
// Weightings and corrections
// ---------------------------------------------------------------------------

int32_t TDaten::GetFilter(int32_t id) const {
    return WithShared([id](const TSaveData13& d) { return WeightingOf(d.GEWICHTUNG, id); });
}

void TDaten::SetFilter(int32_t id, int32_t code) {
    WithExclusive([id, code](TSaveData13& d) { d.GEWICHTUNG = WithWeighting(d.GEWICHTUNG, id, code); });
}

double TDaten::GetKorr(int32_t id) const {
    return WithShared([id](const TSaveData13& d) {
        double value = kNoKorrValue;
        switch (id) {
        case kWeightingA: value = d.korrA; break;
        case kWeightingC: value = d.korrC; break;
        case kWeightingZ: value = d.KORRF; break;
        default: break;
        }
        return std::isfinite(value) ? value : kNoKorrValue;
    });
}

void TDaten::SetKorrVal(int32_t id, double value) {
    WithExclusive([id, value](TSaveData13& d) {
        switch (id) {
        case kWeightingA: d.korrA = value; break;
        case kWeightingC: d.korrC = value; break;
        case kWeightingZ: d.KORRF = value; break;
        default: break;
        }
    });
}

platform::TDateTime TDaten::GetKorrTime(int32_t id) const {
    return WithShared([id](const TSaveData13& d) { return KorrTimeOf(d, id); });
}

void TDaten::SetKorrTime(int32_t id, platform::TDateTime t) {
    WithExclusive([id, t](TSaveData13& d) {
        switch (id) {
        case kWeightingA: d.korrTimeA = t; break;
        case kWeightingC: d.korrTimeC = t; break;
        case kWeightingZ: d.korrTimeZ = t; break;
        case kKorrMeasurement: d.korrEMess = t; break;
        default: break;
        }
    });
}

QString TDaten::GetKorrText(int32_t id) const {
    const auto field = KorrTextField(id);
    return field != nullptr ? ReadText(field) : QString();
}

void TDaten::SetKorrText(int32_t id, const QString& text) {
    if (const auto field = KorrTextField(id)) {
        WriteText(field, text);
    }
}

TFilterStatus TDaten::GetFilterStatus() const {
    return WithShared([](const TSaveData13& d) {
        const int32_t codes[3] = {WeightingOf(d.GEWICHTUNG, kQuantityLeq), WeightingOf(d.GEWICHTUNG, kQuantityLeqK),
                                  WeightingOf(d.GEWICHTUNG, kQuantityPeak)};
        TFilterStatus s;
        for (int32_t q = 0; q < 3; ++q) {
            s.useA = s.useA || codes[q] == kWeightingA;
            s.useC = s.useC || codes[q] == kWeightingC;
            s.useF = s.useF || codes[q] == kWeightingZ;
            if ((d.ProtokollStatus & ForcedBit(q)) != 0) {
                s.forceA = s.forceA || codes[q] == kWeightingA;
                s.forceC = s.forceC || codes[q] == kWeightingC;
                s.forceF = s.forceF || codes[q] == kWeightingZ;
            }
        }
        s.af = SameTimeOfDay(d.korrTimeA, d.korrTimeZ);
        s.ac = SameTimeOfDay(d.korrTimeA, d.korrTimeC);
        s.cf = SameTimeOfDay(d.korrTimeC, d.korrTimeZ);
        s.timeCount = 3;
        if (s.af) {
            --s.timeCount;
        }
        if (s.ac) {
            --s.timeCount;
        }
        if (s.cf && s.timeCount > 1) {
            --s.timeCount;
        }
        return s;
    });
}

int32_t TDaten::GetLastKorrId() const { return WithShared([](const TSaveData13& d) { return LastKorrIdOf(d); }); }

QString TDaten::GetLastKorrText() const {
    platform::ReadGuard guard(DataSync);
    return OwnCopy(DatenLatch.*KorrTextField(LastKorrIdOf(DatenLatch.theData)));
}

int32_t TDaten::GetNumDifLoc() const { return WithShared([](const TSaveData13& d) { return NumDifLocOf(d); }); }

int32_t TDaten::GetKorrPattern(int32_t n) const {
    return WithShared([n](const TSaveData13& d) -> int32_t {
        const bool cWithA = SameTimeOfDay(d.korrTimeC, d.korrTimeA);
        const bool zWithA = SameTimeOfDay(d.korrTimeZ, d.korrTimeA);
        switch (n) {
        case 1: return kWeightingA | (cWithA ? kWeightingC : 0) | (zWithA ? kWeightingZ : 0);
        case 2:
            if (NumDifLocOf(d) <= 1) {
                return 0;
            }
            return zWithA ? kWeightingC : (cWithA ? kWeightingZ : kWeightingC | kWeightingZ);
        case 3: return NumDifLocOf(d) == 3 ? kWeightingZ : 0;
        default: return 0;
        }
    });
}

// ---------------------------------------------------------------------------
// Labels of the three quantities
// ---------------------------------------------------------------------------

QString TDaten::GetLEQLabel(int32_t lang) const {
    const auto [weighting, seconds] = WithShared([](const TSaveData13& d) {
        return std::pair<int32_t, int32_t>{WeightingOf(d.GEWICHTUNG, kQuantityLeq), d.DAUERLEQ};
    });
    return DurationText(weighting, seconds, true, lang);
}

QString TDaten::GetLEQKLabel(int32_t lang) const {
    const auto [weighting, seconds] = WithShared([](const TSaveData13& d) {
        return std::pair<int32_t, int32_t>{WeightingOf(d.GEWICHTUNG, kQuantityLeqK), d.DAUERLEQKURZ};
    });
    return DurationText(weighting, seconds, false, lang);
}

QString TDaten::GetPeakLabel() const {
    const auto [weighting, window] = WithShared([](const TSaveData13& d) {
        return std::pair<int32_t, int32_t>{WeightingOf(d.GEWICHTUNG, kQuantityPeak), d.PEAKWERTE};
    });
    return LevelLabelText(weighting, window);
}

// ---------------------------------------------------------------------------
// Header texts
// ---------------------------------------------------------------------------

QString TDaten::GetSoundCard() const { return ReadText(&TsaveItHeader13::Soundkarte); }
void TDaten::SetSoundCard(const QString& text) { WriteText(&TsaveItHeader13::Soundkarte, text); }
QString TDaten::GetORT() const { return ReadText(&TsaveItHeader13::Ort); }
void TDaten::SetORT(const QString& text) { WriteText(&TsaveItHeader13::Ort, text); }
QString TDaten::GetPLZ() const { return ReadText(&TsaveItHeader13::Plz); }
void TDaten::SetPLZ(const QString& text) { WriteText(&TsaveItHeader13::Plz, text); }
QString TDaten::GetLocationText() const { return ReadText(&TsaveItHeader13::LocationText); }
void TDaten::SetLocationText(const QString& text) { WriteText(&TsaveItHeader13::LocationText, text); }
QString TDaten::GetAdresse() const { return ReadText(&TsaveItHeader13::Adresse); }
void TDaten::SetAdresse(const QString& text) { WriteText(&TsaveItHeader13::Adresse, text); }
QString TDaten::GetVeranstaltung() const { return ReadText(&TsaveItHeader13::Veranstaltung); }
void TDaten::SetVeranstaltung(const QString& text) { WriteText(&TsaveItHeader13::Veranstaltung, text); }
QString TDaten::GetVeranstalter() const { return ReadText(&TsaveItHeader13::Veranstalter); }
void TDaten::SetVeranstalter(const QString& text) { WriteText(&TsaveItHeader13::Veranstalter, text); }
QString TDaten::GetMessFirma() const { return ReadText(&TsaveItHeader13::Verantwortlicher); }
void TDaten::SetMessFirma(const QString& text) { WriteText(&TsaveItHeader13::Verantwortlicher, text); }
QString TDaten::GetZeitraum() const { return ReadText(&TsaveItHeader13::ZEITRAUM); }
void TDaten::SetZeitraum(const QString& text) { WriteText(&TsaveItHeader13::ZEITRAUM, text); }
QString TDaten::GetVorschrift() const { return ReadText(&TsaveItHeader13::Verordnung); }
void TDaten::SetVorschrift(const QString& text) { WriteText(&TsaveItHeader13::Verordnung, text); }
QString TDaten::GetCalText() const { return ReadText(&TsaveItHeader13::KALTEXT); }
void TDaten::SetCalText(const QString& text) { WriteText(&TsaveItHeader13::KALTEXT, text); }
QString TDaten::GetOffDeviceText() const { return ReadText(&TsaveItHeader13::KALOFF); }
void TDaten::SetOffDeviceText(const QString& text) { WriteText(&TsaveItHeader13::KALOFF, text); }
QString TDaten::GetKorrCalcText() const { return ReadText(&TsaveItHeader13::KORRCALC); }
void TDaten::SetKorrCalcText(const QString& text) { WriteText(&TsaveItHeader13::KORRCALC, text); }
QString TDaten::GetLimitText() const { return ReadText(&TsaveItHeader13::LimitText); }
void TDaten::SetLimitText(const QString& text) { WriteText(&TsaveItHeader13::LimitText, text); }
QString TDaten::GetPATeam() const { return ReadText(&TsaveItHeader13::PAFIRMA); }
void TDaten::SetPATeam(const QString& text) { WriteText(&TsaveItHeader13::PAFIRMA, text); }
QString TDaten::GetUnterzeichner() const { return ReadText(&TsaveItHeader13::UNTERSCHREIB); }
void TDaten::SetUnterzeichner(const QString& text) { WriteText(&TsaveItHeader13::UNTERSCHREIB, text); }
QString TDaten::GetPAKontakt() const { return ReadText(&TsaveItHeader13::PAKONTAKT); }
void TDaten::SetPAKontakt(const QString& text) { WriteText(&TsaveItHeader13::PAKONTAKT, text); }
QString TDaten::GetHinweisText() const { return ReadText(&TsaveItHeader13::HINWEIS); }
void TDaten::SetHinweisText(const QString& text) { WriteText(&TsaveItHeader13::HINWEIS, text); }
QString TDaten::GetPAText() const { return ReadText(&TsaveItHeader13::PA); }
void TDaten::SetPAText(const QString& text) { WriteText(&TsaveItHeader13::PA, text); }
QString TDaten::GetSaveName() const { return ReadText(&TsaveItHeader13::myOwnName); }
void TDaten::SetSaveName(const QString& text) { WriteText(&TsaveItHeader13::myOwnName, text); }
QString TDaten::GetCopyKalFrom() const { return ReadText(&TsaveItHeader13::COPYKALFROM); }
void TDaten::SetCopyKalFrom(const QString& text) { WriteText(&TsaveItHeader13::COPYKALFROM, text); }
QString TDaten::GetCopyKorFrom() const { return ReadText(&TsaveItHeader13::COPYKORFROM); }
void TDaten::SetCopyKorFrom(const QString& text) { WriteText(&TsaveItHeader13::COPYKORFROM, text); }
QString TDaten::GetCopyDataFrom() const { return ReadText(&TsaveItHeader13::COPYDATAFROM); }
void TDaten::SetCopyDataFrom(const QString& text) { WriteText(&TsaveItHeader13::COPYDATAFROM, text); }

#include "calibration/location_store.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cmath>

#include "calibration/damaged_file.h"
#include "platform/files.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/stream_strings.h"
#include "ui_kit/text_helpers.h"

namespace {

const QString kFileName = QStringLiteral("locInfo.vld");
const QString kInvalidText = QStringLiteral("---");
constexpr qint64 kHeaderBytes = 52;
constexpr qint64 kEntryValueBytes = 56;
// Thousands of locations would be a store nobody measured; a file this size
// is not read into memory.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
constexpr double kNoBest = -5000.0;

template <typename T>
void Append(QByteArray& image, T value) {
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    image.append(raw, sizeof raw);
}

// Reads one little-endian value; false (value untouched) past the end.
template <typename T>
bool Take(QBuffer& in, T& value) {
    char raw[sizeof(T)];
    if (in.read(raw, sizeof raw) != static_cast<qint64>(sizeof raw)) return false;
    value = qFromLittleEndian<T>(raw);
    return true;
}

QString SplText(double calM, double amplitude) {
    if (!(amplitude > 0.0)) return kInvalidText;
    return FixedSignificant(calM + 20.0 * std::log10(amplitude), 4, 1);
}

}  // namespace

TKorrLocation::TKorrLocation(const QString& userDirName) {
    Clear();
    needSave_ = false;
    savePath_ = userDirName + QLatin1Char('/') + kFileName;
    LoadValues();
}

TKorrLocation::~TKorrLocation() {
    if (!finished_) Finish();
}

// --- persistence ---

void TKorrLocation::LoadValues() {
    Lock lock(myCs_);
    aLocs_.clear();
    needSave_ = false;
    unreadFile_ = false;
    if (!QFileInfo::exists(savePath_)) return;
    QString why;
    const std::optional<QByteArray> content = platform::ReadFileBounded(savePath_, kMaxFileBytes, &why);
    if (!content || !Parse(*content)) {
        ClearLocked();
        unreadFile_ = true;
    }
    needSave_ = false;
}

// Fields after the end of the file keep what they had; only a count that
// cannot be right makes the file unreadable.
bool TKorrLocation::Parse(const QByteArray& content) {
    QByteArray copy = content;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    int32_t count = 0;
    if (!Take(in, count)) return false;
    if (count < -1 || static_cast<qint64>(count) + 1 > content.size()) return false;
    int32_t useTg = mUseTg_ ? 1 : 0;
    if (Take(in, lastSave_) && Take(in, useTg)) mUseTg_ = useTg != 0;
    (void)(Take(in, mDauer_) && Take(in, mOutVol_) && Take(in, mSeVol_) && Take(in, mInVol_) && Take(in, myMode_) &&
           Take(in, myCalM_) && Take(in, myCalR_));
    aLocs_.assign(static_cast<size_t>(count + 1), TLocInfo{});
    for (TLocInfo& loc : aLocs_) {
        if (!(Take(in, loc.kFA) && Take(in, loc.kFC) && Take(in, loc.kFZ) && Take(in, loc.kTime) &&
              Take(in, loc.splA) && Take(in, loc.splC) && Take(in, loc.splZ))) {
            break;
        }
        // An over-long text whose bytes are present is skipped whole, so the
        // next entry is read in step.
        ReadStreamString(in, loc.locText);
    }
    return true;
}

QByteArray TKorrLocation::Image() const {
    QByteArray image;
    image.reserve(static_cast<qsizetype>(kHeaderBytes + aLocs_.size() * (kEntryValueBytes + 4)));
    Append<int32_t>(image, static_cast<int32_t>(aLocs_.size()) - 1);
    Append<double>(image, CorrectedNow());
    Append<int32_t>(image, mUseTg_ ? 1 : 0);
    Append<int32_t>(image, mDauer_);
    Append<int32_t>(image, mOutVol_);
    Append<int32_t>(image, mSeVol_);
    Append<int32_t>(image, mInVol_);
    Append<int32_t>(image, myMode_);
    Append<double>(image, myCalM_);
    Append<double>(image, myCalR_);
    for (const TLocInfo& loc : aLocs_) {
        for (double value : {loc.kFA, loc.kFC, loc.kFZ, loc.kTime, loc.splA, loc.splC, loc.splZ}) {
            Append<double>(image, value);
        }
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        WriteStreamString(out, loc.locText);
        image.append(text);
    }
    return image;
}

bool TKorrLocation::SetDamagedAside() {
    const QString bad = FreeBadName(savePath_);
    if (QFile::rename(savePath_, bad)) {
        report_ = QStringLiteral("The location store %1 could not be read; it was kept as %2.")
                      .arg(QDir::toNativeSeparators(savePath_), QDir::toNativeSeparators(bad));
        unreadFile_ = false;
        return true;
    }
    report_ = QStringLiteral("The location store %1 could not be read and could not be kept as %2; it was left unchanged.")
                  .arg(QDir::toNativeSeparators(savePath_), QDir::toNativeSeparators(bad));
    return false;
}

bool TKorrLocation::WriteLocked() {
    if (unreadFile_ && QFileInfo::exists(savePath_) && !SetDamagedAside()) return false;
    unreadFile_ = false;
    if (aLocs_.empty()) {
        if (!QFileInfo::exists(savePath_) || QFile::remove(savePath_)) return true;
        report_ = QStringLiteral("The location store %1 could not be deleted.").arg(QDir::toNativeSeparators(savePath_));
        return false;
    }
    QString why;
    if (platform::WriteFileAtomically(savePath_, Image(), &why)) return true;
    report_ = QStringLiteral("The location store %1 could not be saved: %2").arg(QDir::toNativeSeparators(savePath_), why);
    return false;
}

bool TKorrLocation::CheckAndSave() {
    Lock lock(myCs_);
    if (!needSave_) return true;
    needSave_ = false;
    return WriteLocked();
}

bool TKorrLocation::Finish() {
    Lock lock(myCs_);
    finished_ = true;
    needSave_ = false;
    return WriteLocked();
}

QString TKorrLocation::TakeReport() {
    Lock lock(myCs_);
    QString report;
    report.swap(report_);
    return report;
}

bool TKorrLocation::NeedSave() const { return GetField(needSave_); }
platform::TDateTime TKorrLocation::LastSave() const { return GetField(lastSave_); }

void TKorrLocation::ClearLocked() {
    aLocs_.clear();
    mUseTg_ = IsOutputRunning();
    mDauer_ = kDefaultKorrDauer;
    mOutVol_ = kVolumeUnknown;
    mSeVol_ = kDefaultSeVol;
    mInVol_ = kVolumeUnknown;
    needSave_ = true;
}

void TKorrLocation::Clear() {
    Lock lock(myCs_);
    ClearLocked();
}

// --- locations ---

int32_t TKorrLocation::Add(double refA, double refC, double refF, platform::TDateTime wann, double spA, double spC,
                           double spZ, const QString& info) {
    Lock lock(myCs_);
    aLocs_.push_back(TLocInfo{CapStreamString(info), refA, refC, refF, wann, spA, spC, spZ});
    needSave_ = true;
    return static_cast<int32_t>(aLocs_.size()) - 1;
}

int32_t TKorrLocation::RemoveEntry(int32_t entryId) {
    Lock lock(myCs_);
    if (ValidId(entryId)) {
        aLocs_.erase(aLocs_.begin() + entryId);
        needSave_ = true;
    }
    return static_cast<int32_t>(aLocs_.size());
}

int32_t TKorrLocation::GetLocCount() const {
    Lock lock(myCs_);
    return static_cast<int32_t>(aLocs_.size());
}

QString TKorrLocation::GetLocText(int32_t id, bool addDate) const {
    Lock lock(myCs_);
    if (!ValidId(id)) return kInvalidText;
    const TLocInfo& loc = aLocs_[static_cast<size_t>(id)];
    return addDate ? DateTimeText(loc.kTime) + QLatin1Char(' ') + loc.locText : loc.locText;
}

platform::TDateTime TKorrLocation::GetDateTime(int32_t id) const {
    Lock lock(myCs_);
    return ValidId(id) ? aLocs_[static_cast<size_t>(id)].kTime : -1.0;
}

TLocInfo TKorrLocation::GetEntry(int32_t id) const {
    Lock lock(myCs_);
    return ValidId(id) ? aLocs_[static_cast<size_t>(id)] : TLocInfo{};
}

QString TKorrLocation::GetValueInfoString(int32_t entryId) const {
    Lock lock(myCs_);
    if (!ValidId(entryId)) return kInvalidText;
    const TLocInfo& loc = aLocs_[static_cast<size_t>(entryId)];
    QString text;
    if (IsDualKorr()) {
        text = QStringLiteral("KF A: %1 dB, KF C: %2 dB, KF Z: %3 dB\r\n")
                   .arg(FixedSignificant(loc.kFA, 4, 3), FixedSignificant(loc.kFC, 4, 3), FixedSignificant(loc.kFZ, 4, 3));
    }
    return text + QStringLiteral("Spl A: %1 dB, Spl C: %2 dB, Spl Z: %3 dB")
                      .arg(SplText(myCalM_, loc.splA), SplText(myCalM_, loc.splC), SplText(myCalM_, loc.splZ));
}

// --- loudest location ---

double TKorrLocation::CompareValue(const TLocInfo& loc, int32_t weighting) const {
    const bool dual = myMode_ == kModeTwoMics;
    const std::array<double, 3> values = dual ? std::array<double, 3>{loc.kFA, loc.kFC, loc.kFZ}
                                              : std::array<double, 3>{loc.splA, loc.splC, loc.splZ};
    return values[static_cast<size_t>(weighting)];
}

// Of equal maxima the first one added wins.
int32_t TKorrLocation::LoudestId(int32_t weighting) const {
    Lock lock(myCs_);
    double best = kNoBest;
    int32_t id = -1;
    for (size_t i = 0; i < aLocs_.size(); ++i) {
        const double value = CompareValue(aLocs_[i], weighting);
        if (value > best) {
            best = value;
            id = static_cast<int32_t>(i);
        }
    }
    return id;
}

double TKorrLocation::RefOf(int32_t weighting) const {
    Lock lock(myCs_);
    const int32_t id = LoudestId(weighting);
    return id < 0 ? kNoLocValue : CompareValue(aLocs_[static_cast<size_t>(id)], weighting);
}

double TKorrLocation::SplOf(int32_t weighting) const {
    Lock lock(myCs_);
    const int32_t id = LoudestId(weighting);
    if (id < 0) return kNoLocValue;
    const TLocInfo& loc = aLocs_[static_cast<size_t>(id)];
    const std::array<double, 3> spl{loc.splA, loc.splC, loc.splZ};
    return spl[static_cast<size_t>(weighting)];
}

int32_t TKorrLocation::GetNumDifLoc() const {
    Lock lock(myCs_);
    const int32_t a = GetIdKFA();
    const int32_t c = GetIdKFC();
    const int32_t z = GetIdKFZ();
    const int32_t equalPairs = (a == c ? 1 : 0) + (a == z ? 1 : 0) + (c == z ? 1 : 0);
    return std::max(1, 3 - equalPairs);
}

bool TKorrLocation::IsDualKorr() const {
    Lock lock(myCs_);
    return !aLocs_.empty() && myMode_ == kModeTwoMics;
}

// --- run settings ---

void TKorrLocation::SetDauer(int32_t newDauerS) { SetField(mDauer_, newDauerS); }
int32_t TKorrLocation::GetDauer() const { return GetField(mDauer_); }
void TKorrLocation::SetSeTgVol(int32_t newTgVol) { SetField(mSeVol_, newTgVol); }
int32_t TKorrLocation::GetSeV() const { return GetField(mSeVol_); }
void TKorrLocation::SetUseTg(bool useInternalPN) { SetField(mUseTg_, useInternalPN); }
bool TKorrLocation::GetUseTg() const { return GetField(mUseTg_); }
void TKorrLocation::SetInVal(int32_t newInVal) { SetField(mInVol_, newInVal); }
int32_t TKorrLocation::GetInVol() const { return GetField(mInVol_); }
void TKorrLocation::SetOutVal(int32_t newOutVal) { SetField(mOutVol_, newOutVal); }
int32_t TKorrLocation::GetOutVol() const { return GetField(mOutVol_); }
void TKorrLocation::InVolInvalid() { SetField(mInVol_, kVolumeUnknown); }
int32_t TKorrLocation::GetMode() const { return GetField(myMode_); }
double TKorrLocation::GetCalM() const { return GetField(myCalM_); }
double TKorrLocation::GetCalR() const { return GetField(myCalR_); }

void TKorrLocation::SetKorrConfig(double mCal, double rCal, int32_t mode) {
    Lock lock(myCs_);
    myMode_ = mode;
    myCalM_ = mCal;
    myCalR_ = mode == kModeTwoMics ? rCal : 0.0;
    needSave_ = true;
}

bool TKorrLocation::DoesCalFit(double calM, double calR) const {
    Lock lock(myCs_);
    if (aLocs_.empty() || calM < 0.0) return false;
    if (IsDualKorr()) return calM == myCalM_ && calR == myCalR_;
    return calM == myCalM_;
}

QString TKorrLocation::PatternToLabel(int32_t pattern, bool showFull) {
    if (!showFull && (pattern & 7) == 7) return QString();
    QStringList letters;
    if (pattern & 1) letters << QStringLiteral("A");
    if (pattern & 2) letters << QStringLiteral("C");
    if (pattern & 4) letters << QStringLiteral("Z");
    return letters.join(QStringLiteral(" + "));
}

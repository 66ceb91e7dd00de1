#include "calibration/calibration_log.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <cstring>

#include "calibration/damaged_file.h"
#include "platform/files.h"
#include "ui_kit/stream_strings.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

// A log holds one entry per calibrator run; a file far beyond what years of
// runs could write is not a log, and is not read into memory.
constexpr qint64 kMaxLogFileBytes = 32 * 1024 * 1024;
constexpr int32_t kCurrentFormat = 1;
// The fixed part and three empty texts: the least one entry takes in the file.
constexpr qint64 kMinEntryBytes = sizeof(TCalInfo) + 3 * 4;
constexpr int32_t kNoTextId = 816;

const QString kInvalidText = QStringLiteral("---");

bool ReadRaw(QBuffer& in, void* data, qint64 size) { return in.read(static_cast<char*>(data), size) == size; }

bool ReadInt32(QBuffer& in, int32_t& value) {
    char raw[4];
    if (!ReadRaw(in, raw, 4)) return false;
    value = qFromLittleEndian<int32_t>(raw);
    return true;
}

bool ReadInfo(QBuffer& in, TCalInfo& info) {
    char raw[sizeof(TCalInfo)];
    if (!ReadRaw(in, raw, sizeof raw)) return false;
    info.Zeit = qFromLittleEndian<double>(raw);
    info.RefVal = qFromLittleEndian<double>(raw + 8);
    info.cMode = qFromLittleEndian<int32_t>(raw + 16);
    info.RefVol = qFromLittleEndian<double>(raw + 20);
    return true;
}

bool ReadInfoOld(QBuffer& in, TCalInfoOld& info) {
    char raw[sizeof(TCalInfoOld)];
    if (!ReadRaw(in, raw, sizeof raw)) return false;
    info.Zeit = qFromLittleEndian<double>(raw);
    info.RefVal = qFromLittleEndian<double>(raw + 8);
    info.cMode = qFromLittleEndian<int32_t>(raw + 16);
    info.cSize = qFromLittleEndian<int32_t>(raw + 20);
    info.rSize = qFromLittleEndian<int32_t>(raw + 24);
    return true;
}

void AppendInfo(QByteArray& image, const TCalInfo& info) {
    char raw[sizeof(TCalInfo)];
    qToLittleEndian(info.Zeit, raw);
    qToLittleEndian(info.RefVal, raw + 8);
    qToLittleEndian(info.cMode, raw + 16);
    qToLittleEndian(info.RefVol, raw + 20);
    image.append(raw, sizeof raw);
}

// One text of a current-format entry. A count outside 2 .. 2500 gives the
// empty text, as the stream-string rule says; a text cut off by the end of
// the file makes the file damaged.
bool ReadEntryText(QBuffer& in, QString& text) {
    text.clear();
    if (in.bytesAvailable() < 4) return false;
    char raw[4];
    in.peek(raw, 4);
    const int32_t count = qFromLittleEndian<int32_t>(raw);
    if (count >= 2 && count <= kStreamStringMaxBytes && in.bytesAvailable() - 4 < count) return false;
    ReadStreamString(in, text);
    return true;
}

// The raw UTF-16LE text of an old-format record.
bool ReadOldText(QBuffer& in, int32_t bytes, QString& text) {
    text.clear();
    if (bytes < 0 || bytes > in.bytesAvailable()) return false;
    const QByteArray raw = in.read(bytes);
    text = CapCalLogText(QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2));
    return true;
}

bool ParseCurrent(QBuffer& in, std::vector<TCalLogData>& out, QString& why) {
    int32_t count = 0;
    if (!ReadInt32(in, count)) {
        why = QStringLiteral("the number of entries is missing");
        return false;
    }
    // Checked against the bytes present before anything is reserved, so a
    // count of a damaged file never decides how much memory is taken.
    if (count < 0 || count > in.bytesAvailable() / kMinEntryBytes) {
        why = QStringLiteral("it announces %1 entries").arg(count);
        return false;
    }
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        TCalLogData entry;
        if (!ReadInfo(in, entry.TheInfo) || !ReadEntryText(in, entry.calibrator) || !ReadEntryText(in, entry.Remark) ||
            !ReadEntryText(in, entry.Device)) {
            why = QStringLiteral("entry %1 of %2 is cut off").arg(i + 1).arg(count);
            return false;
        }
        out.push_back(std::move(entry));
    }
    return true;
}

bool ParseOld(QBuffer& in, std::vector<TCalLogData>& out, QString& why) {
    while (!in.atEnd()) {
        TCalInfoOld old{};
        TCalLogData entry;
        if (!ReadInfoOld(in, old) || !ReadOldText(in, old.rSize, entry.Remark) ||
            !ReadOldText(in, old.cSize, entry.calibrator)) {
            why = QStringLiteral("record %1 runs past the end of the file").arg(out.size() + 1);
            return false;
        }
        entry.TheInfo = TCalInfo{old.Zeit, old.RefVal, old.cMode, -1.0};
        entry.Device = kInvalidText;
        out.push_back(std::move(entry));
    }
    return true;
}

bool Parse(const QByteArray& content, std::vector<TCalLogData>& out, QString& why) {
    QByteArray copy = content;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    int32_t marker = 0;
    if (content.size() >= 4 && ReadInt32(in, marker) && marker == kCurrentFormat) return ParseCurrent(in, out, why);
    in.seek(0);
    return ParseOld(in, out, why);
}

}  // namespace

QString CapCalLogText(const QString& text) {
    if (text.size() <= kCalLogTextMax) return text;
    qsizetype units = kCalLogTextMax;
    if (text.at(units - 1).isHighSurrogate() && text.at(units).isLowSurrogate()) --units;
    return text.left(units);
}

bool TCalLog::LoadData(const QString& fn) {
    Lock lock(csDam);
    damageReport_.clear();
    if (!QFileInfo::exists(fn)) return false;
    protectedFile_.clear();
    QString why;
    const std::optional<QByteArray> content = platform::ReadFileBounded(fn, kMaxLogFileBytes, &why);
    std::vector<TCalLogData> entries;
    if (!content) {
        TakeDamaged(fn, nullptr, why);
        return true;
    }
    if (!Parse(*content, entries, why)) {
        TakeDamaged(fn, &*content, why);
        return true;
    }
    aCalLogs.clear();
    for (TCalLogData& entry : entries) Append(std::move(entry));
    return true;
}

// The log starts empty; the damaged file is moved aside whole, so the next
// save cannot overwrite what someone may still want to recover.
void TCalLog::TakeDamaged(const QString& fn, const QByteArray* content, const QString& why) {
    aCalLogs.clear();
    const QString bad = FreeBadName(fn);
    const bool kept = QFile::rename(fn, bad) || (content && platform::WriteFileAtomically(bad, *content));
    damageReport_ = QStringLiteral("The calibration log %1 cannot be read (%2). ").arg(QDir::toNativeSeparators(fn), why);
    if (!kept) protectedFile_ = fn;
    damageReport_ += kept ? QStringLiteral("It was kept as %1; a new, empty log is started.").arg(QDir::toNativeSeparators(bad))
                          : QStringLiteral("It could not be kept as %1; a new, empty log is started.")
                                .arg(QDir::toNativeSeparators(bad));
}

QString TCalLog::DamageReport() const {
    Lock lock(csDam);
    return damageReport_;
}

QByteArray TCalLog::Image(const std::vector<TCalLogData>& entries) {
    QByteArray image;
    QBuffer out(&image);
    out.open(QIODevice::WriteOnly);
    char head[8];
    qToLittleEndian<int32_t>(kCurrentFormat, head);
    qToLittleEndian<int32_t>(static_cast<int32_t>(entries.size()), head + 4);
    out.write(head, sizeof head);
    for (const TCalLogData& entry : entries) {
        QByteArray info;
        AppendInfo(info, entry.TheInfo);
        out.write(info);
        WriteStreamString(out, entry.calibrator);
        WriteStreamString(out, entry.Remark);
        WriteStreamString(out, entry.Device);
    }
    return image;
}

bool TCalLog::SaveData(const QString& fn, QString* error) {
    Lock lock(csDam);
    if (!protectedFile_.isEmpty() && QFileInfo(fn) == QFileInfo(protectedFile_)) {
        if (error) *error = QStringLiteral("the damaged log %1 is not overwritten").arg(QDir::toNativeSeparators(fn));
        return false;
    }
    return platform::WriteFileAtomically(fn, Image(aCalLogs), error);
}

void TCalLog::Append(TCalLogData entry) {
    entry.calibrator = CapCalLogText(entry.calibrator);
    entry.Remark = CapCalLogText(entry.Remark);
    entry.Device = CapCalLogText(entry.Device);
    entry.serial = nextSerial_++;
    aCalLogs.push_back(std::move(entry));
}

double TCalLog::AddKal(double rw, const QString& cName, const QString& rString, const QString& device, int32_t cModeL,
                       double refVolume, platform::TDateTime daLa) {
    Lock lock(csDam);
    const int32_t family = (cModeL == 1 || cModeL == 2) ? 3 : cModeL;
    const double difference = GetDifference(family, rw);
    AddOff(rw, cName, rString, device, cModeL, refVolume, daLa);
    return difference;
}

int32_t TCalLog::AddOff(double rw, const QString& cName, const QString& rString, const QString& device, int32_t cModeL,
                        double refVolume, platform::TDateTime daLa) {
    Lock lock(csDam);
    TCalLogData entry;
    entry.TheInfo = TCalInfo{daLa > 0 ? daLa : platform::SystemLocalNow(), rw, cModeL, refVolume};
    entry.calibrator = cName;
    entry.Remark = rString;
    entry.Device = device;
    Append(std::move(entry));
    return static_cast<int32_t>(aCalLogs.size()) - 1;
}

void TCalLog::SetEntryRemark(int32_t eId, const QString& remark) {
    Lock lock(csDam);
    if (ValidId(eId)) aCalLogs[eId].Remark = CapCalLogText(remark.trimmed());
}

bool TCalLog::RemoveEntry(int32_t eId) {
    Lock lock(csDam);
    if (!ValidId(eId)) return false;
    aCalLogs.erase(aCalLogs.begin() + eId);
    return true;
}

void TCalLog::ClearAll() {
    Lock lock(csDam);
    aCalLogs.clear();
}

int32_t TCalLog::NumEntries() const {
    Lock lock(csDam);
    return static_cast<int32_t>(aCalLogs.size());
}

int32_t TCalLog::NumEntriesF(int32_t theFilter) const {
    Lock lock(csDam);
    int32_t n = 0;
    for (const TCalLogData& entry : aCalLogs)
        if ((entry.TheInfo.cMode & theFilter) != 0) ++n;
    return n;
}

bool TCalLog::IsIdValid(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId);
}

int32_t TCalLog::LastIdMatching(int32_t mask, bool exact, int32_t mode) const {
    for (int32_t id = static_cast<int32_t>(aCalLogs.size()) - 1; id >= 0; --id) {
        const int32_t kind = aCalLogs[id].TheInfo.cMode;
        if (exact ? kind == mode : (kind & mask) != 0) return id;
    }
    return -1;
}

int32_t TCalLog::GetLastCalId(int32_t cModeL) const {
    Lock lock(csDam);
    return cModeL == 3 ? LastIdMatching(kCalFamilyCalibration, false, 0) : LastIdMatching(0, true, cModeL);
}

int32_t TCalLog::GetLastOffId() const {
    Lock lock(csDam);
    return LastIdMatching(kCalFamilyVerification, false, 0);
}

platform::TDateTime TCalLog::GetLastCalDate(int32_t modL) const {
    Lock lock(csDam);
    const int32_t id = GetLastCalId(modL);
    return id < 0 ? 0.0 : aCalLogs[id].TheInfo.Zeit;
}

double TCalLog::GetDifference(int32_t modL, double vWert) const {
    Lock lock(csDam);
    const int32_t id = GetLastCalId(modL);
    return id < 0 ? 0.0 : vWert - aCalLogs[id].TheInfo.RefVal;
}

platform::TDateTime TCalLog::GetEntryDateTime(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].TheInfo.Zeit : 0.0;
}

double TCalLog::GetEntryVal(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].TheInfo.RefVal : 0.0;
}

int32_t TCalLog::GetEntryMode(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].TheInfo.cMode : 0;
}

double TCalLog::GetEntryVolume(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].TheInfo.RefVol : 0.0;
}

bool TCalLog::GetEntryIsPre(int32_t eId) const {
    const int32_t kind = GetEntryMode(eId);
    return kind == kCalModeCalibration || kind == kCalModeVerifyBefore;
}

bool TCalLog::GetEntryIsOff(int32_t eId) const { return (GetEntryMode(eId) & kCalFamilyVerification) != 0; }

QString TCalLog::GetEntryCalStr(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].calibrator : kInvalidText;
}

QString TCalLog::GetEntryRemark(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].Remark : kInvalidText;
}

QString TCalLog::GetEntryDevice(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].Device : kInvalidText;
}

QStringList TCalLog::GetDevicesList() const {
    Lock lock(csDam);
    QStringList devices;
    for (const TCalLogData& entry : aCalLogs)
        if (!devices.contains(entry.Device, Qt::CaseInsensitive)) devices << entry.Device;
    return devices;
}

double TCalLog::GetDelta(int32_t id) const {
    Lock lock(csDam);
    if (!ValidId(id)) return kCalNoDelta;
    const int32_t mask = GetEntryIsOff(id) ? kCalFamilyVerification : kCalFamilyCalibration;
    for (int32_t earlier = id - 1; earlier >= 0; --earlier) {
        if ((aCalLogs[earlier].TheInfo.cMode & mask) != 0)
            return aCalLogs[id].TheInfo.RefVal - aCalLogs[earlier].TheInfo.RefVal;
    }
    return kCalNoDelta;
}

double TCalLog::GetAverage() const {
    Lock lock(csDam);
    if (aCalLogs.empty()) return 0.0;
    double sum = 0.0;
    for (const TCalLogData& entry : aCalLogs) sum += entry.TheInfo.RefVal;
    return sum / static_cast<double>(aCalLogs.size());
}

double TCalLog::GetSD() const {
    Lock lock(csDam);
    if (aCalLogs.size() < 2) return 0.0;
    const double mean = GetAverage();
    double squares = 0.0;
    for (const TCalLogData& entry : aCalLogs) squares += (entry.TheInfo.RefVal - mean) * (entry.TheInfo.RefVal - mean);
    return std::sqrt(squares / static_cast<double>(aCalLogs.size() - 1));
}

QString TCalLog::GetEntryStr(int32_t eId) const {
    Lock lock(csDam);
    const int32_t id = eId < 0 ? static_cast<int32_t>(aCalLogs.size()) - 1 : eId;
    if (!ValidId(id)) return GetLangText(kNoTextId);
    const TCalInfo& info = aCalLogs[id].TheInfo;
    return DateText(info.Zeit) + QLatin1Char(' ') + TimeText(info.Zeit) + QStringLiteral(" • ") +
           FixedText(info.RefVal, 2) + QStringLiteral(" dB");
}

QString TCalLog::GetStrings(int32_t eId) const {
    Lock lock(csDam);
    if (!ValidId(eId)) return kInvalidText;
    const TCalLogData& entry = aCalLogs[eId];
    return JoinWithBullet(JoinWithBullet(entry.calibrator, entry.Remark), entry.Device);
}

uint64_t TCalLog::GetEntrySerial(int32_t eId) const {
    Lock lock(csDam);
    return ValidId(eId) ? aCalLogs[eId].serial : 0;
}

int32_t TCalLog::FindSerial(uint64_t serial) const {
    Lock lock(csDam);
    for (size_t id = 0; id < aCalLogs.size(); ++id)
        if (aCalLogs[id].serial == serial) return static_cast<int32_t>(id);
    return -1;
}

bool TCalLog::ShowEdit(double delta, int32_t mode) {
    switch (mode) {
        case 1:
            return true;
        case 2:
            return std::fabs(delta) > 0.5;
        case 3:
            return std::fabs(delta) > 1.0;
        default:
            return false;
    }
}

#pragma once
// The calibration log: every calibration and verification made with an
// acoustic calibrator, oldest first, kept in memory and in "CalLog.VTL".
//
// One object lives as long as the program: the web server's threads read
// GetAverage while the main thread adds, removes, saves and reloads, so the
// entries are guarded by one reentrant lock and the object itself is never
// replaced while the program runs.
//
// File (little-endian): int32 marker 1, int32 N, then N entries, each the
// 28 bytes of TCalInfo followed by the calibrator text, the remark and the
// device name as stream strings. A file whose first word is not 1 is the old
// format: records of TCalInfoOld, the remark and then the calibrator text as
// raw UTF-16LE of the byte lengths the record gives.
//
// A file that cannot be read as one of the two formats is damaged: the log
// starts empty, the file is kept byte for byte as "<name>.bad" (or
// "<name>.bad.<n>" when that is taken) before anything can overwrite it, and
// DamageReport() says so.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/date_time.h"

#pragma pack(push, 1)
struct TCalInfo {
    double Zeit;    // local time of the entry
    double RefVal;  // calibration value, or the deviation of a verification
    int32_t cMode;  // 1 calibration, 8 verification before, 16 after a measurement
    double RefVol;  // capture volume of the run; 65551 unknown, -1 taken from an old file
};
static_assert(sizeof(TCalInfo) == 28);

struct TCalInfoOld {
    double Zeit;
    double RefVal;
    int32_t cMode;
    int32_t cSize;  // byte length of the calibrator text
    int32_t rSize;  // byte length of the remark, which comes first in the file
};
static_assert(sizeof(TCalInfoOld) == 28);
#pragma pack(pop)

struct TCalLogData {
    TCalInfo TheInfo{};
    QString calibrator;
    QString Remark;
    QString Device;
    // Names this entry for as long as the program runs, whatever is removed
    // before it; never stored.
    uint64_t serial = 0;
};

inline constexpr int32_t kCalModeCalibration = 1;
inline constexpr int32_t kCalModeVerifyBefore = 8;
inline constexpr int32_t kCalModeVerifyAfter = 16;
inline constexpr int32_t kCalFamilyCalibration = 0x3;
inline constexpr int32_t kCalFamilyVerification = 0x18;
inline constexpr double kCalNoDelta = -1000.0;
inline constexpr double kCalVolumeUnknown = 65551.0;
// The most a text of an entry holds, in UTF-16 code units.
inline constexpr int32_t kCalLogTextMax = 1250;

class TCalLog {
public:
    TCalLog() = default;
    TCalLog(const TCalLog&) = delete;
    TCalLog& operator=(const TCalLog&) = delete;

    // --- files ---
    // False when fn does not exist (nothing changes). Otherwise the entries
    // become the file's; a damaged file gives an empty log (see above).
    bool LoadData(const QString& fn);
    // Writes every entry in the current format, replacing fn whole. False,
    // with *error saying why and the entries untouched, when it cannot.
    bool SaveData(const QString& fn, QString* error = nullptr);
    // What the last LoadData found wrong with its file; empty when nothing.
    QString DamageReport() const;

    // --- changing (main thread) ---
    // Appends a calibration and answers rw minus the newest earlier
    // calibration's value, 0.0 when there is none. daLa <= 0: now.
    double AddKal(double rw, const QString& cName, const QString& rString, const QString& device, int32_t cModeL,
                  double refVolume, platform::TDateTime daLa);
    // Appends an entry and answers its id.
    int32_t AddOff(double rw, const QString& cName, const QString& rString, const QString& device, int32_t cModeL,
                   double refVolume, platform::TDateTime daLa);
    void SetEntryRemark(int32_t eId, const QString& remark);
    bool RemoveEntry(int32_t eId);
    void ClearAll();

    // --- queries ---
    int32_t NumEntries() const;
    int32_t NumEntriesF(int32_t theFilter) const;
    bool IsIdValid(int32_t eId) const;
    int32_t GetLastCalId(int32_t cModeL) const;
    int32_t GetLastOffId() const;
    platform::TDateTime GetLastCalDate(int32_t modL) const;
    double GetDifference(int32_t modL, double vWert) const;
    platform::TDateTime GetEntryDateTime(int32_t eId) const;
    double GetEntryVal(int32_t eId) const;
    int32_t GetEntryMode(int32_t eId) const;
    double GetEntryVolume(int32_t eId) const;
    bool GetEntryIsPre(int32_t eId) const;
    bool GetEntryIsOff(int32_t eId) const;
    QString GetEntryCalStr(int32_t eId) const;
    QString GetEntryRemark(int32_t eId) const;
    QString GetEntryDevice(int32_t eId) const;
    QString GetDevice(int32_t id) const { return GetEntryDevice(id); }
    QStringList GetDevicesList() const;
    double GetDelta(int32_t id) const;
    double GetAverage() const;  // any thread
    double GetSD() const;
    QString GetEntryStr(int32_t eId) const;
    QString GetStrings(int32_t eId) const;
    // The entry's serial, 0 for an invalid id; the id of a serial, -1 when
    // that entry is gone.
    uint64_t GetEntrySerial(int32_t eId) const;
    int32_t FindSerial(uint64_t serial) const;

    // --- remark presets and editor modes (no state) ---
    static bool IsUsePreset(int32_t pId) { return (pId & 0x1000) != 0; }
    static bool IsPresetVA(int32_t pId) { return (pId & 0x1) != 0; }
    static bool IsPresetLocation(int32_t pId) { return (pId & 0x2) != 0; }
    static bool IsPresetSigner(int32_t pId) { return (pId & 0x4) != 0; }
    static bool ShowEdit(double delta, int32_t mode);

    // Builds the file image of entries (exposed for the tests of the format).
    static QByteArray Image(const std::vector<TCalLogData>& entries);

private:
    using Lock = std::lock_guard<std::recursive_mutex>;
    bool ValidId(int32_t eId) const { return eId >= 0 && static_cast<size_t>(eId) < aCalLogs.size(); }
    int32_t LastIdMatching(int32_t mask, bool exact, int32_t mode) const;
    void Append(TCalLogData entry);
    void TakeDamaged(const QString& fn, const QByteArray* content, const QString& why);

    mutable std::recursive_mutex csDam;
    std::vector<TCalLogData> aCalLogs;
    uint64_t nextSerial_ = 1;
    QString damageReport_;
    // A damaged file that could not be moved aside: never written over.
    QString protectedFile_;
};

// Cuts text to the most an entry holds, never between the halves of a
// surrogate pair.
QString CapCalLogText(const QString& text);

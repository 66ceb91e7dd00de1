#pragma once
// The location-correction store: the immission locations the correction
// wizard measured, with the run settings they were measured with, kept
// between wizard runs and in "locInfo.vld" in the base folder.
//
// The main thread changes it (wizard, main window, idle save); the web
// server's threads read it while a remote client follows the wizard, so
// every operation, readers included, holds one re-entrant lock for its whole
// duration.
//
// File (little-endian): int32 count - 1, double save time, int32 use-own-
// signal, duration, output volume, send level, input volume, mode, double
// calibration of M and of R (52 bytes); then per location seven doubles
// (kFA, kFC, kFZ, kTime, splA, splC, splZ) and its text as a stream string.
//
// A file that ends early keeps what was read; one whose count cannot be
// right (below -1, or more entries than the file has bytes) is damaged: the
// store starts empty, and the file is set aside as "locInfo.vld.bad" before
// anything overwrites it.
#include <QString>

#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/wasapi_devices.h"
#include "platform/date_time.h"

struct TLocInfo {
    QString locText;
    double kFA = 0.0, kFC = 0.0, kFZ = 0.0;
    platform::TDateTime kTime = 0.0;
    double splA = 0.0, splC = 0.0, splZ = 0.0;
};

inline constexpr int32_t kDefaultKorrDauer = 15;
inline constexpr int32_t kDefaultSeVol = -60;
inline constexpr double kNoLocValue = -1000.0;
// The most a location text holds, in UTF-16 code units: what a stream string
// can carry and be read back.
inline constexpr int32_t kLocTextMax = 1250;
inline constexpr int32_t kModeOneMic = 1;
inline constexpr int32_t kModeTwoMics = 2;

class TKorrLocation {
public:
    // Reads userDirName/locInfo.vld when it exists.
    explicit TKorrLocation(const QString& userDirName);
    TKorrLocation(const TKorrLocation&) = delete;
    TKorrLocation& operator=(const TKorrLocation&) = delete;
    // Writes the file; a failure is kept in LastReport() for the owner to
    // tell, never thrown. The owner that wants to tell the user calls Finish first.
    ~TKorrLocation();

    // --- persistence ---
    void LoadValues();
    // Writes the file when the store changed since the last write. False when
    // the write failed (LastReport() says why; the next change tries again).
    bool CheckAndSave();
    // The unconditional write of the end of the program; an unreadable file
    // that nobody replaced is set aside first. False when the write failed.
    bool Finish();
    // Why the last write failed or what happened to a damaged file, for one
    // event line; taking it empties it.
    QString TakeReport();
    bool NeedSave() const;
    platform::TDateTime LastSave() const;
    QString SavePath() const { return savePath_; }

    void Clear();

    // --- locations ---
    int32_t Add(double refA, double refC, double refF, platform::TDateTime wann, double spA, double spC,
                double spZ, const QString& info);
    int32_t RemoveEntry(int32_t entryId);
    int32_t GetLocCount() const;
    QString GetLocText(int32_t id, bool addDate) const;
    platform::TDateTime GetDateTime(int32_t id) const;
    QString GetValueInfoString(int32_t entryId) const;
    TLocInfo GetEntry(int32_t id) const;

    // --- loudest location ---
    int32_t GetIdKFA() const { return LoudestId(0); }
    int32_t GetIdKFC() const { return LoudestId(1); }
    int32_t GetIdKFZ() const { return LoudestId(2); }
    double GetARef() const { return RefOf(0); }
    double GetCRef() const { return RefOf(1); }
    double GetZRef() const { return RefOf(2); }
    double GetASpl() const { return SplOf(0); }
    double GetCSpl() const { return SplOf(1); }
    double GetZSpl() const { return SplOf(2); }
    int32_t GetNumDifLoc() const;
    bool IsDualKorr() const;

    // --- run settings ---
    void SetDauer(int32_t newDauerS);
    int32_t GetDauer() const;
    void SetSeTgVol(int32_t newTgVol);
    int32_t GetSeV() const;
    void SetUseTg(bool useInternalPN);
    bool GetUseTg() const;
    void SetInVal(int32_t newInVal);
    int32_t GetInVol() const;
    void SetOutVal(int32_t newOutVal);
    int32_t GetOutVol() const;
    void InVolInvalid();
    void SetKorrConfig(double mCal, double rCal, int32_t mode);
    int32_t GetMode() const;
    double GetCalM() const;
    double GetCalR() const;
    bool DoesCalFit(double calM, double calR) const;

    // "A + C + Z" for the set bits (1 A, 2 C, 4 Z); empty for all three
    // unless showFull.
    static QString PatternToLabel(int32_t pattern, bool showFull);

private:
    using Lock = std::lock_guard<std::recursive_mutex>;
    void ClearLocked();
    bool Parse(const QByteArray& content);
    QByteArray Image() const;
    bool WriteLocked();
    bool SetDamagedAside();
    bool ValidId(int32_t id) const { return id >= 0 && id < static_cast<int32_t>(aLocs_.size()); }
    double CompareValue(const TLocInfo& loc, int32_t weighting) const;
    int32_t LoudestId(int32_t weighting) const;
    double RefOf(int32_t weighting) const;
    double SplOf(int32_t weighting) const;
    template <typename T>
    void SetField(T& field, T value) {
        Lock lock(myCs_);
        field = value;
        needSave_ = true;
    }
    template <typename T>
    T GetField(const T& field) const {
        Lock lock(myCs_);
        return field;
    }

    mutable std::recursive_mutex myCs_;
    std::vector<TLocInfo> aLocs_;
    QString savePath_;
    platform::TDateTime lastSave_ = 0.0;
    bool mUseTg_ = false;
    int32_t mDauer_ = kDefaultKorrDauer;
    int32_t mSeVol_ = kDefaultSeVol;
    int32_t mInVol_ = kVolumeUnknown;
    int32_t mOutVol_ = kVolumeUnknown;
    double myCalM_ = 0.0;
    double myCalR_ = 0.0;
    bool needSave_ = false;
    int32_t myMode_ = 0;
    // The file on disk could not be read and nothing has replaced it yet.
    bool unreadFile_ = false;
    bool finished_ = false;
    QString report_;
};

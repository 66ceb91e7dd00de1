#pragma once
// TDaten: the store of one measurement in memory - its header (fixed part and
// texts), the stored values, the closed Leq interval blocks and the timed
// messages.
//
// Every part of the program reads and changes a measurement only through
// this class: the lists never leave it (getters return copies) and each
// setter changes one header field. One multi-reader/single-writer lock per
// store guards everything, and every accessor takes it - also those that the
// main thread alone was meant to use - because an unguarded read beside a
// writer on another thread is undefined behaviour in C++. Derived values are
// computed under one shared hold, so each is consistent in itself; a
// sequence of calls is not atomic.
//
// Failures are told by results and marker values: appends with an id below
// 0 answer -1, reads with a bad id answer marker records, a bad quantity or
// weighting id gives the documented "none" value and a setter with a bad id
// changes nothing. The only exceptions are the range errors noted at
// SetWarnLeqK, GetWarnLeqK and GetMaxLeqK, and std::overflow_error or
// std::bad_alloc when a list cannot grow; the lock is released on every path.
#include <QChar>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/date_time.h"
#include "platform/sync.h"
#include "store/header_words.h"
#include "store/measurement_records.h"

class QIODevice;

// The weightings used by the three quantities, and what the protocol needs
// to know about them.
struct TFilterStatus {
    bool useA = false;  // A (Z, C) weights at least one quantity
    bool useC = false;
    bool useF = false;
    bool forceA = false;  // that weighting is forced into the protocol
    bool forceC = false;
    bool forceF = false;
    bool af = false;  // the correction times of A and Z have the same time of day
    bool ac = false;  // ... of A and C
    bool cf = false;  // ... of C and Z
    int32_t timeCount = 3;  // number of different correction times, 1 to 3
};

// Ids that select one of several header fields.
inline constexpr int32_t kKorrMeasurement = 8;  // the correction measurement, beside the weightings 1, 2, 4
inline constexpr int32_t kRefCalibration = 1;
inline constexpr int32_t kRefCheckBefore = 3;
inline constexpr int32_t kRefCheckAfter = 4;
inline constexpr int32_t kRefPrevious = 5;

// Marker values.
inline constexpr double kNoKorrValue = -333.0;
inline constexpr double kNoOffDif = -200.0;
inline constexpr double kNoRefLevel = -1.0;
inline constexpr double kNoThreshold = -1.0;

// What a store holds.
inline constexpr int32_t kStoreEmpty = 0;
inline constexpr int32_t kStoreHeaderOnly = 1;
inline constexpr int32_t kStoreComplete = 2;

class TDaten {
public:
    // A store in its default state (InitValues), nothing loaded.
    TDaten();
    // A store holding a copy of header with empty lists and counts 0,
    // counted as header-only.
    explicit TDaten(const TsaveItHeader13& Header);
    ~TDaten();
    TDaten(const TDaten&) = delete;
    TDaten& operator=(const TDaten&) = delete;

    // --- whole store -------------------------------------------------------

    bool Loaded() const;  // everything was loaded or copied in
    bool IsCurrentVersion() const;
    TsaveItHeader13 GetHeader() const;
    // Replaces this header (texts included) by a copy of Daten's and
    // validates it; the lists stay. Daten may be this store.
    void SetDaten(const TDaten& Daten);
    // Gives Target this store's header, values, blocks and messages; values
    // and blocks with an id below 0 stay behind. Target keeps its own lock
    // and backup bookkeeping and counts as complete. Safe while other
    // threads use either store: the source is read under its shared side,
    // then the target written under its exclusive side.
    void CopyTo(TDaten& Target) const;

    // --- stored values -----------------------------------------------------

    // Appends a copy and answers its index; -1 (nothing changes) for an id
    // below 0. With GetIsValCont, a leq, LeqK or Peak below 2 dB is taken
    // from the value before it (not for the first value).
    int32_t AddWert(const TSaveIT6& Wert);
    // A copy of value id; for an id outside the list a marker: id -1,
    // TimeStamp -1.0, everything else 0.
    TSaveIT6 GetWert(int32_t id) const;
    int32_t GetWerteAnzahl() const;  // the header's count (the file's count after a header-only load)
    void ClearWerte();
    // A copy of every stored value, taken under one lock.
    std::vector<TSaveIT6> GetWerte() const;
    int32_t GetClipCount() const;  // summed over the list (saturating)

    // --- closed blocks -----------------------------------------------------

    int32_t AddBlock(const TBlockDaten8& Daten);  // as AddWert
    // Copies block id into Daten; for an id outside the list Daten stays as it was.
    void GetBlock(int32_t id, TBlockDaten8& Daten) const;
    int32_t GetNumBlocks() const;
    void ClearBlock();

    // --- timed messages ----------------------------------------------------

    // Appends (corrected now, newText) unless the last message has the same
    // text (ASCII letters compared without case) and lies less than 2 s away.
    void AddSms(const QString& newText);
    // A copy of message id; for an id outside the list the corrected current
    // time and "Invalid Id: <id>".
    TSMS GetSms(int32_t id) const;
    int32_t GetSmsCount() const;
    void ClearSms();

    TMaxInfo GetMaxData() const;

    // --- defaults and validation --------------------------------------------

    // The default header: version 14, the standard limits, weightings,
    // windows and texts, no calibration; empties the three lists. Keeps the
    // regulation name, the limit text, the short-term limit and warning, the
    // decimals, the free duration, the protocol switches and a few others.
    void InitValues();
    // Forgets the calibration, the two checks and the reference-microphone
    // calibration (times -1.0, values 0.0).
    void ClearCal();
    // Replaces every out-of-range limit, warning, graph setting, window and
    // start or stop date (outside 1900-2200) of a header that came from
    // outside with a usable value, silently, so that no accessor of a loaded
    // store throws.
    void ValidateHeader();

    // --- single header fields ----------------------------------------------

    int32_t GetWarnPeak() const;
    void SetWarnPeak(int32_t level);
    int32_t GetWarnLEQ() const;
    void SetWarnLEQ(int32_t level);
    // The field is unsigned: a negative level, and a stored value beyond the
    // signed 32-bit range, throw std::out_of_range (nothing changes).
    int32_t GetWarnLeqK() const;
    void SetWarnLeqK(int32_t level);
    int32_t GetMaxPeak() const;
    void SetMaxPeak(int32_t level);
    int32_t GetMaxLEQ() const;
    void SetMaxLEQ(int32_t level);
    // Stored as a 64-bit float; read back rounded, halves to even.
    // Throws std::out_of_range when the stored value does not round to a
    // 32-bit integer.
    int32_t GetMaxLeqK() const;
    void SetMaxLeqK(int32_t level);

    int32_t GetGraGap() const;  // top of the level graph, dB
    void SetGraGap(int32_t top);
    int32_t GetGraRange() const;
    // Keeps the low byte of range; a word without curve switches gets all three.
    void SetGraRange(int32_t range);
    TCurveFlags GetFlags() const;
    void SetShowLeq(bool on);
    void SetShowLeqK(bool on);
    void SetShowPeak(bool on);

    int32_t GetLEQDauer() const;  // above 0 fixed intervals, below 0 moving, -2 whole measurement
    void SetLEQDauer(int32_t seconds);
    bool GetIsInterval() const;
    bool IsLeqFull() const;
    int32_t GetLEQKurzDauer() const;
    void SetLEQKurzDauer(int32_t seconds);
    int32_t GetPeakWerte() const;
    void SetPeakWerte(int32_t samples);
    int32_t GetDrawInterval() const;  // seconds per stored value
    void SetDrawInterval(int32_t seconds);

    // start when set (above 0), else the corrected current time.
    platform::TDateTime GetStartTime() const;
    void SetStartTime(platform::TDateTime t);
    // STOP; when it is below 0.1 and values are counted, the last value's time stamp.
    platform::TDateTime GetStopTime() const;
    void SetStopTime(platform::TDateTime t);

    platform::TDateTime GetCalTime() const;
    void SetCalTime(platform::TDateTime t);
    double GetCalVal() const;
    void SetCalVal(double v);
    int32_t GetCalArt() const;
    void SetCalArt(int32_t kind);
    platform::TDateTime GetOffTimeVor() const;
    void SetOffTimeVor(platform::TDateTime t);
    platform::TDateTime GetOffTimeNach() const;
    void SetOffTimeNach(platform::TDateTime t);
    double GetOffValVor() const;
    void SetOffValVor(double v);
    double GetOffValNach() const;
    void SetOffValNach(double v);
    int32_t GetKorrArt() const;  // correction method; -1 none chosen
    void SetKorrArt(int32_t kind);
    double GetRechMax() const;
    void SetRechMax(double v);
    int32_t GetPrecision() const;  // instrument class 1 or 2; 0 or below not specified
    void SetPrecision(int32_t cls);

    void SetLEQmax(double value, platform::TDateTime time);
    void SetPeakMax(double value, platform::TDateTime time);
    void SetLEQKmax(double value, platform::TDateTime time);
    double GetLEQ120() const;
    void SetLEQ120(double level);
    double GetLeqFull() const;
    void SetLeqFull(double level);

    // Quantity ids 0 Leq, 1 short-term Leq, 2 peak; false for any other id.
    bool ForceProt(int32_t id) const;
    bool ProtInfo(int32_t id) const;
    bool InsProtokoll(int32_t id) const;
    // Per quantity: state 1 information, 2 forced, anything else neither.
    void SetProtStatus(int32_t statusLeq, int32_t statusLeqK, int32_t statusPeak);

    int32_t GetNKS() const;  // decimals shown, clamped to 0 .. 3
    bool SetNKS(int32_t decimals);  // true when the value changed
    // 0 in fixed-interval mode; otherwise the free duration in minutes, or,
    // when that is 99, the moving Leq window in minutes.
    int32_t GetMessDauer() const;
    void SetMessDauer(int32_t minutes);
    int32_t GetCopyMode() const;
    void SetCopyMode(int32_t flags);
    int64_t GetVTVersion() const;
    void SetVTVersion(int64_t version);

    platform::TDateTime GetVMicCalDate() const;
    double GetVMicCalVal() const;  // 130.0 while no reference-microphone calibration is stored
    void SetVMicCal(double value);  // stamps the corrected current time
    void SetVMicCalTime(platform::TDateTime t);

    int32_t GetTioGain() const;
    bool SetTioGain(int32_t gain);  // true when the value changed
    int32_t GetMinKorrSpl() const;  // the stored value when within -100 .. -40, else -60
    bool SetMinKorrSpl(int32_t level);  // true when the value changed
    bool GetMusicKorr() const;
    void SetMusicKorr(bool on);
    bool GetIsValCont() const;
    void SetIsValCont(bool on);

    // Weighting code (1 A, 2 C, 4 Z) of a quantity; 4 for any other id.
    int32_t GetFilter(int32_t id) const;
    void SetFilter(int32_t id, int32_t code);

    // Weighting ids 1 A, 2 C, 4 Z; times and texts also 8, the correction measurement.
    double GetKorr(int32_t id) const;  // -333 for another id or a value that is no number
    void SetKorrVal(int32_t id, double value);
    platform::TDateTime GetKorrTime(int32_t id) const;  // 0.0 for another id
    void SetKorrTime(int32_t id, platform::TDateTime t);
    QString GetKorrText(int32_t id) const;  // empty for another id
    void SetKorrText(int32_t id, const QString& text);

    // Reference ids 1 calibration, 3 check before, 4 check after, 5 (read
    // only) the reference of GetPreviousValue; -1.0 for another id.
    double GetSplRef(int32_t id) const;
    void SetSplRef(int32_t id, double level);

    // --- header texts ------------------------------------------------------

    QString GetSoundCard() const;
    void SetSoundCard(const QString& text);
    QString GetORT() const;
    void SetORT(const QString& text);
    QString GetPLZ() const;
    void SetPLZ(const QString& text);
    QString GetLocationText() const;
    void SetLocationText(const QString& text);
    QString GetAdresse() const;
    void SetAdresse(const QString& text);
    QString GetVeranstaltung() const;
    void SetVeranstaltung(const QString& text);
    QString GetVeranstalter() const;
    void SetVeranstalter(const QString& text);
    QString GetMessFirma() const;
    void SetMessFirma(const QString& text);
    QString GetZeitraum() const;
    void SetZeitraum(const QString& text);
    QString GetVorschrift() const;
    void SetVorschrift(const QString& text);
    QString GetCalText() const;
    void SetCalText(const QString& text);
    QString GetOffDeviceText() const;
    void SetOffDeviceText(const QString& text);
    QString GetKorrCalcText() const;
    void SetKorrCalcText(const QString& text);
    QString GetLimitText() const;
    void SetLimitText(const QString& text);
    QString GetPATeam() const;
    void SetPATeam(const QString& text);
    QString GetUnterzeichner() const;
    void SetUnterzeichner(const QString& text);
    QString GetPAKontakt() const;
    void SetPAKontakt(const QString& text);
    QString GetHinweisText() const;
    void SetHinweisText(const QString& text);
    QString GetPAText() const;
    void SetPAText(const QString& text);
    QString GetSaveName() const;
    void SetSaveName(const QString& text);
    QString GetCopyKalFrom() const;
    void SetCopyKalFrom(const QString& text);
    QString GetCopyKorFrom() const;
    void SetCopyKorFrom(const QString& text);
    QString GetCopyDataFrom() const;
    void SetCopyDataFrom(const QString& text);

    // --- derived values ----------------------------------------------------

    // The limit (warning level) of a quantity plus half a display step
    // (0.05 with one decimal, 0.005 with two, else 0.5); -1.0 for another id.
    double GetRealLimit(int32_t id) const;
    double GetRealWarn(int32_t id) const;
    // "LAeq30min (Moving)" and the like, in language lang (1 German, 2 English).
    QString GetLEQLabel(int32_t lang) const;
    QString GetLEQKLabel(int32_t lang) const;  // without the fixed/moving suffix
    QString GetPeakLabel() const;              // "LCpeak" and the like
    // With fewer than 2 values the start time, else the second value's time
    // stamp less one save interval: the time the value slots count from.
    platform::TDateTime GetRefTime() const;
    // Whole minutes from start to STOP; -1 unless start lies before STOP.
    int32_t GetDauerInMinuten() const;
    // Fewer than 360 whole days between the calibration and the system clock.
    bool IsValidCal() const;
    // Check before minus check after when both are done; -200 otherwise.
    double GetOffDif() const;
    platform::TDateTime GetLastOffTime() const;
    double GetLastOffValue() const;
    int32_t GetLastCheckKind() const;  // 1 calibration, 3 or 4 one of the checks
    double GetPreviousValue() const;
    TFilterStatus GetFilterStatus() const;
    // The weighting whose correction was determined last (ties keep the earlier id).
    int32_t GetLastKorrId() const;
    QString GetLastKorrText() const;
    // Number of different correction times of A, C and Z (1 to 3).
    int32_t GetNumDifLoc() const;
    // Mask of the weightings (1 A, 2 C, 4 Z) measured at location n (1 to 3).
    int32_t GetKorrPattern(int32_t n) const;

    // --- measurement file (store/measurement_file.cpp) ------------------------

    // Writes the store to fn as a version-14 measurement file, enciphered when
    // pw has two or more characters (used exactly as passed). Sets Version,
    // NumBlock, NumWerte and DataSize and, outside interval mode, empties the
    // block list. False when the image could not be built (fn untouched);
    // throws FileWriteError (store/measurement_file.h) when fn cannot be written.
    bool SaveToFile(const QString& fn, const QString& pw);
    // loadMode 1 everything, 2 header only without the password prompt, 3
    // header only with it. Answers 0 loaded, 1 failed, 2 cancelled. A failed
    // or cancelled load leaves the store as it was (a missing file gives the
    // default header); why (when given) tells what was wrong with the file.
    int32_t LoadFromFile(const QString& fn, int32_t loadMode, QString* why = nullptr);
    // Saves under the store's own file name; lockFile marks the file
    // read-only. Only such a mark of this store's own is lifted by a later
    // save; a file that was read-only before is never written.
    void EndMessung(const QString& pw, bool lockFile);
    // The 29 header texts in file order; answers the bytes written, -1 when
    // the device refused a write.
    int32_t WriteHeaderStrings(QIODevice& stream) const;
    // Reads the 29 texts in file order into header; false when one is
    // damaged or missing (the texts read so far are assigned).
    static bool ReadHeaderStrings(QIODevice& stream, TsaveItHeader13& header);
    // Block index in the file's block form; false for a bad index or a refused write.
    bool WriteBlock(int32_t index, QIODevice& stream) const;
    // Reads a file of an older format version (2 to 5, 7 to 13; the whole
    // file, deciphered, in stream, read from its start) into this store:
    // 0 read, 1 not. loadMode 1 reads everything, any other the header only.
    // A version without a reader and a damaged or truncated file give 1 and
    // the store's defaults; version 3, which is read whole only, gives 1 for
    // a header-only read with the lists emptied. why tells which version and
    // what is damaged.
    // The loader calls it on a scratch store only.
    int32_t ReadOldFormat(QIODevice& stream, int32_t loadMode, int32_t version);
    int32_t ReadOldFormat(QIODevice& stream, int32_t loadMode, int32_t version, QString& why);

    // --- CSV and text export (store/csv_export.cpp) -----------------------------

    // One line per stored value: date, time, the chosen levels (peak,
    // short-term Leq, Leq) and the clip count. Asks before it replaces an
    // existing file; throws FileWriteError when the file cannot be written.
    void SaveAsCSV(const QString& Datei, QChar Trenner, QChar DezimalPunkt, bool UseHeader, bool wLeq, bool wLeqK,
                   bool wPeak) const;
    // Appends a one-line summary of the newest value (1 to 100 values stored);
    // throws FileWriteError when the file cannot be written.
    void WriteToText(const QString& fn) const;
    // The stored value whose save slot covers zeit; false when there is none.
    bool GetValueAtTime(TSaveIT6& Wert, platform::TDateTime zeit) const;

    // --- crash backups (store/crash_backups.cpp) --------------------------------

    // Empties the lists, resets the backup bookkeeping and writes the header
    // and text backups into folder. False when a backup file could not be
    // written or an old one removed.
    bool InitMessung(const QString& folder);
    // Brings the backup files up to date: values and blocks when saveBlock is
    // set, the header when it changed. True when a value or the header was
    // written and nothing failed.
    bool SecSave(bool saveBlock);
    // True when the last SecSave failed to write a file (or had no backup
    // folder); false when it wrote all it had, or had nothing to write.
    bool LastBackupFailed() const { return backupFailed.load(); }

    // --- crash-backup bookkeeping --------------------------------------------

    // True when the header changed since it was last backed up: set by the
    // appends and by the setters of start, stop, peak window, maxima, LEQ120
    // and LEQFull.
    bool GetSaveDaten() const { return saveDaten.load(); }

private:
    template <typename F>
    auto WithShared(F&& f) const {
        platform::ReadGuard guard(DataSync);
        return f(DatenLatch.theData);
    }
    template <typename F>
    auto WithExclusive(F&& f) {
        platform::WriteGuard guard(DataSync);
        return f(DatenLatch.theData);
    }
    QString ReadText(QString TsaveItHeader13::*text) const;
    void WriteText(QString TsaveItHeader13::*text, const QString& value);

    // Callers hold the lock.
    void InitValuesLocked();
    void ClearCalLocked();
    // Empties the values, blocks and messages and their counts in the header.
    void ClearContentLocked();
    void ValidateHeaderLocked();
    int32_t AppendWertLocked(const TSaveIT6& Wert);
    int32_t AppendBlockLocked(const TBlockDaten8& Daten);
    TSaveIT6 WertLocked(int32_t id) const;

    // Measurement file: the version-14 reader fills a scratch store, which
    // replaces this store's content only when the whole file was read.
    bool ReadVersion14(QIODevice& stream, int32_t loadMode, QString& why);
    // Readers of the older versions (store/old_file_versions*.cpp); each
    // throws OldFileDamage (store/old_file_records.h) on a damaged file.
    int32_t ReadVersion2To9(QIODevice& stream, int32_t loadMode, int32_t version, QString& why);
    int32_t ReadVersion10Or11(QIODevice& stream, int32_t loadMode, int32_t version);
    int32_t ReadVersion12(QIODevice& stream, int32_t loadMode);
    int32_t ReadVersion13(QIODevice& stream, int32_t loadMode);
    // One 176-byte block record into element index of the sized block list,
    // with the file's id and valDif, or renumbered (id index + 1, valDif 0).
    void ReadBlock176(int32_t index, QIODevice& stream);
    void ReadBlock176Renumber(int32_t index, QIODevice& stream);
    // NumBlock records of 192 bytes; nothing when NumBlock is 0 or less.
    void ReadBlocks192(QIODevice& stream);
    int32_t ReadListsByCount(QIODevice& stream, int32_t loadMode, bool keepCounts);
    void AdoptContent(TDaten& loaded);
    QString ReadOnlyMarkedFile() const;
    void SetReadOnlyMarkedFile(const QString& fn);
    // Crash backups, one file kind each.
    bool BackupWerte(bool& wrote);
    bool BackupBlocks();
    bool BackupHeader(bool& wrote);

    TsaveItHeader13 DatenLatch;
    QString BUP;  // folder of the crash-backup files; empty until a measurement starts
    int32_t status = kStoreEmpty;
    std::vector<TSaveIT6> aW6;
    std::vector<TBlockDaten8> aB8;
    std::vector<TSMS> aSms;
    // Field widths of blocks in files: 64-bit float, date-time, 32-bit integer.
    int32_t siDo = 8;
    int32_t siDT = 8;
    int32_t si32 = 4;
    // Which of the two alternating backup files of blocks, values and header is written next.
    int32_t blockSaveID = 1;
    int32_t werteSaveID = 1;
    int32_t datenSaveId = 1;
    std::atomic<bool> saveDaten{false};
    std::atomic<bool> backupFailed{false};
    QString readOnlyMarked_;  // the file whose read-only mark this store set
    int32_t firstWertToSave[2] = {0, 0};  // per values backup file, the first value it lacks
    int32_t lastSavedBlock[2] = {-1, -1};  // per block backup file, the last block it holds
    int64_t blockBytesSaved[2] = {0, 0};   // per block backup file, its length up to that block
    bool noData = false;  // the last load read the header only
    mutable platform::MrewLock DataSync;
};

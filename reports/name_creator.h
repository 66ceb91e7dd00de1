#pragma once
// TVtNameCreator: builds the file name of a new measurement from three name
// slots (event name, location, start time, a free text, the running number)
// joined by separators, with one of 32 date-time layouts and ".VTM". The main
// window owns the one instance; the options dialog edits it live.
//
// Every part is made safe for a file name before it is joined: the folder
// separators and control characters of event names, locations and free
// texts could otherwise leave the chosen folder or make the save fail.
#include <QString>

#include <array>
#include <cstdint>

#include "platform/date_time.h"

namespace platform {
class Registry;
}

// Part ids of a name slot.
inline constexpr int32_t kNamePartEvent = 1;
inline constexpr int32_t kNamePartLocation = 2;
inline constexpr int32_t kNamePartDate = 3;
inline constexpr int32_t kNamePartFreeText = 5;
inline constexpr int32_t kNamePartRunningNumber = 6;
inline constexpr int32_t kNamePartEmpty = 7;

// Separator ids of a gap between slots.
inline constexpr int32_t kSepHyphen = 64;
inline constexpr int32_t kSepUnderscore = 65;
inline constexpr int32_t kSepNone = 66;
inline constexpr int32_t kSepSpace = 67;

inline constexpr int32_t kDateLayoutCount = 32;

// The file-name form of one name part: "/", "\" and control characters
// become "_". Other texts stay as they are.
QString SafeNamePart(const QString& part);
// The whole name made safe: a leading "." becomes "_" and a name longer than
// 255 UTF-8 bytes is cut before its extension, never inside a character.
QString SafeFileName(const QString& stem, const QString& extension);

class TVtNameCreator {
public:
    // The file name without folder for the reference time.
    QString CreateSaveName(platform::TDateTime referenceTime) const;

    QString GetNamePart(int32_t partId) const;  // display name of a part id
    QString GetSepInfo(int32_t sepId) const;    // display name of a separator id
    int32_t GetPartMode(int32_t slot) const;
    int32_t GetSeparatorId(int32_t gap) const;
    bool IsPartEmpty(int32_t slot) const;
    void SetPartId(int32_t slot, int32_t partId);
    void SetSepId(int32_t gap, int32_t sepId);
    QString GetFreeText(int32_t slot) const;
    void SetFreeText(int32_t slot, const QString& text);
    void SetVtDateFormat(int32_t layoutId) { current.myDateFormatId = layoutId; }
    int32_t GetDateModeFormatId() const { return current.myDateFormatId; }
    static QString GetDateModeFormatString(int32_t layoutId);
    // The reference time in the layout; "c" (the locale's short date and long
    // time) for an id outside 1 to 32.
    static QString FormatDate(platform::TDateTime time, int32_t layoutId);
    QString GetRunningNumberText() const;
    static QString GetSeparatorText(int32_t sepId);
    // Counts on and stores the new number at once in the key LoadFromReg read,
    // so that a file after a crash never takes an earlier file's name.
    int32_t IncRunningNumber();
    void ResetRunningNumber() { current.runningNumber = 1; }
    int32_t GetRunningNumber() const { return current.runningNumber; }
    bool GetUseSymbolicPath() const { return current.myUseSymPath; }
    void SetUseSymbolicPath(bool on) { current.myUseSymPath = on; }

    // A null or unopened key changes nothing / writes nothing.
    void LoadFromReg(platform::Registry* reg);
    void SaveToReg(platform::Registry* reg) const;
    void DoBackUp();
    // Takes the backup back; a running number that differs is stored again.
    void RestoreBackUp();

private:
    struct Fields {
        std::array<QString, 3> aFreeText;
        std::array<int32_t, 3> aPartId{};
        std::array<int32_t, 2> aSepId{};
        int32_t myDateFormatId = 0;
        int32_t runningNumber = 0;
        bool myUseSymPath = false;
    };

    QString PartText(int32_t slot, platform::TDateTime referenceTime) const;
    void StoreRunningNumber() const;

    Fields current;
    Fields backup;
    QString keyPath;  // where LoadFromReg read the settings
};

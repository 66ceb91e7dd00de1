#pragma once
// TVTPresetHandler: the measuring presets the program knows - the built-in
// DIN 15905-5 preset, the presets found in the folder of default presets
// (".vtl") and in the user preset folder (".vup"), the current preset and the
// user preset - handed out by id:
//   0 .. count-1  the scanned list (default presets first, then user presets)
//   -1            the current preset
//   -2            the user preset
//   -3            the built-in preset
// Every read is an own copy. List ids are valid only for the list they were
// taken from; each ScanForData builds a new one.
//
// The handler has no lock: the main thread alone uses it. Other threads read
// the program's own copy of the current preset.
//
// Preset files that exist but are not understood give their default values
// (see store/preset_files.h); the messages naming them are collected until
// the owner takes them with TakeLoadProblems and tells the user.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "store/measuring_preset.h"

inline constexpr int32_t kCurrentPresetId = -1;
inline constexpr int32_t kUserPresetId = -2;
inline constexpr int32_t kDinPresetId = -3;

// The folder names the program keeps presets in: default presets beside the
// program, user presets in the user folder.
inline const QString kDefaultPresetFolderName = QStringLiteral("Presets");
inline const QString kUserPresetFolderName = QStringLiteral("VT_PRESETS");

// <program folder>/Presets, also when the folder is spelled in another case.
QString DefaultPresetFolder();
// <userFolder>/VT_PRESETS.
QString UserPresetFolder(const QString& userFolder);

class TVTPresetHandler {
public:
    // Fills the built-in preset and scans both folders. The current and the
    // user preset start empty (all 0 and empty texts) until the owner sets them.
    TVTPresetHandler(const QString& defaultFolder, const QString& userFolder);

    // Rebuilds the list from both folders; false when no preset file was
    // found, and the list then holds a copy of the built-in preset alone.
    bool ScanForData();
    int32_t GetPresetCount() const;

    bool IsValidPresetId(int32_t id) const;
    bool IsListIndex(int32_t id) const;

    // Throws std::out_of_range for an id that IsValidPresetId refuses.
    TVTPreset GetPreset(int32_t id) const;
    // Replaces the current (-1), the user (-2) preset or a list entry; any
    // other id, the built-in preset's too, changes nothing.
    void SetPreset(int32_t id, const TVTPreset& preset);
    // The current preset becomes a copy of preset id; an invalid id changes nothing.
    void SetCurrent(int32_t id);
    // SetPreset of id with the built-in preset.
    void SetDinPreset(int32_t id);

    // Reads one preset file (see LoadPresetFile); a missing file or another
    // extension gives the built-in preset.
    TVTPreset LoadPreset(const QString& fileName);
    // When the file exists, the user preset becomes its content.
    void LoadUserPreset(const QString& fileName);
    // Writes preset id as a plain preset file; false (with *error) when the
    // id is invalid or the file could not be written.
    bool SavePresetToFile(const QString& fileName, int32_t id, QString* error = nullptr);

    // Reads the current and the user preset from the registry copies under
    // keyPath (current user); without that key both become the built-in
    // preset, the user preset with the descriptions "Benutzerpreset: " and
    // "User preset: ".
    void GetPresetIntern(const QString& keyPath);
    // Writes both copies, creating the key when missing; false when the key
    // could not be opened or written (nothing is written then).
    bool SavePresetIntern(const QString& keyPath);

    // InfoD (language 1) or InfoE (language 2) of preset id, or an error
    // text naming the bad id or language.
    QString GetPresetText(int32_t id, int32_t lang) const;
    // The regulation name of preset id, or an error text naming the bad id.
    QString GetVorschrift(int32_t id) const;
    static QString GetInfo(const TVTPreset& preset, int32_t entry);
    // "---" for an invalid id.
    QString GetInfoById(int32_t id, int32_t entry) const;
    QString GetPresetDir() const;
    bool IsUserPreset(int32_t id) const;  // false for an invalid id
    int32_t GetLeqColorMode(int32_t id) const;  // 1 for anything but a list entry
    void SetLeqColorMode(int32_t id, int32_t colorMode);  // list entries only

    // The messages about preset files that were not understood since the
    // last call, in the current language; empties the collection.
    QStringList TakeLoadProblems();

private:
    const TVTPreset& presetRef(int32_t id) const;
    TVTPreset loadAndNote(const QString& fileName);
    void loadPresetInto(const QString& fileName, int32_t id);
    void loadListEntry(int32_t index);
    void appendFolder(const QString& folder, const QString& pattern);

    std::vector<TVTPreset> aPreset;
    QString dirLa;
    QString dirLaU;
    TVTPreset currentPreset;
    TVTPreset userPreset;
    TVTPreset dinPreset;
    QStringList loadProblems_;
};

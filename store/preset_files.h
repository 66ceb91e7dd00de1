#pragma once
// Preset files: the default presets ".vtl" installed beside the program (INI
// text enciphered as a whole under a fixed pass phrase) and the user presets
// ".vup" (plain INI text). The program reads both and writes only ".vup";
// the ".vtl" files are made by the build with tools/preset_cipher.
//
// Sections and keys of the INI text, with the value a missing key gives:
//   [Messung 1] .. [Messung 3]  ART, Filter, Dauer, Gelb, Rot, Status
//                               (the entries of kDefaultPresetEntries)
//   [Info]         Vorschrift "DIN15905-5", InfoD "Deutsche Info",
//                  InfoE "Information in English Language", LastModDate -1
//   [Kalibrierung] Nach 1, Ab 1        [Ende]      EndDirect 0
//   [Nachkomma]    Stellen 0           [Headroom]  Check 1
//   [User]         Preset 0            [LeqK]      Link 1
//   [Leq]          ColorMode 1
#include <QByteArray>
#include <QString>

#include "store/measuring_preset.h"
#include "store/preset_ini.h"

inline const QString kDefaultPresetExtension = QStringLiteral(".vtl");
inline const QString kUserPresetExtension = QStringLiteral(".vup");
// The pass phrase every ".vtl" file is enciphered under.
inline const QString kPresetPassPhrase = QStringLiteral("qWz7#");
// Preset files are a few hundred bytes; anything far larger is not one.
inline constexpr qint64 kMaxPresetFileSize = 1024 * 1024;

enum class PresetFileKind { Other, Enciphered, Plain };
// By the extension, compared without regard to case.
PresetFileKind PresetFileKindOf(const QString& fileName);

// Every field from its key, or the key's default. fn stays empty and a
// missing LastModDate gives -1.
TVTPreset PresetFromIni(const PresetIni& ini);
// Writes every key of the format into ini, keeping all else it holds.
// "User"/"Preset" is always 1: whatever is saved is a user preset.
void WritePresetToIni(const TVTPreset& preset, PresetIni& ini);
// True when ini has at least one section of the preset format: text without
// any is not a preset, however well-formed.
bool HoldsPresetSettings(const PresetIni& ini);

// The ".vtl" convention: Blowfish keyed from the Tiger hash of the pass
// phrase, block chaining, the ciphertext as long as the plaintext.
QByteArray EncipherPresetText(const QByteArray& plain, const QString& passPhrase = kPresetPassPhrase);
QByteArray DecipherPresetText(const QByteArray& cipher, const QString& passPhrase = kPresetPassPhrase);

// Both look a file up without regard to letter case, as the files come from
// a system that does so.
//
// Reads one preset file.
//  - A file that does not exist, or whose extension is neither ".vtl" nor
//    ".vup", gives builtIn with an empty fn.
//  - A file that cannot be read, does not decipher, or holds no preset text
//    gives every field its default; *problem then names the file and says it
//    was not understood (in the current language). The file is not touched.
// fn becomes the file's path; a LastModDate below 0 becomes the file's last-write
// time (local time).
TVTPreset LoadPresetFile(const QString& fileName, const TVTPreset& builtIn, QString* problem = nullptr);

// Writes preset as a plain preset file. An existing file keeps its other
// sections and keys; one that is not INI text is replaced. The write is
// atomic: on failure (false, *error says why) the old file stays as it was.
bool SavePresetFile(const QString& fileName, const TVTPreset& preset, QString* error = nullptr);

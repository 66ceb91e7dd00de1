#include "store/preset_files.h"

#include <QFile>
#include <QFileInfo>

#include <array>

#include "platform/date_time.h"
#include "platform/files.h"
#include "store/password_encryption.h"
#include "ui_kit/shared_state.h"

namespace {

const QString kInfo = QStringLiteral("Info");
const QString kKalibrierung = QStringLiteral("Kalibrierung");
const QString kEnde = QStringLiteral("Ende");
const QString kNachkomma = QStringLiteral("Nachkomma");
const QString kHeadroom = QStringLiteral("Headroom");
const QString kUser = QStringLiteral("User");
const QString kLeqK = QStringLiteral("LeqK");
const QString kLeq = QStringLiteral("Leq");

QString EntrySection(int entry) { return QStringLiteral("Messung ") + QString::number(entry + 1); }

bool InGerman() { return language.load() == kLangGerman; }

QString NotUnderstoodText(const QString& fileName) {
    return InGerman() ? QStringLiteral("Die Vorgabedatei \"%1\" wurde nicht verstanden; es gelten ihre "
                                       "Standardwerte. Die Datei selbst blieb unverändert.")
                                .arg(fileName)
                      : QStringLiteral("The preset file \"%1\" was not understood; its default values are "
                                       "used instead. The file itself was left unchanged.")
                                .arg(fileName);
}

QString NotReadableText(const QString& fileName, const QString& reason) {
    return InGerman() ? QStringLiteral("Die Vorgabedatei \"%1\" konnte nicht gelesen werden (%2); es gelten "
                                       "ihre Standardwerte.")
                                .arg(fileName, reason)
                      : QStringLiteral("The preset file \"%1\" could not be read (%2); its default values are "
                                       "used instead.")
                                .arg(fileName, reason);
}

std::optional<QByteArray> ReadWholeFile(const QString& fileName, QString* error) {
    return platform::ReadFileBounded(fileName, kMaxPresetFileSize, error);
}

// The file as the program meant it: the name as given when it exists, else
// the same name in another letter case.
QString ResolveNoCase(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.exists()) {
        return fileName;
    }
    const QString found = platform::FindFileNoCase(info.path(), info.fileName());
    return found.isEmpty() ? fileName : found;
}

platform::TDateTime LastWriteTime(const QFileInfo& info, platform::TDateTime fallback) {
    const QDateTime modified = info.lastModified();
    return modified.isValid() ? platform::ToDateTime(modified.toLocalTime()) : fallback;
}

}  // namespace

PresetFileKind PresetFileKindOf(const QString& fileName) {
    if (fileName.endsWith(kDefaultPresetExtension, Qt::CaseInsensitive)) {
        return PresetFileKind::Enciphered;
    }
    if (fileName.endsWith(kUserPresetExtension, Qt::CaseInsensitive)) {
        return PresetFileKind::Plain;
    }
    return PresetFileKind::Other;
}

QByteArray EncipherPresetText(const QByteArray& plain, const QString& passPhrase) {
    return EncipherStream(plain, TCipherKind::Blowfish, THashKind::Tiger, passPhrase);
}

QByteArray DecipherPresetText(const QByteArray& cipher, const QString& passPhrase) {
    return DecipherStream(cipher, TCipherKind::Blowfish, THashKind::Tiger, passPhrase);
}

TVTPreset PresetFromIni(const PresetIni& ini) {
    TVTPreset preset;
    for (int n = 0; n < kPresetEntryCount; ++n) {
        const QString section = EntrySection(n);
        const TPresetMessung& fallback = kDefaultPresetEntries[n];
        TPresetMessung& entry = preset.messungen[n];
        entry.ART = ini.ReadInteger(section, QStringLiteral("ART"), fallback.ART);
        entry.Filter = ini.ReadInteger(section, QStringLiteral("Filter"), fallback.Filter);
        entry.Dauer = ini.ReadInteger(section, QStringLiteral("Dauer"), fallback.Dauer);
        entry.Gelb = ini.ReadFloat(section, QStringLiteral("Gelb"), fallback.Gelb);
        entry.Rot = ini.ReadFloat(section, QStringLiteral("Rot"), fallback.Rot);
        entry.Status = ini.ReadInteger(section, QStringLiteral("Status"), fallback.Status);
    }
    preset.vor = ini.ReadString(kInfo, QStringLiteral("Vorschrift"), QStringLiteral("DIN15905-5"));
    preset.InfoD = ini.ReadString(kInfo, QStringLiteral("InfoD"), QStringLiteral("Deutsche Info"));
    preset.InfoE = ini.ReadString(kInfo, QStringLiteral("InfoE"), QStringLiteral("Information in English Language"));
    preset.offCheck = ini.ReadBool(kKalibrierung, QStringLiteral("Nach"), true);
    preset.endDirect = ini.ReadBool(kEnde, QStringLiteral("EndDirect"), false) && !preset.offCheck;
    preset.kalAb = ini.ReadBool(kKalibrierung, QStringLiteral("Ab"), true);
    preset.naKoS = ini.ReadInteger(kNachkomma, QStringLiteral("Stellen"), 0);
    preset.checkH = ini.ReadBool(kHeadroom, QStringLiteral("Check"), true);
    preset.isUser = ini.ReadBool(kUser, QStringLiteral("Preset"), false);
    preset.linkLeqK = ini.ReadBool(kLeqK, QStringLiteral("Link"), true);
    preset.leqColorMode = ini.ReadInteger(kLeq, QStringLiteral("ColorMode"), 1);
    preset.lastModDate = ini.ReadFloat(kInfo, QStringLiteral("LastModDate"), -1.0);
    return preset;
}

void WritePresetToIni(const TVTPreset& preset, PresetIni& ini) {
    for (int n = 0; n < kPresetEntryCount; ++n) {
        const QString section = EntrySection(n);
        const TPresetMessung& entry = preset.messungen[n];
        ini.WriteInteger(section, QStringLiteral("ART"), entry.ART);
        ini.WriteInteger(section, QStringLiteral("Filter"), entry.Filter);
        ini.WriteInteger(section, QStringLiteral("Dauer"), entry.Dauer);
        ini.WriteFloat(section, QStringLiteral("Gelb"), entry.Gelb);
        ini.WriteFloat(section, QStringLiteral("Rot"), entry.Rot);
        ini.WriteInteger(section, QStringLiteral("Status"), entry.Status);
    }
    ini.WriteString(kInfo, QStringLiteral("Vorschrift"), preset.vor);
    ini.WriteString(kInfo, QStringLiteral("InfoD"), preset.InfoD);
    ini.WriteString(kInfo, QStringLiteral("InfoE"), preset.InfoE);
    ini.WriteBool(kKalibrierung, QStringLiteral("Nach"), preset.offCheck);
    ini.WriteBool(kEnde, QStringLiteral("EndDirect"), preset.endDirect && !preset.offCheck);
    ini.WriteBool(kKalibrierung, QStringLiteral("Ab"), preset.kalAb);
    ini.WriteInteger(kNachkomma, QStringLiteral("Stellen"), preset.naKoS);
    ini.WriteBool(kHeadroom, QStringLiteral("Check"), preset.checkH);
    ini.WriteBool(kLeqK, QStringLiteral("Link"), preset.linkLeqK);
    ini.WriteFloat(kInfo, QStringLiteral("LastModDate"), preset.lastModDate);
    ini.WriteInteger(kLeq, QStringLiteral("ColorMode"), preset.leqColorMode);
    ini.WriteBool(kUser, QStringLiteral("Preset"), true);
}

bool HoldsPresetSettings(const PresetIni& ini) {
    static const std::array<QString, 11> kSections = {
        EntrySection(0), EntrySection(1), EntrySection(2), kInfo, kKalibrierung, kEnde,
        kNachkomma,      kHeadroom,       kUser,           kLeqK, kLeq,
    };
    for (const QString& section : kSections) {
        if (ini.HasSection(section)) {
            return true;
        }
    }
    return false;
}

TVTPreset LoadPresetFile(const QString& requestedName, const TVTPreset& builtIn, QString* problem) {
    const QString fileName = ResolveNoCase(requestedName);
    const QFileInfo info(fileName);
    const PresetFileKind kind = PresetFileKindOf(fileName);
    if (!info.exists() || info.isDir() || kind == PresetFileKind::Other) {
        TVTPreset copy = OwnCopy(builtIn);
        copy.fn.clear();
        return copy;
    }

    PresetIni ini;
    QString readError;
    if (std::optional<QByteArray> bytes = ReadWholeFile(fileName, &readError)) {
        if (kind == PresetFileKind::Enciphered) {
            *bytes = DecipherPresetText(*bytes);
        }
        std::optional<PresetIni> parsed = PresetIni::FromBytes(*bytes);
        if (parsed && HoldsPresetSettings(*parsed)) {
            ini = std::move(*parsed);
        } else if (problem) {
            *problem = NotUnderstoodText(fileName);
        }
    } else if (problem) {
        *problem = NotReadableText(fileName, readError);
    }

    TVTPreset preset = PresetFromIni(ini);
    preset.fn = fileName;
    if (preset.lastModDate < 0) {
        preset.lastModDate = LastWriteTime(info, preset.lastModDate);
    }
    return preset;
}

bool SavePresetFile(const QString& requestedName, const TVTPreset& preset, QString* error) {
    const QString fileName = ResolveNoCase(requestedName);
    PresetIni ini;
    const QFileInfo info(fileName);
    if (info.exists()) {
        QString readError;
        const std::optional<QByteArray> bytes = ReadWholeFile(fileName, &readError);
        if (!bytes && info.size() <= kMaxPresetFileSize) {
            if (error) {
                *error = QStringLiteral("The existing file \"%1\" could not be read, so its other settings "
                                        "could not be kept: %2")
                             .arg(fileName, readError);
            }
            return false;
        }
        if (bytes) {
            if (std::optional<PresetIni> parsed = PresetIni::FromBytes(*bytes)) {
                ini = std::move(*parsed);
            }
        }
    }
    WritePresetToIni(preset, ini);
    return platform::WriteFileAtomically(fileName, ini.ToBytes(), error);
}

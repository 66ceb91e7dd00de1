#include "store/preset_handler.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "store/preset_files.h"
#include "store/own_copies.h"
#include "store/preset_registry.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextUserPreset = 846;  // "User preset: "

QString InvalidPresetIdText(int32_t id) { return QStringLiteral("Invalid Preset Id: ") + QString::number(id); }

QString DescriptionIn(const TVTPreset& preset, int32_t lang) {
    switch (lang) {
    case kLangGerman:
        return OwnCopy(preset.InfoD);
    case kLangEnglish:
        return OwnCopy(preset.InfoE);
    default:
        return QStringLiteral("Invalid Language Id: ") + QString::number(lang);
    }
}

// A sub-folder by name, also when it is spelled in another case.
QString SubFolderNoCase(const QString& parent, const QString& name) {
    const QDir dir(parent);
    if (dir.exists(name)) {
        return dir.filePath(name);
    }
    for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.filePath(entry);
        }
    }
    return dir.filePath(name);
}

}  // namespace

QString DefaultPresetFolder() {
    return SubFolderNoCase(platform::KnownFolderPath(platform::KnownFolder::ProgramFolder), kDefaultPresetFolderName);
}

QString UserPresetFolder(const QString& userFolder) { return SubFolderNoCase(userFolder, kUserPresetFolderName); }

TVTPresetHandler::TVTPresetHandler(const QString& defaultFolder, const QString& userFolder)
    : dirLa(defaultFolder), dirLaU(userFolder), dinPreset(InitDinPreset()) {
    ScanForData();
}

bool TVTPresetHandler::ScanForData() {
    aPreset.clear();
    appendFolder(dirLa, QStringLiteral("*") + kDefaultPresetExtension);
    appendFolder(dirLaU, QStringLiteral("*") + kUserPresetExtension);
    if (aPreset.empty()) {
        aPreset.push_back(OwnCopy(dinPreset));
        return false;
    }
    for (int32_t i = 0; i < GetPresetCount(); ++i) {
        loadListEntry(i);
    }
    return true;
}

void TVTPresetHandler::appendFolder(const QString& folder, const QString& pattern) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return;
    }
    // Name filters of QDir ignore letter case unless told otherwise, so
    // "DIN.VTL" is found as well.
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        TVTPreset entry;
        entry.fn = dir.filePath(name);
        aPreset.push_back(entry);
    }
}

int32_t TVTPresetHandler::GetPresetCount() const { return static_cast<int32_t>(aPreset.size()); }

bool TVTPresetHandler::IsValidPresetId(int32_t id) const {
    return id == kCurrentPresetId || id == kUserPresetId || id == kDinPresetId || IsListIndex(id);
}

bool TVTPresetHandler::IsListIndex(int32_t id) const { return id >= 0 && id < GetPresetCount(); }

const TVTPreset& TVTPresetHandler::presetRef(int32_t id) const {
    switch (id) {
    case kCurrentPresetId:
        return currentPreset;
    case kUserPresetId:
        return userPreset;
    case kDinPresetId:
        return dinPreset;
    default:
        if (!IsListIndex(id)) {
            throw std::out_of_range("preset id " + std::to_string(id) + " is not valid");
        }
        return aPreset[static_cast<size_t>(id)];
    }
}

TVTPreset TVTPresetHandler::GetPreset(int32_t id) const { return OwnCopy(presetRef(id)); }

void TVTPresetHandler::SetPreset(int32_t id, const TVTPreset& preset) {
    if (id == kCurrentPresetId) {
        currentPreset = OwnCopy(preset);
    } else if (id == kUserPresetId) {
        userPreset = OwnCopy(preset);
    } else if (IsListIndex(id)) {
        aPreset[static_cast<size_t>(id)] = OwnCopy(preset);
    }
}

void TVTPresetHandler::SetCurrent(int32_t id) {
    if (IsValidPresetId(id)) {
        currentPreset = GetPreset(id);
    }
}

void TVTPresetHandler::SetDinPreset(int32_t id) { SetPreset(id, dinPreset); }

TVTPreset TVTPresetHandler::loadAndNote(const QString& fileName) {
    QString problem;
    TVTPreset preset = LoadPresetFile(fileName, dinPreset, &problem);
    if (!problem.isEmpty()) {
        loadProblems_.append(problem);
    }
    return preset;
}

TVTPreset TVTPresetHandler::LoadPreset(const QString& fileName) { return loadAndNote(fileName); }

void TVTPresetHandler::loadPresetInto(const QString& fileName, int32_t id) {
    if (id != kCurrentPresetId && id != kUserPresetId && !IsListIndex(id)) {
        return;
    }
    SetPreset(id, loadAndNote(fileName));
}

void TVTPresetHandler::loadListEntry(int32_t index) {
    if (IsListIndex(index)) {
        loadPresetInto(aPreset[static_cast<size_t>(index)].fn, index);
    }
}

void TVTPresetHandler::LoadUserPreset(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.isFile() || platform::FileExistsNoCase(info.path(), info.fileName())) {
        loadPresetInto(fileName, kUserPresetId);
    }
}

bool TVTPresetHandler::SavePresetToFile(const QString& fileName, int32_t id, QString* error) {
    if (!IsValidPresetId(id)) {
        if (error) {
            *error = InvalidPresetIdText(id);
        }
        return false;
    }
    return SavePresetFile(fileName, GetPreset(id), error);
}

void TVTPresetHandler::GetPresetIntern(const QString& keyPath) {
    platform::Registry registry;
    if (registry.OpenKeyReadOnly(keyPath)) {
        ReadPresetRegistry(registry, currentPreset, kCurrentPresetPrefix);
        ReadPresetRegistry(registry, userPreset, kUserPresetPrefix);
        registry.CloseKey();
        return;
    }
    currentPreset = OwnCopy(dinPreset);
    userPreset = OwnCopy(dinPreset);
    userPreset.InfoD = GetLangTextFor(kTextUserPreset, kLangGerman);
    userPreset.InfoE = GetLangTextFor(kTextUserPreset, kLangEnglish);
}

bool TVTPresetHandler::SavePresetIntern(const QString& keyPath) {
    platform::Registry registry;
    if (!registry.OpenKey(keyPath, true)) {
        return false;
    }
    const bool written = WritePresetRegistry(registry, currentPreset, kCurrentPresetPrefix) &&
                         WritePresetRegistry(registry, userPreset, kUserPresetPrefix);
    return registry.CloseKey() && written;
}

QString TVTPresetHandler::GetPresetText(int32_t id, int32_t lang) const {
    if (!IsValidPresetId(id)) {
        return InvalidPresetIdText(id);
    }
    return DescriptionIn(presetRef(id), lang);
}

QString TVTPresetHandler::GetVorschrift(int32_t id) const {
    if (!IsValidPresetId(id)) {
        return InvalidPresetIdText(id);
    }
    return OwnCopy(presetRef(id).vor);
}

QString TVTPresetHandler::GetInfo(const TVTPreset& preset, int32_t entry) { return PresetEntryInfo(preset, entry); }

QString TVTPresetHandler::GetInfoById(int32_t id, int32_t entry) const {
    if (!IsValidPresetId(id)) {
        return NoValueText();
    }
    return GetInfo(presetRef(id), entry);
}

QString TVTPresetHandler::GetPresetDir() const { return OwnCopy(dirLaU); }

bool TVTPresetHandler::IsUserPreset(int32_t id) const { return IsValidPresetId(id) && presetRef(id).isUser; }

int32_t TVTPresetHandler::GetLeqColorMode(int32_t id) const {
    return IsListIndex(id) ? aPreset[static_cast<size_t>(id)].leqColorMode : 1;
}

void TVTPresetHandler::SetLeqColorMode(int32_t id, int32_t colorMode) {
    if (IsListIndex(id)) {
        aPreset[static_cast<size_t>(id)].leqColorMode = colorMode;
    }
}

QStringList TVTPresetHandler::TakeLoadProblems() {
    QStringList problems;
    problems.swap(loadProblems_);
    return problems;
}

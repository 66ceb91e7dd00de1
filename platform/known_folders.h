#pragma once
// The folders the program keeps its files in, found the way the desktop
// expects them on this system (XDG base directories). Tests point each one
// at a temporary folder with an override.
#include <QString>

namespace platform {

enum class KnownFolder {
    AppData,        // per-user application data: $XDG_DATA_HOME, else ~/.local/share
    Documents,      // the user's documents: XDG documents folder, else ~/Documents
    ProgramFolder,  // the folder of the running executable
    UserConfig,     // per-user settings: $XDG_CONFIG_HOME, else ~/.config
};

// The folder's absolute path, without a trailing slash. The folder is not
// created here.
QString KnownFolderPath(KnownFolder folder);

// Makes KnownFolderPath(folder) return path; an empty path removes the
// override. Thread-safe.
void SetKnownFolderOverride(KnownFolder folder, const QString& path);
void ClearKnownFolderOverrides();

}  // namespace platform

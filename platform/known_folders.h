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
    PublicShare,    // the folder shared with other users: XDG public-share folder; empty when none
    SystemData,     // data shared by all users: the first of $XDG_DATA_DIRS, else /usr/local/share
};

// The folder's absolute path, without a trailing slash. The folder is not
// created here. Empty when the system names no such folder.
QString KnownFolderPath(KnownFolder folder);

// Makes KnownFolderPath(folder) return path; an empty path removes the
// override. Thread-safe.
void SetKnownFolderOverride(KnownFolder folder, const QString& path);
void ClearKnownFolderOverrides();

}  // namespace platform

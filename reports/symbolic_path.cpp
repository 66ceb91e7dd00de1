#include "reports/symbolic_path.h"

#include <QFileInfo>

#include <array>
#include <atomic>

#include "platform/known_folders.h"

namespace {

std::atomic<bool> symbolicDisplay{false};

constexpr std::array<platform::KnownFolder, 3> kShownFolders = {
    platform::KnownFolder::Documents, platform::KnownFolder::PublicShare, platform::KnownFolder::SystemData};

}  // namespace

void SetSymbolicPathDisplay(bool on) { symbolicDisplay.store(on); }
bool GetSymbolicPathDisplay() { return symbolicDisplay.load(); }

// The comparison runs over the folder path's length only, as the shell's
// display did, so a sibling folder whose name begins with the folder's name
// is shortened too.
QString SymbolicPath(const QString& path) {
    if (!symbolicDisplay.load()) return path;
    for (const platform::KnownFolder folder : kShownFolders) {
        const QString folderPath = platform::KnownFolderPath(folder);
        if (folderPath.isEmpty()) continue;
        if (!path.startsWith(folderPath, Qt::CaseInsensitive)) continue;
        return QFileInfo(folderPath).fileName() + path.mid(folderPath.size());
    }
    return path;
}

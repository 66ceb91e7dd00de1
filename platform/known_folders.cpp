#include "platform/known_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <mutex>

namespace platform {

namespace {

constexpr std::size_t kFolderCount = 6;

struct Overrides {
    std::mutex lock;
    std::array<QString, kFolderCount> paths;
};

Overrides& overrides() {
    static Overrides instance;
    return instance;
}

std::size_t indexOf(KnownFolder folder) { return static_cast<std::size_t>(folder); }

QString cleanPath(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

// XDG ignores a base-folder variable that is unset, empty
// or relative, and falls back to the given folder under the home folder.
QString xdgBaseFolder(const char* variable, const QString& underHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return cleanPath(QDir::homePath() + QLatin1Char('/') + underHome);
}

QString documentsFolder() {
    const QString found = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!found.isEmpty()) return QDir::cleanPath(found);
    return cleanPath(QDir::homePath() + QStringLiteral("/Documents"));
}

// The user-dirs file may leave the public folder out; then Qt answers the
// home folder or nothing, and neither is a shared folder.
QString publicShareFolder() {
    const QString found = QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation);
    if (found.isEmpty() || QDir::cleanPath(found) == QDir::cleanPath(QDir::homePath())) return {};
    return QDir::cleanPath(found);
}

QString systemDataFolder() {
    const QStringList dirs = qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        if (QDir::isAbsolutePath(dir)) return QDir::cleanPath(dir);
    }
    return QStringLiteral("/usr/local/share");
}

QString programFolder() {
    if (QCoreApplication::instance()) return QDir::cleanPath(QCoreApplication::applicationDirPath());
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return QDir::cleanPath(QFileInfo(exe.symLinkTarget()).absolutePath());
}

}  // namespace

QString KnownFolderPath(KnownFolder folder) {
    {
        Overrides& o = overrides();
        const std::lock_guard guard(o.lock);
        const QString& path = o.paths[indexOf(folder)];
        if (!path.isEmpty()) return path;
    }
    switch (folder) {
    case KnownFolder::AppData:
        return xdgBaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    case KnownFolder::Documents:
        return documentsFolder();
    case KnownFolder::ProgramFolder:
        return programFolder();
    case KnownFolder::UserConfig:
        return xdgBaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
    case KnownFolder::PublicShare:
        return publicShareFolder();
    case KnownFolder::SystemData:
        return systemDataFolder();
    }
    return {};
}

void SetKnownFolderOverride(KnownFolder folder, const QString& path) {
    Overrides& o = overrides();
    const std::lock_guard guard(o.lock);
    o.paths[indexOf(folder)] = path.isEmpty() ? QString() : cleanPath(path);
}

void ClearKnownFolderOverrides() {
    Overrides& o = overrides();
    const std::lock_guard guard(o.lock);
    for (QString& path : o.paths) path.clear();
}

}  // namespace platform

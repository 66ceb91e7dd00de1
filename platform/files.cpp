#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::optional<QByteArray> ReadFileBounded(const QString& path, qint64 maxBytes, QString* error, bool* tooLarge) {
    auto fail = [&](const QString& why, bool large) -> std::optional<QByteArray> {
        if (error) *error = why;
        if (tooLarge) *tooLarge = large;
        return std::nullopt;
    };
    const QString overBound = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString(), false);
    if (file.size() > maxBytes) return fail(overBound, true);
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray bytes;
    for (;;) {
        const QByteArray piece = file.read(kPiece);
        if (file.error() != QFileDevice::NoError) return fail(file.errorString(), false);
        if (piece.isEmpty()) return bytes;
        bytes += piece;
        if (bytes.size() > maxBytes) return fail(overBound, true);
    }
}

namespace {

constexpr qint64 kBufferSize = 64 * 1024;

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QByteArray nativePath(const QString& path) { return QFile::encodeName(path); }

// The name pattern of the temporary file that an atomic write of target
// fills before it renames it over target.
QString temporaryNamePrefix(const QFileInfo& target) {
    return QStringLiteral(".") + target.fileName() + QStringLiteral(".tmp-");
}

// The umask cannot be read without setting it, which would race with other
// threads creating files; the kernel shows it in /proc instead.
mode_t currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = status.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) return static_cast<mode_t>(mask & 0777);
            }
        }
    }
    return 022;
}

bool isProtectedAgainstWriting(const struct stat& st, const QByteArray& path) {
    // The owner's write bit plays the part of the read-only attribute; it is
    // checked on its own because access() lets the superuser write anything.
    return (st.st_mode & S_IWUSR) == 0 || ::access(path.constData(), W_OK) != 0;
}

QString resolveTarget(const QString& path) {
    const QFileInfo info(path);
    // Writing through a link replaces the file it points to, not the link.
    if (info.isSymLink() && info.exists()) return info.canonicalFilePath();
    return info.absoluteFilePath();
}

// After a rename the new directory entry is only durable once the folder
// itself is synced. Some file systems cannot sync a folder at all.
bool syncFolder(const QString& folder, QString* error) {
    const int dirFd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        *error = QStringLiteral("Cannot open the folder \"%1\" to sync it: %2").arg(folder, systemError(errno));
        return false;
    }
    int rc;
    do {
        rc = ::fsync(dirFd);
    } while (rc != 0 && errno == EINTR);
    const int err = errno;
    ::close(dirFd);
    if (rc != 0 && err != EINVAL && err != EROFS) {
        *error = QStringLiteral("Cannot sync the folder \"%1\": %2").arg(folder, systemError(err));
        return false;
    }
    return true;
}

}  // namespace

AtomicFile::~AtomicFile() { cancel(); }

bool AtomicFile::fail(const QString& text) {
    error_ = text;
    failed_ = true;
    return false;
}

void AtomicFile::discardTempFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        ::unlink(nativePath(tempPath_).constData());
        tempPath_.clear();
    }
    buffer_.clear();
}

void AtomicFile::cancel() {
    discardTempFile();
    target_.clear();
}

bool AtomicFile::open(const QString& path) {
    cancel();
    failed_ = false;
    error_.clear();
    if (path.isEmpty()) return fail(QStringLiteral("No file name was given."));

    target_ = resolveTarget(path);
    const QByteArray nativeTarget = nativePath(target_);
    struct stat st {};
    const bool targetExists = ::stat(nativeTarget.constData(), &st) == 0;
    if (targetExists) {
        if (S_ISDIR(st.st_mode)) return fail(QStringLiteral("Cannot write \"%1\": it is a folder.").arg(target_));
        if (!S_ISREG(st.st_mode))
            return fail(QStringLiteral("Cannot write \"%1\": it is not a regular file.").arg(target_));
        if (isProtectedAgainstWriting(st, nativeTarget))
            return fail(QStringLiteral("Access denied: \"%1\" is read-only.").arg(target_));
    } else if (errno != ENOENT) {
        return fail(QStringLiteral("Cannot write \"%1\": %2").arg(target_, systemError(errno)));
    }

    const QFileInfo targetInfo(target_);
    const QString folder = targetInfo.absolutePath();
    QByteArray pattern = nativePath(folder + QLatin1Char('/') + temporaryNamePrefix(targetInfo) + QStringLiteral("XXXXXX"));
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        return fail(QStringLiteral("Cannot write \"%1\": no temporary file can be created in \"%2\": %3")
                        .arg(target_, folder, systemError(errno)));
    tempPath_ = QFile::decodeName(pattern);

    mode_t mode = 0666 & ~currentUmask();
    if (forcedMode_) {
        mode = *forcedMode_;
    } else if (targetExists) {
        mode = st.st_mode & 07777;
    }
    if (targetExists && ::geteuid() == 0) {
        // The superuser writing a user's file must not take it over.
        [[maybe_unused]] const int ignored = ::fchown(fd_, st.st_uid, st.st_gid);
    }
    if (::fchmod(fd_, mode) != 0) {
        const QString text = QStringLiteral("Cannot set the permissions of \"%1\": %2").arg(tempPath_, systemError(errno));
        discardTempFile();
        return fail(text);
    }
    return true;
}

bool AtomicFile::flushBuffer() {
    const char* p = buffer_.constData();
    qint64 left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            buffer_.clear();
            return fail(QStringLiteral("Cannot write \"%1\": %2").arg(target_, systemError(err)));
        }
        p += n;
        left -= n;
    }
    buffer_.clear();
    return true;
}

bool AtomicFile::write(const char* data, qint64 size) {
    if (!isOpen()) {
        if (!failed_) fail(QStringLiteral("The file is not open for writing."));
        return false;
    }
    if (failed_) return false;
    if (size < 0) return fail(QStringLiteral("Cannot write \"%1\": negative length.").arg(target_));
    buffer_.append(data, size);
    if (buffer_.size() >= kBufferSize) return flushBuffer();
    return true;
}

bool AtomicFile::commit() {
    if (!isOpen()) {
        if (!failed_) fail(QStringLiteral("The file is not open for writing."));
        cancel();
        return false;
    }
    auto abandon = [this]() {
        discardTempFile();
        target_.clear();
        return false;
    };
    if (failed_ || !flushBuffer()) return abandon();

    int rc;
    do {
        rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        fail(QStringLiteral("Cannot write \"%1\" to disk: %2").arg(target_, systemError(errno)));
        return abandon();
    }
    rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) {
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(target_, systemError(errno)));
        return abandon();
    }

    // The target may have been made read-only while we were writing.
    const QByteArray nativeTarget = nativePath(target_);
    struct stat st {};
    if (::stat(nativeTarget.constData(), &st) == 0 && isProtectedAgainstWriting(st, nativeTarget)) {
        fail(QStringLiteral("Access denied: \"%1\" is read-only.").arg(target_));
        return abandon();
    }
    if (::rename(nativePath(tempPath_).constData(), nativeTarget.constData()) != 0) {
        fail(QStringLiteral("Cannot replace \"%1\": %2").arg(target_, systemError(errno)));
        return abandon();
    }
    tempPath_.clear();

    QString folderError;
    const bool synced = syncFolder(QFileInfo(target_).absolutePath(), &folderError);
    const QString written = target_;
    target_.clear();
    if (!synced) return fail(QStringLiteral("\"%1\" was replaced, but may not survive a crash. %2").arg(written, folderError));
    return true;
}

GrowingFile::~GrowingFile() { close(); }

void GrowingFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool GrowingFile::fail(const QString& text) {
    error_ = text;
    return false;
}

bool GrowingFile::open(const QString& path) {
    close();
    error_.clear();
    created_ = false;
    sizeAtOpen_ = 0;
    if (path.isEmpty()) return fail(QStringLiteral("No file name was given."));
    path_ = QFileInfo(path).absoluteFilePath();
    const QByteArray native = nativePath(path_);
    fd_ = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT) {
        fd_ = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created_ = fd_ >= 0;
    }
    if (fd_ < 0) return fail(QStringLiteral("Cannot write \"%1\": %2").arg(path_, systemError(errno)));
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        close();
        return fail(QStringLiteral("Cannot write \"%1\": %2").arg(path_, systemError(err)));
    }
    if (!S_ISREG(st.st_mode)) {
        close();
        return fail(QStringLiteral("Cannot write \"%1\": it is not a regular file.").arg(path_));
    }
    if (isProtectedAgainstWriting(st, native)) {
        close();
        return fail(QStringLiteral("Access denied: \"%1\" is read-only.").arg(path_));
    }
    sizeAtOpen_ = st.st_size;
    return true;
}

bool GrowingFile::cutTo(qint64 length) {
    if (fd_ < 0) return fail(QStringLiteral("The file is not open for writing."));
    if (length < 0) return fail(QStringLiteral("Cannot shorten \"%1\": negative length.").arg(path_));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || (st.st_size > length && ::ftruncate(fd_, length) != 0))
        return fail(QStringLiteral("Cannot shorten \"%1\": %2").arg(path_, systemError(errno)));
    return true;
}

bool GrowingFile::writeAt(qint64 offset, const QByteArray& data) {
    if (fd_ < 0) return fail(QStringLiteral("The file is not open for writing."));
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd_, p, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(QStringLiteral("Cannot write \"%1\": %2").arg(path_, systemError(errno)));
        }
        p += n;
        left -= n;
        offset += n;
    }
    return true;
}

bool GrowingFile::sync() {
    if (fd_ < 0) return fail(QStringLiteral("The file is not open for writing."));
    int rc;
    do {
        rc = ::fdatasync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return fail(QStringLiteral("Cannot write \"%1\" to disk: %2").arg(path_, systemError(errno)));
    if (created_) {
        QString folderError;
        if (!syncFolder(QFileInfo(path_).absolutePath(), &folderError)) return fail(folderError);
        created_ = false;
    }
    return true;
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    AtomicFile file;
    const bool ok = file.open(path) && file.write(data) && file.commit();
    if (!ok && error) *error = file.errorString();
    return ok;
}

QString FindFileNoCase(const QString& folder, const QString& name) {
    if (folder.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return {};
    const QDir dir(folder);
    const QString exact = dir.filePath(name);
    if (QFileInfo(exact).isFile()) return exact;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    }
    return {};
}

bool FileExistsNoCase(const QString& folder, const QString& name) { return !FindFileNoCase(folder, name).isEmpty(); }

QStringList FindFilesNoCase(const QString& folder, const QString& name) {
    QStringList found;
    if (folder.isEmpty() || name.isEmpty()) return found;
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) found << dir.filePath(entry);
    }
    return found;
}

namespace {

bool setError(QString* error, const QString& text) {
    if (error != nullptr) *error = text;
    return false;
}

// The copy half of a move between file systems: the content reaches the
// disk under its new name before the caller removes the original.
bool copyDurably(const QString& from, const QString& to, QString* error) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return setError(error, QStringLiteral("Cannot read \"%1\": %2").arg(from, source.errorString()));
    AtomicFile target;
    if (!target.open(to)) return setError(error, target.errorString());
    QByteArray chunk;
    while (!(chunk = source.read(kBufferSize)).isEmpty()) {
        if (!target.write(chunk)) return setError(error, target.errorString());
    }
    if (source.error() != QFileDevice::NoError)
        return setError(error, QStringLiteral("Cannot read \"%1\": %2").arg(from, source.errorString()));
    if (!target.commit()) {
        // A commit whose only failure was the folder sync has put the file in place.
        QFile::remove(to);
        return setError(error, target.errorString());
    }
    return true;
}

}  // namespace

bool MoveFile(const QString& from, const QString& to, QString* error) {
    const QByteArray nativeFrom = nativePath(from);
    const QByteArray nativeTo = nativePath(to);
    struct stat st {};
    if (::lstat(nativeTo.constData(), &st) == 0)
        return setError(error, QStringLiteral("Cannot move \"%1\": \"%2\" exists already.").arg(from, to));
    if (::rename(nativeFrom.constData(), nativeTo.constData()) != 0) {
        if (errno != EXDEV)
            return setError(error, QStringLiteral("Cannot move \"%1\" to \"%2\": %3").arg(from, to, systemError(errno)));
        if (!copyDurably(from, to, error)) return false;
        if (::unlink(nativeFrom.constData()) != 0) {
            const int err = errno;
            ::unlink(nativeTo.constData());
            return setError(error, QStringLiteral("Cannot remove \"%1\" after copying it: %2").arg(from, systemError(err)));
        }
    }
    QString folderError;
    if (!syncFolder(QFileInfo(to).absolutePath(), &folderError) ||
        !syncFolder(QFileInfo(from).absolutePath(), &folderError)) {
        return setError(error, QStringLiteral("\"%1\" was moved, but may not survive a crash. %2").arg(from, folderError));
    }
    return true;
}

int RemoveLeftoverTemporaryFiles(const QString& target) {
    const QFileInfo targetInfo(target);
    QDir folder(targetInfo.absolutePath());
    const QString prefix = temporaryNamePrefix(targetInfo);
    int removed = 0;
    const QStringList names = folder.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        // The pattern's wildcard may match more than the six random characters.
        if (name.size() == prefix.size() + 6 && folder.remove(name)) ++removed;
    }
    return removed;
}

}  // namespace platform

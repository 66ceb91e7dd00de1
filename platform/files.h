#pragma once
// File helpers that every part of the program shares.
//
// Every file the program writes whole goes through the atomic writer below:
// the data is written whole to a temporary file beside the target, synced to
// disk, renamed over the target and the folder is synced. A crash, a kill or
// a full disk therefore leaves either the old or the new file, never half of
// one, and a failed write leaves the target exactly as it was. Files that
// grow all through a run (the crash backups) are extended in place instead,
// through GrowingFile, whose owner keeps count of what is safely on disk.
//
// File names the program looks up are matched without regard to case, as
// they were on the system the file formats come from.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <optional>

namespace platform {

// Reads the whole of path, at most maxBytes: a larger file is refused before
// anything of it is read, and a file that grows past the bound while it is
// read (or a device that tells no size) is refused when it gets there. A
// small file costs a small buffer. On failure *error (when given) says why
// and *tooLarge (when given) whether the bound was the reason.
std::optional<QByteArray> ReadFileBounded(const QString& path, qint64 maxBytes, QString* error = nullptr,
                                          bool* tooLarge = nullptr);

// Writes data as the whole new content of path. On failure the target is
// untouched, no temporary file is left and *error (when given) says why.
// An existing target keeps its permission bits; a target without write
// permission for its owner is refused, as a read-only file would be.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// The same writer for files produced in pieces. Nothing is visible at the
// target until commit(); an object destroyed before commit() discards
// everything it was given.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Forces the permission bits of the file that commit() produces, whatever
    // the old target had (the settings hive is always 0600). Call before open().
    void setFileMode(mode_t mode) { forcedMode_ = mode & 07777; }

    // Checks the target and creates the temporary file beside it.
    bool open(const QString& path);
    bool isOpen() const { return fd_ >= 0; }

    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }

    // Makes the written data the target's content. False when anything failed
    // since open(); the target then holds its old content. The one exception
    // is a failed sync of the folder after the rename: the new content is in
    // place but its durability is not confirmed, and the error says so.
    bool commit();
    // Drops everything written; the target keeps its old content.
    void cancel();

    // Why the last open(), write() or commit() failed.
    QString errorString() const { return error_; }

private:
    bool flushBuffer();
    bool fail(const QString& text);
    void discardTempFile();

    QString target_;
    QString tempPath_;
    int fd_ = -1;
    QByteArray buffer_;
    std::optional<mode_t> forcedMode_;
    bool failed_ = false;
    QString error_;
};

// A file that grows in place, for backups that must survive a crash without
// being rewritten whole: the owner knows how many bytes are safely on disk,
// cuts off whatever a crash or a failed write left behind them, writes the
// new bytes there and makes them durable with one fdatasync. Data already
// synced is never touched by a later failure.
class GrowingFile {
public:
    GrowingFile() = default;
    ~GrowingFile();
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // Opens path for writing, creating it when missing. A folder, a special
    // file and a target without write permission for its owner are refused,
    // as the atomic writer refuses them.
    bool open(const QString& path);
    // The length the file had when it was opened.
    qint64 sizeAtOpen() const { return sizeAtOpen_; }
    // Shortens the file to length when it is longer.
    bool cutTo(qint64 length);
    bool writeAt(qint64 offset, const QByteArray& data);
    // fdatasync; for a file that open() created, the folder is synced as
    // well, so that the new name survives a crash too.
    bool sync();

    // Why the last call failed.
    QString errorString() const { return error_; }

private:
    bool fail(const QString& text);
    void close();

    QString path_;
    int fd_ = -1;
    qint64 sizeAtOpen_ = 0;
    bool created_ = false;
    QString error_;
};

// The path of the file in folder whose name equals name without regard to
// case; an exact match wins over other spellings. Empty when there is none.
QString FindFileNoCase(const QString& folder, const QString& name);

// Removes the temporary files that atomic writes of target left beside it when
// the process died before the rename; target itself is never touched. Only
// for a target that no other writer is writing now (the owner calls it when it
// first loads the file). Answers how many were removed.
int RemoveLeftoverTemporaryFiles(const QString& target);
bool FileExistsNoCase(const QString& folder, const QString& name);
// Every file in folder whose name equals name without regard to case.
QStringList FindFilesNoCase(const QString& folder, const QString& name);

// Moves the file from to the path to, which must not exist yet (the
// system's MoveFile without replacing). Within one file system it is a
// rename; across file systems the content is copied through the atomic
// writer (so it is on disk before the original goes), then the original is
// removed. Both folders are synced, so that a crash after the move finds the
// file in one place only. On failure *error (when given) says why; from is
// where it was and nothing is left at to, unless only the sync of a folder
// failed after the file had moved.
bool MoveFile(const QString& from, const QString& to, QString* error = nullptr);

}  // namespace platform

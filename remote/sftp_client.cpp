#include "remote/sftp_client.h"

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <cerrno>
#include <vector>

namespace {

constexpr size_t kLinkBufferStep = 4096;
constexpr size_t kLinkBufferLimit = 16384;
constexpr size_t kEntryBufferBytes = 4096;
constexpr int kErrorBufferTooSmall = -38;
constexpr uint32_t kDirectoryType = 0x4000;
constexpr uint32_t kTypeMask = 0xF000;
constexpr int32_t kCleanupSeconds = 10;
constexpr int kFreeAttempts = 100;
const QString kPartSuffix = QStringLiteral(".part");

bool IsDirectory(const LIBSSH2_SFTP_ATTRIBUTES& attributes) {
    return (attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) && (attributes.permissions & kTypeMask) == kDirectoryType;
}

}  // namespace

TSFTPClient::TSFTPClient()
    : items_(
          [this](const QString& path) -> std::optional<TResolvedLink> {
              TResolvedLink link;
              try {
                  link.realPath = ResolveSymLink(path, link.attributes, true);
              } catch (const ESSH2Exception&) {
                  if (CancelRaised()) throw;
                  return std::nullopt;
              }
              return link;
          },
          [this](const QByteArray& bytes) { return DecodeString(bytes); }) {}

TSFTPClient::~TSFTPClient() {
    try {
        TSFTPClient::Disconnect();
    } catch (const ESSH2Exception&) {
        // A destructor has nobody to tell.
    }
}

QString TSFTPClient::StatusText(unsigned long status) {
    static const char* const kTexts[] = {
        "No error",        "End of file",        "No such file",     "Permission denied",     "Failure",
        "Bad messagge",    "No connection",      "Connection lost",  "Operation unsupported", "Invalid handle",
        "No such path",    "File exists",        "Write protect",    "No media",              "No space on filesystem",
        "Quota exceeded",  "Unknown principal",  "Lock conflict",    "Directory not empty",   "Not a directory",
        "Invalid filename", "Link loop"};
    if (status < std::size(kTexts)) return QString::fromLatin1(kTexts[status]);
    return QStringLiteral("Unknown error");
}

QString TSFTPClient::GetLastSSHError(int32_t E) {
    if (sftp_ == nullptr) return TSSH2Client::GetLastSSHError(E);
    unsigned long code = static_cast<unsigned long>(E);
    if (E == 0) code = libssh2_sftp_last_error(sftp_);
    if (code == 0) return platform::SystemErrorText(errno);
    return QStringLiteral("SFTP: ") + StatusText(code);
}

QString TSFTPClient::CallErrorText() {
    // Right after a failed call the session knows whether the server answered
    // with a status or the connection itself failed; only the first has an
    // SFTP status worth naming.
    if (Session() != nullptr && LastErrno() != LIBSSH2_ERROR_SFTP_PROTOCOL && LastErrno() != 0) {
        const QString text = TSSH2Client::GetLastSSHError(LastErrno());
        if (!text.isEmpty()) return text;
    }
    return GetLastSSHError(0);
}

void TSFTPClient::RaiseSftpError() { RaiseSSHError(CallErrorText()); }

void TSFTPClient::RequireChannel() {
    if (sftp_ == nullptr) RaiseSSHError(QStringLiteral("Not connected"));
}

void TSFTPClient::ClearCancel() { ClearCancelRequest(); }

bool TSFTPClient::AskToGoOn() {
    bool goOn = true;
    if (OnCantChangeStartDir) OnCantChangeStartDir(*this, goOn);
    return goOn;
}

void TSFTPClient::Connect(const QString& ARemoteDir) {
    TSSH2Client::Connect();
    if (!Connected()) return;
    sftp_ = RetryHandle([&] { return libssh2_sftp_init(Session()); });
    if (sftp_ == nullptr) {
        const QString text = TSSH2Client::GetLastSSHError(0);
        Disconnect();
        RaiseSSHError(text);
    }
    QString start = ExpandCurrentDirPath();
    if (start.isEmpty() && !AskToGoOn()) {
        Disconnect();
        return;
    }
    if (ARemoteDir != QLatin1String(".") && ARemoteDir != start) {
        if (TryOpenDir(ARemoteDir)) {
            start = ARemoteDir;
        } else if (!AskToGoOn()) {
            Disconnect();
            return;
        }
    }
    currentDir_ = start;
    items_.SetPath(start);
}

void TSFTPClient::Disconnect() {
    if (sftp_ != nullptr) {
        _LIBSSH2_SFTP* channel = sftp_;
        sftp_ = nullptr;
        // The shutdown also frees the channel's memory, so it runs after a
        // cancel too, then on a socket that fails at once instead of waiting.
        if (CancelRaised()) AbandonConnection();
        int result = LIBSSH2_ERROR_EAGAIN;
        try {
            result = RetryStatus([&] { return libssh2_sftp_shutdown(channel); });
        } catch (const ESSH2Exception&) {
            // A peer that stopped answering: the socket goes, the rest is freed below.
        }
        if (result == LIBSSH2_ERROR_EAGAIN) {
            AbandonConnection();
            // On a shut socket nothing can block; the bound only guards the library.
            for (int attempt = 0; attempt < kFreeAttempts && libssh2_sftp_shutdown(channel) == LIBSSH2_ERROR_EAGAIN;
                 ++attempt) {
            }
        }
    }
    TSSH2Client::Disconnect();
}

void TSFTPClient::Cancel(bool ADisconnect) { TSSH2Client::Cancel(ADisconnect); }

QByteArray TSFTPClient::ReadLink(const QString& path, int type) {
    const QByteArray encoded = EncodeString(path);
    std::vector<char> buffer(kLinkBufferStep);
    for (;;) {
        const int result = RetryStatus([&] {
            return libssh2_sftp_symlink_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()),
                                           buffer.data(), static_cast<unsigned>(buffer.size()), type);
        });
        if (result == kErrorBufferTooSmall && buffer.size() <= kLinkBufferLimit) {
            buffer.resize(buffer.size() + kLinkBufferStep);
            continue;
        }
        if (result < 0) RaiseSftpError();
        const size_t length = static_cast<size_t>(result) < buffer.size() ? static_cast<size_t>(result) : buffer.size();
        return QByteArray(buffer.data(), static_cast<qsizetype>(length));
    }
}

QString TSFTPClient::ExpandCurrentDirPath() {
    RequireChannel();
    LIBSSH2_SFTP_HANDLE* handle =
        RetryHandle([&] { return libssh2_sftp_open_ex(sftp_, ".", 1, 0, 0, LIBSSH2_SFTP_OPENDIR); });
    if (handle == nullptr) RaiseSftpError();
    QByteArray path;
    try {
        path = ReadLink(QString(), LIBSSH2_SFTP_REALPATH);
    } catch (...) {
        libssh2_sftp_close_handle(handle);
        throw;
    }
    RetryStatus([&] { return libssh2_sftp_close_handle(handle); });
    return DecodeString(path);
}

bool TSFTPClient::TryOpenDir(const QString& path) {
    lastDirChangedOK_ = false;
    if (sftp_ == nullptr) return false;
    const QByteArray encoded = EncodeString(path);
    LIBSSH2_SFTP_HANDLE* handle = RetryHandle([&] {
        return libssh2_sftp_open_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()), 0, 0,
                                    LIBSSH2_SFTP_OPENDIR);
    });
    if (handle == nullptr) return false;
    RetryStatus([&] { return libssh2_sftp_close_handle(handle); });
    lastDirChangedOK_ = true;
    return true;
}

void TSFTPClient::SetCurrentDirectory(const QString& path) {
    if (path == currentDir_ || !TryOpenDir(path)) return;
    currentDir_ = path;
    items_.SetPath(path);
}

bool TSFTPClient::OpenDir(const QString& APath, bool AutoMake, int32_t MakeMode) {
    if (APath == currentDir_) return true;
    bool ok = TryOpenDir(APath);
    if (!ok && AutoMake) {
        MakeDir(APath, MakeMode, true);
        ok = TryOpenDir(APath);
    }
    if (ok) {
        currentDir_ = APath;
        items_.SetPath(APath);
    }
    return ok;
}

void TSFTPClient::List(const QString& AStartPath) {
    if (!Connected() || sftp_ == nullptr) return;
    ClearCancel();
    if (!AStartPath.isEmpty() && AStartPath != currentDir_) {
        if (!TryOpenDir(AStartPath))
            RaiseSSHError(QStringLiteral("Could not change to dir: ") + AStartPath + QStringLiteral(" :: ") +
                          GetLastSSHError(0));
        currentDir_ = AStartPath;
    }
    const QByteArray encoded = EncodeString(currentDir_);
    LIBSSH2_SFTP_HANDLE* handle = RetryHandle([&] {
        return libssh2_sftp_open_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()), 0, 0,
                                    LIBSSH2_SFTP_OPENDIR);
    });
    if (handle == nullptr) RaiseSSHError(QStringLiteral("Could not open dir: ") + GetLastSSHError(0));
    items_.Clear();
    try {
        QByteArray name(kEntryBufferBytes, '\0');
        QByteArray longEntry(kEntryBufferBytes, '\0');
        while (!CancelRaised()) {
            LIBSSH2_SFTP_ATTRIBUTES attributes{};
            const int result = RetryStatus([&] {
                return libssh2_sftp_readdir_ex(handle, name.data(), kEntryBufferBytes, longEntry.data(),
                                               kEntryBufferBytes, &attributes);
            });
            if (result <= 0) break;
            const qsizetype length = result < static_cast<int>(kEntryBufferBytes) ? result : kEntryBufferBytes;
            items_.ParseEntryBuffers(name.left(length), longEntry, attributes);
        }
    } catch (...) {
        libssh2_sftp_close_handle(handle);
        items_.SetPath(currentDir_);
        throw;
    }
    RetryStatus([&] { return libssh2_sftp_close_handle(handle); });
    items_.SetPath(currentDir_);
}

bool TSFTPClient::GetAttributes(const QString& path, LIBSSH2_SFTP_ATTRIBUTES& attributes) {
    attributes = LIBSSH2_SFTP_ATTRIBUTES{};
    RequireChannel();
    const QByteArray encoded = EncodeString(path);
    return RetryStatus([&] {
               return libssh2_sftp_stat_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()),
                                           LIBSSH2_SFTP_STAT, &attributes);
           }) == 0;
}

bool TSFTPClient::Exists(const QString& name) {
    LIBSSH2_SFTP_ATTRIBUTES attributes;
    return GetAttributes(name, attributes);
}

bool TSFTPClient::ExistsDir(const QString& name) {
    LIBSSH2_SFTP_ATTRIBUTES attributes;
    // stat follows links, so a link to a folder counts as one.
    return GetAttributes(name, attributes) && IsDirectory(attributes);
}

QString TSFTPClient::ResolveSymLink(const QString& AOrigin, LIBSSH2_SFTP_ATTRIBUTES& attributes, bool ARealPath) {
    ClearCancel();
    RequireChannel();
    const QByteArray raw = ReadLink(AOrigin, ARealPath ? LIBSSH2_SFTP_REALPATH : LIBSSH2_SFTP_READLINK);
    if (raw.isEmpty()) RaiseSftpError();
    const qsizetype end = raw.indexOf('\0');
    const QString target = DecodeString(end < 0 ? raw : raw.left(end));
    GetAttributes(target, attributes);
    return target;
}

void TSFTPClient::MakeDir(const QString& ADirName, int32_t AMode, bool ARecurse) {
    ClearCancel();
    RequireChannel();
    if (ADirName.isEmpty() || ADirName == QLatin1String(".") || ADirName == QLatin1String("/")) return;
    QString path = ADirName;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    path.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    if (path == QLatin1String("\\") || path == QLatin1String(".\\")) return;
    if (path.endsWith(QLatin1Char('\\'))) path.chop(1);
    DoMakeDir(path, AMode, ARecurse);
}

void TSFTPClient::DoMakeDir(const QString& path, int32_t mode, bool recurse) {
    if (path.isEmpty() || path == QLatin1String("\\")) return;
    const auto slashed = [](QString text) { return text.replace(QLatin1Char('\\'), QLatin1Char('/')); };
    if (recurse) {
        const qsizetype last = path.lastIndexOf(QLatin1Char('\\'));
        const QString parent = last > 0 ? path.left(last) : (last == 0 ? QStringLiteral("\\") : QString());
        if (!parent.isEmpty() && parent != QLatin1String(".") && !TryOpenDir(slashed(parent)))
            DoMakeDir(parent, mode, recurse);
    }
    const QByteArray encoded = EncodeString(slashed(path));
    const long effective = mode == 0 ? kDefaultDirMode : mode;
    if (RetryStatus([&] {
            return libssh2_sftp_mkdir_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()), effective);
        }) != 0)
        RaiseSftpError();
}

void TSFTPClient::DeleteFile(const QString& name) {
    ClearCancel();
    RequireChannel();
    const QByteArray encoded = EncodeString(name);
    if (RetryStatus([&] { return libssh2_sftp_unlink_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size())); }) != 0)
        RaiseSftpError();
}

void TSFTPClient::Rename(const QString& oldName, const QString& newName, bool overwrite) {
    RequireChannel();
    const QByteArray from = EncodeString(oldName);
    const QByteArray to = EncodeString(newName);
    const long flags = LIBSSH2_SFTP_RENAME_ATOMIC | LIBSSH2_SFTP_RENAME_NATIVE | (overwrite ? LIBSSH2_SFTP_RENAME_OVERWRITE : 0);
    if (RetryStatus([&] {
            return libssh2_sftp_rename_ex(sftp_, from.constData(), static_cast<unsigned>(from.size()), to.constData(),
                                          static_cast<unsigned>(to.size()), flags);
        }) != 0)
        RaiseSftpError();
}

void TSFTPClient::CleanUpFailedPut(LIBSSH2_SFTP_HANDLE* handle, const QString& partName) {
    if (sftp_ == nullptr) return;
    // A cancel ends the transfer, not the clean-up; it stays raised afterwards.
    const bool cancelled = CancelRaised();
    if (cancelled) ClearCancelRequest();
    cleanupSeconds_ = kCleanupSeconds;
    try {
        if (handle != nullptr) RetryStatus([&] { return libssh2_sftp_close_handle(handle); });
        DeleteFile(partName);
    } catch (const ESSH2Exception&) {
        // The connection is gone or the file never came to be.
    }
    cleanupSeconds_ = 0;
    if (cancelled) TSSH2Client::Cancel(false);
}

void TSFTPClient::WriteStream(LIBSSH2_SFTP_HANDLE* handle, QIODevice& source, const QString& name) {
    const uint64_t total = static_cast<uint64_t>(source.size() - source.pos());
    uint64_t done = 0;
    std::vector<char> buffer(writeBufLen_);
    for (;;) {
        const qint64 read = source.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (read < 0) RaiseSSHError(QStringLiteral("Reading the local file failed: ") + source.errorString());
        if (read == 0) return;
        const char* rest = buffer.data();
        size_t left = static_cast<size_t>(read);
        while (left > 0) {
            if (CancelRaised()) RaiseSSHError(QStringLiteral("Cancelled"));
            const ssize_t written = RetryStatus([&] { return static_cast<int>(libssh2_sftp_write(handle, rest, left)); });
            if (written < 0) RaiseSftpError();
            done += static_cast<uint64_t>(written);
            rest += written;
            left -= static_cast<size_t>(written);
            if (OnTransferProgress) OnTransferProgress(*this, name, done, total);
        }
        if (CancelRaised()) RaiseSSHError(QStringLiteral("Cancelled"));
    }
}

void TSFTPClient::Put(QIODevice& ASource, const QString& ADestFileName, bool AOverwrite) {
    ClearCancel();
    RequireChannel();
    if (!AOverwrite && Exists(ADestFileName)) RaiseSSHError(QStringLiteral("SFTP: ") + StatusText(LIBSSH2_FX_FILE_ALREADY_EXISTS));
    const QString partName = ADestFileName + kPartSuffix;
    const QByteArray encoded = EncodeString(partName);
    LIBSSH2_SFTP_HANDLE* handle = RetryHandle([&] {
        return libssh2_sftp_open_ex(sftp_, encoded.constData(), static_cast<unsigned>(encoded.size()),
                                    LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_TRUNC, kUploadFileMode,
                                    LIBSSH2_SFTP_OPENFILE);
    });
    if (handle == nullptr) RaiseSftpError();
    try {
        WriteStream(handle, ASource, ADestFileName);
        LIBSSH2_SFTP_HANDLE* closing = handle;
        handle = nullptr;
        // The server reports a full disk or a failed write-back only here.
        if (RetryStatus([&] { return libssh2_sftp_close_handle(closing); }) != 0) RaiseSftpError();
        // Without a POSIX rename an existing target must go first, and only
        // once the new content is complete.
        if (AOverwrite && Exists(ADestFileName)) DeleteFile(ADestFileName);
        Rename(partName, ADestFileName, AOverwrite);
    } catch (const ESSH2Exception&) {
        CleanUpFailedPut(handle, partName);
        throw;
    }
}

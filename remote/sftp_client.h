#pragma once
// TSFTPClient: the SFTP channel on top of an SSH session. It keeps a current
// remote directory of its own (paths are sent as given, so the server
// resolves relative paths against its default directory), lists
// directories, tests and creates folders and uploads a stream.
//
// An upload arrives whole or not at all: Put writes "<name>.part" beside the
// target, checks that the server closed it, and only then renames it to the
// real name. Any failure, a cancel included, raises and removes the
// temporary file while the connection still allows it.
#include <QIODevice>
#include <QString>

#include <cstdint>
#include <functional>

#include "remote/sftp_items.h"
#include "remote/ssh2_client.h"

struct _LIBSSH2_SFTP;
struct _LIBSSH2_SFTP_HANDLE;

using TTransferProgress =
    std::function<void(TSSH2Client&, const QString& fileName, uint64_t transferred, uint64_t total)>;

inline constexpr int32_t kDefaultDirMode = 0755;
inline constexpr int32_t kUploadFileMode = 0644;

class TSFTPClient : public TSSH2Client {
public:
    TSFTPClient();
    ~TSFTPClient() override;

    // The SSH connection, the SFTP channel and the start directory. A host
    // key the caller refused returns without raising, not connected.
    void Connect(const QString& ARemoteDir);
    void Disconnect() override;
    void Cancel(bool ADisconnect) override;
    QString GetLastSSHError(int32_t E) override;

    // Reads a directory (the current one when AStartPath is empty) into
    // DirectoryItems, in the server's order. Nothing while not connected.
    void List(const QString& AStartPath);
    bool ExistsDir(const QString& name);
    bool Exists(const QString& name);
    // Makes APath the current directory; with AutoMake creates it and every
    // missing folder above it (MakeMode 0: 0755).
    bool OpenDir(const QString& APath, bool AutoMake, int32_t MakeMode);
    void MakeDir(const QString& ADirName, int32_t AMode, bool ARecurse);
    void DeleteFile(const QString& name);
    void Rename(const QString& oldName, const QString& newName, bool overwrite);
    // The target of a link, or its real path; the attributes of what it
    // names (cleared when that cannot be read).
    QString ResolveSymLink(const QString& AOrigin, LIBSSH2_SFTP_ATTRIBUTES& attributes, bool ARealPath);
    bool GetAttributes(const QString& path, LIBSSH2_SFTP_ATTRIBUTES& attributes);
    // The server's absolute path of its default directory.
    QString ExpandCurrentDirPath();
    // Uploads the rest of ASource to ADestFileName (see the file comment).
    // Without AOverwrite an existing target fails the upload before any byte.
    void Put(QIODevice& ASource, const QString& ADestFileName, bool AOverwrite);

    QString CurrentDirectory() const { return currentDir_; }
    void SetCurrentDirectory(const QString& path);
    TSFTPItems& DirectoryItems() { return items_; }
    bool LastDirChangedOK() const { return lastDirChangedOK_; }
    uint32_t WriteBufferLen() const { return writeBufLen_; }
    void SetWriteBufferLen(uint32_t bytes) { writeBufLen_ = bytes == 0 ? 1 : bytes; }

    TTransferProgress OnTransferProgress;
    TContinueEvent OnCantChangeStartDir;

    // The text of an SFTP status code ("SFTP: " is not included).
    static QString StatusText(unsigned long status);

protected:
    QString ClassName() const override { return QStringLiteral("TSFTPClient"); }

private:
    bool TryOpenDir(const QString& path);
    void RequireChannel();
    // Raises the error of the SFTP call that just failed.
    [[noreturn]] void RaiseSftpError();
    QString CallErrorText();
    bool AskToGoOn();
    void DoMakeDir(const QString& path, int32_t mode, bool recurse);
    void ClearCancel();
    QByteArray ReadLink(const QString& path, int type);
    void WriteStream(_LIBSSH2_SFTP_HANDLE* handle, QIODevice& source, const QString& name);
    void CleanUpFailedPut(_LIBSSH2_SFTP_HANDLE* handle, const QString& partName);

    QString currentDir_ = QStringLiteral(".");
    TSFTPItems items_;
    _LIBSSH2_SFTP* sftp_ = nullptr;
    bool lastDirChangedOK_ = false;
    uint32_t readBufLen_ = 0x8000;
    uint32_t writeBufLen_ = 0x7FFF;
};

#pragma once
// The entries of a remote directory listing: one TSFTPItem per entry, parsed
// from the name, the server's long listing line and the attribute record
// that libssh2 delivers. Remote data: every length is bounded by the buffer
// it came in, names that are not valid in the code page decode lossily.
#include <libssh2.h>
#include <libssh2_sftp.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class TSFTPItemType : uint8_t {
    sitUnknown,
    sitDirectory,
    sitFile,
    sitSymbolicLink,
    sitSymbolicLinkDir,
    sitBlockDev,
    sitCharDev,
    sitFIFO,
    sitSocket,
};

struct TSFTPStatData {
    uint64_t FileSize = 0;
    uint32_t UID = 0;
    uint32_t GID = 0;
    uint32_t Permissions = 0;  // the whole word, type bits included
    double LastAccessTime = 0;        // days since 1899-12-30, UTC
    double LastModificationTime = 0;  // the same
};

struct TSFTPItem : TSFTPStatData {
    QString FileName;
    QString LinkPath;  // for links: the resolved real path, empty when that failed
    uint64_t LinkSize = 0;
    bool Hidden = false;
    QString UIDStr;
    QString GIDStr;
    TSFTPItemType ItemType = TSFTPItemType::sitUnknown;

    QString PermsOctal() const;
    void SetPermsOctal(const QString& octal);
};

// "644" gives 420. A character that is no digit counts 0; 8 and 9 count as
// themselves. Throws std::overflow_error before the value leaves 32 bits.
uint32_t OctalToPerms(const QString& octal);
// 0 gives "0"; otherwise the last width octal digits, unpadded.
QString PermsToOctal(uint32_t value, int width = 4);
// Field n (from 1) of a long listing line; fields are separated by runs of
// blanks, tabs and carriage returns. Field 1 and missing fields are empty.
QString GetField(const QByteArray& longEntry, int n);

// What resolving a link gives: its real path and the target's attributes.
struct TResolvedLink {
    QString realPath;
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
};

class TSFTPItems {
public:
    // Resolves path to its real path; nullopt when the server refused.
    using LinkResolver = std::function<std::optional<TResolvedLink>(const QString& path)>;
    using Decoder = std::function<QString(const QByteArray&)>;

    // Without a resolver links keep their name only (the listing has no client).
    explicit TSFTPItems(LinkResolver resolver = {}, Decoder decode = {});

    TSFTPItem& Add();
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    TSFTPItem& Items(int32_t index) { return items_.at(static_cast<size_t>(index)); }
    const TSFTPItem& Items(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
    int32_t IndexOf(const TSFTPItem* item) const;
    void Clear() { items_.clear(); }

    QString Path() const { return path_; }
    void SetPath(const QString& path) { path_ = path; }

    // Adds the entry unless it is empty, "." or "..".
    void ParseEntryBuffers(const QByteArray& name, const QByteArray& longEntry, const LIBSSH2_SFTP_ATTRIBUTES& attributes);
    // Directories (and links to them) first, each group by name in UTF-16
    // code-unit order.
    void SortDefault();

private:
    void ResolveLink(TSFTPItem& item, const QByteArray& name);

    LinkResolver resolver_;
    Decoder decode_;
    QString path_;
    std::vector<TSFTPItem> items_;
};

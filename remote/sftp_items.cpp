#include "remote/sftp_items.h"

#include <algorithm>
#include <stdexcept>

#include "platform/date_time.h"

namespace {

constexpr uint32_t kTypeMask = 0xF000;
constexpr uint32_t kDirectoryType = 0x4000;
constexpr uint32_t kLinkType = 0xA000;
constexpr uint32_t kLargestBeforeShift = 0x1FFFFFFF;

TSFTPItemType TypeOf(uint32_t permissions) {
    switch (permissions & kTypeMask) {
    case 0x1000:
        return TSFTPItemType::sitFIFO;
    case 0x2000:
        return TSFTPItemType::sitCharDev;
    case kDirectoryType:
        return TSFTPItemType::sitDirectory;
    case 0x6000:
        return TSFTPItemType::sitBlockDev;
    case 0x8000:
        return TSFTPItemType::sitFile;
    case 0xC000:
        return TSFTPItemType::sitSocket;
    default:
        return TSFTPItemType::sitUnknown;
    }
}

bool IsSeparator(char c) { return c == '\t' || c == '\r' || c == ' '; }

double DaysFromUnixSeconds(uint32_t seconds) { return platform::kUnixEpochDays + seconds / 86400.0; }

bool IsDirectoryKind(TSFTPItemType type) {
    return type == TSFTPItemType::sitDirectory || type == TSFTPItemType::sitSymbolicLinkDir;
}

}  // namespace

uint32_t OctalToPerms(const QString& octal) {
    uint32_t value = 0;
    for (const QChar c : octal) {
        if (value > kLargestBeforeShift) throw std::overflow_error("octal permissions out of range");
        const int digit = c.isDigit() ? c.digitValue() : 0;
        value = value * 8 + static_cast<uint32_t>(digit < 0 ? 0 : digit);
    }
    return value;
}

QString PermsToOctal(uint32_t value, int width) {
    if (value == 0) return QStringLiteral("0");
    const QString digits = QString::number(value, 8);
    return digits.size() > width ? digits.right(width) : digits;
}

QString TSFTPItem::PermsOctal() const { return PermsToOctal(Permissions); }

void TSFTPItem::SetPermsOctal(const QString& octal) { Permissions = OctalToPerms(octal); }

QString GetField(const QByteArray& longEntry, int n) {
    if (n < 2) return {};
    // Only up to the first NUL counts: the buffer may hold more.
    const qsizetype end = longEntry.indexOf('\0') < 0 ? longEntry.size() : longEntry.indexOf('\0');
    int boundaries = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (!IsSeparator(longEntry[i]) || (i + 1 < end && longEntry[i + 1] == ' ')) continue;
        if (++boundaries != n - 1) continue;
        qsizetype stop = i + 1;
        while (stop < end && !IsSeparator(longEntry[stop])) ++stop;
        return QString::fromLocal8Bit(longEntry.mid(i + 1, stop - i - 1));
    }
    return {};
}

TSFTPItems::TSFTPItems(LinkResolver resolver, Decoder decode)
    : resolver_(std::move(resolver)), decode_(std::move(decode)) {}

TSFTPItem& TSFTPItems::Add() { return items_.emplace_back(); }

int32_t TSFTPItems::IndexOf(const TSFTPItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (&items_[i] == item) return static_cast<int32_t>(i);
    return -1;
}

void TSFTPItems::ResolveLink(TSFTPItem& item, const QByteArray& name) {
    item.ItemType = TSFTPItemType::sitSymbolicLink;
    const std::optional<TResolvedLink> link = resolver_(path_ + QLatin1Char('/') + item.FileName);
    if (!link) return;
    item.LinkPath = link->realPath;
    const LIBSSH2_SFTP_ATTRIBUTES& target = link->attributes;
    if ((target.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) && (target.permissions & kTypeMask) == kDirectoryType)
        item.ItemType = TSFTPItemType::sitSymbolicLinkDir;
    item.LinkSize = (target.flags & LIBSSH2_SFTP_ATTR_SIZE) ? target.filesize : 0;
}

void TSFTPItems::ParseEntryBuffers(const QByteArray& rawName, const QByteArray& longEntry,
                                   const LIBSSH2_SFTP_ATTRIBUTES& attributes) {
    const QByteArray name = rawName.left(rawName.indexOf('\0') < 0 ? rawName.size() : rawName.indexOf('\0'));
    if (name.isEmpty() || name == "." || name == "..") return;
    TSFTPItem& item = Add();
    item.FileName = decode_ ? decode_(name) : QString::fromUtf8(name);
    bool isLink = false;
    if (attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) {
        isLink = (attributes.permissions & kTypeMask) == kLinkType;
        item.ItemType = TypeOf(attributes.permissions);
        item.Permissions = static_cast<uint32_t>(attributes.permissions);
    }
    if (isLink) {
        if (!resolver_) return;
        ResolveLink(item, name);
    }
    item.FileSize = (attributes.flags & LIBSSH2_SFTP_ATTR_SIZE) ? attributes.filesize : 0;
    item.Hidden = name.startsWith('.');
    if (attributes.flags & LIBSSH2_SFTP_ATTR_UIDGID) {
        item.UID = static_cast<uint32_t>(attributes.uid);
        item.GID = static_cast<uint32_t>(attributes.gid);
        item.UIDStr = GetField(longEntry, 3);
        item.GIDStr = GetField(longEntry, 4);
    }
    if (attributes.flags & LIBSSH2_SFTP_ATTR_ACMODTIME) {
        item.LastAccessTime = DaysFromUnixSeconds(static_cast<uint32_t>(attributes.atime));
        item.LastModificationTime = DaysFromUnixSeconds(static_cast<uint32_t>(attributes.mtime));
    }
}

void TSFTPItems::SortDefault() {
    const auto byName = [](const TSFTPItem& a, const TSFTPItem& b) { return a.FileName < b.FileName; };
    const auto directoriesEnd =
        std::stable_partition(items_.begin(), items_.end(), [](const TSFTPItem& item) { return IsDirectoryKind(item.ItemType); });
    std::sort(items_.begin(), directoriesEnd, byName);
    std::sort(directoriesEnd, items_.end(), byName);
}

#include "remote/sftp_items.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <stdexcept>

namespace {

LIBSSH2_SFTP_ATTRIBUTES Attributes(unsigned long flags, unsigned long permissions = 0, uint64_t size = 0) {
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    attributes.flags = flags;
    attributes.permissions = permissions;
    attributes.filesize = size;
    return attributes;
}

constexpr unsigned long kAllFlags = LIBSSH2_SFTP_ATTR_SIZE | LIBSSH2_SFTP_ATTR_UIDGID |
                                    LIBSSH2_SFTP_ATTR_PERMISSIONS | LIBSSH2_SFTP_ATTR_ACMODTIME;

QStringList Names(const TSFTPItems& items) {
    QStringList names;
    for (int32_t i = 0; i < items.Count(); ++i) names << items.Items(i).FileName;
    return names;
}

}  // namespace

TEST(SFTPItems, AnEntryBecomesAnItemWithItsAttributes) {
    TSFTPItems items;
    LIBSSH2_SFTP_ATTRIBUTES attributes = Attributes(kAllFlags, 0x81A4, 1024);
    attributes.uid = 1001;
    attributes.gid = 100;
    attributes.atime = 0;
    attributes.mtime = 86400;
    items.ParseEntryBuffers("m1.vtm", "-rw-r--r--    1 ftpuser  users   1024 Jan  1 00:00 m1.vtm", attributes);
    items.ParseEntryBuffers(".", "", attributes);
    items.ParseEntryBuffers("..", "", attributes);
    items.ParseEntryBuffers("", "", attributes);
    items.ParseEntryBuffers(".profile", "", Attributes(0));
    ASSERT_EQ(items.Count(), 2);
    const TSFTPItem& file = items.Items(0);
    EXPECT_EQ(file.ItemType, TSFTPItemType::sitFile);
    EXPECT_EQ(file.FileSize, 1024u);
    EXPECT_EQ(file.UIDStr, QStringLiteral("ftpuser"));
    EXPECT_EQ(file.GIDStr, QStringLiteral("users"));
    EXPECT_EQ(file.UID, 1001u);
    EXPECT_EQ(file.PermsOctal(), QStringLiteral("0644"));
    EXPECT_DOUBLE_EQ(file.LastAccessTime, 25569.0);
    EXPECT_DOUBLE_EQ(file.LastModificationTime, 25570.0);
    EXPECT_FALSE(file.Hidden);
    const TSFTPItem& bare = items.Items(1);
    EXPECT_TRUE(bare.Hidden);
    EXPECT_EQ(bare.ItemType, TSFTPItemType::sitUnknown);
    EXPECT_EQ(bare.Permissions, 0u);
    EXPECT_EQ(bare.FileSize, 0u);
    EXPECT_TRUE(bare.UIDStr.isEmpty());
    EXPECT_EQ(bare.LastModificationTime, 0.0);
    EXPECT_EQ(items.IndexOf(&bare), 1);
    TSFTPItem stranger;
    EXPECT_EQ(items.IndexOf(&stranger), -1);
}

TEST(SFTPItems, LinksAreResolvedThroughTheClient) {
    TSFTPItems items([](const QString& path) -> std::optional<TResolvedLink> {
        if (path == QStringLiteral("/srv/dangling")) return std::nullopt;
        TResolvedLink link;
        link.realPath = QStringLiteral("/real") + path;
        link.attributes = path == QStringLiteral("/srv/todir") ? Attributes(LIBSSH2_SFTP_ATTR_PERMISSIONS, 0x41ED)
                                                                 : Attributes(LIBSSH2_SFTP_ATTR_SIZE, 0, 77);
        return link;
    });
    items.SetPath(QStringLiteral("/srv"));
    const LIBSSH2_SFTP_ATTRIBUTES link = Attributes(LIBSSH2_SFTP_ATTR_PERMISSIONS | LIBSSH2_SFTP_ATTR_SIZE, 0xA1FF, 9);
    items.ParseEntryBuffers("todir", "", link);
    items.ParseEntryBuffers("tofile", "", link);
    items.ParseEntryBuffers("dangling", "", link);
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Items(0).ItemType, TSFTPItemType::sitSymbolicLinkDir);
    EXPECT_EQ(items.Items(0).LinkPath, QStringLiteral("/real/srv/todir"));
    EXPECT_EQ(items.Items(1).ItemType, TSFTPItemType::sitSymbolicLink);
    EXPECT_EQ(items.Items(1).LinkSize, 77u);
    EXPECT_EQ(items.Items(2).ItemType, TSFTPItemType::sitSymbolicLink);
    EXPECT_TRUE(items.Items(2).LinkPath.isEmpty());
    EXPECT_EQ(items.Items(2).LinkSize, 0u);

    // Without a client a link keeps its name only.
    TSFTPItems plain;
    plain.ParseEntryBuffers("todir", "x 1 owner group", link);
    EXPECT_EQ(plain.Items(0).ItemType, TSFTPItemType::sitUnknown);
    EXPECT_EQ(plain.Items(0).FileSize, 0u);
    EXPECT_TRUE(plain.Items(0).UIDStr.isEmpty());
}

TEST(SFTPItems, SortPutsDirectoriesFirstByCodeUnits) {
    TSFTPItems items;
    const LIBSSH2_SFTP_ATTRIBUTES file = Attributes(LIBSSH2_SFTP_ATTR_PERMISSIONS, 0x81A4);
    const LIBSSH2_SFTP_ATTRIBUTES dir = Attributes(LIBSSH2_SFTP_ATTR_PERMISSIONS, 0x41ED);
    items.ParseEntryBuffers("b", "", file);
    items.ParseEntryBuffers("A", "", file);
    items.ParseEntryBuffers("z", "", dir);
    items.ParseEntryBuffers("a", "", file);
    items.ParseEntryBuffers("B", "", dir);
    items.SortDefault();
    EXPECT_EQ(Names(items), QStringList({"B", "z", "A", "a", "b"}));
}

TEST(SFTPItems, OctalConversions) {
    struct Case {
        const char* text;
        uint32_t value;
    };
    for (const Case& c : {Case{"644", 420}, Case{"0755", 493}, Case{"", 0}, Case{"7x", 56}, Case{"9", 9}})
        EXPECT_EQ(OctalToPerms(QString::fromLatin1(c.text)), c.value) << c.text;
    EXPECT_THROW(OctalToPerms(QStringLiteral("77777777777")), std::overflow_error);
    EXPECT_EQ(PermsToOctal(0), QStringLiteral("0"));
    EXPECT_EQ(PermsToOctal(0x81A4), QStringLiteral("0644"));
    EXPECT_EQ(PermsToOctal(420), QStringLiteral("644"));
    EXPECT_EQ(PermsToOctal(0x41ED), QStringLiteral("0755"));
    TSFTPItem item;
    item.SetPermsOctal(QStringLiteral("0755"));
    EXPECT_EQ(item.Permissions, 493u);
}

TEST(SFTPItems, HostileEntriesDecodeLossilyWithoutOverflow) {
    EXPECT_EQ(GetField("-rw-r--r--  1 ftpuser\tusers 1024", 3), QStringLiteral("ftpuser"));
    EXPECT_EQ(GetField("-rw-r--r--  1 ftpuser\tusers 1024", 4), QStringLiteral("users"));
    EXPECT_TRUE(GetField("-rw-r--r--  1 ftpuser", 1).isEmpty());
    EXPECT_TRUE(GetField("onefieldonly", 3).isEmpty());
    EXPECT_TRUE(GetField(QByteArray(), 3).isEmpty());
    EXPECT_TRUE(GetField(QByteArray("a b\0c d e", 9), 4).isEmpty());  // nothing after the NUL counts

    TSFTPItems items;
    const QByteArray longName(5000, 'n');
    items.ParseEntryBuffers(longName, QByteArray(5000, ' '), Attributes(kAllFlags, 0x81A4));
    items.ParseEntryBuffers(QByteArray("bad\xff\xfe" "name"), "", Attributes(0));
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Items(0).FileName.size(), 5000);
    EXPECT_TRUE(items.Items(0).UIDStr.isEmpty());
    EXPECT_EQ(items.Items(1).FileName, QStringLiteral("bad\uFFFD\uFFFDname"));
}

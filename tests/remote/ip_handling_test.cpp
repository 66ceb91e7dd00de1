#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "remote/ip_handling.h"

namespace {

std::vector<TnetInfo> Entries(int count) {
    std::vector<TnetInfo> list(count);
    for (int i = 0; i < count; ++i) list[i].ipV4 = QStringLiteral("10.0.0.%1").arg(i + 1);
    return list;
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(IpHandling, OperationalStatesAreNumberedAndOnlyUpUnknownAndDormantAreListed) {
    const struct {
        const char* text;
        int32_t number;
        bool listed;
    } cases[] = {{"up", 1, true},           {"down", 2, false},       {"testing", 3, false},
                 {"unknown", 4, true},      {"dormant", 5, true},     {"notpresent", 6, false},
                 {"lowerlayerdown", 7, false}, {"", 0, false},         {"UP", 0, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(OperStatusNumber(QString::fromLatin1(c.text)), c.number) << c.text;
        EXPECT_EQ(IsListedOperStatus(c.number), c.listed) << c.text;
    }
}

TEST(IpHandling, AdapterDetailsComeFromItsSysfsFolder) {
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("wlan0/phy80211"));
    WriteText(root.filePath(QStringLiteral("wlan0/operstate")), "dormant\n");
    WriteText(root.filePath(QStringLiteral("wlan0/speed")), "866\n");
    WriteText(root.filePath(QStringLiteral("wlan0/ifalias")), "Stage Wi-Fi\n");
    QDir(root.path()).mkpath(QStringLiteral("eth1"));
    WriteText(root.filePath(QStringLiteral("eth1/operstate")), "up\n");
    WriteText(root.filePath(QStringLiteral("eth1/speed")), "-1\n");

    const TIPHelper helper(root.path());
    const TnetInfo wifi = helper.AdapterDetails(QStringLiteral("wlan0"));
    EXPECT_EQ(wifi.status, kOperDormant);
    EXPECT_TRUE(wifi.isWifi);
    EXPECT_EQ(wifi.speedK, 866u);
    EXPECT_EQ(wifi.info, QStringLiteral("wlan0: Stage Wi-Fi"));
    const TnetInfo wired = helper.AdapterDetails(QStringLiteral("eth1"));
    EXPECT_EQ(wired.status, kOperUp);
    EXPECT_FALSE(wired.isWifi);
    EXPECT_EQ(wired.speedK, 0u);  // no link
    EXPECT_EQ(wired.info, QStringLiteral("eth1: eth1"));
}

TEST(IpHandling, TheSystemListHoldsTheLoopbackAddressUnticked) {
    TIpHandling handling;
    bool loopback = false;
    for (const TnetInfo& e : handling.Entries()) {
        if (e.ipV4 == QLatin1String("127.0.0.1")) {
            loopback = true;
            EXPECT_TRUE(e.info.startsWith(QLatin1String("lo: ")));
            EXPECT_EQ(e.status, kOperUnknown);
        }
        EXPECT_FALSE(e.selected);
        EXPECT_FALSE(e.ipV4.contains(QLatin1Char(':')));  // IPv4 only
    }
    EXPECT_TRUE(loopback);
    EXPECT_FALSE(handling.IsUseIp());
}

TEST(IpHandling, IdsOutsideTheListAreAnsweredWithoutEffect) {
    TIpHandling handling(Entries(3));
    EXPECT_EQ(handling.GetInfo(7), QStringLiteral("Invalid Id: 7"));
    EXPECT_EQ(handling.GetIp(7), QString());
    EXPECT_FALSE(handling.GetIpState(-1));
    handling.SetIpState(7, true);
    handling.SetIpState(-1, true);
    EXPECT_EQ(handling.GetNumActive(), 0);
    EXPECT_EQ(handling.GetUseState(), 0u);

    TIpHandling empty(std::vector<TnetInfo>{});
    EXPECT_EQ(empty.GetNumIps(), 0);
    EXPECT_FALSE(empty.IsUseIp());
    EXPECT_EQ(empty.GetUseState(), 0u);
}

TEST(IpHandling, TheMaskTicksEntriesByPositionModulo32) {
    TIpHandling three(Entries(3));
    three.SetUseState(5);
    EXPECT_TRUE(three.GetIpState(0));
    EXPECT_FALSE(three.GetIpState(1));
    EXPECT_TRUE(three.GetIpState(2));
    EXPECT_EQ(three.GetUseState(), 5u);
    EXPECT_EQ(three.GetNumActive(), 2);

    TIpHandling many(Entries(33));
    many.SetUseState(1u);
    EXPECT_TRUE(many.GetIpState(0));
    EXPECT_TRUE(many.GetIpState(32));  // shares bit 0
    EXPECT_EQ(many.GetNumActive(), 2);
    many.SetUseState(0x80000000u);
    EXPECT_TRUE(many.GetIpState(31));
    EXPECT_EQ(many.GetNumActive(), 1);
    EXPECT_EQ(many.GetUseState(), 0x80000000u);
}

}  // namespace

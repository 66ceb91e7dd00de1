// The DMX scenes: which scene a state sends, the packet layout, the live
// edits with their backups, and the registry round trip with bad values.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "remote/dmx_data.h"

namespace {

uint8_t Byte(const QByteArray& packet, int offset) { return static_cast<uint8_t>(packet[offset]); }
uint8_t Channel(const QByteArray& packet, int channel) { return Byte(packet, 18 + channel); }

// Each scene marked by a distinct value in channel 1.
void MarkScenes(TDMXData& dmx) {
    dmx.UpdateVal(16, 0, 10);
    dmx.UpdateVal(17, 0, 11);
    dmx.UpdateVal(18, 0, 12);
    dmx.UpdateVal(20, 0, 14);
}

TEST(DmxData, StateSelectsScene) {
    struct Case {
        int32_t state;
        uint8_t channel1;
    };
    const Case cases[] = {{0, 10}, {1, 11}, {2, 12}, {3, 0}, {4, 14}, {5, 0}, {16, 10}, {17, 11},
                          {18, 12}, {20, 14}, {254, 0}, {255, 0}, {-1, 0}, {15, 0}};
    for (const Case& c : cases) {
        TDMXData dmx;
        MarkScenes(dmx);
        EXPECT_EQ(Channel(dmx.GetSendData(c.state), 0), c.channel1) << "state " << c.state;
    }
}

TEST(DmxData, PacketHeaderAndAddress) {
    TDMXData dmx;
    dmx.SetNode(0x85);  // only the low 7 bits count
    dmx.SetSubNode(3);
    dmx.SetUniverse(0x105);
    const QByteArray packet = dmx.GetSendData(0);
    ASSERT_EQ(packet.size(), kArtDmxSize);
    EXPECT_EQ(QByteArray(packet.constData(), 8), QByteArray("Art-Net\0", 8));
    const uint8_t expected[] = {0x00, 0x50, 0, 14, 1, 1, 0x35, 0x05, 2, 0};
    const int offsets[] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    for (size_t i = 0; i < std::size(offsets); ++i) EXPECT_EQ(Byte(packet, offsets[i]), expected[i]) << offsets[i];
    EXPECT_EQ(dmx.GetNode(), 5);
    EXPECT_EQ(dmx.GetSubUni(), 5);
}

TEST(DmxData, SequenceSkipsZero) {
    TDMXData dmx;
    for (int i = 1; i <= 254; ++i) dmx.GetSendData(0);
    EXPECT_EQ(Byte(dmx.GetSendData(0), 12), 255);
    EXPECT_EQ(Byte(dmx.GetSendData(0), 12), 1);
}

// An unchanged state keeps the data area, so a scene edit shows only after a
// state change, a setup mode (which copies every time) or Reset.
TEST(DmxData, UnchangedStateKeepsDataUntilResetOrSetupMode) {
    TDMXData dmx;
    dmx.GetSendData(0);
    dmx.UpdateVal(16, 5, 99);
    EXPECT_EQ(Channel(dmx.GetSendData(0), 5), 0);
    EXPECT_EQ(Channel(dmx.GetSendData(16), 5), 99);
    dmx.UpdateVal(16, 5, 98);
    EXPECT_EQ(Channel(dmx.GetSendData(16), 5), 98);
    dmx.UpdateVal(16, 5, 97);
    dmx.GetSendData(0);
    dmx.UpdateVal(16, 5, 96);
    dmx.Reset();
    EXPECT_EQ(Channel(dmx.GetSendData(0), 5), 96);
}

// A new universe rebuilds the header; the scene continues in the next packet
// instead of the lights going dark until the state changes.
TEST(DmxData, AddressChangeKeepsSceneGoing) {
    TDMXData dmx;
    MarkScenes(dmx);
    EXPECT_EQ(Channel(dmx.GetSendData(2), 0), 12);
    dmx.SetUniverse(7);
    const QByteArray packet = dmx.GetSendData(2);
    EXPECT_EQ(Channel(packet, 0), 12);
    EXPECT_EQ(Byte(packet, 14), 7);
    EXPECT_EQ(Byte(packet, 12), 1);
}

TEST(DmxData, UpdateValAndGetData) {
    TDMXData dmx;
    dmx.UpdateVal(18, 0, 300);
    dmx.UpdateVal(18 + 64, 1, 7);  // the mode counts modulo 64
    dmx.UpdateVal(18, 512, 9);
    dmx.UpdateVal(18, -1, 9);
    dmx.UpdateVal(19, 2, 9);
    dmx.UpdateVal(3, 2, 9);
    TDMXData::Scene over = dmx.GetData(18);
    EXPECT_EQ(over[0], 44);
    EXPECT_EQ(over[1], 7);
    EXPECT_EQ(over[2], 0);
    EXPECT_EQ(dmx.GetData(2), over);
    MarkScenes(dmx);
    struct Case {
        int32_t mode;
        uint8_t channel1;
    };
    const Case cases[] = {{0, 10}, {16, 10}, {-5, 10}, {1, 11}, {17, 11}, {2, 12}, {4, 14}, {20, 14},
                          {3, 0}, {19, 0}, {255, 0}, {32, 0}};
    for (const Case& c : cases) EXPECT_EQ(dmx.GetData(c.mode)[0], c.channel1) << "mode " << c.mode;
}

TEST(DmxData, BackupAndRestore) {
    TDMXData dmx;
    dmx.UpdateVal(17, 3, 33);
    dmx.SetIp(QStringLiteral("10.0.0.9"));
    dmx.BackItUp(1);
    dmx.UpdateVal(17, 3, 44);
    dmx.SetIp(QStringLiteral("10.0.0.10"));
    dmx.SetUniverse(4);
    dmx.SetUseIt(true);
    dmx.BackItUp(5);       // ignored
    dmx.RestoreBackUp(0);  // slot 0 still holds the creation values
    EXPECT_EQ(dmx.GetIp(), kDefaultDmxIp);
    EXPECT_EQ(dmx.GetData(17)[3], 0);
    dmx.UpdateVal(17, 3, 44);
    dmx.SetUniverse(4);
    dmx.RestoreBackUp(1);
    EXPECT_EQ(dmx.GetData(17)[3], 33);
    EXPECT_EQ(dmx.GetIp(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(dmx.GetSubUni(), 0);
    EXPECT_FALSE(dmx.GetUseIt());
    EXPECT_EQ(Byte(dmx.GetSendData(1), 14), 0);  // the restored universe is in the packet
    dmx.RestoreBackUp(-1);                        // ignored
    EXPECT_EQ(dmx.GetData(17)[3], 33);
}

class DmxRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        reg = std::make_unique<platform::Registry>(dir.filePath(QStringLiteral("hive")));
        ASSERT_TRUE(reg->OpenKey(QStringLiteral("Software\\Veltaro"), true));
    }
    QTemporaryDir dir;
    std::unique_ptr<platform::Registry> reg;
};

TEST_F(DmxRegistry, RoundTripInOrder) {
    TDMXData dmx;
    MarkScenes(dmx);
    dmx.SetIp(QStringLiteral("192.168.4.20"));
    dmx.SetSubNode(9);
    dmx.SetNode(3);
    dmx.SetUniverse(6);
    dmx.SetDMXShow(true, false, true);
    dmx.SetUseIt(true);
    dmx.SaveToReg(reg.get());
    EXPECT_EQ(reg->GetValueNames(),
              QStringList({"DMX Normal", "DMX Warn", "DMX Over", "DMX No Measurement", "DMX_SUBNODE", "DMX_IP",
                           "DMX_SHOW", "DMX_UNI", "DMX_NODE", "DMX_USE"}));
    TDMXData loaded;
    loaded.LoadFromReg(reg.get());
    EXPECT_EQ(loaded.GetIp(), QStringLiteral("192.168.4.20"));
    EXPECT_EQ(loaded.GetSubNode(), 9);
    EXPECT_EQ(loaded.GetNode(), 3);
    EXPECT_EQ(loaded.GetSubUni(), 6);
    EXPECT_EQ(loaded.GetDMXShow(), 5);
    EXPECT_TRUE(loaded.GetUseIt());
    for (int mode : {16, 17, 18, 20}) EXPECT_EQ(loaded.GetData(mode), dmx.GetData(mode)) << mode;
    EXPECT_EQ(loaded.GetSendData(17), dmx.GetSendData(17));
    loaded.SaveToReg(nullptr);
    loaded.LoadFromReg(nullptr);
}

// Values the program never writes give the defaults; a scene of the wrong
// length leaves the scene as it was.
TEST_F(DmxRegistry, BadValuesGiveDefaults) {
    struct Case {
        const char* name;
        std::function<void(platform::Registry&)> write;
        std::function<bool(const TDMXData&)> holds;
    };
    const std::vector<Case> cases = {
        {"short scene", [](platform::Registry& r) { r.WriteBinaryData("DMX Warn", QByteArray(511, 'x')); },
         [](const TDMXData& d) { return d.GetData(17)[0] == 11 && d.GetData(17)[1] == 0; }},
        {"long scene", [](platform::Registry& r) { r.WriteBinaryData("DMX Over", QByteArray(513, 'x')); },
         [](const TDMXData& d) { return d.GetData(18)[0] == 12; }},
        {"sub-net above 16 bits", [](platform::Registry& r) { r.WriteInteger("DMX_SUBNODE", 65536); },
         [](const TDMXData& d) { return d.GetSubNode() == 0; }},
        {"negative sub-net", [](platform::Registry& r) { r.WriteInteger("DMX_SUBNODE", -1); },
         [](const TDMXData& d) { return d.GetSubNode() == 0; }},
        {"largest sub-net", [](platform::Registry& r) { r.WriteInteger("DMX_SUBNODE", 65535); },
         [](const TDMXData& d) { return d.GetSubNode() == 65535; }},
        {"negative show", [](platform::Registry& r) { r.WriteInteger("DMX_SHOW", -2); },
         [](const TDMXData& d) { return d.GetDMXShow() == 7; }},
        {"host name", [](platform::Registry& r) { r.WriteString("DMX_IP", "node.local"); },
         [](const TDMXData& d) { return d.GetIp() == kDefaultDmxIp; }},
        {"IPv6 address", [](platform::Registry& r) { r.WriteString("DMX_IP", "::1"); },
         [](const TDMXData& d) { return d.GetIp() == kDefaultDmxIp; }},
        {"net of 8 bits", [](platform::Registry& r) { r.WriteInteger("DMX_NODE", 0xFF); },
         [](const TDMXData& d) { return d.GetNode() == 0x7F; }},
        {"nothing stored", [](platform::Registry&) {},
         [](const TDMXData& d) { return d.GetDMXShow() == 7 && !d.GetUseIt() && d.GetData(16)[0] == 10; }},
    };
    for (const Case& c : cases) {
        for (const QString& name : reg->GetValueNames()) reg->DeleteValue(name);
        c.write(*reg);
        TDMXData dmx;
        MarkScenes(dmx);
        dmx.SetSubNode(4);
        dmx.SetDMXShow(false, false, false);
        dmx.LoadFromReg(reg.get());
        EXPECT_TRUE(c.holds(dmx)) << c.name;
    }
}

}  // namespace

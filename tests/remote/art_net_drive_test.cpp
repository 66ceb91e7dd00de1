// The Art-Net output against a node played by the test on 127.0.0.2: the
// ArtDmx rhythm of the limit state, the poll and its replies, our answer to
// another controller's poll, and the ways the output ends by itself.
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "remote/art_net_drive.h"
#include "remote/dmx_data.h"
#include "remote/udp_peer.h"
#include "support/fake_main_window.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"

namespace {

using test_support::Ip;
using test_support::Peer;

class RunningWindow : public test_support::FakeMainWindow {
public:
    bool running = false;
    bool GetMessungLaeuft() override { return running; }
};

uint16_t FreePort() { return Peer("127.0.0.1", 0, false).Port(); }

class ArtNetDrive : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        setenv("VELTARO_LOOPBACK_ONLY", "1", 1);
        RegisterMainWindowServices(&window);
        dmx.SetIp(QStringLiteral("127.0.0.2"));
        dmx.SetUseIt(true);
        dmx.UpdateVal(16, 0, 10);
        dmx.UpdateVal(17, 0, 11);
        dmx.UpdateVal(18, 0, 12);
        dmx.UpdateVal(20, 0, 14);
        dmx.UpdateVal(20, 511, 15);
        dmxData.store(&dmx);
        port = FreePort();
        node = std::make_unique<Peer>("127.0.0.2", port, true);
        ASSERT_TRUE(node->Bound());
        TArtNetConfig config;
        config.port = port;
        config.localAddresses = std::vector<in_addr>{Ip("127.0.0.1")};
        config.pollDestination = Ip("127.0.0.2");
        config.timers = false;
        drive = std::make_unique<TArtNetDrive>(config);
    }
    void TearDown() override {
        drive.reset();
        dmxData.store(nullptr);
        RegisterMainWindowServices(nullptr);
    }
    // Starts the output; the node takes the first poll.
    void Start() {
        drive->StartArtNet();
        ASSERT_TRUE(drive->Running());
        ASSERT_EQ(node->Receive(), TArtNetControl::GetPoll());
    }
    // One send tick; the packet the node got from it, or empty.
    QByteArray Tick() {
        drive->SendArtNetDmx(false);
        const QByteArray packet = node->ReadNow();
        if (!packet.isEmpty()) {
            EXPECT_NE(packet[12], 0) << "sequence";
            EXPECT_EQ(packet.left(10), QByteArray("Art-Net\0\x00\x50", 10));
        }
        return packet;
    }
    static int Scene(const QByteArray& packet) { return packet.isEmpty() ? -1 : static_cast<uint8_t>(packet[18]); }

    RunningWindow window;
    TDMXData dmx;
    uint16_t port = 0;
    std::unique_ptr<Peer> node;
    std::unique_ptr<TArtNetDrive> drive;
};

TEST_F(ArtNetDrive, SendRhythm) {
    Start();
    EXPECT_EQ(window.statusSlots[2], QStringLiteral("ArtNet: 127.0.0.2"));
    const QByteArray first = Tick();
    ASSERT_EQ(first.size(), kArtDmxSize);
    EXPECT_EQ(first.mid(12, 6), QByteArray("\x01\x01\x00\x00\x02\x00", 6));
    EXPECT_EQ(Scene(first), 14);
    EXPECT_EQ(static_cast<uint8_t>(first[18 + 511]), 15);
    for (int tick = 1; tick <= 10; ++tick) EXPECT_TRUE(Tick().isEmpty()) << tick;
    EXPECT_EQ(Scene(Tick()), 14);  // the 11th tick repeats

    // A state change goes out within one tick.
    window.running = true;
    window.limitStates = {1, 0, 2};
    EXPECT_EQ(Scene(Tick()), 12);
    window.limitStates[2] = 1;
    EXPECT_EQ(Scene(Tick()), 11);
    dmx.SetDMXShow(false, false, true);  // the short-term Leq alone
    EXPECT_EQ(Scene(Tick()), 10);
    dmx.SetDMXShow(false, false, false);
    EXPECT_EQ(Scene(Tick()), 0);

    // A universe change keeps the scene going in the next packet.
    window.running = false;
    EXPECT_EQ(Scene(Tick()), 14);
    dmx.SetUniverse(5);
    for (int tick = 1; tick <= 10; ++tick) EXPECT_TRUE(Tick().isEmpty()) << tick;
    const QByteArray repeated = Tick();
    EXPECT_EQ(Scene(repeated), 14);
    EXPECT_EQ(repeated[14], 5);
}

TEST_F(ArtNetDrive, SetupModes) {
    Start();
    EXPECT_EQ(Scene(Tick()), 14);
    drive->SetArtNetSetupMode(254);  // one dark packet at once, then the scene again
    EXPECT_EQ(Scene(node->ReadNow()), 0);
    EXPECT_EQ(Scene(Tick()), 14);
    EXPECT_TRUE(Tick().isEmpty());
    drive->SetArtNetSetupMode(17);  // the edited scene, afresh at every change
    EXPECT_EQ(Scene(node->ReadNow()), 11);
    dmx.UpdateVal(17, 0, 99);
    EXPECT_TRUE(Tick().isEmpty());
    drive->SetArtNetSetupMode(255);
    EXPECT_EQ(Scene(node->ReadNow()), 0);
    drive->SetArtNetSetupMode(17);
    EXPECT_EQ(Scene(node->ReadNow()), 99);
    // Stopping sends one dark packet and leaves the status line empty.
    drive->StopArtNet();
    EXPECT_EQ(Scene(node->ReadNow()), 0);
    EXPECT_FALSE(drive->Running());
    EXPECT_EQ(artNetControl.load(), nullptr);
    EXPECT_EQ(window.statusSlots[2], QStringLiteral("---"));
    EXPECT_TRUE(dmx.GetUseIt());
}

TEST_F(ArtNetDrive, PollReplyFillsDeviceList) {
    Start();
    QByteArray reply(kArtPollReplySize, '\0');
    TArtNetControl::InitHeader(reply, kOpPollReply);
    reply.replace(10, 4, QByteArray("\x7f\x00\x00\x02", 4));
    reply[18] = 1;
    reply[19] = 2;
    reply[174] = char(0x80);
    reply[176] = char(0x80);
    reply.replace(190, 4, QByteArray("\x03\x04\x05\x06", 4));
    node->SendTo("127.0.0.1", port, reply);
    QDeadlineTimer deadline(5000);
    while (artNetControl.load()->GetNumDevices() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    TArtNetControl* control = artNetControl.load();
    ASSERT_EQ(control->GetNumDevices(), 2);
    EXPECT_EQ(control->GetAddress(0), 0x0123);
    EXPECT_EQ(control->GetAddress(1), 0x0125);
    EXPECT_EQ(control->GetIpById(0), QStringLiteral("127.0.0.2"));
}

TEST_F(ArtNetDrive, BurstOfPollsGetsOneAnswer) {
    Start();
    QElapsedTimer sinceLast;
    for (int i = 0; i < 5; ++i) {
        node->SendTo("127.0.0.3", port, TArtNetControl::GetPoll());
        sinceLast.start();
    }
    const QByteArray answer = node->Receive();
    const qint64 elapsed = sinceLast.elapsed();
    ASSERT_EQ(answer.size(), kArtPollReplySize);
    EXPECT_EQ(TArtNetControl::GetCommand(answer), kOpPollReply);
    EXPECT_EQ(answer.mid(10, 4), QByteArray("\x7f\x00\x00\x03", 4));
    EXPECT_EQ(node->from.sin_addr.s_addr, Ip("127.0.0.3").s_addr);
    EXPECT_GE(elapsed, 50);
    EXPECT_GE(drive->PollAnswerDelayMs(), 50);
    EXPECT_LE(drive->PollAnswerDelayMs(), 849);
    QCoreApplication::processEvents();
    EXPECT_TRUE(node->ReadNow().isEmpty());
}

TEST_F(ArtNetDrive, PortHeldElsewhere) {
    Peer holder("127.0.0.1", port, false);
    ASSERT_TRUE(holder.Bound());
    drive->StartArtNet();
    EXPECT_FALSE(drive->Running());
    EXPECT_FALSE(dmx.GetUseIt());
    EXPECT_EQ(artNetControl.load(), nullptr);
    EXPECT_EQ(window.statusSlots[2], QStringLiteral("---"));
}

TEST_F(ArtNetDrive, RefusedSendEndsOutput) {
    dmx.SetIp(QStringLiteral("192.0.2.1"));
    Start();
    drive->SendArtNetDmx(false);
    EXPECT_FALSE(drive->Running());
    EXPECT_FALSE(dmx.GetUseIt());
    EXPECT_EQ(artNetControl.load(), nullptr);
    EXPECT_EQ(window.statusSlots[2], QStringLiteral("---"));
    drive->StartArtNet();  // stays off until the user switches DMX on again
    EXPECT_FALSE(drive->Running());
}

TEST_F(ArtNetDrive, NothingWithoutDmxOrAddresses) {
    dmx.SetUseIt(false);
    drive->SwitchArtNet(2);
    EXPECT_FALSE(drive->Running());
    dmx.SetUseIt(true);
    TArtNetConfig config;
    config.port = port;
    config.localAddresses = std::vector<in_addr>{};
    TArtNetDrive noAddresses(config);
    noAddresses.StartArtNet();
    EXPECT_FALSE(noAddresses.Running());
    EXPECT_TRUE(dmx.GetUseIt());
    drive->SwitchArtNet(1);
    EXPECT_TRUE(drive->Running());
    drive->SwitchArtNet(0);
    EXPECT_FALSE(drive->Running());
}

}  // namespace

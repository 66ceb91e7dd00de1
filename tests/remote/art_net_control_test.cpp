// The Art-Net packets: our poll and reply byte for byte, the device list
// built from other nodes' replies, and replies cut short or mangled.
#include <gtest/gtest.h>

#include <random>

#include "remote/art_net_control.h"

namespace {

// A node's reply: PortTypes 0x80, 0, 0x80, 0 with net 1, sub-net 2 and
// SwOut 3, 4, 5, 6 gives the port addresses 0x0123 and 0x0125.
QByteArray NodeReply(const QByteArray& longName = "Stage Dimmer", const char* ip = "\x0a\x01\x02\x03") {
    QByteArray reply(kArtPollReplySize, '\0');
    TArtNetControl::InitHeader(reply, kOpPollReply);
    reply.replace(10, 4, QByteArray(ip, 4));
    reply[18] = 1;
    reply[19] = 2;
    reply.replace(26, 5, "Dimmr");
    reply.replace(44, std::min<int>(64, longName.size()), longName.left(64));
    reply[174] = char(0x80);
    reply[176] = char(0x80);
    const char swOut[] = {3, 4, 5, 6};
    reply.replace(190, 4, QByteArray(swOut, 4));
    return reply;
}

TEST(ArtNetControl, PollPacket) {
    const QByteArray poll = TArtNetControl::GetPoll();
    EXPECT_EQ(poll, QByteArray("Art-Net\0\x00\x20\x00\x0e\x0c\x40", 14));
    QByteArray tiny(11, 'x');
    EXPECT_FALSE(TArtNetControl::InitHeader(tiny, kOpPoll));
    EXPECT_EQ(tiny, QByteArray(11, 'x'));
}

TEST(ArtNetControl, CommandNeedsElevenBytes) {
    const QByteArray poll = TArtNetControl::GetPoll();
    EXPECT_EQ(TArtNetControl::GetCommand(poll), kOpPoll);
    EXPECT_EQ(TArtNetControl::GetCommand(poll.left(11)), kOpPoll);
    EXPECT_EQ(TArtNetControl::GetCommand(poll.left(10)), -1);
    EXPECT_EQ(TArtNetControl::GetCommand(QByteArray()), -1);
}

TEST(ArtNetControl, ReplyListsOutputPorts) {
    TArtNetControl control;
    control.CheckOpPollReply(NodeReply());
    ASSERT_EQ(control.GetNumDevices(), 2);
    EXPECT_EQ(control.GetAddress(0), 0x0123);
    EXPECT_EQ(control.GetAddress(1), 0x0125);
    EXPECT_EQ(control.GetIpById(1), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(control.GetIdByAdr(0x0125), 1);
    EXPECT_EQ(control.GetIdByAdr(0x0124), -1);
    EXPECT_EQ(control.GetInfoById(0), QStringLiteral("Stage Dimmer \u2022 10.1.2.3 \u2022 291"));
    EXPECT_EQ(control.GetInfoById(2), QStringLiteral("Invalid ArtnetInfo ID: 2"));
    EXPECT_EQ(control.GetInfoById(-1), QStringLiteral("Invalid ArtnetInfo ID: -1"));
    EXPECT_EQ(control.GetIpById(2), QString());
    EXPECT_EQ(control.GetAddress(-1), 0);

    // The same ports again under a new name and address: renamed, first address kept.
    control.CheckOpPollReply(NodeReply("Renamed", "\x0a\x09\x09\x09"));
    ASSERT_EQ(control.GetNumDevices(), 2);
    EXPECT_EQ(control.GetInfoById(0), QStringLiteral("Renamed \u2022 10.1.2.3 \u2022 291"));
}

TEST(ArtNetControl, LongNameWithoutZeroByte) {
    TArtNetControl control;
    control.CheckOpPollReply(NodeReply(QByteArray(70, 'N')));
    ASSERT_EQ(control.GetNumDevices(), 2);
    EXPECT_TRUE(control.GetInfoById(0).startsWith(QString(64, QLatin1Char('N')) + QStringLiteral(" \u2022")));
}

TEST(ArtNetControl, OwnReplyLayout) {
    TArtNetControl control;
    const QByteArray reply = control.AnswerToPoll(QStringLiteral("127.0.0.3"), 7, 0, 0, 1,
                                                  QStringLiteral("Alles klar beim Veltaro"));
    ASSERT_EQ(reply.size(), kArtPollReplySize);
    struct Field {
        int offset;
        QByteArray bytes;
    };
    const Field fields[] = {
        {0, QByteArray("Art-Net\0\x00\x21", 10)},
        {10, QByteArray("\x7f\x00\x00\x03\x36\x19\x19\x50\x00\x00\x00\xff\x00\xc8\xf0\x7f", 16)},
        {26, QByteArray("Veltaro 25 96\0", 14)},
        {44, QByteArray("Veltaro 25 96     \0", 19)},
        {108, QByteArray("#0001 [0000] Alles klar beim Veltaro\0", 37)},
        {172, QByteArray("\x00\x01\x40\x00\x00\x00\x88\x08\x08\x08\x00\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00", 22)},
        {200, QByteArray("\x01\x00\x00\x00\x00\x00\x00\x7f\x00\x00\x03\x00\x08\xc0\x00\x00\x00", 17)},
        {224, QByteArray("\x08\x15\x00\x20", 4)},
        {228, QByteArray(11, '\0')},
    };
    for (const Field& f : fields) EXPECT_EQ(reply.mid(f.offset, f.bytes.size()).toHex(' '), f.bytes.toHex(' ')) << f.offset;
    // Our own reply names an input port only, so it never enters the list.
    control.CheckOpPollReply(reply);
    EXPECT_EQ(control.GetNumDevices(), 0);
}

TEST(ArtNetControl, ReportCounterWraps) {
    TArtNetControl control;
    auto report = [&control] { return control.AnswerToPoll("1.2.3.4", 0, 0, 0, 0xabc, "x").mid(108, 14); };
    for (int i = 0; i < 9999; ++i) report();
    EXPECT_EQ(report(), QByteArray("#0ABC [9999] x"));
    EXPECT_EQ(report().left(13), QByteArray("#0ABC [10000]"));
    EXPECT_EQ(report(), QByteArray("#0ABC [0000] x"));
}

// Cut at every length: never a read past the end, and the ports read before
// the cut stay listed.
TEST(ArtNetControl, ShortRepliesKeepEarlierPorts) {
    const QByteArray full = NodeReply();
    for (int length = 0; length <= kArtPollReplySize; ++length) {
        TArtNetControl control;
        control.CheckOpPollReply(full.left(length));
        const int expected = length <= 192 ? (length <= 190 ? 0 : 1) : 2;
        EXPECT_EQ(control.GetNumDevices(), expected) << "length " << length;
    }
    TArtNetControl control;
    QByteArray huge = full;
    huge.append(QByteArray(65536 - full.size(), '\x80'));
    control.CheckOpPollReply(huge);
    EXPECT_EQ(control.GetNumDevices(), 2);
    // Names without a zero byte up to the end of a short datagram.
    QByteArray noZero(100, 'A');
    control.CheckOpPollReply(noZero);
    EXPECT_EQ(control.GetNumDevices(), 2);
}

// A seeded run of mutated and cut replies: no read past the end, and the
// list keeps one entry per port address.
TEST(ArtNetControl, MutatedRepliesStayInBounds) {
    std::mt19937 random(30);
    TArtNetControl control;
    const QByteArray full = NodeReply();
    for (int i = 0; i < 100000; ++i) {
        QByteArray reply = full.left(std::uniform_int_distribution<int>(0, kArtPollReplySize)(random));
        const int flips = std::uniform_int_distribution<int>(0, 8)(random);
        for (int f = 0; f < flips && !reply.isEmpty(); ++f)
            reply[std::uniform_int_distribution<int>(0, reply.size() - 1)(random)] =
                static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        control.CheckOpPollReply(reply);
    }
    EXPECT_GT(control.GetNumDevices(), 2);
    for (int id = 0; id < control.GetNumDevices(); ++id) EXPECT_EQ(control.GetIdByAdr(control.GetAddress(id)), id);
}

}  // namespace

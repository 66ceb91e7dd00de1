// The time-server client against a responder the test scripts on loopback:
// which replies count, the offset taken from them, and the synchronisation
// switched off, silent or unresolvable.
#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

#include "remote/sntp_client.h"
#include "remote/time_server_client.h"
#include "ui_kit/gui_test_app.h"
#include "support/sntp_responder.h"
#include "ui_kit/services/clock.h"

namespace {

using test_support::Reply;
using test_support::Responder;

// The local clock of the test stands still, so the offset is exact.
const platform::TDateTime kLocalUtc = platform::EncodeDateTime(2026, 12, 11, 9, 30, 0, 0);

QByteArray ServerReply(const QByteArray& request, int64_t offsetMs, platform::TDateTime localUtc = kLocalUtc) {
    return test_support::ServerReply(request, offsetMs, localUtc);
}

class TimeServerClient : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        setenv("VELTARO_LOOPBACK_ONLY", "1", 1);
        SetClockSourceForTests([] { return kLocalUtc; });
        SetClockOffset(0);
        client = std::make_unique<TTimeServerClient>(TTimeServerClient::Hooks{[this] { ++clockSyncs; }, [this] { ++repaints; }});
        client->SetHost(QStringLiteral("127.0.0.1"));
        client->SetPort(responder.Port());
    }
    void TearDown() override {
        client.reset();
        SetClockSourceForTests(nullptr);
        SetClockOffset(0);
    }
    void AnswerWithOffset(int64_t ms) {
        responder.script = [ms](const QByteArray& request) { return std::vector<Reply>{{ServerReply(request, ms)}}; };
    }

    Responder responder;
    std::unique_ptr<TTimeServerClient> client;
    int clockSyncs = 0;
    int repaints = 0;
    bool sync = true;
};

TEST_F(TimeServerClient, RequestIsVersion4ClientWithSendTime) {
    QByteArray seen;
    responder.script = [&seen](const QByteArray& request) {
        seen = request;
        return std::vector<Reply>{{ServerReply(request, 0)}};
    };
    client->SyncWebTime(sync);
    ASSERT_EQ(seen.size(), kSntpPacketSize);
    EXPECT_EQ(static_cast<uint8_t>(seen[0]), 0x23);
    EXPECT_EQ(seen.mid(1, 39), QByteArray(39, '\0'));
    EXPECT_EQ(qFromBigEndian<uint64_t>(seen.constData() + 40), NtpStampFromMs(MsSince1900(kLocalUtc)));
    EXPECT_TRUE(sync);
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_EQ(repaints, 1);
}

TEST_F(TimeServerClient, SmallDifferencesAreIgnored) {
    struct Case {
        int64_t serverAheadMs;
        int64_t offset;
    };
    for (const Case& c : {Case{100, 0}, Case{124, 0}, Case{-124, 0}, Case{125, 125}, Case{-2000, -2000}}) {
        SetClockOffset(77);
        AnswerWithOffset(c.serverAheadMs);
        client->SyncWebTime(sync);
        EXPECT_EQ(ClockOffset(), c.offset) << c.serverAheadMs;
        EXPECT_TRUE(sync);
    }
    EXPECT_EQ(clockSyncs, 5);
}

// Each reply breaks one rule and claims a 3 s difference; the good reply
// after it claims 500 ms. Only the good one may count.
TEST_F(TimeServerClient, BadRepliesAreIgnored) {
    struct Case {
        const char* rule;
        std::function<void(QByteArray&)> spoil;
        bool fromOtherPort;
    };
    const std::vector<Case> cases = {
        {"47 bytes", [](QByteArray& r) { r.chop(1); }, false},
        {"client mode", [](QByteArray& r) { r[0] = 0x23; }, false},
        {"broadcast mode", [](QByteArray& r) { r[0] = 0x25; }, false},
        {"unsynchronised", [](QByteArray& r) { r[0] = char(0xE4); }, false},
        {"stratum 0", [](QByteArray& r) { r[1] = 0; }, false},
        {"stratum 16", [](QByteArray& r) { r[1] = 16; }, false},
        {"no transmit time", [](QByteArray& r) { r.replace(40, 8, QByteArray(8, '\0')); }, false},
        {"other originate time", [](QByteArray& r) { r[31] = char(r[31] ^ 1); }, false},
        {"another port", [](QByteArray&) {}, true},
    };
    for (const Case& c : cases) {
        SetClockOffset(0);
        responder.script = [&c](const QByteArray& request) {
            QByteArray bad = ServerReply(request, 3000);
            c.spoil(bad);
            return std::vector<Reply>{{bad, c.fromOtherPort}, {ServerReply(request, 500)}};
        };
        client->SyncWebTime(sync);
        EXPECT_EQ(ClockOffset(), 500) << c.rule;
        EXPECT_TRUE(sync) << c.rule;
    }
    // A reply longer than 48 bytes is fine.
    responder.script = [](const QByteArray& request) {
        return std::vector<Reply>{{ServerReply(request, 700) + QByteArray(20, 'x')}};
    };
    client->SyncWebTime(sync);
    EXPECT_EQ(ClockOffset(), 700);
}

TEST_F(TimeServerClient, SilenceGivesZeroAndKeepsSync) {
    SetClockOffset(900);
    client->SyncWebTime(sync);
    EXPECT_EQ(responder.requests, 1);
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_TRUE(sync);
}

TEST_F(TimeServerClient, UnresolvableHostClearsSync) {
    SetClockOffset(900);
    client->SetHost(QStringLiteral("time.example.invalid"));
    client->SyncWebTime(sync);
    EXPECT_FALSE(sync);
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_EQ(repaints, 1);
}

TEST_F(TimeServerClient, SyncOffSendsNothing) {
    AnswerWithOffset(5000);
    SetClockOffset(900);
    sync = false;
    client->SyncWebTime(sync);
    EXPECT_EQ(responder.requests, 0);
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_EQ(repaints, 1);
}

// The server test takes that server's offset and keeps the configured host.
TEST_F(TimeServerClient, CheckTsHostKeepsConfiguredHost) {
    client->SetHost(QStringLiteral("time.example.invalid"));
    AnswerWithOffset(3000);
    const platform::TDateTime serverTime = client->CheckTsHost(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(platform::DateTimeToMs(serverTime), platform::DateTimeToMs(UtcToLocal(kLocalUtc)) + 3000);
    EXPECT_EQ(ClockOffset(), 3000);
    EXPECT_EQ(client->TimeServerHost(), QStringLiteral("time.example.invalid"));
    responder.script = nullptr;
    EXPECT_EQ(client->CheckTsHost(QStringLiteral("127.0.0.1")), 0);
    EXPECT_EQ(ClockOffset(), 0);
    EXPECT_EQ(client->CheckTsHost(QStringLiteral("")), 0);
}

// The stamp asks the server without touching the offset.
TEST_F(TimeServerClient, TimeServerTimeLeavesOffset) {
    AnswerWithOffset(-4000);
    SetClockOffset(250);
    const platform::TDateTime serverTime = client->TimeServerTime();
    EXPECT_EQ(platform::DateTimeToMs(serverTime), platform::DateTimeToMs(UtcToLocal(kLocalUtc)) - 4000);
    EXPECT_EQ(ClockOffset(), 250);
}

// While the main thread waits for the server, a second request does nothing.
TEST_F(TimeServerClient, RequestWhileWaitingDoesNothing) {
    bool innerSync = true;
    responder.script = [&](const QByteArray& request) {
        SetClockOffset(4321);
        client->SyncWebTime(innerSync);
        return std::vector<Reply>{{ServerReply(request, 600)}};
    };
    client->SyncWebTime(sync);
    EXPECT_EQ(responder.requests, 1);
    EXPECT_EQ(ClockOffset(), 600);
    EXPECT_TRUE(innerSync);
    EXPECT_EQ(repaints, 1);
}

// 2036-02-07 06:28:16 UTC starts the second NTP era.
TEST_F(TimeServerClient, EraWrap) {
    const platform::TDateTime local = platform::EncodeDateTime(2036, 2, 7, 6, 28, 10, 0);
    SetClockSourceForTests([local] { return local; });
    responder.script = [local](const QByteArray& request) {
        const QByteArray reply = ServerReply(request, 8000, local);
        EXPECT_LT(qFromBigEndian<uint32_t>(reply.constData() + 40), 10u);  // the seconds have wrapped
        return std::vector<Reply>{{reply}};
    };
    client->SyncWebTime(sync);
    EXPECT_EQ(ClockOffset(), 8000);
}

TEST(NtpStamps, EpochIs1900) {
    EXPECT_EQ(MsSince1900(platform::EncodeDateTime(1900, 1, 1, 0, 0, 0, 0)), 0.0);
    // 2036-02-07 06:28:16 UTC is 2^32 seconds after the epoch.
    EXPECT_EQ(std::llround(MsSince1900(platform::EncodeDateTime(2036, 2, 7, 6, 28, 16, 0))), (int64_t{1} << 32) * 1000);
    EXPECT_EQ(UtcFromMsSince1900(0), platform::EncodeDateTime(1900, 1, 1, 0, 0, 0, 0));
}

TEST(NtpStamps, EraNearestReference) {
    const double era = 4294967296.0 * 1000.0;
    for (double ms : {0.0, 3'912'000'123.25, era - 6000.5, era + 2000.0, 2 * era + 999.0}) {
        for (double shift : {0.0, 8000.0, -8000.0}) {
            EXPECT_NEAR(MsFromNtpStamp(NtpStampFromMs(ms + shift), ms), ms + shift, 0.001) << ms << " " << shift;
        }
    }
}

}  // namespace

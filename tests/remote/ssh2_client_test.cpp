#include "remote/ssh2_client.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/fake_ssh_peer.h"
#include "remote/sftp_client.h"
#include "remote/sshd_fixture.h"
#include "remote/ssh2_host_keys.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

using sshd_test::SshdServer;

namespace {

constexpr TAuthModes kProgramModes =
    AuthModeBit(TAuthMode::amPassword) | AuthModeBit(TAuthMode::amKeyboardInteractive);

// The client as the upload sets it up, for the fixture's server.
void SetUpClient(TSSH2Client& client, const SshdServer& server) {
    client.SetHost(QStringLiteral("127.0.0.1"));
    client.SetPort(server.port());
    client.SetUserName(server.user());
    client.SetPassword(server.password());
    client.SetAuthModes(kProgramModes);
    client.SetBlockingMode(false);
    client.SetIPVersion(2);
}

// The error text of a connect that must fail.
QString ConnectError(TSSH2Client& client) {
    try {
        client.Connect();
    } catch (const ESSH2Exception& error) {
        EXPECT_FALSE(client.Connected());
        return error.text();
    }
    ADD_FAILURE() << "connected";
    return {};
}

// The registry and the dialog service of one test.
class HostKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Registry::SetHiveFiles(hives_.filePath(QStringLiteral("user.hive")),
                                         hives_.filePath(QStringLiteral("machine.hive")));
        platform::SetUserDialogs(&dialogs_);
        language.store(kLangEnglish);
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
    }

    QTemporaryDir hives_;
    platform::ScriptedDialogs dialogs_;
};

}  // namespace

TEST(SSH2Client, PropertiesKeepTheirRules) {
    TSSH2Client client;
    client.SetAuthModes(AuthModeBit(TAuthMode::amTryAll) | AuthModeBit(TAuthMode::amPassword));
    EXPECT_EQ(client.AuthModes(), AuthModeBit(TAuthMode::amTryAll));
    client.SetAuthModes(kProgramModes);
    EXPECT_EQ(client.AuthModes(), 10);
    client.SetTimeOut(5);
    EXPECT_EQ(client.TimeOut(), 10);
    client.SetTimeOut(-3);
    EXPECT_EQ(client.TimeOut(), 0);
    EXPECT_EQ(TSSH2Client::GetClassVersion(), QStringLiteral("2026.0314.0000"));
    EXPECT_EQ(TSFTPClient().Version(), QStringLiteral("TSFTPClient v2026.0314.0000"));
    EXPECT_EQ(client.GetLastSSHError(5), QStringLiteral("No error"));
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
}

TEST(SSH2Client, CodePagesConvertRemoteNames) {
    TSSH2Client client;
    const QString name = QStringLiteral("Grüße.vtm");
    for (uint16_t page : {uint16_t(65001), uint16_t(0)}) {
        client.SetCodePage(page);
        EXPECT_EQ(client.EncodeString(name), name.toUtf8());
        EXPECT_EQ(client.DecodeString(name.toUtf8()), name);
    }
    client.SetCodePage(28591);
    EXPECT_EQ(client.EncodeString(name), name.toLatin1());
    EXPECT_EQ(client.DecodeString(name.toLatin1()), name);
    // Bytes that are no UTF-8 decode lossily instead of failing.
    client.SetCodePage(65001);
    EXPECT_EQ(client.DecodeString(QByteArray("a\xff" "b")), QStringLiteral("a\uFFFDb"));
}

TEST(SSH2Client, RefusedPortGivesTheSystemsText) {
    TSSH2Client client;
    client.SetHost(QStringLiteral("127.0.0.1"));
    client.SetPort(sshd_test::FreeLoopbackPort());
    EXPECT_EQ(ConnectError(client), platform::SystemErrorText(ECONNREFUSED));
}

TEST(SSH2ClientConcurrent, BrokenPeersFailWithinTheTimeOut) {
    for (const auto behaviour : {sshd_test::PeerBehaviour::GarbageBanner, sshd_test::PeerBehaviour::CloseAfterBanner,
                                 sshd_test::PeerBehaviour::Silence}) {
        sshd_test::FakeSshPeer peer(behaviour);
        TSSH2Client client;
        client.SetHost(QStringLiteral("127.0.0.1"));
        client.SetPort(peer.port());
        client.SetBlockingMode(false);
        client.SetTimeOut(10);
        const QString text = ConnectError(client);
        EXPECT_FALSE(text.isEmpty()) << static_cast<int>(behaviour);
        if (behaviour == sshd_test::PeerBehaviour::Silence) {
            EXPECT_EQ(text, QStringLiteral("No answer from the server within 10 seconds"));
        }
    }
}

TEST(SSH2Client, PasswordKeyboardInteractiveAndPublicKeyConnect) {
    SshdServer server;
    START_SSHD_OR_SKIP(server);
    {
        TSSH2Client client;
        SetUpClient(client, server);
        client.SetAuthModes(AuthModeBit(TAuthMode::amPassword));
        int connectedEvents = 0;
        client.OnConnected = [&](TSSH2Client&) { ++connectedEvents; };
        client.Connect();
        EXPECT_TRUE(client.Connected());
        EXPECT_EQ(connectedEvents, 1);
        EXPECT_TRUE(client.GetSessionMethodsStr().startsWith(QStringLiteral("KEX: ")));
        client.Disconnect();
        EXPECT_FALSE(client.Connected());
    }
    {
        // The answer comes from the handler, not from the client's password.
        TSSH2Client client;
        SetUpClient(client, server);
        client.SetAuthModes(AuthModeBit(TAuthMode::amKeyboardInteractive));
        client.SetPassword(QStringLiteral("not it"));
        int prompts = 0;
        client.OnKeybdInteractive = [&](TSSH2Client&, QString& answer) {
            ++prompts;
            answer = server.password();
        };
        client.Connect();
        EXPECT_TRUE(client.Connected());
        EXPECT_GE(prompts, 1);
        EXPECT_EQ(client.Password(), QStringLiteral("not it"));
    }
    {
        TSSH2Client client;
        SetUpClient(client, server);
        client.SetPassword(QString());
        client.SetAuthModes(AuthModeBit(TAuthMode::amPublicKey));
        client.SetPublicKeyPath(server.UserPublicKeyPath());
        client.SetPrivateKeyPath(server.UserKeyPath());
        client.Connect();
        EXPECT_TRUE(client.Connected());
    }
}

TEST(SSH2Client, KeyboardInteractiveOnlyServerTakesThePassword) {
    SshdServer server;
    START_SSHD_OR_SKIP(server, sshd_test::SshdOptions{false, true, false});
    TSSH2Client client;
    SetUpClient(client, server);
    client.Connect();
    EXPECT_TRUE(client.Connected());
}

TEST(SSH2Client, WrongPasswordWithAStoppingHandlerRunsOneRound) {
    SshdServer server;
    START_SSHD_OR_SKIP(server);
    TSSH2Client client;
    SetUpClient(client, server);
    client.SetPassword(QStringLiteral("wrong password"));
    int rounds = 0;
    client.OnAuthFailed = [&](TSSH2Client&, bool& goOn) {
        ++rounds;
        goOn = false;
    };
    const QString text = ConnectError(client);
    EXPECT_EQ(rounds, 1);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(text, QStringLiteral("Abort Auth."));  // the server's refusal is what is reported
}

TEST(SSH2Client, PublicKeyOnlyServerRefusesThePasswordModes) {
    SshdServer server;
    START_SSHD_OR_SKIP(server, sshd_test::SshdOptions{false, false, true});
    TSSH2Client client;
    SetUpClient(client, server);
    EXPECT_EQ(ConnectError(client), QStringLiteral("Server does not support requested auth mode(s)"));
    client.Disconnect();
}

TEST_F(HostKeyTest, FirstKeyIsStoredAChangedOneNeedsTheUser) {
    SshdServer server;
    START_SSHD_OR_SKIP(server);
    TRegistryHashManager store;
    QStringList lines;
    const auto connectOnce = [&] {
        TSSH2Client client;
        SetUpClient(client, server);
        client.SetHashManager(&store);
        client.OnFingerprint = TrustOnFirstUse(store, [&](const QString& line) { lines << line; });
        client.Connect();
        return client.Connected();
    };

    EXPECT_TRUE(connectOnce());
    ASSERT_EQ(lines.size(), 1);
    const std::optional<QByteArray> first = store.GetFingerprint(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size(), 32);
    EXPECT_EQ(lines[0], QStringLiteral("New host key stored: ") + FingerprintText(*first));
    EXPECT_TRUE(connectOnce());  // the same key: no question, no line
    EXPECT_EQ(lines.size(), 1);
    EXPECT_TRUE(dialogs_.messages().empty());

    ASSERT_EQ(server.RestartWithNewHostKey(), QString());
    dialogs_.ScriptMessage(platform::kMessageRight);  // Cancel
    EXPECT_FALSE(connectOnce());
    ASSERT_EQ(dialogs_.messages().size(), 1u);
    const platform::MessageRequest question = dialogs_.messages()[0];
    EXPECT_TRUE(question.text.contains(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(question.text.contains(QString::number(server.port())));
    EXPECT_TRUE(question.text.contains(FingerprintText(*first)));
    EXPECT_EQ(question.leftCaption, QStringLiteral("Trust the new key"));
    EXPECT_EQ(store.GetFingerprint(QStringLiteral("127.0.0.1"), server.port()), first);
    // The password never reached the server.
    EXPECT_FALSE(server.Log().contains(QStringLiteral("userauth-request")));

    dialogs_.ScriptMessage(platform::kMessageLeft);  // Trust the new key
    EXPECT_TRUE(connectOnce());
    const std::optional<QByteArray> second = store.GetFingerprint(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, *first);
    EXPECT_TRUE(question.text.contains(FingerprintText(*second)));
    EXPECT_EQ(dialogs_.unscriptedCount(), 0);
}

#include <httplib.h>

#include <QRegularExpression>

#include <thread>

#include "remote/web_server_fixture.h"
#include "remote/web_test_support.h"
#include "remote/web_tls.h"
#include "store/password_encryption.h"

namespace {

QString Jar(const QTemporaryDir& dir, int n) { return dir.filePath(QStringLiteral("jar%1").arg(n)); }

TEST_F(WebServerFixture, ABrowserGetsTheStartPageASessionCookieAndCommands) {
    MakeServer();
    server->StartWebServer();
    ASSERT_TRUE(server->WebServerActive());
    EXPECT_EQ(server->ListeningPort(), port);

    const CurlAnswer page = Get(Jar(tmp, 1), "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^VELTARO=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Strict$"))
                    .match(QString::fromLatin1(page.Header("Set-Cookie")))
                    .hasMatch())
        << page.headers.toStdString();
    EXPECT_EQ(page.Header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page.Header("Server"), "Veltaro 2026");
    EXPECT_EQ(page.Header("Cache-Control"), "no-cache");
    QFile index(QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs/index.html"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.body, index.readAll());
    EXPECT_EQ(webSessions.Count(), 1);
    EXPECT_TRUE(WaitFor([&] { return Count53() == 1; }));

    // The session continues: no new cookie, the same registered client.
    const CurlAnswer status = PostTo(Jar(tmp, 1), "/GETSTATUS");
    EXPECT_EQ(status.status, 200);
    EXPECT_EQ(status.Header("Set-Cookie"), "");
    EXPECT_TRUE(status.body.startsWith("53;0;0;"));
    EXPECT_EQ(status.Header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(webSessions.Count(), 1);

    // A changing value is read from the latest snapshot.
    TWebSnapshot s;
    s.feldWert[2] = QStringLiteral("98.4;dB");
    s.cal.open = s.cal.ipEnabled = true;
    s.cal.window = 77;
    board.Publish(s);
    EXPECT_EQ(PostTo(Jar(tmp, 1), "/js/GETWERT2").body, "98.4;dB");
    EXPECT_EQ(PostTo(Jar(tmp, 1), "/KALNEXT").body, "---");
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_EQ(Posts()[0].window, 77u);
    EXPECT_EQ(Posts()[0].code, 267u);

    // Another page's script: a foreign Origin is refused, and a request
    // without the registered cookie reads but does not act.
    const CurlAnswer foreign = PostTo(Jar(tmp, 1), "/KALNEXT", {QStringLiteral("-H"),
                                                                QStringLiteral("Origin: http://evil.example")});
    EXPECT_EQ(foreign.status, 403);
    const CurlAnswer sameOrigin = PostTo(Jar(tmp, 1), "/KALNEXT", {QStringLiteral("-H"),
        QStringLiteral("Origin: http://127.0.0.1:%1").arg(port)});
    EXPECT_EQ(sameOrigin.status, 200);
    EXPECT_EQ(Posts().size(), 2u);
    const CurlAnswer cookieLess = PostTo(QString(), "/KALNEXT");
    EXPECT_EQ(cookieLess.status, 200);
    EXPECT_EQ(Posts().size(), 2u);

    // Forged and garbled cookies are never adopted.
    const CurlAnswer forged = PostTo(QString(), "/GETSTATUS", {QStringLiteral("-H"),
        QStringLiteral("Cookie: VELTARO=00000000000000000000000000000000")});
    EXPECT_NE(forged.Header("Set-Cookie"), "");
    EXPECT_FALSE(forged.Header("Set-Cookie").contains("00000000000000000000000000000000"));

    server->StopWebServer();
    EXPECT_FALSE(server->WebServerActive());
    EXPECT_EQ(webSessions.Count(), 0);
}

TEST_F(WebServerFixture, TheEleventhClientGetsTheRefusalUntilItsOwnSessionEnds) {
    MakeServer();
    server->StartWebServer();
    for (int i = 1; i <= 10; ++i) ASSERT_EQ(Get(Jar(tmp, i), "/").status, 200) << i;
    const CurlAnswer eleventh = Get(Jar(tmp, 11), "/");
    EXPECT_EQ(eleventh.status, 403);
    EXPECT_TRUE(eleventh.body.contains("supports only 10 clients at a time."));
    EXPECT_EQ(eleventh.Header("Cache-Control"), "");
    EXPECT_EQ(PostTo(Jar(tmp, 11), "/GETSTATUS").status, 403);
    EXPECT_TRUE(WaitFor([&] { return Count53() == 10; }));

    // Client 1 goes quiet; the others, the eleventh included, keep polling.
    nowMs += 3000;
    for (int i = 2; i <= 11; ++i) PostTo(Jar(tmp, i), "/GETSTATUS");
    nowMs += 3000;
    EXPECT_TRUE(WaitFor([&] { return webSessions.Count() == 9; }));
    EXPECT_TRUE(WaitFor([&] { return Count53() == 11; }));
    EXPECT_EQ(PostTo(Jar(tmp, 11), "/GETSTATUS").status, 403);

    // Once its own session has expired, the eleventh gets a place.
    nowMs += 6000;
    EXPECT_TRUE(WaitFor([&] { return webSessions.Count() == 0; }));
    EXPECT_EQ(PostTo(Jar(tmp, 11), "/GETSTATUS").status, 200);
}

TEST_F(WebServerFixture, AFailedStartUnticksEveryAddressAndNamesThePort) {
    MakeServer({QStringLiteral("192.0.2.1"), QStringLiteral("127.0.0.1")});
    server->StartWebServer();
    EXPECT_FALSE(server->WebServerActive());
    EXPECT_EQ(failedPorts, std::vector<int32_t>{port});
    EXPECT_EQ(ips->GetNumActive(), 0);
    EXPECT_NE(RunCurl({Url("/")}).exitCode, 0);  // nothing listens on loopback either

    for (int32_t bad : {70000, 0, -1}) {
        failedPorts.clear();
        settings.ipPort = bad;
        MakeServer();
        server->StartWebServer();
        EXPECT_FALSE(server->WebServerActive());
        EXPECT_EQ(failedPorts, std::vector<int32_t>{bad});
    }

    QString text = GetLangTextFor(838, kLangEnglish);
    EXPECT_TRUE(text.contains(QStringLiteral("%s")));
}

TEST_F(WebServerFixture, NoAddressTickedLeavesTheServerInactiveWithoutComplaint) {
    MakeServer();
    ips->SetUseState(0);
    server->StartWebServer();
    EXPECT_FALSE(server->WebServerActive());
    EXPECT_TRUE(failedPorts.empty());
}

TEST_F(WebServerFixture, HostileAndEarlyRequestsGetADefinedAnswer) {
    MakeServer();
    server->StartWebServer();
    mainReady = false;
    const CurlAnswer early = Get(Jar(tmp, 1), "/");
    EXPECT_EQ(early.status, 503);
    EXPECT_TRUE(early.body.isEmpty());
    EXPECT_EQ(early.Header("Set-Cookie"), "");
    mainReady = true;

    ASSERT_EQ(Get(Jar(tmp, 1), "/").status, 200);
    EXPECT_EQ(RunCurl({QStringLiteral("-X"), QStringLiteral("PUT"), QStringLiteral("-b"), Jar(tmp, 1), Url("/")})
                  .status,
              405);
    EXPECT_EQ(RunCurl({QStringLiteral("-b"), Jar(tmp, 1), QStringLiteral("--data-binary"), QString(2000, 'x'),
                       Url("/GETSTATUS")})
                  .status,
              413);
    const QString longPath = QStringLiteral("/") + QString(9000, 'a');
    EXPECT_EQ(RunCurl({QStringLiteral("-b"), Jar(tmp, 1), Url(longPath.toLatin1().constData())}).status, 414);
    const CurlAnswer hugeCookie =
        RunCurl({QStringLiteral("-H"), QStringLiteral("Cookie: VELTARO=") + QString(6000, 'f'), Url("/")});
    EXPECT_TRUE(hugeCookie.status == 200 || hugeCookie.status == 400) << hugeCookie.status;
    const CurlAnswer traversal =
        RunCurl({QStringLiteral("--path-as-is"), QStringLiteral("-b"), Jar(tmp, 1), Url("/../../etc/passwd")});
    EXPECT_EQ(traversal.status, 404);
    EXPECT_FALSE(traversal.body.contains("root:"));
    const CurlAnswer encoded =
        RunCurl({QStringLiteral("--path-as-is"), QStringLiteral("-b"), Jar(tmp, 1), Url("/%2e%2e/%2e%2e/etc/passwd")});
    EXPECT_EQ(encoded.status, 404);
    const CurlAnswer markup = RunCurl({QStringLiteral("-b"), Jar(tmp, 1), Url("/%3Cscript%3Ex%3C/script%3E")});
    EXPECT_EQ(markup.status, 404);
    EXPECT_FALSE(markup.body.contains("<script>"));
    EXPECT_EQ(PostTo(Jar(tmp, 1), "/%00%01garbage").body, "---");
    // The server is still serving after all that.
    EXPECT_EQ(PostTo(Jar(tmp, 1), "/GETWERT0").status, 200);
}

TEST_F(WebServerFixture, AConnectionBeyondThePoolIsClosedAtOnce) {
    MakeServer();
    server->StartWebServer();
    const auto connectOne = [this] {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return s;
    };
    std::vector<int> idle;
    for (int i = 0; i < kWebMaxConnections; ++i) idle.push_back(connectOne());
    const int extra = connectOne();
    char c = 0;
    // The idle ones are held open for the keep-alive time; the extra one is
    // closed without a byte.
    EXPECT_EQ(::recv(extra, &c, 1, 0), 0);
    ::close(extra);
    for (int s : idle) ::close(s);
    EXPECT_TRUE(WaitFor([&] { return Get(Jar(tmp, 1), "/").status == 200; }));
}

TEST_F(WebServerFixture, ConcurrentKeepAliveClientsKeepTheirSessionsWhileTheSnapshotChanges) {
    nowMs = -1;  // not used: this test runs on the steady clock
    MakeServer();
    // A server on the real clock, so that sessions live as long as they poll.
    TWebServerConfig config;
    config.docsFolder = QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs");
    TWebServerHooks hooks;
    hooks.settings = [this] { return settings; };
    server = std::make_unique<TWebServer>(*ips, board, TWebCommandActions{}, hooks, config);
    server->StartWebServer();
    ASSERT_TRUE(server->WebServerActive());

    constexpr int kClients = 10;
    constexpr int kPolls = 150;
    TWebSnapshot start;
    start.feldWert[1] = QStringLiteral("Value 0");
    board.Publish(start);
    std::atomic<int> failures{0};
    std::atomic<int> running{kClients};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, this] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            const httplib::Result first = client.Get("/");
            std::string cookie;
            if (first && first->status == 200) cookie = first->get_header_value("Set-Cookie").substr(0, 40);
            if (cookie.empty()) ++failures;
            const httplib::Headers headers{{"Cookie", cookie}, {"Accept-Encoding", "gzip"}};
            for (int n = 0; n < kPolls && failures == 0; ++n) {
                const httplib::Result r = client.Post("/GETSTATUS", headers, "", "text/plain");
                const httplib::Result v = client.Post("/GETWERT1", headers, "", "text/plain");
                if (!r || r->status != 200 || !v || v->status != 200 || v->body.rfind("Value ", 0) != 0) ++failures;
            }
            --running;
        });
    }
    int published = 0;
    while (running > 0) {
        TWebSnapshot s;
        s.feldWert[1] = QStringLiteral("Value %1").arg(++published);
        s.statusWert[1] = published;
        board.Publish(s);
        std::this_thread::yield();
    }
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(webSessions.Count(), kClients);
}

}  // namespace

namespace {

// Runs a program, feeding it nothing; its exit code and all its output.
std::pair<int, QByteArray> RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

class WebServerTls : public WebServerFixture {
protected:
    // A self-signed certificate for 127.0.0.1 and its PKCS#12 exports, one
    // with today's ciphers and one with the legacy RC2/3DES ones.
    void MakeCertificates() {
        ASSERT_EQ(RunTool(QStringLiteral("openssl"),
                          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                           QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                           tmp.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"), CertPem(),
                           QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                           QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                           QStringLiteral("subjectAltName=IP:127.0.0.1")})
                      .first,
                  0);
        for (const bool legacy : {false, true}) {
            QStringList args{QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-in"), CertPem(),
                             QStringLiteral("-inkey"), tmp.filePath(QStringLiteral("key.pem")),
                             QStringLiteral("-out"), P12(legacy), QStringLiteral("-passout"),
                             QStringLiteral("pass:") + kPassPhrase};
            if (legacy) args << QStringLiteral("-legacy");
            ASSERT_EQ(RunTool(QStringLiteral("openssl"), args).first, 0);
        }
    }
    QString CertPem() const { return tmp.filePath(QStringLiteral("cert.pem")); }
    QString P12(bool legacy) const { return tmp.filePath(legacy ? QStringLiteral("old.p12") : QStringLiteral("new.p12")); }
    std::pair<int, QByteArray> SClient(QStringList extra) const {
        QStringList args{QStringLiteral("s_client"), QStringLiteral("-connect"),
                         QStringLiteral("127.0.0.1:%1").arg(tlsPort)};
        return RunTool(QStringLiteral("openssl"), args + extra);
    }

    const QString kPassPhrase = QStringLiteral("Stage#2026");
};

TEST_F(WebServerTls, ACertificateWithItsPassPhraseServesHttpsOnTheTlsPortOnly) {
    MakeCertificates();
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "legacy export" : "modern export");
        settings.doSSL = true;
        settings.ipPort = 8080;  // the stored port: TLS still listens on its own port
        settings.certFile = P12(legacy);
        settings.keyName = EncipherText(kPassPhrase, TCipherKind::Twofish, THashKind::Sha256,
                                        QString::fromLatin1(kCertKeyPhrase));
        MakeServer();
        server->StartWebServer();
        ASSERT_TRUE(server->WebServerActive()) << (failedPorts.empty() ? 0 : failedPorts[0]);
        EXPECT_TRUE(server->UsesTls());
        EXPECT_EQ(server->ListeningPort(), tlsPort);
        EXPECT_TRUE(settings.doSSL);

        const CurlAnswer page = RunCurl({QStringLiteral("--cacert"), CertPem(), Url("/", true)});
        EXPECT_EQ(page.status, 200);
        EXPECT_TRUE(page.body.contains("<title>Veltaro</title>"));
        const auto [ok12, out12] = SClient({QStringLiteral("-tls1_2"), QStringLiteral("-CAfile"), CertPem()});
        EXPECT_EQ(ok12, 0) << out12.toStdString();
        EXPECT_TRUE(out12.contains("Protocol  : TLSv1.2")) << out12.toStdString();
        // A client that would accept TLS 1.1 is turned away by the server.
        const auto [ok11, out11] = SClient({QStringLiteral("-tls1_1"), QStringLiteral("-cipher"),
                                            QStringLiteral("DEFAULT@SECLEVEL=0")});
        EXPECT_NE(ok11, 0);
        EXPECT_FALSE(out11.contains("no protocols available")) << out11.toStdString();
        EXPECT_TRUE(out11.contains("alert protocol version")) << out11.toStdString();
        server->StopWebServer();
    }
}

TEST_F(WebServerTls, AShortOrWrongPassPhraseOrNoCertificate) {
    MakeCertificates();
    // A stored pass phrase of 3 characters: plain HTTP on the stored port,
    // and the HTTPS option is cleared.
    settings.doSSL = true;
    settings.certFile = P12(false);
    settings.keyName = QStringLiteral("abc");
    MakeServer();
    server->StartWebServer();
    ASSERT_TRUE(server->WebServerActive());
    EXPECT_FALSE(server->UsesTls());
    EXPECT_EQ(server->ListeningPort(), port);
    EXPECT_FALSE(settings.doSSL);
    EXPECT_EQ(RunCurl({Url("/")}).status, 200);
    server->StopWebServer();

    // A missing certificate file: the same.
    settings.doSSL = true;
    settings.keyName = EncipherText(kPassPhrase, TCipherKind::Twofish, THashKind::Sha256,
                                    QString::fromLatin1(kCertKeyPhrase));
    settings.certFile = tmp.filePath(QStringLiteral("absent.p12"));
    server->StartWebServer();
    EXPECT_TRUE(server->WebServerActive());
    EXPECT_FALSE(settings.doSSL);
    server->StopWebServer();

    // The wrong pass phrase: the certificate cannot be opened, a failed start.
    settings.doSSL = true;
    settings.certFile = P12(false);
    settings.keyName = EncipherText(QStringLiteral("wrong one"), TCipherKind::Twofish, THashKind::Sha256,
                                    QString::fromLatin1(kCertKeyPhrase));
    server->StartWebServer();
    EXPECT_FALSE(server->WebServerActive());
    EXPECT_EQ(failedPorts, std::vector<int32_t>{tlsPort});
    EXPECT_EQ(ips->GetNumActive(), 0);
}

}  // namespace

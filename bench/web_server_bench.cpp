// Command rate of the web server against nginx serving a static file, both
// on loopback, measured by wrk with 30 connections in the same run. The web
// server answers POST /GETWERT0 of a registered session (the page's most
// frequent request); nginx answers GET of a file holding that very answer
// (nginx refuses POST to static files). nginx runs with a private
// configuration and no access log, started and ended here; when it is not
// installed, web_server_bench.sh installs it first. Prints both rates and
// their ratio.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <httplib.h>


#include <cstdio>

#include "bench_main.h"
#include "remote/ip_handling.h"
#include "remote/web_server.h"
#include "support/web_client.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int kConnections = 30;
constexpr const char* kDuration = "5s";

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + path.toStdString());
    f.write(data);
}

// wrk's requests per second; 0 when it failed or saw errors.
double RunWrk(const QString& url, const QString& script) {
    QStringList args{QStringLiteral("-t4"), QStringLiteral("-c%1").arg(kConnections), QStringLiteral("-d"),
                     QLatin1String(kDuration)};
    if (!script.isEmpty()) args << QStringLiteral("-s") << script;
    args << url;
    QProcess wrk;
    wrk.start(QStringLiteral("wrk"), args);
    wrk.waitForFinished(60000);
    const QString out = QString::fromUtf8(wrk.readAll());
    if (out.contains(QLatin1String("Non-2xx")) || out.contains(QLatin1String("Socket errors"))) {
        std::fprintf(stderr, "%s\n", qPrintable(out));
        return 0.0;
    }
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

double VeltaroRate(const QTemporaryDir& dir, QByteArray& answer) {
    TIpHandling ips(std::vector<TnetInfo>{TnetInfo{QStringLiteral("127.0.0.1"), QString(), true}});
    TWebSnapshotBoard board;
    TWebSnapshot s;
    s.feldWert[0] = QStringLiteral("97.3;dB");
    board.Publish(s);
    const int port = FreeLoopbackPort();
    TWebServerHooks hooks;
    hooks.settings = [port] { return TWebServerSettings{port, false, QString(), QString()}; };
    TWebServerConfig config;
    config.docsFolder = QStringLiteral(VELTARO_BINARY_DIR "/htmlDocs");
    TWebServer server(ips, board, TWebCommandActions{}, hooks, config);
    server.StartWebServer();
    if (!server.WebServerActive()) throw std::runtime_error("the web server did not start");

    httplib::Client client("127.0.0.1", port);
    const httplib::Result page = client.Get("/");
    if (!page) throw std::runtime_error("no start page");
    const std::string cookie = page->get_header_value("Set-Cookie").substr(0, 40);
    const httplib::Result value = client.Post("/GETWERT0", {{"Cookie", cookie}}, "", "text/plain");
    if (!value || value->status != 200) throw std::runtime_error("no answer to GETWERT0");
    answer = QByteArray::fromStdString(value->body);

    const QString script = dir.filePath(QStringLiteral("post.lua"));
    WriteFile(script, QStringLiteral("wrk.method = \"POST\"\nwrk.headers[\"Cookie\"] = \"%1\"\n")
                          .arg(QString::fromStdString(cookie))
                          .toUtf8());
    return RunWrk(QStringLiteral("http://127.0.0.1:%1/GETWERT0").arg(port), script);
}

double NginxRate(const QTemporaryDir& dir, const QByteArray& answer) {
    const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin")});
    if (nginx.isEmpty()) throw std::runtime_error("nginx is missing: run bench/web_server_bench.sh");
    const int port = FreeLoopbackPort();
    QDir(dir.path()).mkpath(QStringLiteral("www"));
    WriteFile(dir.filePath(QStringLiteral("www/GETWERT0")), answer);
    const QString conf = dir.filePath(QStringLiteral("nginx.conf"));
    WriteFile(conf, QStringLiteral("daemon off;\nworker_processes auto;\npid %1/nginx.pid;\n"
                                   "error_log %1/error.log;\nevents { worker_connections 1024; }\n"
                                   "http {\n access_log off;\n client_body_temp_path %1;\n proxy_temp_path %1;\n"
                                   " fastcgi_temp_path %1;\n uwsgi_temp_path %1;\n scgi_temp_path %1;\n"
                                   " default_type text/plain;\n"
                                   " server { listen 127.0.0.1:%2; root %1/www; }\n}\n")
                        .arg(dir.path())
                        .arg(port)
                        .toUtf8());
    QProcess server;
    server.start(nginx, {QStringLiteral("-c"), conf, QStringLiteral("-p"), dir.path()});
    if (!server.waitForStarted()) throw std::runtime_error("nginx did not start");
    httplib::Client probe("127.0.0.1", port);
    for (int i = 0; i < 200 && !probe.Get("/GETWERT0"); ++i) QThread::msleep(10);
    const double rate = RunWrk(QStringLiteral("http://127.0.0.1:%1/GETWERT0").arg(port), QString());
    server.terminate();
    server.waitForFinished(10000);
    return rate;
}

void BM_WebCommandAgainstNginx(benchmark::State& state) {
    mainReady = true;
    webClientLimit = 10;
    for (auto _ : state) {
        QTemporaryDir dir;
        QByteArray answer;
        const double ours = VeltaroRate(dir, answer);
        const double nginx = NginxRate(dir, answer);
        const double ratio = nginx > 0 ? ours / nginx : 0.0;
        state.counters["veltaro_req_per_s"] = ours;
        state.counters["nginx_req_per_s"] = nginx;
        state.counters["ratio"] = ratio;
        std::printf("POST /GETWERT0 (veltaro): %.0f req/s, GET static file (nginx): %.0f req/s, ratio %.2f\n", ours,
                    nginx, ratio);
    }
}
BENCHMARK(BM_WebCommandAgainstNginx)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return bench::RunUnderQt<QCoreApplication>(argc, argv); }

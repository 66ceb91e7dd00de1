// Time from the start of the process to the first completed paint of the
// main window: veltaro on a prepared settings hive with the simulated sine
// as input, against the smallest Qt Widgets main window (first_paint_peer),
// both started afresh in turn in the same run on the same platform plug-in.
// Prints both medians and their ratio.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_main.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "ui_kit/startup_settings.h"

namespace {

constexpr int kRounds = 9;
constexpr int kBoundMs = 60000;

QProcessEnvironment Environment(const QTemporaryDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", env.value("QT_QPA_PLATFORM", "offscreen"));
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("VELTARO_BENCH_FIRST_PAINT", "1");
    return env;
}

// Starts program and answers the milliseconds until it reported its first paint.
double MsToFirstPaint(const QString& program, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    while (process.waitForReadyRead(kBoundMs)) {
        if (process.readAll().contains("first-paint")) {
            const double ms = clock.nsecsElapsed() / 1e6;
            process.waitForFinished(kBoundMs);
            return ms;
        }
    }
    process.kill();
    process.waitForFinished();
    return -1.0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PrepareHive(const QTemporaryDir& home) {
    platform::Registry hive(home.filePath("config/veltaro/user.hive"));
    hive.OpenKey(kSettingsKey, true);
    hive.WriteString("WaveInName", platform::kSimulatedSineName);
    hive.CloseKey();
}

void BM_StartToFirstPaint(benchmark::State& state) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const QString binary = QStringLiteral(VELTARO_BINARY_DIR);
    std::vector<double> veltaro, peer;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            QTemporaryDir home;
            PrepareHive(home);
            const QProcessEnvironment env = Environment(home);
            veltaro.push_back(MsToFirstPaint(binary + "/veltaro", env));
            peer.push_back(MsToFirstPaint(binary + "/bench/first_paint_peer", env));
        }
    }
    if (std::count(veltaro.begin(), veltaro.end(), -1.0) || std::count(peer.begin(), peer.end(), -1.0)) {
        state.SkipWithError("a program did not report its first paint");
        return;
    }
    const double v = Median(veltaro), p = Median(peer);
    state.counters["veltaro_ms"] = v;
    state.counters["qt_peer_ms"] = p;
    state.counters["ratio"] = v / p;
    std::printf("start to first paint, median of %d: veltaro %.1f ms, minimal Qt window %.1f ms, ratio %.2f\n",
                kRounds, v, p, v / p);
}

}  // namespace

BENCHMARK(BM_StartToFirstPaint)->Iterations(1)->Unit(benchmark::kMillisecond);
int main(int argc, char** argv) { return bench::RunBenchmarks(argc, argv); }

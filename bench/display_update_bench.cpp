// One display update of the whole main window, as notification 45 from the
// calculation and notification 16 from the meter cause it: the fetch of the
// current values with the repaint of the four display areas, one meter paint
// and one peak-display paint, each box painted on the screen at once. The
// main window runs on the offscreen platform at 1437 x 1070 on the simulated
// sine, once with every area redrawn ("changing") and once with nothing to
// redraw in the top areas ("unchanged"). The peer, in the same run: a plain
// QWidget of that size that fills its rectangle, repainted the same way.
// Prints both medians and their ratio, at device pixel ratio 1 and then, in a
// second process of this program, at 2.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "bench_main.h"
#include "main/display_areas.h"
#include "main/main_window.h"
#include "main/peak_display.h"
#include "main/vu_meter_view.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/user_dialogs.h"
#include "support/hide_machine_sound_devices.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

constexpr int kRounds = 400;
constexpr int kWidth = 1437;
constexpr int kHeight = 1070;
constexpr const char* kChildSwitch = "VELTARO_DISPLAY_BENCH_CHILD";

class FilledWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::darkGray);
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double MsOf(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

// The main window on a private settings hive and folders, reading the sine.
struct RunningWindow {
    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<TVTProMaster> window;

    bool Start() {
        test_support::HideMachineSoundDevices();
        platform::SetKnownFolderOverride(platform::KnownFolder::AppData, dir.filePath("data"));
        platform::SetKnownFolderOverride(platform::KnownFolder::Documents, dir.filePath("docs"));
        platform::SetKnownFolderOverride(platform::KnownFolder::UserConfig, dir.filePath("config"));
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs);
        {
            platform::Registry reg;
            reg.OpenKey(kSettingsKey, true);
            reg.WriteString("WaveInName", platform::kSimulatedSineName);
            reg.WriteInteger("CurrentNaKoS", 1);
            reg.WriteBool("GrundEinstellung", true);  // no basic settings dialog waits for a person
            reg.CloseKey();
        }
        for (auto& offset : appliedCalOffset) offset.store(120.0);
        rmsCalOffset.store(120.0);
        StartOptions options;
        options.answerStartNoticeAtOnce = true;
        window = std::make_unique<TVTProMaster>(options);
        if (!window->Created()) return false;
        window->resize(kWidth, kHeight);
        window->show();
        // Areas with values of every kind: levels, the peak and the clock.
        const int32_t elements[4] = {13, 1, 16, 201};
        for (int i = 0; i < 4; ++i) areaChannel[i].store(elements[i]);
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return true;
    }
    void Stop() {
        dialogs.ScriptMessage(platform::kMessageRight);
        window->close();
        window.reset();
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
        platform::ClearKnownFolderOverrides();
    }

    void Update(bool changing) {
        TVTProMaster& w = *window;
        if (changing) w.DisplayAreas()->MarkTopStale();
        w.UpdateValues(true);
        w.VuMeter()->PaintBuffer();
        w.PeakDisplay()->ShowPeakC();
        for (QWidget* box : {static_cast<QWidget*>(w.pbTop()), static_cast<QWidget*>(w.pbMitte()),
                             static_cast<QWidget*>(w.VuMeter()), static_cast<QWidget*>(w.pbPeakDisplay())})
            box->repaint();
    }
};

void Report(benchmark::State& state, const char* what, double veltaro, double peer) {
    state.counters["veltaro_ms"] = veltaro;
    state.counters["qt_peer_ms"] = peer;
    state.counters["ratio"] = veltaro / peer;
    std::printf("display update, %s, pixel ratio %s, median of %d: veltaro %.3f ms, plain QWidget %.3f ms, ratio %.2f\n",
                what, qgetenv("QT_SCALE_FACTOR").isEmpty() ? "1" : qgetenv("QT_SCALE_FACTOR").constData(), kRounds,
                veltaro, peer, veltaro / peer);
    std::fflush(stdout);
}

RunningWindow* running = nullptr;
FilledWidget* peer = nullptr;

void Measure(benchmark::State& state, bool changing) {
    std::vector<double> veltaro, plain;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            veltaro.push_back(MsOf([&] { running->Update(changing); }));
            plain.push_back(MsOf([] { peer->repaint(); }));
            if (round % 20 == 0) QCoreApplication::processEvents();  // the engine's posts stay few
        }
    }
    Report(state, changing ? "values changing (all areas redrawn)" : "values unchanged", Median(veltaro),
           Median(plain));
}

void BM_DisplayUpdateChanging(benchmark::State& state) { Measure(state, true); }
void BM_DisplayUpdateUnchanged(benchmark::State& state) { Measure(state, false); }

}  // namespace

BENCHMARK(BM_DisplayUpdateChanging)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayUpdateUnchanged)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    const bool child = qEnvironmentVariableIsSet(kChildSwitch);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = QString::fromLocal8Bit(argv[0]);
    bench::UseOffscreenUnlessChosen();
    {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        language.store(2);
        RunningWindow window;
        if (!window.Start()) {
            std::fprintf(stderr, "the main window did not start\n");
            return 1;
        }
        FilledWidget plain;
        plain.resize(kWidth, kHeight);
        plain.show();
        QCoreApplication::processEvents();
        running = &window;
        peer = &plain;
        const int failed = bench::RunBenchmarks(argc, argv);
        window.Stop();
        if (failed) return failed;
    }
    if (child) return 0;
    // The same at device pixel ratio 2, which only a new application object can take.
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildSwitch, "1");
    env.insert("QT_SCALE_FACTOR", "2");
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(program, arguments);
    second.waitForFinished(-1);
    return second.exitCode();
}

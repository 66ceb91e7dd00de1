// The viewer opening a 24-hour file (86,400 one-second values, 48 blocks):
// LoadProt into a new viewer, then SetMode 1, 2 or 3 until that view has
// painted once offscreen. The peer in the same run is the store's own full
// load (TDaten::LoadFromFile, mode 1) of the same file. Prints both times and
// their ratio for each view (medians of seven alternating runs).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_main.h"
#include "reports/measurement_viewer.h"
#include "reports/report_store_fixture.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "support/fake_main_window.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

QString DayFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("day.vtm"));
    report_fixture::Shape shape;
    shape.values = 86400;
    shape.secondsPerValue = 1;
    shape.blocks = 48;
    TDaten d;
    report_fixture::FillHeader(d, shape);
    report_fixture::FillValues(d, shape);
    d.SetDrawInterval(1);
    d.SetSaveName(path);
    if (!d.SaveToFile(path, QString())) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return path;
}

double PeerMs(const QString& file) {
    QElapsedTimer clock;
    clock.start();
    TDaten store;
    QString why;
    if (store.LoadFromFile(file, kLoadEverything, &why) != kLoadDone) std::fprintf(stderr, "%s\n", qPrintable(why));
    const double ms = clock.nsecsElapsed() / 1e6;
    if (store.GetWerteAnzahl() != 86400) std::fprintf(stderr, "the peer read %d values\n", store.GetWerteAnzahl());
    return ms;
}

// The empty window alone: what any view costs before the file is read.
double EmptyViewerMs() {
    QElapsedTimer clock;
    clock.start();
    TProtokoll viewer(nullptr, 96);
    viewer.resize(979, 690);
    return clock.nsecsElapsed() / 1e6;
}

double ViewerMs(const QString& file, int mode) {
    QElapsedTimer clock;
    clock.start();
    TProtokoll viewer(nullptr, 96);
    viewer.resize(979, 690);
    if (!viewer.LoadProt(file)) std::fprintf(stderr, "the viewer did not load %s\n", qPrintable(file));
    viewer.SetMode(mode);
    if (mode == TProtokoll::kCurves) viewer.GraphBox()->RenderBuffer();
    if (mode == TProtokoll::kSingleValues) {
        viewer.List()->RenderBuffer();
        viewer.OverviewBox()->RenderBuffer();
    }
    if (mode == TProtokoll::kReportText) viewer.Memo()->grab();
    return clock.nsecsElapsed() / 1e6;
}

void BM_Viewer24h(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = DayFile(dir);
    test_support::FakeMainWindow main;
    RegisterMainWindowServices(&main);
    const int mode = static_cast<int>(state.range(0));
    double ours = 0;
    double peer = 0;
    double empty = 0;
    // Medians of alternating runs, so that a warm file cache and the
    // machine's load fall on both alike.
    constexpr int kRuns = 7;
    for (auto _ : state) {
        std::vector<double> peers;
        std::vector<double> viewers;
        std::vector<double> empties;
        for (int i = 0; i < kRuns; ++i) {
            empties.push_back(EmptyViewerMs());
            peers.push_back(PeerMs(file));
            viewers.push_back(ViewerMs(file, mode));
        }
        std::sort(peers.begin(), peers.end());
        std::sort(viewers.begin(), viewers.end());
        std::sort(empties.begin(), empties.end());
        empty = empties[kRuns / 2];
        peer = peers[kRuns / 2];
        ours = viewers[kRuns / 2];
    }
    RegisterMainWindowServices(nullptr);
    state.counters["veltaro_ms"] = ours;
    state.counters["peer_ms"] = peer;
    state.counters["ratio"] = ours / peer;
    state.counters["empty_window_ms"] = empty;
    std::printf("24-hour file, view %d: viewer %.1f ms, store load alone %.1f ms, ratio %.2f "
                "(the empty window alone %.1f ms)\n",
                mode, ours, peer, ours / peer, empty);
}

}  // namespace

BENCHMARK(BM_Viewer24h)->Arg(1)->Arg(2)->Arg(3)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::RunUnderQt<QApplication>(argc, argv, [] { language.store(kLangEnglish); });
}

// Drawing a 24-hour measurement (86,400 one-second values, Leq, short-term
// Leq and peak varying) whole into a 1920 x 1080 image: the paint-device
// drawing (antialiased, three traces) and the bitmap drawing (four traces),
// each against QPainter::drawPolyline of the same 86,400 points per trace
// with the same pens and render hints into an image of the same size,
// measured in turn in the same run. Prints both medians and their ratio.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "bench_main.h"
#include "platform/date_time.h"
#include "reports/level_graph.h"
#include "store/measurement_store.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kValues = 86400;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRounds = 5;
constexpr float kTraceWidth = 2.0f;

struct Level {
    double leq, leqK, peak;
};

Level LevelAt(int i) {
    const double slow = 10.0 * std::sin(i / 2400.0);
    const double fast = 6.0 * std::sin(i / 13.0) + 3.0 * std::sin(i / 3.7);
    return Level{85.0 + slow * 0.5, 88.0 + slow + fast, 105.0 + slow + 1.5 * fast};
}

std::unique_ptr<TDaten> DayOfValues() {
    auto data = std::make_unique<TDaten>();
    const platform::TDateTime start = platform::EncodeDateTime(2026, 6, 12, 18, 0, 0, 0);
    data->SetStartTime(start);
    data->SetDrawInterval(1);
    data->SetGraGap(140);
    data->SetGraRange(100);
    data->SetLEQDauer(-1800);
    for (int i = 0; i < kValues; ++i) {
        const Level l = LevelAt(i);
        TSaveIT6 value;
        value.id = i;
        value.TimeStamp = start + (i + 1) / 86400.0;
        value.leq = l.leq;
        value.LeqK = l.leqK;
        value.Peak = l.peak;
        data->AddWert(value);
    }
    return data;
}

// The peer's traces: every value as a point, on the same scale.
std::vector<QPolygonF> PeerTraces(int traces) {
    std::vector<QPolygonF> out(traces);
    for (QPolygonF& p : out) p.reserve(kValues);
    auto y = [](double level) { return kHeight - (level - 40.0) * kHeight / 100.0; };
    for (int i = 0; i < kValues; ++i) {
        const double x = 40.0 + i * (kWidth - 40.0) / kValues;
        const Level l = LevelAt(i);
        const double levels[] = {l.leqK, l.peak, l.leq, l.leq - 3.0};
        for (int t = 0; t < traces; ++t) out[t].append(QPointF(x, y(levels[t])));
    }
    return out;
}

// The pens of the drawing measured: the paint-device drawing's trace pens
// keep Qt's default square caps and bevel joins, the bitmap drawing's are round.
void DrawPeer(QImage& image, const std::vector<QPolygonF>& traces, Qt::PenCapStyle cap, Qt::PenJoinStyle join) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), QColor(0, 0, 128));
    const QColor colours[] = {QColor(255, 0, 0), QColor(255, 255, 255), QColor(0, 255, 0), QColor(0, 128, 0)};
    for (size_t t = 0; t < traces.size(); ++t) {
        QPen pen(colours[t], kTraceWidth);
        pen.setCapStyle(cap);
        pen.setJoinStyle(join);
        painter.setPen(pen);
        painter.drawPolyline(traces[t]);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeMs(const std::function<void()>& draw) {
    QElapsedTimer clock;
    clock.start();
    draw();
    return clock.nsecsElapsed() / 1e6;
}

void Report(benchmark::State& state, const char* what, int traces, const std::vector<double>& ours,
            const std::vector<double>& peer) {
    const double o = Median(ours), p = Median(peer);
    state.counters["veltaro_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = o / p;
    std::printf("%s, %d traces of %d values into %d x %d, median of %d: veltaro %.2f ms, drawPolyline peer %.2f ms, "
                "ratio %.3f\n",
                what, traces, kValues, kWidth, kHeight, kRounds, o, p, o / p);
}

void BM_PaintDeviceDrawAll(benchmark::State& state) {
    auto data = DayOfValues();
    TLeqGrafik graph;
    graph.SetWidth(kTraceWidth);
    const auto peerTraces = PeerTraces(3);
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ours, peer;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            ours.push_back(TimeMs([&] {
                QPainter painter(&image);
                graph.DrawDirect(&painter, data.get(), true, true, true, true, false, false, 1.0, kLangEnglish);
            }));
            peer.push_back(TimeMs([&] { DrawPeer(image, peerTraces, Qt::SquareCap, Qt::BevelJoin); }));
        }
    }
    Report(state, "paint-device drawing, draw-all, antialiased", 3, ours, peer);
}

void BM_BitmapDrawAll(benchmark::State& state) {
    auto data = DayOfValues();
    TLeqGrafik graph;
    graph.SetWidth(kTraceWidth);
    graph.SetLEQcolor(RGBColor(0, 255, 0));
    graph.SetLEQKurzColor(RGBColor(255, 0, 0));
    graph.SetPeakColor(RGBColor(255, 255, 255));
    graph.SetLeqPColor(RGBColor(0, 128, 0));
    graph.SetLabelColor(RGBColor(128, 128, 128));
    const auto peerTraces = PeerTraces(4);
    TBitmap32 bitmap(kWidth, kHeight);
    QImage image(kWidth, kHeight, bitmap.Image().format());
    std::vector<double> ours, peer;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            ours.push_back(TimeMs([&] {
                graph.DrawDirect(&bitmap, data.get(), true, true, true, true, true, false, 0xFF000000u, false,
                                 bitmap.BoundsRect(), kLangEnglish);
            }));
            peer.push_back(TimeMs([&] { DrawPeer(image, peerTraces, Qt::RoundCap, Qt::RoundJoin); }));
        }
    }
    Report(state, "bitmap drawing, draw-all", 4, ours, peer);
}

}  // namespace

BENCHMARK(BM_PaintDeviceDrawAll)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapDrawAll)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return bench::RunUnderQt<QGuiApplication>(argc, argv); }

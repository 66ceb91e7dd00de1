// The printed protocol of a 24-hour store (86,400 one-second values, 48
// blocks, 200 messages, all sections) written to PDF, against a peer in the
// same run: QPrinter writing as many pages, each with the page frame, and as
// many plain text lines as the protocol has value rows, one drawText each.
// Prints both times, the pages, the ratio, the PDF sizes and the peak memory.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

#include "bench_main.h"
#include "platform/printer_port.h"
#include "reports/report_formatting.h"
#include "reports/report_producer.h"
#include "reports/report_store_fixture.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

const TPrintInfo kReport{false, true, true, true, true, true, true, true};
const TPrintInfo kSection{true, true, true, true, true, false, false, true};

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The peer: the frame of each page and the rows as plain lines.
void WritePeer(const QString& pdf, int pages, int lines) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&printer);
    const double scale = printer.resolution() / 100.0;
    painter.scale(scale, scale);
    const QRectF page(0, 0, printer.width() / scale, printer.height() / scale);
    const QFont title = TAuswertung::PaperFont("Arial", 25, false, printer.resolution());
    const QFont text = TAuswertung::PaperFont("Arial", 11, true, printer.resolution());
    const int perPage = (lines + pages - 1) / pages;
    int line = 0;
    for (int p = 0; p < pages; ++p) {
        if (p > 0) printer.newPage();
        const QRectF box(page.x() + 0.1 * page.width(), 0.02 * page.height(), 0.8 * page.width(), 0.062 * page.height());
        painter.setPen(QPen(Qt::black, 2.0));
        painter.drawRect(box);
        painter.setFont(title);
        painter.drawText(box, Qt::AlignCenter, "Measurement Log");
        painter.setFont(text);
        painter.drawText(box.translated(0, 0.04 * page.height()), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Page: %1").arg(p + 1));
        for (int i = 0; i < perPage && line < lines; ++i, ++line) {
            const double y = 0.13 * page.height() + i * 0.02 * page.height();
            painter.drawText(QPointF(0.13 * page.width(), y),
                             RoundedTimeText(report_fixture::kStart + line / 86400.0) +
                                 QStringLiteral("   94.5 dB   96.1 dB   121.3 dB   ---"));
        }
    }
}

void BM_PrintedReport24h(benchmark::State& state) {
    QTemporaryDir dir;
    report_fixture::Shape shape;
    shape.values = 86400;
    shape.secondsPerValue = 1;
    shape.blocks = 48;
    shape.messages = 200;
    TDaten store;
    report_fixture::FillHeader(store, shape);
    report_fixture::FillValues(store, shape);
    store.SetSaveName(dir.filePath("2026-12-10_Town Hall.VTM"));
    platform::SelectPrinter(platform::kPdfPrinterName);
    const QString ours = dir.filePath("protocol.pdf");
    const QString peer = dir.filePath("peer.pdf");
    double oursMs = 0, peerMs = 0, oursRss = 0;
    int pages = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        TAuswertung producer;
        if (!producer.DoProt(&store, false, kLangEnglish, kReport, kSection, kSection, ours)) {
            state.SkipWithError("the protocol was not printed");
            return;
        }
        oursMs = clock.nsecsElapsed() / 1e6;
        oursRss = PeakRssMb();
        pages = producer.PageCounter() - 1;
        clock.restart();
        WritePeer(peer, pages, shape.values);
        peerMs = clock.nsecsElapsed() / 1e6;
    }
    const double oursMb = QFileInfo(ours).size() / 1e6;
    const double peerMb = QFileInfo(peer).size() / 1e6;
    state.counters["veltaro_ms"] = oursMs;
    state.counters["peer_ms"] = peerMs;
    state.counters["ratio"] = oursMs / peerMs;
    state.counters["pages"] = pages;
    std::printf("24-hour protocol, %d pages: veltaro %.0f ms (PDF %.1f MB), peer %.0f ms (PDF %.1f MB), ratio %.2f, "
                "peak memory after the protocol %.0f MB\n",
                pages, oursMs, oursMb, peerMs, peerMb, oursMs / peerMs, oursRss);
}

}  // namespace

BENCHMARK(BM_PrintedReport24h)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::RunUnderQt<QApplication>(argc, argv, [] { language.store(kLangEnglish); });
}

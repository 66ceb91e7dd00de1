// The print job of the protocol, the page frame and the graph page.
#include "reports/report_producer.h"

#include <QPainter>
#include <QPicture>
#include <QPrinter>

#include <exception>

#include "platform/date_time.h"
#include "platform/printer_port.h"
#include "reports/level_graph.h"
#include "reports/report_formatting.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kUnitsPerInch = 100.0;
constexpr double kFramePenWidth = 2.0;
constexpr TColor kGrey = 0x808080;
constexpr TColor kBlack = 0x000000;
constexpr TColor32 kWhite32 = 0xFFFFFFFF;

// The subtitle names the DIN standard only for a measurement under a DIN regulation.
bool OwnPreset(const TDaten& store) {
    return !store.GetVorschrift().contains(QStringLiteral("DIN"), Qt::CaseInsensitive);
}

void TellPrintFailure(const QString& why) { AskMessage(why, 0, 101, 0, 0, 1054); }

}  // namespace

TReportQuantities ReportQuantitiesOf(const TDaten& store) {
    TReportQuantities q;
    int32_t n = 0;
    for (int32_t id = 0; id <= 2; ++id) {
        if (!store.InsProtokoll(id)) continue;
        q.ids[n++] = id;
        switch (store.GetFilter(id)) {
        case 1: q.useA = true; break;
        case 2: q.useC = true; break;
        case 4: q.useZ = true; break;
        default: break;
        }
    }
    return q;
}

TForcedLimits::TForcedLimits(const TDaten& store) {
    for (int32_t display = 0; display <= 2; ++display) {
        forced[display] = store.ForceProt(display);
        limits[display] = store.GetRealLimit(display);
    }
}

bool TForcedLimits::Exceeded(const TSaveIT6& value) const {
    return (forced[0] && value.leq > limits[0]) || (forced[1] && value.LeqK > limits[1]) ||
           (forced[2] && value.Peak > limits[2]);
}

TAuswertung::TAuswertung() = default;

QFont TAuswertung::PaperFont(const QString& family, double points, bool bold, int dpi) {
    QFont font(family);
    // The painter's scale enlarges the font as well; the device turns points
    // into its own pixels first, so the size is taken back by that scale.
    font.setPointSizeF(points * kUnitsPerInch / dpi);
    font.setBold(bold);
    return font;
}

void TAuswertung::NewPage(QPainter& gra, const QPen& pRectangle, const QRectF& fullR, const QFont& ftb,
                          const QString& dateiName, bool eigeneVorgaben, int32_t laId, QRectF& rl) {
    if (pageObserver) pageObserver(seitenZahl);
    const double W = fullR.width();
    const double H = fullR.height();
    gra.setPen(pRectangle);
    gra.setBrush(Qt::NoBrush);
    rl = QRectF(fullR.x() + 0.1 * W, fullR.y() + 0.02 * H, 0.8 * W, 0.062 * H);
    gra.drawRect(rl);
    gra.setPen(Qt::black);
    gra.setFont(fText);
    gra.drawText(rl, Qt::AlignCenter, GetLangTextFor(768, laId));

    rl.setY(rl.y() + 0.04 * H);
    rl.setHeight(0.029 * H);
    gra.setFont(ftb);
    gra.drawText(rl, Qt::AlignCenter, GetLangTextFor(eigeneVorgaben ? 769 : 770, laId));
    const QString pageText = GetLangTextFor(771, laId) + QString::number(seitenZahl);
    gra.drawText(rl, Qt::AlignRight | Qt::AlignVCenter, pageText);
    ++seitenZahl;

    const QRectF B = gra.boundingRect(rl, Qt::AlignCenter, pageText);
    const double top = B.y() + B.height() + 0.01 * H;
    rl = QRectF(rl.x(), top, rl.width(), 2.5 * B.height());

    if (dateiName.size() > 1) {
        gra.setFont(fGraph);
        gra.drawText(QRectF(rl.x(), fullR.y(), rl.width(), 0.99 * H), Qt::AlignLeft | Qt::AlignBottom,
                     GetLangTextFor(772, laId) + dateiName);
    }
}

bool TAuswertung::DoProt(TDaten* DataL, bool highSpeed, int32_t langId, const TPrintInfo& pInfo,
                         const TPrintInfo& gInfo, const TPrintInfo& eInfo, const QString& pdfFile) {
    seitenZahl = 1;
    if (platform::Printing()) {
        AskMessage(FillTextArguments(GetLangTextFor(953, langId), {platform::CurrentPrinterName()}), 953, 954, 0, 0,
                   1054);
        return false;
    }
    if (DataL == nullptr) return false;

    druckStartStr = LocalDateTimeText(platform::SystemLocalNow());
    const QString title = GetLangTextFor(952, langId) + QLatin1Char(' ') + DataL->GetVeranstaltung();
    platform::PrintJob job;
    if (!job.Begin(title, pdfFile)) {
        TellPrintFailure(job.ErrorText());
        return false;
    }
    try {
        QPainter& gr = job.Painter();
        const int dpi = job.Printer().resolution();
        const double scale = dpi / kUnitsPerInch;
        gr.scale(scale, scale);
        const QRect paper = job.Printer().pageLayout().paintRectPixels(dpi);

        TPrintObjects objects;
        objects.gr = &gr;
        objects.job = &job;
        objects.PenFrame = QPen(Qt::black, kFramePenWidth);
        objects.FontNormal = PaperFont(QStringLiteral("Arial"), 10, false, dpi);
        objects.FontBold = PaperFont(QStringLiteral("Arial"), 11, true, dpi);
        objects.fullR = QRectF(0, 0, paper.width() / scale, paper.height() / scale);
        objects.langId = langId;
        objects.fileName = DataL->GetSaveName();
        objects.ownPreset = OwnPreset(*DataL);
        fText = PaperFont(QStringLiteral("Arial"), 25, false, dpi);
        fGraph = PaperFont(QStringLiteral("ARIAL"), 7, false, dpi);

        if (pInfo.selected) PrintReportPages(objects, *DataL, pInfo, gInfo, eInfo);
        if (eInfo.selected)
            PrintProtokoll(objects, DataL, eInfo.option, eInfo.leq, eInfo.leqK, eInfo.peak, pInfo.selected);
        if (gInfo.selected) PrintGraphPage(objects, DataL, highSpeed, gInfo, pInfo.selected || eInfo.selected);
    } catch (const std::exception& failure) {
        job.Abort();
        TellPrintFailure(QString::fromUtf8(failure.what()));
        return false;
    } catch (...) {
        job.Abort();
        TellPrintFailure(QStringLiteral("The report could not be drawn."));
        return false;
    }
    if (!job.Finish()) {
        TellPrintFailure(job.ErrorText());
        return false;
    }
    return true;
}

// The graph is drawn as vectors straight onto the page, in device pixels
// and turned by a quarter so that its time axis runs along the long side.
void TAuswertung::PrintGraphPage(const TPrintObjects& job, TDaten* store, bool highSpeed, const TPrintInfo& gInfo,
                                 bool newPage) {
    QPainter& gr = *job.gr;
    if (newPage) job.job->NewPage();
    QRectF rl;
    NewPage(gr, job.PenFrame, job.fullR, job.FontBold, job.fileName, job.ownPreset, job.langId, rl);

    // The graph is laid out at screen density (its labels, grid spacing and
    // fonts are made for it) and replayed as vectors at the printer's.
    QPicture picture;
    QPainter recorder(&picture);
    const double density = recorder.device()->logicalDpiX();
    const double toPicture = density / kUnitsPerInch;
    const double graphW = std::nearbyint(0.8 * job.fullR.height() * toPicture);
    const double graphH = std::nearbyint(0.8 * job.fullR.width() * toPicture);

    TLeqGrafik graph;
    graph.InitFontSettings(1.5);
    graph.SetWidth(static_cast<float>(job.fullR.width() * toPicture / 1500.0));
    graph.SetBackgroundColor(kWhite32);
    if (gInfo.option) {
        graph.SetLabelColor(printColorGrid);
        graph.SetLEQcolor(printColorLeq);
        graph.SetPeakColor(printColorPeak);
        graph.SetLEQKurzColor(printColorLeqK);
        graph.setLeqKurzDash(Qt::SolidLine);
        graph.setPeakDash(Qt::SolidLine);
    } else {
        graph.SetLabelColor(kGrey);
        graph.SetLEQcolor(kBlack);
        graph.SetPeakColor(kBlack);
        graph.SetLEQKurzColor(kBlack);
        graph.setLeqKurzDash(Qt::DashLine);
        graph.setPeakDash(Qt::DotLine);
    }
    recorder.setClipRect(QRectF(0, 0, graphW, graphH));
    graph.DrawDirect(&recorder, store, true, gInfo.leq, gInfo.leqK, gInfo.peak, highSpeed, false, 1.0, job.langId);
    recorder.end();

    gr.save();
    gr.setClipping(false);
    gr.translate(rl.x(), rl.y() + graphW / toPicture);
    gr.rotate(-90.0);
    // Playing a picture on a device of another density enlarges it by
    // device dpi / picture dpi; what is left to do is 1/100 inch per dot.
    const double unitsPerDot = kUnitsPerInch / job.job->Printer().resolution();
    gr.scale(unitsPerDot, unitsPerDot);
    picture.play(&gr);
    gr.restore();
}

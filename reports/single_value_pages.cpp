// The single-value pages of the printed protocol: every stored value in a
// shaded table with a date row at each new day, frames around values over a
// forced limit, the end-of-list line and the signature block.
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <vector>

#include "platform/printer_port.h"
#include "reports/report_formatting.h"
#include "reports/report_producer.h"
#include "store/measurement_store.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

const QColor kShading(0, 0, 0, 15);

double Round(double x) { return std::nearbyint(x); }
int64_t DayOf(double t) { return static_cast<int64_t>(std::floor(t)); }

// Right-aligned cells: every text ends at its column's x, centred in the row.
class CellWriter {
public:
    CellWriter(QPainter& gr, const QFont& font) : gr_(gr), font_(font), metrics_(font, gr.device()) {}
    void Draw(const QString& text, double right, double top, double height) {
        const double baseline = top + (height - metrics_.height()) / 2 + metrics_.ascent();
        gr_.drawText(QPointF(right - metrics_.horizontalAdvance(text), baseline), text);
    }
    double Width(const QString& text) const { return metrics_.horizontalAdvance(text); }
    void Use() {
        gr_.setFont(font_);
        gr_.setPen(Qt::black);
    }

private:
    QPainter& gr_;
    QFont font_;
    QFontMetricsF metrics_;
};

}  // namespace

void TAuswertung::PrintProtokoll(const TPrintObjects& job, TDaten* Daten, bool isMarkMax, bool bwLeq, bool bwLeqk,
                                 bool bwPeak, bool doNewPage) {
    if (Daten == nullptr) return;
    TDaten& d = *Daten;
    QPainter& gr = *job.gr;
    const int32_t laId = job.langId;
    const int decimals = d.GetNKS();
    const QRectF fullR = job.fullR;
    const double H = fullR.height();
    bool shading = false;

    if (doNewPage) job.job->NewPage();

    QStringList headers{GetLangTextFor(835, laId)};
    if (bwLeqk) headers << d.GetLEQKLabel(laId);
    if (bwLeq) headers << d.GetLEQLabel(laId);
    if (bwPeak) headers << d.GetPeakLabel();
    headers << GetLangTextFor(764, laId);
    const int n = static_cast<int>(headers.size());

    CellWriter cells(gr, job.FontBold);
    QRectF rl;
    std::vector<double> columnX(n);
    const QString note = GetLangTextFor(848, laId);

    const auto drawBand = [&] {
        rl.moveTop(rl.y() + 0.01 * H);
        rl.setHeight(0.02 * H);
        gr.setPen(job.PenFrame);
        gr.setBrush(kShading);
        gr.drawRect(rl);
        gr.setBrush(Qt::NoBrush);
        cells.Use();
        const double y = Round(rl.y() + 0.1 * rl.height());
        for (int i = 0; i < n; ++i) cells.Draw(headers[i], columnX[i], y, rl.height());
        gr.setFont(fGraph);
        const QRectF noteBox = gr.boundingRect(fullR, Qt::AlignLeft | Qt::AlignBottom, note);
        gr.drawText(QRectF(fullR.x() + 0.1 * fullR.width(), fullR.y(), noteBox.width() + 1,
                           0.99 * H - noteBox.height()),
                    Qt::AlignLeft | Qt::AlignBottom, note);
    };
    const auto frame = [&] {
        NewPage(gr, job.PenFrame, fullR, job.FontBold, d.GetSaveName(), false, laId, rl);
    };

    frame();
    // The right edges share 13 % to 97 % of the line evenly after the header widths.
    double widths = 0;
    for (int i = 1; i < n; ++i) widths += cells.Width(headers[i]);
    const double gap = (0.84 * rl.width() - widths) / (n - 1);
    columnX[0] = Round(rl.x() + 0.13 * rl.width());
    columnX[n - 1] = Round(rl.x() + 0.97 * rl.width());
    for (int i = 1; i < n - 1; ++i) columnX[i] = columnX[i - 1] + cells.Width(headers[i]) + gap;
    drawBand();

    const double pageBottom = Round((fullR.height() + fullR.y()) * 0.9);
    const double limit1 = Round(pageBottom - rl.height());
    const double limit2 = Round(pageBottom - 5 * rl.height());

    const TForcedLimits limits(d);

    const int32_t count = d.GetWerteAnzahl();
    int32_t index = 0;
    TSaveIT6 wert = count > 0 ? d.GetWert(0) : TSaveIT6{};
    bool newDay = true;
    int64_t shownDay = 0;
    bool previousMarked = false;
    double frameBottom = 0;
    const auto shade = [&] {
        if (shading) gr.fillRect(rl, kShading);
        shading = !shading;
    };
    while (index < count) {
        rl.moveTop(Round(rl.y() + rl.height()));
        shade();
        cells.Use();
        if (newDay) {
            cells.Draw(DateText(wert.TimeStamp), columnX[0], Round(rl.y()), rl.height());
            shownDay = DayOf(wert.TimeStamp);
            rl.moveTop(Round(rl.y() + rl.height()));
            shade();
            cells.Use();
        }
        const double y = Round(rl.y());
        int column = 0;
        cells.Draw(RoundedTimeText(wert.TimeStamp), columnX[column++], y, rl.height());
        if (bwLeqk) cells.Draw(ReportLevelText(wert.LeqK, decimals), columnX[column++], y, rl.height());
        if (bwLeq) cells.Draw(ReportLevelText(wert.leq, decimals), columnX[column++], y, rl.height());
        if (bwPeak) cells.Draw(ReportLevelText(wert.Peak, decimals), columnX[column++], y, rl.height());
        cells.Draw(FormatSampleDuration(wert.clipCount), columnX[column], y, rl.height());

        const bool marked = isMarkMax && limits.Exceeded(wert);
        if (marked) {
            gr.setPen(job.PenFrame);
            gr.setBrush(Qt::NoBrush);
            const double bottom = rl.y() + rl.height();
            if (previousMarked) {
                gr.drawLine(QPointF(rl.x(), frameBottom), QPointF(rl.x(), bottom));
                gr.drawLine(QPointF(rl.x(), bottom), QPointF(rl.x() + rl.width(), bottom));
                gr.drawLine(QPointF(rl.x() + rl.width(), bottom), QPointF(rl.x() + rl.width(), frameBottom));
            } else {
                gr.drawRect(rl);
            }
            frameBottom = bottom;
        }
        previousMarked = marked;

        ++index;
        if (index < count) {
            wert = d.GetWert(index);
            newDay = DayOf(wert.TimeStamp) != shownDay;
        }
        bool pageBreak = false;
        if (index > count - 10) pageBreak = rl.y() > limit2 && index < count - 1;
        else pageBreak = rl.y() > pageBottom || (newDay && rl.y() > limit1);
        if (pageBreak) {
            job.job->NewPage();
            frame();
            drawBand();
            shading = false;
            previousMarked = false;
        }
    }

    rl.moveTop(rl.y() + rl.height());
    gr.setFont(job.FontBold);
    gr.setPen(Qt::black);
    gr.drawText(rl, Qt::AlignCenter, GetLangTextFor(836, laId));

    rl.moveTop(fullR.y() + 0.87 * H);
    gr.setFont(job.FontNormal);
    gr.drawText(rl, Qt::AlignLeft | Qt::AlignBottom, GetLangTextFor(767, laId));
    const double lineY = fullR.y() + 0.95 * H;
    gr.setPen(job.PenFrame);
    gr.drawLine(QPointF(rl.x(), lineY), QPointF(rl.x() + 0.6 * fullR.width(), lineY));
    const QString signatory = d.GetUnterzeichner();
    if (signatory.size() >= 2) {
        rl.moveTop(lineY);
        gr.setPen(Qt::black);
        gr.drawText(rl, Qt::AlignLeft | Qt::AlignBottom, signatory);
    }
}

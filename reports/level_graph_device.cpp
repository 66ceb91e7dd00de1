// The paint-device drawing of the level graph: the same graph for the
// measurement viewer and the printed protocol on any QPainter (window,
// image, printer), scaled by a DPI factor, with three traces.
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygon>

#include <cmath>

#include "reports/level_graph.h"
#include "reports/level_graph_columns.h"
#include "store/measurement_store.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"

namespace {

using level_graph::Levels;
using level_graph::DayTime;
using level_graph::Selection;


QString HourMinute(const DayTime& t) {
    return QStringLiteral("%1:%2").arg(t.h, 2, 10, QLatin1Char('0')).arg(t.m, 2, 10, QLatin1Char('0'));
}

// Releases the busy mark on every way out of the drawing.
class BusyMark {
public:
    explicit BusyMark(std::atomic<int32_t>& mark) : mark_(mark), taken_(mark.exchange(1) == 0) {}
    ~BusyMark() {
        if (taken_) mark_.store(0);
    }
    bool Taken() const { return taken_; }

private:
    std::atomic<int32_t>& mark_;
    bool taken_;
};

}  // namespace

bool TLeqGrafik::DrawDirect(QPainter* GR, TDaten* DataL, bool drawAll, bool showLeq, bool showLeqK, bool showPeak,
                            bool highSpeed, bool useAnt, double dpiSf, int32_t langId) {
    BusyMark busy(oneDraw);
    if (!busy.Taken()) return false;
    if (GR == nullptr || DataL == nullptr || GR->device() == nullptr) return false;
    GR->save();
    const bool drawn = DrawDevice(*GR, *DataL, drawAll, showLeq, showLeqK, showPeak, highSpeed, useAnt, dpiSf, langId);
    GR->restore();
    return drawn;
}

bool TLeqGrafik::DrawDevice(QPainter& gr, TDaten& data, bool drawAll, bool showLeq, bool showLeqK, bool showPeak,
                            bool highSpeed, bool useAnt, double factor, int32_t langId) {
    const double dotSize = factor * masterTraceWidth;
    QFont font(QStringLiteral("VERDANA"));
    font.setPointSizeF(7.0);
    gr.setFont(font);
    const QFontMetricsF metrics(font, gr.device());
    gr.setRenderHint(QPainter::Antialiasing, !highSpeed);
    gr.setRenderHint(QPainter::TextAntialiasing, !highSpeed);

    const QRect r = gr.hasClipping() ? gr.clipBoundingRect().toAlignedRect()
                                     : QRect(0, 0, gr.device()->width(), gr.device()->height());
    if (backColor.rgb() != QColor(Qt::white).rgb()) {
        gr.fillRect(r, backColor);
    } else {
        gr.setPen(pGitter);
        gr.setBrush(Qt::NoBrush);
        gr.drawRect(QRectF(r.x(), r.y(), std::floor(r.width() - factor), std::floor(r.height() - factor)));
    }

    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("140dB"));
    const QRect d(RoundI(labelWidth + factor + r.x()), r.y(), RoundI(r.width() - labelWidth - factor), r.height());
    const int dBottom = d.y() + d.height();
    {
        std::lock_guard guard(csPos);
        xOffsetPoints = d.x();
    }

    const int32_t n = data.GetWerteAnzahl();
    const int32_t interval = level_graph::StoreInterval(data);
    Selection sel = drawAll ? level_graph::ChooseDrawAll(data, n, d.width(), interval)
                            : level_graph::ChooseScrollingDevice(data, n, d.width(), antPos.load(), useAnt);
    if (!drawAll && sel.count > 0) SetAntPos(sel.first);
    const int32_t tick = level_graph::SettleLabelStep(sel, interval, false);
    const int32_t top = data.GetGraGap();
    const int32_t range = level_graph::UsableRange(data);
    const double pixelsPerDb = static_cast<double>(d.height()) / range;
    const double bottomDb = top - range;
    const int32_t gridStep = GetGridStep(range);
    const bool plotUsable = d.height() >= 1 && d.width() >= 1;

    // dB grid.
    if (plotUsable) {
        gr.setPen(pGitter);
        const double dy = std::max(1.0, gridStep * pixelsPerDb);
        int y = RoundI(pixelsPerDb * gridStep * 0.5 + d.y());
        for (int k = 0; y < dBottom; ++k) {
            gr.setPen(pGitter);
            gr.drawLine(d.x(), y, d.x() + d.width(), y);
            const QString label = QString::number(RoundI(top - gridStep * (k + 0.5))) + QStringLiteral("dB");
            const double right = RoundI(d.x() - factor);
            gr.setPen(labelColor);
            gr.drawText(QRectF(right - 4 * labelWidth, y - metrics.height(), 4 * labelWidth, 2 * metrics.height()),
                        Qt::AlignRight | Qt::AlignVCenter, label);
            y = std::max(y + 1, RoundI(y + dy));
        }
    }

    // Time grid.
    if (plotUsable) {
        const int32_t refIndex = sel.first == 0 ? 1 : sel.first;
        const double refStamp = n >= 2 ? data.GetWert(refIndex).TimeStamp : 0.0;
        platform::TDateTime refTime = n >= 2 ? refStamp : data.GetStartTime();
        if (!level_graph::UsableTime(refTime)) refTime = CorrectedNow();
        const platform::DateTimeParts parts = platform::DecodeDateTime(refTime);
        const DayTime ref{parts.hour, parts.min, parts.sec};
        const DayTime base =
            sel.first > 0 ? ref : DayTime::FromSeconds(static_cast<int64_t>(ref.Seconds()) - interval);
        DayTime label = level_graph::FirstTimeLabel(base, tick);
        // A first label after midnight lies ahead of a base before it.
        const int hoursAhead = (label.h - base.h + 24) % 24;
        const double offset = (hoursAhead * 3600.0 + (label.m - base.m) * 60.0 - base.s) / interval;
        const bool withLabels = n >= 2 && refStamp > 0.0;
        const int advance = RoundI(interval * sel.labelStep / 60.0);
        for (int i = 0; i < level_graph::kMostGridLines && d.width() + 3 > (i * sel.labelStep + offset) * sel.pixelsPerValue;
             ++i) {
            int x = RoundI((i * sel.labelStep + offset) * sel.pixelsPerValue);
            if (x >= 0) {
                x += d.x();
                gr.setPen(pGitter);
                gr.drawLine(x, RoundI(factor * 12 + d.y()), x, dBottom);
                if (withLabels) {
                    gr.setPen(labelColor);
                    const double w = metrics.horizontalAdvance(QStringLiteral("00:00")) * 2;
                    gr.drawText(QRectF(x - w / 2, RoundI(factor * 5 + d.y()), w, metrics.height() * 2),
                                Qt::AlignHCenter | Qt::AlignTop, HourMinute(label));
                }
            }
            label = DayTime::FromSeconds(label.h * 3600 + (label.m + advance) * 60);
        }
    }

    // Leq limit line.
    if (plotUsable) {
        gr.setPen(pmaxLEQ);
        const int y = RoundI(d.y() + d.height() - (data.GetMaxLEQ() - bottomDb) * pixelsPerDb);
        gr.drawLine(d.x(), y, d.x() + d.width(), y);
    }

    // Traces.
    QPolygon leqPts, leqKPts, peakPts;
    if (n >= 1 && plotUsable && sel.count > 0) {
        leqKPts.reserve(sel.count);
        peakPts.reserve(sel.count);
        leqPts.reserve(sel.count);
        const int x0 = RoundI(sel.offsetPts * sel.pixelsPerValue + d.x());
        const int floorY = RoundI(dBottom - factor);
        auto y = [&](double level) {
            if (!(level > bottomDb)) return floorY;
            return RoundI(level_graph::BoundedY(dBottom - (level - bottomDb) * pixelsPerDb, d.y(), dBottom));
        };
        const bool steps = data.GetIsInterval() && !data.IsLeqFull();
        double previousLeq = sel.first > 0 ? data.GetWert(sel.first - 1).leq : -100.0;
        bool startMark = sel.startMark;
        level_graph::MergeColumns(data, sel.first, n, sel.count, sel.pixelsPerValue,
                                  [&](int32_t offset, const Levels& lv, int32_t index, bool stepAllowed) {
                                      const int x = x0 + offset;
                                      if (stepAllowed && (previousLeq > lv.leq || startMark) && steps && index >= 1) {
                                          startMark = false;
                                          leqPts.append(QPoint(leqPts.isEmpty() ? x : leqPts.back().x(), floorY));
                                          if (x0 < x) leqPts.append(QPoint(x, y(lv.leq)));
                                      } else {
                                          leqPts.append(QPoint(x, y(lv.leq)));
                                      }
                                      previousLeq = lv.leq;
                                      leqKPts.append(QPoint(x, y(lv.leqK)));
                                      peakPts.append(QPoint(x, y(lv.peak)));
                                  });
    }
    gr.setBrush(Qt::NoBrush);
    if (leqKPts.size() >= 2) {
        if (showLeqK) level_graph::StrokeTrace(gr, pLEQKurz, QPolygonF(leqKPts));
        if (showPeak) level_graph::StrokeTrace(gr, pPeak, QPolygonF(peakPts));
        if (showLeq) level_graph::StrokeTrace(gr, pLEQ, QPolygonF(leqPts));
    } else if (leqKPts.size() == 1) {
        const double half = dotSize == 1.0 ? 0.0 : dotSize / 2;
        auto dot = [&](bool shown, const QPoint& at, const QPen& pen) {
            if (shown) gr.fillRect(QRectF(at.x() - half, at.y() - half, dotSize, dotSize), pen.color());
        };
        dot(showLeqK, leqKPts.front(), pLEQKurz);
        dot(showPeak, peakPts.front(), pPeak);
        dot(showLeq, leqPts.back(), pLEQ);
    }
    showFactor = sel.first > 0 && n > 0 ? static_cast<double>(d.width()) / n : -1.0;

    // Legend.
    {
        double x = d.x();
        const double y = dBottom;
        auto entry = [&](bool shown, const QString& text, const QPen& pen, double textX) {
            if (!shown) return;
            gr.setPen(pen);
            gr.drawLine(QPointF(x, y - 5 * factor), QPointF(x + 30 * factor, y - 5 * factor));
            gr.setPen(pen.color());
            const double width = metrics.horizontalAdvance(text);
            gr.drawText(QRectF(textX, y - metrics.height(), width + 2, metrics.height()),
                        Qt::AlignLeft | Qt::AlignBottom, text);
            x = textX + width + RoundI(10 * factor);
        };
        entry(showLeqK, data.GetLEQKLabel(langId), pLEQKurz, x + RoundI(35 * factor));
        entry(showLeq, QStringLiteral("LEQ"), pLEQ, x + RoundI(35 * factor));
        entry(showPeak, QStringLiteral("PEAK"), pPeak, x + 35 * factor);
    }

    // Frame.
    gr.setPen(QPen(Qt::black, 2 * factor));
    gr.setBrush(Qt::NoBrush);
    gr.drawRect(QRectF(r.x() + factor, r.y() + factor, r.width() - 2 * factor, r.height() - 2 * factor));
    return true;
}

// The bitmap drawing of the level graph: the main window's live graph with
// its rounded plot panel, limit marks, grids, up to four traces and legend.
#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <exception>
#include <limits>

#include "reports/level_graph.h"
#include "reports/level_graph_columns.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

using level_graph::Levels;
using level_graph::Selection;

constexpr TColor32 kPeakLimitFill = Opaque32(255, 0, 0);
constexpr TColor32 kLeqLimitFill = Opaque32(239, 177, 24);

// The plot in the edges the drawing counts with (right and bottom exclusive).
struct Edges {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// A y far outside the plot stays a usable coordinate: an infinite level
// would otherwise reach the painter.
double Bounded(double y, const Edges& t) { return level_graph::BoundedY(y, t.top, t.bottom); }

// The vertical scale of one drawing.
struct LevelScale {
    int32_t top = 0;
    int32_t range = 80;
    double pixelsPerDb = 0.0;
    double bottomDb = 0.0;
    int32_t gridStep = 20;
    double pixelsPerPercent = 0.0;
};

}  // namespace

bool TLeqGrafik::DrawDirect(TBitmap32* buffer, TDaten* DataL, bool drawAll, bool showLeq, bool showLeqP,
                            bool showLeqK, bool showPeak, bool highSpeed, TColor32 cFrame, bool drawMark,
                            const QRect& targetRect, int32_t langId) {
    if (buffer == nullptr || DataL == nullptr || buffer->Empty()) return false;
    try {
        DrawBitmap(*buffer, *DataL, drawAll, showLeq, showLeqP, showLeqK, showPeak, drawMark, targetRect, langId);
        failureShown = false;
        return true;
    } catch (const std::exception& e) {
        ReportDrawFailure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportDrawFailure(QStringLiteral("unknown error"));
    }
    return false;
}

// While idle the graph is redrawn every 300 ms; one box per failure spell
// is enough, and none during a measurement.
void TLeqGrafik::ReportDrawFailure(const QString& why) {
    MainWindowServices* main = mainWindowServices();
    if (main != nullptr && main->GetMessungLaeuft()) return;
    if (failureShown) return;
    failureShown = true;
    AskMessage(QStringLiteral("Draw Graphic Error: \r\n") + why, 0, 101, 0, 0, 1054);
}

bool TLeqGrafik::DrawBitmap(TBitmap32& buffer, TDaten& data, bool drawAll, bool showLeq, bool showLeqP,
                            bool showLeqK, bool showPeak, bool drawMark, const QRect& targetRect, int32_t langId) {
    const Edges t{targetRect.left(), targetRect.top(), targetRect.left() + targetRect.width(),
                  targetRect.top() + targetRect.height()};
    const Edges p{t.left + deltaL, t.top + deltaT, t.right, t.bottom};
    TFont32 labelFont;
    labelFont.name = QStringLiteral("VERDANA");
    labelFont.height = foHi;
    labelFont.color = clText;
    buffer.Font = labelFont;

    // Panel.
    buffer.Clear(clBack32);
    if (p.Width() > 1 && p.Height() > 1) {
        auto canvas = CreateCanvas32(buffer);
        SetCanvasColors(canvas.get(), clFrame32, clPanel32, 1.0);
        canvas->StrokeBrush().visible = displayLayout.load() == kSchemeDark;
        canvas->RoundRect(QRectF(p.left + 0.5, p.top + 0.5, p.Width() - 1.0, p.Height() - 1.0), FieldRadius);
    }

    // Scale.
    LevelScale scale;
    scale.top = data.GetGraGap();
    scale.range = level_graph::UsableRange(data);
    scale.pixelsPerDb = static_cast<double>(p.Height()) / scale.range;
    scale.bottomDb = scale.top - scale.range;
    scale.gridStep = GetGridStep(scale.range);
    const int32_t leqLimit = data.GetMaxLEQ();
    if (showLeqP) scale.pixelsPerPercent = (leqLimit - scale.bottomDb) * scale.pixelsPerDb / 100.0;

    const int32_t interval = level_graph::StoreInterval(data);
    const bool block = level_graph::BlockViewApplies(data, useLeqBlock.load(), drawAll);
    {
        std::lock_guard guard(csPos);
        intervalIntern = interval;
        blockIntern = block;
        drawRange = p.Width();
        xOffsetPoints = p.left;
        blockSizeIntern = data.IsLeqFull() ? -1 : data.GetLEQDauer();
    }

    // Limit marks.
    auto levelY = [&](double level) { return RoundI(p.bottom - (level - scale.bottomDb) * scale.pixelsPerDb); };
    const int leqY = levelY(leqLimit);
    if (drawMark) {
        int peakY = levelY(data.GetMaxPeak());
        if (peakY > p.top + 1) {
            buffer.FillRect(QRect(QPoint(p.left + 1, p.top + 1), QPoint(p.right - 2, peakY - 1)), kPeakLimitFill);
        } else {
            peakY = p.top + 1;
        }
        if (leqY > p.top + 1) {
            buffer.FillRect(QRect(QPoint(p.left + 1, peakY), QPoint(p.right - 2, std::min(leqY, p.bottom) - 1)),
                            kLeqLimitFill);
        }
    } else if (p.top + 1 < leqY && leqY < p.bottom) {
        buffer.HorzLine(p.left + 1, leqY, p.right - 2, kLeqLimitFill);
    }

    // Values.
    const int32_t n = data.GetWerteAnzahl();
    const int32_t cursor = antPos.load();
    Selection sel = drawAll ? level_graph::ChooseDrawAll(data, n, p.Width(), interval)
                  : block   ? level_graph::ChooseBlock(data, n, p.Width(), interval)
                            : level_graph::ChooseScrollingBitmap(data, n, p.Width(), cursor);
    const int32_t tick = level_graph::SettleLabelStep(sel, interval, true);
    if (!level_graph::UsableTime(sel.reference)) sel.reference = CorrectedNow();
    {
        std::lock_guard guard(csPos);
        startIntern = sel.reference;
        faktorIntern = sel.pixelsPerValue > 0.0 ? 1.0 / sel.pixelsPerValue : 1.0;
    }
    const bool plotUsable = p.Height() >= 1 && p.Width() >= 1;

    // dB grid.
    const TColor32 gridColor = Color32(cLabel);
    if (plotUsable) {
        const int dy = std::max(1, RoundI(scale.gridStep * scale.pixelsPerDb));
        int y = RoundI(scale.gridStep * 0.5 * scale.pixelsPerDb + p.top);
        for (int k = 0; y < p.bottom; ++k, y += dy) {
            const QString label =
                QString::number(RoundI(scale.top - scale.gridStep * (k + 0.5))) + QStringLiteral("dB");
            buffer.HorzLine(p.left, y, p.right - 1, gridColor);
            const QSize extent = buffer.TextExtent(label);
            buffer.Textout(p.left - 1 - extent.width(), RoundI(y - extent.height() * 0.5), label);
        }
    }

    // Time grid.
    if (plotUsable) {
        platform::TDateTime t = sel.reference;
        double offset = 0.0;
        if (!block) {
            const int64_t minute = level_graph::FloorTo(platform::DateTimeToMs(sel.reference), 60000);
            const int64_t hour = level_graph::FloorTo(minute, 3600000);
            const int64_t minuteInHour = (minute - hour) / 60000;
            const int64_t gridStart = hour + (minuteInHour / intervalIntern) * intervalIntern * 60000;
            const double secondsIn =
                static_cast<double>(platform::DateTimeToMs(sel.reference) - gridStart) / 1000.0;
            offset = (tick - secondsIn) / interval;
            t = platform::MsToDateTime(gridStart + static_cast<int64_t>(tick) * 1000);
        }
        int previousEnd = 0;
        for (int i = 0; i < level_graph::kMostGridLines && p.right + 3 > (i * sel.labelStep + offset) * sel.pixelsPerValue;
             ++i) {
            int x = RoundI((i * sel.labelStep + offset) * sel.pixelsPerValue);
            if (x < 0) continue;
            x += p.left;
            buffer.VertLine(x, p.top, p.bottom - 1, gridColor);
            const QString label = level_graph::ClockLabel(platform::MsToDateTime(platform::DateTimeToMs(t) +
                                                                    static_cast<int64_t>(i) * tick * 1000));
            const int width = buffer.TextWidth(label);
            if (x - 0.6 * width > previousEnd) {
                buffer.Textout(RoundI(x - 0.5 * width), 1, label);
                previousEnd = RoundI(x + 0.5 * width);
            }
        }
    }

    // Traces.
    QPolygonF leqPts, leqKPts, peakPts, leqPPts;
    int32_t emitted = 0;
    if (n >= 1 && plotUsable && sel.count > 0) {
        lastStartId = sel.first;
        const double x0 = RoundI(sel.offsetPts * sel.pixelsPerValue + p.left);
        const double floorY = p.bottom - 1;
        auto y = [&](double level) {
            if (!(level > scale.bottomDb)) return floorY;
            return Bounded(p.bottom - (level - scale.bottomDb) * scale.pixelsPerDb, t);
        };
        const double percentRef = leqPercentRef.load();
        auto yPercent = [&](double level) {
            const double yp = t.bottom - std::pow(10.0, level / 10.0) / percentRef * scale.pixelsPerPercent;
            if (std::isnan(yp)) return static_cast<double>(t.bottom);
            return Bounded(std::max(0.0, yp), t);
        };
        const double zeroDbY = Bounded(p.bottom + scale.bottomDb * scale.pixelsPerDb, t);
        const bool steps = blockSizeIntern >= 1 && !data.IsLeqFull();
        double previousLeq = sel.first > 0 ? data.GetWert(sel.first - 1).leq : -100.0;
        bool startMark = sel.startMark;
        emitted = level_graph::MergeColumns(
            data, sel.first, n, sel.count, sel.pixelsPerValue,
            [&](int32_t offset, const Levels& lv, int32_t index, bool stepAllowed) {
                const double x = x0 + offset;
                const bool step = stepAllowed && (previousLeq > lv.leq || startMark) && steps && index >= 1;
                if (step) {
                    double stepX = leqPts.isEmpty() ? x : leqPts.back().x();
                    if (startMark) {
                        startMark = false;
                        leqPts.append(QPointF(x0, y(sel.startLeq)));
                        stepX = x0;
                    }
                    leqPts.append(QPointF(stepX, zeroDbY));
                    if (showLeqP) leqPPts.append(QPointF(stepX, t.bottom));
                    if (offset > 0) {
                        leqPts.append(QPointF(x, y(lv.leq)));
                        if (showLeqP) leqPPts.append(QPointF(x, t.bottom));
                    }
                } else {
                    leqPts.append(QPointF(x, y(lv.leq)));
                    if (showLeqP) leqPPts.append(QPointF(x, yPercent(lv.leq)));
                }
                previousLeq = lv.leq;
                leqKPts.append(QPointF(x, y(lv.leqK)));
                peakPts.append(QPointF(x, y(lv.peak)));
            });
    }
    if (emitted > 0) {
        QPainter painter(&buffer.Image());
        painter.setRenderHint(QPainter::Antialiasing);
        const double width = RoundI(masterTraceWidth);
        auto trace = [&](bool shown, const QPolygonF& points, TColor colour) {
            if (!shown) return;
            level_graph::StrokeTrace(painter, QPen(QColorOf(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin),
                                     points);
        };
        trace(showLeqK, leqKPts, cLEQK);
        trace(showLeqP, leqPPts, cLEQP);
        trace(showPeak, peakPts, cPeak);
        trace(showLeq, leqPts, cLEQ);
    }
    lastXPos = peakPts.isEmpty() ? -1.0 : peakPts.back().x();
    showFactor = sel.first > 0 && n > 0 ? static_cast<double>(p.Width()) / n : -1.0;

    // Legend.
    if (plotUsable) {
        auto canvas = CreateCanvas32(buffer);
        canvas->FillBrush().visible = false;
        int x = p.left;
        const int lineY = p.bottom - 5;
        auto entry = [&](bool shown, const QString& label, TColor colour) {
            if (!shown) return;
            SetCanvasColors(canvas.get(), Color32(colour), Color32(colour), std::max(1, RoundI(masterTraceWidth)));
            canvas->Line(QPointF(x, lineY), QPointF(x + 30, lineY));
            buffer.Font.color = colour;
            const QSize extent = buffer.TextExtent(label);
            buffer.Textout(x + 35, p.bottom - extent.height() - 1, label);
            x += 35 + extent.width() + 10;
        };
        entry(showLeqK, data.GetLEQKLabel(langId), cLEQK);
        entry(showLeq, data.GetLEQLabel(langId), cLEQ);
        entry(showLeqP, QStringLiteral("% ") + data.GetLEQLabel(langId), cLEQP);
        entry(showPeak, data.GetPeakLabel(), cPeak);
        buffer.Font.color = clText;
    }

    // Status.
    myGraphStatus.status = block ? 1 : (cursor == kAntFollow ? 0 : 2);
    myGraphStatus.total = n;
    myGraphStatus.showStart = sel.first;
    myGraphStatus.showEnd = sel.first + sel.count;
    myGraphStatus.bmSize = buffer.Width();
    myGraphStatus.bmLeft = deltaL;
    if (cursor == kAntJumpToEnd) antPos.store(std::max(0, n - p.Width()));
    return true;
}

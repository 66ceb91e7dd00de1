#include "reports/level_graph_columns.h"

#include <QLineF>
#include <QPainter>
#include <QVector>

#include <cmath>
#include <exception>

#include "reports/level_graph.h"
#include "ui_kit/services/clock.h"

namespace level_graph {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
// Plots narrower than this show no values.
constexpr int32_t kNarrowestPlot = 11;

// The start time with seconds cleared and its minute floored to the
// interval length in whole minutes.
platform::TDateTime FirstBlockReference(platform::TDateTime start, int32_t blockSeconds) {
    const int64_t minute = FloorTo(platform::DateTimeToMs(start), kMsPerMinute);
    const int32_t m = blockSeconds / 60;
    if (m < 1) return platform::MsToDateTime(minute);
    const int64_t hour = FloorTo(minute, kMsPerHour);
    const int64_t minuteInHour = (minute - hour) / kMsPerMinute;
    return platform::MsToDateTime(hour + (minuteInHour / m) * m * kMsPerMinute);
}

}  // namespace

int64_t FloorTo(int64_t value, int64_t unit) {
    int64_t q = value / unit;
    if (value % unit != 0 && value < 0) --q;
    return q * unit;
}

bool UsableTime(platform::TDateTime t) {
    constexpr platform::TDateTime kEarliestRealTime = 10.0;
    if (!(t >= kEarliestRealTime)) return false;
    try {
        platform::DateTimeToMs(t);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int32_t UsableRange(TDaten& data) {
    int32_t range = data.GetGraRange();
    if (range < 21) {
        range = 80;
        data.SetGraRange(range);
    }
    return range;
}

double BoundedY(double y, double top, double bottom) {
    const double reach = 10.0 * (bottom - top) + 1000.0;
    return std::clamp(y, top - reach, bottom + reach);
}

QString ClockLabel(platform::TDateTime t) {
    auto twoDigits = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    const platform::DateTimeParts p = platform::DecodeDateTime(t);
    QString text = twoDigits(p.hour) + QLatin1Char(':') + twoDigits(p.min);
    if (p.sec != 0) text += QLatin1Char(':') + twoDigits(p.sec);
    return text;
}

DayTime DayTime::FromSeconds(int64_t seconds) {
    constexpr int64_t kSecondsPerDay = 86400;
    int64_t day = seconds % kSecondsPerDay;
    if (day < 0) day += kSecondsPerDay;
    return DayTime{static_cast<int>(day / 3600), static_cast<int>(day / 60 % 60), static_cast<int>(day % 60)};
}

DayTime FirstTimeLabel(const DayTime& base, int tickSeconds) {
    const DayTime next = DayTime::FromSeconds(static_cast<int64_t>(base.Seconds()) + tickSeconds);
    if (next.h != base.h) return DayTime{next.h, 0, 0};
    const int m = base.m;
    if (m < 30 && next.m > 30) return DayTime{base.h, 30, 0};
    if (m < 15 && next.m > 15) return DayTime{base.h, 15, 0};
    if (m < 45 && next.m > 45) return DayTime{base.h, 45, 0};
    for (int v : {10, 20, 30, 40, 50}) {
        if (m < v && v < next.m) return DayTime{base.h, v, 0};
    }
    for (int v = 5; v <= 55; v += 5) {
        if (m < v && v < next.m) return DayTime{base.h, v, 0};
    }
    return DayTime::FromSeconds(base.h * 3600 + (m + (next.s > 0 ? 1 : 0)) * 60);
}

void StrokeTrace(QPainter& painter, const QPen& pen, const QPolygonF& points) {
    if (points.size() < 2) return;
    if (pen.style() != Qt::SolidLine || pen.color().alpha() != 255) {
        painter.setPen(pen);
        painter.drawPolyline(points);
        return;
    }
    QPen segmentPen = pen;
    segmentPen.setCapStyle(Qt::SquareCap);
    painter.setPen(segmentPen);
    QVector<QLineF> segments;
    segments.reserve(points.size() - 1);
    for (qsizetype i = 1; i < points.size(); ++i) segments.append(QLineF(points[i - 1], points[i]));
    painter.drawLines(segments);
}

int32_t StoreInterval(const TDaten& data) {
    const int32_t interval = data.GetDrawInterval();
    return interval < 1 ? 60 : interval;
}

bool BlockViewApplies(const TDaten& data, bool requested, bool drawAll) {
    return requested && data.GetIsInterval() && !drawAll && !data.IsLeqFull();
}

Selection ChooseDrawAll(const TDaten& data, int32_t n, int32_t w, int32_t interval) {
    Selection s;
    s.reference = data.GetStartTime();
    if (n < 1 || w < kNarrowestPlot) return s;
    s.pixelsPerValue = static_cast<double>(w) / n;
    s.labelStep = CalcTimeStep(s.pixelsPerValue, interval);
    s.count = s.pixelsPerValue > 1.0 ? n : w;
    return s;
}

Selection ChooseBlock(const TDaten& data, int32_t n, int32_t w, int32_t interval) {
    Selection s;
    s.block = true;
    s.reference = data.GetStartTime();
    if (n < 1 || w < kNarrowestPlot) return s;
    const int32_t blockSeconds = data.GetLEQDauer();
    TBlockDaten8 last;
    if (data.GetNumBlocks() >= 1) data.GetBlock(data.GetNumBlocks() - 1, last);
    // A block whose end is no usable time counts as none.
    if (data.GetNumBlocks() < 1 || !UsableTime(last.ende)) {
        const platform::TDateTime stored = data.GetStartTime();
        const platform::TDateTime start = UsableTime(stored) ? stored : CorrectedNow();
        s.reference = FirstBlockReference(start, blockSeconds);
        const double seconds =
            static_cast<double>(platform::DateTimeToMs(start) - platform::DateTimeToMs(s.reference)) / kMsPerSecond;
        s.offsetPts = std::ceil(seconds / interval);
    } else {
        s.reference = platform::MsToDateTime(FloorTo(platform::DateTimeToMs(last.ende), kMsPerMinute));
        // Time stamps may run backwards after a clock change: the newest
        // value at or before the block start wins.
        for (int32_t i = n - 1; i >= 0; --i) {
            if (data.GetWert(i).TimeStamp <= s.reference) {
                s.first = i;
                break;
            }
        }
        s.startLeq = data.GetWert(s.first).leq;
        s.startMark = true;
    }
    // An interval shorter than half a stored value still spans one value.
    const int32_t valuesPerBlock = std::max(1, RoundI(static_cast<double>(blockSeconds) / interval));
    s.pixelsPerValue = static_cast<double>(w) / valuesPerBlock;
    s.labelStep = CalcTimeStep(s.pixelsPerValue, interval);
    s.count = n - s.first;
    if (interval * s.pixelsPerValue > 20) {
        s.labelStep *= 0.25;
    } else if (interval * s.pixelsPerValue > 10) {
        s.labelStep *= 0.5;
    }
    return s;
}

Selection ChooseScrollingBitmap(const TDaten& data, int32_t n, int32_t w, int32_t cursor) {
    Selection s;
    s.reference = data.GetStartTime();
    if (n < 2 || w < kNarrowestPlot) return s;
    if (n > w) {
        if (cursor == kAntFollow) {
            s.first = n - w;
        } else {
            const int32_t candidate = cursor == kAntJumpToEnd ? n : std::max(0, cursor);
            s.first = std::min(candidate, n - w);
        }
        s.count = w;
        s.reference = data.GetWert(s.first).TimeStamp;
    } else {
        s.count = n;
    }
    return s;
}

Selection ChooseScrollingDevice(const TDaten& data, int32_t n, int32_t w, int32_t cursor, bool useAnt) {
    Selection s;
    s.reference = data.GetStartTime();
    if (n < 1 || w < kNarrowestPlot) return s;
    const int32_t candidate = cursor < 0 ? n : cursor;
    if (n > w) {
        s.first = useAnt ? n - w : std::min(candidate, n - w);
        s.count = w;
    } else {
        s.count = n;
    }
    return s;
}

int32_t SettleLabelStep(Selection& s, int32_t interval, bool countPixels) {
    if (!(s.labelStep >= 1.0)) s.labelStep = 1.0;
    const double pixels = countPixels ? s.pixelsPerValue : 1.0;
    // Pixels per value that are no positive number would double for ever.
    if (std::isfinite(pixels) && pixels > 0.0 && interval > 0) {
        while (interval * s.labelStep * pixels < 60.0) s.labelStep *= 2.0;
    }
    return RoundI(interval * s.labelStep);
}

}  // namespace level_graph

#pragma once
// What both drawings of the level graph share: which stored values a view
// shows, the spacing of its time labels, and the merging of the values into
// pixel columns (the maxima of the values that fall on one column), so that
// a day of one-second values costs one point per column and trace.
#include <algorithm>
#include <cstdint>

#include <QPen>
#include <QPolygonF>
#include <QString>

class QPainter;

#include "platform/date_time.h"
#include "store/measurement_records.h"

class TDaten;

namespace level_graph {

// The values a view shows and how they map onto the plot.
struct Selection {
    int32_t first = 0;          // index of the first shown value
    int32_t count = 0;          // columns at most; 0 draws no trace
    double pixelsPerValue = 1.0;
    double labelStep = 60.0;    // stored values between two time labels
    double offsetPts = 0.0;     // values the traces start right of the plot's left edge
    bool block = false;         // the view shows the current Leq interval
    bool startMark = false;     // the first column of a block starts with a step
    double startLeq = 0.0;      // the Leq the step starts from
    platform::TDateTime reference = 0.0;
};

// Seconds per stored value of the store: 60 when it gives less than 1.
int32_t StoreInterval(const TDaten& data);
// Block view applies: requested, fixed intervals, not draw-all, not over the whole measurement.
bool BlockViewApplies(const TDaten& data, bool requested, bool drawAll);

// n values on a plot w pixels wide, drawn whole.
Selection ChooseDrawAll(const TDaten& data, int32_t n, int32_t w, int32_t interval);
// The current Leq interval scaled to the plot width.
Selection ChooseBlock(const TDaten& data, int32_t n, int32_t w, int32_t interval);
// Scrolling at one pixel per value in the bitmap drawing: the newest values
// while following, else those from the cursor (n for a jump to the end),
// clamped so that the plot is filled where the store allows.
Selection ChooseScrollingBitmap(const TDaten& data, int32_t n, int32_t w, int32_t cursor);
// The same in the paint-device drawing: a negative cursor or useAnt shows the newest values.
Selection ChooseScrollingDevice(const TDaten& data, int32_t n, int32_t w, int32_t cursor, bool useAnt);

// A label step below 1 becomes 1, then it is doubled while the labels stand
// less than 60 seconds (bitmap: also counting the pixels per value) apart.
// Answers the tick in seconds.
int32_t SettleLabelStep(Selection& s, int32_t interval, bool countPixels);

// More time lines than any screen or page has pixel columns: a bound that
// no sane label step reaches.
inline constexpr int kMostGridLines = 100000;

// A date-time a drawing can count with: a real time (day 10 or later)
// that the calendar can represent. Damaged time stamps are none.
bool UsableTime(platform::TDateTime t);
// Floors value to a multiple of unit (also below 0).
int64_t FloorTo(int64_t value, int64_t unit);
// A stored range below 21 dB is no usable scale: 80 dB is drawn and written back.
int32_t UsableRange(TDaten& data);
// y kept within ten plot heights of the plot, so that an infinite level
// still gives a coordinate the painter can take.
double BoundedY(double y, double top, double bottom);
// "hh:mm", with ":ss" when the seconds are not 0.
QString ClockLabel(platform::TDateTime t);

// A clock time of day in whole seconds.
struct DayTime {
    int h = 0, m = 0, s = 0;
    int Seconds() const { return h * 3600 + m * 60 + s; }
    // Wraps into one day.
    static DayTime FromSeconds(int64_t seconds);
};
// The first time label of the paint-device drawing: a round time within one
// tick after the base (the next full hour, then :30, :15, :45, a multiple
// of 10, of 5, else the next minute).
DayTime FirstTimeLabel(const DayTime& base, int tickSeconds);

// Draws a trace through points. An opaque solid pen draws the segments one
// by one with square caps, which close the joins of a trace a few pixels
// wide as one polyline would, at a fraction of the cost: Qt strokes a
// polyline as one self-overlapping path. Any other pen (dashes,
// transparency) draws the polyline itself.
void StrokeTrace(QPainter& painter, const QPen& pen, const QPolygonF& points);

// The levels of one column.
struct Levels {
    double peak = 0.0;
    double leqK = 0.0;
    double leq = 0.0;
};

// The larger of two levels; a level that is no number never wins.
inline double Higher(double kept, double next) { return next > kept ? next : kept; }

// Merges values first.. into at most count columns and calls
// emitColumn(columnOffset, levels, indexOfNextValue, stepAllowed) for each. The
// column after the last value is emitted without the step rule.
template <typename Emit>
int32_t MergeColumns(const TDaten& data, int32_t first, int32_t n, int32_t count, double pixelsPerValue,
                     Emit&& emitColumn);

}  // namespace level_graph

#include "store/measurement_store.h"
#include "ui_kit/palette.h"

template <typename Emit>
int32_t level_graph::MergeColumns(const TDaten& data, int32_t first, int32_t n, int32_t count,
                                  double pixelsPerValue, Emit&& emitColumn) {
    Levels pending;
    int32_t pendingOffset = 0;
    int32_t emitted = 0;
    int32_t index = first;
    for (; index < n && emitted < count; ++index) {
        const TSaveIT6 value = data.GetWert(index);
        const int32_t column = RoundI((index - first) * pixelsPerValue);
        if (column <= pendingOffset) {
            pending.peak = Higher(pending.peak, value.Peak);
            pending.leqK = Higher(pending.leqK, value.LeqK);
            pending.leq = Higher(pending.leq, value.leq);
            continue;
        }
        emitColumn(pendingOffset, pending, index, true);
        pending = Levels{value.Peak, value.LeqK, value.leq};
        pendingOffset = column;
        ++emitted;
    }
    if (emitted < count) {
        emitColumn(pendingOffset, pending, index, false);
        ++emitted;
    }
    return emitted;
}

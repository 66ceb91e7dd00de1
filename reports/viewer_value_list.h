#pragma once
// What the viewer's single-value list computes apart from its window: the
// mark word of each value, the overview columns folded once per load, the
// marked-run search, the clipping text and the wheel's step counting.
#include <QString>

#include <cstdint>
#include <vector>

#include "store/measurement_records.h"

class TDaten;

inline constexpr int32_t kMarkLeq = 1;
inline constexpr int32_t kMarkLeqK = 2;
inline constexpr int32_t kMarkPeak = 4;
inline constexpr int32_t kMarkClip = 8;

struct TOverviewColumn {
    double maxLeq = 0.0;
    double maxPeak = 0.0;
    double maxLeqK = 0.0;
    int32_t marks = 0;
};

// One mark word per value: a bit for each quantity the store requires in the
// protocol that lies above its limit, and one for clipping.
std::vector<int32_t> BuildMarks(const TDaten& store, const std::vector<TSaveIT6>& values);
// The values folded into about one column per pixel of width: maxima and the
// OR of the marks. Fewer than two values give no columns.
std::vector<TOverviewColumn> FoldOverview(const std::vector<TSaveIT6>& values, const std::vector<int32_t>& marks,
                                          int width);

// The first row of the next marked run after the one at start; the last row
// when there is none.
int32_t NextMarkRow(const std::vector<int32_t>& marks, int32_t start);
// The first row of the marked run before the one at start; 0 when there is none.
int32_t PrevMarkRow(const std::vector<int32_t>& marks, int32_t start);
// A wanted first row kept inside 0 .. count - 1.
int32_t ClampListStart(int32_t row, int32_t count);

// A clip count at 48 kHz as a duration: "1.0ms", "20ms", "0.20s".
QString ClipDurationText(int32_t clipCount);

// Wheel deltas summed until they make whole steps, so that a touchpad's small
// deltas move as far as a wheel's notches.
class TWheelSteps {
public:
    // Whole steps of unit in the deltas so far; the rest is kept.
    int Take(int delta, int unit);
    void Reset() { rest_ = 0; }

private:
    int rest_ = 0;
};

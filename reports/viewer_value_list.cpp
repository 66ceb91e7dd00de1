#include "reports/viewer_value_list.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "store/measurement_store.h"

std::vector<int32_t> BuildMarks(const TDaten& store, const std::vector<TSaveIT6>& values) {
    const bool forced[3] = {store.ForceProt(0), store.ForceProt(1), store.ForceProt(2)};
    const double limit[3] = {store.GetRealLimit(0), store.GetRealLimit(1), store.GetRealLimit(2)};
    std::vector<int32_t> marks(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        const TSaveIT6& v = values[i];
        int32_t m = 0;
        if (forced[0] && v.leq > limit[0]) m |= kMarkLeq;
        if (forced[1] && v.LeqK > limit[1]) m |= kMarkLeqK;
        if (forced[2] && v.Peak > limit[2]) m |= kMarkPeak;
        if (v.clipCount > 0) m |= kMarkClip;
        marks[i] = m;
    }
    return marks;
}

std::vector<TOverviewColumn> FoldOverview(const std::vector<TSaveIT6>& values, const std::vector<int32_t>& marks,
                                          int width) {
    std::vector<TOverviewColumn> columns;
    const int64_t n = static_cast<int64_t>(values.size()) - 1;
    if (n < 1) return columns;
    const double h = static_cast<double>(width) / static_cast<double>(n);
    columns.emplace_back();
    int64_t c = 0;
    for (int64_t id = 0; id <= n; ++id) {
        if (std::nearbyint(id * h) > c) {
            ++c;
            columns.emplace_back();
        }
        TOverviewColumn& col = columns.back();
        // The record is packed: its levels are read by value, never bound to a reference.
        const TSaveIT6& v = values[static_cast<size_t>(id)];
        const double leq = v.leq;
        const double peak = v.Peak;
        const double leqK = v.LeqK;
        col.maxLeq = std::max(col.maxLeq, leq);
        col.maxPeak = std::max(col.maxPeak, peak);
        col.maxLeqK = std::max(col.maxLeqK, leqK);
        col.marks |= marks[static_cast<size_t>(id)];
    }
    return columns;
}

int32_t NextMarkRow(const std::vector<int32_t>& marks, int32_t start) {
    const int32_t last = static_cast<int32_t>(marks.size()) - 1;
    int32_t i = std::max(start, 0);
    while (i < last && marks[i] != 0) ++i;
    while (i < last && marks[i] == 0) ++i;
    return std::max(i, 0);
}

int32_t PrevMarkRow(const std::vector<int32_t>& marks, int32_t start) {
    if (marks.empty()) return 0;
    int32_t i = std::min<int32_t>(start, static_cast<int32_t>(marks.size()) - 1);
    while (i > 0 && marks[i] != 0) --i;
    while (i > 0 && marks[i] == 0) --i;
    while (i > 0 && marks[i] != 0) --i;
    if (i > 0) ++i;
    return i;
}

int32_t ClampListStart(int32_t row, int32_t count) {
    if (row > count - 1) row = count - 1;
    return std::max(row, 0);
}

QString ClipDurationText(int32_t clipCount) {
    const double t = clipCount / 48000.0;
    const QLocale locale;
    if (t < 0.01) return locale.toString(t * 1000, 'f', 1) + QStringLiteral("ms");
    if (t < 0.1) return locale.toString(static_cast<int64_t>(std::nearbyint(t * 1000))) + QStringLiteral("ms");
    return locale.toString(t, 'f', 2) + QStringLiteral("s");
}

int TWheelSteps::Take(int delta, int unit) {
    rest_ += delta;
    const int steps = rest_ / unit;
    rest_ -= steps * unit;
    return steps;
}

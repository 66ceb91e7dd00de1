#pragma once
// The segment table of the main window's level bars (27 segments per bar,
// index 0 at the top), the segments' geometry and the dBFS scale beside them.
// The main window lights segment i of a bar while that input's level is
// strictly above vuThreshold[i]. GUI thread only.
#include <QRect>
#include <QString>

#include <vector>

class TPaintBox32;

inline constexpr int kVuSegments = 27;

// Linear amplitude (full scale 1.0) at which each segment lights.
extern std::vector<double> vuThreshold;
// Scale label of each segment; empty for the odd ones.
extern std::vector<QString> vuLabel;
// The segments of bar 1 (measuring input) and bar 2 (reference input).
extern std::vector<QRect> vuRect1, vuRect2;

// Fills vuThreshold and vuLabel from the segment table.
void InitVuLabels();

// Lays both bars' segments out in rect: with twoBars bar 1 takes the left
// 45 % and bar 2 the right 45 %; each segment is the top 30 % of its slot.
void LayoutVuSegments(const QRect& rect, bool twoBars);

// Repaints the scale into the paint box's buffer (labels right of the bars,
// the frames of bar 1, and with withMarks the letters "M" and "R" under the
// bars, "M" under bar 1 when measuringLeft), then posts the notification that
// makes the main window repaint the bars. Nothing before the table and the
// layout exist, or without a box.
void PaintVuScale(TPaintBox32* box, bool withMarks, bool measuringLeft);

#include "ui_kit/level_bars.h"

#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"

#include <algorithm>
#include <cmath>

std::vector<double> vuThreshold;
std::vector<QString> vuLabel;
std::vector<QRect> vuRect1, vuRect2;

namespace {

struct VuSegment {
    double dB;
    const char* label;
};

constexpr VuSegment kVuTable[kVuSegments] = {
    {-0.5, "CLIP"}, {-3, ""},    {-6, "-6"},     {-8, ""},      {-10, "-10"}, {-12, ""},    {-14, "-14"},
    {-16, ""},      {-18, "-18"}, {-20, ""},     {-22, "-22"},  {-24, ""},    {-26, "-26"}, {-28, ""},
    {-30, "-30"},   {-32.5, ""},  {-35, "-35"},  {-37.5, ""},   {-40, "-40"}, {-45, ""},    {-50, "-50"},
    {-55, ""},      {-60, "-60"}, {-65, ""},     {-70, "-70"},  {-75, ""},    {-80, "-80"},
};

// The rectangle from (left, top) to (right, bottom), right and bottom
// excluded, as the layout arithmetic counts edges.
QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

int RightEdge(const QRect& r) { return r.x() + r.width(); }
int BottomEdge(const QRect& r) { return r.y() + r.height(); }

// The label font: "CLIP" two slots high at most and no wider than the room
// right of the bars.
void SetLabelFont(TBitmap32& bitmap, int slot, int roomWidth) {
    bitmap.Font.bold = true;
    bitmap.Font.color = clText;
    bitmap.Font.height = -25;
    const QSize clip = bitmap.TextExtent(QStringLiteral("CLIP"));
    const double fh = 2.0 * slot / std::max(1, clip.height());
    const double fw = static_cast<double>(roomWidth) / std::max(1, clip.width());
    // A box too small for any text still gets the smallest font, never the
    // default size that a height of 0 would mean.
    bitmap.Font.height = std::min(-1, RoundI(-25 * std::max(0.0, std::min(fw, fh))));
}

void DrawLabels(TBitmap32& bitmap, int x) {
    const int th = bitmap.TextHeight(QStringLiteral("-199"));
    int lastBottom = -10;
    for (int i = 0; i < kVuSegments; ++i) {
        const QRect& segment = vuRect1[i];
        const int y = RoundI(segment.y() + (segment.height() - th) * 0.5);
        if (y > lastBottom && vuLabel[i].size() > 1) {
            bitmap.Textout(x, y, vuLabel[i]);
            lastBottom = y + th;
        }
        bitmap.FrameRect(segment, clFrame32);
    }
}

void DrawChannelMark(TBitmap32& bitmap, const QRect& bar, int y, const QString& letter) {
    const int x = RoundI(bar.x() + (bar.width() - bitmap.TextWidth(letter)) * 0.5);
    bitmap.Textout(x, y, letter);
}

void DrawChannelMarks(TBitmap32& bitmap, int slot, bool measuringLeft) {
    const QRect& last = vuRect1[kVuSegments - 1];
    const QString left = measuringLeft ? QStringLiteral("M") : QStringLiteral("R");
    const QString right = measuringLeft ? QStringLiteral("R") : QStringLiteral("M");
    const int y = RoundI(BottomEdge(last) + slot + (last.height() - bitmap.TextHeight(left)) * 0.5);
    DrawChannelMark(bitmap, last, y, left);
    DrawChannelMark(bitmap, vuRect2[kVuSegments - 1], y, right);
}

}  // namespace

void InitVuLabels() {
    vuThreshold.resize(kVuSegments);
    vuLabel.resize(kVuSegments);
    for (int i = 0; i < kVuSegments; ++i) {
        vuThreshold[i] = std::pow(10.0, kVuTable[i].dB / 20.0);
        vuLabel[i] = QString::fromLatin1(kVuTable[i].label);
    }
}

void LayoutVuSegments(const QRect& rect, bool twoBars) {
    const int left = rect.x();
    const int right = RightEdge(rect);
    const int width = rect.width();
    int bar1Right = right;
    int bar2Left = 0;
    if (twoBars) {
        bar1Right = RoundI(left + 0.45 * width);
        bar2Left = RoundI(left + 0.55 * width);
    }
    const int slot = static_cast<int>(std::floor(std::max(0, rect.height()) / static_cast<double>(kVuSegments)));
    const int h = RoundI(0.3 * slot);
    vuRect1.resize(kVuSegments);
    vuRect2.resize(kVuSegments);
    for (int i = 0; i < kVuSegments; ++i) {
        const int top = rect.y() + i * slot;
        vuRect1[i] = Edges(left, top, bar1Right, top + h);
        vuRect2[i] = Edges(bar2Left, top, right, top + h);
    }
}

void PaintVuScale(TPaintBox32* box, bool withMarks, bool measuringLeft) {
    // The scale reads every segment of the table and of both bars.
    if (box == nullptr || vuRect1.size() < kVuSegments || vuRect2.size() < kVuSegments ||
        vuLabel.size() < kVuSegments)
        return;
    box->BeginUpdate();
    TBitmap32& bitmap = box->Buffer();
    bitmap.Clear(clBack32);
    const int x = RightEdge(vuRect2[0]) + RoundI(6 * UIScale);
    const int slot = vuRect1[1].y() - vuRect1[0].y();
    SetLabelFont(bitmap, slot, box->ClientRect().width() - x);
    DrawLabels(bitmap, x);
    if (withMarks) DrawChannelMarks(bitmap, slot, measuringLeft);
    box->EndUpdate();
    PostMainNotifyAlways(kNotifyVuRefresh, 0);
}

#include "ui_kit/on_off_switch.h"

#include <cmath>

#include "ui_kit/palette.h"

namespace {

// Hit areas are kept as (left, top, right, bottom) with the right and bottom
// edges included in the hit test.
bool InsideInclusive(const QRect& r, int x, int y) {
    return x >= r.left() && x <= r.left() + r.width() && y >= r.top() && y <= r.top() + r.height();
}

QRect FromEdges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

void TSchalter::SetColors(TColor32 cOff, TColor32 cOn) {
    clOff = cOff;
    clOn = cOn;
}

void TSchalter::SetPos(QPoint pos) {
    if (pos == myCenter) return;
    myCenter = pos;
    newRects = true;
}

void TSchalter::SetSize(int32_t w, int32_t h) {
    if (w == myB && h == myH) return;
    myB = w;
    myH = h;
    newRects = true;
}

void TSchalter::SetSizeAndPos(int32_t w, int32_t h, QPoint pos) {
    SetSize(w, h);
    SetPos(pos);
}

bool TSchalter::SetEnabled(bool isSwitchEnabled) {
    const bool changed = isSwitchEnabled != isEnabled;
    isEnabled = isSwitchEnabled;
    return changed;
}

bool TSchalter::IsOff(int x, int y) const { return isEnabled && InsideInclusive(rOff, x, y); }
bool TSchalter::IsOn(int x, int y) const { return isEnabled && InsideInclusive(rOn, x, y); }

QRect TSchalter::BoundsRect() const {
    return FromEdges(rOff.left(), rOn.top(), rOn.left() + rOn.width(), rOff.top() + rOff.height());
}

void TSchalterH::SetWidth(int32_t newWidth) { SetSize(newWidth, RoundI(newWidth * 17.0 / 33.0)); }

void TSchalterH::UpdateHitAreas() {
    const double cx = myCenter.x();
    const double cy = myCenter.y();
    dy = myH * 0.5;
    dx = myB * 0.5 - dy;
    rOff = FromEdges(RoundI(cx - dx - dy), RoundI(cy - dy), myCenter.x(), RoundI(cy + dy));
    rOn = FromEdges(myCenter.x(), rOff.top(), RoundI(cx + dy + dx), rOff.top() + rOff.height());
    newRects = false;
}

void TSchalterH::DrawSwitch(TBitmap32& wo, bool isLeft) {
    if (newRects) UpdateHitAreas();
    const double cx = myCenter.x();
    const double cy = myCenter.y();
    const double w = 2 * UIScale;
    const TColor32 face = !isEnabled ? clSwitchBack32 : (isLeft ? clOff : clOn);

    auto canvas = CreateCanvas32(wo);
    SetCanvasColors(canvas.get(), clRing32, face, w);
    QPainterPath pill;
    pill.moveTo(cx + dx, cy - dy);
    pill.arcTo(QRectF(cx + dx - dy, cy - dy, 2 * dy, 2 * dy), 90, -180);
    pill.lineTo(cx - dx, cy + dy);
    pill.arcTo(QRectF(cx - dx - dy, cy - dy, 2 * dy, 2 * dy), 270, -180);
    pill.closeSubpath();
    canvas->DrawPath(pill);

    const double knobX = isLeft ? cx - dx : cx + dx;
    SetCanvasColors(canvas.get(), clRing32, clRing32, w);
    canvas->FillBrush().visible = isEnabled;
    canvas->Circle(QPointF(knobX, cy), dy - w, 100);
}

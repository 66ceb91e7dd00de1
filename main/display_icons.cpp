#include "main/display_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>

#include "ui_kit/palette.h"

namespace {

QPen OutlinePen(const QRectF& square) {
    QPen pen(QColorOf(clText));
    pen.setWidthF(std::max(1.0, square.width() / 12.0));
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void DrawEye(QPainter& painter, const QRectF& square) {
    const QRectF eye = square.adjusted(square.width() * 0.08, square.height() * 0.25, -square.width() * 0.08,
                                       -square.height() * 0.25);
    QPainterPath lids;
    lids.moveTo(eye.left(), eye.center().y());
    lids.quadTo(eye.center().x(), eye.top() - eye.height() * 0.5, eye.right(), eye.center().y());
    lids.quadTo(eye.center().x(), eye.bottom() + eye.height() * 0.5, eye.left(), eye.center().y());
    painter.setPen(OutlinePen(square));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(lids);
    const double r = eye.height() * 0.35;
    painter.setBrush(QColorOf(clText));
    painter.drawEllipse(eye.center(), r, r);
}

void DrawTriangle(QPainter& painter, const QRectF& square, bool pointsLeft) {
    const QRectF t = square.adjusted(square.width() * 0.25, square.height() * 0.2, -square.width() * 0.25,
                                     -square.height() * 0.2);
    QPolygonF shape;
    if (pointsLeft) shape << QPointF(t.right(), t.top()) << QPointF(t.left(), t.center().y()) << t.bottomRight();
    else shape << t.topLeft() << QPointF(t.right(), t.center().y()) << t.bottomLeft();
    painter.setPen(OutlinePen(square));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(shape);
}

}  // namespace

bool DrawDisplayIcon(QPainter& painter, int32_t index, const QRectF& square) {
    const bool ours = index == kIconEye || index == kIconStepDown || index == kIconStepUp;
    if (!ours || square.width() <= 0 || square.height() <= 0) return ours;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    switch (index) {
    case kIconEye:
        DrawEye(painter, square);
        break;
    case kIconStepDown:
        DrawTriangle(painter, square, true);
        break;
    default:
        DrawTriangle(painter, square, false);
        break;
    }
    painter.restore();
    return true;
}

#include "ui_kit/close_icon.h"

#include <QPainter>
#include <QPen>

#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"

void DrawCloseCross(QPainter& painter, const QRectF& square) {
    const double inset = square.width() * 0.3;
    const QRectF cross = square.adjusted(inset, inset, -inset, -inset);
    QPen pen(QColorOf(clText));
    pen.setWidthF(qMax(1.0, square.width() / 14.0));
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

void DrawCloseIcon(TBitmap32& bitmap, const QRect& square) {
    if (bitmap.Empty() || square.width() <= 0 || square.height() <= 0) return;
    QPainter painter(&bitmap.Image());
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF area(square);
    if (MainWindowServices* main = mainWindowServices()) {
        main->DrawSvgIcon(painter, kCloserIconIndex, area);
    } else {
        DrawCloseCross(painter, area);
    }
}

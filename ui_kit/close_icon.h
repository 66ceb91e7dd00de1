#pragma once
// The close icon in the header of the message box and the information
// window: item 5 ("Closer") of the main window's icon collection, drawn
// proportionally into its square. Without a main window (during start-up,
// shut-down and in tests) the same cross is drawn here.
#include <QRect>

class TBitmap32;
class QPainter;
class QRectF;

inline constexpr int kCloserIconIndex = 5;

void DrawCloseIcon(TBitmap32& bitmap, const QRect& square);
// The cross itself, in the text colour, for windows without the icon collection.
void DrawCloseCross(QPainter& painter, const QRectF& square);

#pragma once
// The icons of the main window's collection that its value displays use:
// the eye that marks a preview driving an area's colour (16) and the two
// outline triangles of the test-signal step buttons (15 down, 12 up), drawn
// proportionally into their square in the text colour.
#include <cstdint>

class QPainter;
class QRectF;

inline constexpr int32_t kIconStepUp = 12;
inline constexpr int32_t kIconStepDown = 15;
inline constexpr int32_t kIconEye = 16;

// False when index is none of these icons (nothing is drawn then).
bool DrawDisplayIcon(QPainter& painter, int32_t index, const QRectF& square);

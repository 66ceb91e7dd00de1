#pragma once
// The two notice symbols, an "i" in a circle (information) and an "!" in a
// triangle (warning), and the hint line about the first line of a text. All
// sizes derive from the paint box's height so that the symbols grow with the
// dialog. They draw into the paint box's buffer.
#include <QRect>

#include <cstdint>

class TPaintBox32;

inline constexpr int32_t kSymbolInfoOutlined = 0;
inline constexpr int32_t kSymbolInfoFilled = 1;
inline constexpr int32_t kSymbolWarning = 2;

// A small symbol in the top-right corner; answers its square even for a kind
// that draws nothing. A scale of 0 or below means UIScale.
QRect DrawInfoSymbol(TPaintBox32* box, int32_t kind, double scale);
// The symbol filling the paint box's height.
void DrawSymbolFull(TPaintBox32* box, int32_t kind);
// Clears the box, draws a filled "i" at its left and text 622 beside it.
void DrawHintLine(TPaintBox32* box, double scale);

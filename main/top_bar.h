#pragma once
// The top bar of the main window: while the menu bar is hidden it carries
// three squares at its right end (1 start or stop, 2 show the menu bar,
// 3 leave the program); while the menu bar shows it is a thin empty strip.
#include <QRect>

#include <cstdint>
#include <functional>

class TBitmap32;
class QRectF;

inline constexpr int32_t kTopBarStartStop = 1;
inline constexpr int32_t kTopBarMenu = 2;
inline constexpr int32_t kTopBarClose = 3;

struct TopBarState {
    bool menuShown = false;
    bool running = false;
    bool canStart = false;
    int32_t hover = 0;
};

// The square under x (1..3) of a bar width x height whose squares end at
// width - spacing; a shared edge counts to the lower number. 0 elsewhere and
// always 0 while the menu bar shows.
int32_t TopBarHitTest(int x, int width, int height, int spacing, bool menuShown);
// Where square 1..3 is drawn: neighbours overlap by rnd(scale) pixels.
QRect TopBarSquare(int32_t square, int width, int height, int spacing, double scale);
// The bar's height: rnd(10 x scale) under the menu bar, rnd(30 x scale) without it.
// The hint text id of a square, 0 for none.
int32_t TopBarHintId(int32_t square, bool running, bool canStart);
// Whether square 1..3 is drawn in that state.
bool TopBarShowsSquare(int32_t square, const TopBarState& state);

void PaintTopBar(TBitmap32& bitmap, const TopBarState& state, int spacing, double scale,
                 const std::function<void(TBitmap32&, int32_t, const QRectF&)>& drawIcon);

#pragma once
// The program-wide look: the palette of the light (0) and dark (1) colour
// schemes, the UI scale with its spacings, the main window's eight display
// fields and the routines that draw values into them, the status-line text
// and a few canvas and font helpers. The main window owns these values: it
// applies a scheme and the scale, lays out the fields and calls the field
// routines from its paint handlers; every other window only reads them.
// GUI thread only.
#include <QPalette>
#include <QRect>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

#include "ui_kit/paint_box.h"

class QLabel;
class QWidget;

// ---------------------------------------------------------------------------
// Palette. Entries ending in 32 are pixels (TColor32), the others platform
// colours (TColor). Until a scheme is applied the dark scheme holds.
// ---------------------------------------------------------------------------

extern TColor clBack;
extern TColor32 clBack32;          // copy of clBack
extern TColor clText;
extern TColor32 clText32;          // copy of clText
extern TColor clTextOff;
extern TColor clValueText;
extern TColor32 clValueText32;     // copy of clValueText
extern TColor clSideText;
extern TColor32 clSideText32;      // copy of clSideText
extern TColor32 clFrame32;
extern TColor32 clInk32;
extern TColor32 clHover32;
extern TColor clHover;             // platform form of clHover32
extern TColor32 clAccent32;
extern TColor32 clSelected32;      // copy of clAccent32
extern TColor32 clButtonLine32;
extern TColor32 clLightGrey32;
extern TColor32 clOn32;            // copy of clGreen32
extern TColor32 clRing32;
extern TColor32 clUnselected32;
extern TColor32 clSwitchBack32;    // copy of clBack32
extern TColor clList;
extern TColor clListText;
extern TColor clListTextOff;
extern TColor clPanel;
extern TColor32 clPanel32;         // copy of clPanel
extern TColor clGauge;
extern TColor32 clGauge32;         // copy of clGauge
extern TColor32 clNeutral32;
extern TColor clGreen, clYellow, clRed;
extern TColor32 clGreen32, clYellow32, clRed32;  // copies
extern double FieldRadius;         // corner radius of the value fields in pixels
extern bool FieldFramed;           // whether the main window frames its value fields

inline constexpr int32_t kSchemeLight = 0;
inline constexpr int32_t kSchemeDark = 1;

// 0 or 1 sets every entry of that scheme and re-derives the copies; any other
// value changes no entry and only re-derives the copies.
void SetColorScheme(int32_t scheme);
void UpdateColor32Copies();

// palette with the window, button and text-field entries in the scheme's
// background and text colours, for the standard controls of a window.
QPalette SchemeWidgetPalette(QPalette palette);

// 1 green, 2 yellow, 3 red, anything else neutral.
TColor32 StateColor32(int32_t state);
TColor StateColor(int32_t state);

// 0xAARRGGBB from an alpha and a platform colour. An alpha outside 0..255 is
// a programming error: std::out_of_range.
uint32_t GdipColor(int32_t alpha, TColor color);

// ---------------------------------------------------------------------------
// UI scale and spacing. Qt lays windows out in logical pixels, so the scale
// comes from the logical pixels per inch of the main window's screen and
// nothing is scaled twice.
// ---------------------------------------------------------------------------

extern double UIScale;        // pixels per inch / 96
extern int32_t UISpace;       // Round(16 x UIScale)
extern int32_t UISpaceSmall;  // Round(7 x UIScale)
extern int32_t UISpaceHalf;   // Round(0.5 x UISpace)
extern int32_t UISpaceLarge;  // Round(32 x UIScale)

// Sets UIScale and derives the spacings. A scale that is not a finite value
// in 0.25 .. 16 is refused with std::invalid_argument and changes nothing.
void SetUIScale(double scale);
// Logical pixels per inch of the screen the widget is on (of the primary
// screen for nullptr or a widget without a screen); 96 without any screen.
double LogicalDpiOf(const QWidget* widget);

// ---------------------------------------------------------------------------
// Display fields of the main window
// ---------------------------------------------------------------------------

inline constexpr int32_t kFieldCount = 8;
inline constexpr int32_t kBaselineCount = 7;

// Field rectangles in the pixels of the display bitmaps; the right and bottom
// edges are x() + width() and y() + height() (exclusive).
extern std::array<QRect, kFieldCount> FieldRect;
// The y on which the bottom of a field's value text sits (fields 0 to 6).
extern std::array<int32_t, kBaselineCount> FieldBaseline;
// Font height of the side texts.
extern int32_t SideTextHeight;

bool GetBoldLabel();
void SetBoldLabel(bool bold);

// The field routines draw nothing for a field index outside their table.
// Font heights follow TFont32 (negative: character height in pixels).

// A value text centred in the field on its baseline, shrunk to at most 98 %
// of the field width; nothing on a field narrower than 20 pixels.
void DrawFieldValue(TBitmap32& bitmap, int32_t index, const QString& text, TColor color, int32_t height);
// A text whose right end lies at 47 % of the field width, centred vertically.
void DrawFieldUnit(TBitmap32& bitmap, int32_t index, const QString& text, TColor color, int32_t height);
// A word-wrapped text in the right half of the field, centred vertically.
void DrawFieldSideText(TBitmap32& bitmap, int32_t index, const QString& text);
// The field's frame (clFrame32) and/or fill; a radius up to 1 is a fraction
// of the field height. Nothing on a field 10 pixels wide or less.
void DrawFieldFrame(TBitmap32& bitmap, int32_t index, TColor32 fill, bool strokeVisible, bool fillVisible,
                    double radius);
// A vertical fill gauge in the right 5 % of the field: vector style with a
// radius above 0, rectangle style otherwise. The fraction is clamped to
// 0 .. 1 (NaN counts as 0). Nothing while no measurement store exists.
void DrawFieldGauge(int32_t index, double fraction, TBitmap32& bitmap, double radius);

// ---------------------------------------------------------------------------
// Status line
// ---------------------------------------------------------------------------

// The last text passed to SetInfoLine.
extern QString InfoLineText;
// Stores the text and tells the main window (notification 50) when it
// differs from the stored one (compared exactly); answers whether it did.
bool SetInfoLine(const QString& text);

// ---------------------------------------------------------------------------
// Canvas and font helpers
// ---------------------------------------------------------------------------

// A vector canvas on the bitmap: brush 0 solid fill, brush 1 stroke.
std::unique_ptr<TCanvas32> CreateCanvas32(TBitmap32& bitmap);
// Brush 1 gets width and stroke colour, brush 0 the fill colour; nothing for
// a null canvas.
void SetCanvasColors(TCanvas32* canvas, TColor32 stroke, TColor32 fill, double strokeWidth);
// The rectangle shrunk by half the line width on every side, so that a line
// of that width drawn on it stays inside the rectangle.
QRectF HalfInsetRect(const QRect& r, double lineWidth);
// Buffer font "VERDANA" in clText at Round(points x -4/3) pixels.
void SetBoxFont(TPaintBox32* box, double points);
void SetBoxFontScaled(TPaintBox32* box, double scale);
// Label font "VERDANA", bold, clText, Round(-12 x scale) pixels; left edge
// Round(16 x scale).
void SetLabelStyle(QLabel* label, double scale);

// Rounds halves to the even neighbour, as all layout arithmetic does; values
// beyond the 32-bit range are clamped to it.
int32_t RoundI(double v);

#pragma once
// Flat push buttons: a paint box on which a rounded, semi-transparent face
// and a centred caption are painted. The paint box's Tag holds the look; the
// handlers below move it and repaint. What a click does is the owning
// window's business (the paint box's OnClick).
#include <QRect>
#include <QString>

#include <cstdint>

#include "ui_kit/paint_box.h"

// Looks kept in TPaintBox32::Tag.
inline constexpr intptr_t kButtonIdle = 0;         // alpha 40 face, no outline
inline constexpr intptr_t kButtonHot = 1;          // pointer over it, or a mouse button went down on it
inline constexpr intptr_t kButtonHighlighted = 2;  // released inside
inline constexpr intptr_t kButtonPressedBit = 0x100;

// Paints one button into rect of the box's buffer. insetByLine keeps the face
// just inside rect; otherwise rect loses UISpace left and right and
// UISpaceHalf top and bottom. lock holds the screen refresh until the end,
// clear first fills the whole buffer with clPanel32 (altBackground) or
// clBack32. A caption too long for the face ends in an ellipsis.
void PaintFlatButton(TPaintBox32* box, const QRect& rect, const QString& caption, bool insetByLine, bool lock,
                     bool clear, bool altBackground);
void PaintButton(TPaintBox32* box, const QString& caption, bool insetByLine, bool altBackground);
// The caption is text textId in the current language.
void PaintButtonText(TPaintBox32* box, int32_t textId);

// Buffer font "VERDANA", normal, Round(-12 x scale) pixels; Tag idle; with
// setSize also the standard size of 110 x 33 times the scale.
void InitButton(TPaintBox32* box, double scale, bool setSize);
void SetButtonSize(TPaintBox32* box, double scale);
// Buffer font: the program's UI font in the button line colour.
void SetButtonFont(TPaintBox32* box, double scale);
void SetButtonFontDefault(TPaintBox32* box);

// Round(scale x 32 + caption width in the buffer's font), at least 110; a
// negative scale means UIScale.
int32_t ButtonWidthFor(TPaintBox32* box, const QString& caption, double scale);
// (0, 0, w, Round(33 x scale)) of a button that fits the caption, limited by
// maxWidth when that is above 0, never narrower than 110 x scale.
QRect ButtonRectFor(TPaintBox32* box, double scale, int32_t maxWidth, const QString& caption);
void SizeButtonFor(TPaintBox32* box, double scale, int32_t maxWidth, const QString& caption);

// State handlers; each sets Tag and repaints the box.
void ButtonMouseEnter(TPaintBox32* box);              // 1
void ButtonMouseLeave(TPaintBox32* box);              // 0
void ButtonMouseDown(TPaintBox32* box);               // 1
void ButtonMouseUp(TPaintBox32* box, int x, int y);   // 2 inside the client rectangle, else 0
void ButtonSetHot(TPaintBox32* box);                  // 2
void ButtonSetNormal(TPaintBox32* box);               // 0
void ButtonPress(TPaintBox32* box);                   // adds the pressed bit
void ButtonRelease(TPaintBox32* box);                 // keeps the low 8 bits

// Wires the usual handlers: enter, leave, and either press/release (the
// pressed look while held) or mouse down/up.
void WireButtonStates(TPaintBox32* box, bool pressedLook);

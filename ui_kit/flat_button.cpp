#include "ui_kit/flat_button.h"

#include <algorithm>

#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kFaceRadius = 6.0;  // pixels, deliberately not scaled

struct ButtonLook {
    double inset;
    int faceAlpha;
    bool outline;
};

ButtonLook LookOf(intptr_t tag) {
    if (tag == kButtonIdle) return {1.5, 40, false};
    if (tag == kButtonHot) return {1.0, 200, true};
    if (tag == (kButtonHot | kButtonPressedBit)) return {3.0, 255, true};
    return {1.5, 255, true};
}

void Repaint(TPaintBox32* box) {
    if (box != nullptr) box->Invalidate();
}

void SetTag(TPaintBox32* box, intptr_t tag) {
    if (box == nullptr) return;
    box->Tag = tag;
    Repaint(box);
}

}  // namespace

void PaintFlatButton(TPaintBox32* box, const QRect& rect, const QString& caption, bool insetByLine, bool lock,
                     bool clear, bool altBackground) {
    if (box == nullptr) return;
    TBitmap32& buffer = box->Buffer();
    if (lock) box->BeginUpdate();
    if (clear) buffer.Clear(altBackground ? clPanel32 : clBack32);
    buffer.Font.color = clText;

    const ButtonLook look = LookOf(box->Tag);
    QRectF face;
    QRect textRect;
    if (insetByLine) {
        face = QRectF(rect).adjusted(look.inset, look.inset, -look.inset, -look.inset);
        textRect = rect;
    } else {
        textRect = rect.adjusted(UISpace, UISpaceHalf, -UISpace, -UISpaceHalf);
        face = QRectF(textRect);
    }

    if (face.width() > 0 && face.height() > 0) {
        auto canvas = CreateCanvas32(buffer);
        SetCanvasColors(canvas.get(), clButtonLine32, WithAlpha32(clAccent32, look.faceAlpha), look.inset * UIScale);
        canvas->StrokeBrush().visible = look.outline && box->Tag > 0;
        canvas->RoundRect(face, kFaceRadius);
    }
    buffer.DrawText(textRect, caption, kTextCenter | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
    if (lock) box->EndUpdate();
}

void PaintButton(TPaintBox32* box, const QString& caption, bool insetByLine, bool altBackground) {
    if (box == nullptr) return;
    PaintFlatButton(box, box->ClientRect(), caption, insetByLine, true, true, altBackground);
}

void PaintButtonText(TPaintBox32* box, int32_t textId) {
    if (box == nullptr) return;
    PaintFlatButton(box, box->ClientRect(), GetLangText(textId), true, true, true, false);
}

void InitButton(TPaintBox32* box, double scale, bool setSize) {
    if (box == nullptr) return;
    TFont32& font = box->Buffer().Font;
    font.name = QStringLiteral("VERDANA");
    font.bold = false;
    font.height = RoundI(-12 * scale);
    box->Tag = kButtonIdle;
    if (setSize) SetButtonSize(box, scale);
}

void SetButtonSize(TPaintBox32* box, double scale) {
    if (box == nullptr) return;
    box->resize(RoundI(110 * scale), RoundI(33 * scale));
}

void SetButtonFont(TPaintBox32* box, double scale) {
    if (box == nullptr) return;
    TFont32& font = box->Buffer().Font;
    font.name = uiFontName.isEmpty() ? QStringLiteral("VERDANA") : uiFontName;
    font.color = WinColor(clButtonLine32);
    font.height = RoundI(-12 * scale);
}

void SetButtonFontDefault(TPaintBox32* box) { SetButtonFont(box, UIScale); }

int32_t ButtonWidthFor(TPaintBox32* box, const QString& caption, double scale) {
    if (box == nullptr) return 110;
    const double s = scale < 0 ? UIScale : scale;
    return std::max(110, RoundI(s * 32 + box->Buffer().TextWidth(caption)));
}

QRect ButtonRectFor(TPaintBox32* box, double scale, int32_t maxWidth, const QString& caption) {
    const int32_t h = RoundI(33 * scale);
    if (box == nullptr) return QRect(0, 0, RoundI(110 * scale), h);
    TFont32& font = box->Buffer().Font;
    font.name = QStringLiteral("VERDANA");
    font.height = RoundI(-12 * scale);
    int32_t w = box->Buffer().TextWidth(caption);
    if (maxWidth > 0) {
        const int32_t available = maxWidth - RoundI(4 * UISpace * scale);
        if (available < w) w = available;
    }
    w += 2 * UISpace;
    if (110 * scale > w) w = RoundI(110 * scale);
    return QRect(0, 0, w, h);
}

void SizeButtonFor(TPaintBox32* box, double scale, int32_t maxWidth, const QString& caption) {
    if (box == nullptr) return;
    const QRect r = ButtonRectFor(box, scale, maxWidth, caption);
    box->resize(r.width(), r.height());
}

void ButtonMouseEnter(TPaintBox32* box) { SetTag(box, kButtonHot); }
void ButtonMouseLeave(TPaintBox32* box) { SetTag(box, kButtonIdle); }
void ButtonMouseDown(TPaintBox32* box) { SetTag(box, kButtonHot); }

void ButtonMouseUp(TPaintBox32* box, int x, int y) {
    if (box == nullptr) return;
    SetTag(box, box->ClientRect().contains(x, y) ? kButtonHighlighted : kButtonIdle);
}

void ButtonSetHot(TPaintBox32* box) { SetTag(box, kButtonHighlighted); }
void ButtonSetNormal(TPaintBox32* box) { SetTag(box, kButtonIdle); }

void ButtonPress(TPaintBox32* box) {
    if (box == nullptr) return;
    SetTag(box, box->Tag | kButtonPressedBit);
}

void ButtonRelease(TPaintBox32* box) {
    if (box == nullptr) return;
    SetTag(box, box->Tag & 0xFF);
}

void WireButtonStates(TPaintBox32* box, bool pressedLook) {
    if (box == nullptr) return;
    box->OnMouseEnter = ButtonMouseEnter;
    box->OnMouseLeave = ButtonMouseLeave;
    if (pressedLook) {
        box->OnMouseDown = [](TPaintBox32* b, Qt::MouseButton, int, int) { ButtonPress(b); };
        box->OnMouseUp = [](TPaintBox32* b, Qt::MouseButton, int, int) { ButtonRelease(b); };
    } else {
        box->OnMouseDown = [](TPaintBox32* b, Qt::MouseButton, int, int) { ButtonMouseDown(b); };
        box->OnMouseUp = [](TPaintBox32* b, Qt::MouseButton, int x, int y) { ButtonMouseUp(b, x, y); };
    }
}

#include "ui_kit/select_box.h"

#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

TSelBox::TSelBox() : myScale(UIScale) {}

bool TSelBox::SetStatus(bool isOn, bool isEnabled) {
    const int32_t state = isEnabled ? (isOn ? kSelectedEnabled : kClearEnabled) : (isOn ? kSelectedDisabled : kClearDisabled);
    const bool changed = state != myState;
    myState = state;
    return changed;
}

bool TSelBox::SetSelected(bool isSelected) {
    if (!GetIsEnabled()) return false;
    return SetStatus(isSelected, true);
}

bool TSelBox::SetEnable(bool isEnabled) {
    if (!myVisible || isEnabled == GetIsEnabled()) return false;
    return SetStatus(GetIsSelected(), isEnabled);
}

bool TSelBox::GetIsEnabled() const { return myState == kSelectedEnabled || myState == kClearEnabled; }
bool TSelBox::GetIsSelected() const { return myState == kSelectedEnabled || myState == kSelectedDisabled; }

bool TSelBox::DoClick() {
    if (!GetIsEnabled()) return false;
    return SetStatus(!GetIsSelected(), true);
}

bool TSelBox::SetLabel(const QString& newLabel) {
    const bool changed = newLabel.compare(myLabel, Qt::CaseInsensitive) != 0;
    myLabel = newLabel;
    return changed;
}

bool TSelBox::SetLabel(int32_t newLabelId) { return SetLabel(GetLangText(newLabelId)); }

int32_t TSelBox::GetWidth(TPaintBox32* wo, const QString& theLabel) {
    if (wo == nullptr) return RoundI(30 * myScale);
    return wo->Buffer().TextWidth(theLabel) + RoundI(30 * myScale);
}

int32_t TSelBox::GetWidth(TPaintBox32* wo, const QString& theLabel, double dpiSf) {
    if (wo != nullptr) wo->Buffer().Font.height = RoundI(-12 * dpiSf);
    myScale = dpiSf;
    return GetWidth(wo, theLabel.isEmpty() ? myLabel : theLabel);
}

void TSelBox::Paint(TPaintBox32* wo, const QRect& target, bool isMouseOver, double dpiSf, bool fillFull,
                    const QString& theLabel) {
    if (wo == nullptr) return;
    if (dpiSf > 0) myScale = dpiSf;
    const double s = myScale;
    TBitmap32& buffer = wo->Buffer();
    wo->BeginUpdate();
    const QString label = theLabel.isEmpty() ? myLabel : theLabel;
    buffer.FillRect(target, clBack32);
    if (!myVisible) {
        wo->EndUpdate();
        return;
    }
    const double x0 = target.x() + RoundI(4 * s);
    const double d = 14 * s;
    const int32_t labelLeft = RoundI(x0 + d + 8 * s);
    const QRect labelRect(labelLeft, target.y(), target.x() + target.width() - labelLeft, target.height());
    buffer.Font.height = RoundI(-12 * s);

    if (isMouseOver) {
        QRect hover = target;
        if (!fillFull) hover.setWidth(GetWidth(wo, label));
        buffer.FillRect(hover, clHover32);
    }
    const TColor32 disc = GetIsSelected() ? clSelected32 : clUnselected32;
    buffer.Font.color = GetIsEnabled() ? clText : clTextOff;

    {
        auto canvas = CreateCanvas32(buffer);
        SetCanvasColors(canvas.get(), clRing32, disc, s);
        canvas->Circle(QPointF(x0 + d / 2, target.y() + target.height() / 2.0), d / 2, 100);
    }
    buffer.DrawText(labelRect, label, kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
    wo->EndUpdate();
}

void TSelBox::Paint(TPaintBox32* wo, double dpiSf, bool isMouseOver) {
    if (wo == nullptr) return;
    Paint(wo, wo->ClientRect(), isMouseOver, dpiSf, false, myLabel);
}

void TSelBox::Paint(TPaintBox32* wo, const QString& theLabel) {
    if (wo == nullptr) return;
    Paint(wo, wo->ClientRect(), false, myScale, false, theLabel);
}

void TSelBox::Paint(TPaintBox32* wo, double dpiSf) {
    if (dpiSf > 0) myScale = dpiSf;
    Paint(wo, myLabel, myScale);
}

void TSelBox::Paint(TPaintBox32* wo, const QString& theLabel, double dpiSf) {
    if (dpiSf > 0) myScale = dpiSf;
    Paint(wo, theLabel);
}

void TSelBox::PaintMO(TPaintBox32* wo, double dpiSf) {
    if (wo == nullptr) return;
    Paint(wo, wo->ClientRect(), wo->Tag == 1, dpiSf, false, myLabel);
}

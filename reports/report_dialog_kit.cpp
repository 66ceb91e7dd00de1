#include "reports/report_dialog_kit.h"

#include <QWidget>

#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"

void WireSelectBoxHover(TPaintBox32* box) {
    box->OnMouseEnter = [](TPaintBox32* b) {
        b->Tag = 1;
        b->Invalidate();
    };
    box->OnMouseLeave = [](TPaintBox32* b) {
        b->Tag = 0;
        b->Invalidate();
    };
}

double DialogScale(double dpi, const QWidget* owner, const QWidget* self) {
    return (dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : self)) / 96.0;
}

void SetEditStyle(QWidget* edit, double scale) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColorOf(clList));
    palette.setColor(QPalette::Text, QColorOf(clListText));
    edit->setPalette(palette);
    edit->setFont(TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale), false, clListText}.ToQFont());
}

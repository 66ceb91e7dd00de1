#include "settings/tick_rows.h"

#include <cmath>

#include "ui_kit/palette.h"

TTickRows::TTickRows(QWidget* parent, std::vector<TSelBox*> rows) : TPaintBox32(parent), rows_(std::move(rows)) {
    OnPaintBuffer = [this](TPaintBox32* box) { PaintRows(box); };
    OnClick = nullptr;
    OnMouseUp = [this](TPaintBox32* box, Qt::MouseButton button, int x, int y) {
        if (button == Qt::LeftButton && box->rect().contains(x, y)) ClickAt(y);
    };
    OnMouseMove = [this](TPaintBox32* box, int, int y) {
        const intptr_t tag = RowAt(y) + 1;
        if (box->Tag != tag) {
            box->Tag = tag;
            box->Invalidate();
        }
    };
    OnMouseLeave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
}

void TTickRows::SetRows(std::vector<TSelBox*> rows) {
    rows_ = std::move(rows);
    Invalidate();
}

int TTickRows::RowAt(int y) const {
    if (rows_.empty() || height() <= 0 || y < 0 || y >= height()) return -1;
    const int row = static_cast<int>(std::floor(static_cast<double>(y) * rows_.size() / height()));
    return row < static_cast<int>(rows_.size()) ? row : -1;
}

bool TTickRows::ClickAt(int y) {
    const int row = RowAt(y);
    if (row < 0) return false;
    if (OnRowClick && OnRowClick(row)) {
        Invalidate();
        return true;
    }
    const bool changed = rows_[row]->DoClick();
    Invalidate();
    if (changed && OnToggled) OnToggled(row);
    return changed;
}

void TTickRows::PaintRows(TPaintBox32* box) {
    box->Buffer().Clear(clBack32);
    const int n = static_cast<int>(rows_.size());
    for (int i = 0; i < n; ++i) {
        const int top = height() * i / n;
        const QRect rect(0, top, width(), height() * (i + 1) / n - top);
        rows_[i]->Paint(box, rect, box->Tag == i + 1, scale_, false, QString());
        if (OnPaintRow) OnPaintRow(box, i, rect);
    }
}

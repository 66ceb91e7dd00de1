#pragma once
// A paint box holding one or more ticks in equal rows: a click toggles the
// tick of the row under the pointer (a disabled tick stays), the row under
// the pointer is drawn with the hover highlight. What a toggle means is the
// owner's: OnToggled runs after a tick changed.
#include <functional>
#include <vector>

#include "ui_kit/paint_box.h"
#include "ui_kit/select_box.h"

class TTickRows : public TPaintBox32 {
public:
    TTickRows(QWidget* parent, std::vector<TSelBox*> rows);

    // The row of a point, -1 outside.
    int RowAt(int y) const;
    // What a click at y does; answers whether a tick changed.
    bool ClickAt(int y);
    void SetScale(double scale) { scale_ = scale; Invalidate(); }
    const std::vector<TSelBox*>& Rows() const { return rows_; }
    void SetRows(std::vector<TSelBox*> rows);

    std::function<void(int row)> OnToggled;
    // Drawn after a row's tick (the address list's descriptions).
    std::function<void(TPaintBox32* box, int row, const QRect& rect)> OnPaintRow;
    // Handles the click itself instead of toggling (answers whether it did).
    std::function<bool(int row)> OnRowClick;

private:
    void PaintRows(TPaintBox32* box);

    std::vector<TSelBox*> rows_;
    double scale_ = 1.0;
};

#include "settings/dialog_parts.h"

#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"

TPaintBox32* NewFlatButton(QWidget* parent, int32_t textId, std::function<void()> action) {
    auto* button = new TPaintBox32(parent);
    button->OnPaintBuffer = [textId](TPaintBox32* box) { PaintButtonText(box, textId); };
    button->OnClick = [action = std::move(action)](TPaintBox32*) { action(); };
    WireButtonStates(button, false);
    return button;
}

TTickRows* NewClickTick(QWidget* parent, TSelBox* tick, std::function<void()> onClick) {
    auto* box = new TTickRows(parent, {tick});
    box->OnRowClick = [onClick = std::move(onClick)](int) {
        onClick();
        return true;
    };
    return box;
}

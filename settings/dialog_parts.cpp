#include "settings/dialog_parts.h"

#include <QDialog>
#include <QKeyEvent>

#include "settings/tick_rows.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"

void SetUpSettingsDialog(QDialog& dialog, int32_t titleId) {
    dialog.setModal(true);
    dialog.setWindowTitle(GetLangText(titleId));
    dialog.setPalette(SchemeWidgetPalette(dialog.palette()));
    dialog.setAutoFillBackground(true);
}

bool AnswerEnterOrEscape(QDialog& dialog, const QKeyEvent& event, TPaintBox32* ok, TPaintBox32* cancel,
                         const std::function<void()>& confirm) {
    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    if (!enter && event.key() != Qt::Key_Escape) return false;
    ButtonPress(enter ? ok : cancel);
    if (enter && confirm) confirm();
    dialog.done(enter ? 1 : 2);
    return true;
}

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

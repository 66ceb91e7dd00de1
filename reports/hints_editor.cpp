#include "reports/hints_editor.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "reports/report_dialog_kit.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

THinweiseForm::THinweiseForm(QWidget* owner, double dpi)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    setWindowTitle(GetLangText(670));
    mHinweise = new QPlainTextEdit(this);
    mHinweise->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(mHinweise, &QPlainTextEdit::textChanged, this, [this] { changed_ = true; });
    Panel1 = new QWidget(this);
    pbCancel = new TPaintBox32(Panel1);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { ClickCancel(); };
    pbOk = new TPaintBox32(Panel1);
    pbOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 427); };
    pbOk->OnClick = [this](TPaintBox32*) { ClickApply(); };
    for (TPaintBox32* button : {pbCancel, pbOk}) {
        WireButtonStates(button, true);
        button->setFocusPolicy(Qt::TabFocus);
    }
    mySf = DialogScale(dpi, owner, this);
    SetMemoStyle(mHinweise, mySf);
    resize(RoundI(480 * mySf), RoundI(320 * mySf));
    ArrangeControls();
}

void THinweiseForm::SetTheHints(const QString& text) {
    SetMemoText(mHinweise, text);
    changed_ = true;
}

QString THinweiseForm::GetTheHints() const { return mHinweise->toPlainText(); }

void THinweiseForm::SetMessageInfo(platform::WindowHandle window, int32_t cancelCode, int32_t okCode) {
    mh = window;
    mi = WM_MAIN_NOTIFY;
    mcc = cancelCode;
    mco = okCode;
    changed_ = false;
}

void THinweiseForm::ShowAt(const QPoint& topLeft) {
    move(FitRectToWorkArea(QRect(topLeft, frameGeometry().size())));
    show();
}

void THinweiseForm::BringToFront() {
    show();
    raise();
    activateWindow();
    mHinweise->setFocus();
}

void THinweiseForm::Post(int32_t code) {
    if (mh != 0) platform::PostMessage(mh, static_cast<uint32_t>(mi), static_cast<uintptr_t>(code), 0);
}

void THinweiseForm::closeEvent(QCloseEvent* event) {
    // Without a receiver nobody would ever release the editor.
    if (mh == 0 || !platform::IsWindow(mh)) {
        event->accept();
        return;
    }
    event->ignore();
    ClickCancel();
}

void THinweiseForm::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        ButtonSetHot(pbCancel);
        ClickCancel();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !mHinweise->hasFocus()) {
        ButtonSetHot(pbOk);
        ClickApply();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THinweiseForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) mHinweise->setFocus();
    QWidget::changeEvent(event);
}

void THinweiseForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

void THinweiseForm::ArrangeControls() {
    const int m = RoundI(16 * mySf);
    for (TPaintBox32* button : {pbCancel, pbOk}) InitButton(button, mySf, true);
    const int barH = 2 * m + pbOk->height();
    Panel1->setGeometry(0, height() - barH, width(), barH);
    pbCancel->move(m, m);
    pbOk->move(Panel1->width() - m - pbOk->width(), m);
    mHinweise->setGeometry(m, m, width() - 2 * m, height() - barH - m);
}

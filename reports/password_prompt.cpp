#include "reports/password_prompt.h"

#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

#include "reports/report_dialog_kit.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

TAskPW::TAskPW(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setModal(true);
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    pbInfo = new TPaintBox32(this);
    pbInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintInfo(box); };
    edPW = new QLineEdit(this);
    edPW->setEchoMode(QLineEdit::Password);
    InstallEnterEscapeFilter(edPW);
    edPW->installEventFilter(this);
    pbCheckUsePW = new TPaintBox32(this);
    pbCheckUsePW->OnPaintBuffer = [this](TPaintBox32* box) { CheckUsePw.PaintMO(box, mySf); };
    WireSelectBoxHover(pbCheckUsePW);
    pbCheckUsePW->OnClick = [this](TPaintBox32*) { ClickShowPassword(); };
    pbCancel = new TPaintBox32(this);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { done(platform::kPasswordCancel); };
    pbOk = new TPaintBox32(this);
    pbOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 1054); };
    pbOk->OnClick = [this](TPaintBox32*) { done(platform::kPasswordOk); };
    for (TPaintBox32* button : {pbCancel, pbOk}) WireButtonStates(button, true);
    CheckUsePw.SetLabel(996);
    mySf = DialogScale(dpi, owner, this);
    SetMode(true);
    ArrangeControls();
    edPW->setFocus();
}

void TAskPW::SetMode(bool fileMode) {
    myFilePW = fileMode || sftpManager.load() == nullptr;
    setWindowTitle(GetLangText(myFilePW ? 998 : 1251));
    pbInfo->Invalidate();
}

void TAskPW::SetFileName(const QString& name) {
    if (!myFilePW) {
        fnl = name;
        pbInfo->Invalidate();
        return;
    }
    if (!QFileInfo(name).isFile()) return;
    fnl = name;
    ArrangeControls();
}

QString TAskPW::GetPW() const { return edPW->text(); }

QString TAskPW::InfoText() const {
    if (myFilePW) return WithTextArgument(GetLangText(997), fnl.isEmpty() ? QString() : QFileInfo(fnl).fileName());
    return WithTextArgument(GetLangText(1252), fnl);
}

void TAskPW::ClickShowPassword() {
    CheckUsePw.DoClick();
    edPW->setEchoMode(CheckUsePw.GetIsSelected() ? QLineEdit::Normal : QLineEdit::Password);
    pbCheckUsePW->Invalidate();
}

bool TAskPW::PasswordShown() const { return edPW->echoMode() == QLineEdit::Normal; }

bool TAskPW::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edPW && event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            done(platform::kPasswordOk);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAskPW::PaintInfo(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clPanel32);
    b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText};
    b.DrawText(box->ClientRect(), InfoText(), kTextLeft | kTextWordBreak);
}

void TAskPW::ArrangeControls() {
    const double s = mySf;
    const int m = RoundI(16 * s);
    const int clientW = RoundI(500 * s);
    const TFont32 font{QStringLiteral("VERDANA"), RoundI(-12 * s), false, clText};
    pbInfo->Buffer().Font = font;
    const QRect wrapped = pbInfo->Buffer().MeasureText(QRect(0, 0, clientW - 2 * m, 10000), InfoText(),
                                                       kTextLeft | kTextWordBreak);
    pbInfo->setGeometry(m, m, clientW - 2 * m, std::max(wrapped.height(), 1));
    const int boxW = CheckUsePw.GetWidth(pbCheckUsePW, GetLangText(996), s);
    const int boxH = RoundI(33 * s);
    pbCheckUsePW->setGeometry(clientW - m - boxW, pbInfo->geometry().bottom() + 1 + m, boxW, boxH);
    SetEditStyle(edPW, s);
    const int editH = edPW->sizeHint().height();
    edPW->setGeometry(m, pbCheckUsePW->y() + (boxH - editH) / 2, pbCheckUsePW->x() - m - m, editH);
    for (TPaintBox32* button : {pbCancel, pbOk}) InitButton(button, s, true);
    const int buttonTop = pbCheckUsePW->geometry().bottom() + 1 + m;
    pbCancel->move(m, buttonTop);
    pbOk->move(clientW - m - pbOk->width(), buttonTop);
    setFixedSize(clientW, pbOk->geometry().bottom() + 1 + m);
    for (TPaintBox32* box : {pbInfo, pbCheckUsePW, pbCancel, pbOk}) box->Invalidate();
}

platform::PasswordAnswer AskPasswordWithPrompt(const platform::PasswordRequest& request) {
    TAskPW prompt(request.owner);
    prompt.SetMode(request.fileMode);
    prompt.SetFileName(request.name);
    const QPoint wanted = request.topLeft.value_or(QCursor::pos());
    prompt.move(FitRectToWorkArea(QRect(wanted, prompt.frameGeometry().size())));
    const int result = prompt.ShowModal();
    if (result != platform::kPasswordOk) return platform::PasswordAnswer{platform::kPasswordCancel, QString()};
    return platform::PasswordAnswer{platform::kPasswordOk, prompt.GetPW()};
}

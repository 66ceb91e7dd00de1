#include "reports/end_of_measurement_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/user_dialogs.h"
#include "reports/report_dialog_kit.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kPasswordShowMs = 3000;
// Files are enciphered from two characters on; a forced password needs five.
constexpr int kShortestCipherPassword = 2;
constexpr int kShortestForcedPassword = 5;

QString ShortPasswordHint() {
    return language.load() == kLangGerman ? QStringLiteral("Ein Passwort braucht mindestens 2 Zeichen.")
                                          : QStringLiteral("A password needs at least 2 characters.");
}

}  // namespace

TEndOfMeasurementForm::TEndOfMeasurementForm(QWidget* owner, double dpi)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    pbTopInfo = new TPaintBox32(this);
    pbTopInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintHeading(box); };
    pbSymbol = new TPaintBox32(this);
    pbSymbol->OnPaintBuffer = [this](TPaintBox32* box) { PaintSymbol(box); };
    Label1 = new QLabel(this);
    edPW = new QLineEdit(this);
    edPW2 = new QLineEdit(this);
    labelPW2 = new QLabel(this);
    lShortPW = new QLabel(this);
    for (QLineEdit* edit : {edPW, edPW2}) {
        edit->setEchoMode(QLineEdit::Password);
        InstallEnterEscapeFilter(edit);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] { EvaluateFinishRule(); });
    }
    pbShowPW = new TPaintBox32(this);
    pbShowPW->OnPaintBuffer = [this](TPaintBox32* box) { CshowPW.PaintMO(box, mySf); };
    WireSelectBoxHover(pbShowPW);
    pbShowPW->OnClick = [this](TPaintBox32*) { ClickShowPassword(); };
    pbLine = new TPaintBox32(this);
    pbLine->OnPaintBuffer = [](TPaintBox32* box) { box->Buffer().Clear(clFrame32); };
    pbInfo = new TPaintBox32(this);
    pbInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintVerification(box); };
    pbNoCal = new TPaintBox32(this);
    pbNoCal->OnPaintBuffer = [this](TPaintBox32* box) { CheckNoCal.PaintMO(box, mySf); };
    WireSelectBoxHover(pbNoCal);
    pbNoCal->OnClick = [this](TPaintBox32*) { ClickSkip(); };
    pbHints = new TPaintBox32(this);
    pbHints->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 945); };
    pbHints->OnClick = [this](TPaintBox32*) { ClickHints(); };
    pbKal = new TPaintBox32(this);
    pbKal->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 1087); };
    pbKal->OnClick = [this](TPaintBox32*) { ClickVerification(); };
    pbDone = new TPaintBox32(this);
    pbDone->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 944); };
    pbDone->OnClick = [this](TPaintBox32*) { TryFinish(); };
    for (TPaintBox32* button : {pbHints, pbKal, pbDone}) WireButtonStates(button, true);
    tPWShow = new QTimer(this);
    tPWShow->setSingleShot(true);
    tPWShow->setInterval(kPasswordShowMs);
    connect(tPWShow, &QTimer::timeout, this, [this] {
        CshowPW.SetSelected(false);
        SetPasswordVisible(false);
    });

    mySf = DialogScale(dpi, owner, this);
    edPW->clear();
    edPW2->clear();
    ApplyCaptions();
    ArrangeControls();
    EvaluateFinishRule();
}

void TEndOfMeasurementForm::ApplyCaptions() {
    setWindowTitle(GetLangText(948));
    Label1->setText(GetLangText(forcePW ? 1005 : 995));
    for (QLineEdit* edit : {edPW, edPW2}) edit->setToolTip(GetLangText(995));
    labelPW2->setText(GetLangText(1033));
    lShortPW->setText(ShortPasswordHint());
    CshowPW.SetLabel(996);
    CheckNoCal.SetLabel(947);
}

bool TEndOfMeasurementForm::VerificationRequiredAndOpen() const { return !noForceKal && !calDone; }

void TEndOfMeasurementForm::SetForceKal(bool force) {
    noForceKal = !force;
    calIgnore = !force;
    CheckNoCal.SetSelected(false);
    ArrangeControls();
    EvaluateFinishRule();
}

void TEndOfMeasurementForm::SetKalDone(platform::TDateTime time, double difference) {
    if (!(time > 0) || !(std::fabs(difference) < 50)) return;
    calDone = true;
    cnt = time;
    cnd = difference;
    CheckNoCal.SetEnable(false);
    ArrangeControls();
    for (TPaintBox32* box : {pbKal, pbInfo, pbSymbol, pbNoCal}) box->Invalidate();
    EvaluateFinishRule();
}

QString TEndOfMeasurementForm::GetPW() const { return edPW->text(); }

void TEndOfMeasurementForm::Show() {
    show();
    raise();
    activateWindow();
}

void TEndOfMeasurementForm::Hide() { hide(); }

bool TEndOfMeasurementForm::DoneVisible() const { return !pbDone->isHidden(); }

bool TEndOfMeasurementForm::ShortPasswordHintShown() const { return !lShortPW->isHidden(); }

bool TEndOfMeasurementForm::PasswordShown() const { return edPW->echoMode() == QLineEdit::Normal; }

void TEndOfMeasurementForm::EvaluateFinishRule() {
    const QString pw = edPW->text();
    const bool checkSettled = calIgnore || noForceKal || calDone;
    const bool longEnough = forcePW ? pw.size() >= kShortestForcedPassword
                                    : pw.isEmpty() || pw.size() >= kShortestCipherPassword;
    // Compared exactly: a repeat that differs only in letter case would
    // encipher the file with a password nobody typed.
    const bool repeated = pw == edPW2->text();
    pbDone->setVisible(checkSettled && longEnough && repeated);
    const bool hint = allowPW && !forcePW && pw.size() == 1;
    if (hint != ShortPasswordHintShown()) {
        lShortPW->setVisible(hint);
        ArrangeControls();
    }
}

void TEndOfMeasurementForm::TryFinish() {
    if (!DoneVisible()) return;
    if (VerificationRequiredAndOpen() && CheckNoCal.GetIsSelected()) {
        const QString question = QStringLiteral(
            "This is the only possibiltiy to perform the calibration after the measurement\r\n"
            "Are you sure not to perform the calibration?");
        if (AskMessageTexts(question, GetLangText(948), GetLangText(1143), GetLangText(403), this) !=
            platform::kMessageLeft) {
            return;
        }
    }
    PostMainNotify(kNotifyEndDialogDone, 0);
}

void TEndOfMeasurementForm::ClickSkip() {
    if (!CheckNoCal.GetIsEnabled() || !VerificationRequiredAndOpen()) return;
    CheckNoCal.DoClick();
    calIgnore = CheckNoCal.GetIsSelected();
    EvaluateFinishRule();
    pbNoCal->Invalidate();
}

void TEndOfMeasurementForm::ClickShowPassword() {
    tPWShow->stop();
    CshowPW.DoClick();
    SetPasswordVisible(CshowPW.GetIsSelected());
    if (CshowPW.GetIsSelected()) tPWShow->start();
}

void TEndOfMeasurementForm::SetPasswordVisible(bool visible) {
    for (QLineEdit* edit : {edPW, edPW2}) edit->setEchoMode(visible ? QLineEdit::Normal : QLineEdit::Password);
    pbShowPW->Invalidate();
}

void TEndOfMeasurementForm::ClickVerification() {
    if (!calDone) PostMainNotify(kNotifyVerifyAfterMeasurement, 0);
}

void TEndOfMeasurementForm::ClickHints() { PostMainNotify(kNotifyShowHints, kShowHintsBelowEndDialog); }

QString TEndOfMeasurementForm::VerificationText() const {
    if (calDone) {
        return GetLangText(129) + QStringLiteral(": ") + TimeText(cnt) + QLatin1Char('\n') +
               WithTextArgument(GetLangText(951), FixedText(std::fabs(cnd), 1));
    }
    return noForceKal ? QString() : GetLangText(65);
}

void TEndOfMeasurementForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    TryFinish();
}

bool TEndOfMeasurementForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edPW && event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            edPW2->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TEndOfMeasurementForm::PaintHeading(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), true, clText};
    b.DrawText(box->ClientRect(), GetLangText(1216), kTextLeft | kTextVCenter | kTextWordBreak);
}

void TEndOfMeasurementForm::PaintSymbol(TPaintBox32* box) {
    box->Buffer().Clear(clBack32);
    DrawSymbolFull(box, VerificationRequiredAndOpen() ? kSymbolWarning : kSymbolInfoFilled);
}

void TEndOfMeasurementForm::PaintVerification(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText};
    b.DrawText(box->ClientRect(), VerificationText(), kTextLeft | kTextVCenter | kTextWordBreak);
}

void TEndOfMeasurementForm::ArrangeControls() {
    const double s = mySf;
    const int m = RoundI(8 * s);
    const QFont font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * s), false, clText}.ToQFont();
    setFont(font);
    for (QLabel* label : {Label1, labelPW2, lShortPW}) label->setFont(font);
    for (QLineEdit* edit : {edPW, edPW2}) SetEditStyle(edit, s);
    // Buttons first: their common width sets the smallest client width.
    int r = 0;
    for (const auto& [button, id] : {std::pair{pbHints, 945}, std::pair{pbKal, 1087}, std::pair{pbDone, 944}}) {
        InitButton(button, s, false);
        r = std::max(r, ButtonWidthFor(button, GetLangText(id), s));
    }
    const int headingH = RoundI(50 * s);
    int bottom = m + headingH;
    int areaWidth = 0;
    const bool pwArea = allowPW;
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(edPW), static_cast<QWidget*>(pbShowPW),
                       static_cast<QWidget*>(edPW2), static_cast<QWidget*>(labelPW2)}) {
        w->setVisible(pwArea);
    }
    if (!pwArea) lShortPW->setVisible(false);
    if (pwArea) {
        Label1->adjustSize();
        Label1->move(m, bottom + m);
        bottom = Label1->geometry().bottom() + 1;
        const int editW = RoundI(220 * s);
        const int editH = edPW->sizeHint().height();
        edPW->setGeometry(m, bottom + m, editW, editH);
        const int boxW = CshowPW.GetWidth(pbShowPW, GetLangText(996), s);
        pbShowPW->setGeometry(edPW->geometry().right() + 1 + m, edPW->y(), boxW, editH);
        edPW2->setGeometry(m, edPW->geometry().bottom() + 1 + m, editW, editH);
        labelPW2->adjustSize();
        labelPW2->move(pbShowPW->x(), edPW2->y() + (editH - labelPW2->height()) / 2);
        bottom = edPW2->geometry().bottom() + 1;
        areaWidth = std::max({Label1->geometry().right(), pbShowPW->geometry().right(), labelPW2->geometry().right()}) +
                    1 + m;
        if (!lShortPW->isHidden()) {
            lShortPW->adjustSize();
            lShortPW->move(m, bottom + m / 2);
            bottom = lShortPW->geometry().bottom() + 1;
            areaWidth = std::max(areaWidth, lShortPW->geometry().right() + 1 + m);
        }
    }
    const int clientW = std::max(areaWidth, 4 * m + 3 * r);
    pbLine->setVisible(pwArea && !noForceKal);
    if (pbLine->isVisibleTo(this)) {
        pbLine->setGeometry(0, bottom + m, clientW, 1);
        bottom = pbLine->geometry().bottom() + 1;
    }
    const bool infoShown = !noForceKal || calDone;
    pbInfo->setVisible(infoShown);
    if (infoShown) {
        // A long text in a narrow window wraps; the box grows with it.
        pbInfo->Buffer().Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * s), false, clText};
        const int textH = pbInfo->Buffer()
                              .MeasureText(QRect(0, 0, clientW - 2 * m, 10000), VerificationText(), kTextWordBreak)
                              .height();
        pbInfo->setGeometry(m, bottom + m, clientW - 2 * m, std::max(RoundI((calDone ? 40 : 25) * s), textH + 2));
        bottom = pbInfo->geometry().bottom() + 1;
    }
    const bool skipShown = VerificationRequiredAndOpen() || (!noForceKal && !CheckNoCal.GetIsEnabled());
    pbNoCal->setVisible(skipShown && !calDone);
    if (!pbNoCal->isHidden()) {
        pbNoCal->setGeometry(m, bottom + m, clientW - 2 * m, RoundI(25 * s));
        bottom = pbNoCal->geometry().bottom() + 1;
    }
    const int buttonH = RoundI(33 * s);
    const int buttonTop = bottom + m;
    pbHints->setGeometry(m, buttonTop, r, buttonH);
    pbKal->setGeometry(RoundI((clientW - r) / 2.0), buttonTop, r, buttonH);
    pbDone->setGeometry(clientW - m - r, buttonTop, r, buttonH);
    pbSymbol->setGeometry(m, m, headingH, headingH);
    pbTopInfo->setGeometry(2 * m + headingH, m, clientW - m - (2 * m + headingH), headingH);
    setFixedSize(clientW, buttonTop + buttonH + m);
    for (TPaintBox32* box : {pbTopInfo, pbSymbol, pbShowPW, pbLine, pbInfo, pbNoCal, pbHints, pbKal, pbDone}) {
        box->Invalidate();
    }
}

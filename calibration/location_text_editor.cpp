#include "calibration/location_text_editor.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kCodeEditKorrDone = 293;
constexpr int32_t kMeasuringPosition = 8;

void Colour(QWidget* widget, bool fill) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColorOf(clBack));
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    widget->setPalette(palette);
    widget->setAutoFillBackground(fill);
}

}  // namespace

TEditKorr::TEditKorr(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("EditKorr"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);
    Colour(this, true);
    label1_ = new QLabel(this);
    label2_ = new QLabel(this);
    label3_ = new QLabel(this);
    for (QLabel* label : {label1_, label2_, label3_}) Colour(label, false);
    mDaten_ = new QPlainTextEdit(this);
    mDaten_->setObjectName(QStringLiteral("mDaten"));
    connect(mDaten_, &QPlainTextEdit::textChanged, this, [this] { UpdateButtons(); });
    pbCancel_ = new TPaintBox32(this);
    pbOk_ = new TPaintBox32(this);
    pbCancel_->setObjectName(QStringLiteral("pbCancel"));
    pbOk_->setObjectName(QStringLiteral("pbOk"));
    pbCancel_->OnPaintBuffer = [](TPaintBox32* b) { PaintButtonText(b, 403); };
    pbOk_->OnPaintBuffer = [](TPaintBox32* b) { PaintButtonText(b, 427); };
    pbOk_->OnClick = [this](TPaintBox32*) {
        if (!MemoHasText(mDaten_)) return;
        answered_ = true;
        PostMainNotifyAlways(kCodeEditKorrDone, 1);
    };
    pbCancel_->OnClick = [this](TPaintBox32*) {
        answered_ = true;
        PostMainNotifyAlways(kCodeEditKorrDone, 0);
    };
    pbOk_->hide();
    pbLowChar_ = new TPaintBox32(this);
    pbLowChar_->setObjectName(QStringLiteral("pbLowChar"));
    pbLowChar_->OnPaintBuffer = [this](TPaintBox32* b) { DrawHintLine(b, mySf_); };
    ApplyDpi(LogicalDpiOf(this));
}

QString TEditKorr::CaptionFor(int32_t mode) {
    if (mode == kMeasuringPosition) return GetLangText(638);
    QStringList letters;
    if (mode & 1) letters << QStringLiteral("A");
    if (mode & 2) letters << QStringLiteral("C");
    if (mode & 4) letters << QStringLiteral("Flat");
    return GetLangText(636) + QStringLiteral(" (") + letters.join(QStringLiteral(" + ")) + QLatin1Char(')');
}

bool TEditKorr::SetMode(int32_t newMode) {
    if (newMode == myMode_) return false;
    myMode_ = newMode;
    setWindowTitle(CaptionFor(newMode));
    const bool position = newMode == kMeasuringPosition;
    label1_->setText(GetLangText(position ? 627 : 619));
    label2_->setText(GetLangText(position ? 628 : 941));
    label3_->setText(GetLangText(position ? 629 : 942));
    return true;
}

bool TEditKorr::SetIt(const QString& theText) {
    SetMemoText(mDaten_, theText);
    UpdateButtons();
    return !pbOk_->isHidden();
}

QString TEditKorr::GetIt() const { return mDaten_->toPlainText(); }

void TEditKorr::UpdateButtons() {
    const bool ok = MemoHasText(mDaten_);
    pbOk_->setVisible(ok);
    pbLowChar_->setVisible(!ok);
}

void TEditKorr::ApplyDpi(double dpi) {
    mySf_ = dpi / 96.0;
    mySpace_ = RoundI(16 * mySf_);
    QFont font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf_), false, clText}.ToQFont();
    setFont(font);
    QFont bold = font;
    bold.setBold(true);
    label1_->setFont(bold);
    SetMemoStyle(mDaten_, mySf_);
    for (TPaintBox32* button : {pbCancel_, pbOk_}) {
        InitButton(button, mySf_, true);
        WireButtonStates(button, true);
    }
    Layout();
}

void TEditKorr::Layout() {
    const int g = RoundI(7 * mySf_);
    const int width = RoundI(520 * mySf_);
    int y = mySpace_;
    for (QLabel* label : {label1_, label2_, label3_}) {
        const int h = QFontMetrics(label->font()).height();
        label->setGeometry(mySpace_, y, width - 2 * mySpace_, h);
        y += h + g;
    }
    mDaten_->setGeometry(mySpace_, y, width - 2 * mySpace_, RoundI(130 * mySf_));
    const int buttonTop = mDaten_->geometry().bottom() + 1 + mySpace_;
    pbCancel_->move(mySpace_, buttonTop);
    pbOk_->move(width - mySpace_ - pbOk_->width(), buttonTop);
    const int height = buttonTop + pbOk_->height() + mySpace_;
    const int hintLeft = pbCancel_->geometry().right() + 1 + mySpace_;
    const int hintTop = mDaten_->geometry().bottom() + 1 + g;
    pbLowChar_->setGeometry(hintLeft, hintTop, width - mySpace_ - hintLeft, height - g - hintTop);
    setFixedSize(width, height);
    pbLowChar_->Invalidate();
}

void TEditKorr::closeEvent(QCloseEvent* event) {
    if (!answered_) PostMainNotifyAlways(kCodeEditKorrDone, 0);
    answered_ = true;
    hide();
    event->ignore();
}

void TEditKorr::reject() { close(); }

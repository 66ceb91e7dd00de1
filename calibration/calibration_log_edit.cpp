#include "calibration/calibration_log_edit.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

#include <algorithm>

#include "calibration/calibration_log.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kDesignWidth = 384;
constexpr uint32_t kHeaderFlags = kTextLeft | kTextWordBreak | kTextEndEllipsis;

}  // namespace

TCalLogEdit::TCalLogEdit(TCalLog* log, std::function<void()> saved, QWidget* owner)
    : QDialog(owner), log_(log), saved_(std::move(saved)) {
    setObjectName(QStringLiteral("TCalLogEdit"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    mySf_ = LogicalDpiOf(this) / 96.0;
    mySpace_ = RoundI(16 * mySf_);
    setFont(QFont(QStringLiteral("VERDANA")));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColorOf(clBack));
    setPalette(palette);
    setAutoFillBackground(true);

    pbTop_ = new TPaintBox32(this);
    pbTop_->setObjectName(QStringLiteral("pbTop"));
    pbTop_->OnPaintBuffer = [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        b.Font.height = RoundI(-12 * mySf_);
        b.Font.color = clText;
        b.DrawText(box->ClientRect(), HeaderText(), kHeaderFlags);
    };
    mEdit_ = new QPlainTextEdit(this);
    mEdit_->setObjectName(QStringLiteral("mEdit"));
    SetMemoStyle(mEdit_, mySf_);
    connect(mEdit_, &QPlainTextEdit::textChanged, this, [this] { pbTop_->Invalidate(); });
    auto button = [this](const char* name, const QString& caption, std::function<void()> click) {
        auto* box = new TPaintBox32(this);
        box->setObjectName(QString::fromLatin1(name));
        InitButton(box, mySf_, true);
        WireButtonStates(box, true);
        box->OnPaintBuffer = [caption](TPaintBox32* b) { PaintButton(b, caption, true, false); };
        box->OnClick = [click = std::move(click)](TPaintBox32*) { click(); };
        return box;
    };
    pbOk_ = button("pbOk", QStringLiteral("OK"), [this] { pbOkClick(); });
    pbCancel_ = button("pbCancel", GetLangText(403), [this] { pbCancelClick(); });
    Layout();
}

bool TCalLogEdit::InitLog(int32_t eId, platform::WindowHandle meHa, int32_t mode) {
    if (log_ == nullptr || !log_->IsIdValid(eId)) return false;
    myMeHa_ = meHa;
    myMode_ = mode;
    isOff_ = log_->GetEntryIsOff(eId);
    setWindowTitle(GetLangText(isOff_ ? 1031 : 1107));
    serial_ = log_->GetEntrySerial(eId);
    mEdit_->clear();
    mEdit_->setPlainText(log_->GetEntryRemark(eId));
    QTextCursor cursor = mEdit_->textCursor();
    cursor.movePosition(QTextCursor::Start);
    mEdit_->setTextCursor(cursor);
    closing_ = false;
    Layout();
    return true;
}

int32_t TCalLogEdit::EntryId() const { return log_ != nullptr && serial_ != 0 ? log_->FindSerial(serial_) : -1; }

QString TCalLogEdit::HeaderText() const {
    const int32_t id = EntryId();
    if (id < 0) return QString();
    const QString when = DateTimeText(log_->GetEntryDateTime(id));
    return WithTextArgument(GetLangText(isOff_ ? 1032 : 1108), when) + log_->GetEntryCalStr(id);
}

void TCalLogEdit::pbOkClick() {
    const int32_t id = EntryId();
    if (id >= 0) {
        log_->SetEntryRemark(id, mEdit_->toPlainText());
        if (saved_) saved_();
    }
    close();
}

void TCalLogEdit::closeEvent(QCloseEvent* event) {
    // The receiver frees the editor; a second close before that posts nothing more.
    if (!closing_) {
        closing_ = true;
        platform::PostMessage(myMeHa_, WM_MAIN_NOTIFY, kNotifyCalLogEditDone, myMode_);
    }
    QDialog::closeEvent(event);
}

void TCalLogEdit::Layout() {
    const int m = mySpace_;
    const int clientWidth = RoundI(kDesignWidth * mySf_);
    const int width = clientWidth - 2 * m;
    TBitmap32& b = pbTop_->Buffer();
    b.Font.height = RoundI(-12 * mySf_);
    const QRect header = b.MeasureText(QRect(0, 0, width, 1000), HeaderText(), kTextLeft | kTextWordBreak);
    pbTop_->setGeometry(m, m, width, std::max(header.height(), RoundI(16 * mySf_)));
    mEdit_->setGeometry(m, pbTop_->geometry().bottom() + 1 + m, width, RoundI(120 * mySf_));
    const int buttonTop = mEdit_->geometry().bottom() + 1 + m;
    pbOk_->move(mEdit_->geometry().right() + 1 - pbOk_->width(), buttonTop);
    pbCancel_->move(m, buttonTop);
    setFixedSize(clientWidth, buttonTop + pbOk_->height() + m);
    pbTop_->Invalidate();
}

#include "calibration/pre_start_dialogs.h"

#include <QPlainTextEdit>

#include <algorithm>

#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/text_table.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr uint32_t kWrapFlags = kTextLeft | kTextWordBreak;
constexpr uint32_t kLineFlags = kTextLeft | kTextSingleLine;

void AppendLine(QString& lines, const QString& line) { lines = lines.isEmpty() ? line : lines + kCrLf + line; }

void FillWith(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColorOf(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TPaintBox32* NewButton(QWidget* parent, const QString& name, const QString& caption, double scale) {
    auto* button = new TPaintBox32(parent);
    button->setObjectName(name);
    InitButton(button, scale, true);
    WireButtonStates(button, true);
    button->OnPaintBuffer = [caption](TPaintBox32* b) { PaintButton(b, caption, true, true); };
    return button;
}

void StyleDialog(QDialog* dialog, int32_t captionId) {
    dialog->setWindowTitle(GetLangText(captionId));
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setFont(QFont(QStringLiteral("VERDANA")));
    FillWith(dialog, clBack);
}

}  // namespace

// --- TiKal ---

TiKal::TiKal(QWidget* owner) : QDialog(owner) {
    StyleDialog(this, 234);
    mySf_ = LogicalDpiOf(this) / 96.0;
    mySpace_ = RoundI(16 * mySf_);
    pbMain_ = new TPaintBox32(this);
    pbMain_->setObjectName(QStringLiteral("pbMain"));
    pbMain_->OnPaintBuffer = [this](TPaintBox32* box) { Paint(box); };
    pbMain_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int, int y) {
        if (button != Qt::LeftButton) return;
        if (const int32_t answer = AnswerAt(y)) done(answer);
    };
    pButtons_ = new QWidget(this);
    FillWith(pButtons_, clBack);
    pbCancel_ = NewButton(pButtons_, QStringLiteral("pbCancel"), GetLangText(268), mySf_);
    pbSonst_ = NewButton(pButtons_, QStringLiteral("pbSonst"), GetLangText(269), mySf_);
    pbDoIt_ = NewButton(pButtons_, QStringLiteral("pbDoIt"), doItText_, mySf_);
    pbCancel_->OnClick = [this](TPaintBox32*) { done(kKalCancel); };
    pbSonst_->OnClick = [this](TPaintBox32*) { done(kKalCalibrate); };
    pbDoIt_->OnClick = [this](TPaintBox32*) {
        if (pbDoIt_->isVisible()) done(fileIsOk_ ? kKalStart : kKalCancel);
    };
    Layout();
}

void TiKal::SetFileStatus(int32_t fileCheckResult) {
    fCheckResult_ = fileCheckResult;
    fileIsOk_ = fileCheckResult == 0;
    pbDoIt_->setVisible(fileIsOk_);
    Layout();
}

void TiKal::SetFileName(const QString& fn) {
    dateiName_ = fn;
    Layout();
}

void TiKal::AddLocText(const QString& line) {
    AppendLine(locS_, line);
    Layout();
}

void TiKal::AddModeText(const QString& line) {
    AppendLine(modS_, line);
    Layout();
}

void TiKal::AddErrorText(const QString& line) {
    AppendLine(es_, line);
    Layout();
}

void TiKal::ClearLines() {
    locS_.clear();
    modS_.clear();
    es_.clear();
    rLoc_ = rMode_ = rFile_ = rError_ = dInfoR_ = QRect();
    Layout();
}

bool TiKal::SetWarnMode(int32_t newWarnMode) {
    if (newWarnMode == warnMode_) return false;
    warnMode_ = newWarnMode;
    pbMain_->Invalidate();
    return true;
}

void TiKal::SetDoItText(const QString& theLabel) {
    doItText_ = theLabel;
    pbDoIt_->OnPaintBuffer = [theLabel](TPaintBox32* b) { PaintButton(b, theLabel, true, true); };
    Layout();
}

void TiKal::SetCalibrateVisible(bool visible) { pbSonst_->setVisible(visible); }

void TiKal::UpdateDisplay() {
    Layout();
    pbMain_->Invalidate();
}

QString TiKal::ShownFileName() const {
    ReportNaming* naming = reportNaming();
    return naming != nullptr ? naming->SymbolicPath(dateiName_) : dateiName_;
}

int32_t TiKal::AnswerAt(int y) const {
    auto within = [y](const QRect& r) { return !r.isEmpty() && y >= r.top() && y <= r.bottom(); };
    if (!es_.isEmpty() && within(rError_)) return kKalCalibrate;
    if (within(rLoc_)) return kKalDataEntry;
    if (within(rMode_)) return kKalOptions;
    return 0;
}

void TiKal::Layout() {
    const int m = mySpace_;
    int w = 0;
    for (const QString& caption : {GetLangText(268), GetLangText(269), doItText_})
        w = std::max(w, ButtonWidthFor(pbCancel_, caption, mySf_));
    const int clientWidth = 4 * m + 3 * w;
    const int buttonHeight = pbCancel_->height();
    for (TPaintBox32* button : {pbCancel_, pbSonst_, pbDoIt_}) button->resize(w, buttonHeight);
    pbCancel_->move(m, m);
    pbSonst_->move(RoundI((clientWidth - w) * 0.5), m);
    pbDoIt_->move(clientWidth - w - m, m);

    const int areaWidth = clientWidth - m;
    TBitmap32& buffer = pbMain_->Buffer();
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.height = RoundI(-12 * mySf_);
    buffer.Font.bold = false;
    const int symbol = RoundI(48 * mySf_);
    const int symbolLeft = areaWidth - m - symbol;
    rLoc_ = buffer.MeasureText(QRect(m, 0, std::max(1, symbolLeft - m), 10000), locS_, kWrapFlags);
    const int modeTop = rLoc_.bottom() + 1 + m;
    const int modeRight = modeTop < symbol ? symbolLeft - m : areaWidth - m;
    rMode_ = buffer.MeasureText(QRect(m, modeTop, std::max(1, modeRight - m), 10000), modS_, kLineFlags);
    rMode_.setWidth(std::max(rMode_.width(), modeRight - m));
    ds_ = fCheckResult_ == 0 ? GetLangText(833) + QStringLiteral(": ")
                             : (fCheckResult_ == 1 || fCheckResult_ == 2 ? GetLangText(916) : QString());
    const int diskTop = rMode_.bottom() + 1 + m;
    const QSize disk = buffer.TextExtent(ds_.isEmpty() ? QStringLiteral("X") : ds_);
    dInfoR_ = QRect(m, diskTop, buffer.TextWidth(ds_), disk.height());
    rFile_ = QRect(dInfoR_.right() + 1, diskTop, std::max(1, areaWidth - m - dInfoR_.right() - 1), disk.height());
    int bottom = rFile_.bottom() + 1;
    if (!es_.isEmpty()) {
        buffer.Font.bold = true;
        rError_ = buffer.MeasureText(QRect(m, bottom + m, areaWidth - 2 * m, 10000), es_, kWrapFlags);
        buffer.Font.bold = false;
        bottom = rError_.bottom() + 1;
    } else {
        rError_ = QRect();
    }
    const int areaHeight = bottom + m;
    pbMain_->setGeometry(m, m, areaWidth, areaHeight);
    const int panelHeight = 2 * m + buttonHeight;
    pButtons_->setGeometry(0, m + areaHeight, clientWidth, panelHeight);
    setFixedSize(clientWidth, m + areaHeight + panelHeight);
    pbMain_->Invalidate();
}

void TiKal::Paint(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clBack32);
    buffer.Font.color = clText;
    buffer.Font.bold = false;
    if (warnMode_ >= 0) {
        const int32_t symbols[] = {kSymbolInfoOutlined, kSymbolWarning, kSymbolWarning};
        DrawInfoSymbol(box, symbols[std::min(warnMode_, 2)], mySf_);
    }
    // The symbol draws with a font of its own: the texts get the one they were measured with.
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.height = RoundI(-12 * mySf_);
    buffer.Font.color = clText;
    buffer.Font.bold = false;
    buffer.DrawText(rLoc_, locS_, kWrapFlags);
    buffer.DrawText(rMode_, modS_, kLineFlags);
    buffer.DrawText(dInfoR_, ds_, kLineFlags);
    if (fileIsOk_) buffer.DrawText(rFile_, ShownFileName(), kLineFlags | kTextPathEllipsis);
    if (!es_.isEmpty()) {
        buffer.Font.bold = true;
        buffer.Font.color = WinColor(clAccent32);
        buffer.DrawText(rError_, es_, kWrapFlags);
    }
}

// --- TiLevel ---

TiLevel::TiLevel(QWidget* owner) : QDialog(owner) {
    StyleDialog(this, 317);
    mySf_ = LogicalDpiOf(this) / 96.0;
    mySpace_ = RoundI(16 * mySf_);
    pbText_ = new TPaintBox32(this);
    pbText_->setObjectName(QStringLiteral("pbText"));
    pbText_->OnPaintBuffer = [this](TPaintBox32* box) { Paint(box); };
    panel_ = new QWidget(this);
    FillWith(panel_, clBack);
    mLimit_ = new QPlainTextEdit(panel_);
    mLimit_->setObjectName(QStringLiteral("mLimit"));
    SetMemoStyle(mLimit_, mySf_);
    pbAbbruch_ = NewButton(panel_, QStringLiteral("pbAbbruch"), GetLangText(268), mySf_);
    pbCal_ = NewButton(panel_, QStringLiteral("pbCal"), GetLangText(269), mySf_);
    pbTrotzdem_ = NewButton(panel_, QStringLiteral("pbTrotzdem"), GetLangText(270), mySf_);
    pbAbbruch_->OnClick = [this](TPaintBox32*) { done(kLevelCancel); };
    pbCal_->OnClick = [this](TPaintBox32*) { done(kLevelCalibrate); };
    pbTrotzdem_->OnClick = [this](TPaintBox32*) { done(kLevelStartAnyway); };
    Layout();
}

void TiLevel::SetHeader(const QString& headerText) {
    headerText_ = headerText;
    Layout();
}

void TiLevel::SetText(const QString& anzeige) {
    infoText_ = anzeige;
    Layout();
}

void TiLevel::SetLimitText(const QString& text) { mLimit_->setPlainText(text); }

QString TiLevel::GetLimitText() const { return mLimit_->toPlainText(); }

void TiLevel::Layout() {
    const int m = mySpace_;
    int w = 0;
    for (int32_t id : {268, 269, 270}) w = std::max(w, ButtonWidthFor(pbAbbruch_, GetLangText(id), mySf_));
    const int clientWidth = 3 * w + 4 * m;
    const int areaWidth = clientWidth - 2 * m;
    TBitmap32& buffer = pbText_->Buffer();
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.height = RoundI(-12 * mySf_);
    buffer.Font.bold = true;
    const int textRight = areaWidth - m - RoundI(48 * mySf_);
    const QRect header = buffer.MeasureText(QRect(0, 0, std::max(1, textRight), 10000), headerText_, kWrapFlags);
    const QRect info =
        buffer.MeasureText(QRect(0, header.bottom() + 1 + m, std::max(1, textRight), 10000), infoText_, kWrapFlags);
    const int areaHeight = std::max(info.bottom() + 1, RoundI(48 * mySf_));
    pbText_->setGeometry(m, m, areaWidth, areaHeight);
    const int buttonHeight = pbAbbruch_->height();
    const int memoHeight = RoundI(75 * mySf_);
    const int panelHeight = 3 * m + buttonHeight + memoHeight;
    panel_->setGeometry(0, m + areaHeight, clientWidth, panelHeight);
    mLimit_->setGeometry(m, m, areaWidth, memoHeight);
    const int buttonTop = panelHeight - m - buttonHeight;
    for (TPaintBox32* button : {pbAbbruch_, pbCal_, pbTrotzdem_}) button->resize(w, buttonHeight);
    pbAbbruch_->move(m, buttonTop);
    pbCal_->move(RoundI((clientWidth - w) * 0.5), buttonTop);
    pbTrotzdem_->move(clientWidth - m - w, buttonTop);
    setFixedSize(clientWidth, m + areaHeight + panelHeight);
    pbText_->Invalidate();
}

void TiLevel::Paint(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clBack32);
    DrawInfoSymbol(box, kSymbolWarning, mySf_);
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.height = RoundI(-12 * mySf_);
    const int textRight = box->width() - mySpace_ - RoundI(48 * mySf_);
    buffer.Font.bold = true;
    buffer.Font.color = clText;
    const QRect header = buffer.MeasureText(QRect(0, 0, std::max(1, textRight), 10000), headerText_, kWrapFlags);
    buffer.DrawText(QRect(0, 0, std::max(1, textRight), header.height()), headerText_, kWrapFlags);
    buffer.Font.color = WinColor(clAccent32);
    buffer.DrawText(QRect(0, header.bottom() + 1 + mySpace_, std::max(1, textRight), 10000), infoText_, kWrapFlags);
}

#include "calibration/calibration_table.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

#include "calibration/calibration_log.h"
#include "calibration/calibration_log_edit.h"
#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr uint32_t kWrap = kTextLeft | kTextWordBreak;
constexpr uint32_t kOneLine = kTextLeft | kTextSingleLine | kTextEndEllipsis;
const QString kNoDevice = QStringLiteral("---");

// Fixed-point with the regional separator, as the list shows values.
QString Fixed(double value, int decimals) { return FixedText(value, decimals); }

bool IsCalibrationKind(int32_t mode) { return (mode & kCalFamilyCalibration) != 0; }

}  // namespace

TShowCalTable::TShowCalTable(TCalLog* log, std::function<void()> saved, platform::WindowHandle owner,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      log_(log), saved_(std::move(saved)), owner_(owner) {
    setObjectName(QStringLiteral("TShowCalTable"));
    setWindowTitle(GetLangText(1009));
    mySf_ = LogicalDpiOf(this) / 96.0;
    setFont(QFont(QStringLiteral("VERDANA")));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColorOf(clBack));
    setPalette(palette);
    setAutoFillBackground(true);
    handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t) {
        if (msg == WM_MAIN_NOTIFY && code == kNotifyCalLogEditDone) EditorClosed();
    });

    auto box = [this](const char* name, std::function<void(TPaintBox32*)> paint) {
        auto* b = new TPaintBox32(this);
        b->setObjectName(QString::fromLatin1(name));
        b->OnPaintBuffer = std::move(paint);
        return b;
    };
    pbMain_ = box("pbMain", [this](TPaintBox32* b) { PaintList(b); });
    pbMain_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int, int y) { PressList(y); };
    pbRight_ = box("pbRight", [this](TPaintBox32* b) { PaintArrows(b); });
    pbRight_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) {
        if (rUp_.contains(x, y)) ScrollUp();
        if (rDown_.contains(x, y)) ScrollDown();
    };
    pbRight_->OnMouseUp = [this](TPaintBox32* b, Qt::MouseButton, int, int) {
        bUp_ = bDown_ = false;
        b->Invalidate();
    };
    pbBottom_ = box("pbBottom", [this](TPaintBox32* b) { PaintDetails(b); });
    pbBottom_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int, int) { EditClick(); };
    pbBottom_->OnMouseUp = [](TPaintBox32* b, Qt::MouseButton, int, int) { b->Invalidate(); };
    pbDevice_ = box("pbDevice", [this](TPaintBox32* b) { PaintDevice(b); });
    auto button = [this](const char* name, int32_t caption, std::function<void()> click) {
        auto* b = new TPaintBox32(this);
        b->setObjectName(QString::fromLatin1(name));
        InitButton(b, mySf_, true);
        WireButtonStates(b, true);
        b->OnPaintBuffer = [caption](TPaintBox32* p) { PaintButton(p, GetLangText(caption), true, false); };
        b->OnClick = [click = std::move(click)](TPaintBox32*) { click(); };
        return b;
    };
    pbClose_ = button("pbClose", 19, [this] { close(); });
    pbDelete_ = button("pbDelete", 1012, [this] { DeleteClick(); });
    pbEdit_ = button("pbEdit", 1013, [this] { EditClick(); });
    BuildMenu();

    if (log_ != nullptr) myDevList_ = log_->GetDevicesList();
    DoFilter(kFilterAll);
    SelectRow(0, true);
}

TShowCalTable::~TShowCalTable() {
    platform::UnregisterWindow(handle_);
    delete hce_;
}

void TShowCalTable::BuildMenu() {
    mainM_ = new QMenuBar(this);
    mmMain_ = mainM_->addMenu(GetLangText(1016));
    mmMain_->setObjectName(QStringLiteral("mmMain"));
    QAction* print = mmMain_->addAction(GetLangText(698), this, [this] { PrintList(); });
    print->setObjectName(QStringLiteral("mmPrint"));
    mmMain_->addSeparator();
    mmMain_->addAction(GetLangText(1017), this, [this] { ClearAllClick(); })->setObjectName(QStringLiteral("mmClearAll"));
    mmMain_->addSeparator();
    mmMain_->addAction(GetLangText(19), this, [this] { close(); })->setObjectName(QStringLiteral("mmExit"));
    miFilter_ = mainM_->addMenu(GetLangText(1096));
    miFilter_->setObjectName(QStringLiteral("miFilter"));
    miFilterKal_ = miFilter_->addAction(GetLangText(430), this, [this] { DoFilter(kFilterCalibrations); });
    miFilterOff_ = miFilter_->addAction(GetLangText(1087), this, [this] { DoFilter(kFilterVerifications); });
    miFilterAll_ = miFilter_->addAction(GetLangText(1097), this, [this] { DoFilter(kFilterAll); });
    for (QAction* a : {miFilterKal_, miFilterOff_, miFilterAll_}) a->setCheckable(true);
    miFilter_->addSeparator();
    mmFDSel_ = miFilter_->addMenu(GetLangText(1161));
    mmFDSel_->setObjectName(QStringLiteral("mmFDSel"));
    connect(miFilter_, &QMenu::aboutToShow, this, [this] { PrepareFilterMenu(); });
}

void TShowCalTable::PrepareFilterMenu() {
    miFilterKal_->setChecked(filter_ == kFilterCalibrations);
    miFilterOff_->setChecked(filter_ == kFilterVerifications);
    miFilterAll_->setChecked(filter_ == kFilterAll);
    mmFDSel_->menuAction()->setCheckable(true);
    mmFDSel_->menuAction()->setChecked(myDevFilterId_ >= 0);
    if (myDevList_.size() <= 1) return;
    mmFDSel_->clear();
    QAction* all = mmFDSel_->addAction(GetLangText(1165), this, [this] { SetDeviceFilter(-1); });
    all->setCheckable(true);
    all->setChecked(myDevFilterId_ < 0);
    mmFDSel_->addSeparator();
    for (int32_t i = 0; i < myDevList_.size(); ++i) {
        QAction* device = mmFDSel_->addAction(myDevList_[i], this, [this, i] { SetDeviceFilter(i); });
        device->setCheckable(true);
        device->setChecked(myDevFilterId_ == i);
    }
}

// --- filtering and selection ---

void TShowCalTable::DoFilter(int32_t newFilter) {
    if (log_ == nullptr) return;
    filter_ = newFilter;
    aFiltered_.clear();
    const bool byDevice = myDevFilterId_ >= 0 && myDevList_.size() > 1;
    const QString device = byDevice ? myDevList_[myDevFilterId_] : QString();
    for (int32_t id = 0; id < log_->NumEntries(); ++id) {
        if ((log_->GetEntryMode(id) & filter_) == 0) continue;
        if (byDevice && log_->GetEntryDevice(id).compare(device, Qt::CaseInsensitive) != 0) continue;
        aFiltered_.push_back(id);
    }
    // The rest of the window follows the list's new height.
    Layout();
    startId_ = 0;
    // A selection past the end of a shorter list is no selection.
    SelectRow(selId_ < ListLength() ? selId_ : -1, true);
    RepaintAll();
}

void TShowCalTable::SetDeviceFilter(int32_t index) {
    const int32_t chosen = index >= 0 && index < myDevList_.size() ? index : -1;
    if (chosen == myDevFilterId_) return;
    myDevFilterId_ = chosen;
    DoFilter(filter_);
}

void TShowCalTable::SizeList() {
    TBitmap32& b = pbMain_->Buffer();
    b.Font.height = RoundI(-11 * mySf_);
    dyMain_ = b.TextHeight(QStringLiteral("12jpqM")) * 1.8;
    int32_t rows = log_ != nullptr ? log_->NumEntriesF(filter_) : 0;
    canMove_ = rows > kVisibleRows;
    if (canMove_) rows = kVisibleRows;
    pbMain_->setFixedHeight(RoundI((rows + 2.5) * dyMain_));
    pbRight_->setVisible(canMove_);
}

void TShowCalTable::SelectRow(int32_t p, bool recompute) {
    if (p == -1) {
        selId_ = -1;
        RepaintAll();
        return;
    }
    if (aFiltered_.empty() || p < 0 || p >= ListLength()) return;
    if (p == selId_ && !recompute) return;
    selId_ = p;
    const int32_t id = aFiltered_[static_cast<size_t>(p)];
    TBitmap32& b = pbBottom_->Buffer();
    b.Font.height = RoundI(-12 * mySf_);
    b.Font.bold = true;
    const int left = RoundI(0.02 * pbBottom_->width());
    const int right = pbMain_->width() - left;
    const int top = RoundI(1.1 * b.TextHeight(QStringLiteral("Hallo")));
    b.Font.bold = false;
    const int width = std::max(1, std::min(right, pbBottom_->width()) - left);
    taR_ = b.MeasureText(QRect(left, top, width, 10000), log_->GetEntryRemark(id).trimmed(), kWrap);
    taR_.setWidth(width);
    taC_ = b.MeasureText(QRect(left, taR_.bottom() + 1 + left, width, 10000), log_->GetEntryCalStr(id).trimmed(), kWrap);
    taC_.setWidth(width);
    RepaintAll();
}

void TShowCalTable::PressList(int y) {
    const int32_t r = static_cast<int32_t>(std::floor(y / dyMain_)) - 1;
    if (aFiltered_.empty() || r <= 0) {
        SelectRow(-1, false);
        return;
    }
    SelectRow(ListLength() - r - startId_, false);
}

void TShowCalTable::ScrollUp() {
    if (!canMove_ || startId_ <= 0) return;
    --startId_;
    bUp_ = true;
    SelectRow(-1, false);
}

void TShowCalTable::ScrollDown() {
    if (!canMove_ || startId_ >= ListLength() - kVisibleRows) return;
    ++startId_;
    bDown_ = true;
    SelectRow(-1, false);
}

void TShowCalTable::SelectNewer() {
    if (selId_ < ListLength() - 1) SelectRow(selId_ + 1, false);
    if (!canMove_ || selId_ < 0) return;
    const int32_t top = ListLength() - 1 - startId_;
    if (selId_ > top) startId_ = ListLength() - 1 - selId_;
    else if (selId_ < top - (kVisibleRows - 1)) startId_ = ListLength() - 1 - selId_ - (kVisibleRows - 1);
    RepaintAll();
}

void TShowCalTable::SelectOlder() {
    if (selId_ > 0) SelectRow(selId_ - 1, false);
    if (!canMove_ || selId_ < 0) return;
    const int32_t top = ListLength() - 1 - startId_;
    if (selId_ > top) startId_ = ListLength() - 1 - selId_;
    else if (selId_ < top - (kVisibleRows - 1)) startId_ = ListLength() - 1 - selId_ - (kVisibleRows - 1);
    RepaintAll();
}

std::vector<int32_t> TShowCalTable::VisibleIds() const {
    std::vector<int32_t> ids;
    const int32_t first = canMove_ ? ListLength() - 1 - startId_ : ListLength() - 1;
    const int32_t last = canMove_ ? std::max(0, first - (kVisibleRows - 1)) : 0;
    for (int32_t p = first; p >= last && p >= 0; --p) ids.push_back(aFiltered_[static_cast<size_t>(p)]);
    return ids;
}

// --- commands ---

void TShowCalTable::EditClick() {
    if (selId_ < 0 || log_ == nullptr) return;
    const int32_t id = aFiltered_[static_cast<size_t>(selId_)];
    const bool existed = hce_ != nullptr;
    if (!existed) hce_ = new TCalLogEdit(log_, saved_, this);
    if (!hce_->InitLog(id, handle_, TCalLogEdit::kFromTable)) {
        delete hce_;
        hce_ = nullptr;
        return;
    }
    if (!existed) hce_->move(FitRectToWorkArea(QRect(frameGeometry().center() - hce_->rect().center(), hce_->size())));
    hce_->show();
    hce_->raise();
}

void TShowCalTable::EditorClosed() {
    if (hce_ != nullptr) {
        hce_->hide();
        hce_->deleteLater();
        hce_ = nullptr;
    }
    SelectRow(selId_ < ListLength() ? selId_ : -1, true);
}

void TShowCalTable::DeleteClick() {
    if (selId_ < 0 || log_ == nullptr) return;
    const int32_t id = aFiltered_[static_cast<size_t>(selId_)];
    const QString text = WithTextArgument(GetLangText(1014), DateTimeText(log_->GetEntryDateTime(id)));
    if (AskMessage(text, 1014, 1009, 1012, 0, 403, this) != platform::kMessageLeft) return;
    log_->RemoveEntry(id);
    if (saved_) saved_();
    DoFilter(filter_);
    SelectRow(-1, false);
}

void TShowCalTable::ClearAllClick() {
    if (log_ == nullptr) return;
    if (AskMessageIds(1017, 1009, 1012, 0, 403, this) != platform::kMessageLeft) return;
    log_->ClearAll();
    if (saved_) saved_();
    close();
}

void TShowCalTable::closeEvent(QCloseEvent* event) {
    // The owner frees the window; until then it stays as it is.
    event->ignore();
    platform::PostMessage(owner_, WM_MAIN_NOTIFY, kNotifyCalTableDone, 0);
}

void TShowCalTable::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageUp: ScrollUp(); break;
    case Qt::Key_PageDown: ScrollDown(); break;
    case Qt::Key_Up: SelectNewer(); break;
    case Qt::Key_Down: SelectOlder(); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void TShowCalTable::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        bUp_ = bDown_ = false;
        pbRight_->Invalidate();
    }
    QWidget::keyReleaseEvent(event);
}

// --- layout and painting ---

void TShowCalTable::Layout() {
    const double s = mySf_;
    const int g = RoundI(5 * s);
    const int top = mainM_->sizeHint().height();
    mainM_->setGeometry(0, 0, RoundI(680 * s) + RoundI(50 * s), top);
    SizeList();
    const int listWidth = RoundI(680 * s);
    pbMain_->setGeometry(0, top, listWidth, pbMain_->height());
    pbRight_->setGeometry(listWidth, top, RoundI(50 * s), pbMain_->height());
    const int buttonHeight = pbClose_->height();
    const int detailsHeight = 3 * buttonHeight + 4 * g;
    pbBottom_->setGeometry(0, pbMain_->geometry().bottom() + 1, listWidth, detailsHeight);
    TBitmap32& b = pbDevice_->Buffer();
    b.Font.height = RoundI(-11 * s);
    const int deviceHeight = b.TextHeight(QStringLiteral("Hg9j")) + 2 * g;
    pbDevice_->setGeometry(0, pbBottom_->geometry().bottom() + 1, listWidth, deviceHeight);
    const int clientWidth = canMove_ ? pbRight_->geometry().right() + 1 : listWidth;
    const int clientHeight = pbDevice_->geometry().bottom() + 1;
    setFixedSize(clientWidth, clientHeight);
    pbClose_->move(clientWidth - pbClose_->width() - g, clientHeight - buttonHeight - g);
    pbBottom_->setFixedWidth(pbClose_->x() - g);
    pbDevice_->setFixedWidth(pbClose_->x() - g);
    pbEdit_->move(pbClose_->x(), pbMain_->geometry().bottom() + 1 + g);
    pbDelete_->move(pbClose_->x(), pbBottom_->y() + (pbBottom_->height() - buttonHeight) / 2);
    move(FitRectToWorkArea(frameGeometry()));
}

void TShowCalTable::RepaintAll() {
    for (TPaintBox32* b : {pbMain_, pbBottom_, pbDevice_, pbRight_}) b->Invalidate();
}

void TShowCalTable::PaintList(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (log_ == nullptr || aFiltered_.empty()) return;
    const double w = box->width();
    b.Font.height = RoundI(-11 * mySf_);
    b.Font.bold = true;
    b.Font.color = clText;
    const int headerY = RoundI(dyMain_);
    const int rowHeight = RoundI(dyMain_);
    const std::pair<int32_t, double> headers[] = {{774, 0.04}, {681, 0.15}, {1006, 0.24},
                                                  {1098, 0.34}, {1019, 0.52}, {765, 0.75}};
    for (const auto& [id, x] : headers) b.Textout(RoundI(x * w), headerY, GetLangText(id));
    b.Font.bold = false;
    const int32_t first = canMove_ ? ListLength() - 1 - startId_ : ListLength() - 1;
    const int32_t last = canMove_ ? std::max(0, first - (kVisibleRows - 1)) : 0;
    int k = 0;
    for (int32_t p = first; p >= last && p >= 0; --p) {
        ++k;
        const int32_t id = aFiltered_[static_cast<size_t>(p)];
        const int y = RoundI((k + 1) * dyMain_);
        const bool selected = p == selId_;
        if (selected) b.FillRect(QRect(0, RoundI((k + 0.8) * dyMain_), box->width(), rowHeight), clSelected32);
        b.Font.color = selected ? clBack : clText;
        const int32_t mode = log_->GetEntryMode(id);
        const platform::TDateTime when = log_->GetEntryDateTime(id);
        b.Textout(RoundI(0.02 * w), y, GetLangText(IsCalibrationKind(mode) ? 1010 : 1011));
        b.Textout(RoundI(0.04 * w), y, DateText(when));
        b.Textout(RoundI(0.15 * w), y, TimeText(when));
        const double value = log_->GetEntryVal(id);
        if (IsCalibrationKind(mode)) b.Textout(RoundI(0.24 * w), y, Fixed(value, 2) + QStringLiteral(" dB"));
        else b.Textout(RoundI(0.34 * w), y, Fixed(value, 1) + QStringLiteral(" dB"));
        b.DrawText(QRect(RoundI(0.52 * w), y, RoundI(0.23 * w) - 1, rowHeight), log_->GetEntryCalStr(id), kOneLine);
        const QString remark = log_->GetEntryRemark(id);
        if (!remark.isEmpty())
            b.DrawText(QRect(RoundI(0.75 * w) + 1, y, RoundI(0.23 * w), rowHeight), remark, kOneLine);
    }
}

void TShowCalTable::PaintDetails(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (log_ == nullptr) return;
    b.Font.height = RoundI(-12 * mySf_);
    b.Font.color = clText;
    if (selId_ >= 0 && selId_ < ListLength()) {
        const int32_t id = aFiltered_[static_cast<size_t>(selId_)];
        b.Font.bold = true;
        b.Textout(taR_.left(), 0, GetLangText(log_->GetEntryIsOff(id) ? 1087 : 736));
        b.Font.bold = false;
        b.DrawText(taR_, log_->GetEntryRemark(id).trimmed(), kWrap);
        b.DrawText(taC_, log_->GetEntryCalStr(id).trimmed(), kWrap);
        return;
    }
    if (log_->NumEntriesF(filter_) <= 1) return;
    b.Font.bold = true;
    const double listWidth = pbMain_->width();
    const QString sd = QStringLiteral("σ ") + Fixed(log_->GetSD(), 2) + QStringLiteral("dB");
    const QString mean = QStringLiteral("Ø ") + Fixed(log_->GetAverage(), 2) + QStringLiteral("dB");
    b.Textout(RoundI(0.36 * listWidth + 7 * mySf_), 0, sd);
    b.Textout(RoundI(0.36 * listWidth - 7 * mySf_) - b.TextWidth(mean), 0, mean);
}

QString TShowCalTable::DeviceLineText() const {
    if (myDevFilterId_ >= 0) {
        const QString name = myDevList_.value(myDevFilterId_);
        return name == kNoDevice ? GetLangText(1166) : WithTextArgument(GetLangText(1164), name);
    }
    if (log_ != nullptr && selId_ >= 0 && selId_ < ListLength()) {
        const QString device = log_->GetEntryDevice(aFiltered_[static_cast<size_t>(selId_)]);
        if (!device.isEmpty() && device != kNoDevice) return WithTextArgument(GetLangText(1163), device);
    }
    return GetLangText(1162);
}

void TShowCalTable::PaintDevice(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.Font.height = RoundI(-11 * mySf_);
    b.Font.bold = DeviceLineBold();
    b.Font.color = DeviceLineBold() ? WinColor(clAccent32) : clText;
    const int left = RoundI(0.02 * pbMain_->width());
    b.DrawText(QRect(left, 0, box->width() - left, box->height()), DeviceLineText(),
               kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
}

void TShowCalTable::PaintArrows(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (!canMove_) return;
    const int m = RoundI(0.02 * pbMain_->width());
    const int a = RoundI(33 * mySf_);
    const int w = box->width();
    const int h = box->height();
    rUp_ = QRect(QPoint(w - m - a, m), QPoint(w - m, m + a));
    rDown_ = QRect(QPoint(w - m - a, h - m - a), QPoint(w - m, h - m));
    auto canvas = CreateCanvas32(b);
    auto triangle = [&](const QRect& r, bool up, bool held) {
        const double half = r.width() * 0.3;
        const QPointF c = QRectF(r).center();
        QVector<QPointF> points;
        if (up) points = {{c.x() - half, c.y() + half * 0.6}, {c.x() + half, c.y() + half * 0.6}, {c.x(), c.y() - half * 0.6}};
        else points = {{c.x() - half, c.y() - half * 0.6}, {c.x() + half, c.y() - half * 0.6}, {c.x(), c.y() + half * 0.6}};
        canvas->FillBrush().visible = held;
        canvas->FillBrush().color = WithAlpha32(clAccent32, 0x70);
        canvas->StrokeBrush().visible = true;
        canvas->StrokeBrush().color = clAccent32;
        canvas->StrokeBrush().width = RoundI(2 * mySf_);
        canvas->Polygon(points);
    };
    if (startId_ > 0) triangle(rUp_, true, bUp_);
    if (startId_ < ListLength() - kVisibleRows) triangle(rDown_, false, bDown_);
}

// --- printing ---

bool TShowCalTable::PrintList() {
    if (log_ == nullptr) return false;
    if (!platform::ChoosePrinter(this)) return false;
    QString pdfFile;
    if (platform::IsPdfPrinterChosen()) {
        platform::SaveFileRequest request;
        request.title = GetLangText(698);
        request.filter = QStringLiteral("PDF|*.pdf");
        request.defaultExtension = QStringLiteral("pdf");
        request.fileName = GetLangText(1009) + QStringLiteral(".pdf");
        request.overwritePrompt = true;
        request.owner = this;
        const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
        if (!answer.ok()) return false;
        pdfFile = answer.path;
    }
    platform::PrintJob job;
    if (!job.Begin(GetLangText(1009), pdfFile)) {
        AskMessageTexts(job.ErrorText(), GetLangText(1009), QString(), GetLangText(1126), this);
        return false;
    }
    const QRect page = job.Printer().pageLayout().paintRectPixels(job.Printer().resolution());
    PaintPrintout(job.Painter(), page.size(), [&job] { return job.NewPage(); });
    return job.Finish();
}

int32_t TShowCalTable::PaintPrintout(QPainter& painter, const QSize& pageSize,
                                     const std::function<bool()>& newPage) const {
    const int pw = pageSize.width();
    const int ph = pageSize.height();
    const platform::TDateTime printTime = CorrectedNow();
    const int left = RoundI(0.1 * pw);
    const int right = RoundI(0.9 * pw);
    const int bottomLimit = RoundI(0.9 * ph);
    QFont font(QStringLiteral("VERDANA"));
    font.setPointSizeF(10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font, painter.device());
    const int h = RoundI(1.1 * metrics.height());
    const int gap = RoundI(0.3 * h);
    const int c0 = left;
    const int c1 = RoundI(left + 0.12 * pw);
    const int c2 = RoundI(left + 0.24 * pw);
    const int c3 = RoundI(left + 0.52 * pw);
    const QRect calBox(c2, 0, c3 - RoundI(0.01 * pw) - c2, 0);
    const QRect remarkBox(c3, 0, right - c3, 0);
    auto setBold = [&](bool bold) {
        QFont f = painter.font();
        f.setBold(bold);
        painter.setFont(f);
    };
    auto textHeight = [&](const QString& text, int width) {
        return painter.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height();
    };
    int32_t pages = 0;
    int y = 0;
    auto pageHead = [&](bool columnTitles) {
        y = RoundI(0.07 * ph);
        ++pages;
        QFont title(QStringLiteral("VERDANA"));
        title.setPointSizeF(20);
        title.setBold(true);
        painter.setFont(title);
        const int32_t titleId = filter_ == kFilterVerifications ? 1116 : (filter_ == kFilterCalibrations ? 1117 : 1009);
        const QRect titleRect = painter.boundingRect(QRect(0, y, pw, 100000), Qt::AlignHCenter, GetLangText(titleId));
        painter.drawText(titleRect, Qt::AlignHCenter, GetLangText(titleId));
        y += titleRect.height();
        painter.setFont(font);
        const QString foot = DateText(printTime) + QLatin1Char(' ') + TimeText(printTime) + QStringLiteral(" • ") +
                             GetLangText(771) + QString::number(pages);
        const QRect footRect = painter.boundingRect(QRect(left, bottomLimit, right - left, 100000), Qt::AlignRight, foot);
        painter.drawText(footRect, Qt::AlignRight, foot);
        painter.drawLine(footRect.left(), footRect.top(), right, footRect.top());
        y += footRect.height();
        if (!columnTitles) {
            y += gap;
            return;
        }
        setBold(true);
        painter.drawText(c0, y + metrics.ascent(), GetLangText(681));
        painter.drawText(c0, y + h + metrics.ascent(), GetLangText(774));
        painter.drawText(c0, y + 2 * h + metrics.ascent(), GetLangText(1018));
        painter.drawText(c1, y + metrics.ascent(), GetLangText(1006));
        painter.drawText(c1, y + h + metrics.ascent(), QStringLiteral("Δ:") + GetLangText(1007));
        painter.drawText(c2, y + 2 * h + metrics.ascent(), GetLangText(1019));
        painter.drawText(c3, y + 2 * h + metrics.ascent(), GetLangText(765));
        setBold(false);
        y += 2 * (2 * h + gap);
    };
    pageHead(true);
    for (auto it = aFiltered_.rbegin(); it != aFiltered_.rend(); ++it) {
        const int32_t id = *it;
        const QString calibrator = log_->GetEntryCalStr(id);
        const QString remark = log_->GetEntryRemark(id);
        const int v = std::max({3 * h, textHeight(calibrator, calBox.width()), textHeight(remark, remarkBox.width())});
        const bool kindTitle = filter_ == kFilterAll;
        const QString kind = GetLangText(log_->GetEntryIsOff(id) ? 1087 : 736);
        setBold(true);
        const int t = kindTitle ? painter.boundingRect(QRect(0, 0, pw, 100000), 0, kind).height() : 0;
        setBold(false);
        if (y + v + t > bottomLimit) {
            if (!newPage()) break;
            pageHead(true);
        }
        if (t > 0) {
            setBold(true);
            painter.drawText(left, y + metrics.ascent(), kind);
            setBold(false);
            y += t;
        }
        const platform::TDateTime when = log_->GetEntryDateTime(id);
        painter.drawText(c0, y + metrics.ascent(), TimeText(when));
        painter.drawText(c0, y + h + metrics.ascent(), DateText(when));
        painter.drawText(c0, y + 2 * h + metrics.ascent(), GetLangText(log_->GetEntryIsPre(id) ? 1020 : 1021));
        setBold(true);
        painter.drawText(c1, y + metrics.ascent(), Fixed(log_->GetEntryVal(id), 2) + QStringLiteral("dB"));
        setBold(false);
        const double delta = log_->GetDelta(id);
        painter.drawText(c1, y + h + metrics.ascent(),
                         delta > -200 ? Fixed(delta, 2) + QStringLiteral("dB") : QStringLiteral("---"));
        painter.drawText(QRect(calBox.left(), y, calBox.width(), v), Qt::TextWordWrap, calibrator);
        painter.drawText(QRect(remarkBox.left(), y, remarkBox.width(), v), Qt::TextWordWrap, remark);
        const int lineY = RoundI(y + v + 0.5 * gap);
        painter.drawLine(left, lineY, right, lineY);
        y += v + gap;
    }
    y += h;
    if (y + gap > bottomLimit && newPage()) pageHead(false);
    return pages;
}

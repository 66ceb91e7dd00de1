#include "ui_kit/info_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>

#include "ui_kit/close_icon.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kWindowOpacity = 240.0 / 255.0;
constexpr int32_t kCloseAnswer = 0;

QRect PrimaryWorkArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QWidget* MainForm() {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr ? main->MainForm() : nullptr;
}

QRect MainWorkArea() {
    QWidget* main = MainForm();
    QScreen* screen = main != nullptr ? main->screen() : nullptr;
    return screen != nullptr ? screen->availableGeometry() : PrimaryWorkArea();
}

QString Hex(TColor32 c) { return QColorOf32(c).name(QColor::HexRgb); }

}  // namespace

TinfoWindow::TinfoWindow(QWidget* owner, double dpi)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setWindowOpacity(kWindowOpacity);
    setAutoFillBackground(true);

    pbTop = new TPaintBox32(this);
    pbMainFull = new TPaintBox32(this);
    pbBottom = new TPaintBox32(this);
    scroller = new QScrollBar(Qt::Vertical, this);
    pRand = new QWidget(this);
    pRand->setAutoFillBackground(true);
    tEnd = new QTimer(this);
    scroller->hide();
    pRand->hide();

    for (TPaintBox32* box : {pbTop, pbMainFull, pbBottom}) box->Buffer().Font.name = QStringLiteral("VERDANA");
    bmText.SetSize(300, 300);
    bmText.Font.name = QStringLiteral("VERDANA");

    pbTop->OnPaintBuffer = [this](TPaintBox32* box) { PaintTop(box); };
    pbTop->OnMouseMove = [this](TPaintBox32*, int x, int y) { TopMouseMove(x, y); };
    pbTop->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) { TopMouseDown(b, x, y); };
    pbTop->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int, int) { dragging_ = false; };
    pbMainFull->OnPaintBuffer = [this](TPaintBox32* box) { PaintText(box); };
    pbBottom->OnPaintBuffer = [this](TPaintBox32* box) { PaintBottom(box); };
    pbBottom->OnMouseMove = [this](TPaintBox32*, int x, int y) { BottomMouseMove(x, y); };
    pbBottom->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) { BottomMouseDown(x, y); };
    const auto leave = [](TPaintBox32* box) {
        if (box->Tag > 0) {
            box->Tag = 0;
            box->Invalidate();
        }
    };
    pbTop->OnMouseLeave = leave;
    pbBottom->OnMouseLeave = leave;

    QObject::connect(scroller, &QScrollBar::valueChanged, this, [this](int position) {
        topPos = position * lineStep;
        pbMainFull->Invalidate();
    });
    QObject::connect(tEnd, &QTimer::timeout, this, [this] { TimeOut(); });

    ScaleInfo(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

TinfoWindow::~TinfoWindow() {
    // Whoever frees the window, the shared variable must not keep pointing at it.
    TinfoWindow* self = this;
    infoWindow.compare_exchange_strong(self, nullptr);
}

void TinfoWindow::ScaleInfo(double dpi) {
    mySf = (dpi > 0 ? dpi : 96.0) / 96.0;
    myIconSize = RoundI(22 * mySf);
    pbBottom->resize(pbBottom->width(), RoundI(40 * mySf));
    myRand = RoundI(15 * mySf);
    pbTop->resize(pbTop->width(), myIconSize + 1);
    const int32_t fontHeight = RoundI(-13 * mySf);
    pbBottom->Buffer().Font.height = fontHeight;
    pbTop->Buffer().Font.height = fontHeight;
    bmText.Font.height = fontHeight;
    StyleScroller();
    if (infoIntern.size() >= 2) LayoutInfo();
}

void TinfoWindow::LayoutInfo() {
    const QRect primary = PrimaryWorkArea();
    const int32_t minW = RoundI(250 * mySf);
    const int32_t L = myMaxWidth >= minW ? myMaxWidth : std::max(minW, RoundI(0.3 * primary.width()));
    scroller->resize(RoundI(20 * mySf), scroller->height());
    // A zero line height would stall the scroll arithmetic.
    lineStep = std::max(1, bmText.TextHeight(QStringLiteral("Hg19")));

    const uint32_t flags = kTextLeft | kTextWordBreak;
    const QRect measured = bmText.MeasureText(QRect(0, 0, L, 10), infoIntern, flags);
    const int32_t tw = std::max(measured.width(), minW);
    const int32_t th = measured.height();
    int32_t H = th + pbTop->height() + myRand + pbBottom->height();

    topPos = 0;
    const TFont32 font = bmText.Font;
    bmText.SetSize(tw, th, devicePixelRatioF());
    bmText.Font = font;
    bmText.Font.color = fontColor;
    bmText.Clear(hgColor);
    bmText.DrawText(QRect(0, 0, tw, th), infoIntern, flags);

    int32_t clientWidth = tw + 2 * myRand;
    bScroll = H > 0.8 * primary.height();
    if (bScroll) {
        H = RoundI(0.8 * primary.height());
        clientWidth += scroller->width() + 1;
    }
    resize(clientWidth, H);
    AlignBars();
    pbMainFull->setGeometry(0, pbTop->height(), tw + 2 * myRand, std::max(0, H - pbTop->height() - pbBottom->height()));
    scroller->setVisible(bScroll);
    pRand->setVisible(bScroll);
    if (bScroll) {
        scroller->setGeometry(pbMainFull->x() + pbMainFull->width(), pbMainFull->y(), scroller->width(),
                              std::max(0, pbMainFull->height() - myRand));
        pRand->resize(1, pRand->height());
        const int32_t visibleLines = pbMainFull->height() / lineStep;
        scroller->blockSignals(true);
        scroller->setRange(0, std::max(0, th / lineStep - visibleLines + 1));
        scroller->setPageStep(std::max(1, visibleLines));
        scroller->setValue(0);
        scroller->blockSignals(false);
    }
    pbTop->Invalidate();
    pbMainFull->Invalidate();
    pbBottom->Invalidate();
}

void TinfoWindow::AlignBars() {
    const int w = width();
    const int h = height();
    pbTop->setGeometry(0, 0, w, pbTop->height());
    pbBottom->setGeometry(0, h - pbBottom->height(), w, pbBottom->height());
    pRand->setGeometry(w - 1, pbTop->height(), 1, std::max(0, h - pbTop->height() - pbBottom->height()));
}

void TinfoWindow::resizeEvent(QResizeEvent*) { AlignBars(); }

void TinfoWindow::StyleScroller() {
    const int grip = std::max(2, RoundI(4 * mySf));
    const int radius = std::max(1, (RoundI(20 * mySf) - 2 * grip) / 2);
    scroller->setStyleSheet(QStringLiteral("QScrollBar:vertical { background: %1; border: none; margin: 0; }"
                                           "QScrollBar::handle:vertical { background: %2; border-radius: %3px;"
                                           " margin: %4px; min-height: %5px; }"
                                           "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
                                           " { height: 0; border: none; background: none; }"
                                           "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
                                           " { background: none; }")
                                .arg(Hex(hgColor), QColorOf(fontColor).name(QColor::HexRgb))
                                .arg(radius)
                                .arg(grip)
                                .arg(RoundI(24 * mySf)));
}

void TinfoWindow::Set_text(const QString& header, const QString& info, const QString& btt1, const QString& btt2,
                           int32_t maximaleBreite) {
    head = header;
    infoIntern = info;
    bt1 = btt1;
    bt2 = btt2;
    myMaxWidth = maximaleBreite;
    LayoutInfo();
    pbTop->Invalidate();
    pbMainFull->Invalidate();
    pbBottom->Invalidate();
}

void TinfoWindow::Set_mess(platform::WindowHandle mg, uint32_t uMessage, int32_t End_Command, int32_t time_out,
                           int32_t m_Left, int32_t m_Right, int32_t m_Rest) {
    mHandle = mg;
    mClose = uMessage;
    cClose = End_Command;
    mL = m_Left;
    mR = m_Right;
    mC = m_Rest;
    pbTop->Invalidate();
    pbBottom->Invalidate();
    tEnd->stop();
    if (time_out > 0) {
        tEnd->setInterval(time_out);
        tEnd->start();
    }
}

void TinfoWindow::Set_color(TColor font, TColor32 hintergrund, TColor32 rahmen) {
    fontColor = font;
    hgColor = hintergrund;
    RahmenColor = rahmen;
    for (TPaintBox32* box : {pbTop, pbMainFull, pbBottom}) box->Buffer().Font.color = font;
    QPalette border = pRand->palette();
    border.setColor(QPalette::Window, QColorOf32(rahmen));
    pRand->setPalette(border);
    QPalette own = palette();
    own.setColor(QPalette::Window, QColorOf32(hintergrund));
    setPalette(own);
    StyleScroller();
    if (!infoIntern.isEmpty()) LayoutInfo();
    pbTop->Invalidate();
    pbMainFull->Invalidate();
    pbBottom->Invalidate();
    update();
}

void TinfoWindow::Update_buttons(const QString& btt1, int32_t mLeft, const QString& btt2, int32_t mRight,
                                 int32_t mCenter) {
    bt1 = btt1;
    bt2 = btt2;
    mL = mLeft;
    mR = mRight;
    mC = mCenter;
    pbBottom->Invalidate();
}

bool TinfoWindow::MainWindowExists() const { return mainReady.load() && platform::IsWindow(mHandle); }

void TinfoWindow::PostAnswer(int32_t code) { platform::PostMessage(mHandle, mClose, static_cast<uintptr_t>(cClose), code); }

void TinfoWindow::TimeOut() {
    tEnd->stop();
    if (mainReady.load()) PostAnswer(kCloseAnswer);
}

void TinfoWindow::closeEvent(QCloseEvent* event) {
    // The system close command only hides the window; the main window or the
    // next popup frees it.
    event->ignore();
    hide();
}

void TinfoWindow::wheelEvent(QWheelEvent* event) {
    if (!bScroll) return;
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) scroller->setValue(scroller->value() - steps * 3);
    event->accept();
}

void TinfoWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!screenHooked_ && windowHandle() != nullptr) {
        screenHooked_ = true;
        QObject::connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen != nullptr && !qFuzzyCompare(screen->logicalDotsPerInch() / 96.0, mySf)) {
                ScaleInfo(screen->logicalDotsPerInch());
            }
        });
    }
}

bool TinfoWindow::InIconSquare(int x, int y) const {
    const int right = pbTop->width();
    return x >= right - myIconSize && x <= right && y >= 0 && y <= myIconSize;
}

void TinfoWindow::TopMouseMove(int x, int y) {
    if (dragging_) {
        move(QCursor::pos() - dragOffset_);
        return;
    }
    const intptr_t tag = InIconSquare(x, y) ? 1 : 0;
    if (tag != pbTop->Tag) {
        pbTop->Tag = tag;
        pbTop->Invalidate();
    }
}

void TinfoWindow::TopMouseDown(Qt::MouseButton button, int x, int y) {
    if (x >= width() - 22 * mySf) {
        // The close icon asks the main window to free the window; without a
        // main window nobody would, so the window just hides.
        if (MainWindowExists()) PostAnswer(kCloseAnswer);
        else hide();
        return;
    }
    if (button != Qt::LeftButton) return;
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = QCursor::pos() - pos();
}

void TinfoWindow::BottomMouseMove(int x, int y) {
    intptr_t tag = 0;
    if (brRechts.contains(x, y)) tag = 2;
    else if (brLinks.contains(x, y)) tag = 1;
    if (tag != pbBottom->Tag) {
        pbBottom->Tag = tag;
        pbBottom->Invalidate();
    }
}

void TinfoWindow::BottomMouseDown(int x, int y) {
    int32_t code = -1;
    if (brRechts.contains(x, y)) code = mR;
    else if (brLinks.contains(x, y)) code = mL;
    if (code >= 0 && mainReady.load()) PostAnswer(code);
}

void TinfoWindow::PaintTop(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Font.bold = true;
    buffer.Font.color = fontColor;
    buffer.Clear(clBack32);
    const int right = box->width();
    const QRect icon(right - myIconSize, 0, myIconSize, myIconSize);
    if (box->Tag == 1) buffer.FillRect(icon, clHover32);
    DrawCloseIcon(buffer, icon);
    if (RahmenColor != hgColor) {
        buffer.VertLine(0, 0, box->height() - 1, RahmenColor);
        buffer.HorzLine(0, 0, right - 1, RahmenColor);
        buffer.VertLine(right - 1, 0, box->height() - 1, RahmenColor);
    }
    buffer.DrawText(QRect(myRand, 0, right - 2 * myRand - myIconSize, box->height()), head,
                    kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
}

void TinfoWindow::PaintText(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(hgColor);
    const int destHeight = box->height();
    int srcTop = topPos;
    if (srcTop + destHeight > bmText.Height()) srcTop = bmText.Height() - destHeight;
    // Rows above the text stay empty, so an unscrolled text sits at the
    // bottom of the area, a margin below the header.
    buffer.CopyRows(myRand, 0, bmText, QRect(0, srcTop, bmText.Width(), destHeight));
    if (RahmenColor != hgColor) {
        buffer.VertLine(0, 0, destHeight - 1, RahmenColor);
        if (!bScroll) buffer.VertLine(box->width() - 1, 0, destHeight - 1, RahmenColor);
    }
}

void TinfoWindow::PaintBottom(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Font.bold = true;
    buffer.Font.color = fontColor;
    buffer.Clear(hgColor);
    const int right = box->width();
    const int h = box->height();
    const uint32_t flags = kTextVCenter | kTextSingleLine | kTextEndEllipsis;
    if (!bt1.isEmpty()) {
        brLinks = QRect(0, 0, 2 * myRand + buffer.TextWidth(bt1), h);
        if (box->Tag == 1) buffer.FillRect(brLinks, clHover32);
        buffer.DrawText(QRect(myRand, 0, brLinks.width() - 2 * myRand, h), bt1, kTextLeft | flags);
    } else {
        brLinks = QRect();
    }
    if (!bt2.isEmpty()) {
        const int w = 2 * myRand + buffer.TextWidth(bt2);
        brRechts = QRect(right - w, 0, w, h);
        if (box->Tag == 2) buffer.FillRect(brRechts, clHover32);
        buffer.DrawText(QRect(brRechts.x() + myRand, 0, w - 2 * myRand, h), bt2, kTextRight | flags);
    } else {
        brRechts = QRect();
    }
    if (RahmenColor != hgColor) {
        buffer.HorzLine(0, h - 1, right - 1, RahmenColor);
        buffer.VertLine(0, 0, h - 1, RahmenColor);
        buffer.VertLine(right - 1, 0, h - 1, RahmenColor);
    }
}

QPoint InfoPopupPosition(int32_t x, int32_t y, const QSize& size, const QRect& A, int32_t place) {
    const int W = size.width();
    const int H = size.height();
    const int areaRight = A.x() + A.width();
    const int areaBottom = A.y() + A.height();
    int X;
    if (x < 0) X = A.x() + RoundI((A.width() - W) * 0.5);
    else if (place == 1) X = x - RoundI(W * 0.5);
    else if (place == 2) X = x - W;
    else X = x;
    if (X < A.x()) X = A.x();
    if (X + W > areaRight) X = areaRight - W;
    int Y;
    if (y < A.y()) Y = A.y() + RoundI((A.height() - H) * 0.5);
    else if (place == 1) Y = y - RoundI(H * 0.5);
    else if (place == 2) Y = y - H;
    else Y = y;
    if (Y < A.y()) Y = A.y();
    if (Y + H > areaBottom) Y = areaBottom - H;
    return QPoint(X, Y);
}

void ShowInfoPopup(int32_t x, int32_t y, const QString& info, const QString& header, int32_t time_out,
                   const QString& btt1, int32_t m_Left, const QString& btt2, int32_t m_Right, int32_t m_Rest,
                   int32_t maximaleBreite, int32_t place) {
    if (infoWindow.load() != nullptr) {
        // The main window's answer handler frees the open window at once.
        platform::SendMessage(mainWnd.load(), WM_MAIN_NOTIFY, kNotifyInfoAnswer, kCloseAnswer);
    }
    TinfoWindow* window = infoWindow.load();
    if (window == nullptr) {
        window = new TinfoWindow(MainForm());
        infoWindow.store(window);
        window->Set_color(clText, clPanel32, clFrame32);
    }
    window->Set_text(header, info, btt1, btt2, maximaleBreite);
    window->Set_mess(mainWnd.load(), WM_MAIN_NOTIFY, kNotifyInfoAnswer, time_out, m_Left, m_Right, m_Rest);
    window->move(InfoPopupPosition(x, y, window->size(), MainWorkArea(), place));
    window->show();
}

#include "main/zoom_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kPadding = 5;
constexpr int kNarrowestText = 200;
constexpr int kHeaderEvents = 861;
constexpr int kHintClickToClose = 924;

QRect WorkAreaOf(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}

// The caption bar and border around the client area, as the window system
// reports them once the window exists.
QSize FrameExtra(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    const QMargins m = handle != nullptr ? handle->frameMargins() : QMargins();
    return QSize(m.left() + m.right(), m.top() + m.bottom());
}

// The window's outer rectangle (pos() is the frame's position).
QRect OuterRect(const QWidget* window) { return QRect(window->pos(), window->size() + FrameExtra(window)); }

TFont32 ZoomFont(double scale) {
    TFont32 font;
    font.name = QStringLiteral("VERDANA");
    font.height = RoundI(scale * -13.333333333333332);
    font.color = clText;
    return font;
}

}  // namespace

TZoomWindow::TZoomWindow(QWidget* owner) : QWidget(owner, Qt::Tool) {
    setWindowTitle(QStringLiteral("ZoomWindow"));
    setWindowOpacity(230.0 / 255.0);
    mySf = LogicalDpiOf(this) / 96.0;
    setToolTip(GetLangTextFor(kHintClickToClose, language.load()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroller_ = new QScrollArea(this);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(false);
    // The window takes the size of its text, however small; scroll bars
    // appear only when it is limited to the work area.
    scroller_->setMinimumSize(1, 1);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(scroller_);
    content_ = new QWidget;
    pbMain = new TPaintBox32(content_);
    pbMain->move(kPadding, kPadding);
    pbMain->OnPaintBuffer = [this](TPaintBox32* box) { PaintText(box); };
    pbMain->OnClick = [this](TPaintBox32*) { hide(); };
    scroller_->setWidget(content_);
    resize(422, 250);
    create();
}

void TZoomWindow::SetInfoText(const QString& theNewInfo, const QString& theHeader) {
    theInfo = theNewInfo;
    setWindowTitle(theHeader);
    mySf = LogicalDpiOf(this) / 96.0;

    TBitmap32 scratch(8, 8);
    scratch.Font = ZoomFont(mySf);
    QRect needed = scratch.MeasureText(QRect(0, 0, kNarrowestText, 20), theInfo, kTextLeft);
    needed.setWidth(std::max(needed.width(), kNarrowestText));

    pbMain->resize(needed.size());
    content_->resize(needed.width() + 2 * kPadding, needed.height() + 2 * kPadding);
    resize(content_->size());

    // The caption bar and frame count when the window is kept on the screen.
    const QRect work = WorkAreaOf(this);
    QRect frame = OuterRect(this);
    if (frame.bottom() > work.bottom()) frame.moveBottom(work.bottom());
    if (frame.top() < work.top()) {
        frame.moveTop(work.top());
        // Only a text taller than the work area limits the height; it then scrolls.
        if (frame.height() > work.height())
            resize(width(), std::max(1, work.height() - FrameExtra(this).height()));
    }
    move(frame.topLeft());

    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColorOf32(clPanel32));
    setPalette(colours);
    setAutoFillBackground(true);
    pbMain->Invalidate();
}

void TZoomWindow::PaintText(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clPanel32);
    buffer.Font = ZoomFont(mySf);
    buffer.DrawText(box->ClientRect(), theInfo, kTextLeft);
}

TZoomControl::TZoomControl(QWidget* owner, int32_t& centreX, int32_t& centreY)
    : owner_(owner), centreX_(centreX), centreY_(centreY) {}

TZoomControl::~TZoomControl() { CloseZoomWindow(); }

void TZoomControl::ShowZoomWindow(const QString& theNewInfo, const QString& theHeader, int32_t zoomId) {
    const bool created = hZoomWindow == nullptr;
    if (created) hZoomWindow = new TZoomWindow(owner_);
    hZoomWindow->SetInfoText(theNewInfo, theHeader);
    lastZoomId = zoomId;
    if (created) PlaceNewWindow();
    hZoomWindow->show();
    hZoomWindow->raise();
}

void TZoomControl::PlaceNewWindow() {
    const QRect work = WorkAreaOf(owner_);
    QPoint centre(centreX_, centreY_);
    if (centreX_ <= 0 || centreY_ <= 0)
        centre = QPoint(RoundI(work.left() + work.width() * 0.5), RoundI(work.top() + work.height() * 0.5));
    const QSize size = OuterRect(hZoomWindow).size();
    QRect frame(RoundI(centre.x() - size.width() * 0.5), RoundI(centre.y() - size.height() * 0.5), size.width(),
                size.height());
    if (frame.bottom() > work.bottom()) frame.moveBottom(work.bottom());
    if (frame.top() < work.top()) frame.moveTop(work.top());
    if (frame.left() < work.left()) frame.moveLeft(work.left());
    hZoomWindow->move(frame.topLeft());
    centreX_ = centre.x();
    centreY_ = centre.y();
}

void TZoomControl::CloseZoomWindow() {
    lastZoomId = 0;
    if (hZoomWindow == nullptr) return;
    hZoomWindow->hide();
    const QRect frame = OuterRect(hZoomWindow);
    centreX_ = RoundI(frame.left() + frame.width() * 0.5);
    centreY_ = RoundI(frame.top() + frame.height() * 0.5);
    delete hZoomWindow;
    hZoomWindow = nullptr;
}

void TZoomControl::RefreshEventZoom(bool showIt, const QStringList& lines) {
    if (hZoomWindow == nullptr || !hZoomWindow->isVisible() || lastZoomId != kZoomEvents) return;
    if (!showIt) {
        CloseZoomWindow();
        return;
    }
    QString text;
    for (const QString& line : lines) text += line + QLatin1Char('\n');
    hZoomWindow->SetInfoText(text, GetLangText(kHeaderEvents));
}

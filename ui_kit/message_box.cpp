#include "ui_kit/message_box.h"

#include "platform/user_dialogs.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ui_kit/close_icon.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/text_table.h"

namespace {

void SetBackground(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColorOf(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString CaptionFor(int32_t id) { return id > 0 ? GetLangText(id) : QString(); }

QWidget* MainForm() {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr ? main->MainForm() : nullptr;
}

QScreen* ScreenNearest(const QPoint& p) {
    QScreen* best = QGuiApplication::primaryScreen();
    double bestDistance = std::numeric_limits<double>::max();
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        if (g.contains(p)) return screen;
        const double dx = std::max({g.left() - p.x(), 0, p.x() - g.right()});
        const double dy = std::max({g.top() - p.y(), 0, p.y() - g.bottom()});
        const double distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = screen;
        }
    }
    return best;
}

}  // namespace

int MessageAnswerFor(int modalResult) {
    switch (modalResult) {
    case kModalRight: return 4;
    case kModalCentre: return 8;
    case kModalLeft: return 2;
    default: return 1;
    }
}

TTMessage::TTMessage(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setModal(true);
    pbHeader = new TPaintBox32(this);
    pbMain = new TPaintBox32(this);
    pUnten = new QWidget(this);
    pbLeft = new TPaintBox32(pUnten);
    pbCenter = new TPaintBox32(pUnten);
    pbRight = new TPaintBox32(pUnten);
    pUnten->installEventFilter(this);

    pbHeader->OnPaintBuffer = [this](TPaintBox32* box) { PaintHeader(box); };
    pbHeader->OnMouseMove = [this](TPaintBox32*, int x, int y) { HeaderMouseMove(x, y); };
    pbHeader->OnMouseLeave = [](TPaintBox32* box) {
        if (box->Tag > 0) {
            box->Tag = 0;
            box->Invalidate();
        }
    };
    pbHeader->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) {
        HeaderMouseDown(button, x, y);
    };
    pbHeader->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int, int) { dragging_ = false; };
    pbMain->OnPaintBuffer = [this](TPaintBox32* box) { PaintText(box); };
    WireButton(pbLeft, &labelL, kModalLeft);
    WireButton(pbCenter, &labelC, kModalCentre);
    WireButton(pbRight, &labelR, kModalRight);

    ApplyColors();
    ScaleMessage(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

void TTMessage::WireButton(TPaintBox32* button, const QString* caption, int modalResult) {
    button->OnMouseEnter = ButtonMouseEnter;
    button->OnMouseLeave = ButtonMouseLeave;
    button->OnMouseDown = [](TPaintBox32* b, Qt::MouseButton, int, int) { ButtonPress(b); };
    button->OnMouseUp = [](TPaintBox32* b, Qt::MouseButton, int, int) { ButtonRelease(b); };
    button->OnPaintBuffer = [caption](TPaintBox32* b) { PaintButton(b, *caption, true, true); };
    button->OnClick = [this, modalResult](TPaintBox32*) { done(modalResult); };
}

void TTMessage::ApplyColors() {
    SetBackground(this, WinColor(clFrame32));
    SetBackground(pUnten, clPanel);
}

void TTMessage::SetClientSize(int width, int height) { resize(std::max(1, width), std::max(1, height)); }

void TTMessage::ScaleMessage(double dpi) {
    pbMain->BeginUpdate();
    mySf = (dpi > 0 ? dpi : 96.0) / 96.0;
    mySp = RoundI(16 * mySf);
    myFrame = RoundI(mySf);
    myIconSize = RoundI(22 * mySf);

    TFont32& mainFont = pbMain->Buffer().Font;
    mainFont.name = QStringLiteral("VERDANA");
    mainFont.height = RoundI(-13 * mySf);
    TFont32& headerFont = pbHeader->Buffer().Font;
    headerFont.name = QStringLiteral("VERDANA");
    headerFont.height = mainFont.height;
    pbMain->Buffer().Clear(clPanel32);

    const int clientWidth = RoundI(400 * mySf);
    pbHeader->setGeometry(myFrame, myFrame, clientWidth - myFrame - myFrame, myIconSize);
    for (TPaintBox32* button : {pbLeft, pbCenter, pbRight}) {
        InitButton(button, mySf, true);
        button->resize(button->width(), RoundI(33 * mySf));
        button->move(button->x(), mySp);
    }
    pUnten->setGeometry(myFrame, pUnten->y(), pbHeader->width(), 2 * mySp + pbRight->height());
    pbMain->setGeometry(myFrame, pbHeader->y() + pbHeader->height(), pbHeader->width(), 50);
    SetClientSize(clientWidth, pUnten->y() + pUnten->height() + myFrame);
    pbMain->EndUpdate();
    if (!myText.isEmpty()) LayoutText();
}

void TTMessage::MyMessage(const QString& header, const QString& Inhalt, const QString& lText, const QString& cText,
                          const QString& rText) {
    myHeader = header;
    myText = Inhalt;
    labelL = lText;
    labelC = cText;
    labelR = rText;
    pbLeft->setHidden(labelL.size() < 2);
    pbCenter->setHidden(labelC.size() < 2);
    pbRight->setHidden(labelR.size() < 2);
    LayoutText();
}

void TTMessage::LayoutText() {
    pbMain->BeginUpdate();
    TBitmap32& buffer = pbMain->Buffer();
    buffer.Font.bold = true;

    // The text is drawn inside a spacing on the left and right, so it is
    // measured at that width: measuring at the full width would let a line
    // that wraps when drawn go uncounted.
    const uint32_t flags = kTextLeft | kTextWordBreak;
    auto measure = [&](int areaWidth) {
        return buffer.MeasureText(QRect(0, 0, std::max(1, areaWidth - 2 * mySp), 10000), myText, flags);
    };
    QRect text = measure(pbMain->width());

    int x = mySp;
    for (auto [button, caption] : {std::pair{pbLeft, &labelL}, std::pair{pbCenter, &labelC}, std::pair{pbRight, &labelR}}) {
        if (button->isHidden()) continue;
        button->resize(ButtonWidthFor(button, *caption, mySf) + 2 * mySp, button->height());
        x += button->width() + mySp;
    }
    pbLeft->move(mySp, pbLeft->y());

    const int need = std::max(text.width() + 2 * mySp, x);
    if (need > pbMain->width()) {
        pbMain->resize(need, pbMain->height());
        text = measure(need);
    }
    pbMain->resize(pbMain->width(), text.height() + 2 * mySp);
    pUnten->move(pUnten->x(), pbMain->y() + pbMain->height());
    pbMain->EndUpdate();

    pUnten->resize(pbMain->width(), pUnten->height());
    ArrangeButtons();
    pbHeader->resize(pbMain->width(), pbHeader->height());
    SetClientSize(pbMain->width() + 2 * myFrame, pUnten->y() + pUnten->height() + myFrame);
    pbHeader->Invalidate();
    pbMain->Invalidate();
}

void TTMessage::ArrangeButtons() {
    pbRight->move(pUnten->width() - pbRight->width() - mySp, pbRight->y());
    const int leftEnd = pbLeft->x() + pbLeft->width();
    const int gap = pbRight->x() - leftEnd;
    pbCenter->move(RoundI(leftEnd + (gap - pbCenter->width()) * 0.5), pbCenter->y());
}

bool TTMessage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pUnten && event->type() == QEvent::Resize) ArrangeButtons();
    return QDialog::eventFilter(watched, event);
}

QPoint TTMessage::CenterOnScreen() const {
    QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s != nullptr ? s->availableGeometry() : QRect(0, 0, width(), height());
    return QPoint(RoundI(area.x() + (area.width() - width()) * 0.5), RoundI(area.y() + (area.height() - height()) * 0.5));
}

void TTMessage::reject() { done(kModalClosed); }

void TTMessage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!screenHooked_ && windowHandle() != nullptr) {
        screenHooked_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen != nullptr && !qFuzzyCompare(screen->logicalDotsPerInch() / 96.0, mySf)) {
                ScaleMessage(screen->logicalDotsPerInch());
            }
        });
    }
}

bool TTMessage::InIconSquare(int x, int y) const {
    const int right = pbHeader->width();
    return x >= right - myIconSize && x <= right && y >= 0 && y <= myIconSize;
}

void TTMessage::HeaderMouseMove(int x, int y) {
    if (dragging_) {
        move(QCursor::pos() - dragOffset_);
        return;
    }
    const intptr_t tag = InIconSquare(x, y) ? 1 : 0;
    if (tag != pbHeader->Tag) {
        pbHeader->Tag = tag;
        pbHeader->Invalidate();
    }
}

void TTMessage::HeaderMouseDown(Qt::MouseButton button, int x, int y) {
    if (InIconSquare(x, y)) {
        done(kModalClosed);
        return;
    }
    if (button != Qt::LeftButton) return;
    // The header is the title bar: let the window system move the window
    // where it can, else follow the pointer ourselves.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = QCursor::pos() - pos();
}

void TTMessage::PaintHeader(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Font.bold = true;
    buffer.Font.color = clText;
    buffer.Clear(clBack32);
    const int right = box->width();
    const QRect icon(right - myIconSize, 0, myIconSize, myIconSize);
    if (box->Tag == 1) buffer.FillRect(icon, clHover32);
    DrawCloseIcon(buffer, icon);
    buffer.DrawText(QRect(mySp, 0, right - myIconSize - 2 * mySp, box->height()), myHeader,
                    kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
}

void TTMessage::PaintText(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clPanel32);
    buffer.Font.color = clText;
    const QRect area = box->ClientRect().adjusted(mySp, mySp, -mySp, 0);
    buffer.DrawText(area, myText, kTextLeft | kTextWordBreak);
}

QPoint FitRectToWorkArea(const QRect& windowRect) {
    QScreen* screen = ScreenNearest(windowRect.topLeft());
    if (screen == nullptr) return windowRect.topLeft();
    const QRect area = screen->availableGeometry();
    const int w = std::min(windowRect.width(), area.width());
    const int h = std::min(windowRect.height(), area.height());
    const int areaRight = area.x() + area.width();
    const int areaBottom = area.y() + area.height();
    int x = std::max(windowRect.x(), area.x());
    if (x + w > areaRight) x = areaRight - w;
    int y = std::max(windowRect.y(), area.y());
    if (y + h > areaBottom) y = areaBottom - h;
    return QPoint(x, y);
}

int ShowTMessage(const QString& text, const QString& header, const QString& left, const QString& centre,
                 const QString& right, QWidget* owner) {
    QWidget* main = MainForm();
    TTMessage box(owner != nullptr ? owner : main);
    box.MyMessage(header, text, left, centre, right);
    QPoint at = box.CenterOnScreen();
    if (main != nullptr) {
        const QRect m = main->frameGeometry();
        at = QPoint(RoundI(m.x() + (m.width() - box.width()) * 0.5), RoundI(m.y() + (m.height() - box.height()) * 0.5));
    }
    box.move(at);
    box.move(FitRectToWorkArea(QRect(box.pos(), box.size())));
    return MessageAnswerFor(box.exec());
}

int ShowMessageText(const QString& text, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                    QWidget* owner) {
    return ShowTMessage(text, GetLangText(headerId), CaptionFor(leftId), CaptionFor(centreId), CaptionFor(rightId),
                        owner);
}

int ShowMessageIds(int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                   QWidget* owner) {
    return ShowMessageText(GetLangText(textId), headerId, leftId, centreId, rightId, owner);
}

int AskMessage(const QString& text, int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId,
               int32_t rightId, QWidget* owner) {
    platform::MessageRequest request;
    request.text = text;
    if (textId > 0) request.textId = textId;
    request.header = GetLangText(headerId);
    request.headerId = headerId;
    request.leftCaption = CaptionFor(leftId);
    request.leftCaptionId = leftId;
    request.centreCaption = CaptionFor(centreId);
    request.centreCaptionId = centreId;
    request.rightCaption = CaptionFor(rightId);
    request.rightCaptionId = rightId;
    request.owner = owner;
    return platform::userDialogs()->ShowMessage(request);
}

int AskMessageTexts(const QString& text, const QString& header, const QString& left, const QString& right,
                    QWidget* owner) {
    platform::MessageRequest request;
    request.text = text;
    request.header = header;
    request.leftCaption = left;
    request.rightCaption = right;
    request.owner = owner;
    return platform::userDialogs()->ShowMessage(request);
}

int AskMessageIds(int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                  QWidget* owner) {
    return AskMessage(GetLangText(textId), textId, headerId, leftId, centreId, rightId, owner);
}

#pragma once
// The information window: one small borderless window floating above all
// others with a header and close icon, a word-wrapped text that scrolls when
// it is too tall, and up to two answer buttons. It never acts itself: each
// button, the close icon and the time-out post an answer code to the main
// window, whose handler acts and frees the window. At most one exists, held
// in the program-wide `infoWindow`. GUI thread only.
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>

#include "platform/window_messages.h"
#include "ui_kit/paint_box.h"

class QScrollBar;
class QTimer;

class TinfoWindow : public QWidget {
public:
    // dpi 0 or below: the logical pixels per inch of the window's screen.
    explicit TinfoWindow(QWidget* owner = nullptr, double dpi = 0);
    ~TinfoWindow() override;

    TPaintBox32* pbTop = nullptr;       // header caption and close icon
    TPaintBox32* pbMainFull = nullptr;  // the visible part of the text
    TPaintBox32* pbBottom = nullptr;    // the answer buttons
    QScrollBar* scroller = nullptr;
    QWidget* pRand = nullptr;           // frame line at the right while scrolling
    QTimer* tEnd = nullptr;             // time-out

    int32_t myRand = 15;     // margin
    int32_t topPos = 0;      // first text row shown
    int32_t lineStep = 1;    // scroll step: the height of one text line
    bool bScroll = false;    // the text is too tall and scrolls
    double mySf = 1.0;
    QString head;
    QString infoIntern;
    TColor fontColor = 0;
    TColor32 hgColor = 0xFF000000u;
    TColor32 RahmenColor = 0xFF000000u;  // equal to hgColor: no frame lines
    platform::WindowHandle mHandle = 0;
    int32_t cClose = 0;
    uint32_t mClose = 0;
    QString bt1, bt2;
    int32_t mL = -1, mR = -1, mC = 0;
    QRect brLinks, brRechts;
    TBitmap32 bmText;        // the whole text, rendered once
    int32_t myMaxWidth = 0;
    int32_t myIconSize = 22;

    void Set_text(const QString& header, const QString& info, const QString& btt1, const QString& btt2,
                  int32_t maximaleBreite);
    // Answers go to mg as (uMessage, End_Command, code). The time-out runs
    // exactly when time_out is above 0.
    void Set_mess(platform::WindowHandle mg, uint32_t uMessage, int32_t End_Command, int32_t time_out,
                  int32_t m_Left, int32_t m_Right, int32_t m_Rest);
    void Set_color(TColor font, TColor32 hintergrund, TColor32 rahmen);
    void Update_buttons(const QString& btt1, int32_t mLeft, const QString& btt2, int32_t mRight, int32_t mCenter);

    void ScaleInfo(double dpi);
    void LayoutInfo();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void AlignBars();
    void PostAnswer(int32_t code);
    bool MainWindowExists() const;
    void TimeOut();
    void PaintTop(TPaintBox32* box);
    void PaintText(TPaintBox32* box);
    void PaintBottom(TPaintBox32* box);
    void TopMouseMove(int x, int y);
    void TopMouseDown(Qt::MouseButton button, int x, int y);
    void BottomMouseMove(int x, int y);
    void BottomMouseDown(int x, int y);
    void StyleScroller();
    bool InIconSquare(int x, int y) const;

    bool screenHooked_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

// Shows the one information window: an open one is first answered with 0
// through the main window (which frees it); then the window is created when
// none is left, filled, placed and shown without activating it. Placement
// (A the work area of the main window's screen, W x H the window): x below 0
// centres horizontally in A, else place 1 centres the window on x, 2 puts its
// right edge on x, any other value its left edge; y above A's top centres
// vertically, else the same by place; the window is then kept inside A.
void ShowInfoPopup(int32_t x, int32_t y, const QString& info, const QString& header, int32_t time_out,
                   const QString& btt1, int32_t m_Left, const QString& btt2, int32_t m_Right, int32_t m_Rest,
                   int32_t maximaleBreite, int32_t place);

// The placement rule of ShowInfoPopup.
QPoint InfoPopupPosition(int32_t x, int32_t y, const QSize& size, const QRect& workArea, int32_t place);

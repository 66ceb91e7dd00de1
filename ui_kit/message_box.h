#pragma once
// The program's own message box: a modal, borderless, always-on-top window
// with a header line and close icon, the message in bold, and up to three
// flat buttons (left, centre, right). Every question and error message of the
// program goes through it; the entry points show it modally over the main
// window and answer which control ended it. GUI thread only.
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>

class TPaintBox32;
class QWidget;

// Modal results of the window itself.
inline constexpr int kModalRight = 1;
inline constexpr int kModalClosed = 2;
inline constexpr int kModalCentre = 4;
inline constexpr int kModalLeft = 5;

// The answer of an entry point for a modal result: right 4, centre 8,
// left 2, closed (and anything else) 1.
int MessageAnswerFor(int modalResult);

class TTMessage : public QDialog {
public:
    // dpi 0 or below: the logical pixels per inch of the window's screen.
    explicit TTMessage(QWidget* owner = nullptr, double dpi = 0);

    TPaintBox32* pbHeader = nullptr;
    TPaintBox32* pbMain = nullptr;
    QWidget* pUnten = nullptr;
    TPaintBox32* pbLeft = nullptr;
    TPaintBox32* pbCenter = nullptr;
    TPaintBox32* pbRight = nullptr;

    int32_t myFrame = 1;      // border width
    double mySf = 1.0;        // scale
    int32_t mySp = 16;        // spacing
    int32_t myIconSize = 22;  // side of the close-icon square
    QString labelL, labelC, labelR;
    QString myText;
    QString myHeader;

    // Stores the texts, shows a button exactly when its caption has two or
    // more characters, and lays the window out.
    void MyMessage(const QString& header, const QString& Inhalt, const QString& lText, const QString& cText,
                   const QString& rText);
    // Top-left point that centres the window in the work area of its screen.
    QPoint CenterOnScreen() const;
    // Sizes and spacings for dpi pixels per inch; run at creation and when the
    // window moves to a screen with another density.
    void ScaleMessage(double dpi);
    void ApplyColors();
    void LayoutText();
    void ArrangeButtons();

    // Which control ended the window, as an entry point answers it.
    int Answer() const { return MessageAnswerFor(result()); }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintHeader(TPaintBox32* box);
    void PaintText(TPaintBox32* box);
    void HeaderMouseMove(int x, int y);
    void HeaderMouseDown(Qt::MouseButton button, int x, int y);
    bool InIconSquare(int x, int y) const;
    void WireButton(TPaintBox32* button, const QString* caption, int modalResult);
    void SetClientSize(int width, int height);

    bool screenHooked_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

// The top-left point that keeps a window of rect's size inside the work area
// of the screen nearest to rect's top-left corner; a window larger than the
// work area goes to its top-left corner. Window and work area are both in
// logical pixels, so the size is taken as it is.
QPoint FitRectToWorkArea(const QRect& windowRect);

// Show the message box modally and answer 4 (right), 8 (centre), 2 (left) or
// 1 (close icon, Escape or the system close command). Captions come from the
// text table in the current language; a caption id of 0 or below leaves its
// button out, the header (and text) id is always looked up. owner nullptr:
// the main window when there is one.
int ShowMessageIds(int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                   QWidget* owner = nullptr);
int ShowMessageText(const QString& text, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                    QWidget* owner = nullptr);
int ShowTMessage(const QString& text, const QString& header, const QString& left, const QString& centre,
                 const QString& right, QWidget* owner = nullptr);

// The same message box asked through the program's dialog service
// (platform/user_dialogs.h), which the GUI answers with the box above and a
// test from its script. textId is 0 when text was not taken from the table.
int AskMessage(const QString& text, int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId,
               int32_t rightId, QWidget* owner = nullptr);
// The same with finished texts for questions the text table does not hold; an
// empty caption leaves its button out.
int AskMessageTexts(const QString& text, const QString& header, const QString& left, const QString& right,
                    QWidget* owner = nullptr);
int AskMessageIds(int32_t textId, int32_t headerId, int32_t leftId, int32_t centreId, int32_t rightId,
                  QWidget* owner = nullptr);

#pragma once
// The splash window: while the program starts, the product logo floats
// semi-transparent and borderless in the middle of the screen. The main
// block creates and shows it before the main window exists; the main window
// hides and releases it near the end of its own creation.
#include <QImage>
#include <QSize>
#include <QWidget>

class TStartUp : public QWidget {
public:
    // Sized from the work area of its screen; shown by the caller.
    explicit TStartUp(QWidget* parent = nullptr);

    // The client size for a work area of that width: 0.8 of the width, in the
    // logo window's shape of 1071 x 201.
    static QSize ClientSizeFor(int workAreaWidth);

    // Overall opacity of the logo over what lies below, of 255.
    static constexpr int kOpacity = 200;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void RenderLogo();
    void CentreOnScreen();

    QImage logo_;
};

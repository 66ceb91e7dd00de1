// The reference for the start-up benchmark: the smallest Qt Widgets program
// with a main window, which reports its first completed paint and quits, as
// veltaro does under the benchmark's switch.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "ui_kit/first_paint_reporter.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Veltaro"), &window));
    window.resize(990, 720);
    FirstPaintReporter reporter;
    window.installEventFilter(&reporter);
    window.show();
    return QApplication::exec();
}

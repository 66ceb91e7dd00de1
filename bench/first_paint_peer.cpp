// The reference for the start-up benchmark: the smallest Qt Widgets program
// with a main window, which reports its first completed paint and quits, as
// veltaro does under the benchmark's switch.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {

class PaintReporter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            QTimer::singleShot(0, qApp, [] {
                std::printf("first-paint\n");
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Veltaro"), &window));
    window.resize(990, 720);
    PaintReporter reporter;
    window.installEventFilter(&reporter);
    window.show();
    return QApplication::exec();
}

#pragma once
// For the start-up benchmark: prints "first-paint" once the watched window
// has completed its first paint, then ends the program. Header-only and
// Qt-only, so the benchmark's minimal Qt peer measures with the very same code.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>

class FirstPaintReporter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // Queued, so it runs after the paint has completed.
            QTimer::singleShot(0, QCoreApplication::instance(), [] {
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

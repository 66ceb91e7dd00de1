#pragma once
// Runs the event loop until a condition holds, with an upper bound so that a
// fault fails the test instead of hanging it.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace test_support {

// Runs the event loop until done() holds; false when it did not within the bound.
inline bool ProcessUntil(const std::function<bool()>& done, int boundMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace test_support

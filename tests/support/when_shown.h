#pragma once
// Acts on a modal dialog from inside its own event loop: the action runs as
// soon as a dialog of type T is the active modal widget.
#include <QApplication>
#include <QTimer>

#include <functional>

namespace test_support {

template <typename T>
void WhenShown(std::function<void(T*)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        poll->stop();
        poll->deleteLater();
        action(dialog);
    });
    poll->start(5);
}

}  // namespace test_support

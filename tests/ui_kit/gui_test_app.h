#pragma once
// The QApplication of a GUI test executable. It is created before the first
// test and destroyed after the last one, while Qt's own globals still live:
// a function-local static application would be destroyed after them at exit
// and crash there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace gui_test {

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Instance(); }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

    static QApplication& Instance() {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (app_ == nullptr) app_ = new QApplication(argc, argv);
        return *app_;
    }

private:
    static inline QApplication* app_ = nullptr;
};

inline ::testing::Environment* const kAppEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

inline QApplication& App() { return AppEnvironment::Instance(); }

// A left click at a point of target: press, then release.
inline void Click(QWidget* target, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

}  // namespace gui_test

#pragma once
// Tells the main window when the system clock was set: a timer armed far in
// the future on the real-time clock with cancel-on-set is cancelled by the
// kernel whenever someone sets the clock. This is the window's time-change
// message on this system.
#include <QObject>

#include <functional>

class QSocketNotifier;

class TTimeChangeWatch : public QObject {
public:
    // onChange runs on the GUI thread after each setting of the clock.
    explicit TTimeChangeWatch(std::function<void()> onChange, QObject* parent = nullptr);
    ~TTimeChangeWatch() override;

    bool Active() const { return fd_ >= 0; }

private:
    bool Arm();
    void Fired();

    std::function<void()> onChange_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

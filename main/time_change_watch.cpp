#include "main/time_change_watch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>

#include <sys/timerfd.h>
#include <unistd.h>

TTimeChangeWatch::TTimeChangeWatch(std::function<void()> onChange, QObject* parent)
    : QObject(parent), onChange_(std::move(onChange)) {
    fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0) return;  // no watch: clock changes then go unnoticed, as without the message
    if (!Arm()) {
        close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Fired(); });
}

TTimeChangeWatch::~TTimeChangeWatch() {
    if (fd_ >= 0) close(fd_);
}

bool TTimeChangeWatch::Arm() {
    itimerspec farFuture{};
    farFuture.it_value.tv_sec = INT32_MAX;  // never expires on its own
    return timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &farFuture, nullptr) == 0;
}

void TTimeChangeWatch::Fired() {
    uint64_t expirations = 0;
    const ssize_t n = read(fd_, &expirations, sizeof expirations);
    const bool clockWasSet = n < 0 && errno == ECANCELED;
    // A cancelled timer stays cancelled until it is armed again.
    Arm();
    if (clockWasSet && onChange_) onChange_();
}

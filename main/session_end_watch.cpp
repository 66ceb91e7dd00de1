#include "main/session_end_watch.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <functional>

namespace {

constexpr std::array<int, 3> kSessionEndSignals = {SIGTERM, SIGHUP, SIGINT};

// The write end of the owning watcher's pipe; -1 while none owns the signals.
// A lock-free atomic is safe to read inside a signal handler.
std::atomic<int> gSignalWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, kSessionEndSignals.size()> gPreviousActions{};

extern "C" void OnSessionEndSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = gSignalWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds signals enough to end the program.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// Nothing escapes into Qt's event handling.
void Guarded(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veltaro: the end of the session could not be handled: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "veltaro: the end of the session could not be handled\n");
    }
}

#ifndef QT_NO_SESSIONMANAGER
class QtLogoutRequest : public LogoutRequest {
public:
    explicit QtLogoutRequest(QSessionManager& manager) : manager_(manager) {}
    void cancel() override { manager_.cancel(); }

private:
    QSessionManager& manager_;
};
#endif

}  // namespace

TSessionEndWatch::TSessionEndWatch(SessionEndCallbacks callbacks, QObject* parent)
    : QObject(parent), callbacks_(std::move(callbacks)) {
    if (InstallSignalHandlers()) {
        notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadSignals(); });
    }
#ifndef QT_NO_SESSIONMANAGER
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Direct: the session manager is only valid while the signal is emitted.
        connect(
            app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager& manager) {
                QtLogoutRequest request(manager);
                Guarded([&] { AnswerLogoutRequest(request); });
            },
            Qt::DirectConnection);
    }
#endif
}

TSessionEndWatch::~TSessionEndWatch() { RestoreSignalHandlers(); }

bool TSessionEndWatch::InstallSignalHandlers() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    int expected = -1;
    if (!gSignalWriteFd.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSessionEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSessionEndSignals.size(); ++i) ::sigaction(kSessionEndSignals[i], &action, &gPreviousActions[i]);
    return true;
}

void TSessionEndWatch::RestoreSignalHandlers() {
    if (readFd_ < 0) return;
    for (size_t i = 0; i < kSessionEndSignals.size(); ++i) ::sigaction(kSessionEndSignals[i], &gPreviousActions[i], nullptr);
    gSignalWriteFd.store(-1);
    delete notifier_;
    notifier_ = nullptr;
    ::close(readFd_);
    ::close(writeFd_);
    readFd_ = writeFd_ = -1;
}

void TSessionEndWatch::ReadSignals() {
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(readFd_, numbers, sizeof numbers)) > 0 || (n < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < n; ++i) {
            if (!callbacks_.terminationRequested) continue;
            Guarded([&] { callbacks_.terminationRequested(numbers[i]); });
        }
    }
}

void TSessionEndWatch::AnswerLogoutRequest(LogoutRequest& request) {
    if (callbacks_.refuseLogout && callbacks_.refuseLogout()) {
        request.cancel();
        return;
    }
    if (callbacks_.logoutAgreed) callbacks_.logoutAgreed();
}

#pragma once
// The end of the session on this system, in place of the window's
// query-end-session and end-session messages:
//  - SIGTERM (a shutdown, systemd, kill), SIGHUP (the terminal or session
//    went away) and SIGINT (Ctrl+C) end the program. The signal handler only
//    writes the signal's number into a pipe; a socket notifier on the GUI
//    thread reads it there and calls the window, so nothing but the write
//    runs inside the handler.
//  - A desktop logout asks through QGuiApplication::commitDataRequest; the
//    watcher cancels it through QSessionManager exactly when the window says
//    to refuse, and otherwise tells the window that the session will end.
// What the window then does (stopping a measurement, closing) is its own
// business: it hands the watcher its callbacks. One watcher at a time owns
// the three signals; the previous handlers come back when it is destroyed.
#include <QObject>

#include <functional>

class QSocketNotifier;

// The part of a logout request the watcher uses: QSessionManager in the
// program; tests stand in for it, since only Qt can make a session manager.
class LogoutRequest {
public:
    virtual ~LogoutRequest() = default;
    virtual void cancel() = 0;
};

struct SessionEndCallbacks {
    // Asked when a desktop logout wants to end the session; true refuses it.
    std::function<bool()> refuseLogout;
    // The logout was agreed: the session ends next.
    std::function<void()> logoutAgreed;
    // SIGTERM, SIGHUP or SIGINT arrived; runs on the GUI thread, once per signal.
    std::function<void(int signalNumber)> terminationRequested;
};

class TSessionEndWatch : public QObject {
public:
    explicit TSessionEndWatch(SessionEndCallbacks callbacks, QObject* parent = nullptr);
    ~TSessionEndWatch() override;
    TSessionEndWatch(const TSessionEndWatch&) = delete;
    TSessionEndWatch& operator=(const TSessionEndWatch&) = delete;

    // The signal handlers are installed (false when another watcher owns the
    // signals or the pipe could not be made).
    bool SignalsWatched() const { return readFd_ >= 0; }

    // Answers a logout request: cancelled exactly when refuseLogout says so.
    void AnswerLogoutRequest(LogoutRequest& request);

private:
    bool InstallSignalHandlers();
    void RestoreSignalHandlers();
    void ReadSignals();

    SessionEndCallbacks callbacks_;
    int readFd_ = -1;
    int writeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

// The session-end stand-ins: the three termination signals raised in this
// process reach the callback on the GUI thread, one call per signal, and a
// logout request is cancelled exactly when the window refuses it.
#include "main/session_end_watch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <signal.h>

#include <vector>

#include "ui_kit/gui_test_app.h"

namespace {

class FakeLogoutRequest : public LogoutRequest {
public:
    void cancel() override { ++cancels; }
    int cancels = 0;
};

// Runs the event loop until count signals arrived (bounded, so a lost signal fails instead of hanging).
void ProcessUntilReceived(const std::vector<int>& received, size_t count) {
    QElapsedTimer clock;
    clock.start();
    while (received.size() < count && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class SessionEndWatchTest : public ::testing::Test {
protected:
    void SetUp() override { gui_test::App(); }

    std::vector<int> received;
    SessionEndCallbacks Recording() {
        SessionEndCallbacks callbacks;
        callbacks.terminationRequested = [this](int signalNumber) { received.push_back(signalNumber); };
        return callbacks;
    }
};

TEST_F(SessionEndWatchTest, EachTerminationSignalReachesTheWindowOnce) {
    TSessionEndWatch watch(Recording());
    ASSERT_TRUE(watch.SignalsWatched());
    for (int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        received.clear();
        ASSERT_EQ(::raise(signalNumber), 0);
        EXPECT_TRUE(received.empty());  // never inside the handler
        ProcessUntilReceived(received, 1);
        EXPECT_EQ(received, std::vector<int>{signalNumber});
    }
    // Signals that arrive before the loop runs again are all delivered, in order.
    received.clear();
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    ProcessUntilReceived(received, 2);
    EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGTERM}));
}

TEST_F(SessionEndWatchTest, OneWatcherOwnsTheSignalsAndGivesThemBack) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
    {
        TSessionEndWatch first(Recording());
        TSessionEndWatch second(SessionEndCallbacks{});
        EXPECT_TRUE(first.SignalsWatched());
        EXPECT_FALSE(second.SignalsWatched());
        ::raise(SIGHUP);
        ProcessUntilReceived(received, 1);
        EXPECT_EQ(received, std::vector<int>{SIGHUP});
    }
    struct sigaction after {};
    ASSERT_EQ(::sigaction(SIGHUP, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    ::raise(SIGHUP);  // ignored again: the test goes on
    ::sigaction(SIGHUP, &before, nullptr);
}

TEST_F(SessionEndWatchTest, ALogoutIsCancelledExactlyWhenTheWindowRefuses) {
    for (bool refuse : {true, false}) {
        SCOPED_TRACE(refuse);
        int agreed = 0;
        SessionEndCallbacks callbacks;
        callbacks.refuseLogout = [refuse] { return refuse; };
        callbacks.logoutAgreed = [&agreed] { ++agreed; };
        TSessionEndWatch watch(callbacks);
        FakeLogoutRequest request;
        watch.AnswerLogoutRequest(request);
        EXPECT_EQ(request.cancels, refuse ? 1 : 0);
        EXPECT_EQ(agreed, refuse ? 0 : 1);
    }
}

}  // namespace

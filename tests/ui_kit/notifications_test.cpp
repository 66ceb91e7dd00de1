#include <gtest/gtest.h>

#include <QCoreApplication>

#include <stdexcept>
#include <vector>

#include "platform/threads.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace {

class FailingWorker : public platform::TThread {
public:
    FailingWorker() { SetFailureCode(2); }
    ~FailingWorker() override { Stop(); }

protected:
    void Execute() override { throw std::runtime_error("device vanished"); }
};

TEST(ThreadFailureConcurrent, AFailedWorkerReachesTheMainWindowAsNotification72) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    std::vector<std::pair<uintptr_t, intptr_t>> received;
    mainWnd = platform::RegisterWindow([&](uint32_t msg, uintptr_t code, intptr_t arg) {
        if (msg == WM_MAIN_NOTIFY) received.emplace_back(code, arg);
    });
    mainReady = true;
    InstallThreadFailureNotification();

    FailingWorker worker;
    worker.Start();
    worker.WaitFor();
    QCoreApplication::processEvents();

    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, uintptr_t{kNotifyThreadFailure});
    EXPECT_EQ(received[0].second, 2);

    // Once the main window is gone, a failure is not posted to it.
    mainReady = false;
    platform::UnregisterWindow(mainWnd.exchange(0));
    FailingWorker late;
    late.Start();
    late.WaitFor();
    QCoreApplication::processEvents();
    EXPECT_EQ(received.size(), 1u);
    platform::TThread::SetFailureHandler(nullptr);
}

}  // namespace

#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace platform {
namespace {

constexpr int kGuardMs = 30000;  // only against hanging
constexpr uint32_t kNotify = WM_APP + 0xB3;

int g_argc = 1;
char g_arg0[] = "test_platform_window_messages";
char* g_argv[] = {g_arg0, nullptr};

class WindowMessages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            new QCoreApplication(g_argc, g_argv);  // lives as long as the process
        }
    }

    // Runs the GUI event loop until done() holds; false when the guard ran out.
    static bool RunUntil(const std::function<bool()>& done) {
        if (done()) {
            return true;
        }
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        check.start(1);
        QTimer::singleShot(kGuardMs, &loop, &QEventLoop::quit);
        loop.exec();
        return done();
    }

    static bool OnGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
};

TEST_F(WindowMessages, PostsFromFourThreadsArriveOnTheGuiThreadInEachThreadsOrderConcurrent) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 1000;
    std::vector<intptr_t> lastSeen(kThreads, -1);
    int received = 0;
    int outOfOrder = 0;
    int offGuiThread = 0;
    int wrongMessage = 0;
    const WindowHandle window = RegisterWindow([&](uint32_t msg, uintptr_t wParam, intptr_t lParam) {
        ++received;
        offGuiThread += OnGuiThread() ? 0 : 1;
        wrongMessage += msg == kNotify ? 0 : 1;
        if (wParam >= kThreads || lParam != lastSeen[wParam] + 1) {
            ++outOfOrder;
        } else {
            lastSeen[wParam] = lParam;
        }
    });

    std::atomic<int> refused{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (!PostMessage(window, kNotify, static_cast<uintptr_t>(t), i)) {
                    ++refused;
                }
            }
        });
    }
    for (std::thread& poster : posters) {
        poster.join();
    }
    EXPECT_EQ(refused.load(), 0);
    ASSERT_TRUE(RunUntil([&] { return received == kThreads * kPerThread; }));
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(offGuiThread, 0);
    EXPECT_EQ(wrongMessage, 0);
    EXPECT_EQ(lastSeen, std::vector<intptr_t>(kThreads, kPerThread - 1));
    UnregisterWindow(window);
}

TEST_F(WindowMessages, PostsToAWindowThatIsGoneAreDropped) {
    int goneReceived = 0;
    int selfClosingReceived = 0;
    bool markerArrived = false;
    const WindowHandle gone = RegisterWindow([&](uint32_t, uintptr_t, intptr_t) { ++goneReceived; });
    WindowHandle selfClosing = 0;
    selfClosing = RegisterWindow([&](uint32_t, uintptr_t, intptr_t) {
        ++selfClosingReceived;
        UnregisterWindow(selfClosing);
    });
    const WindowHandle marker = RegisterWindow([&](uint32_t, uintptr_t, intptr_t) { markerArrived = true; });

    ASSERT_TRUE(PostMessage(gone, kNotify, 1, 0));
    UnregisterWindow(gone);
    UnregisterWindow(gone);  // a second time is harmless
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(PostMessage(gone, kNotify, 2, 0));
    EXPECT_FALSE(PostMessage(0, kNotify, 3, 0));
    EXPECT_FALSE(PostMessage(marker + 1000, kNotify, 4, 0));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PostMessage(selfClosing, kNotify, 5, i));
    }

    // Posts arrive in order, so once the marker is in, everything before it was handled or dropped.
    ASSERT_TRUE(PostMessage(marker, kNotify, 6, 0));
    ASSERT_TRUE(RunUntil([&] { return markerArrived; }));
    EXPECT_EQ(goneReceived, 0);
    EXPECT_EQ(selfClosingReceived, 1);
    UnregisterWindow(marker);
}

TEST_F(WindowMessages, AThrowingHandlerIsContainedAndLaterMessagesStillArrive) {
    std::vector<uintptr_t> handled;
    const WindowHandle window = RegisterWindow([&](uint32_t, uintptr_t wParam, intptr_t) {
        handled.push_back(wParam);
        if (wParam == 1) {
            throw std::runtime_error("handler failed");
        }
        if (wParam == 2) {
            throw 2;
        }
    });
    EXPECT_NO_THROW(SendMessage(window, kNotify, 1, 0));
    ASSERT_TRUE(PostMessage(window, kNotify, 2, 0));
    ASSERT_TRUE(PostMessage(window, kNotify, 1, 0));
    ASSERT_TRUE(PostMessage(window, kNotify, 3, 0));
    ASSERT_TRUE(RunUntil([&] { return handled.size() == 4; }));
    EXPECT_EQ(handled, (std::vector<uintptr_t>{1, 2, 1, 3}));
    UnregisterWindow(window);
}

TEST_F(WindowMessages, SendMessageRunsTheHandlerAtOnceOnTheGuiThreadOnly) {
    std::vector<uint32_t> handled;
    const WindowHandle window = RegisterWindow([&](uint32_t msg, uintptr_t, intptr_t) { handled.push_back(msg); });
    SendMessage(window, kNotify, 21, 0);
    EXPECT_EQ(handled, std::vector<uint32_t>{kNotify});
    SendMessage(window + 1000, kNotify, 21, 0);  // unknown: nothing happens
    EXPECT_EQ(handled.size(), 1u);

    bool sendRefused = false;
    bool registerRefused = false;
    std::thread worker([&] {
        try {
            SendMessage(window, kNotify, 21, 0);
        } catch (const std::logic_error&) {
            sendRefused = true;
        }
        try {
            RegisterWindow([](uint32_t, uintptr_t, intptr_t) {});
        } catch (const std::logic_error&) {
            registerRefused = true;
        }
    });
    worker.join();
    EXPECT_TRUE(sendRefused);
    EXPECT_TRUE(registerRefused);
    EXPECT_EQ(handled.size(), 1u);
    UnregisterWindow(window);
}

TEST_F(WindowMessages, HandlesAreNeverUsedTwiceAndAnEmptyHandlerIsRefused) {
    const WindowHandle first = RegisterWindow([](uint32_t, uintptr_t, intptr_t) {});
    UnregisterWindow(first);
    const WindowHandle second = RegisterWindow([](uint32_t, uintptr_t, intptr_t) {});
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, first);
    EXPECT_TRUE(IsWindow(second));
    EXPECT_FALSE(IsWindow(first));
    UnregisterWindow(second);
    EXPECT_THROW(RegisterWindow(MessageHandler()), std::invalid_argument);
}

}  // namespace
}  // namespace platform

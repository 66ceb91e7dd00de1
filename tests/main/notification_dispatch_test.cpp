#include "main/notification_dispatch.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <vector>

#include "platform/window_messages.h"
#include "ui_kit/notifications.h"

namespace {

struct Call {
    uintptr_t code;
    int32_t argument;
    bool operator==(const Call&) const = default;
};

class NotificationDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (uintptr_t code : {2u, 45u, 47u, 52u}) {
            dispatch.Add(code, [this, code](int32_t arg) { calls.push_back({code, arg}); }, code == 2 || code == 45);
        }
        dispatch.Add(72, [](int32_t) { throw std::runtime_error("handler failed"); });
    }
    TNotifyDispatch dispatch;
    std::vector<Call> calls;
};

TEST_F(NotificationDispatchTest, UnknownCodesDoNothing) {
    for (uintptr_t code : {40u, 70u, 321u, 9999u}) EXPECT_FALSE(dispatch.Dispatch(code, 1, false));
    EXPECT_TRUE(calls.empty());
}

TEST_F(NotificationDispatchTest, RedrawAndValueCodesAreQuietOnceTheShutDownBegan) {
    EXPECT_FALSE(dispatch.Dispatch(45, 15, true));
    EXPECT_FALSE(dispatch.Dispatch(2, 0, true));
    EXPECT_TRUE(dispatch.Dispatch(47, 12, true));  // stored records still arrive
    EXPECT_EQ(calls, (std::vector<Call>{{47, 12}}));
}

TEST_F(NotificationDispatchTest, AThrowingHandlerStopsThereAndTheNextCodeRuns) {
    EXPECT_FALSE(dispatch.Dispatch(72, 0, false));
    EXPECT_TRUE(dispatch.Dispatch(52, 3, false));
    EXPECT_EQ(calls, (std::vector<Call>{{52, 3}}));
}

TEST_F(NotificationDispatchTest, AnArgumentOutside32BitsRunsNothing) {
    EXPECT_FALSE(dispatch.Dispatch(47, static_cast<intptr_t>(std::numeric_limits<int32_t>::max()) + 1, false));
    EXPECT_FALSE(dispatch.Dispatch(47, static_cast<intptr_t>(std::numeric_limits<int32_t>::min()) - 1, false));
    EXPECT_TRUE(dispatch.Dispatch(47, -1, false));
    EXPECT_EQ(calls, (std::vector<Call>{{47, -1}}));
}

TEST_F(NotificationDispatchTest, PostedCodesArriveInTheOrderTheyWerePosted) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const platform::WindowHandle window = platform::RegisterWindow(
        [this](uint32_t msg, uintptr_t code, intptr_t arg) {
            if (msg == WM_MAIN_NOTIFY) dispatch.Dispatch(code, arg, false);
        });
    const std::vector<Call> posted = {{47, 1}, {52, 3}, {45, 15}, {72, 0}, {47, 2}, {2, 0}};
    for (const Call& c : posted) ASSERT_TRUE(platform::PostMessage(window, WM_MAIN_NOTIFY, c.code, c.argument));
    QCoreApplication::processEvents();
    platform::UnregisterWindow(window);
    EXPECT_EQ(calls, (std::vector<Call>{{47, 1}, {52, 3}, {45, 15}, {47, 2}, {2, 0}}));
}

}  // namespace

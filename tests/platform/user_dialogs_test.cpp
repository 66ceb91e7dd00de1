#include "platform/user_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace platform;

namespace {

class UserDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { SetUserDialogs(&dialogs); }
    void TearDown() override { SetUserDialogs(nullptr); }

    ScriptedDialogs dialogs;
};

MessageRequest Question(const QString& text, int32_t textId) {
    MessageRequest r;
    r.text = text;
    r.textId = textId;
    r.header = QStringLiteral("Input Volume Changed");
    r.headerId = 855;
    r.leftCaption = QStringLiteral("Cancel");
    r.leftCaptionId = 403;
    r.rightCaption = QStringLiteral("Okay");
    r.rightCaptionId = 1054;
    return r;
}

}  // namespace

TEST_F(UserDialogsTest, MessageBoxesTakeScriptedAnswersInOrderAndAreRecorded) {
    dialogs.ScriptMessage(kMessageRight);
    dialogs.ScriptMessage(kMessageLeft);
    dialogs.ScriptMessage(kMessageCentre);

    EXPECT_EQ(userDialogs()->ShowMessage(Question(QStringLiteral("first"), 857)), kMessageRight);
    EXPECT_EQ(userDialogs()->ShowMessage(Question(QStringLiteral("second"), 858)), kMessageLeft);
    EXPECT_EQ(userDialogs()->ShowMessage(Question(QStringLiteral("third"), 859)), kMessageCentre);
    EXPECT_EQ(dialogs.pendingCount(), 0);
    EXPECT_EQ(dialogs.unscriptedCount(), 0);

    const std::vector<MessageRequest> asked = dialogs.messages();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].text, QStringLiteral("first"));
    EXPECT_EQ(asked[1].textId, 858);
    EXPECT_EQ(asked[2].headerId, 855);
    EXPECT_EQ(asked[2].rightCaption, QStringLiteral("Okay"));
    EXPECT_EQ(asked[2].centreCaptionId, 0);
}

TEST_F(UserDialogsTest, PasswordPromptTakesScriptedAnswersAndRecordsTheRequest) {
    dialogs.ScriptPassword(QStringLiteral("geheim"));
    dialogs.ScriptPasswordCancel();

    PasswordRequest fileRequest;
    fileRequest.name = QStringLiteral("/tmp/concert.vtm");
    fileRequest.topLeft = QPoint(10, 20);
    const PasswordAnswer first = userDialogs()->AskPassword(fileRequest);
    EXPECT_TRUE(first.ok());
    EXPECT_EQ(first.modalResult, kPasswordOk);
    EXPECT_EQ(first.password, QStringLiteral("geheim"));

    PasswordRequest hostRequest;
    hostRequest.fileMode = false;
    hostRequest.name = QStringLiteral("127.0.0.1");
    const PasswordAnswer second = userDialogs()->AskPassword(hostRequest);
    EXPECT_FALSE(second.ok());
    EXPECT_EQ(second.modalResult, kPasswordCancel);
    EXPECT_TRUE(second.password.isEmpty());

    const std::vector<PasswordRequest> asked = dialogs.passwordRequests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].fileMode);
    EXPECT_EQ(asked[0].topLeft, QPoint(10, 20));
    EXPECT_FALSE(asked[1].fileMode);
    EXPECT_EQ(asked[1].name, QStringLiteral("127.0.0.1"));
}

TEST_F(UserDialogsTest, EmptyQueueAnswersClosedOrCancelAndCountsUnscripted) {
    EXPECT_EQ(userDialogs()->ShowMessage(Question(QStringLiteral("nobody scripted me"), 1)),
              kMessageClosed);
    const PasswordAnswer answer = userDialogs()->AskPassword(PasswordRequest{});
    EXPECT_EQ(answer.modalResult, kPasswordCancel);
    EXPECT_TRUE(answer.password.isEmpty());
    EXPECT_EQ(dialogs.unscriptedCount(), 2);
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(UserDialogsTest, InformationPopupIsRecordedWithItsArguments) {
    InfoRequest info;
    info.info = QStringLiteral("The current input setting is mono.");
    info.header = QStringLiteral("Audio Device Setup");
    info.timeoutMs = 15000;
    info.leftCaption = QStringLiteral("Audio Device Setup");
    info.leftAnswer = 1;
    info.rightCaption = QStringLiteral("Close");
    info.rightAnswer = 0;
    userDialogs()->ShowInfo(info);

    const std::vector<InfoRequest> shown = dialogs.infos();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].timeoutMs, 15000);
    EXPECT_EQ(shown[0].leftAnswer, 1);
    EXPECT_EQ(shown[0].rightAnswer, 0);
    EXPECT_EQ(shown[0].x, -1);
    EXPECT_EQ(dialogs.unscriptedCount(), 0);  // the popup never answers its caller
}

TEST_F(UserDialogsTest, ScriptingAnImpossibleAnswerIsRefusedAndChangesNothing) {
    dialogs.ScriptMessage(kMessageLeft);
    for (int bad : {0, 3, 5, 16, -1}) {
        EXPECT_THROW(dialogs.ScriptMessage(bad), std::invalid_argument) << bad;
    }
    EXPECT_EQ(dialogs.pendingCount(), 1);
    EXPECT_EQ(userDialogs()->ShowMessage(MessageRequest{}), kMessageLeft);
}

TEST(UserDialogsUnregistered, AnswersClosedAndCancelAndWritesToStderr) {
    SetUserDialogs(nullptr);
    ASSERT_NE(userDialogs(), nullptr);

    testing::internal::CaptureStderr();
    const int result = userDialogs()->ShowMessage(Question(QStringLiteral("Overwrite the file?"), 5));
    const PasswordAnswer answer = userDialogs()->AskPassword(PasswordRequest{true, QStringLiteral("x.vtm"), std::nullopt, nullptr});
    const std::string written = testing::internal::GetCapturedStderr();

    EXPECT_EQ(result, kMessageClosed);
    EXPECT_EQ(answer.modalResult, kPasswordCancel);
    EXPECT_TRUE(answer.password.isEmpty());
    EXPECT_NE(written.find("Overwrite the file?"), std::string::npos) << written;
    EXPECT_NE(written.find("x.vtm"), std::string::npos) << written;
}

TEST_F(UserDialogsTest, ConcurrentWorkerThreadsAskWithoutBlocking) {
    constexpr int kThreads = 4;
    constexpr int kQuestionsEach = 25;
    for (int i = 0; i < kThreads * kQuestionsEach; ++i) {
        dialogs.ScriptMessage(kMessageRight);
    }
    std::vector<int> rightAnswers(kThreads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([t, &rightAnswers] {
            for (int i = 0; i < kQuestionsEach; ++i) {
                if (userDialogs()->ShowMessage(MessageRequest{}) == kMessageRight) {
                    ++rightAnswers[t];
                }
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    for (int n : rightAnswers) {
        EXPECT_EQ(n, kQuestionsEach);
    }
    EXPECT_EQ(dialogs.messages().size(), static_cast<size_t>(kThreads * kQuestionsEach));
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
    // The queue is empty now: the next worker gets "closed" instead of hanging.
    int late = 0;
    std::thread([&late] { late = userDialogs()->ShowMessage(MessageRequest{}); }).join();
    EXPECT_EQ(late, kMessageClosed);
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <thread>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/gui_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using gui_test::App;
using gui_test::Click;

// Runs action on the message box as soon as it is shown modally; the box's
// own event loop delivers the timer, so nothing blocks.
void WhenShown(std::function<void(TTMessage*)> action) {
    QTimer::singleShot(0, [action] {
        auto* box = dynamic_cast<TTMessage*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no message box is shown";
        action(box);
    });
}

class MessageBox : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        language = kLangEnglish;
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
    }
};

TEST_F(MessageBox, EachControlEndsTheBoxWithItsAnswer) {
    struct Case {
        const char* name;
        std::function<void(TTMessage*)> act;
        int answer;
    };
    const Case cases[] = {
        {"right button", [](TTMessage* b) { Click(b->pbRight, QPoint(10, 10)); }, 4},
        {"centre button", [](TTMessage* b) { Click(b->pbCenter, QPoint(10, 10)); }, 8},
        {"left button", [](TTMessage* b) { Click(b->pbLeft, QPoint(10, 10)); }, 2},
        {"close icon", [](TTMessage* b) { Click(b->pbHeader, QPoint(b->pbHeader->width() - 5, 5)); }, 1},
        {"system close", [](TTMessage* b) { b->close(); }, 1},
        {"escape key",
         [](TTMessage* b) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(b, &escape);
         },
         1},
    };
    for (const Case& c : cases) {
        WhenShown(c.act);
        EXPECT_EQ(ShowTMessage(QStringLiteral("Overwrite the file?"), QStringLiteral("File"), QStringLiteral("No"),
                               QStringLiteral("Later"), QStringLiteral("Yes")),
                  c.answer)
            << c.name;
    }
}

TEST_F(MessageBox, AClickOnTheHeaderBesideTheIconDoesNotEndTheBox) {
    WhenShown([](TTMessage* b) {
        Click(b->pbHeader, QPoint(20, 5));
        EXPECT_TRUE(b->isVisible());
        Click(b->pbRight, QPoint(10, 10));
    });
    EXPECT_EQ(ShowTMessage(QStringLiteral("Text"), QStringLiteral("Header"), QString(), QString(),
                           QStringLiteral("Okay")),
              4);
}

TEST_F(MessageBox, CaptionIdsOfZeroOrBelowLeaveTheButtonsOut) {
    WhenShown([](TTMessage* b) {
        EXPECT_TRUE(b->pbLeft->isHidden());
        EXPECT_TRUE(b->pbCenter->isHidden());
        EXPECT_TRUE(b->pbRight->isHidden());
        EXPECT_EQ(b->myText, GetLangText(3));
        EXPECT_EQ(b->myHeader, GetLangText(0)) << "the header id 0 is looked up";
        b->close();
    });
    EXPECT_EQ(ShowMessageIds(3, 0, 0, -1, 0), 1);

    WhenShown([](TTMessage* b) {
        EXPECT_FALSE(b->pbLeft->isHidden());
        EXPECT_TRUE(b->pbCenter->isHidden());
        EXPECT_FALSE(b->pbRight->isHidden());
        EXPECT_EQ(b->labelR, GetLangText(1054));
        Click(b->pbLeft, QPoint(5, 5));
    });
    EXPECT_EQ(ShowMessageText(QStringLiteral("Stop the measurement?"), 861, 1054, 0, 1054), 2);
}

TEST_F(MessageBox, OneCharacterHidesAButtonAndTwoShowIt) {
    TTMessage box(nullptr, 96);
    box.MyMessage(QStringLiteral("H"), QStringLiteral("T"), QStringLiteral("A"), QStringLiteral("OK"), QString());
    EXPECT_TRUE(box.pbLeft->isHidden());
    EXPECT_FALSE(box.pbCenter->isHidden());
    EXPECT_TRUE(box.pbRight->isHidden());
}

TEST_F(MessageBox, LayoutAtScaleOne) {
    TTMessage box(nullptr, 96);
    box.MyMessage(QStringLiteral("Header"), QStringLiteral("A short message."), QString(), QString(),
                  QStringLiteral("Okay"));
    EXPECT_EQ(box.myFrame, 1);
    EXPECT_EQ(box.mySp, 16);
    EXPECT_EQ(box.myIconSize, 22);
    EXPECT_EQ(box.width(), 400);
    EXPECT_EQ(box.pbHeader->geometry(), QRect(1, 1, 398, 22));
    EXPECT_EQ(box.pbMain->y(), 23);
    EXPECT_EQ(box.pUnten->y(), box.pbMain->y() + box.pbMain->height());
    EXPECT_EQ(box.pUnten->height(), 2 * 16 + 33);
    EXPECT_EQ(box.height(), box.pUnten->y() + box.pUnten->height() + 1);
    // The right button ends one spacing before the strip's right edge.
    EXPECT_EQ(box.pbRight->x() + box.pbRight->width(), box.pUnten->width() - 16);
    EXPECT_EQ(box.pbRight->y(), 16);
    EXPECT_EQ(box.pbRight->width(), 110 + 32);
}

TEST_F(MessageBox, ALongWordWidensTheWindow) {
    TTMessage box(nullptr, 96);
    const QString word = QStringLiteral("Measurement_file_name_without_any_space_at_all_2026.vtm");
    box.MyMessage(QStringLiteral("Header"), word, QString(), QString(), QStringLiteral("Okay"));
    TBitmap32 probe(10, 10);
    probe.Font.height = -13;
    probe.Font.bold = true;
    const int wordWidth = probe.TextWidth(word);
    ASSERT_GT(wordWidth + 32, 398);
    EXPECT_EQ(box.pbMain->width(), wordWidth + 2 * 16);
    EXPECT_EQ(box.width(), wordWidth + 2 * 16 + 2);
    EXPECT_EQ(box.pbHeader->width(), box.pbMain->width());
    EXPECT_EQ(box.pUnten->width(), box.pbMain->width());
    // One line of text: the area is that line and two spacings high.
    EXPECT_EQ(box.pbMain->height(), probe.TextHeight(word) + 32);
}

TEST_F(MessageBox, ThreeLongCaptionsFitWithSpacingsBetweenAndAround) {
    TTMessage box(nullptr, 96);
    box.MyMessage(QStringLiteral("Header"), QStringLiteral("Text"), QStringLiteral("Discard all changes"),
                  QStringLiteral("Keep the old calibration"), QStringLiteral("Calibrate again now"));
    const QRect l = box.pbLeft->geometry();
    const QRect c = box.pbCenter->geometry();
    const QRect r = box.pbRight->geometry();
    EXPECT_EQ(l.x(), 16);
    EXPECT_GE(c.x(), l.x() + l.width() + 16);
    EXPECT_GE(r.x(), c.x() + c.width() + 16);
    EXPECT_EQ(r.x() + r.width(), box.pUnten->width() - 16);
    EXPECT_GT(box.width(), 400);
    EXPECT_EQ(box.width(), l.width() + c.width() + r.width() + 4 * 16 + 2);
}

TEST_F(MessageBox, AMultiLineTextIsNotCutOff) {
    TTMessage box(nullptr, 96);
    const QString text = QStringLiteral(
        "The audio input could not be opened. Another program may be using the device, or the device was "
        "unplugged. Check the connection and choose the device again in the audio settings.");
    box.MyMessage(QStringLiteral("Audio"), text, QString(), QString(), QStringLiteral("Okay"));
    TBitmap32 probe(10, 10);
    probe.Font.height = -13;
    probe.Font.bold = true;
    const QRect drawn = probe.MeasureText(QRect(0, 0, box.pbMain->width() - 32, 10000), text, kTextWordBreak);
    EXPECT_GT(drawn.height(), probe.TextHeight(text) * 2);
    EXPECT_EQ(box.pbMain->height(), drawn.height() + 32);
}

TEST_F(MessageBox, ScaleFollowsTheDensity) {
    TTMessage box(nullptr, 144);
    box.MyMessage(QStringLiteral("Header"), QStringLiteral("Text"), QString(), QString(), QStringLiteral("Okay"));
    EXPECT_EQ(box.mySf, 1.5);
    EXPECT_EQ(box.mySp, 24);
    EXPECT_EQ(box.myFrame, 2);
    EXPECT_EQ(box.myIconSize, 33);
    EXPECT_EQ(box.width(), 600);
    EXPECT_EQ(box.pbRight->height(), 50);
}

TEST_F(MessageBox, FitRectToWorkAreaKeepsTheWindowInside) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    EXPECT_EQ(FitRectToWorkArea(QRect(area.x() + 10, area.y() + 20, 100, 50)), QPoint(area.x() + 10, area.y() + 20));
    EXPECT_EQ(FitRectToWorkArea(QRect(area.x() + 10, bottom - 20, 100, 50)), QPoint(area.x() + 10, bottom - 50));
    EXPECT_EQ(FitRectToWorkArea(QRect(right - 20, area.y() - 30, 100, 50)), QPoint(right - 100, area.y()));
    EXPECT_EQ(FitRectToWorkArea(QRect(area.x() + 50, area.y() + 50, area.width() + 10, area.height() + 10)),
              area.topLeft());
}

TEST_F(MessageBox, TheBoxIsCentredOnTheScreenWithoutAMainWindow) {
    WhenShown([](TTMessage* b) {
        EXPECT_EQ(b->pos(), FitRectToWorkArea(QRect(b->CenterOnScreen(), b->size())));
        b->close();
    });
    ShowTMessage(QStringLiteral("Text"), QStringLiteral("Header"), QString(), QString(), QStringLiteral("Okay"));
}

TEST_F(MessageBox, HeaderHoverLightsTheIconSquare) {
    SetColorScheme(kSchemeLight);
    TTMessage box(nullptr, 96);
    box.MyMessage(QStringLiteral("Header"), QStringLiteral("Text"), QString(), QString(), QStringLiteral("Okay"));
    TPaintBox32* header = box.pbHeader;
    QMouseEvent move(QEvent::MouseMove, QPointF(header->width() - 2, 20), header->mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header, &move);
    EXPECT_EQ(header->Tag, 1);
    header->RenderBuffer();
    EXPECT_EQ(header->Buffer().Pixel(header->width() - 21, 1), clHover32);
    EXPECT_EQ(header->Buffer().Pixel(header->width() - 30, 1), clBack32);
    QMouseEvent away(QEvent::MouseMove, QPointF(50, 5), header->mapToGlobal(QPointF(0, 0)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header, &away);
    EXPECT_EQ(header->Tag, 0);
    SetColorScheme(kSchemeDark);
}

// ---------------------------------------------------------------------------
// The dialog service of the GUI
// ---------------------------------------------------------------------------

TEST_F(MessageBox, GuiDialogsShowTheOwnMessageBox) {
    GuiDialogs dialogs;
    platform::SetUserDialogs(&dialogs);
    WhenShown([](TTMessage* b) {
        EXPECT_EQ(b->myHeader, QStringLiteral("Special Events"));
        Click(b->pbCenter, QPoint(10, 10));
    });
    platform::MessageRequest request;
    request.text = QStringLiteral("Text");
    request.header = QStringLiteral("Special Events");
    request.leftCaption = QStringLiteral("No");
    request.centreCaption = QStringLiteral("Maybe");
    request.rightCaption = QStringLiteral("Yes");
    EXPECT_EQ(platform::userDialogs()->ShowMessage(request), platform::kMessageCentre);
    platform::SetUserDialogs(nullptr);
}

TEST_F(MessageBox, ConcurrentModalRequestsFromWorkerThreadsAreRefused) {
    GuiDialogs dialogs;
    platform::MessageRequest request;
    request.text = QStringLiteral("from a worker");
    request.rightCaption = QStringLiteral("Okay");
    int answer = 0;
    std::thread worker([&] { answer = dialogs.ShowMessage(request); });
    worker.join();
    EXPECT_EQ(answer, platform::kMessageClosed);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MessageBox, GuiDialogsPasswordPromptComesFromItsOwner) {
    GuiDialogs dialogs;
    platform::PasswordRequest request;
    request.name = QStringLiteral("/tmp/protected.vtm");
    EXPECT_FALSE(dialogs.HasPasswordPrompt());
    const platform::PasswordAnswer none = dialogs.AskPassword(request);
    EXPECT_EQ(none.modalResult, platform::kPasswordCancel);
    EXPECT_TRUE(none.password.isEmpty());

    QString asked;
    dialogs.SetPasswordPrompt([&](const platform::PasswordRequest& r) {
        asked = r.name;
        return platform::PasswordAnswer{platform::kPasswordOk, QStringLiteral("secret")};
    });
    const platform::PasswordAnswer answer = dialogs.AskPassword(request);
    EXPECT_TRUE(answer.ok());
    EXPECT_EQ(answer.password, QStringLiteral("secret"));
    EXPECT_EQ(asked, request.name);
}

}  // namespace

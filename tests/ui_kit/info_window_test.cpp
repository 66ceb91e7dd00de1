#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <vector>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/info_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using gui_test::App;
using gui_test::Click;

QString Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QStringLiteral("Line %1 of the device report").arg(i);
    return lines.join(QLatin1Char('\n'));
}

// Stands in for the main window: records every answer and, like its answer
// handler, frees the information window on answer 0 when asked to.
class InformationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        language = kLangEnglish;
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        mainWnd = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t answer) {
            if (msg != WM_MAIN_NOTIFY || code != kNotifyInfoAnswer) return;
            answers.push_back(answer);
            if (answer == 0 && freeOnClose) delete infoWindow.exchange(nullptr);
            if (waiting != nullptr) waiting->quit();
        });
        mainReady = true;
    }
    void TearDown() override {
        delete infoWindow.exchange(nullptr);
        mainReady = false;
        platform::UnregisterWindow(mainWnd.exchange(0));
    }

    // Runs the event loop until the next answer arrives; fails after a
    // generous guard instead of hanging.
    void WaitForAnswer() {
        QEventLoop loop;
        waiting = &loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
            ADD_FAILURE() << "no answer arrived";
            loop.quit();
        });
        guard.start(10000);
        loop.exec();
        waiting = nullptr;
    }

    TinfoWindow* Window() { return infoWindow.load(); }

    void ShowTwoButtons(int32_t left, int32_t right, int32_t timeout = 0) {
        ShowInfoPopup(-1, -1, QStringLiteral("The web server could not start on port 80."),
                      QStringLiteral("Web server"), timeout, QStringLiteral("Settings"), left, QStringLiteral("Close"),
                      right, 9, 0, 0);
        ASSERT_NE(Window(), nullptr);
        Window()->pbBottom->RenderBuffer();  // lays out the button hit areas
    }

    std::vector<intptr_t> answers;
    bool freeOnClose = true;
    QEventLoop* waiting = nullptr;
};

TEST_F(InformationWindow, ButtonsAnswerWithTheirCodesAndTheWindowStays) {
    ShowTwoButtons(1, 6);
    TinfoWindow* w = Window();
    EXPECT_EQ(w->mC, 9);
    Click(w->pbBottom, w->brRechts.center());
    Click(w->pbBottom, w->brLinks.center());
    Click(w->pbBottom, QPoint(w->pbBottom->width() / 2, 5));  // between the buttons
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, (std::vector<intptr_t>{6, 1}));
    EXPECT_EQ(Window(), w) << "the receiver decides; the window never closes itself";
}

TEST_F(InformationWindow, AButtonWithANegativeCodeOnlyHighlights) {
    ShowTwoButtons(2, -1);
    TinfoWindow* w = Window();
    const QPoint right = w->brRechts.center();
    QMouseEvent move(QEvent::MouseMove, right, w->pbBottom->mapToGlobal(right), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w->pbBottom, &move);
    EXPECT_EQ(w->pbBottom->Tag, 2);
    w->pbBottom->RenderBuffer();
    EXPECT_EQ(w->pbBottom->Buffer().Pixel(w->brRechts.x() + 2, 5), clHover32);
    Click(w->pbBottom, right);
    QCoreApplication::processEvents();
    EXPECT_TRUE(answers.empty());
}

TEST_F(InformationWindow, NothingIsPostedWhileTheMainWindowIsNotReady) {
    ShowTwoButtons(1, 6, 1);
    TinfoWindow* w = Window();
    mainReady = false;
    Click(w->pbBottom, w->brRechts.center());
    Click(w->pbTop, QPoint(w->pbTop->width() - 3, 3));
    QCoreApplication::processEvents();
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(w->isHidden()) << "with no main window to free it, the close icon hides it";
    mainReady = true;
}

TEST_F(InformationWindow, TheCloseIconAnswersZeroAndTheMainWindowFreesIt) {
    ShowTwoButtons(1, 6);
    Click(Window()->pbTop, QPoint(Window()->pbTop->width() - 3, 3));
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, std::vector<intptr_t>{0});
    EXPECT_EQ(Window(), nullptr);
}

TEST_F(InformationWindow, TheTimeOutAnswersOnceAndStops) {
    freeOnClose = false;
    ShowTwoButtons(1, 6, 5);
    TinfoWindow* w = Window();
    EXPECT_TRUE(w->tEnd->isActive());
    EXPECT_EQ(w->tEnd->interval(), 5);
    WaitForAnswer();
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, std::vector<intptr_t>{0});
    EXPECT_FALSE(w->tEnd->isActive());
}

TEST_F(InformationWindow, NoTimeOutKeepsTheTimerOff) {
    ShowTwoButtons(1, 6, 0);
    EXPECT_FALSE(Window()->tEnd->isActive());
    ShowTwoButtons(1, 6, -5);
    EXPECT_FALSE(Window()->tEnd->isActive());
}

TEST_F(InformationWindow, ASecondPopupFirstAnswersTheOpenOne) {
    ShowTwoButtons(1, 6);
    TinfoWindow* first = Window();
    ShowInfoPopup(-1, -1, QStringLiteral("Second"), QStringLiteral("Header"), 0, QString(), -1, QString(), -1, 0, 0, 0);
    EXPECT_EQ(answers, std::vector<intptr_t>{0}) << "answered synchronously";
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->infoIntern, QStringLiteral("Second"));
    (void)first;  // freed by the stand-in main window

    // A main window that does not free it gets the same window back, refilled.
    freeOnClose = false;
    TinfoWindow* kept = Window();
    ShowInfoPopup(-1, -1, QStringLiteral("Third"), QStringLiteral("Header"), 0, QString(), -1, QString(), -1, 0, 0, 0);
    EXPECT_EQ(Window(), kept);
    EXPECT_EQ(kept->infoIntern, QStringLiteral("Third"));
}

TEST_F(InformationWindow, TheWindowTakesThePaletteAndClearsTheSharedVariableWhenFreed) {
    SetColorScheme(kSchemeLight);
    ShowTwoButtons(1, 6);
    TinfoWindow* w = Window();
    EXPECT_EQ(w->fontColor, clText);
    EXPECT_EQ(w->hgColor, clPanel32);
    EXPECT_EQ(w->RahmenColor, clFrame32);
    delete w;
    EXPECT_EQ(infoWindow.load(), nullptr);
    SetColorScheme(kSchemeDark);
}

TEST_F(InformationWindow, WrapWidthFollowsTheRequestedMaximum) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int minW = 250;
    const int share = std::max(minW, static_cast<int>(std::nearbyint(0.3 * area.width())));
    const QString text = QStringLiteral("word ").repeated(400);
    struct Case {
        int32_t maxWidth;
        int expectedWrap;
    };
    for (const Case& c : {Case{-1, share}, Case{0, share}, Case{249, share}, Case{600, 600}, Case{250, 250}}) {
        TinfoWindow w(nullptr, 96);
        w.Set_text(QStringLiteral("H"), text, QString(), QString(), c.maxWidth);
        const int textWidth = w.width() - 2 * w.myRand - (w.bScroll ? w.scroller->width() + 1 : 0);
        EXPECT_LE(textWidth, c.expectedWrap) << c.maxWidth;
        EXPECT_GE(textWidth, c.expectedWrap - 60) << c.maxWidth;
    }
}

TEST_F(InformationWindow, AnEmptyTextGivesTheMinimumWidthAndNoTextHeight) {
    TinfoWindow w(nullptr, 96);
    w.Set_text(QStringLiteral("H"), QString(), QString(), QString(), 0);
    EXPECT_EQ(w.width(), 250 + 30);
    EXPECT_EQ(w.height(), w.pbTop->height() + w.myRand + w.pbBottom->height());
    w.pbMainFull->RenderBuffer();  // nothing to copy, nothing to fail
}

TEST_F(InformationWindow, AShortTextSitsAMarginBelowTheHeader) {
    TinfoWindow w(nullptr, 96);
    w.Set_color(clText, clPanel32, clPanel32);  // no frame lines
    w.Set_text(QStringLiteral("H"), QStringLiteral("Two lines\nof text"), QString(), QString(), 0);
    EXPECT_FALSE(w.bScroll);
    EXPECT_TRUE(w.scroller->isHidden());
    EXPECT_EQ(w.pbMainFull->height(), w.bmText.Height() + w.myRand);
    w.pbMainFull->RenderBuffer();
    const TBitmap32& b = w.pbMainFull->Buffer();
    for (int y = 0; y < w.myRand; ++y) {
        for (int x = 0; x < b.Width(); ++x) ASSERT_EQ(b.Pixel(x, y), clPanel32) << x << "," << y;
    }
    // The text rows below the margin are those of the rendered text.
    for (int y = 0; y < w.bmText.Height(); ++y) {
        for (int x = 0; x < w.bmText.Width(); ++x) {
            ASSERT_EQ(b.Pixel(w.myRand + x, w.myRand + y), w.bmText.Pixel(x, y)) << x << "," << y;
        }
    }
}

TEST_F(InformationWindow, ATallTextScrollsToItsLastRows) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    TinfoWindow w(nullptr, 96);
    w.Set_color(clText, clPanel32, clFrame32);
    w.Set_text(QStringLiteral("Report"), Lines(200), QString(), QString(), 0);
    ASSERT_TRUE(w.bScroll);
    EXPECT_FALSE(w.scroller->isHidden());
    EXPECT_FALSE(w.pRand->isHidden());
    EXPECT_EQ(w.height(), static_cast<int>(std::nearbyint(0.8 * area.height())));
    EXPECT_EQ(w.width(), w.bmText.Width() + 2 * w.myRand + w.scroller->width() + 1);
    EXPECT_EQ(w.scroller->x(), w.pbMainFull->x() + w.pbMainFull->width());
    EXPECT_EQ(w.scroller->height(), w.pbMainFull->height() - w.myRand);

    const int th = w.bmText.Height();
    const int visible = w.pbMainFull->height();
    EXPECT_EQ(w.scroller->maximum(), th / w.lineStep - visible / w.lineStep + 1);

    w.scroller->setValue(3);
    EXPECT_EQ(w.topPos, 3 * w.lineStep);
    w.pbMainFull->RenderBuffer();
    EXPECT_EQ(w.pbMainFull->Buffer().Pixel(w.myRand + 5, 7), w.bmText.Pixel(5, 3 * w.lineStep + 7));

    w.scroller->setValue(w.scroller->maximum());
    w.pbMainFull->RenderBuffer();
    const TBitmap32& b = w.pbMainFull->Buffer();
    int inked = 0;
    for (int x = 0; x < w.bmText.Width(); ++x) {
        for (int back = 1; back <= w.lineStep; ++back) {
            ASSERT_EQ(b.Pixel(w.myRand + x, visible - back), w.bmText.Pixel(x, th - back));
            inked += w.bmText.Pixel(x, th - back) != clPanel32;
        }
    }
    EXPECT_GT(inked, 0) << "the last line carries text";
}

TEST_F(InformationWindow, PlacementRules) {
    const QRect A(0, 0, 1000, 800);
    const QSize S(200, 100);
    struct Case {
        const char* name;
        int32_t x, y, place;
        QPoint expected;
    };
    const Case cases[] = {
        {"centred both ways", -1, -1, 0, QPoint(400, 350)},
        {"left and top edge on the point", 100, 50, 0, QPoint(100, 50)},
        {"x 0 is a position like any other", 0, 10, 0, QPoint(0, 10)},
        {"centred on the point", 500, 400, 1, QPoint(400, 350)},
        {"bottom-right corner on the point", 500, 400, 2, QPoint(300, 300)},
        {"pushed up to the bottom edge", 100, 750, 0, QPoint(100, 700)},
        {"pushed left to the right edge", 950, 10, 0, QPoint(800, 10)},
        {"kept off the left edge", 50, 400, 1, QPoint(0, 350)},
        {"kept off the top edge", 600, 20, 2, QPoint(400, 0)},
    };
    for (const Case& c : cases) EXPECT_EQ(InfoPopupPosition(c.x, c.y, S, A, c.place), c.expected) << c.name;
    // A y above the work area centres vertically.
    EXPECT_EQ(InfoPopupPosition(10, 40, S, QRect(0, 50, 1000, 800), 0), QPoint(10, 400));
}

TEST_F(InformationWindow, TheShownWindowIsClampedToTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ShowInfoPopup(area.x() + area.width() + 500, area.y() + area.height() + 500, QStringLiteral("Text"),
                  QStringLiteral("Header"), 0, QString(), -1, QString(), -1, 0, 0, 0);
    TinfoWindow* w = Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(area.x() + area.width() - w->width(), area.y() + area.height() - w->height()));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(InformationWindow, UpdateButtonsSwapsCaptionsAndCodes) {
    ShowTwoButtons(1, 6);
    TinfoWindow* w = Window();
    w->Update_buttons(QString(), -1, QStringLiteral("Retry"), 7, 3);
    w->pbBottom->RenderBuffer();
    EXPECT_TRUE(w->brLinks.isEmpty());
    Click(w->pbBottom, w->brRechts.center());
    Click(w->pbBottom, QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, std::vector<intptr_t>{7});
    EXPECT_EQ(w->mC, 3);
}

}  // namespace

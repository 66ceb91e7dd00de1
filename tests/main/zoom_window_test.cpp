// The zoom window: sized to its text inside the work area, placed where the
// last one was closed, reused after a click, and following the event list
// only while it shows it. A screenshot is saved for a person to look at.
#include "main/zoom_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

class ZoomWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        language.store(kLangEnglish);
        work = QGuiApplication::primaryScreen()->availableGeometry();
    }
    QPoint Centre(const QWidget* w) const {
        const QRect f = w->frameGeometry();
        return QPoint(RoundI(f.left() + f.width() * 0.5), RoundI(f.top() + f.height() * 0.5));
    }

    QWidget owner;
    int32_t centreX = -1, centreY = -1;
    TZoomControl zoom{&owner, centreX, centreY};
    QRect work;
};

TEST_F(ZoomWindowTest, AShortTextGetsTheNarrowestWindowInTheMiddleOfTheWorkArea) {
    zoom.ShowZoomWindow(QStringLiteral("Level"), QStringLiteral("Measurement Infos"), kZoomMeasurementInfo);
    TZoomWindow* window = zoom.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->pbMain->width(), 200);
    EXPECT_EQ(window->width(), 210);
    EXPECT_EQ(window->pbMain->pos(), QPoint(5, 5));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Measurement Infos"));
    EXPECT_TRUE(window->isVisible());
    const QPoint centre = Centre(window);
    EXPECT_LE(std::abs(centre.x() - work.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - work.center().y()), 1);
    EXPECT_EQ(zoom.LastZoomId(), kZoomMeasurementInfo);
}

TEST_F(ZoomWindowTest, ATextTallerThanTheWorkAreaFillsItsHeightFromTheTop) {
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("Special event %1\n").arg(i);
    zoom.ShowZoomWindow(text, GetLangText(861), kZoomEvents);
    TZoomWindow* window = zoom.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_GT(window->pbMain->height(), work.height());
    EXPECT_EQ(window->frameGeometry().height(), work.height());
    EXPECT_EQ(window->frameGeometry().top(), work.top());
}

TEST_F(ZoomWindowTest, TheNextWindowOpensWhereTheLastWasClosed) {
    zoom.ShowZoomWindow(QStringLiteral("Line one\nLine two"), QStringLiteral("Head"), kZoomWebServerInfo);
    zoom.Window()->move(work.left() + 40, work.top() + 30);
    const QPoint dragged = Centre(zoom.Window());
    zoom.CloseZoomWindow();
    EXPECT_EQ(zoom.Window(), nullptr);
    EXPECT_EQ(zoom.LastZoomId(), 0);
    EXPECT_EQ(QPoint(centreX, centreY), dragged);
    zoom.ShowZoomWindow(QStringLiteral("Line one\nLine two"), QStringLiteral("Head"), kZoomWebServerInfo);
    EXPECT_EQ(Centre(zoom.Window()), dragged);
}

TEST_F(ZoomWindowTest, AfterAClickTheNextTextReusesTheWindowInPlace) {
    zoom.ShowZoomWindow(QStringLiteral("First"), QStringLiteral("Head"), kZoomMeasurementInfo);
    TZoomWindow* window = zoom.Window();
    window->move(work.left() + 60, work.top() + 50);
    const QPoint place = window->pos();
    gui_test::Click(window->pbMain, QPoint(10, 10));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(zoom.Window(), window);
    zoom.ShowZoomWindow(QStringLiteral("Second text"), QStringLiteral("Head"), kZoomMeasurementInfo);
    EXPECT_EQ(zoom.Window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), place);
    EXPECT_EQ(window->theInfo, QStringLiteral("Second text"));
}

TEST_F(ZoomWindowTest, OnlyTheEventListFollowsNewEvents) {
    const QStringList lines{QStringLiteral("20:01:00 Limit"), QStringLiteral("20:02:00 Clip")};
    zoom.ShowZoomWindow(QStringLiteral("Measurement"), QStringLiteral("Measurement Infos"), kZoomMeasurementInfo);
    zoom.RefreshEventZoom(true, lines);
    EXPECT_EQ(zoom.Window()->theInfo, QStringLiteral("Measurement"));
    zoom.RefreshEventZoom(false, lines);
    ASSERT_NE(zoom.Window(), nullptr);

    zoom.ShowZoomWindow(QStringLiteral("20:01:00 Limit\n"), GetLangText(861), kZoomEvents);
    zoom.RefreshEventZoom(true, lines);
    EXPECT_EQ(zoom.Window()->theInfo, QStringLiteral("20:01:00 Limit\n20:02:00 Clip\n"));
    // A hidden event window does not follow.
    zoom.Window()->hide();
    zoom.RefreshEventZoom(false, lines);
    ASSERT_NE(zoom.Window(), nullptr);
    zoom.Window()->show();
    zoom.RefreshEventZoom(false, lines);
    EXPECT_EQ(zoom.Window(), nullptr);
}

TEST_F(ZoomWindowTest, Screenshot) {
    zoom.ShowZoomWindow(QStringLiteral("20:01:12  LAeq15min above 99 dB\n20:17:40  Input clipped\n"
                                       "21:02:03  LCpeak 135.2 dB"),
                        GetLangText(861), kZoomEvents);
    QApplication::processEvents();
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QDir::currentPath();
    const QImage shot = zoom.Window()->grab().toImage();
    EXPECT_TRUE(shot.save(QDir(dir).filePath("zoom_window.png")));
    // The text is drawn on the information background.
    EXPECT_EQ(zoom.Window()->pbMain->Buffer().Pixel(199, 1), clPanel32);
}

}  // namespace

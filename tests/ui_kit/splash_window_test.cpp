// The splash window: its size rule, and an offscreen picture of it (written
// beside the test, or into $VELTARO_SCREENSHOT_DIR) that shows the logo
// semi-transparent over a transparent background.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QScreen>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/splash_window.h"

namespace {

TEST(Splash, ClientSizeIsFourFifthsOfTheWorkAreaInTheLogoShape) {
    const std::pair<int, QSize> cases[] = {
        {1920, QSize(1536, 288)},  // 288.27
        {1280, QSize(1024, 192)},  // 192.18
        {1366, QSize(1093, 205)},  // 1092.8 and 205.1
        {1070, QSize(856, 161)},   // 160.6
    };
    for (const auto& [width, size] : cases) EXPECT_EQ(TStartUp::ClientSizeFor(width), size) << width;
}

TEST(Splash, ShowsTheLogoSemiTransparentAndCentred) {
    gui_test::App();
    TStartUp splash;
    const QScreen* screen = splash.screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(splash.size(), TStartUp::ClientSizeFor(screen->availableGeometry().width()));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(splash.windowTitle(), QStringLiteral("Intro"));

    splash.show();
    EXPECT_LE((splash.geometry().center() - screen->geometry().center()).manhattanLength(), 1);

    const QImage shot = splash.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR") ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                                                                            : QDir::currentPath();
    EXPECT_TRUE(shot.save(QDir(dir).filePath(QStringLiteral("splash_window.png"))));

    // The corners lie outside the logo: fully transparent. The logo's solid
    // parts show at the window's opacity, never opaque.
    EXPECT_EQ(qAlpha(shot.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(shot.width() - 1, shot.height() - 1)), 0);
    int solid = 0;
    int opaque = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const int alpha = qAlpha(shot.pixel(x, y));
            solid += std::abs(alpha - TStartUp::kOpacity) <= 1 ? 1 : 0;
            opaque += alpha == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(solid, shot.width() * shot.height() / 20);
    EXPECT_EQ(opaque, 0);
}

}  // namespace

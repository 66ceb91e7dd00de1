// The tray icon's warning glyph and its behaviour where the desktop has no tray.
#include "main/tray_icon.h"

#include <QIcon>

#include <gtest/gtest.h>

#include <cmath>

#include "ui_kit/gui_test_app.h"

namespace {

TEST(TrayIcon, TheWarningGlyphIsYellowInsideAndRedOnItsEdge) {
    gui_test::App();
    for (int w : {16, 24, 32}) {
        const QImage glyph = WarningGlyph(w);
        ASSERT_EQ(glyph.size(), QSize(w, w));
        const double base = w / std::sqrt(2.0) + 2.0;
        // Inside: the centroid of the triangle.
        const int cx = w / 2;
        const int cy = static_cast<int>((3.0 + 2 * base) / 3.0);
        EXPECT_EQ(glyph.pixelColor(cx, cy), QColor(255, 255, 0)) << w;
        // On the base line and at the apex: the red outline.
        EXPECT_EQ(glyph.pixelColor(cx, static_cast<int>(base)), QColor(255, 0, 0)) << w;
        EXPECT_EQ(glyph.pixelColor(cx, 3), QColor(255, 0, 0)) << w;
        // Outside: below the base and in the top corners nothing is drawn.
        EXPECT_EQ(glyph.pixelColor(cx, w - 1).alpha(), 0) << w;
        EXPECT_EQ(glyph.pixelColor(0, 0).alpha(), 0) << w;
        EXPECT_EQ(glyph.pixelColor(w - 1, 0).alpha(), 0) << w;
    }
}

TEST(TrayIcon, WithoutATrayNothingIsCreatedAndEventsChangeNothing) {
    gui_test::App();
    QObject owner;
    int clicks = 0;
    TTrayIcon tray(&owner, false, QIcon(), [&] { ++clicks; });
    EXPECT_FALSE(tray.Exists());
    tray.ShowEvent(QStringLiteral("hint"), QStringLiteral("balloon"));
    EXPECT_FALSE(tray.IsShown());
    tray.NextFrame();
    EXPECT_EQ(tray.Frame(), 0);
    EXPECT_EQ(clicks, 0);
}

TEST(TrayIcon, WithATrayItAlternatesBetweenTheProgramIconAndTheGlyphOnceAnEventShowedIt) {
    gui_test::App();
    QObject owner;
    QPixmap program(16, 16);
    program.fill(Qt::blue);
    TTrayIcon tray(&owner, true, QIcon(program), {});
    ASSERT_TRUE(tray.Exists());
    EXPECT_FALSE(tray.IsShown());
    tray.ShowEvent(QStringLiteral("Veltaro 2026: Exceed"), QStringLiteral("Exceed"));
    EXPECT_EQ(tray.Frame(), 0);
    tray.NextFrame();
    EXPECT_EQ(tray.Frame(), 1);
    tray.NextFrame();
    EXPECT_EQ(tray.Frame(), 0);
    tray.Hide();
    EXPECT_FALSE(tray.IsShown());
    EXPECT_EQ(tray.Frame(), 0);
}

}  // namespace

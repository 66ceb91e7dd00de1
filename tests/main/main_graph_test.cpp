// The level graph and the zoom window inside the running main window: the
// graph timer and notification 2 render the display copy, and the graph's
// colours and the zoom window's place reach the registry at exit.
#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "main/graph_view.h"
#include "main/zoom_window.h"
#include "platform/registry.h"
#include "ui_kit/palette.h"

namespace {

using platform::Registry;
using test_support::MainWindowConcurrent;
using test_support::ProcessUntil;

TEST_F(MainWindowConcurrent, TheIdleGraphIsRedrawnAndShownByItsNotifications) {
    Start();
    window->show();
    TGraphView* view = window->GraphView();
    ASSERT_NE(view, nullptr);
    // The timer posts 2 while idle; each redraw posts 256, which shows it.
    ASSERT_TRUE(ProcessUntil([&] { return std::count(seen.begin(), seen.end(), kNotifyGraphRedraw) >= 2; }));
    ASSERT_TRUE(ProcessUntil([&] { return Saw(kNotifyGraphRepaint); }));
    // Most of the graph is the plot panel once a redraw ran at the final size.
    auto panelShare = [&] {
        const TBitmap32& bitmap = view->GraphBitmap();
        int panel = 0;
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x) panel += bitmap.Pixel(x, y) == clPanel32;
        return bitmap.Empty() ? 0.0 : static_cast<double>(panel) / (bitmap.Width() * bitmap.Height());
    };
    EXPECT_TRUE(ProcessUntil([&] { return panelShare() > 0.5; }));
    Exit();
}

TEST_F(MainWindowConcurrent, GraphColoursAndTheZoomWindowsPlaceAreKeptAtExit) {
    Start();
    window->GraphView()->Painter().SetLEQcolor(RGBColor(10, 20, 30));
    window->ShowZoomWindow(QStringLiteral("Line"), QStringLiteral("Head"), kZoomMeasurementInfo);
    ASSERT_NE(window->ZoomControl()->Window(), nullptr);
    window->ZoomControl()->Window()->move(50, 60);
    const QSize size = window->ZoomControl()->Window()->frameGeometry().size();
    Exit();
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("Leq"), static_cast<int32_t>(RGBColor(10, 20, 30)));
    EXPECT_EQ(reg.ReadInteger("ZoomWindowX"), RoundI(50 + size.width() * 0.5));
    EXPECT_EQ(reg.ReadInteger("ZoomWindowY"), RoundI(60 + size.height() * 0.5));
}

}  // namespace

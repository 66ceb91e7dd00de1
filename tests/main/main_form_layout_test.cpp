// Where the panels go, from the client size and the UI scale alone.
#include "main/main_form_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(MainFormLayout, TheLeftColumnTakesThreeQuartersWhileTheRightPanelKeepsItsMinimum) {
    struct Case {
        int width;
        double scale;
        int left;
    };
    const Case cases[] = {
        {1000, 1.0, 680},   // 320 is not below rnd(250): the right panel keeps 320
        {1600, 1.0, 1200},  // 320 < 400: three quarters
        {1280, 1.0, 960},   // 320 = rnd(320): not below, so width - 320
        {1284, 1.0, 963},   // rnd(321) = 321 > 320
        {2000, 2.0, 1360},  // 640 is not below 500
        {3200, 2.0, 2400},
        {990, 1.0, 670},
        {1437, 1.0, 1078},
        {200, 1.0, 0},  // narrower than the right panel's minimum: no negative column
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeftColumnWidth(c.width, c.scale), c.left) << c.width << " at " << c.scale;
    }
}

std::vector<QRect> Panels(const MainFormGeometry& g) {
    return {g.topBar, g.status,      g.top,  g.mitte,  g.grafik, g.sliderG, g.vu,
            g.peakDisplay, g.infoMessung, g.logo, g.runten, g.mInfo,  g.ipInfo};
}

TEST(MainFormLayout, AtEverySizeAndScaleThePanelsNeitherOverlapNorLeaveTheForm) {
    for (double scale : {1.0, 1.25, 1.5, 2.0}) {
        const int spacing = static_cast<int>(std::nearbyint(16 * scale));
        for (QSize client : {QSize(990, 700), QSize(1437, 1050), QSize(1980, 1400), QSize(640, 480), QSize(300, 200),
                             QSize(120, 60), QSize(0, 0)}) {
            const MainFormGeometry g = ComputeMainFormLayout(client, scale, spacing);
            const std::vector<QRect> panels = Panels(g);
            const QRect form(QPoint(0, 0), client);
            for (size_t i = 0; i < panels.size(); ++i) {
                EXPECT_GE(panels[i].width(), 0) << i;
                EXPECT_GE(panels[i].height(), 0) << i;
                if (panels[i].isEmpty()) continue;
                EXPECT_TRUE(form.contains(panels[i])) << i << " at " << client.width() << "x" << client.height();
                for (size_t j = i + 1; j < panels.size(); ++j) {
                    EXPECT_FALSE(panels[i].intersects(panels[j]))
                        << i << " and " << j << " at " << client.width() << "x" << client.height() << " scale "
                        << scale;
                }
            }
            EXPECT_EQ(g.logo.bottom() + 1, g.mitte.top());
            if (client.width() >= 2 * 320 * scale) EXPECT_GE(g.right.width(), std::nearbyint(320 * scale));
        }
    }
}

TEST(MainFormLayout, TheRightPanelFollowsTheLogoAndTheGraph) {
    const MainFormGeometry g = ComputeMainFormLayout(QSize(1437, 1051), 1.0, 16, false);  // the design, menu bar hidden
    EXPECT_EQ(g.topBar.height(), 30);
    EXPECT_EQ(g.status.height(), 19);
    EXPECT_EQ(g.mitte.height(), 144);
    EXPECT_EQ(g.graph.height(), 190);
    EXPECT_EQ(g.sliderG.height(), 36);
    // The logo keeps its artwork's aspect across the right panel.
    EXPECT_EQ(g.logo.width(), g.right.width());
    EXPECT_EQ(g.logo.height(), static_cast<int>(std::nearbyint(g.right.width() / 466.34 * 85.34)));
    // The lower info area starts under the logo, inset by the spacing, as high as the graph.
    EXPECT_EQ(g.runten.top(), g.logo.bottom() + 1);
    EXPECT_EQ(g.runten.left(), g.vu.left() + 16);
    EXPECT_EQ(g.runten.width(), g.right.width() - 32);
    EXPECT_EQ(g.runten.height(), g.grafik.height());
    EXPECT_EQ(g.mInfo.top(), g.runten.bottom() + 1);
    EXPECT_EQ(g.mInfo.bottom() + 1, g.ipInfo.top());
    EXPECT_EQ(g.ipInfo.bottom(), g.right.bottom());
    EXPECT_EQ(g.vu.width(), 6 * 16);
    EXPECT_EQ(g.vu.height(), g.peakDisplay.height());
    EXPECT_EQ(g.infoMessung.top(), g.peakDisplay.bottom() + 1);
    EXPECT_EQ(g.infoMessung.bottom() + 1, g.logo.top());
}

}  // namespace

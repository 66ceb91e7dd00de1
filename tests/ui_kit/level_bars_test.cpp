// The level bars: the segment table, the segment geometry and the painted
// scale, checked on the pixels of a real paint box.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

TEST(VuTable, ThresholdsAndLabelsFollowTheScale) {
    InitVuLabels();
    const double dB[kVuSegments] = {-0.5, -3,  -6,  -8,  -10, -12, -14, -16, -18, -20, -22, -24, -26, -28,
                                    -30,  -32.5, -35, -37.5, -40, -45, -50, -55, -60, -65, -70, -75, -80};
    ASSERT_EQ(vuThreshold.size(), 27u);
    ASSERT_EQ(vuLabel.size(), 27u);
    for (int i = 0; i < kVuSegments; ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(vuThreshold[i], std::pow(10.0, dB[i] / 20));
        if (i % 2 == 1) {
            EXPECT_TRUE(vuLabel[i].isEmpty());
        } else {
            EXPECT_EQ(vuLabel[i], i == 0 ? QStringLiteral("CLIP") : QString::number(dB[i]));
        }
    }
}

TEST(VuTable, ASegmentLightsOnlyStrictlyAboveItsThreshold) {
    InitVuLabels();
    const auto lit = [](double amplitude) {
        int n = 0;
        for (double t : vuThreshold) n += amplitude > t ? 1 : 0;
        return n;
    };
    EXPECT_EQ(lit(1.0), 27);     // a full-scale sine reaches CLIP
    EXPECT_EQ(lit(1e-4), 0);     // exactly -80 dBFS lights nothing
    EXPECT_EQ(lit(0.5e-4), 0);
    EXPECT_EQ(lit(0.1), 17);     // -20 dBFS lights -22 dB and below, not -20 itself
}

struct LayoutCase {
    const char* what;
    QRect rect;
    bool twoBars;
    int slot;
    int height;
    int bar1Left, bar1Right, bar2Left, bar2Right;  // right edges excluded
};

TEST(VuLayout, SegmentsFillTheTopOfTheirSlots) {
    const LayoutCase cases[] = {
        {"one bar, 270 high", QRect(0, 0, 40, 270), false, 10, 3, 0, 40, 0, 40},
        {"one bar, offset", QRect(4, 3, 20, 540), false, 20, 6, 4, 24, 0, 24},
        {"26 high collapses to the top line", QRect(5, 8, 40, 26), false, 0, 0, 5, 45, 0, 45},
        {"two bars with a 10 % gap", QRect(10, 0, 100, 270), true, 10, 3, 10, 55, 65, 110},
        {"two bars, halves to even", QRect(0, 0, 50, 270), true, 10, 3, 0, 22, 28, 50},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        LayoutVuSegments(c.rect, c.twoBars);
        ASSERT_EQ(vuRect1.size(), 27u);
        ASSERT_EQ(vuRect2.size(), 27u);
        for (int i = 0; i < kVuSegments; ++i) {
            const int top = c.rect.y() + i * c.slot;
            EXPECT_EQ(vuRect1[i], QRect(c.bar1Left, top, c.bar1Right - c.bar1Left, c.height)) << i;
            EXPECT_EQ(vuRect2[i], QRect(c.bar2Left, top, c.bar2Right - c.bar2Left, c.height)) << i;
        }
    }
}

// A vertical run of rows that carry ink in a column range.
struct InkRun {
    int top;
    int bottom;  // included
};

bool RowHasInk(const TBitmap32& bitmap, int y, int x1, int x2) {
    for (int x = x1; x < x2; ++x)
        if (bitmap.Pixel(x, y) != clBack32) return true;
    return false;
}

std::vector<InkRun> InkRuns(const TBitmap32& bitmap, int x1, int x2, int y1, int y2) {
    std::vector<InkRun> runs;
    x2 = std::min(x2, bitmap.Width());
    y2 = std::min(y2, bitmap.Height());
    for (int y = y1; y < y2; ++y) {
        if (!RowHasInk(bitmap, y, x1, x2)) continue;
        if (!runs.empty() && runs.back().bottom == y - 1) {
            runs.back().bottom = y;
        } else {
            runs.push_back({y, y});
        }
    }
    return runs;
}

class VuScale : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        SetUIScale(1.0);
        InitVuLabels();
        mainWnd = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t arg) {
            if (msg == WM_MAIN_NOTIFY) posts.emplace_back(code, arg);
        });
    }
    void TearDown() override { platform::UnregisterWindow(mainWnd.exchange(0)); }

    // Lays the bars out in the box as the main window does and paints the scale.
    const TBitmap32& Paint(QSize size, bool twoBars, bool withMarks, bool measuringLeft) {
        box.resize(size);
        const QRect client = box.ClientRect();
        LayoutVuSegments(QRect(8, 16, RoundI(0.5 * client.width()), client.height() - 32), twoBars);
        PaintVuScale(&box, withMarks, measuringLeft);
        return box.Buffer();
    }
    int LabelLeft() const { return vuRect2[0].x() + vuRect2[0].width() + 6; }

    TPaintBox32 box;
    std::vector<std::pair<uintptr_t, intptr_t>> posts;
};

TEST_F(VuScale, EveryLabelShowsWhenThereIsRoomAndTheBarsRepaint) {
    const TBitmap32& bitmap = Paint(QSize(160, 27 * 24 + 32), false, false, true);
    const std::vector<InkRun> labels = InkRuns(bitmap, LabelLeft(), bitmap.Width(), 0, bitmap.Height());
    ASSERT_EQ(labels.size(), 14u);
    // Each label sits beside its own segment.
    for (size_t n = 0; n < labels.size(); ++n) {
        const QRect& segment = vuRect1[2 * n];
        const int centre = segment.y() + segment.height() / 2;
        EXPECT_LE(labels[n].top, centre + 1) << n;
        EXPECT_GE(labels[n].bottom, centre - 1) << n;
    }
    EXPECT_EQ(bitmap.Pixel(vuRect1[5].x(), vuRect1[5].y()), clFrame32);

    QCoreApplication::processEvents();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0], (std::pair<uintptr_t, intptr_t>{kNotifyVuRefresh, 0}));
}

TEST_F(VuScale, OnASmallBarOverlappingLabelsAreSkipped) {
    const TBitmap32& bitmap = Paint(QSize(400, 27 * 6 + 32), false, false, true);
    const std::vector<InkRun> labels = InkRuns(bitmap, LabelLeft(), bitmap.Width(), 0, bitmap.Height());
    EXPECT_EQ(labels.size(), 7u);  // every other label: CLIP, -10, -18, -26, -35, -50, -70
}

TEST_F(VuScale, TheChannelMarksShowUnderTheBarsOnlyWhenAsked) {
    const QSize size(200, 27 * 20 + 80);
    const auto markArea = [](const QRect& bar) {
        const int top = bar.y() + bar.height();
        return QRect(bar.x(), top, bar.width(), 60);
    };
    const auto inkIn = [](const TBitmap32& bitmap, const QRect& area) {
        return !InkRuns(bitmap, area.x(), area.x() + area.width(), area.y(), area.y() + area.height()).empty();
    };
    const auto glyph = [](const TBitmap32& bitmap, const QRect& area) {
        return bitmap.Image().copy(area);
    };

    const TBitmap32& plain = Paint(size, true, false, true);
    EXPECT_FALSE(inkIn(plain, markArea(vuRect1[26])));
    EXPECT_FALSE(inkIn(plain, markArea(vuRect2[26])));

    const TBitmap32& left = Paint(size, true, true, true);
    ASSERT_TRUE(inkIn(left, markArea(vuRect1[26])));
    ASSERT_TRUE(inkIn(left, markArea(vuRect2[26])));
    const QImage mLeft = glyph(left, markArea(vuRect1[26]));
    const QImage rRight = glyph(left, markArea(vuRect2[26]));
    EXPECT_NE(mLeft, rRight);

    // With the measuring input on the right the letters change places.
    const TBitmap32& right = Paint(size, true, true, false);
    EXPECT_EQ(glyph(right, markArea(vuRect2[26])), mLeft);
    EXPECT_EQ(glyph(right, markArea(vuRect1[26])), rRight);
}

TEST_F(VuScale, NothingIsPaintedOrPostedBeforeTheLayout) {
    vuRect1.clear();
    vuRect2.clear();
    box.resize(100, 100);
    box.Buffer().Clear(0xFF123456u);
    PaintVuScale(&box, true, true);
    PaintVuScale(nullptr, true, true);
    EXPECT_EQ(box.Buffer().Pixel(50, 50), 0xFF123456u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(posts.empty());
}

}  // namespace

// The display areas and the peak display of the real main window, fed by
// the simulated input through the running level engine.
#include <gtest/gtest.h>

#include "main/value_displays_fixture.h"

namespace {

using test_support::ValueDisplaysConcurrent;

TEST_F(ValueDisplaysConcurrent, TheShortTermLeqOfASineReachesItsAreaInItsLimitColour) {
    blinkMode = 0;
    StartOnTheSine();
    // 97.0 lies between the preset's warning level (95) and its limit (99).
    EXPECT_EQ(Areas().Caches().aStatusColor[1], 2);
    const int32_t draws = Areas().TopDraws();
    Areas().PaintTop();
    Areas().PaintTop();
    EXPECT_EQ(Areas().TopDraws(), draws) << "nothing changed, so nothing is drawn again";
    window->ForceValueRedraw();
    Areas().PaintTop();
    EXPECT_EQ(Areas().TopDraws(), draws + 2);
    Exit();
}

TEST_F(ValueDisplaysConcurrent, AWarningNearTheLimitBlinksThreePaintsOnThreeOff) {
    blinkMode = 3;  // within 3 dB of the limit a warning blinks
    StartOnTheSine();
    window->SetDisplayColors(kSchemeLight, true);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Areas().Caches().aStatusColor[1], 4);
    blinkPhase.store(5);  // the next paint starts the "on" half
    std::vector<TColor32> seen;
    for (int i = 0; i < 6; ++i) {
        Areas().PaintTop();
        seen.push_back(FillPixel(1));
    }
    const std::vector<TColor32> expected = {clYellow32, clYellow32, clYellow32, clNeutral32, clNeutral32, clNeutral32};
    EXPECT_EQ(seen, expected);
    Exit();
}

TEST_F(ValueDisplaysConcurrent, AnAreaWithoutElementShowsItsFieldAndCaptionOnly) {
    blinkMode = 0;
    StartOnTheSine();
    areaChannel[0].store(0);
    window->RefreshValueDisplays();
    const TBitmap32& b = window->pbTop()->Buffer();
    const QRect& r = FieldRect[0];
    const TColor32 fill = b.Pixel(r.x() + 12, r.y() + r.height() / 2);
    // No value text: every pixel of the value's band is the field's fill.
    const int32_t baseline = FieldBaseline[0];
    int inkInValueBand = 0;
    for (int y = r.y() + r.height() / 4; y < baseline; ++y)
        for (int x = r.x() + 8; x < r.x() + r.width() - 8; ++x) inkInValueBand += b.Pixel(x, y) != fill ? 1 : 0;
    EXPECT_EQ(inkInValueBand, 0);
    EXPECT_EQ(Areas().Caches().aFeldLabel[0], "No Display Selected");
    int inkInCaption = 0;
    for (int y = baseline; y < r.y() + r.height(); ++y)
        for (int x = r.x() + 8; x < r.x() + r.width() - 8; ++x) inkInCaption += b.Pixel(x, y) != fill ? 1 : 0;
    EXPECT_GT(inkInCaption, 0);
    areaChannel[0].store(2);
    Exit();
}

TEST_F(ValueDisplaysConcurrent, ScreenshotsOfTheDisplaysInBothSchemesAtUiScaleOneAndTwo) {
    blinkMode = 3;
    StartOnTheSine();
    for (int scale : {1, 2}) SaveDisplayShots(*window, scale, QStringLiteral("uiscale%1").arg(scale));
    window->SetUiScale(96.0);
    Exit();
}

}  // namespace

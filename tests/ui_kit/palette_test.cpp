#include <gtest/gtest.h>

#include <QApplication>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using gui_test::App;

struct PaletteEntry {
    const char* name;
    uint32_t* value;
    uint32_t light;
    uint32_t dark;
};

std::vector<PaletteEntry> PaletteTable() {
    const auto P = [](int r, int g, int b) { return RGBColor(r, g, b); };
    const auto X = [](int r, int g, int b) { return Opaque32(r, g, b); };
    return {
        {"clBack", &clBack, P(230, 230, 230), P(0, 0, 0)},
        {"clBack32", &clBack32, X(230, 230, 230), X(0, 0, 0)},
        {"clText", &clText, P(0, 0, 0), P(230, 230, 230)},
        {"clText32", &clText32, X(0, 0, 0), X(230, 230, 230)},
        {"clTextOff", &clTextOff, P(128, 128, 128), P(70, 70, 70)},
        {"clValueText", &clValueText, P(0, 0, 0), P(255, 255, 255)},
        {"clValueText32", &clValueText32, X(0, 0, 0), X(255, 255, 255)},
        {"clSideText", &clSideText, P(0, 0, 0), P(230, 230, 230)},
        {"clSideText32", &clSideText32, X(0, 0, 0), X(230, 230, 230)},
        {"clFrame32", &clFrame32, X(51, 0, 153), X(255, 255, 255)},
        {"clInk32", &clInk32, X(0, 0, 0), X(255, 255, 255)},
        {"clHover32", &clHover32, X(0, 177, 235), X(48, 48, 48)},
        {"clHover", &clHover, P(0, 177, 235), P(48, 48, 48)},
        {"clAccent32", &clAccent32, X(0, 177, 235), X(0, 177, 235)},
        {"clSelected32", &clSelected32, X(0, 177, 235), X(0, 177, 235)},
        {"clButtonLine32", &clButtonLine32, X(255, 255, 255), X(255, 255, 255)},
        {"clLightGrey32", &clLightGrey32, X(191, 191, 191), X(191, 191, 191)},
        {"clOn32", &clOn32, X(0, 255, 102), X(0, 255, 102)},
        {"clRing32", &clRing32, X(0, 0, 0), X(127, 127, 127)},
        {"clUnselected32", &clUnselected32, X(230, 230, 230), X(191, 191, 191)},
        {"clSwitchBack32", &clSwitchBack32, X(230, 230, 230), X(0, 0, 0)},
        {"clList", &clList, P(224, 224, 224), P(16, 16, 16)},
        {"clListText", &clListText, P(0, 0, 0), P(230, 230, 230)},
        {"clListTextOff", &clListTextOff, P(128, 128, 128), P(182, 182, 182)},
        {"clPanel", &clPanel, P(211, 211, 211), P(31, 31, 31)},
        {"clPanel32", &clPanel32, X(211, 211, 211), X(31, 31, 31)},
        {"clGauge", &clGauge, P(111, 111, 111), P(95, 95, 95)},
        {"clGauge32", &clGauge32, X(111, 111, 111), X(95, 95, 95)},
        {"clNeutral32", &clNeutral32, X(211, 211, 211), X(192, 192, 208)},
        {"clGreen", &clGreen, P(0, 255, 102), P(0, 255, 102)},
        {"clGreen32", &clGreen32, X(0, 255, 102), X(0, 255, 102)},
        {"clYellow", &clYellow, P(241, 229, 19), P(241, 229, 19)},
        {"clYellow32", &clYellow32, X(241, 229, 19), X(241, 229, 19)},
        {"clRed", &clRed, P(230, 76, 88), P(230, 76, 88)},
        {"clRed32", &clRed32, X(230, 76, 88), X(230, 76, 88)},
    };
}

TEST(Palette, EachSchemeSetsEveryEntryAndItsCopies) {
    App();
    for (int32_t scheme : {kSchemeLight, kSchemeDark, kSchemeLight}) {
        SetColorScheme(scheme);
        for (const PaletteEntry& e : PaletteTable()) {
            EXPECT_EQ(*e.value, scheme == kSchemeLight ? e.light : e.dark)
                << e.name << " in scheme " << scheme;
        }
        EXPECT_EQ(FieldRadius, 6.0);
        EXPECT_FALSE(FieldFramed);
    }
    SetColorScheme(kSchemeDark);
}

TEST(Palette, AnUnknownSchemeChangesNoEntry) {
    App();
    SetColorScheme(kSchemeLight);
    clBack = RGBColor(1, 2, 3);  // an entry changed by hand is re-derived, not reset
    SetColorScheme(2);
    for (const PaletteEntry& e : PaletteTable()) {
        const std::string name = e.name;
        if (name == "clBack" || name == "clBack32" || name == "clSwitchBack32") continue;
        EXPECT_EQ(*e.value, e.light) << e.name;
    }
    EXPECT_EQ(clBack, RGBColor(1, 2, 3));
    EXPECT_EQ(clBack32, Opaque32(1, 2, 3));
    EXPECT_EQ(clSwitchBack32, Opaque32(1, 2, 3));
    SetColorScheme(kSchemeDark);
}

TEST(Palette, StateColoursAndGdipColor) {
    App();
    SetColorScheme(kSchemeLight);
    EXPECT_EQ(StateColor32(1), clGreen32);
    EXPECT_EQ(StateColor32(2), clYellow32);
    EXPECT_EQ(StateColor32(3), clRed32);
    EXPECT_EQ(StateColor32(0), clNeutral32);
    EXPECT_EQ(StateColor32(4), clNeutral32);
    EXPECT_EQ(StateColor(3), clRed);
    EXPECT_EQ(StateColor(5), RGBColor(211, 211, 211));

    EXPECT_EQ(GdipColor(128, RGBColor(1, 2, 3)), 0x80010203u);
    EXPECT_EQ(GdipColor(255, RGBColor(255, 0, 0)), 0xFFFF0000u);
    EXPECT_THROW(GdipColor(256, 0), std::out_of_range);
    EXPECT_THROW(GdipColor(-1, 0), std::out_of_range);
    SetColorScheme(kSchemeDark);
}

TEST(UiScale, SpacingsFollowTheScaleWithHalvesToEven) {
    struct Case {
        double scale;
        int32_t space, small, half, large;
    };
    for (const Case& c : {Case{1.0, 16, 7, 8, 32}, Case{1.5, 24, 10, 12, 48}, Case{1.25, 20, 9, 10, 40},
                          Case{0.5, 8, 4, 4, 16}, Case{2.0, 32, 14, 16, 64}}) {
        SetUIScale(c.scale);
        EXPECT_EQ(UIScale, c.scale);
        EXPECT_EQ(UISpace, c.space) << c.scale;
        EXPECT_EQ(UISpaceSmall, c.small) << c.scale;
        EXPECT_EQ(UISpaceHalf, c.half) << c.scale;
        EXPECT_EQ(UISpaceLarge, c.large) << c.scale;
    }
    SetUIScale(1.5);
    for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 100.0}) {
        EXPECT_THROW(SetUIScale(bad), std::invalid_argument);
        EXPECT_EQ(UIScale, 1.5);
        EXPECT_EQ(UISpace, 24);
    }
    SetUIScale(1.0);
}

TEST(InfoLine, OnlyAChangedTextIsStoredAndAnnounced) {
    App();
    std::vector<std::pair<uintptr_t, intptr_t>> posts;
    mainWnd = platform::RegisterWindow([&](uint32_t msg, uintptr_t code, intptr_t arg) {
        if (msg == WM_MAIN_NOTIFY) posts.emplace_back(code, arg);
    });
    mainReady = true;

    EXPECT_TRUE(SetInfoLine(QStringLiteral("Measuring")));
    EXPECT_FALSE(SetInfoLine(QStringLiteral("Measuring")));
    EXPECT_TRUE(SetInfoLine(QStringLiteral("MEASURING")));
    EXPECT_EQ(InfoLineText, QStringLiteral("MEASURING"));
    QCoreApplication::processEvents();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0], (std::pair<uintptr_t, intptr_t>{kNotifyStatusText, 0}));

    mainReady = false;
    platform::UnregisterWindow(mainWnd.exchange(0));
    InfoLineText.clear();
}

// ---------------------------------------------------------------------------
// Display fields
// ---------------------------------------------------------------------------

// Channel-wise closeness, for pixels that anti-aliasing blends.
bool Near(TColor32 a, TColor32 b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

TColor32 Blend(TColor32 over, TColor32 under, double alpha) {
    const auto ch = [&](int shift) {
        return static_cast<int>(std::lround(((over >> shift) & 0xFF) * alpha + ((under >> shift) & 0xFF) * (1 - alpha)));
    };
    return Opaque32(ch(16), ch(8), ch(0));
}

// The smallest rectangle holding every pixel that differs from the background.
QRect InkBounds(const TBitmap32& b, TColor32 background) {
    QRect ink;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            if (b.Pixel(x, y) != background) ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

class DisplayFields : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        SetUIScale(1.0);
        bitmap.SetSize(300, 120);
        FieldRect.fill(QRect());
        FieldRect[0] = QRect(20, 20, 180, 60);
        FieldBaseline[0] = 70;
        SideTextHeight = -12;
        SetBoldLabel(false);
        UseScheme(kSchemeDark);
        messDaten = reinterpret_cast<TDaten*>(&storeStandIn);
    }
    void TearDown() override {
        messDaten = nullptr;
        UseScheme(kSchemeDark);
        FieldRect.fill(QRect());
    }
    void UseScheme(int32_t scheme) {
        displayLayout = scheme;
        SetColorScheme(scheme);
        bitmap.Clear(clBack32);
    }

    TBitmap32 bitmap;
    alignas(8) char storeStandIn = 0;
};

TEST_F(DisplayFields, FrameStrokeAndFill) {
    UseScheme(kSchemeLight);
    DrawFieldFrame(bitmap, 0, StateColor32(1), true, true, 0);
    // A one-pixel line on the field's edge covers half of each neighbouring pixel.
    EXPECT_EQ(bitmap.Pixel(100, 50), clGreen32);
    EXPECT_TRUE(Near(bitmap.Pixel(20, 50), Blend(clFrame32, clGreen32, 0.5), 3));
    EXPECT_TRUE(Near(bitmap.Pixel(19, 50), Blend(clFrame32, clBack32, 0.5), 3));
    EXPECT_EQ(bitmap.Pixel(18, 50), clBack32);
    EXPECT_EQ(bitmap.Pixel(100, 81), clBack32);
}

TEST_F(DisplayFields, FrameRadiusUpToOneIsAFractionOfTheHeight) {
    FieldRect[1] = QRect(20, 20, 60, 40);
    DrawFieldFrame(bitmap, 1, clPanel32, false, true, 0.5);  // r = 10
    EXPECT_EQ(bitmap.Pixel(21, 21), clBack32) << "the corner is rounded";
    EXPECT_EQ(bitmap.Pixel(30, 22), clPanel32);
    bitmap.Clear(clBack32);
    DrawFieldFrame(bitmap, 1, clPanel32, false, true, 0.05);  // r = 1: a plain rectangle
    EXPECT_EQ(bitmap.Pixel(20, 20), clPanel32);
}

TEST_F(DisplayFields, NothingIsDrawnForHiddenFrameNarrowFieldOrBadIndex) {
    const QImage before = bitmap.Image().copy();
    DrawFieldFrame(bitmap, 0, clRed32, false, false, 6);
    FieldRect[2] = QRect(10, 10, 10, 50);
    DrawFieldFrame(bitmap, 2, clRed32, true, true, 6);
    DrawFieldFrame(bitmap, -1, clRed32, true, true, 6);
    DrawFieldFrame(bitmap, 8, clRed32, true, true, 6);
    DrawFieldValue(bitmap, 7, QStringLiteral("88"), clRed, -30);  // field 7 has no baseline
    DrawFieldValue(bitmap, 100, QStringLiteral("88"), clRed, -30);
    DrawFieldUnit(bitmap, -3, QStringLiteral("dB"), clRed, -20);
    DrawFieldSideText(bitmap, 8, QStringLiteral("side"));
    DrawFieldGauge(8, 1.0, bitmap, 6);
    DrawFieldGauge(-1, 1.0, bitmap, 0);
    FieldRect[3] = QRect(10, 10, 19, 50);
    DrawFieldValue(bitmap, 3, QStringLiteral("88"), clRed, -30);
    EXPECT_EQ(bitmap.Image(), before);
}

TEST_F(DisplayFields, ValueIsCentredOnTheBaselineInTheStateColourWhenDark) {
    DrawFieldValue(bitmap, 0, QStringLiteral("88.8"), clRed, -40);
    const QRect ink = InkBounds(bitmap, clBack32);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.bottom(), FieldBaseline[0]);
    EXPECT_GE(ink.left(), 20);
    EXPECT_LE(ink.right(), 199);
    EXPECT_NEAR((ink.left() - 20) - (199 - ink.right()), 0, 4);
    int stateColoured = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) stateColoured += bitmap.Pixel(x, y) == clRed32;
    }
    EXPECT_GT(stateColoured, 20);
}

TEST_F(DisplayFields, ValueIsDrawnInTheValueTextColourWhenLight) {
    UseScheme(kSchemeLight);
    DrawFieldValue(bitmap, 0, QStringLiteral("88.8"), clRed, -40);
    const QRect ink = InkBounds(bitmap, clBack32);
    ASSERT_FALSE(ink.isEmpty());
    int black = 0, red = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            black += bitmap.Pixel(x, y) == Opaque32(0, 0, 0);
            red += bitmap.Pixel(x, y) == clRed32;
        }
    }
    EXPECT_GT(black, 20);
    EXPECT_EQ(red, 0);
}

TEST_F(DisplayFields, ATooWideValueShrinksToFitTheField) {
    FieldRect[1] = QRect(10, 10, 80, 60);
    FieldBaseline[1] = 60;
    const QString text = QStringLiteral("123.4 dB(A)");
    TBitmap32 probe(10, 10);
    probe.Font.height = -40;
    ASSERT_GT(probe.TextWidth(text), 80) << "the text must be too wide at its own height";

    DrawFieldValue(bitmap, 1, text, clRed, -40);
    const QRect ink = InkBounds(bitmap, clBack32);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 10);
    EXPECT_LE(ink.right(), 89);
    EXPECT_LT(ink.height(), 35) << "the font height went down with the width";
}

TEST_F(DisplayFields, AValueThatFitsKeepsItsHeight) {
    TBitmap32 probe(10, 10);
    probe.Font.height = -40;
    const QString text = QStringLiteral("88");
    const int textWidth = probe.TextWidth(text);
    // Wide enough for the text to take at most 98 % of it.
    FieldRect[1] = QRect(0, 0, static_cast<int>(std::ceil(textWidth / 0.98)), 60);
    FieldBaseline[1] = 55;
    DrawFieldValue(bitmap, 1, text, clRed, -40);
    EXPECT_EQ(bitmap.Font.height, -40);
    // One pixel narrower than the text's 98 % shrinks it.
    FieldRect[1] = QRect(0, 0, static_cast<int>(std::floor(textWidth / 0.98)) - 1, 60);
    DrawFieldValue(bitmap, 1, text, clRed, -40);
    EXPECT_GT(bitmap.Font.height, -40);
}

TEST_F(DisplayFields, UnitEndsAt47PercentAndSideTextStaysInTheRightHalf) {
    DrawFieldUnit(bitmap, 0, QStringLiteral("dB"), clRed, -20);
    QRect ink = InkBounds(bitmap, clBack32);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.right(), 20 + static_cast<int>(180 * 0.47));
    EXPECT_GE(ink.right(), 20 + static_cast<int>(180 * 0.47) - 4);
    EXPECT_GE(ink.top(), 20);
    EXPECT_LE(ink.bottom(), 79);

    bitmap.Clear(clBack32);
    DrawFieldSideText(bitmap, 0, QStringLiteral("Leq 30 min moving window"));
    ink = InkBounds(bitmap, clBack32);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 110);
    EXPECT_LE(ink.right(), 197);
    EXPECT_GT(ink.height(), 14) << "the text wraps onto a second line";
    EXPECT_NEAR((ink.top() - 20) - (79 - ink.bottom()), 0, 6) << "centred vertically";
}

struct GaugeCase {
    const char* name;
    double radius;
    double fraction;
    bool barAtMiddle;  // pixel (195, 40) between the quarter lines belongs to the bar
    bool barAtTop;     // pixel (195, 22) just below the field's top
};

class DisplayGauge : public DisplayFields, public ::testing::WithParamInterface<GaugeCase> {};

TEST_P(DisplayGauge, FillsTheRightStripUpToTheFraction) {
    const GaugeCase& c = GetParam();
    const TColor32 ink = c.radius > 0 ? clGauge32 : clFrame32;
    DrawFieldGauge(0, c.fraction, bitmap, c.radius);
    // Field (20, 20) 180 x 60: strip x 191 .. 199, quarter lines at y 35, 50, 65.
    EXPECT_EQ(bitmap.Pixel(195, 40) == ink, c.barAtMiddle) << c.name;
    EXPECT_EQ(bitmap.Pixel(195, 22) == ink, c.barAtTop) << c.name;
    EXPECT_EQ(bitmap.Pixel(189, 40), clBack32) << "nothing left of the strip";
    EXPECT_EQ(bitmap.Pixel(150, 40), clBack32);
    if (c.radius <= 0) {
        EXPECT_EQ(bitmap.Pixel(191, 40), ink) << "the strip's frame";
        EXPECT_EQ(bitmap.Pixel(195, 35), ink) << "the first quarter line";
    } else {
        EXPECT_NE(bitmap.Pixel(195, 35), clBack32) << "the first quarter line";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, DisplayGauge,
    ::testing::Values(GaugeCase{"vector empty", 6.0, 0.0, false, false},
                      GaugeCase{"vector full", 6.0, 1.0, true, true},
                      GaugeCase{"vector half", 6.0, 0.5, false, false},
                      GaugeCase{"vector above one clamps", 6.0, 7.0, true, true},
                      GaugeCase{"vector NaN is empty", 6.0, std::nan(""), false, false},
                      GaugeCase{"rectangle empty", 0.0, 0.0, false, false},
                      GaugeCase{"rectangle full", 0.0, 1.0, true, true},
                      GaugeCase{"rectangle below zero clamps", -1.0, -0.5, false, false},
                      GaugeCase{"rectangle three quarters", 0.0, 0.75, true, false}),
    [](const ::testing::TestParamInfo<GaugeCase>& info) {
        std::string n = info.param.name;
        for (char& ch : n) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return n;
    });

TEST_F(DisplayFields, GaugeNeedsAMeasurementStore) {
    messDaten = nullptr;
    const QImage before = bitmap.Image().copy();
    DrawFieldGauge(0, 1.0, bitmap, 6.0);
    DrawFieldGauge(0, 1.0, bitmap, 0.0);
    EXPECT_EQ(bitmap.Image(), before);
}

}  // namespace

#include <gtest/gtest.h>

#include <QApplication>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using gui_test::App;

class InfoSymbols : public ::testing::Test {
protected:
    void SetUp() override {
        SetUIScale(1.0);
        SetColorScheme(kSchemeLight);
        language = kLangEnglish;
        box.resize(100, 100);
        box.Buffer().Clear(clBack32);
    }
    void TearDown() override {
        SetColorScheme(kSchemeDark);
        SetUIScale(1.0);
    }
    QApplication& app = App();
    TPaintBox32 box;
};

TEST_F(InfoSymbols, AnUnknownKindDrawsNothingButAnswersTheCornerSquare) {
    const QImage before = box.Buffer().Image().copy();
    const QRect square = DrawInfoSymbol(&box, 3, 1.0);
    EXPECT_EQ(box.Buffer().Image(), before);
    // m = 2, S = 20: (78, 2) .. (98, 22).
    EXPECT_EQ(square, QRect(78, 2, 20, 20));
    DrawSymbolFull(&box, 7);
    EXPECT_EQ(box.Buffer().Image(), before);
}

TEST_F(InfoSymbols, TheCornerSymbolKeepsItsMarginAtScaleTwo) {
    box.resize(200, 200);
    box.Buffer().Clear(clBack32);
    const QRect square = DrawInfoSymbol(&box, 1, 2.0);
    EXPECT_EQ(square.x() + square.width(), 200 - 4);
    EXPECT_EQ(square.y(), 4);
    EXPECT_EQ(square.width(), 40);
    // The filled circle lies inside the square; left of the letter it is yellow.
    EXPECT_EQ(box.Buffer().Pixel(square.x() + 6, square.y() + 20), clYellow32);
    for (int y = 0; y < 200; ++y) EXPECT_EQ(box.Buffer().Pixel(199, y), clBack32) << y;
}

TEST_F(InfoSymbols, OutlinedFilledAndWarningDifferInTheirFill) {
    const QPoint insideCircle(81, 12);  // circle centre (88, 12), radius 10
    DrawInfoSymbol(&box, 0, 1.0);
    EXPECT_EQ(box.Buffer().Pixel(insideCircle.x(), insideCircle.y()), clBack32);
    box.Buffer().Clear(clBack32);
    DrawInfoSymbol(&box, 1, 1.0);
    EXPECT_EQ(box.Buffer().Pixel(insideCircle.x(), insideCircle.y()), clYellow32);
    box.Buffer().Clear(clBack32);
    DrawInfoSymbol(&box, 2, 1.0);
    // Triangle (78, 22), (88, 2), (98, 22): yellow near its base, background above the base corners.
    EXPECT_EQ(box.Buffer().Pixel(81, 19), clYellow32);
    EXPECT_EQ(box.Buffer().Pixel(79, 5), clBack32);
}

TEST_F(InfoSymbols, TheFullSymbolRingIsTenPixelsWideOnA285PixelBox) {
    box.resize(285, 285);
    box.Buffer().Clear(clBack32);
    DrawSymbolFull(&box, 1);
    // Circle of radius 140 around (142.5, 142.5): the ring spans x -2.5 .. 7.5 at the centre line.
    const TBitmap32& b = box.Buffer();
    EXPECT_EQ(b.Pixel(1, 142), clText32);
    EXPECT_EQ(b.Pixel(6, 142), clText32);
    EXPECT_EQ(b.Pixel(10, 142), clYellow32);
}

TEST_F(InfoSymbols, TheHintLineShowsTheSymbolAndText622BesideIt) {
    box.resize(400, 30);
    DrawHintLine(&box, 1.0);
    const TBitmap32& b = box.Buffer();
    // a = 15, b = 12: circle of radius 11 around (13, 15).
    EXPECT_EQ(b.Pixel(6, 15), clYellow32);
    QRect ink;
    for (int y = 0; y < 30; ++y) {
        for (int x = 32; x < 400; ++x) {
            if (b.Pixel(x, y) != clBack32) ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty()) << GetLangText(622).toStdString();
    EXPECT_GE(ink.left(), 31);
    EXPECT_NEAR(ink.center().y(), 15, 3);
    EXPECT_EQ(b.Pixel(20, 1), clBack32);
}

}  // namespace

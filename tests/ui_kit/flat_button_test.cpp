#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <cmath>
#include <functional>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using gui_test::App;

bool Near(TColor32 a, TColor32 b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

TColor32 Blend(TColor32 over, TColor32 under, int alpha) {
    const auto ch = [&](int shift) {
        const double a = alpha / 255.0;
        return static_cast<int>(std::lround(((over >> shift) & 0xFF) * a + ((under >> shift) & 0xFF) * (1 - a)));
    };
    return Opaque32(ch(16), ch(8), ch(0));
}

class FlatButton : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        InitButton(&box, 1.0, true);
    }
    QApplication& app = App();  // before any widget
    TPaintBox32 box;
};

TEST_F(FlatButton, HandlersMoveTheStateAsTheTableSays) {
    struct Step {
        const char* name;
        intptr_t before;
        std::function<void(TPaintBox32*)> handler;
        intptr_t after;
    };
    const Step steps[] = {
        {"enter", 0, ButtonMouseEnter, 1},
        {"leave", 1, ButtonMouseLeave, 0},
        {"down", 0, ButtonMouseDown, 1},
        {"up inside", 1, [](TPaintBox32* b) { ButtonMouseUp(b, 0, 0); }, 2},
        {"up at the far corner", 1, [](TPaintBox32* b) { ButtonMouseUp(b, 109, 32); }, 2},
        {"up right of the box", 1, [](TPaintBox32* b) { ButtonMouseUp(b, 110, 10); }, 0},
        {"up below the box", 1, [](TPaintBox32* b) { ButtonMouseUp(b, 10, 33); }, 0},
        {"up left of the box", 1, [](TPaintBox32* b) { ButtonMouseUp(b, -1, 10); }, 0},
        {"set hot", 0, ButtonSetHot, 2},
        {"set normal", 2, ButtonSetNormal, 0},
        {"press when hot", 1, ButtonPress, 0x101},
        {"press when idle", 0, ButtonPress, 0x100},
        {"press when highlighted", 2, ButtonPress, 0x102},
        {"release", 0x101, ButtonRelease, 1},
        {"release keeps highlighted", 0x102, ButtonRelease, 2},
    };
    for (const Step& s : steps) {
        box.Tag = s.before;
        s.handler(&box);
        EXPECT_EQ(box.Tag, s.after) << s.name;
    }
}

struct LookCase {
    intptr_t tag;
    int faceAlpha;
    TColor32 (*pixelAt3)();  // x = 3: outline for the pressed look, face otherwise
    bool outlineAt1;         // x = 1: covered by an outline
};

class FlatButtonLook : public FlatButton, public ::testing::WithParamInterface<LookCase> {};

TEST_P(FlatButtonLook, FaceAndOutlineFollowTheState) {
    const LookCase& c = GetParam();
    box.Tag = c.tag;
    PaintButton(&box, QString(), true, false);
    const TBitmap32& b = box.Buffer();
    const TColor32 face = Blend(clAccent32, clBack32, c.faceAlpha);
    EXPECT_TRUE(Near(b.Pixel(55, 16), face, 2)) << std::hex << b.Pixel(55, 16) << " tag " << c.tag;
    EXPECT_TRUE(Near(b.Pixel(3, 16), c.pixelAt3(), 2)) << std::hex << b.Pixel(3, 16) << " tag " << c.tag;
    EXPECT_EQ(Near(b.Pixel(1, 16), clButtonLine32, 40), c.outlineAt1) << std::hex << b.Pixel(1, 16);
    EXPECT_EQ(b.Pixel(0, 0), clBack32) << "the rounded corner leaves the background";
}

TColor32 IdleFace() { return Blend(clAccent32, clBack32, 40); }
TColor32 HotFace() { return Blend(clAccent32, clBack32, 200); }
TColor32 OpaqueFace() { return clAccent32; }
TColor32 Outline() { return clButtonLine32; }

INSTANTIATE_TEST_SUITE_P(States, FlatButtonLook,
                         ::testing::Values(LookCase{0, 40, IdleFace, false}, LookCase{1, 200, HotFace, false},
                                           LookCase{0x101, 255, Outline, false}, LookCase{2, 255, OpaqueFace, true},
                                           LookCase{0x100, 255, OpaqueFace, true},
                                           LookCase{0x102, 255, OpaqueFace, true}));

TEST_F(FlatButton, ReleasedOutsideLooksIdleAgain) {
    box.Tag = 0;
    ButtonMouseDown(&box);
    ButtonMouseUp(&box, 200, 10);
    PaintButton(&box, QString(), true, false);
    EXPECT_TRUE(Near(box.Buffer().Pixel(55, 16), Blend(clAccent32, clBack32, 40), 2));
    EXPECT_FALSE(Near(box.Buffer().Pixel(1, 16), clButtonLine32, 40));
}

TEST_F(FlatButton, AlternativeBackgroundAndCaption) {
    SetColorScheme(kSchemeLight);
    box.Tag = 0x101;
    PaintButton(&box, QStringLiteral("Okay"), true, true);
    const TBitmap32& b = box.Buffer();
    EXPECT_EQ(b.Pixel(0, 0), clPanel32);
    // The caption is drawn in the text colour, centred on the face.
    QRect ink;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 8; x < b.Width() - 8; ++x) {
            if (Near(b.Pixel(x, y), Opaque32(0, 0, 0), 60)) ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 55, 3);
    EXPECT_NEAR(ink.center().y(), 16, 3);
    SetColorScheme(kSchemeDark);
}

TEST_F(FlatButton, ALongCaptionIsCutInsideTheFace) {
    box.Tag = 2;
    PaintButton(&box, QStringLiteral("A caption far too long for a standard button"), true, false);
    const TBitmap32& b = box.Buffer();
    // Columns at both ends show only face and outline, no caption ink.
    for (int y = 0; y < b.Height(); ++y) {
        EXPECT_NE(b.Pixel(0, y), clText32);
        EXPECT_NE(b.Pixel(109, y), clText32);
    }
}

TEST_F(FlatButton, SizingRules) {
    InitButton(&box, 1.5, true);
    EXPECT_EQ(box.width(), 165);
    EXPECT_EQ(box.height(), 50);  // Round(49.5) goes to the even 50
    EXPECT_EQ(box.Buffer().Font.height, -18);
    EXPECT_EQ(box.Tag, 0);

    InitButton(&box, 2.0, false);
    EXPECT_EQ(ButtonWidthFor(&box, QStringLiteral("OK"), 2.0), 110) << "not 220";
    const QString longCaption = QStringLiteral("Open the audio device dialog now");
    const int textWidth = box.Buffer().TextWidth(longCaption);
    EXPECT_EQ(ButtonWidthFor(&box, longCaption, 2.0), std::max(110, static_cast<int>(std::nearbyint(64.0 + textWidth))));
    SetUIScale(1.25);
    EXPECT_EQ(ButtonWidthFor(&box, longCaption, -1), std::max(110, static_cast<int>(std::nearbyint(40.0 + textWidth))));
    SetUIScale(1.0);

    // ButtonRectFor measures in its own 12-pixel font.
    TBitmap32 probe(10, 10);
    probe.Font.height = -12;
    const int w = probe.TextWidth(longCaption);
    EXPECT_EQ(ButtonRectFor(&box, 1.0, 0, longCaption), QRect(0, 0, w + 32, 33));
    EXPECT_EQ(ButtonRectFor(&box, 1.0, -5, longCaption), QRect(0, 0, w + 32, 33));
    EXPECT_EQ(ButtonRectFor(&box, 1.0, 150, longCaption), QRect(0, 0, 150 - 64 + 32, 33));
    EXPECT_EQ(ButtonRectFor(&box, 1.0, 0, QStringLiteral("OK")), QRect(0, 0, 110, 33));
    SizeButtonFor(&box, 1.0, 0, longCaption);
    EXPECT_EQ(box.size(), QSize(w + 32, 33));
}

TEST_F(FlatButton, WiredHandlersFollowRealMouseEvents) {
    WireButtonStates(&box, true);
    int clicks = 0;
    box.OnClick = [&](TPaintBox32*) { ++clicks; };
    box.Tag = 1;  // the pointer entered
    const QPointF inside(20, 10);
    QMouseEvent press(QEvent::MouseButtonPress, inside, box.mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&box, &press);
    EXPECT_EQ(box.Tag, 0x101);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, box.mapToGlobal(inside), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&box, &release);
    EXPECT_EQ(box.Tag, 1);
    EXPECT_EQ(clicks, 1);
}

}  // namespace

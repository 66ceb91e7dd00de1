#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>

#include <functional>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/on_off_switch.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/select_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using gui_test::App;

// ---------------------------------------------------------------------------
// Select box
// ---------------------------------------------------------------------------

struct SelBoxStep {
    const char* name;
    int32_t state;
    bool visible;
    std::function<bool(TSelBox&)> op;
    bool changed;
    int32_t after;
};

TEST(SelBox, StateMachine) {
    const SelBoxStep steps[] = {
        {"status on enabled", 2, true, [](TSelBox& b) { return b.SetStatus(true, true); }, true, 1},
        {"status off disabled", 1, true, [](TSelBox& b) { return b.SetStatus(false, false); }, true, 4},
        {"status unchanged", 3, true, [](TSelBox& b) { return b.SetStatus(true, false); }, false, 3},
        {"select enabled", 2, true, [](TSelBox& b) { return b.SetSelected(true); }, true, 1},
        {"select disabled is refused", 4, true, [](TSelBox& b) { return b.SetSelected(true); }, false, 4},
        {"unselect disabled is refused", 3, true, [](TSelBox& b) { return b.SetSelected(false); }, false, 3},
        {"disable keeps the selection", 1, true, [](TSelBox& b) { return b.SetEnable(false); }, true, 3},
        {"disable clear", 2, true, [](TSelBox& b) { return b.SetEnable(false); }, true, 4},
        {"enable keeps the selection", 3, true, [](TSelBox& b) { return b.SetEnable(true); }, true, 1},
        {"enable clear", 4, true, [](TSelBox& b) { return b.SetEnable(true); }, true, 2},
        {"enable an enabled box", 1, true, [](TSelBox& b) { return b.SetEnable(true); }, false, 1},
        {"a hidden box is left alone", 1, false, [](TSelBox& b) { return b.SetEnable(false); }, false, 1},
        {"click toggles on", 2, true, [](TSelBox& b) { return b.DoClick(); }, true, 1},
        {"click toggles off", 1, true, [](TSelBox& b) { return b.DoClick(); }, true, 2},
        {"click on a disabled box", 3, true, [](TSelBox& b) { return b.DoClick(); }, false, 3},
    };
    for (const SelBoxStep& s : steps) {
        TSelBox box;
        box.myState = s.state;
        box.SetVisible(s.visible);
        EXPECT_EQ(s.op(box), s.changed) << s.name;
        EXPECT_EQ(box.myState, s.after) << s.name;
    }
    TSelBox fresh;
    EXPECT_EQ(fresh.myState, 2);
    EXPECT_TRUE(fresh.GetIsEnabled());
    EXPECT_FALSE(fresh.GetIsSelected());
    EXPECT_TRUE(fresh.myVisible);
}

TEST(SelBox, LabelComparesWithoutCaseButStoresTheNewOne) {
    language = kLangEnglish;
    TSelBox box;
    EXPECT_TRUE(box.SetLabel(QStringLiteral("Reference input")));
    EXPECT_FALSE(box.SetLabel(QStringLiteral("REFERENCE INPUT")));
    EXPECT_EQ(box.myLabel, QStringLiteral("REFERENCE INPUT"));
    EXPECT_TRUE(box.SetLabel(1054));
    EXPECT_EQ(box.myLabel, GetLangText(1054));
}

class SelBoxPaint : public ::testing::Test {
protected:
    void SetUp() override {
        SetUIScale(1.0);
        SetColorScheme(kSchemeLight);
        wo.resize(200, 24);
    }
    void TearDown() override { SetColorScheme(kSchemeDark); }
    QApplication& app = App();
    TPaintBox32 wo;
};

TEST_F(SelBoxPaint, DiscShowsTheSelectionAndHoverCoversTheLabelOnly) {
    TSelBox box;
    box.SetLabel(QStringLiteral("Two inputs"));
    box.SetStatus(true, true);
    box.Paint(&wo, 1.0, false);
    const TBitmap32& b = wo.Buffer();
    // Ring centre at (4 + 7, 12).
    EXPECT_EQ(b.Pixel(11, 12), clSelected32);
    EXPECT_EQ(b.Pixel(199, 12), clBack32);

    box.SetStatus(false, false);
    box.Paint(&wo, 1.0, true);
    EXPECT_EQ(b.Pixel(11, 12), clUnselected32);
    const int hoverRight = box.GetWidth(&wo, box.myLabel);  // from the target's left edge 0
    EXPECT_EQ(b.Pixel(hoverRight - 1, 1), clHover32);
    EXPECT_EQ(b.Pixel(hoverRight + 1, 1), clBack32);

    box.SetVisible(false);
    box.Paint(&wo, 1.0, true);
    EXPECT_EQ(b.Pixel(11, 12), clBack32) << "a hidden box paints only its background";
}

TEST_F(SelBoxPaint, WidthIsTheLabelPlusTheRing) {
    TSelBox box;
    box.SetLabel(QStringLiteral("Label"));
    TBitmap32 probe(10, 10);
    probe.Font.height = -18;
    EXPECT_EQ(box.GetWidth(&wo, QString(), 1.5), probe.TextWidth(QStringLiteral("Label")) + 45);
    EXPECT_EQ(box.myScale, 1.5);
}

// ---------------------------------------------------------------------------
// On/off switch
// ---------------------------------------------------------------------------

TEST(Switch, HeightFollowsTheWidth) {
    TSchalterH s;
    s.SetWidth(66);
    EXPECT_EQ(s.GetHeight(), 34);
    s.SetWidth(33);
    EXPECT_EQ(s.GetHeight(), 17);
    EXPECT_EQ(s.GetWidth(), 33);
}

class SwitchDraw : public ::testing::Test {
protected:
    void SetUp() override {
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        bitmap.SetSize(120, 60);
        bitmap.Clear(clBack32);
        s.SetWidth(66);
        s.SetPos(QPoint(60, 30));
    }
    QApplication& app = App();
    TBitmap32 bitmap;
    TSchalterH s;
};

TEST_F(SwitchDraw, HitAreasAreTheTwoHalvesOfTheLastDrawing) {
    EXPECT_FALSE(s.IsOn(70, 30)) << "no hit areas before the first drawing";
    s.DrawSwitch(bitmap, true);
    // dy 17, dx 16: off (27, 13, 60, 47), on (60, 13, 93, 47), bounds included.
    EXPECT_EQ(s.rOff, QRect(27, 13, 33, 34));
    EXPECT_EQ(s.rOn, QRect(60, 13, 33, 34));
    EXPECT_TRUE(s.IsOff(27, 13));
    EXPECT_TRUE(s.IsOn(93, 47));
    EXPECT_FALSE(s.IsOn(94, 30));
    EXPECT_TRUE(s.IsOn(60, 30));
    EXPECT_TRUE(s.IsOff(60, 30)) << "the centre line lies in both halves";
    EXPECT_EQ(s.BoundsRect(), QRect(27, 13, 66, 34));

    s.SetEnabled(false);
    EXPECT_FALSE(s.IsOn(70, 30));
    EXPECT_FALSE(s.IsOff(40, 30));

    // A new size and the old position: the areas follow at the next drawing only.
    s.SetWidth(40);
    s.SetPos(QPoint(60, 30));
    EXPECT_EQ(s.rOn, QRect(60, 13, 33, 34));
    s.DrawSwitch(bitmap, false);
    EXPECT_EQ(s.rOn.width(), 20);
    EXPECT_FALSE(s.newRects);
}

TEST_F(SwitchDraw, KnobSitsOnTheChosenEndAndTheFaceTakesItsColour) {
    s.SetColors(Opaque32(255, 0, 0), Opaque32(0, 127, 0));
    s.DrawSwitch(bitmap, true);
    // Knob centres at x 44 (off) and 76 (on).
    EXPECT_EQ(bitmap.Pixel(44, 30), clRing32);
    EXPECT_EQ(bitmap.Pixel(76, 30), Opaque32(255, 0, 0));
    bitmap.Clear(clBack32);
    s.DrawSwitch(bitmap, false);
    EXPECT_EQ(bitmap.Pixel(76, 30), clRing32);
    EXPECT_EQ(bitmap.Pixel(44, 30), Opaque32(0, 127, 0));
    bitmap.Clear(clBack32);
    s.SetEnabled(false);
    s.DrawSwitch(bitmap, false);
    EXPECT_EQ(bitmap.Pixel(76, 30), clSwitchBack32) << "a disabled switch shows an empty ring";
    EXPECT_EQ(bitmap.Pixel(5, 5), clBack32);
}

// ---------------------------------------------------------------------------
// Styling routines
// ---------------------------------------------------------------------------

TEST(ControlStyles, KnobRectMemoTextAndKeyFilter) {
    App();
    EXPECT_EQ(KnobRect(QRect(0, 0, 100, 50), 1.5), QRect(34, 8, 33, 33));  // 33.5 and 8.5 round to even
    EXPECT_EQ(KnobRect(QRect(10, 10, 22, 22), 1.0), QRect(10, 10, 22, 22));

    QPlainTextEdit memo;
    SetMemoText(&memo, QStringLiteral("12345"));
    EXPECT_FALSE(MemoHasText(&memo));
    SetMemoText(&memo, QStringLiteral("123456"));
    EXPECT_TRUE(MemoHasText(&memo));
    EXPECT_FALSE(MemoHasText(nullptr));
    SetMemoText(&memo, QStringLiteral("one\ntwo"));
    EXPECT_EQ(memo.document()->blockCount(), 2);

    EXPECT_EQ(FilterEnterEscape(QChar(13)), QChar(0));
    EXPECT_EQ(FilterEnterEscape(QChar(27)), QChar(0));
    EXPECT_EQ(FilterEnterEscape(QChar('a')), QChar('a'));
    EXPECT_EQ(FilterEnterEscape(QChar(10)), QChar(10));
}

TEST(ControlStyles, EnterAndEscapeNeverReachTheEditField) {
    App();
    QLineEdit edit;
    int returns = 0;
    QObject::connect(&edit, &QLineEdit::returnPressed, [&] { ++returns; });
    InstallEnterEscapeFilter(&edit);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(&edit, &enter);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&edit, &letter);
    EXPECT_EQ(returns, 0);
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
}

TEST(ControlStyles, ComboItemsAndMenuHeadersArePaintedInThePaletteColours) {
    App();
    SetColorScheme(kSchemeLight);
    QComboBox combo;
    combo.addItems({QStringLiteral("48000 Hz"), QStringLiteral("96000 Hz")});
    SetComboStyle(1.5, &combo);
    EXPECT_EQ(combo.font().pixelSize(), 20);
    EXPECT_EQ(combo.itemDelegate()->sizeHint(QStyleOptionViewItem(), combo.model()->index(0, 0)).height(), 32);

    QImage image(100, 30, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    DrawComboItem(painter, &combo, 0, QRect(0, 0, 100, 30), true, false);
    EXPECT_EQ(image.pixelColor(99, 0).rgba(), clAccent32);
    DrawComboItem(painter, &combo, 1, QRect(0, 0, 100, 30), false, true);
    EXPECT_EQ(image.pixelColor(99, 0).rgba(), Color32(clList));

    PaintMenuHeader(QStringLiteral("Level"), painter, QRect(0, 0, 100, 30));
    painter.end();
    EXPECT_EQ(image.pixelColor(1, 1).rgba(), Color32(clHighlight));
    SetColorScheme(kSchemeDark);
}

}  // namespace

// The display element picker on its own: its rows, the keys and the mouse
// on the list, its answers to the window that opened it, and the names and
// descriptions of every element it offers.
#include "main/display_picker.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <vector>

#include "store/measuring_preset.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

class DisplayPicker : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        curPreset = InitDinPreset();
        handle = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t answer) {
            if (msg == WM_MAIN_NOTIFY && code == kNotifyDisplayElementChosen) answers.push_back(answer);
        });
        picker = std::make_unique<TSelectDisplay>(nullptr);
        picker->SetMeHa(handle);
    }
    void TearDown() override {
        picker.reset();
        platform::UnregisterWindow(handle);
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(picker.get(), &press);
    }
    void ClickRow(int32_t row) {
        const int y = 10 + row * picker->RowStep() + picker->RowStep() / 2;
        picker->pbTop->OnMouseDown(picker->pbTop, Qt::LeftButton, 20, y);
    }
    std::vector<intptr_t> Delivered() {
        QCoreApplication::processEvents();
        return answers;
    }

    platform::WindowHandle handle = 0;
    std::unique_ptr<TSelectDisplay> picker;
    std::vector<intptr_t> answers;
};

TEST_F(DisplayPicker, KeysMoveOverTheRowsAndSkipHeadings) {
    struct Case {
        int32_t start;
        int key;
        int32_t lands;
    };
    // Elements: row 1 "Leq dB" 2, row 4 "LEQ (full)" 15, row 6 "Leq Short Term" 1,
    // row 8 16, row 30 "Blank display" 0, row 29 202.
    for (const Case& c : {Case{2, Qt::Key_Up, 2}, Case{0, Qt::Key_Down, 0}, Case{1, Qt::Key_Up, 15},
                          Case{15, Qt::Key_Down, 1}, Case{1, Qt::Key_Down, 16}, Case{0, Qt::Key_Home, 2},
                          Case{2, Qt::Key_End, 0}, Case{202, Qt::Key_Down, 0}}) {
        picker->SetCurrentId(c.start, 2);
        Key(c.key);
        EXPECT_EQ(picker->GetCurrentId(), c.lands) << "from " << c.start << " key " << c.key;
    }
    // An element no row lists has no place to move from.
    picker->SetCurrentId(77, 1);
    for (int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End}) Key(key);
    EXPECT_EQ(picker->GetCurrentId(), 77);
    EXPECT_TRUE(Delivered().empty());
}

TEST_F(DisplayPicker, ARowClickSelectsAndAHeadingClickChangesNothing) {
    picker->SetCurrentId(2, 3);
    ClickRow(5);  // the heading "LEQ SHORT TERM"
    EXPECT_EQ(picker->GetCurrentId(), 2);
    ClickRow(6);
    EXPECT_EQ(picker->GetCurrentId(), 1);
    ClickRow(kPickerRowCount + 3);  // below the last row
    picker->pbTop->OnMouseDown(picker->pbTop, Qt::LeftButton, 20, 5);  // in the top margin
    EXPECT_EQ(picker->GetCurrentId(), 1);
}

TEST_F(DisplayPicker, AnswersCarryTheAreaAndTheElementOrCancel) {
    EXPECT_EQ(PickerAnswer(2, 0), 0x20000);
    EXPECT_EQ(PickerAnswer(4, 202), (4 << 16) + 202);
    EXPECT_EQ(PickerAnswer(0x13, 5), (3 << 16) + 5);
    picker->SetCurrentId(2, 2);
    Key(Qt::Key_End);
    Key(Qt::Key_Return);
    Key(Qt::Key_Escape);
    // A target outside 1..4 shows "CHANGE DISPLAY" and starts from element 0.
    picker->SetCurrentId(5, 9);
    EXPECT_EQ(picker->GetCurrentId(), 0);
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("CHANGE DISPLAY"));
    picker->AnswerOk();
    EXPECT_EQ(Delivered(), (std::vector<intptr_t>{0x20000, -1, (9 << 16)}));
    // Without a window to answer, nothing is sent.
    platform::UnregisterWindow(handle);
    picker->AnswerOk();
    EXPECT_EQ(Delivered().size(), 3u);
}

TEST_F(DisplayPicker, ButtonsAnswerOnRelease) {
    picker->SetCurrentId(12, 1);
    const QPoint ok = picker->OkRect().center();
    const QPoint cancel = picker->CancelRect().center();
    EXPECT_GT(picker->OkRect().top(), picker->CancelRect().bottom());
    picker->pbBottom->OnMouseMove(picker->pbBottom, cancel.x(), cancel.y());
    EXPECT_EQ(picker->pbBottom->Tag, 2);
    picker->pbBottom->OnMouseUp(picker->pbBottom, Qt::LeftButton, ok.x(), ok.y());
    picker->pbBottom->OnMouseUp(picker->pbBottom, Qt::LeftButton, cancel.x(), cancel.y());
    picker->pbBottom->OnMouseUp(picker->pbBottom, Qt::LeftButton, 5, 5);
    EXPECT_EQ(Delivered(), (std::vector<intptr_t>{(1 << 16) + 12, -1}));
    // The form: 540 wide, room for 31 rows, the description and the separator.
    EXPECT_EQ(picker->width(), 540);
    EXPECT_EQ(picker->height(), 31 * picker->RowStep() + picker->pbBottom->height() + 8 + 20);
}

TEST_F(DisplayPicker, EveryOfferedElementHasANameAndADescriptionInBothLanguages) {
    for (int32_t lang : {kLangGerman, kLangEnglish}) {
        language.store(lang);
        for (int32_t row = 0; row < kPickerRowCount; ++row) {
            const PickerRow r = PickerRows()[row];
            EXPECT_FALSE(PickerRowText(row).isEmpty()) << "row " << row;
            if (r.element < 0) continue;
            EXPECT_FALSE(GetDisplayElementName(r.element).isEmpty()) << r.element << " lang " << lang;
            const QString info = GetDisplayElementInfo(r.element);
            EXPECT_FALSE(info.isEmpty()) << r.element << " lang " << lang;
            EXPECT_FALSE(info.contains(QStringLiteral("%s"))) << r.element << " lang " << lang;
        }
        for (int32_t searchElement : {101, 102, 103}) {
            EXPECT_FALSE(GetDisplayElementInfo(searchElement).contains(QStringLiteral("%s")));
        }
    }
    language.store(kLangEnglish);
    EXPECT_TRUE(GetDisplayElementName(999).isEmpty());
    EXPECT_TRUE(GetDisplayElementInfo(-1).isEmpty());
    // The RMS rows name the weighting of their preset entry (A for the Leq, C for the peak).
    EXPECT_EQ(PickerRowText(23), QStringLiteral("RMS A Fast (Average 125 ms)"));
    EXPECT_EQ(PickerRowText(25), QStringLiteral("RMS C Fast (Average 125 ms)"));
    // The short-term maximum's description begins with its own quantity.
    EXPECT_TRUE(GetDisplayElementInfo(6).startsWith(QStringLiteral("Max LAeq10s"))) << GetDisplayElementInfo(6).toStdString();
    // The Leq of the whole measurement is described as such.
    curPreset.messungen[kPresetEntryLeq].Dauer = -2;
    EXPECT_EQ(GetDisplayElementInfo(2), GetDisplayElementInfo(15));
    EXPECT_EQ(AreaCaption(2), QStringLiteral("Value displayed at the middle"));
}

}  // namespace

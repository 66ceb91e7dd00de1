// The calibration-log table: scrolling, filters, selection, deletion, the
// remark editor it opens and the printed list.
#include <gtest/gtest.h>

#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

#include "calibration/calibration_log.h"
#include "calibration/calibration_log_edit.h"
#include "calibration/calibration_table.h"
#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "platform/window_messages.h"
#include "support/process_until.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using test_support::ProcessUntil;

class CalTable : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        QLocale::setDefault(QLocale::c());
        platform::SetUserDialogs(&dialogs);
        owner = platform::RegisterWindow([this](uint32_t, uintptr_t code, intptr_t arg) { received.emplace_back(code, arg); });
    }
    void TearDown() override {
        platform::UnregisterWindow(owner);
        platform::SetUserDialogs(nullptr);
        platform::SetPrintDialogAnswer({});
    }
    // count entries, every third a verification; devices alternate in letter case.
    void Fill(int count) {
        for (int i = 0; i < count; ++i) {
            const bool verification = i % 3 == 2;
            const QString device = i % 2 == 0 ? QStringLiteral("Card A") : QStringLiteral("card a");
            if (verification)
                log.AddOff(0.1 * i, QStringLiteral("Cal %1").arg(i), QString(), i == 5 ? "Card B" : device, 8, 65551,
                           45000.0 + i);
            else
                log.AddKal(110.0 + 0.01 * i, QStringLiteral("Cal %1").arg(i), QStringLiteral("Remark %1").arg(i),
                           i == 4 ? QStringLiteral("Card B") : device, 1, 65551, 45000.0 + i);
        }
    }
    std::unique_ptr<TShowCalTable> Open() {
        return std::make_unique<TShowCalTable>(&log, [this] { ++saves; }, owner, nullptr);
    }

    TCalLog log;
    int saves = 0;
    platform::ScriptedDialogs dialogs;
    platform::WindowHandle owner = 0;
    std::vector<std::pair<uintptr_t, intptr_t>> received;
};

TEST_F(CalTable, TwelveRowsFitAndAThirteenthScrolls) {
    Fill(12);
    auto table = Open();
    EXPECT_FALSE(table->CanMove());
    EXPECT_EQ(table->VisibleIds().size(), 12u);
    EXPECT_EQ(table->VisibleIds().front(), 11) << "newest first";
    EXPECT_EQ(table->SelId(), 0) << "the oldest entry is selected";

    log.AddKal(111.0, "Cal 12", "", "Card A", 1, 65551, 46000.0);
    auto longer = Open();
    ASSERT_TRUE(longer->CanMove());
    EXPECT_EQ(longer->VisibleIds().size(), 12u);
    EXPECT_EQ(longer->VisibleIds().back(), 1) << "the oldest row is below the last visible one";
    for (int i = 0; i < 3; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(longer.get(), &down);
    }
    EXPECT_EQ(longer->StartId(), 1) << "scrolls only until the oldest entry is in the last row";
    EXPECT_EQ(longer->VisibleIds().back(), 0);
    EXPECT_EQ(longer->SelId(), -1);
    // Arrow keys move the selection and scroll it into view.
    longer->SelectRow(12, false);
    EXPECT_EQ(longer->StartId(), 1) << "a selection alone does not scroll";
    longer->SelectNewer();
    EXPECT_EQ(longer->SelId(), 12);
    EXPECT_EQ(longer->StartId(), 0);
    for (int i = 0; i < 12; ++i) longer->SelectOlder();
    EXPECT_EQ(longer->SelId(), 0);
    EXPECT_EQ(longer->StartId(), 1);
}

TEST_F(CalTable, FiltersByKindAndDeviceAndClearTheSelectionPastAShorterList) {
    Fill(12);
    auto table = Open();
    ASSERT_EQ(table->Devices(), QStringList({"Card A", "Card B"}));
    table->SelectRow(10, false);
    table->DoFilter(TShowCalTable::kFilterVerifications);
    EXPECT_EQ(table->Filtered(), std::vector<int32_t>({2, 5, 8, 11}));
    EXPECT_EQ(table->SelId(), -1) << "position 10 no longer exists";
    table->DoFilter(TShowCalTable::kFilterCalibrations);
    EXPECT_EQ(table->Filtered().size(), 8u);

    table->PrepareFilterMenu();
    ASSERT_EQ(table->DeviceMenu()->actions().size(), 4);  // List all, separator, two devices
    table->DeviceMenu()->actions().at(2)->trigger();      // "Card A", in any letter case
    EXPECT_EQ(table->Filtered(), std::vector<int32_t>({0, 1, 3, 6, 7, 9, 10}));
    EXPECT_TRUE(table->DeviceLineBold());
    EXPECT_EQ(table->DeviceLineText(), QStringLiteral("List contains only entries created using Card A"));
    table->DeviceMenu()->actions().at(0)->trigger();
    EXPECT_FALSE(table->DeviceLineBold());
    EXPECT_EQ(table->Filtered().size(), 8u);

    // A click on the header row clears the selection.
    table->SelectRow(0, false);
    table->PressList(static_cast<int>(table->RowHeight() * 1.5));
    EXPECT_EQ(table->SelId(), -1);
    table->PressList(static_cast<int>(table->RowHeight() * 2.5));
    EXPECT_EQ(table->SelId(), 7) << "the first row is the newest listed";
}

TEST_F(CalTable, EmptyLogShowsNothingAndCloseOnlyTellsTheOwner) {
    auto table = Open();
    EXPECT_TRUE(table->Filtered().empty());
    EXPECT_EQ(table->pbMain()->height(), static_cast<int>(std::nearbyint(2.5 * table->RowHeight())));
    EXPECT_EQ(table->DeviceLineText(), GetLangText(1162));
    table->EditClick();
    table->DeleteClick();
    EXPECT_EQ(table->Editor(), nullptr);
    table->show();
    table->close();
    EXPECT_TRUE(table->isVisible());
    ASSERT_TRUE(ProcessUntil([this] { return !received.empty(); }));
    EXPECT_EQ(received.front().first, uintptr_t{kNotifyCalTableDone});
}

TEST_F(CalTable, DeletingTheSelectedEntryKeepsTheOthersInOrderAndSaves) {
    Fill(6);
    auto table = Open();
    table->SelectRow(2, false);
    dialogs.ScriptMessage(platform::kMessageRight);
    table->DeleteClick();
    EXPECT_EQ(log.NumEntries(), 6);
    dialogs.ScriptMessage(platform::kMessageLeft);
    table->DeleteClick();
    ASSERT_EQ(log.NumEntries(), 5);
    EXPECT_EQ(log.GetEntryCalStr(2), QStringLiteral("Cal 3"));
    EXPECT_EQ(table->SelId(), -1);
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(dialogs.messages().back().text.startsWith(QStringLiteral("Remove calibration created")));
}

TEST_F(CalTable, TheRemarkEditorFollowsItsEntryAndWritesNothingForAVanishedOne) {
    Fill(4);
    auto table = Open();
    table->SelectRow(1, false);
    table->EditClick();
    TCalLogEdit* editor = table->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Mode(), TCalLogEdit::kFromTable);
    EXPECT_EQ(editor->mEdit()->toPlainText(), QStringLiteral("Remark 1"));
    EXPECT_TRUE(editor->HeaderText().endsWith(QStringLiteral("Cal 1")));
    // An earlier entry goes: the editor still edits "Cal 1", now at position 0.
    log.RemoveEntry(0);
    editor->mEdit()->setPlainText(QStringLiteral("\n\n  checked twice \n\n"));
    editor->pbOkClick();
    EXPECT_EQ(log.GetEntryRemark(0), QStringLiteral("checked twice"));
    EXPECT_EQ(saves, 1);
    ASSERT_TRUE(ProcessUntil([&] { return table->Editor() == nullptr; }));

    table->SelectRow(0, true);
    table->EditClick();
    editor = table->Editor();
    ASSERT_NE(editor, nullptr);
    log.RemoveEntry(0);
    const QString before = log.GetEntryRemark(0);
    editor->mEdit()->setPlainText(QStringLiteral("lost"));
    editor->pbOkClick();
    EXPECT_EQ(log.GetEntryRemark(0), before);
    EXPECT_EQ(saves, 1);
}

TEST_F(CalTable, PrintedListHasKindTitlesAndPages) {
    Fill(60);
    QTemporaryDir dir;
    auto table = Open();
    const std::vector<std::pair<int32_t, const char*>> cases = {
        {TShowCalTable::kFilterAll, "all.pdf"}, {TShowCalTable::kFilterVerifications, "verifications.pdf"}};
    for (const auto& [filter, name] : cases) {
        table->DoFilter(filter);
        platform::SetPrintDialogAnswer([](const QString&) { return platform::kPdfPrinterName; });
        dialogs.ScriptSaveFile(dir.filePath(name));
        ASSERT_TRUE(table->PrintList());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), dir.filePath(name), QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(60000));
        // The printer's font joins "fi" into one glyph.
        const QString out = QString::fromUtf8(text.readAllStandardOutput()).replace(QChar(0xFB01), QStringLiteral("fi"));
        const int pages = static_cast<int>(out.count(QLatin1Char('\f')));
        if (filter == TShowCalTable::kFilterAll) {
            EXPECT_TRUE(out.contains(QStringLiteral("Calibration & Verification")));
            EXPECT_GE(out.count(QStringLiteral("Verification")), 20) << "a kind title before each verification";
            EXPECT_GE(pages, 3);
            EXPECT_TRUE(out.contains(QStringLiteral("Page: 3")));
        } else {
            EXPECT_TRUE(out.contains(QStringLiteral("Verification List")));
            EXPECT_FALSE(out.contains(QStringLiteral("Calibration"))) << "no kind titles";
            EXPECT_GE(pages, 1);
        }
    }
    platform::SetPrintDialogAnswer([](const QString&) { return QString(); });
    EXPECT_FALSE(table->PrintList()) << "a cancelled print dialog prints nothing";
}

}  // namespace

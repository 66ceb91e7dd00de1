// The regulation choice: the list of presets, the summary's age line and
// the import into the user preset folder with its name clash.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

#include "platform/user_dialogs.h"
#include "settings/regulation_choice_dialog.h"
#include "settings/settings_prompts.h"
#include "store/preset_handler.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

class RegulationChoice : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        platform::SetUserDialogs(&dialogs);
        QDir().mkpath(dir.filePath("defaults"));
        QDir().mkpath(dir.filePath("user"));
        QDir().mkpath(dir.filePath("elsewhere"));
        handler = std::make_unique<TVTPresetHandler>(dir.filePath("defaults"), dir.filePath("user"));
        presetHandler.store(handler.get());
        lastPresetId = -2;
    }
    void TearDown() override {
        presetHandler.store(nullptr);
        platform::SetUserDialogs(nullptr);
        ResetSettingsPrompts();
    }
    // A user preset file with this English description.
    QString WritePreset(const QString& path, const QString& info, platform::TDateTime changed = 0) {
        TVTPreset p = InitDinPreset();
        p.isUser = true;
        p.vor = p.InfoD = p.InfoE = info;
        p.lastModDate = changed;
        const TVTPreset keep = handler->GetPreset(-2);
        handler->SetPreset(-2, p);
        EXPECT_TRUE(handler->SavePresetToFile(path, -2));
        handler->SetPreset(-2, keep);
        return path;
    }
    void Choose(const QString& file) {
        dialogs.ScriptOpenFile(file);
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<TVTPresetHandler> handler;
};

TEST_F(RegulationChoice, TheUserSettingComesLastAndAnUnknownCurrentIdChoosesTheFirst) {
    handler->ScanForData();
    TSelectMV d(nullptr, 96);
    ASSERT_EQ(d.Entries()->count(), handler->GetPresetCount() + 1);
    EXPECT_EQ(d.Entries()->itemText(d.Entries()->count() - 1), GetLangText(826));
    EXPECT_EQ(d.GetPresetId(), -2);
    lastPresetId = 99;
    TSelectMV other(nullptr, 96);
    EXPECT_EQ(other.Entries()->currentIndex(), 0);
    other.SetCurrentPresetByName(GetLangText(826).toUpper());
    EXPECT_EQ(other.GetPresetId(), -2);
}

TEST_F(RegulationChoice, AnOldPresetWarnsWithItsWholeYears) {
    const platform::TDateTime now = platform::SystemLocalNow();
    for (const auto& [days, years] : {std::pair{3 * 365.25 + 31, 3}, std::pair{2 * 365.25 + 335, 0}}) {
        TVTPreset p = handler->GetPreset(-2);
        p.lastModDate = now - days;
        p.messungen[0].Status = p.messungen[1].Status = p.messungen[2].Status = 2;
        handler->SetPreset(-2, p);
        TSelectMV d(nullptr, 96);
        EXPECT_EQ(d.AgeWarningYears(), years) << days;
        const QStringList lines = d.SummaryLines();
        EXPECT_EQ(lines.front().contains(QString::number(years)) && years > 0, years > 0);
        // Three monitored entries: three lines each, the regulation and the caution.
        EXPECT_EQ(lines.size(), (years > 0 ? 1 : 0) + 2 + 9 + 1);
    }
}

TEST_F(RegulationChoice, AnImportWhoseNameExistsIsCopiedUnderTheNewNameAndChosen) {
    WritePreset(dir.filePath("user/club.vup"), "Old club");
    const QString source = WritePreset(dir.filePath("elsewhere/club.vup"), "New club");
    handler->ScanForData();
    TSelectMV d(nullptr, 96);
    Choose(source);
    QStringList typed = {"../escape/x", "club2"};
    settingsPrompts().text = [&](QWidget*, const QString&, const QString&, const QString&) {
        return std::optional<QString>(typed.takeFirst());
    };
    dialogs.ScriptMessage(platform::kMessageRight);  // start import
    dialogs.ScriptMessage(platform::kMessageRight);  // change file name: refused name
    dialogs.ScriptMessage(platform::kMessageRight);  // told that the name is refused
    dialogs.ScriptMessage(platform::kMessageRight);  // change file name again
    d.Import();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("user/club2.vup")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("escape/x.vup")));
    EXPECT_EQ(d.Entries()->currentText(), "New club");
    EXPECT_EQ(d.Entries()->count(), 3);
}

TEST_F(RegulationChoice, AnImportCancelledAtTheSummaryCopiesNothing) {
    const QString source = WritePreset(dir.filePath("elsewhere/hall.vup"), "Hall");
    handler->ScanForData();
    const int32_t countBefore = handler->GetPresetCount();
    TSelectMV d(nullptr, 96);
    Choose(source);
    dialogs.ScriptMessage(platform::kMessageLeft);
    d.Import();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("user/hall.vup")));
    EXPECT_EQ(d.Entries()->count(), handler->GetPresetCount() + 1);
    EXPECT_EQ(handler->GetPresetCount(), countBefore);
}

TEST_F(RegulationChoice, ADefaultPresetImportIsListedAsAUserPreset) {
    const QString source = WritePreset(dir.filePath("elsewhere/plain.vup"), "Plain");
    ASSERT_TRUE(QFile::rename(source, dir.filePath("elsewhere/fest.vtl")));
    handler->ScanForData();
    TSelectMV d(nullptr, 96);
    Choose(dir.filePath("elsewhere/fest.vtl"));
    dialogs.ScriptMessage(platform::kMessageRight);
    d.Import();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("user/fest.vup")));
    EXPECT_EQ(d.Entries()->count(), 2);
}

TEST_F(RegulationChoice, Screenshots) {
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        TSelectMV d(nullptr, 96);
        d.show();
        EXPECT_TRUE(d.grab().toImage().save(test_support::ScreenshotPath(QStringLiteral("regulation_choice_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace

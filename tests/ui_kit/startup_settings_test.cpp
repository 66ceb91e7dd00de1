#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/registry.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

class StartupSettings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        platform::Registry::SetHiveFiles(dir_.filePath("user.hive"), dir_.filePath("machine.hive"));
    }
    void TearDown() override { platform::Registry::SetHiveFiles({}, {}); }

    void Store(std::optional<int32_t> layout, std::optional<int32_t> lang) {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        if (layout) reg.WriteInteger("DisplayLayout", *layout);
        if (lang) reg.WriteInteger("Lang", *lang);
        ASSERT_TRUE(reg.CloseKey());
    }

    QTemporaryDir dir_;
};

TEST_F(StartupSettings, StoredValuesAreTaken) {
    Store(0, 1);
    LoadStartupDisplaySettings();
    EXPECT_EQ(displayLayout.load(), 0);
    EXPECT_EQ(language.load(), 1);
}

TEST_F(StartupSettings, UnusableOrMissingValuesGiveTheDefaults) {
    InitLanguageFromSystem();
    const int32_t systemLanguage = language.load();
    struct Case { std::optional<int32_t> layout, lang; };
    for (const Case c : {Case{2, 0}, Case{-1, 3}, Case{std::nullopt, std::nullopt}, Case{7, -5}}) {
        Store(c.layout, c.lang);
        displayLayout = 0;
        language = 99;
        LoadStartupDisplaySettings();
        EXPECT_EQ(displayLayout.load(), kDefaultDisplayLayout);
        EXPECT_EQ(language.load(), systemLanguage);
        platform::Registry reg;
        reg.DeleteKey(kSettingsKey);
    }
}

TEST_F(StartupSettings, NoSettingsKeyGivesTheDefaults) {
    displayLayout = 0;
    LoadStartupDisplaySettings();
    EXPECT_EQ(displayLayout.load(), kDefaultDisplayLayout);
    EXPECT_TRUE(language.load() == 1 || language.load() == 2);
}

}  // namespace

#include "ui_kit/startup_settings.h"

#include "platform/registry.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

void LoadStartupDisplaySettings() {
    int32_t layout = kDefaultDisplayLayout;
    int32_t lang = kDefaultLanguage;
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey)) {
        if (const auto stored = reg.ReadInteger(QStringLiteral("DisplayLayout")))
            layout = ValidDisplayLayout(*stored);
        if (const auto stored = reg.ReadInteger(QStringLiteral("Lang")))
            lang = ValidLanguage(*stored);
        reg.CloseKey();
    }
    displayLayout = layout;
    language = lang;
    if (language < 0) InitLanguageFromSystem();
}

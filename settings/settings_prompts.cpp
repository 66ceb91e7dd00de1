#include "settings/settings_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>

#include "ui_kit/text_table.h"

namespace {

std::optional<QString> AskFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, startFolder);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

std::optional<TColor> AskColour(QWidget* owner, TColor current) {
    const QColor chosen = QColorDialog::getColor(QColorOf(current), owner);
    if (!chosen.isValid()) return std::nullopt;
    return WinColor(Color32Of(chosen));
}

std::optional<QString> AskText(QWidget* owner, const QString& caption, const QString& prompt, const QString& text) {
    bool ok = false;
    const QString typed = QInputDialog::getText(owner, caption, prompt, QLineEdit::Normal, text, &ok);
    if (!ok) return std::nullopt;
    return typed;
}

TSettingsPrompts PlatformPrompts() { return {AskFolder, AskColour, AskText}; }

}  // namespace

TSettingsPrompts& settingsPrompts() {
    static TSettingsPrompts prompts = PlatformPrompts();
    return prompts;
}

std::optional<QString> AskFileToOpen(const platform::OpenFileRequest& request) {
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskOpenFile(request);
    if (!answer.ok()) return std::nullopt;
    return answer.path;
}

std::optional<QString> AskPresetFile(QWidget* owner, const QString& presetFolder) {
    platform::OpenFileRequest request;
    request.title = GetLangText(845);
    request.filter = GetLangText(840) + QLatin1Char('|') + GetLangText(844);
    request.startFolder = presetFolder;
    request.owner = owner;
    return AskFileToOpen(request);
}

void ResetSettingsPrompts() { settingsPrompts() = PlatformPrompts(); }

#pragma once
// The questions the settings dialogs ask beside the message box and the
// platform's file prompts: a folder, a colour and one line of text. The
// program answers them with the platform's dialogs; a test replaces a hook
// with its own answer so that nothing blocks on a modal window. An empty
// answer means cancelled.
#include <QString>

#include <functional>
#include <optional>

#include "platform/user_dialogs.h"
#include "ui_kit/paint_box.h"

class QWidget;

struct TSettingsPrompts {
    std::function<std::optional<QString>(QWidget* owner, const QString& title, const QString& startFolder)> folder;
    std::function<std::optional<TColor>(QWidget* owner, TColor current)> colour;
    std::function<std::optional<QString>(QWidget* owner, const QString& caption, const QString& prompt,
                                         const QString& text)>
        text;
};

// The hooks in use; each starts as the platform's dialog.
TSettingsPrompts& settingsPrompts();
// The platform's question for a file to open; empty when cancelled.
std::optional<QString> AskFileToOpen(const platform::OpenFileRequest& request);
// The question for a preset file to load, starting in the preset folder.
std::optional<QString> AskPresetFile(QWidget* owner, const QString& presetFolder);
// Puts every hook back to the platform's dialog.
void ResetSettingsPrompts();

#pragma once
// The questions the settings dialogs ask beside the message box: a file to
// open, a folder, a colour and one line of text. The program answers them
// with the platform's dialogs; a test replaces a hook with its own answer so
// that nothing blocks on a modal window. An empty answer means cancelled.
#include <QString>

#include <functional>
#include <optional>

#include "ui_kit/paint_box.h"

class QWidget;

struct TOpenFileQuestion {
    QString title;
    QString filter;      // "Caption|*.ext|Caption|*.ext" as the program writes it
    QString startFolder;
    QString fileName;    // proposed file; may be empty
    bool mustExist = true;
};

struct TSettingsPrompts {
    std::function<std::optional<QString>(QWidget* owner, const TOpenFileQuestion& question)> openFile;
    std::function<std::optional<QString>(QWidget* owner, const QString& title, const QString& startFolder)> folder;
    std::function<std::optional<TColor>(QWidget* owner, TColor current)> colour;
    std::function<std::optional<QString>(QWidget* owner, const QString& caption, const QString& prompt,
                                         const QString& text)>
        text;
};

// The hooks in use; each starts as the platform's dialog.
TSettingsPrompts& settingsPrompts();
// The question for a preset file to load, starting in the preset folder.
std::optional<QString> AskPresetFile(QWidget* owner, const QString& presetFolder);
// Puts every hook back to the platform's dialog.
void ResetSettingsPrompts();

// "Caption|*.a|Caption|*.b" in the form of the platform's file dialogs.
QString QtFileFilter(const QString& programFilter);

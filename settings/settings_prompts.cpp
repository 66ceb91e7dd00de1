#include "settings/settings_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QStringList>

#include "ui_kit/text_table.h"

namespace {

std::optional<QString> AskOpenFile(QWidget* owner, const TOpenFileQuestion& q) {
    QFileDialog dialog(owner, q.title, q.startFolder, QtFileFilter(q.filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(q.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!q.fileName.isEmpty()) dialog.selectFile(q.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

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

TSettingsPrompts PlatformPrompts() { return {AskOpenFile, AskFolder, AskColour, AskText}; }

}  // namespace

TSettingsPrompts& settingsPrompts() {
    static TSettingsPrompts prompts = PlatformPrompts();
    return prompts;
}

std::optional<QString> AskPresetFile(QWidget* owner, const QString& presetFolder) {
    TOpenFileQuestion question;
    question.title = GetLangText(845);
    question.filter = GetLangText(840) + QLatin1Char('|') + GetLangText(844);
    question.startFolder = presetFolder;
    return settingsPrompts().openFile(owner, question);
}

void ResetSettingsPrompts() { settingsPrompts() = PlatformPrompts(); }

QString QtFileFilter(const QString& programFilter) {
    const QStringList parts = programFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')');
    return entries.join(QStringLiteral(";;"));
}

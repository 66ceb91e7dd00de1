#include "ui_kit/gui_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>
#include <QMetaObject>
#include <QThread>

#include <cstdio>
#include <exception>

#include "ui_kit/info_window.h"
#include "ui_kit/message_box.h"

namespace {

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void Refuse(const char* what, const char* answer, const QString& detail) {
    const QByteArray line = QStringLiteral("Veltaro: %1 %2: %3\n")
                                .arg(QLatin1String(what), QLatin1String(answer), detail)
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

void ShowInfoNow(const platform::InfoRequest& r) {
    try {
        ShowInfoPopup(r.x, r.y, r.info, r.header, r.timeoutMs, r.leftCaption, r.leftAnswer, r.rightCaption,
                      r.rightAnswer, r.restAnswer, r.maxWidth, r.place);
    } catch (const std::exception& e) {
        Refuse("information popup", "not shown", QString::fromLocal8Bit(e.what()));
    }
}

}  // namespace

int GuiDialogs::ShowMessage(const platform::MessageRequest& request) {
    if (!OnGuiThread()) {
        Refuse("message box outside the GUI thread", "closed", request.header + QStringLiteral(" | ") + request.text);
        return platform::kMessageClosed;
    }
    return ShowTMessage(request.text, request.header, request.leftCaption, request.centreCaption,
                        request.rightCaption, request.owner);
}

void GuiDialogs::ShowInfo(const platform::InfoRequest& request) {
    if (OnGuiThread()) {
        ShowInfoNow(request);
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        Refuse("information popup without an application", "not shown", request.header);
        return;
    }
    QMetaObject::invokeMethod(app, [request] { ShowInfoNow(request); }, Qt::QueuedConnection);
}

platform::PasswordAnswer GuiDialogs::AskPassword(const platform::PasswordRequest& request) {
    if (!prompt_) {
        Refuse("no password prompt is installed, password prompt", "cancelled", request.name);
        return platform::PasswordAnswer{platform::kPasswordCancel, QString()};
    }
    if (!OnGuiThread()) {
        Refuse("password prompt outside the GUI thread", "cancelled", request.name);
        return platform::PasswordAnswer{platform::kPasswordCancel, QString()};
    }
    return prompt_(request);
}

void GuiDialogs::SetPasswordPrompt(PasswordPrompt prompt) { prompt_ = std::move(prompt); }

namespace {

// "Caption|*.ext|Other|*.o" as the program writes filters, in Qt's
// "Caption (*.ext);;Other (*.o)" form.
QString QtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace

platform::SaveFileAnswer GuiDialogs::AskSaveFile(const platform::SaveFileRequest& request) {
    if (!OnGuiThread()) {
        Refuse("save-file prompt outside the GUI thread", "cancelled", request.title);
        return platform::SaveFileAnswer{};
    }
    QFileDialog dialog(request.owner, request.title, request.startFolder, QtNameFilter(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return platform::SaveFileAnswer{};
    return platform::SaveFileAnswer{true, dialog.selectedFiles().constFirst()};
}

platform::SaveFileAnswer GuiDialogs::AskOpenFile(const platform::OpenFileRequest& request) {
    if (!OnGuiThread()) {
        Refuse("open-file prompt outside the GUI thread", "cancelled", request.title);
        return platform::SaveFileAnswer{};
    }
    QFileDialog dialog(request.owner, request.title, request.startFolder, QtNameFilter(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return platform::SaveFileAnswer{};
    return platform::SaveFileAnswer{true, dialog.selectedFiles().constFirst()};
}

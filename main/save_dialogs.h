#pragma once
// The save prompt of a measurement file, as the start and a failed save at
// the stop show it.
#include <QString>

#include "platform/user_dialogs.h"
#include "ui_kit/text_table.h"

inline platform::SaveFileRequest ReportSaveRequest(const QString& userFolder, bool overwritePrompt, QWidget* owner) {
    platform::SaveFileRequest request;
    request.title = QStringLiteral("Save the report at");
    request.filter = GetLangText(39);
    request.defaultExtension = QStringLiteral("vtm");
    request.startFolder = userFolder;
    request.overwritePrompt = overwritePrompt;
    request.owner = owner;
    return request;
}

// The measurement menu's explanation of why a start is not possible yet,
// the caption of its start action, and the info menu's current parameters.
#include <QAction>
#include <QMenu>

#include "audio/audio_start_stop.h"
#include "main/main_window.h"
#include "main/measurement_parameter_texts.h"
#include "platform/user_dialogs.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kPopupTimeoutMs = 15000;

struct NotReadyText {
    const char* header;
    const char* text;
};

NotReadyText NotReadyFor(int32_t statusId) {
    switch (statusId) {
    case 2:
        return {"SPL CALIBRATION",
                "No valid calibration data found for the current audio device setting. Please calibrate the mic(s) "
                "first. \r\nUse CALIBRATE SPL in the SETTINGS menu."};
    case 3:
    case 6:
        return {"SET CORRECTION DATA",
                "You need to set the correction data befor you start the measurement.\r\nUse the tool CORRECTION "
                "DATA in the SETTINGS menu."};
    case 4:
        return {"AUDIO DEVICE SETTINGS",
                "The current audio-device settings are not valid.\r\nSelect a valid input channel for the measurement "
                "before starting the measurement.\r\nTo edit the current Audio Device Settings use the AUDIO DEVICE "
                "entry in the SETTINGS menu."};
    default: return {"", ""};
    }
}

QAction* NamedItem(QWidget* root, const char* name) { return root->findChild<QAction*>(QString::fromLatin1(name)); }

}  // namespace

void TVTProMaster::WireMeasurementMenuActions() {
    if (measureMenu_) connect(measureMenu_, &QMenu::aboutToShow, this, [this] { DIN1590551Click(); });
    if (QAction* about = NamedItem(this, "VeltaroPRO1")) {
        about->setEnabled(true);
        connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    }
    if (QAction* parameters = NamedItem(this, "mInfoParameter")) {
        parameters->setEnabled(true);
        connect(parameters, &QAction::triggered, this, [this] { mInfoParameterClick(); });
    }
}

void TVTProMaster::DIN1590551Click() {
    const int32_t statusId = StatusID();
    if (!GetMessungLaeuft() && statusId != 1 && statusId != 5) {
        const NotReadyText why = NotReadyFor(statusId);
        platform::InfoRequest request;
        const QPoint at = measureMenu_ ? measureMenu_->mapToGlobal(QPoint(0, measureMenu_->height())) : QPoint();
        request.x = at.x();
        request.y = at.y();
        request.info = QString::fromLatin1(why.text);
        request.header = QString::fromLatin1(why.header);
        request.timeoutMs = kPopupTimeoutMs;
        request.rightCaption = QStringLiteral("Close");
        request.rightAnswer = 0;
        request.restAnswer = 0;
        platform::userDialogs()->ShowInfo(request);
    }
    const int32_t lang = language.load();
    const QString info = lang == 1 ? curPreset.InfoD : lang == 2 ? curPreset.InfoE : QString();
    if (startAction_) startAction_->setText(QStringLiteral("Start Measurement (") + info + QLatin1Char(')'));
}

QString TVTProMaster::CurrentParametersText() const {
    QString text;
    if (isAkku_)
        text = QStringLiteral("AC Supply Misssing\r\nIn order to ensure continous operation, please apply AC power "
                              "supply\r\n\r\n");
    const TVTPresetHandler* handler = presetHandler.load();
    const int32_t lang = language.load() == 2 ? 2 : 1;
    text += QStringLiteral("Selected Configuration: ") + (handler ? handler->GetPresetText(-1, lang) : QString()) +
            QStringLiteral("\r\n");
    bool first = true;
    for (int32_t q = 0; q < kPresetEntryCount; ++q) {
        if (curPreset.messungen[q].Status != 2) continue;
        text += first ? QStringLiteral("\r\n") : QStringLiteral("\r\n\r\n");
        first = false;
        text += QuantityInfoText(curPreset, q);
    }
    // Each builder makes its own lines from nothing (the reference microphone's
    // replaces what it is given); they are joined here, one line break apiece.
    const QString lineBreak = QStringLiteral("\r\n");
    const QString calibration = CalDeviceInfoText();
    text += lineBreak + (calibration.startsWith(lineBreak) ? calibration : lineBreak + calibration);
    text += lineBreak + RefMicCalText(QString());
    text += lineBreak + KorrTimesText(QString());
    return RecordingInfoText(text);
}

void TVTProMaster::mInfoParameterClick() {
    platform::InfoRequest request;
    request.info = CurrentParametersText();
    request.header = QStringLiteral("Current Settings");
    request.timeoutMs = kPopupTimeoutMs;
    request.rightCaption = QStringLiteral("Close");
    request.rightAnswer = 0;
    platform::userDialogs()->ShowInfo(request);
}

QString TVTProMaster::MakeVersionString(int64_t version) {
    const auto v = static_cast<uint64_t>(version);
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 48).arg((v >> 32) & 0xFFFF).arg((v >> 16) & 0xFFFF).arg(v & 0xFFFF);
}

void TVTProMaster::ShowAbout() {
    constexpr int32_t kAboutTimeoutMs = 7000;
    constexpr int32_t kCentredOnPoint = 1;
    platform::InfoRequest request;
    request.header = GetLangText(101) + QLatin1Char(' ') + GetVersionString() + QStringLiteral(" (64 Bit)");
    request.info = GetLangText(95);
    request.timeoutMs = kAboutTimeoutMs;
    request.rightCaption = GetLangText(103);
    request.rightAnswer = 0;
    request.place = kCentredOnPoint;
    platform::userDialogs()->ShowInfo(request);
}

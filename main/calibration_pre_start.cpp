// The two checks before a measurement starts: what is about to be measured
// with the calibration state, and whether the calibrated input can reach
// the monitored peak limit.
#include <QPlainTextEdit>

#include <cmath>

#include "calibration/pre_start_dialogs.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "store/preset_handler.h"
#include "ui_kit/message_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kMonitored = 2;
constexpr int32_t kArtPeak = 2;
const QString kCrLf = QStringLiteral("\r\n");

QString Whole(double level) { return QString::number(static_cast<int64_t>(std::nearbyint(level))); }

// Centred over the owner, then kept inside the work area.
void PlaceOver(QWidget& dialog, const QWidget& owner) {
    dialog.adjustSize();
    const QRect main = owner.frameGeometry();
    const QPoint centred(static_cast<int>(std::nearbyint(main.left() + (main.width() - dialog.width()) * 0.5)),
                         static_cast<int>(std::nearbyint(main.top() + (main.height() - dialog.height()) * 0.5)));
    dialog.move(FitRectToWorkArea(QRect(centred, dialog.size())));
}

}  // namespace

// The settings text of the information dialog: description, regulation,
// then one block per monitored quantity.
QStringList TVTProMaster::StartInfoModeLines() const {
    QStringList lines;
    const TVTPresetHandler* handler = presetHandler.load();
    lines << GetLangText(161) + QStringLiteral(": ") +
                 (handler ? handler->GetPresetText(kCurrentPresetId, language.load()) : QString());
    const QString regulation = handler ? handler->GetVorschrift(kCurrentPresetId) : QString();
    if (!regulation.isEmpty()) lines << regulation;
    lines << QString();
    bool first = true;
    for (int32_t quantity = 0; quantity < 3; ++quantity) {
        const auto& entry = curPreset.messungen[quantity];
        if (entry.Status != kMonitored) continue;
        if (!first) lines << QString();
        first = false;
        const QString unit = quantity == 0 ? DbUnitText(entry.Filter) : QStringLiteral(" dB");
        lines << (quantity == 2 ? MeasurePeakLabel(entry) : MeasureDurationText(entry, true, language.load()));
        lines << GetLangText(163) + QStringLiteral("  ") + Whole(entry.Rot) + unit;
        lines << GetLangText(164) + Whole(entry.Gelb) + unit;
    }
    return lines;
}

int32_t TVTProMaster::ShowStartInfo(platform::TDateTime calTime, int32_t fileCheck) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return kKalCancel;
    TiKal dialog(this);
    dialog.SetFileStatus(fileCheck);
    dialog.SetFileName(store->GetSaveName());
    dialog.AddLocText(store->GetVeranstaltung());
    dialog.AddLocText(store->GetPLZ() + QStringLiteral(" ") + store->GetORT() + QStringLiteral(", ") +
                      store->GetAdresse());
    for (const QString& line : StartInfoModeLines()) dialog.AddModeText(line);

    // A time at or below zero is no calibration at all.
    const double days = WholeDaysBetween(CorrectedNow(), calTime);
    int32_t warnMode = 0;
    if (calTime <= 0.0) {
        dialog.AddErrorText(GetLangText(28));
        dialog.AddErrorText(GetLangText(29));
        dialog.pbDoIt()->setVisible(false);
        warnMode = 2;
        dialog.SetCalibrateVisible(true);
    } else if (days > 0 && curPreset.kalAb) {
        dialog.AddErrorText(GetLangText(30) + DateText(calTime) + GetLangText(31) + TimeText(calTime));
        dialog.AddErrorText(GetLangText(32));
        dialog.SetDoItText(GetLangText(270));
        warnMode = 1;
        dialog.SetCalibrateVisible(true);
    } else {
        dialog.SetCalibrateVisible(false);
        dialog.SetDoItText(GetLangText(316));
    }
    dialog.SetWarnMode(warnMode);
    dialog.UpdateDisplay();
    PlaceOver(dialog, *this);
    return dialog.exec();
}

int32_t TVTProMaster::CheckHeadroom() {
    TDaten* store = defaultDaten.load();
    if (store == nullptr || !curPreset.checkH) return 0;
    int32_t found = -1;
    for (int32_t quantity = 0; quantity < 3 && found < 0; ++quantity) {
        const auto& entry = curPreset.messungen[quantity];
        if (entry.ART == kArtPeak && entry.Status == kMonitored &&
            store->GetRealLimit(quantity) > appliedCalOffset[quantity].load())
            found = quantity;
    }
    if (found < 0) return 0;
    TiLevel dialog(this);
    dialog.SetHeader(WithTextArgument(GetLangText(176), Whole(appliedCalOffset[found].load())));
    dialog.SetText(GetLangText(FindLimitAboveHeadroom() >= 0 ? 177 : 178) + kCrLf + GetLangText(179) + kCrLf +
                   GetLangText(180) + kCrLf + kCrLf + GetLangText(181));
    dialog.SetLimitText(store->GetLimitText());
    PlaceOver(dialog, *this);
    const int32_t answer = dialog.exec();
    // The report shows the precautions, whatever the answer.
    store->SetLimitText(dialog.GetLimitText());
    switch (answer) {
    case kLevelStartAnyway:
        return 0;
    case kLevelCalibrate:
        return 3;
    default:
        return 1;
    }
}

#include "store/measuring_preset.h"

#include <cstdlib>

#include "store/own_copies.h"

namespace {

constexpr int32_t kTextWholeMeasurement = 823;  // "of the whole measurement"
constexpr int32_t kTextFixed = 121;             // "(Fixed)"
constexpr int32_t kTextMoving = 122;            // "(Moving)"
constexpr int32_t kWholeMeasurement = -2;

QString LeqEntryInfo(const TPresetMessung& entry) {
    QString text = LeqName(entry.Filter);
    if (entry.Dauer == kWholeMeasurement) {
        return text + QLatin1Char(' ') + GetLangText(kTextWholeMeasurement);
    }
    text += QString::number(std::abs(entry.Dauer / 60)) + QLatin1String("min ");
    return text + GetLangText(entry.Dauer > 0 ? kTextFixed : kTextMoving);
}

QString LeqKEntryInfo(const TPresetMessung& entry) {
    return LeqName(entry.Filter) + QString::number(std::abs(static_cast<int64_t>(entry.Dauer))) + QLatin1Char('s');
}

}  // namespace

TVTPreset InitDinPreset() {
    TVTPreset din;
    din.messungen = kDefaultPresetEntries;
    din.vor = QStringLiteral("DIN 15905-5");
    din.InfoD = QStringLiteral("Deutschland (DIN15905-5)");
    din.InfoE = QStringLiteral("Germany (DIN15905-5)");
    din.offCheck = true;
    din.kalAb = true;
    din.naKoS = 0;
    din.checkH = true;
    din.isUser = false;
    din.endDirect = false;
    din.linkLeqK = true;
    din.lastModDate = platform::EncodeDateTime(2022, 7, 1, 0, 0, 0, 0);
    din.leqColorMode = 1;
    return din;
}

TVTPreset OwnCopy(const TVTPreset& preset) {
    TVTPreset copy = preset;
    copy.vor = OwnCopy(preset.vor);
    copy.InfoD = OwnCopy(preset.InfoD);
    copy.InfoE = OwnCopy(preset.InfoE);
    copy.fn = OwnCopy(preset.fn);
    return copy;
}

QString PresetEntryInfo(const TVTPreset& preset, int32_t entry) {
    switch (entry) {
    case kPresetEntryLeq:
        return LeqEntryInfo(preset.messungen[kPresetEntryLeq]);
    case kPresetEntryLeqK:
        return LeqKEntryInfo(preset.messungen[kPresetEntryLeqK]);
    case kPresetEntryPeak:
        return LevelLabelText(preset.messungen[kPresetEntryPeak].Filter, preset.messungen[kPresetEntryPeak].Dauer);
    default:
        return QStringLiteral("Invalid Preset: ") + QString::number(entry);
    }
}

TVTPreset curPreset;

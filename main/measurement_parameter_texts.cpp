#include "main/measurement_parameter_texts.h"

#include <QFileInfo>
#include <QStringList>

#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr int32_t kCopiedCalibration = 2;  // bit of the copy state
constexpr int32_t kCopiedCorrections = 4;
constexpr int32_t kPeakQuantity = 2;

}  // namespace

QString QuantityInfoText(const TVTPreset& preset, int32_t quantity) {
    if (quantity < 0 || quantity >= kPresetEntryCount) return QString();
    const TPresetMessung& entry = preset.messungen[quantity];
    const int32_t lang = language.load();
    QString text = quantity == kPeakQuantity ? MeasurePeakLabel(entry) : MeasureDurationText(entry, true, lang);
    text += kCrLf + GetLangText(163) + FixedText(entry.Rot, 1) + QStringLiteral(" dB");
    text += kCrLf + GetLangText(164) + FixedText(entry.Gelb, 1) + QStringLiteral(" dB");
    const TDaten* store = defaultDaten.load();
    if (store != nullptr && store->GetKorrTime(entry.Filter) > 0.0) {
        text += kCrLf + GetLangText(115) + FixedText(store->GetKorr(entry.Filter), 2) + QStringLiteral(" dB");
    }
    return text;
}

QString RefMicCalText(const QString& text) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return text;
    QString result = text;
    if (store->GetVMicCalDate() > 1.0) result = GetLangText(171) + DateTimeText(store->GetVMicCalDate());
    if ((store->GetCopyMode() & kCopiedCalibration) != 0) {
        result += kCrLf + GetLangText(172) + store->GetCopyKalFrom() + QLatin1Char(')');
    }
    return result;
}

QString KorrTimesText(const QString& text) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return text;
    const TFilterStatus used = store->GetFilterStatus();
    struct Weighting {
        bool used;
        int32_t filter;
        const char* name;
    };
    QStringList lines;
    for (const Weighting& w : {Weighting{used.useA, 1, " A: "}, Weighting{used.useC, 2, " C: "},
                               Weighting{used.useF, 4, " Z: "}}) {
        if (!w.used || store->GetKorrTime(w.filter) <= 1.0) continue;
        lines << GetLangText(173) + QLatin1String(w.name) + DateTimeText(store->GetKorrTime(w.filter));
    }
    QString result = text + lines.join(kCrLf);
    if ((store->GetCopyMode() & kCopiedCorrections) != 0) {
        // Windows paths in older files: the name is what follows either separator.
        const QString from = store->GetCopyKorFrom();
        const QString name = from.mid(std::max(from.lastIndexOf(QLatin1Char('/')), from.lastIndexOf(QLatin1Char('\\'))) + 1);
        result += kCrLf + GetLangText(172) + name + QLatin1Char(')');
    }
    if (lines.isEmpty()) result += kCrLf + kCrLf + GetLangText(174);
    return result;
}

QString RecordingInfoText(const QString& text) {
    if (!recRecordP) return text;
    const auto line = [](int32_t textId, int32_t seconds) {
        return kCrLf + GetLangText(textId) + QStringLiteral(": ") + QString::number(seconds) + QStringLiteral(" s");
    };
    return text + kCrLf + kCrLf + GetLangText(881) + line(883, recPre) + line(884, recPost) + line(885, recMax);
}

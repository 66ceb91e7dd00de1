// The popups of the run's information: the measurement's messages, the
// highest peak of the measurement and of the current period, and the state
// line after a change of language. GUI thread only.
#include <QCursor>

#include "audio/audio_start_stop.h"
#include "audio/value_reader.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/display_texts.h"
#include "ui_kit/info_window.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kMessageListTimeoutMs = 15000;
constexpr int32_t kPeakPopupTimeoutMs = 5000;
constexpr int32_t kPlaceRightEdge = 2;
constexpr int32_t kPlaceCentred = 1;
// Before its first peak a period reports a time in 2010 or earlier.
constexpr int kLastYearWithoutPeak = 2010;
constexpr int32_t kBlockPeakCaption = 17;
const QString kCrLf = QStringLiteral("\r\n");

void ShowPeakPopup(int32_t headerId, const QString& text) {
    const QPoint at = QCursor::pos();
    ShowInfoPopup(at.x(), at.y(), text, GetLangText(headerId), kPeakPopupTimeoutMs, QString(), -1, GetLangText(19), 0,
                  0, -1, kPlaceCentred);
}

int32_t Decimals() {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? store->GetNKS() : 1;
}

}  // namespace

void TVTProMaster::ShowMessageList() {
    const TDaten* run = messDaten.load();
    const int32_t count = run != nullptr ? run->GetSmsCount() : 0;
    if (count <= 0) return;
    QStringList lines;
    for (int32_t i = 0; i < count; ++i) {
        const TSMS message = run->GetSms(i);
        lines << DateTimeText(message.zeitpunkt) + QStringLiteral(": ") + message.meldung;
    }
    const QPoint at = pbInfoMessung_ != nullptr ? pbInfoMessung_->mapToGlobal(QPoint(0, 0)) : QPoint(-1, -1);
    ShowInfoPopup(at.x(), at.y(), lines.join(kCrLf), GetLangText(861), kMessageListTimeoutMs, QString(), -1,
                  GetLangText(19), 0, 0, -1, kPlaceRightEdge);
}

void TVTProMaster::ShowMaxPeakPopup() {
    if (!GetMessungLaeuft()) return;
    ShowPeakPopup(301, FixedText(maxPeak_, Decimals()) + QStringLiteral(" dB") + kCrLf + kCrLf + GetLangText(302) +
                           QLatin1Char(' ') + DateText(maxPeakTime_) + kCrLf + GetLangText(303) + QLatin1Char(' ') +
                           TimeText(maxPeakTime_));
}

void TVTProMaster::ShowBlockPeakPopup() {
    const TWertCreate* reader = wertCreate.load();
    if (!GetMessungLaeuft() || reader == nullptr) return;
    const bool none = platform::ToQDateTime(reader->GetCurrentBlockPeakTime()).date().year() <= kLastYearWithoutPeak;
    const QString peak = none ? QStringLiteral("---") : FixedText(reader->GetCurrentBlockPeak(), Decimals()) + QStringLiteral(" dB");
    ShowPeakPopup(304, peak + kCrLf + kCrLf + DisplayCaptionText(kBlockPeakCaption, true));
}

void TVTProMaster::ShowLanguageRunStatus() {
    UpdateSoundLabel();
    const TDaten* run = messDaten.load();
    if (GetMessungLaeuft() && run != nullptr) {
        const TWertCreate* reader = wertCreate.load();
        if (curPreset.messungen[0].Dauer <= 0 || reader == nullptr) {
            SetStatusInfo(0, GetLangText(41) + DateTimeText(run->GetStartTime()));
        } else {
            const platform::TDateTime next = reader->GetNextBlockTimeLocal();
            SetStatusInfo(0, GetLangText(61) + DateText(next) + QStringLiteral(", ") + TimeText(next));
        }
    }
    if (CalibrationServices* calibration = calibrationServices()) calibration->CheckCalStatus();
}

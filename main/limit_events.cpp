// What the main window does with the calculation's reports during a run:
// one state and one over-limit latch per quantity, the "Exceed" and "Fall
// below" events of the measurement, the running maxima the stop stores, the
// headroom test of the start and the time-server stamp. GUI thread only.
#include "audio/value_reader.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/remote_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kStateOver = 2;
constexpr int32_t kStatusMonitored = 2;
constexpr int32_t kArtEnergyAveraged = 1;

}  // namespace

void TVTProMaster::PeakState(int32_t state) {
    if (state == statusPeak_ || !GetMessungLaeuft()) return;
    if (statusPeak_ < kStateOver && state == kStateOver) PeakEvent(true);
    if (statusPeak_ >= kStateOver && state < kStateOver) PeakEvent(false);
    statusPeak_ = state;
}

void TVTProMaster::LeqState(int32_t state) {
    if (state == statusLeq_ || !GetMessungLaeuft()) return;
    LeqEvent(state == kStateOver ? 1 : 0);
    statusLeq_ = state;
}

void TVTProMaster::LeqKState(int32_t state) {
    if (state == statusLeqK_) return;
    LeqKEvent(state == kStateOver ? 1 : 0);
    statusLeqK_ = state;
}

namespace {

// One quantity's over-limit latch: "Exceed" once on the way over, "Fall
// below" once on the way back; reports in the same direction do nothing.
// Answers the event text to add, empty for none.
QString LatchEvent(bool& latch, bool over, const QString& label) {
    if (over == latch) return QString();
    latch = over;
    return GetLangText(over ? 896 : 897) + QLatin1Char(' ') + label;
}

}  // namespace

void TVTProMaster::LeqEvent(int32_t type) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    const QString text = LatchEvent(isOverLeq_, type == 1, store->GetLEQLabel(language.load()));
    if (text.isEmpty() || !GetMessungLaeuft() || !store->ForceProt(0)) return;
    // In interval mode each block's protocol tells when the Leq fell below.
    if (type == 0 && store->GetIsInterval()) return;
    AddEventMessage(text, type == 1, false);
}

void TVTProMaster::LeqKEvent(int32_t type) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    const QString text = LatchEvent(isOverLeqK_, type == 1, store->GetLEQKLabel(language.load()));
    if (text.isEmpty() || !GetMessungLaeuft() || !store->ForceProt(1)) return;
    AddEventMessage(text, type == 1, false);
}

void TVTProMaster::PeakEvent(bool over) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr || !store->ForceProt(2)) return;
    const QString text = LatchEvent(isOverPeak_, over, store->GetPeakLabel());
    if (!text.isEmpty()) AddEventMessage(text, over, false);
}

void TVTProMaster::TakeMaxPeak() {
    const TWertCreate* reader = wertCreate.load();
    if (!GetMessungLaeuft() || reader == nullptr) return;
    maxPeak_ = reader->GetMaxPeak();
    maxPeakTime_ = reader->GetMaxPeakTime();
}

void TVTProMaster::TakeMaxLeq() {
    const TWertCreate* reader = wertCreate.load();
    if (!GetMessungLaeuft() || reader == nullptr) return;
    dispMaxLeqTime.store(reader->GetMaxLeqTime());
    dispMaxLeq.store(reader->GetMaxLeq());
    dispMaxLeqKTime.store(reader->GetMaxLeqKTime());
    dispMaxLeqK.store(reader->GetMaxLeqK());
}

int32_t TVTProMaster::FindLimitAboveHeadroom() {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return -1;
    for (int32_t quantity = 0; quantity < kPresetEntryCount; ++quantity) {
        const auto& entry = curPreset.messungen[quantity];
        if (entry.Status != kStatusMonitored || entry.ART != kArtEnergyAveraged) continue;
        if (store->GetRealLimit(quantity) > GetKorr(quantity)) return quantity;
    }
    return -1;
}

void TVTProMaster::AddTimeServerStamp() {
    TDaten* run = messDaten.load();
    if (run == nullptr) return;
    RemoteServices* remote = remoteServices();
    const QString host = remote != nullptr ? remote->TimeServerHost() : settings_.tsHost;
    const platform::TDateTime serverTime = remote != nullptr ? remote->TimeServerTime() : 0.0;
    if (serverTime > 0.0) {
        run->AddSms(GetLangText(1202).replace(QStringLiteral("%s"), host) + QLatin1Char(' ') + TimeText(serverTime));
    } else {
        run->AddSms(GetLangText(1201).replace(QStringLiteral("%s"), host));
    }
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
}

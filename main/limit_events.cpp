// What the main window does with the calculation's reports during a run:
// one state and one over-limit latch per quantity, the "Exceed" and "Fall
// below" events of the measurement with their recordings, the MIDI status
// notes and controllers, the running maxima the stop stores and their text,
// the bring-to-front check, the headroom test of the start and the
// time-server stamp. GUI thread only.
#include <cmath>
#include <limits>

#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/services/time_server_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kStateOver = 2;
constexpr int32_t kStatusMonitored = 2;
constexpr int32_t kArtEnergyAveraged = 1;
constexpr int32_t kLeqFirstOverLimit = 2;
constexpr int32_t kMidiMaxLeqSlot = 3;
constexpr int32_t kMidiMaxPeakSlot = 4;

}  // namespace

void TVTProMaster::PeakState(int32_t state) {
    if (state == statusPeak_ || !GetMessungLaeuft()) return;
    if (MidiServices* midi = MidiObject()) midi->SendPeakStatus(state);
    if (statusPeak_ < kStateOver && state == kStateOver) PeakEvent(true);
    if (statusPeak_ >= kStateOver && state < kStateOver) PeakEvent(false);
    statusPeak_ = state;
}

void TVTProMaster::LeqState(int32_t state) {
    if (state == statusLeq_ || !GetMessungLaeuft()) return;
    LeqEvent(state == kStateOver ? 1 : 0);
    statusLeq_ = state;
    if (MidiServices* midi = MidiObject()) midi->SendLeqStatus(state);
}

void TVTProMaster::LeqKState(int32_t state) {
    if (state == statusLeqK_) return;
    LeqKEvent(state == kStateOver ? 1 : 0);
    if (MidiServices* midi = MidiObject()) midi->SendLeqKStatus(state);
    statusLeqK_ = state;
}

void TVTProMaster::LeqEvent(int32_t type) {
    if (type < 0 || type > kLeqFirstOverLimit) return;
    if (type == kLeqFirstOverLimit) {
        LeqFirstOverLimit();
        return;
    }
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    // In interval mode each block's protocol tells when the Leq fell below.
    LimitEvent(isOverLeq_, type == 1, 0, store->GetLEQLabel(language.load()), type == 1 || !store->GetIsInterval());
}

void TVTProMaster::LeqKEvent(int32_t type) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    LimitEvent(isOverLeqK_, type == 1, 1, store->GetLEQKLabel(language.load()), true);
}

void TVTProMaster::PeakEvent(bool over) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr || !store->ForceProt(2)) return;
    LimitEvent(isOverPeak_, over, 2, store->GetPeakLabel(), true);
}

// One quantity's over-limit latch: "Exceed" once on the way over, "Fall
// below" once on the way back; reports in the same direction do nothing. A
// way back extends a running recording even when it writes no line.
void TVTProMaster::LimitEvent(bool& latch, bool over, int32_t quantity, const QString& label, bool writeLine) {
    if (over == latch) return;
    latch = over;
    if (!over) ExtendRecording();
    const TDaten* store = defaultDaten.load();
    if (!writeLine || !GetMessungLaeuft() || store == nullptr || !store->ForceProt(quantity)) return;
    AddEventMessage(GetLangText(over ? 896 : 897) + QLatin1Char(' ') + label, over, false);
    if (over && recRecordP) StartRecording();
}

void TVTProMaster::LeqFirstOverLimit() {
    const TWertCreate* reader = wertCreate.load();
    const TDaten* store = defaultDaten.load();
    const TDaten* run = messDaten.load();
    if (!GetMessungLaeuft() || reader == nullptr || store == nullptr) return;
    if (!store->GetIsInterval()) {
        TakeLeqMaxima(*reader);
        PostMainNotify(kNotifyMaxText, 0);
        return;
    }
    const TCalcer* calculation = calcer.load();
    if (run == nullptr || calculation == nullptr) return;
    memoLines_ << store->GetLEQLabel(language.load()) + QStringLiteral(" > ") + QString::number(run->GetMaxLEQ()) +
                      QStringLiteral(" dB ") + GetLangText(575) + QLatin1Char(' ') +
                      DateTimeText(calculation->GetLeqHighTime());
    if (pbRunten_) pbRunten_->Invalidate();
}

void TVTProMaster::TakeMaxPeak() {
    const TWertCreate* reader = wertCreate.load();
    if (!GetMessungLaeuft() || reader == nullptr) return;
    maxPeak_ = reader->GetMaxPeak();
    maxPeakTime_ = reader->GetMaxPeakTime();
    if (MidiServices* midi = MidiObject()) midi->SendCC(kMidiMaxPeakSlot, static_cast<int32_t>(std::lround(maxPeak_)));
}

void TVTProMaster::TakeLeqMaxima(const TWertCreate& reader) {
    dispMaxLeqTime.store(reader.GetMaxLeqTime());
    dispMaxLeq.store(reader.GetMaxLeq());
    dispMaxLeqKTime.store(reader.GetMaxLeqKTime());
    dispMaxLeqK.store(reader.GetMaxLeqK());
}

void TVTProMaster::TakeMaxLeq() {
    const TWertCreate* reader = wertCreate.load();
    if (!GetMessungLaeuft() || reader == nullptr) return;
    TakeLeqMaxima(*reader);
    PostMainNotify(kNotifyMaxText, 0);
    if (MidiServices* midi = MidiObject()) {
        midi->SendCC(kMidiMaxLeqSlot, static_cast<int32_t>(std::lround(dispMaxLeq.load())));
    }
}

void TVTProMaster::ShowMaxText() {
    const TWertCreate* reader = wertCreate.load();
    if (reader == nullptr) return;
    const TDaten* store = defaultDaten.load();
    const TDaten* run = messDaten.load();
    if (GetMessungLaeuft() && store != nullptr && run != nullptr && !store->GetIsInterval()) {
        const int32_t decimals = store->GetNKS();
        const int32_t lang = language.load();
        memoLines_.clear();
        memoLines_ << GetLangText(425) + QStringLiteral(": ") + DateTimeText(store->GetStartTime());
        memoLines_ << QString();
        const auto maximumLine = [&](int32_t quantity, const QString& label, double level, double at) {
            if (curPreset.messungen[quantity].Status <= 0) return;
            memoLines_ << label + GetLangText(117) + FixedText(level, decimals) + QStringLiteral(" dB ") + DateTimeText(at);
        };
        maximumLine(0, run->GetLEQLabel(lang), reader->GetMaxLeq(), reader->GetMaxLeqTime());
        maximumLine(1, run->GetLEQKLabel(lang), reader->GetMaxLeqK(), reader->GetMaxLeqKTime());
        maximumLine(2, run->GetPeakLabel(), reader->GetMaxPeak(), reader->GetMaxPeakTime());
    }
    if (pbRunten_) pbRunten_->Invalidate();
}

void TVTProMaster::CheckAutoFront(double headroom, int32_t quantity) {
    if (quantity < 0 || quantity >= kPresetEntryCount) return;
    if (curPreset.messungen[quantity].Status != kStatusMonitored) return;
    const int32_t bit = 1 << quantity;
    if (GetMessungLaeuft() && settings_.aeLimit > headroom) {
        // Once when the first level comes close; again only after every
        // latched level has left the zone.
        if (limitOverLatch_ == 0) {
            PostMainNotify(kNotifyBringToFront, 0);
            limitOverLatch_ |= bit;
        }
    } else {
        limitOverLatch_ &= ~bit;
    }
}

void TVTProMaster::CheckAllAutoFront() {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    CheckAutoFront(store->GetRealLimit(0) - dispLeq.load(), 0);
    CheckAutoFront(store->GetRealLimit(1) - workers_->checkLeqK.load(), 1);
    // The peak is fetched as an amplitude; no amplitude is no level near a limit.
    const double amplitude = peakAmp.load();
    if (amplitude > 0.0) CheckAutoFront(store->GetRealLimit(2) - (GetKorr(2) + 20.0 * std::log10(amplitude)), 2);
    else CheckAutoFront(std::numeric_limits<double>::infinity(), 2);
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
    TimeServerServices* timeServer = timeServerServices();
    const QString host = timeServer != nullptr ? timeServer->TimeServerHost() : settings_.tsHost;
    const platform::TDateTime serverTime = timeServer != nullptr ? timeServer->TimeServerTime() : 0.0;
    if (serverTime > 0.0) {
        run->AddSms(GetLangText(1202).replace(QStringLiteral("%s"), host) + QLatin1Char(' ') + TimeText(serverTime));
    } else {
        run->AddSms(GetLangText(1201).replace(QStringLiteral("%s"), host));
    }
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
}

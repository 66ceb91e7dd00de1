// Storing a running measurement: the calculation thread never touches the
// stores; it posts the id of each closed save record (47) and each closed
// Leq block (49), and the handlers here copy them from the value reader into
// the measurement store and the display copy, account the clips the VU meter
// counted, and keep the crash backups up to date (258). GUI thread only;
// nothing is stored unless the running flag is set.
#include <QStringList>

#include "audio/value_reader.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {


bool IsEmptyRecord(const TSaveIT6& record) { return record.leq <= -1.0; }

constexpr double kSecondsPerDay = 86400.0;

}  // namespace

void TVTProMaster::StoreNewValues(int32_t id) {
    if (lastStoredValue_ >= id) return;
    if (!GetMessungLaeuft() || messDaten.load() == nullptr || wertCreate.load() == nullptr) return;
    StoreRecordsUpTo(id);
    PostMainNotify(kNotifyPeriodicBackup, 0);
    StoreDisplayRecord(id);
}

// Every record after the last stored one up to id, in order, each with the
// clips counted since the one before.
void TVTProMaster::StoreRecordsUpTo(int32_t id) {
    if (id <= lastStoredValue_ || messDaten.load() == nullptr || wertCreate.load() == nullptr) return;
    int32_t lost = 0;
    for (int32_t i = lastStoredValue_ + 1; i <= id; ++i) {
        // The calculation counts its records from 1; id 0 never exists.
        if (!StoreSaveRecord(i) && i > 0) ++lost;
    }
    lastStoredValue_ = id;
    // Records that left the ring of 20 before the GUI thread came to them
    // leave a gap in the ids; the protocol must say so.
    if (lost > 0) {
        AddEventMessage(QStringLiteral("%1 stored values lost: the program was blocked too long").arg(lost), false,
                        false);
    }
}

int32_t TVTProMaster::NewestRecordId() const {
    const TWertCreate* reader = wertCreate.load();
    return reader != nullptr ? reader->GetSaveData(-1).id : -1;
}

bool TVTProMaster::StoreSaveRecord(int32_t id) {
    TSaveIT6 record = wertCreate.load()->GetSaveData(id);
    if (IsEmptyRecord(record)) return false;
    record.clipCount = TakeNewClips(werteClipLatch_);
    messDaten.load()->AddWert(record);
    return true;
}

void TVTProMaster::StoreDisplayRecord(int32_t id) {
    TDaten* display = fields_.AnzeigeDaten.load();
    if (display == nullptr) return;
    const TSaveIT6 record = wertCreate.load()->GetSaveData(id);
    if (IsEmptyRecord(record)) return;
    display->AddWert(record);
    PostMainNotify(kNotifyGraphRedraw, 0);
}

// The clips counted since latch was taken; the latch moves on to now.
int32_t TVTProMaster::TakeNewClips(int32_t& latch) {
    const int32_t now = clipCounter.load();
    const int32_t fresh = now - latch;
    latch = now;
    return fresh;
}

void TVTProMaster::BlockClosed(int32_t blockNumber) {
    if (blockNumber != 0 && GetMessungLaeuft()) StoreBlock();
    ShowNextPeriod();
}

void TVTProMaster::StoreBlock() {
    int32_t index = -1;
    {
        std::lock_guard lock(workers_->StartStopLock());
        TWertCreate* reader = wertCreate.load();
        if (reader == nullptr) return;
        TBlockDaten8 block = reader->GetBlockData();
        block.clipCount = TakeNewClips(blockClipLatch_);
        if (TDaten* run = messDaten.load()) index = run->AddBlock(block);
        if (TDaten* display = fields_.AnzeigeDaten.load()) display->AddBlock(block);
        if (pbInfoMessung_) pbInfoMessung_->Invalidate();
    }
    ShowBlockStatus(index);
}

void TVTProMaster::ShowBlockStatus(int32_t index) {
    const TDaten* store = defaultDaten.load();
    const TDaten* run = messDaten.load();
    if (store != nullptr && run != nullptr) {
        QString status = GetLangText(store->GetIsInterval() ? 73 : 75) + DateTimeText(run->GetStartTime());
        if (store->GetIsInterval() && index >= 0 && index < run->GetNumBlocks()) {
            TBlockDaten8 block{};
            run->GetBlock(index, block);
            status += GetLangText(74) + DateTimeText(block.next);
        }
        SetStatusInfo(0, status);
    }
    if (index >= 0) PostMainNotify(kNotifyBlockProtocol, index);
}

void TVTProMaster::ShowNextPeriod() {
    TWertCreate* reader = wertCreate.load();
    if (GetMessungLaeuft() && reader != nullptr) {
        const platform::TDateTime next = reader->GetNextBlockTimeLocal();
        SetStatusInfo(0, GetLangText(61) + DateText(next) + QLatin1Char(' ') + TimeText(next));
    } else {
        SetStatusInfo(0, GetLangText(101));
    }
}

void TVTProMaster::PeriodicBackup() {
    TDaten* run = messDaten.load();
    if (!GetMessungLaeuft() || run == nullptr) return;
    const platform::TDateTime now = CorrectedNow();
    const double seconds = (now - fields_.lastBackup.load()) * kSecondsPerDay;
    const bool withValues = static_cast<int64_t>(seconds) > GetSaveIntervalSec();
    if (withValues) fields_.lastBackup.store(now);
    run->SetLEQ120(dispLeq120.load());
    run->SetLeqFull(dispLeqFull.load());
    run->SecSave(withValues);
    // A failed backup is tried again with the next record; the operator
    // hears of it once per run, not every second.
    if (!run->LastBackupFailed() || backupFailureReported_) return;
    backupFailureReported_ = true;
    AddEventMessage(QStringLiteral("The crash backup could not be written in %1").arg(fields_.basisPfad), true, false);
}

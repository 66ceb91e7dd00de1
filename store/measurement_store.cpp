#include "store/measurement_store.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "store/own_copies.h"
#include "ui_kit/services/clock.h"

namespace {

constexpr double kValueContinuationBelow = 2.0;  // dB; a lower level counts as missing
constexpr int64_t kRepeatWindowMs = 2000;

// Letters A-Z compared without case, everything else exactly.
bool SameTextAsciiNoCase(const QString& a, const QString& b) {
    if (a.size() != b.size()) {
        return false;
    }
    auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c; };
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (fold(a.at(i).unicode()) != fold(b.at(i).unicode())) {
            return false;
        }
    }
    return true;
}

bool WithinRepeatWindow(double a, double b) {
    const double ms = std::fabs(a - b) * static_cast<double>(platform::kMsPerDay);
    return ms < static_cast<double>(kRepeatWindowMs);
}

template <typename T>
void GuardListGrowth(const std::vector<T>& list) {
    if (list.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        throw std::overflow_error("measurement store: list count would pass the 32-bit range");
    }
}

TSaveIT6 MissingWert() {
    TSaveIT6 marker;
    marker.id = -1;
    marker.TimeStamp = -1.0;
    return marker;
}

}  // namespace

TDaten::TDaten() {
    InitValues();
}

TDaten::TDaten(const TsaveItHeader13& Header) : TDaten() {
    TsaveItHeader13 own = OwnCopy(Header);
    platform::WriteGuard guard(DataSync);
    DatenLatch = std::move(own);
    ClearContentLocked();
    BUP.clear();
    status = kStoreHeaderOnly;
}

TDaten::~TDaten() = default;

void TDaten::ClearContentLocked() {
    aW6.clear();
    aB8.clear();
    aSms.clear();
    DatenLatch.theData.NumWerte = 0;
    DatenLatch.theData.NumBlock = 0;
    DatenLatch.theData.NumSMS = 0;
}

// ---------------------------------------------------------------------------
// Whole store
// ---------------------------------------------------------------------------

bool TDaten::Loaded() const {
    platform::ReadGuard guard(DataSync);
    return status == kStoreComplete;
}

bool TDaten::IsCurrentVersion() const {
    return WithShared([](const TSaveData13& d) { return d.Version == kCurrentHeaderVersion; });
}

TsaveItHeader13 TDaten::GetHeader() const {
    platform::ReadGuard guard(DataSync);
    return OwnCopy(DatenLatch);
}

void TDaten::SetDaten(const TDaten& Daten) {
    TsaveItHeader13 copy = Daten.GetHeader();
    platform::WriteGuard guard(DataSync);
    DatenLatch = std::move(copy);
    ValidateHeaderLocked();
}

void TDaten::CopyTo(TDaten& Target) const {
    TsaveItHeader13 header;
    std::vector<TSaveIT6> values;
    std::vector<TBlockDaten8> blocks;
    std::vector<TSMS> messages;
    {
        platform::ReadGuard guard(DataSync);
        header = OwnCopy(DatenLatch);
        values = aW6;
        blocks.reserve(aB8.size());
        for (const TBlockDaten8& block : aB8) {
            blocks.push_back(OwnCopy(block));
        }
        messages.reserve(aSms.size());
        for (const TSMS& message : aSms) {
            messages.push_back(OwnCopy(message));
        }
    }

    platform::WriteGuard guard(Target.DataSync);
    Target.DatenLatch = std::move(header);
    Target.aW6.clear();
    Target.aB8.clear();
    Target.DatenLatch.theData.NumWerte = 0;
    Target.DatenLatch.theData.NumBlock = 0;
    // The appends rebuild the counts and refuse what an append would refuse.
    for (const TSaveIT6& value : values) {
        Target.AppendWertLocked(value);
    }
    for (const TBlockDaten8& block : blocks) {
        Target.AppendBlockLocked(block);
    }
    Target.aSms = std::move(messages);
    Target.DatenLatch.theData.NumSMS = static_cast<int32_t>(Target.aSms.size());
    Target.status = kStoreComplete;
}

// ---------------------------------------------------------------------------
// Stored values
// ---------------------------------------------------------------------------

// The count follows the list, so a stale count (after a header-only load)
// never makes an append invent empty records.
int32_t TDaten::AppendWertLocked(const TSaveIT6& Wert) {
    if (Wert.id < 0) {
        return -1;
    }
    GuardListGrowth(aW6);
    aW6.push_back(Wert);
    const int32_t index = static_cast<int32_t>(aW6.size() - 1);
    DatenLatch.theData.NumWerte = index + 1;

    const bool continues = (DatenLatch.theData.statusInfo & 2) != 0;
    if (continues && index > 0) {
        const TSaveIT6 previous = aW6[index - 1];
        TSaveIT6& added = aW6[index];
        if (added.leq < kValueContinuationBelow) {
            added.leq = previous.leq;
        }
        if (added.LeqK < kValueContinuationBelow) {
            added.LeqK = previous.LeqK;
        }
        if (added.Peak < kValueContinuationBelow) {
            added.Peak = previous.Peak;
        }
    }
    saveDaten = true;
    return index;
}

int32_t TDaten::AddWert(const TSaveIT6& Wert) {
    if (Wert.id < 0) {
        return -1;
    }
    platform::WriteGuard guard(DataSync);
    return AppendWertLocked(Wert);
}

TSaveIT6 TDaten::WertLocked(int32_t id) const {
    if (id < 0 || static_cast<size_t>(id) >= aW6.size()) {
        return MissingWert();
    }
    return aW6[static_cast<size_t>(id)];
}

TSaveIT6 TDaten::GetWert(int32_t id) const {
    platform::ReadGuard guard(DataSync);
    return WertLocked(id);
}

int32_t TDaten::GetWerteAnzahl() const {
    return WithShared([](const TSaveData13& d) { return d.NumWerte; });
}

std::vector<TSaveIT6> TDaten::GetWerte() const {
    platform::ReadGuard guard(DataSync);
    return aW6;
}

void TDaten::ClearWerte() {
    platform::WriteGuard guard(DataSync);
    aW6.clear();
    DatenLatch.theData.NumWerte = 0;
}

int32_t TDaten::GetClipCount() const {
    platform::ReadGuard guard(DataSync);
    int64_t sum = 0;
    for (const TSaveIT6& value : aW6) {
        sum += value.clipCount;
    }
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum > kMax ? kMax : (sum < kMin ? kMin : sum));
}

// ---------------------------------------------------------------------------
// Closed blocks
// ---------------------------------------------------------------------------

int32_t TDaten::AppendBlockLocked(const TBlockDaten8& Daten) {
    if (Daten.id < 0) {
        return -1;
    }
    GuardListGrowth(aB8);
    aB8.push_back(OwnCopy(Daten));
    const int32_t index = static_cast<int32_t>(aB8.size() - 1);
    DatenLatch.theData.NumBlock = index + 1;
    saveDaten = true;
    return index;
}

int32_t TDaten::AddBlock(const TBlockDaten8& Daten) {
    if (Daten.id < 0) {
        return -1;
    }
    platform::WriteGuard guard(DataSync);
    return AppendBlockLocked(Daten);
}

void TDaten::GetBlock(int32_t id, TBlockDaten8& Daten) const {
    platform::ReadGuard guard(DataSync);
    if (id < 0 || static_cast<size_t>(id) >= aB8.size()) {
        return;
    }
    Daten = OwnCopy(aB8[static_cast<size_t>(id)]);
}

int32_t TDaten::GetNumBlocks() const {
    return WithShared([](const TSaveData13& d) { return d.NumBlock; });
}

void TDaten::ClearBlock() {
    platform::WriteGuard guard(DataSync);
    aB8.clear();
    DatenLatch.theData.NumBlock = 0;
}

// ---------------------------------------------------------------------------
// Timed messages
// ---------------------------------------------------------------------------

// The repeat test and the append run under one hold, so two threads adding
// the same event at once store it once.
void TDaten::AddSms(const QString& newText) {
    const platform::TDateTime now = CorrectedNow();
    QString text = OwnCopy(newText);
    platform::WriteGuard guard(DataSync);
    if (!aSms.empty()) {
        const TSMS& last = aSms.back();
        if (WithinRepeatWindow(last.zeitpunkt, now) && SameTextAsciiNoCase(last.meldung, newText)) {
            return;
        }
    }
    GuardListGrowth(aSms);
    aSms.push_back(TSMS{now, std::move(text)});
    DatenLatch.theData.NumSMS = static_cast<int32_t>(aSms.size());
}

TSMS TDaten::GetSms(int32_t id) const {
    {
        platform::ReadGuard guard(DataSync);
        if (id >= 0 && static_cast<size_t>(id) < aSms.size()) {
            return OwnCopy(aSms[static_cast<size_t>(id)]);
        }
    }
    return TSMS{CorrectedNow(), QStringLiteral("Invalid Id: ") + QString::number(id)};
}

int32_t TDaten::GetSmsCount() const {
    return WithShared([](const TSaveData13& d) { return d.NumSMS; });
}

void TDaten::ClearSms() {
    platform::WriteGuard guard(DataSync);
    aSms.clear();
    DatenLatch.theData.NumSMS = 0;
}

TMaxInfo TDaten::GetMaxData() const {
    return WithShared([](const TSaveData13& d) {
        TMaxInfo info;
        info.maxLeqVal = d.LEQMaxVal;
        info.maxLeqKVal = d.LEQKMaxVal;
        info.maxPeakVal = d.PEAKMaxVal;
        info.maxLeqTime = d.LEQMaxTime;
        info.maxLeqKTime = d.LEQKMaxTime;
        info.maxPeakTime = d.PEAKMaxTime;
        return info;
    });
}

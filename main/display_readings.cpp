#include "main/display_readings.h"

#include "audio/value_reader.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"

#include <utility>
#include "ui_kit/shared_state.h"

namespace {

// The value of getter on the current reader, or fallback without one.
template <class Getter>
auto FromReader(Getter getter, decltype(getter(std::declval<const TWertCreate&>())) fallback) {
    const TWertCreate* reader = wertCreate.load();
    return reader != nullptr ? getter(*reader) : fallback;
}

template <class Getter>
auto FromStore(Getter getter, decltype(getter(std::declval<const TDaten&>())) fallback) {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? getter(*store) : fallback;
}

}  // namespace

// The texts need the store's limits as much as the reader's levels.
bool TEngineDisplayReadings::HasReader() const { return wertCreate.load() != nullptr && defaultDaten.load() != nullptr; }

double TEngineDisplayReadings::ErwartungLeq() const {
    return FromReader([](const TWertCreate& r) { return r.GetErwartungLeq(); }, 0.0);
}
double TEngineDisplayReadings::ErwartungLeqK() const {
    return FromReader([](const TWertCreate& r) { return r.GetErwartungLeqK(); }, 0.0);
}
double TEngineDisplayReadings::CurrentBlockPeak() const {
    return FromReader([](const TWertCreate& r) { return r.GetCurrentBlockPeak(); }, 0.0);
}
platform::TDateTime TEngineDisplayReadings::CurrentBlockPeakTime() const {
    return FromReader([](const TWertCreate& r) { return r.GetCurrentBlockPeakTime(); }, -1.0);
}
double TEngineDisplayReadings::MaxPeak() const {
    return FromReader([](const TWertCreate& r) { return r.GetMaxPeak(); }, 0.0);
}
platform::TDateTime TEngineDisplayReadings::MaxPeakTime() const {
    return FromReader([](const TWertCreate& r) { return r.GetMaxPeakTime(); }, 0.0);
}
void TEngineDisplayReadings::RMS(double& slow, double& fast) const {
    slow = fast = 0.0;
    if (const TWertCreate* reader = wertCreate.load()) reader->GetRMS(slow, fast);
}
void TEngineDisplayReadings::RMSP(double& slow, double& fast) const {
    slow = fast = 0.0;
    if (const TWertCreate* reader = wertCreate.load()) reader->GetRMSP(slow, fast);
}
double TEngineDisplayReadings::RMSPeak() const {
    return FromReader([](const TWertCreate& r) { return r.GetRMSPeak(); }, 0.0);
}
double TEngineDisplayReadings::RMSPeakP() const {
    return FromReader([](const TWertCreate& r) { return r.GetRMSPeakP(); }, 0.0);
}

int32_t TEngineDisplayReadings::Decimals() const {
    return FromStore([](const TDaten& s) { return s.GetNKS(); }, 1);
}
double TEngineDisplayReadings::RealWarn(int32_t q) const {
    return FromStore([q](const TDaten& s) { return s.GetRealWarn(q); }, -1.0);
}
double TEngineDisplayReadings::RealLimit(int32_t q) const {
    return FromStore([q](const TDaten& s) { return s.GetRealLimit(q); }, -1.0);
}
int32_t TEngineDisplayReadings::WarnLeq() const {
    return FromStore([](const TDaten& s) { return s.GetWarnLEQ(); }, 0);
}
int32_t TEngineDisplayReadings::LeqDuration() const {
    return FromStore([](const TDaten& s) { return s.GetLEQDauer(); }, 1800);
}
bool TEngineDisplayReadings::IsInterval() const {
    return FromStore([](const TDaten& s) { return s.GetIsInterval(); }, false);
}

TMeasureEntry TEngineDisplayReadings::PresetEntry(int32_t entry) const {
    if (entry < 0 || entry >= kPresetEntryCount) return TMeasureEntry{};
    return curPreset.messungen[entry];
}

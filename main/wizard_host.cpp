// The level getters the wizards sample. The peaks and the short-term Leq are
// the values the main window's update last fetched (under the start/stop
// lock); the energies and slow RMS come straight from the value reader, which
// guards itself, and read 0 while no calculation runs.
#include "main/wizard_host.h"

#include <algorithm>
#include <mutex>

#include "audio/value_reader.h"
#include "main/main_window.h"
#include "main/worker_threads.h"
#include "remote/ip_handling.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

double TMainWizardHost::GetCPeak() { return window_.GetCPeak(); }

double TMainWizardHost::GetCPeakV() {
    std::lock_guard guard(window_.Workers().StartStopLock());
    return peakAmp2.load();
}

double TMainWizardHost::GetLEQ10() {
    std::lock_guard guard(window_.Workers().StartStopLock());
    return dispLeqK.load();
}

double TMainWizardHost::GetLEQ10V() { return GetLEQCal(true); }

double TMainWizardHost::GetLEQCal(bool isSecondChannel) {
    const TWertCreate* reader = wertCreate.load();
    if (reader == nullptr) return 0.0;
    return isSecondChannel ? reader->GetCalLeqK2() : reader->GetCalLeqK1();
}

double TMainWizardHost::GetRMSSlow(bool isSecondChannel) {
    const TWertCreate* reader = wertCreate.load();
    return reader != nullptr ? reader->GetRmsSlow(isSecondChannel) : 0.0;
}

double TMainWizardHost::GetCRef() { return std::max(appliedCalOffset[kPresetEntryPeak].load(), 0.0); }

double TMainWizardHost::GetKalDiv() {
    const TDaten* store = defaultDaten.load();
    return store != nullptr ? store->GetVMicCalVal() - store->GetCalVal() : 0.0;
}

double TMainWizardHost::MaxPresetLimit() {
    double largest = curPreset.messungen[0].Rot;
    for (const auto& entry : curPreset.messungen) largest = std::max(largest, entry.Rot);
    return largest;
}

int32_t TMainWizardHost::ActiveAddressCount() {
    const TIpHandling* addresses = ipHandling.load();
    return addresses != nullptr ? addresses->GetNumActive() : 0;
}

int32_t TMainWizardHost::Ipv4AddressCount() {
    const TIpHandling* addresses = ipHandling.load();
    return addresses != nullptr ? addresses->GetNumIps() : 0;
}

bool TMainWizardHost::MainIsReady() { return mainReady.load(); }

void TMainWizardHost::PostToMain(int32_t code, int64_t argument) {
    platform::PostMessage(window_.Handle(), WM_MAIN_NOTIFY, static_cast<uintptr_t>(code),
                          static_cast<intptr_t>(argument));
}

void TMainWizardHost::SendToMain(int32_t code, int64_t argument) {
    platform::SendMessage(window_.Handle(), WM_MAIN_NOTIFY, static_cast<uintptr_t>(code),
                          static_cast<intptr_t>(argument));
}

// Made when a wizard first needs it, unless a test set its own before.
WizardHost& TVTProMaster::WizardHostInUse() {
    if (!wizardHost_) wizardHost_ = std::make_unique<TMainWizardHost>(*this);
    return *wizardHost_;
}

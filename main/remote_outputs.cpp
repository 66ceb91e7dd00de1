// The main window's remote outputs: the DMX data with the Art-Net output
// that shows the limit state on the lights, and the time-server client whose
// offset every time stamp carries.
#include "main/main_window.h"
#include "main/worker_threads.h"
#include "audio/clock_thread.h"
#include "platform/registry.h"
#include "remote/art_net_drive.h"
#include "remote/dmx_data.h"
#include "remote/time_server_client.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

// The DMX data comes first of all objects: the settings load and the
// dialogs edit it from the start.
void TVTProMaster::CreateRemoteOutputs() {
    dmxData.store(new TDMXData());
    artNet_ = std::make_unique<TArtNetDrive>();
    TTimeServerClient::Hooks hooks;
    hooks.syncClockThread = [this] {
        if (workers_ && workers_->ClockThread()) workers_->ClockThread()->SyncNew();
    };
    hooks.repaintInfo = [this] {
        if (pbInfoMessung_) pbInfoMessung_->Invalidate();
    };
    timeServer_ = std::make_unique<TTimeServerClient>(std::move(hooks));
    RegisterTimeServerServices(timeServer_.get());
}

void TVTProMaster::RegisterRemoteNotifications() {
    dispatch_.Add(kNotifyArtNetSwitch, [this](int32_t argument) { artNet_->SwitchArtNet(argument); });
    dispatch_.Add(kNotifyArtNetSetup, [this](int32_t mode) { artNet_->SetArtNetSetupMode(mode); });
}

// The DMX values are read with the other settings; then the time server and
// the Art-Net output follow what was read.
void TVTProMaster::LoadRemoteSettings() {
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey)) dmxData.load()->LoadFromReg(&reg);
    timeServer_->SetHost(settings_.tsHost);
    SyncWebTime();
    if (dmxData.load()->GetUseIt())
        artNet_->StartArtNet();
    else
        artNet_->StopArtNet();
}

bool TVTProMaster::SaveRemoteSettings() {
    TDMXData* dmx = dmxData.load();
    if (dmx == nullptr) return true;
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    dmx->SaveToReg(&reg);
    return reg.CloseKey();
}

// The lights go dark and no stamp asks the server once the window goes.
void TVTProMaster::StopRemoteOutputs() {
    if (artNet_) artNet_->StopArtNet();
    RegisterTimeServerServices(nullptr);
}

void TVTProMaster::DestroyRemoteOutputs() {
    artNet_.reset();
    timeServer_.reset();
    delete dmxData.exchange(nullptr);
}

void TVTProMaster::SyncWebTime() {
    if (timeServer_) timeServer_->SyncWebTime(settings_.syncWebTime);
}

platform::TDateTime TVTProMaster::CheckTsHost(const QString& host) {
    return timeServer_ ? timeServer_->CheckTsHost(host) : 0;
}

int32_t TVTProMaster::GetLimitState(int32_t quantity) {
    switch (quantity) {
    case kLimitQuantityLeq: return statusLeq_;
    case kLimitQuantityLeqK: return statusLeqK_;
    case kLimitQuantityPeak: return statusPeak_;
    default: return -1;
    }
}

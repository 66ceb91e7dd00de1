// Reading the program settings at their moments of the start and writing
// them after settings dialogs and at exit.
#include <QMenuBar>

#include "main/graph_view.h"
#include "main/main_window.h"
#include "main/web_display.h"
#include "remote/ip_handling.h"
#include "platform/registry.h"
#include "store/measurement_store.h"
#include "platform/user_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/system_services.h"
#include "ui_kit/text_table.h"

namespace {

// Reads one group from the program key; a missing key leaves the defaults.
void ReadSettingsGroup(const std::vector<SettingBinding>& table, SettingGroup group) {
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey)) ReadGroup(table, group, reg);
}

bool WriteSettingsGroup(const std::vector<SettingBinding>& table, SettingWriter writer) {
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    const bool written = WriteValues(table, writer, reg);
    return reg.CloseKey() && written;
}

}  // namespace

void TVTProMaster::LoadOptions() {
    ReadSettingsGroup(settingsTable_, SettingGroup::Options);
}

void TVTProMaster::LoadSettings() {
    SetClockOffset(0);
    SetGroupDefaults(settingsTable_, SettingGroup::Settings);
    ReadSettingsGroup(settingsTable_, SettingGroup::Settings);
    if (webDisplay_) webDisplay_->IpHandling().SetUseState(static_cast<uint32_t>(settings_.useIps));
    ApplyRunSettings();
    LoadRemoteSettings();
}

bool TVTProMaster::LoadDeviceSettings() {
    SetGroupDefaults(settingsTable_, SettingGroup::Device);
    ReadSettingsGroup(settingsTable_, SettingGroup::Device);
    FinishDeviceRead(settings_, fields_);
    if (graphView_) graphView_->ApplySettings();
    menuBar()->setVisible(settings_.showMenu);
    ApplyFullSizeMode(this, settings_.isMaxi);
    platform::SendMessage(handle_, WM_MAIN_NOTIFY, kNotifyInputAssign, settings_.storedInputAssign);
    return settings_.laeuft;
}

bool TVTProMaster::SaveSettings() {
    if (webDisplay_) settings_.useIps = static_cast<int32_t>(webDisplay_->IpHandling().GetUseState());
    const bool written = WriteSettingsGroup(settingsTable_, SettingWriter::Settings);
    return SaveRemoteSettings() && written;
}

bool TVTProMaster::SaveSettingsOnExit() {
    const QRect normal = normalGeometry();
    if (normal.isValid()) settings_.normalRect = normal;
    settings_.showCmd = isMaximized() ? 3 : 1;
    settings_.isMaxi = IsFullSize(this);
    if (graphView_) graphView_->StoreSettings();
    return WriteSettingsGroup(settingsTable_, SettingWriter::AtExit);
}

void TVTProMaster::ResetAllSettings() {
    const QString question = GetLangText(853) + QStringLiteral("\r\n\r\n") + GetLangText(854);
    if (AskMessage(question, 0, 852, 1122, 0, 403) != platform::kMessageLeft) return;
    ResetSettingValues(settingsTable_, fields_);
    if (TDaten* store = defaultDaten.load()) store->InitValues();
}

#include "audio/audio_device_setup.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

#include <mutex>

#include "audio/audio_device_dialog.h"
#include "audio/audio_start_stop.h"
#include "audio/wasapi_devices.h"
#include "platform/asio_driver.h"
#include "platform/registry.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"
#include "ui_kit/wave_devices.h"

namespace {

std::mutex showLock;
IOSelectShow showOverride;

int ShowModal(TIOSelect& dialog) {
    IOSelectShow show;
    {
        std::lock_guard guard(showLock);
        show = showOverride;
    }
    return show ? show(dialog) : dialog.exec();
}

void PlaceOver(TIOSelect& dialog, QWidget* owner) {
    dialog.adjustSize();
    if (owner == nullptr) return;
    const QRect o = owner->geometry();
    const QRect r(o.left() + (o.width() - dialog.width()) / 2, o.top() + (o.height() - dialog.height()) / 2,
                  dialog.width(), dialog.height());
    dialog.move(FitRectToWorkArea(r));
}

// An ASIO choice that turned out incomplete after OK: back to the wave interface.
void TakeAsio(MainWindowFields& fields, TIOSelect& dialog) {
    fields.asio96.store(dialog.GetAsio96());
    bool failed = false;
    const int32_t x = dialog.GetAsioInId();
    if (x < 0) failed = true;
    else {
        fields.ASIOInputID.store(x);
        fields.CurrentInputName = dialog.GetAsioInName();
    }
    if (!failed && inputAssign.load() == 3) {
        const int32_t y = dialog.GetAsioInIdV();
        if (y < 0) failed = true;
        else {
            fields.ASIOInputIDV.store(y);
            fields.asioRefKanalLabel = dialog.GetAsioInNameV();
        }
    }
    if (!failed) {
        fields.ASIOOutputID.store(dialog.GetAsioOutId());
        fields.ASIODeviceName = dialog.GetAsioDeviceName();
        if (fields.ASIODeviceName.size() < 2) failed = true;
        else {
            fields.CurrentDeviceName = fields.ASIODeviceName;
            fields.AsioGuid = dialog.GetAsioGuid();
        }
    }
    if (!failed) return;
    fields.ASIOInputID.store(-1);
    fields.ASIODeviceName.clear();
    fields.AsioGuid = QUuid();
    fields.asioRefKanalLabel.clear();
    fields.ASIOOutputID.store(-1);
    fields.asio96.store(false);
    fields.IOMode.store(0);
    fields.waveInID.store(0);
    AskMessage(GetLangText(46) + QStringLiteral("\r\n\r\n") + GetLangText(47), 0, 0, 0, 0, 1054);
}

}  // namespace

void SetIOSelectShow(IOSelectShow show) {
    std::lock_guard guard(showLock);
    showOverride = std::move(show);
}

void PresetWaveAssignment(TIOSelect& dialog) {
    MainWindowFields& fields = mainWindowServices()->Fields();
    dialog.SetWaveChannel(fields.Kanal.load(), inputAssign.load());
    dialog.SetWaveOption(fields.HighRes.load(), fields.isExt.load());
}

void PresetWasapiAssignment(TIOSelect& dialog) { dialog.SetWasChannel(wasChannel1.load(), inputAssign.load()); }

void PresetAsioSelection(TIOSelect& dialog) {
    MainWindowFields& fields = mainWindowServices()->Fields();
    dialog.SetAudioMode(fields.IOMode.load());
    if (!dialog.SetAsioGuid(fields.AsioGuid) && !dialog.SelectAsioDevice(fields.ASIODeviceName)) {
        if (dialog.cbASIODevice->count() > 0) dialog.cbASIODevice->setCurrentIndex(0);
        fields.ASIOInputID.store(0);
    }
    dialog.cbASIODeviceChange();
    dialog.SelectAsioInput(fields.ASIOInputID.load());
    dialog.SetAsioOutId(fields.ASIOOutputID.load());
    if (inputAssign.load() == 3) dialog.SelectAsioInputV(fields.ASIOInputIDV.load());
    dialog.CheckValues();
}

void TakeWaveDevices(TIOSelect& dialog) {
    MainWindowFields& fields = mainWindowServices()->Fields();
    fields.HighRes.store(dialog.GetWavewide());
    fields.isExt.store(dialog.GetWaveExt());
    fields.waveInID.store(dialog.GetWaveInId() & 0xFF);
    fields.waveOutID.store(dialog.GetWaveOutId());
}

void TakeWasapiDevices(TIOSelect& dialog) {
    MainWindowFields& fields = mainWindowServices()->Fields();
    TWasAudio* layer = wasapiLayer.load();
    if (dialog.cbInWas->currentIndex() < 0 || layer == nullptr) {
        wasIn.clear();
        wasOut.clear();
        fields.IOMode.store(-1);
        return;
    }
    wasIn = layer->Guid_in(dialog.GetWasInIndex());
    const int32_t o = dialog.GetWasOutId();
    wasOut = o < 0 ? QString() : layer->Guid_out(o);
}

void SaveDeviceSettings() {
    MainWindowFields& fields = mainWindowServices()->Fields();
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return;
    reg.WriteString(QStringLiteral("WaveInName"), WaveInDeviceName(static_cast<int32_t>(fields.waveInID.load())));
    reg.WriteString(QStringLiteral("WaveOutName"), WaveOutDeviceName(fields.waveOutID.load()));
    reg.WriteBool(QStringLiteral("SoundEXT"), fields.isExt.load());
    reg.WriteBool(QStringLiteral("HighRes"), fields.HighRes.load());
    reg.WriteInteger(QStringLiteral("IoMode"), fields.IOMode.load());
    reg.WriteString(QStringLiteral("ASIODeviceName"), fields.ASIODeviceName);
    reg.WriteString(QStringLiteral("ASIOGuid"), fields.AsioGuid.toString(QUuid::WithBraces).toUpper());
    reg.WriteInteger(QStringLiteral("AsioInputID"), fields.ASIOInputID.load());
    reg.WriteInteger(QStringLiteral("ASIOOutputID"), fields.ASIOOutputID.load());
    reg.WriteInteger(QStringLiteral("ASIOInputIDV"), fields.ASIOInputIDV.load());
    reg.WriteBool(QStringLiteral("ASIO96"), fields.asio96.load());
    reg.WriteBool(QStringLiteral("Kanal"), fields.Kanal.load());
    reg.WriteBool(QStringLiteral("WaveKanal"), fields.Kanal.load());
    reg.WriteBool(QStringLiteral("WasKanal"), wasChannel1.load());
    reg.WriteString(QStringLiteral("wasIn"), wasIn);
    reg.WriteString(QStringLiteral("wasOut"), wasOut);
    reg.CloseKey();
}

void aSelectSCExecute() {
    MainWindowServices* services = mainWindowServices();
    if (services == nullptr) return;
    MainWindowFields& fields = services->Fields();
    services->StopFindPeak();
    StopAudioIn();
    services->CloseInfoWindow();
    {
        TIOSelect dialog(services->MainForm());
        PresetWaveAssignment(dialog);
        dialog.SetInputAssign(inputAssign.load());
        dialog.SetWaveIDs(static_cast<int32_t>(fields.waveInID.load()), fields.waveOutID.load());
        PresetWasapiAssignment(dialog);
        PresetAsioSelection(dialog);
        dialog.SetAsioDetails(fields.cbm1.load(), fields.arar.load(), fields.amb.load(), fields.asio96.load());
        PlaceOver(dialog, services->MainForm());
        services->HideRunten();
        if (ShowModal(dialog) == 1) {
            if (dialog.IsAsioDetails()) {
                fields.cbm1.store(dialog.GetAsioModeOne());
                fields.amb.store(dialog.MaxAsioSize());
                fields.arar.store(dialog.GetAsioReportAll());
            }
            fields.IOMode.store(dialog.GetAudioMode());
            TakeWaveDevices(dialog);
            if (fields.IOMode.load() == 1) TakeAsio(fields, dialog);
            fields.Kanal.store(dialog.GetKanal1Wave());
            wasChannel1.store(dialog.GetKanal1Was());
            if (fields.IOMode.load() == 2 && wasapiLayer.load() != nullptr) TakeWasapiDevices(dialog);
        }
    }
    services->ShowRunten();
    PostMainNotify(kNotifyVuLayout, 1);
    services->DrawVuLabels();
    SaveDeviceSettings();
    StartAudioIn(false);
}

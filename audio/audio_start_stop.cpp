#include "audio/audio_start_stop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLocale>

#include "audio/audio_peers.h"
#include "audio/main_window_access.h"
#include "store/measurement_store.h"
#include "audio/calculation_thread.h"
#include "audio/vu_meter_thread.h"
#include "audio/wasapi_devices.h"
#include "audio/wave_backend.h"
#include "platform/date_time.h"
#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "platform/wave_audio.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"
#include "ui_kit/wave_devices.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kIOStart = QStringLiteral("IOStart");

MainWindowServices* Services() { return mainWindowServices(); }

// The marker reaches the disk when the key is closed, before the next step.
void WriteIOStart(bool opening) {
    platform::Registry reg;
    if (reg.OpenKey(kSettingsKey, true)) {
        reg.WriteBool(kIOStart, opening);
        reg.CloseKey();
    }
}

void StartBackEnd(MainWindowFields& fields, bool withOutput) {
    switch (fields.IOMode.load()) {
    case 0:
        OpenWaveIn();
        break;
    case 1:
        if (AudioPeers* peers = audioPeers()) peers->StartAsioIn(withOutput);
        break;
    case 2:
        if (AudioPeers* peers = audioPeers()) peers->OpenWasapiIn();
        break;
    default:
        break;
    }
}

void ResetReaders(MainWindowFields& fields) {
    if (TVuThread* vu = fields.hVuThread.load()) vu->resetLevelCalc();
    if (TCalcer* calc = calcer.load()) calc->ResetCalculation();
}

class HourglassCursor {
public:
    HourglassCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (shown_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~HourglassCursor() {
        if (shown_) QGuiApplication::restoreOverrideCursor();
    }

private:
    bool shown_;
};

void StoreSoundCard(const QString& text) {
    if (TDaten* store = defaultDaten.load()) store->SetSoundCard(text);
}

QString ChannelText(bool left) { return GetLangText(left ? 0 : 1); }

QString VolumeDb(int32_t tenths) { return QLocale().toString(tenths * 0.1, 'f', 1); }

QString WasapiInformation() {
    QString text = GetLangText(851) + kCrLf;
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr) return text;
    const TDevInfo in = layer->GetInInfo();
    text += in.Name;
    if (in.isMono) text += QStringLiteral(" (Mono)");
    text += kCrLf + QStringLiteral("Vol: ") + VolumeDb(layer->GetInVol()) + QStringLiteral("dB") + kCrLf;
    text += QString::number(in.bits) + QStringLiteral("Bits");
    if (in.isEx) text += QStringLiteral(" (Exclusive Mode)");
    text += kCrLf;
    if (IsOutputRunning()) {
        const TDevInfo out = layer->GetOutInfo();
        text += kCrLf + GetLangText(326) + kCrLf + out.Name + kCrLf + QString::number(out.bits) +
                QStringLiteral("Bits, Buffer: ") + QString::number(out.buffer) + QStringLiteral(" Samples") + kCrLf;
    }
    return text;
}

QString AsioInformation(const MainWindowFields& fields) {
    QString text = QStringLiteral("ASIO-Audio: ") + fields.ASIODeviceName + kCrLf;
    AudioPeers* peers = audioPeers();
    if (peers != nullptr && peers->AsioDriverOpen()) {
        if (const auto rate = peers->AsioSampleRate())
            text += QStringLiteral("Samplerate: ") + QString::number(*rate / 1000.0) + QStringLiteral(" kSamples/s ") + kCrLf;
    }
    text += GetLangText(264) + fields.asioKanalLabel;
    if (inputAssign.load() == 3) text += kCrLf + GetLangText(265) + fields.asioRefKanalLabel;
    text += kCrLf + kCrLf;
    if (MeasurementRuns()) text += kCrLf + GetLangText(12) + kCrLf;
    else text += GetLangText(13) + kCrLf + GetLangText(14) + kCrLf;
    return text;
}

}  // namespace

bool StartAudioIn(bool withOutput) {
    MainWindowServices* services = Services();
    if (services == nullptr) return true;
    MainWindowFields& fields = services->Fields();
    const bool measuring = MeasurementRuns();
    if (fields.IOMode.load() == 0 && fields.waveInID.load() >= static_cast<int64_t>(platform::WaveInDeviceCount()))
        fields.waveInID.store(0);
    WriteIOStart(true);
    // A restart in the middle of a measurement keeps the write position: the
    // readers keep theirs too, and a jump back would count old samples again.
    if (!measuring) ringWritePos.Restart();
    if (!measuring) AllocRecordingRing();
    StartBackEnd(fields, withOutput);
    // A volume turned while the input was off shows when it starts.
    if (AudioPeers* peers = audioPeers(); peers != nullptr && IsInputRunning()) peers->CheckInputVolume();
    WriteIOStart(false);
    if (!measuring) ResetReaders(fields);
    PostMainNotify(kNotifyCalStatusDevice, 0);
    PostMainNotify(kNotifyNewValues, kNewValuesAudioStart);
    PostMainNotify(kNotifyDeviceLine, 0);
    PostMainNotify(kNotifyVuRefresh, 0);
    return true;
}

void StopAudioIn() {
    if (!IsInputRunning() && !IsOutputRunning()) return;
    MainWindowServices* services = Services();
    if (services == nullptr) return;
    MainWindowFields& fields = services->Fields();
    HourglassCursor hourglass;
    switch (fields.IOMode.load()) {
    case 0:
        if (IsWaveInOpen()) CloseWaveIn();
        else ClearRunState();
        break;
    case 1:
        waveInClosing.store(true);
        if (AudioPeers* peers = audioPeers(); peers != nullptr && peers->AsioDriverOpen()) peers->CloseAsio();
        break;
    case 2:
        if (AudioPeers* peers = audioPeers()) peers->CloseWasapiIn();
        break;
    default:
        break;
    }
    if (!MeasurementRuns()) {
        services->StopRecording();
        recRing.Reset();
    }
}

void ReportLostInputDevice() {
    SetInputRunning(false);
    PostMainNotifyAlways(kNotifyAudioFailure, kAudioFailureNoResponse);
}

void RestartAudioWithOutput() {
    StopAudioIn();
    StartAudioIn(true);
}

bool CanUseSecondIn() {
    MainWindowServices* services = Services();
    if (services == nullptr) return false;
    const MainWindowFields& fields = services->Fields();
    switch (fields.IOMode.load()) {
    case 0:
    case 2:
        return true;
    case 1:
        return fields.ASIOInputIDV.load() >= 0 && fields.ASIOInputIDV.load() != fields.ASIOInputID.load();
    default:
        return false;
    }
}

void ChangeInputAssign(int32_t assignment) {
    if (assignment > 1 && !CanUseSecondIn()) assignment = 1;
    if (assignment == inputAssign.load()) return;
    StopAudioIn();
    inputAssign.store(assignment);
    StartAudioIn(false);
    if (MainWindowServices* services = Services()) services->UpdateVuLayout();
}

bool IsRefRechts() {
    if (inputAssign.load() == 1) return true;
    MainWindowServices* services = Services();
    if (services == nullptr) return true;
    const MainWindowFields& fields = services->Fields();
    switch (fields.VUAssign.load()) {
    case 1:
        return false;
    case 2:
        return true;
    case 3:
        switch (fields.IOMode.load()) {
        case 1: return fields.ASIOInputID.load() < fields.ASIOInputIDV.load();
        case 2: return wasChannel1.load();
        default: return fields.Kanal.load();
        }
    default:
        return true;
    }
}

void AllocRecordingRing() { recRing.Reset(); }

void CreateAudioSyncObjects() {
    outputFillEvent.Reset();
    outputFillStopEvent.Reset();
    asioBufferEvent.Reset();
    calcStoppedEvent.Reset();
}

QString UpdateSoundLabel() {
    QString text;
    MainWindowServices* services = Services();
    if (services != nullptr && IsInputRunning()) {
        switch (services->Fields().IOMode.load()) {
        case 0: text = WaveDeviceText(); break;
        case 1: text = AsioDeviceText(); break;
        case 2: text = WasapiDeviceText(); break;
        default: break;
        }
    }
    PostMainNotify(kNotifyCalStatus, 0);
    return text;
}

QString WaveDeviceText() {
    MainWindowServices* services = Services();
    if (services == nullptr) return GetLangText(3);
    MainWindowFields& fields = services->Fields();
    if (fields.waveInID.load() <= -1) return GetLangText(3);
    QString s = fields.WaveDeviceName + ChannelText(fields.Kanal.load());
    if (fields.HighRes.load()) s += QStringLiteral(", 32Bit");
    if (fields.isExt.load()) s += QStringLiteral(", EXT");
    fields.CurrentDeviceName = fields.WaveDeviceName;
    StoreSoundCard(s);
    return GetLangText(2) + s;
}

QString AsioDeviceText() {
    MainWindowServices* services = Services();
    if (services == nullptr) return {};
    MainWindowFields& fields = services->Fields();
    const QString s = fields.ASIODeviceName + GetLangText(4) + fields.asioKanalLabel;
    StoreSoundCard(s + QStringLiteral(" (") + GetLangText(332) + QStringLiteral(")"));
    fields.CurrentDeviceName = fields.ASIODeviceName;
    QString text = GetLangText(715) + QStringLiteral(" ") + s;
    if (inputAssign.load() == 3) text += GetLangText(5) + fields.asioRefKanalLabel;
    return text + QStringLiteral(".");
}

QString WasapiDeviceText() {
    MainWindowServices* services = Services();
    TWasAudio* layer = wasapiLayer.load();
    const TDevInfo in = layer ? layer->GetInInfo() : TDevInfo{};
    if (services == nullptr || in.id < 0) {
        StoreSoundCard(GetLangText(6));
        return GetLangText(6);
    }
    MainWindowFields& fields = services->Fields();
    fields.CurrentDeviceName = GetLangText(851) + QStringLiteral(": ") + in.Name;
    const QString t = fields.CurrentDeviceName +
                      (in.isMono ? QStringLiteral(" (mono)") : QStringLiteral(",") + ChannelText(wasChannel1.load()));
    StoreSoundCard(t);
    return t;
}

QString CalDeviceInfoText() {
    MainWindowServices* services = Services();
    TDaten* store = defaultDaten.load();
    const double calTime = store ? store->GetCalTime() : 0.0;
    if (services == nullptr || !(calTime > 0.0)) return kCrLf + GetLangText(170);
    const MainWindowFields& fields = services->Fields();
    QString text = GetLangText(165) + QLocale().toString(platform::ToLocalQDateTime(calTime), QLocale::ShortFormat) +
                   kCrLf + GetLangText(166);
    switch (fields.KalIOMode.load()) {
    case 0: text += WaveInDeviceName(fields.KalIOID.load()) + GetLangText(fields.KalC1.load() ? 168 : 169); break;
    case 1: text += fields.asioKanalLabel + GetLangText(167); break;
    case 2: text += GetLangText(851); break;
    default: break;
    }
    return text;
}

void Soundkarten1Click() {
    MainWindowServices* services = Services();
    if (services == nullptr) return;
    const MainWindowFields& fields = services->Fields();
    TDaten* store = defaultDaten.load();
    QString text = (store ? store->GetSoundCard() : QString()) + kCrLf + kCrLf;
    switch (fields.IOMode.load()) {
    case 0:
        text += GetLangText(fields.isExt.load() ? 7 : 8) + kCrLf + GetLangText(fields.HighRes.load() ? 9 : 10) + kCrLf;
        break;
    case 1: text = AsioInformation(fields); break;
    case 2: text = WasapiInformation(); break;
    default: break;
    }
    if (fields.noCalReason.load() > 0)
        text += kCrLf + QStringLiteral("NCID: ") +
                QString::number(fields.noCalReason.load(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    platform::InfoRequest request;
    request.x = -1;
    request.y = -1;
    request.info = text;
    request.header = GetLangText(18);
    request.timeoutMs = 15000;
    request.rightCaption = GetLangText(19);
    request.rightAnswer = 0;
    if (!MeasurementRuns()) {
        request.leftCaption = GetLangText(20);
        request.leftAnswer = 1;
    }
    platform::userDialogs()->ShowInfo(request);
}

bool ApplyLeftoverIOStart(MainWindowFields& fields) {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey) || !reg.ReadBool(kIOStart).value_or(false)) return false;
    fields.IOMode.store(0);
    fields.waveInID.store(-1);
    return true;
}

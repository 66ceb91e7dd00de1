#include "audio/wasapi_streams.h"

#include <cstring>
#include <memory>

#include "audio/main_window_access.h"
#include "audio/test_signal.h"
#include "audio/wasapi_devices.h"
#include "audio/wave_backend.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

using namespace platform;

namespace {

constexpr int kCaptureWaitMs = 400;
constexpr int kRenderWaitMs = 500;
constexpr int32_t kMonoTwoMicsText = 1177;
constexpr int32_t kVolumeChangedText = 857;
constexpr int32_t kRepeatCalibrationText = 858;
constexpr int32_t kVolumeChangedHeader = 855;
constexpr int32_t kGotItButton = 1126;
constexpr int32_t kOutDeviceErrorText = 898;
constexpr intptr_t kSessionStateChanged = 3;
constexpr intptr_t kSessionVolumeChanged = 1;

inline int32_t Read16(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline int32_t Read24(const uint8_t* p) {
    const uint32_t u = (uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24);
    return static_cast<int32_t>(u);
}

inline int32_t Read32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

template <int32_t (*Read)(const uint8_t*), int32_t Bytes>
void ConvertFrames(const uint8_t* data, uint32_t frames, bool mono, bool measureRight, double k) {
    const auto size = static_cast<int32_t>(sampleRing1.size());
    if (size == 0) return;
    const bool two = inputAssign.load() == 3 && !mono;
    const int32_t frameBytes = mono ? Bytes : 2 * Bytes;
    int32_t pos = ringWritePos.Slot();
    for (uint32_t f = 0; f < frames; ++f, data += frameBytes) {
        const double first = Read(data) * k;
        if (mono) {
            sampleRing1[pos] = first;
        } else {
            const double second = Read(data + Bytes) * k;
            sampleRing1[pos] = measureRight ? second : first;
            if (two) sampleRing2[pos] = measureRight ? first : second;
        }
        pos = NextRingSlot(pos, size);
    }
}

void ShowMonoTwoMicsInfo() {
    InfoRequest request;
    request.info = GetLangText(kMonoTwoMicsText);
    request.header = GetLangText(20);
    request.timeoutMs = 15000;
    request.leftCaption = GetLangText(20);
    request.leftAnswer = 1;
    request.rightCaption = GetLangText(19);
    request.rightAnswer = 0;
    userDialogs()->ShowInfo(request);
}

// Waits for the stream's event or the end of the thread; true for the event.
bool WaitForBuffer(AutoResetEvent& event, Waitable& terminate, int timeoutMs) {
    return WaitForAny({&event, &terminate}, timeoutMs) == 0;
}

}  // namespace

void ConvertCaptureFrames(const uint8_t* data, uint32_t frames, int32_t bits, bool mono, bool measureRight) {
    switch (bits) {
    case 16: ConvertFrames<Read16, 2>(data, frames, mono, measureRight, 1.0 / 32767.0); break;
    case 24: ConvertFrames<Read24, 3>(data, frames, mono, measureRight, 1.0 / 2147483647.0); break;
    case 32: ConvertFrames<Read32, 4>(data, frames, mono, measureRight, 1.0 / 2147483647.0); break;
    default: return;
    }
    ringWritePos.Publish(static_cast<int32_t>(frames));
    TellRingPublished(ringWritePos.Slot());
}

void TwasIn::Execute() {
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr) return;
    const TDevInfo d = layer->GetInInfo();
    const bool mono = wasInMono.load();
    const bool measureRight = !wasChannel1.load() && !mono;
    const int32_t bits = wasInBits.load();
    const std::shared_ptr<AudioCaptureClient> capture = layer->CaptureClient();
    AutoResetEvent& event = layer->CaptureEvent();
    while (!Terminated()) {
        if (!WaitForBuffer(event, TerminateEvent(), kCaptureWaitMs)) continue;
        if (!capture) continue;
        uint32_t n = 1;
        if (!d.isEx && Failed(capture->GetNextPacketSize(&n))) continue;
        while (n > 0 && !Terminated()) {
            uint8_t* data = nullptr;
            uint32_t frames = 0;
            uint32_t flags = 0;
            // A stream that keeps failing ends the round: the next event (or
            // the time-out) tries again and the thread still hears its end.
            if (capture->GetBuffer(&data, &frames, &flags) != S_OK) break;
            ConvertCaptureFrames(data, frames, bits, mono, measureRight);
            capture->ReleaseBuffer(frames);
            if (d.isEx || Failed(capture->GetNextPacketSize(&n))) n = 0;
        }
    }
}

void TwasOut::Execute() {
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr) return;
    const TDevInfo d = layer->GetOutInfo();
    const std::shared_ptr<AudioClient> client = layer->RenderAudioClient();
    const std::shared_ptr<AudioRenderClient> render = layer->RenderClient();
    AutoResetEvent& event = layer->RenderEvent();
    uint32_t total = 0;
    if (client) client->GetBufferSize(&total);
    while (!Terminated()) {
        // A time-out fills what has room too: a wake the server never sent
        // must not leave the signal silent until the next one.
        WaitForBuffer(event, TerminateEvent(), kRenderWaitMs);
        if (Terminated() || !client) continue;
        const double g = CurrentOutputGain();
        uint32_t padding = 0;
        if (Failed(client->GetCurrentPadding(&padding)) || padding >= total) continue;
        const uint32_t n = total - padding;
        uint8_t* data = nullptr;
        if (!render || Failed(render->GetBuffer(n, &data)) || data == nullptr) continue;
        FillNoiseFrames(data, n, d.bits / 8, g);
        render->ReleaseBuffer(n, 0);
    }
}

void OpenWasapiIn() {
    ClearRunState();
    MainWindowFields* fields = MainFields();
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr || fields == nullptr) {
        waveInClosing.store(true);
        return;
    }
    const TDeviceInfo info = layer->Get_Info_In(layer->GetInId(wasIn));
    if (info.IsMono && inputAssign.load() == 3) {
        waveInClosing.store(true);
        ShowMonoTwoMicsInfo();
        return;
    }
    HResult r = layer->Init_Capture(wasIn);
    if (r == S_OK) {
        const TDevInfo in = layer->GetInInfo();
        wasInBits.store(in.bits);
        wasInMono.store(in.isMono);
        r = layer->CaptureAudioClient()->Start();
        auto* thread = new TwasIn;
        thread->Start();
        fields->hWasInT.store(thread);
        waveFormat.samplesPerSec = in.sr;
    }
    SetInputRunning(r == S_OK);
    waveInClosing.store(r != S_OK);
}

void CloseWasapiIn() {
    MainWindowFields* fields = MainFields();
    if (fields != nullptr) {
        if (TwasIn* thread = fields->hWasInT.exchange(nullptr)) {
            thread->Stop();
            delete thread;
        }
    }
    if (TWasAudio* layer = wasapiLayer.load()) layer->StopIn();
    ClearRunState();
    if (MainWindowServices* services = mainWindowServices()) services->DisableIoWatch();
}

void OpenWasapiOut() {
    MainWindowFields* fields = MainFields();
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr || fields == nullptr || wasOut.size() <= 2) {
        SetOutputRunning(false);
        return;
    }
    HResult r = layer->Init_Render(wasOut);
    if (Failed(r)) {
        if (MainWindowServices* services = mainWindowServices())
            services->AddEventMessage(GetLangText(kOutDeviceErrorText), true, true);
    } else {
        noisePos.store(0);
        auto* thread = new TwasOut;
        thread->Start();
        fields->hWasOutT.store(thread);
        r = layer->Start_Render();
    }
    SetOutputRunning(!Failed(r));
}

void CloseWasapiOut() {
    SetOutputRunning(false);
    // The thread is joined before the stream goes: a forgotten one would
    // render on into a released client.
    if (MainWindowFields* fields = MainFields()) {
        if (TwasOut* thread = fields->hWasOutT.exchange(nullptr)) {
            thread->Stop();
            delete thread;
        }
    }
    if (TWasAudio* layer = wasapiLayer.load()) layer->Stop_Render();
}

bool IsWASAudio() {
    MainWindowFields* fields = MainFields();
    return wasapiLayer.load() != nullptr && fields != nullptr && fields->IOMode.load() == 2;
}

bool CheckInputVolume() {
    MainWindowFields* fields = MainFields();
    TWasAudio* layer = wasapiLayer.load();
    if (fields == nullptr || layer == nullptr || fields->IOMode.load() != 2) return true;
    const int32_t volume = layer->GetInVol();
    const bool equal = MeasurementRuns() ? static_cast<double>(volume) == fields->messInputLevel.load()
                                         : volume == fields->KalWasVol.load();
    if (!equal) InputVolumeWarning();
    return equal;
}

void WasSessionEvent(intptr_t lParam) {
    if (lParam == kSessionStateChanged) return;
    InputVolumeWarning();
}

void InputVolumeWarning() {
    TDaten* store = defaultDaten.load();
    MainWindowServices* services = mainWindowServices();
    if (store == nullptr || services == nullptr) return;
    if (!(store->GetCalTime() > 0.0) && !(store->GetVMicCalDate() > 0.0)) return;
    services->Fields().StatusID.store(2);
    services->AddEventMessage(GetLangText(kVolumeChangedText), true, true);
    if (services->GetMessungLaeuft()) return;
    if (CalibrationServices* calibration = calibrationServices()) {
        calibration->InVolInvalid();
        if (const WindowHandle wizard = calibration->CorrectionWizardWindow())
            PostMessage(wizard, WM_MAIN_NOTIFY, kNotifySessionEvent, kSessionVolumeChanged);
    }
    store->ClearCal();
    AskMessage(GetLangText(kVolumeChangedText) + QStringLiteral("\r\n\r\n") + GetLangText(kRepeatCalibrationText), 0,
               kVolumeChangedHeader, 0, 0, kGotItButton);
}

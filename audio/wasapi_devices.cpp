#include "audio/wasapi_devices.h"

#include <cmath>

#include "audio/audio_start_stop.h"
#include "platform/date_time.h"

using namespace platform;

namespace {

constexpr HResult kEndpointUnreachable = 2200;
constexpr int64_t kCaptureSharedDuration = 9600000;  // 960 ms
constexpr int32_t kProbeRate = 48000;
constexpr int32_t kProbeDepths[3] = {32, 24, 16};

std::atomic<WindowHandle> eventWindow{0};
std::atomic<uint32_t> eventMessage{0};
std::atomic<uintptr_t> eventCode{0};

// Endpoint ids compare without regard to the case of ASCII letters only.
bool SameIdAscii(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a.at(i).unicode(), y = b.at(i).unicode();
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
        if (x != y) return false;
    }
    return true;
}

int32_t LastIndexOf(const std::vector<TDeviceInfo>& list, const QString& id) {
    for (auto i = static_cast<int32_t>(list.size()) - 1; i >= 0; --i)
        if (SameIdAscii(list[i].DeviceId, id)) return i;
    return -1;
}

WaveFormatExtensible ExtensibleFormat(int32_t channels, int32_t rate, int32_t bits) {
    WaveFormatExtensible f;
    f.format.formatTag = kWaveFormatExtensible;
    f.format.channels = static_cast<uint16_t>(channels);
    f.format.samplesPerSec = static_cast<uint32_t>(rate);
    f.format.bitsPerSample = static_cast<uint16_t>(bits);
    f.format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.format.avgBytesPerSec = f.format.blockAlign * static_cast<uint32_t>(rate);
    f.format.extraSize = 22;
    f.validBitsPerSample = static_cast<uint16_t>(bits);
    f.channelMask = channels == 1 ? kSpeakerFrontLeft : (kSpeakerFrontLeft | kSpeakerFrontRight);
    f.subFormat = kSubtypePcm;
    return f;
}

// The record a stream opens with: extensible, or its plain first part.
struct StreamFormat {
    WaveFormatExtensible record;
    const WaveFormat* Get() const { return &record.format; }
};

StreamFormat FormatFor(bool extensible, int32_t channels, int32_t bits) {
    StreamFormat f{ExtensibleFormat(channels, kProbeRate, bits)};
    if (!extensible) {
        f.record.format.formatTag = kWaveFormatPcm;
        f.record.format.extraSize = 0;
    }
    return f;
}

int32_t PeriodMs(int64_t period100ns) { return static_cast<int32_t>(Round(static_cast<double>(period100ns) / 10000.0)); }

}  // namespace

// --- session events ------------------------------------------------------------------

void SetEventTarget(WindowHandle window, uint32_t message, uintptr_t code) {
    eventMessage.store(message);
    eventCode.store(code);
    eventWindow.store(window);
}

void PostSessionEvent(intptr_t lParam) {
    const WindowHandle window = eventWindow.load();
    if (window != 0) PostMessage(window, eventMessage.load(), eventCode.load(), lParam);
}

HResult TEvents::OnDisplayNameChanged(const QString&) { return S_OK; }
HResult TEvents::OnIconPathChanged(const QString&) { return S_OK; }
HResult TEvents::OnSimpleVolumeChanged(float, bool) {
    PostSessionEvent(1);
    return S_OK;
}
HResult TEvents::OnChannelVolumeChanged(uint32_t, const float*, uint32_t) {
    PostSessionEvent(2);
    return S_OK;
}
HResult TEvents::OnGroupingParamChanged() { return S_OK; }
HResult TEvents::OnStateChanged(int32_t) {
    PostSessionEvent(3);
    return S_OK;
}
// Only the capture session has these events: its end is a lost input.
HResult TEvents::OnSessionDisconnected(int32_t) {
    ReportLostInputDevice();
    return S_OK;
}

// --- the layer ---------------------------------------------------------------------------

TWasAudio::TWasAudio() {
    devInfoOut.id = -1;
    devInfoIn.id = -1;
}

TWasAudio::~TWasAudio() {
    initialised_ = false;
    ReleaseCapture();
    ReleaseRender();
}

bool TWasAudio::Init(WindowHandle window, uint32_t message, int32_t code, int32_t probeMode) {
    if (code < 0) {
        initialised_ = false;
        return false;
    }
    SetEventTarget(window, message, static_cast<uintptr_t>(code));
    return RunEnumeration(probeMode);
}

bool TWasAudio::Rescan(int32_t probeMode, bool) { return RunEnumeration(probeMode); }

bool TWasAudio::RunEnumeration(int32_t probeMode) {
    bool ok = false;
    try {
        const HResult hr = EnumerateEndpoints(probeMode);
        ok = !Failed(hr) && !captureList_.empty() && !renderList_.empty();
    } catch (...) {
        ok = false;
    }
    initialised_ = ok;
    return ok;
}

HResult TWasAudio::EnumerateEndpoints(int32_t probeMode) {
    captureList_.clear();
    renderList_.clear();
    initialised_ = true;
    std::shared_ptr<MMDeviceEnumerator> enumerator;
    HResult hr = MMDeviceEnumerator::Create(&enumerator);
    if (Failed(hr)) return hr;

    QString defaultId;
    std::shared_ptr<MMDevice> defaultDevice;
    if (!Failed(enumerator->GetDefaultAudioEndpoint(DataFlow::Capture, DeviceRole::Multimedia, &defaultDevice)))
        defaultDevice->GetId(&defaultId);

    std::shared_ptr<MMDeviceCollection> captures;
    hr = enumerator->EnumAudioEndpoints(DataFlow::Capture, kDeviceStateActive, &captures);
    if (Failed(hr)) return hr;
    uint32_t n = 0;
    hr = captures->GetCount(&n);
    defaultInId = -1;
    captureList_.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        std::shared_ptr<MMDevice> device;
        hr = captures->Item(i, &device);
        if (!Failed(hr)) captureList_[i] = ReadEndpoint(*device, probeMode);
        if (!defaultId.isEmpty() && SameIdAscii(captureList_[i].DeviceId, defaultId))
            defaultInId = static_cast<int32_t>(i);
    }
    if (Failed(hr)) return hr;

    std::shared_ptr<MMDeviceCollection> renders;
    hr = enumerator->EnumAudioEndpoints(DataFlow::Render, kDeviceStateActive, &renders);
    if (Failed(hr)) return hr;
    hr = renders->GetCount(&n);
    renderList_.clear();
    for (uint32_t i = 0; i < n && !Failed(hr); ++i) {
        std::shared_ptr<MMDevice> device;
        const HResult item = renders->Item(i, &device);
        if (!Failed(item)) renderList_.push_back(ReadEndpoint(*device, probeMode));
        hr = item;
    }
    return hr;
}

void TWasAudio::ClearDeviceInfo(TDeviceInfo& info) {
    info.DeviceName.clear();
    info.DeviceId.clear();
    info.isExtensible = false;
    info.IsMono = false;
    info.max48E = 0;
    info.max48S = 0;
    info.BufferNorm = -1;
    info.BufferMin = -1;
}

TDeviceInfo TWasAudio::ReadEndpoint(MMDevice& device, int32_t probeMode) {
    TDeviceInfo info;
    if (!initialised_) {
        ClearDeviceInfo(info);
        info.DeviceName = QStringLiteral("WSA not initialized");
        return info;
    }
    if (Failed(device.GetId(&info.DeviceId))) {
        ClearDeviceInfo(info);
        return info;
    }
    std::shared_ptr<PropertyStore> properties;
    if (Failed(device.OpenPropertyStore(&properties))) return info;
    PropVariant name;
    if (Failed(properties->GetValue(PropertyId::FriendlyName, &name))) {
        info.DeviceId.clear();
        info.DeviceName = QStringLiteral("No valid device");
    } else if (name.type == PropVariant::Type::WideString) {
        info.DeviceName = name.text;
        CheckDevice(device, info, probeMode);
    } else {
        info.DeviceName = QStringLiteral("Unknow Device");
        info.DeviceId.clear();
    }
    return info;
}

int32_t TWasAudio::ProbeFormat(AudioClient& client, ShareMode mode, int32_t channels, int32_t rate, int32_t bits) {
    std::unique_ptr<WaveFormatExtensible> closest;
    auto* closestArg = mode == ShareMode::Shared ? &closest : nullptr;
    const WaveFormatExtensible extensible = ExtensibleFormat(channels, rate, bits);
    if (client.IsFormatSupported(mode, &extensible.format, closestArg) == S_OK) return 1;
    WaveFormat plain = extensible.format;
    plain.formatTag = kWaveFormatPcm;
    plain.extraSize = 0;
    if (client.IsFormatSupported(mode, &plain, closestArg) == S_OK) return 2;
    return 0;
}

HResult TWasAudio::CheckDevice(MMDevice& device, TDeviceInfo& info, int32_t probeMode) {
    std::shared_ptr<AudioClient> client;
    if (Failed(device.Activate(&client))) {
        ClearDeviceInfo(info);
        return E_NOINTERFACE;
    }
    // Searches the depths from the highest down; answers the depth taken
    // (0 for none) and whether the probe that ended the search took the
    // extensible format.
    auto search = [&](ShareMode mode, int32_t channels, bool& extensible) {
        int32_t answer = 0;
        for (int32_t bits : kProbeDepths) {
            answer = ProbeFormat(*client, mode, channels, kProbeRate, bits);
            if (answer > 0) {
                extensible = answer == 1;
                return bits;
            }
        }
        extensible = false;
        return 0;
    };
    info.isExtensible = false;
    info.IsMono = false;
    info.max48E = 0;
    info.max48S = 0;
    for (int32_t channels : {2, 1}) {
        if (channels == 1 && !info.IsMono) break;
        if (probeMode & kProbeExclusive) {
            info.max48E = search(ShareMode::Exclusive, channels, info.isExtensible);
            if (channels == 2) info.IsMono = info.max48E == 0;
        }
        if (probeMode & kProbeShared) {
            info.max48S = search(ShareMode::Shared, channels, info.isExtensible);
            if (channels == 2) info.IsMono = info.max48S == 0 && info.max48E == 0;
        }
    }
    return S_OK;
}

HResult TWasAudio::InitializeExclusive(std::shared_ptr<AudioClient>& client, MMDevice& device, int64_t period,
                                       const WaveFormat* format) {
    HResult hr = client->Initialize(ShareMode::Exclusive, kStreamFlagEventCallback, period, period, format);
    if (hr != AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) return hr;
    // The device wants another size: take the next one it offers, on a fresh client.
    uint32_t frames = 0;
    client->GetBufferSize(&frames);
    const int64_t aligned = Round(10000000.0 / 48000.0 * frames + 0.5);
    client.reset();
    hr = device.Activate(&client);
    if (Failed(hr)) return hr;
    return client->Initialize(ShareMode::Exclusive, kStreamFlagEventCallback, aligned, aligned, format);
}

HResult TWasAudio::Init_Capture(const QString& endpointId) {
    HResult result = -1;
    if (!initialised_) return result;
    std::shared_ptr<MMDeviceEnumerator> enumerator;
    int64_t defaultPeriod = 0, minimumPeriod = 0;
    bool reachable = !Failed(MMDeviceEnumerator::Create(&enumerator)) &&
                     !Failed(enumerator->GetDevice(endpointId, &captureDevice_)) &&
                     !Failed(captureDevice_->Activate(&captureClient_));
    if (reachable) reachable = !Failed(captureClient_->GetDevicePeriod(&defaultPeriod, &minimumPeriod));
    if (!reachable) {
        result = kEndpointUnreachable;
    } else {
        devInfoIn.minPerMs = PeriodMs(minimumPeriod);
        devInfoIn.defPerMs = PeriodMs(defaultPeriod);
        devInfoIn.Guid = endpointId;
        const int32_t k = GetInId(endpointId);
        if (k >= 0) {
            const TDeviceInfo& entry = captureList_[k];
            devInfoIn.Name = entry.DeviceName;
            devInfoIn.id = k;
            devInfoIn.isMono = entry.IsMono;
            devInfoIn.isEx = entry.max48E >= entry.max48S;
            devInfoIn.sr = 48000;
            devInfoIn.bits = devInfoIn.isEx ? entry.max48E : entry.max48S;
            const StreamFormat format = FormatFor(entry.isExtensible, devInfoIn.isMono ? 1 : 2, devInfoIn.bits);
            if (devInfoIn.isEx) {
                result = captureClient_->IsFormatSupported(ShareMode::Exclusive, format.Get(), nullptr);
                if (result == S_OK) result = InitializeExclusive(captureClient_, *captureDevice_, defaultPeriod, format.Get());
            } else {
                std::unique_ptr<WaveFormatExtensible> closest;
                result = captureClient_->IsFormatSupported(ShareMode::Shared, format.Get(), &closest);
                if (!Failed(result))
                    result = captureClient_->Initialize(ShareMode::Shared, kStreamFlagEventCallback,
                                                        kCaptureSharedDuration, 0, format.Get());
            }
        }
    }
    if (!captureClient_) {
        ReleaseCapture();
        return result;
    }
    if (!Failed(result)) result = captureClient_->GetSimpleAudioVolume(&captureVolume_);
    if (!Failed(result)) result = captureClient_->GetAudioSessionControl(&captureSession_);
    if (!Failed(result)) {
        captureSink_ = std::make_shared<TEvents>();
        result = captureSession_->RegisterAudioSessionNotification(captureSink_);
    }
    if (!Failed(result) && Failed(captureClient_->GetCaptureClient(&captureService_))) captureService_.reset();
    if (!Failed(result)) result = captureClient_->SetEventHandle(&captureEvent_);
    if (!Failed(result)) result = captureClient_->GetBufferSize(&devInfoIn.buffer);
    if (Failed(result)) {
        ReleaseCapture();
    } else {
        int64_t latency = 0;
        result = captureClient_->GetStreamLatency(&latency);
        devInfoIn.latenz = static_cast<uint32_t>(PeriodMs(latency));
    }
    return result;
}

HResult TWasAudio::Init_Render(const QString& endpointId) {
    HResult result = -1;
    if (!initialised_) return result;
    std::shared_ptr<MMDeviceEnumerator> enumerator;
    int64_t defaultPeriod = 0, minimumPeriod = 0;
    result = MMDeviceEnumerator::Create(&enumerator);
    if (!Failed(result)) result = enumerator->GetDevice(endpointId, &renderDevice_);
    if (!Failed(result)) result = renderDevice_->Activate(&renderClient_);
    if (!Failed(result)) result = renderClient_->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
    if (Failed(result)) return result;
    devInfoOut.minPerMs = PeriodMs(minimumPeriod);
    devInfoOut.defPerMs = PeriodMs(defaultPeriod);
    const int32_t k = GetOutId(endpointId);
    if (k < 0) return -1;
    const TDeviceInfo& entry = renderList_[k];
    devInfoOut.Guid = endpointId;
    devInfoOut.Name = entry.DeviceName;
    devInfoOut.isEx = entry.max48E >= entry.max48S;
    devInfoOut.bits = std::max(entry.max48E, entry.max48S);
    const StreamFormat format = FormatFor(entry.isExtensible, 2, devInfoOut.bits);
    if (devInfoOut.isEx)
        result = InitializeExclusive(renderClient_, *renderDevice_, defaultPeriod, format.Get());
    else
        result = renderClient_->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 2 * defaultPeriod, 0,
                                           format.Get());
    if (Failed(result)) return result;
    if (Failed(renderClient_->GetRenderClient(&renderService_))) renderService_.reset();
    result = renderClient_->SetEventHandle(&renderEvent_);
    if (!Failed(result)) result = renderClient_->GetSimpleAudioVolume(&renderVolume_);
    if (!Failed(result)) result = renderClient_->GetBufferSize(&devInfoOut.buffer);
    if (!Failed(result)) {
        int64_t latency = 0;
        result = renderClient_->GetStreamLatency(&latency);
        devInfoOut.latenz = static_cast<uint32_t>(PeriodMs(latency));
    }
    return result;
}

HResult TWasAudio::Start_Render() { return renderClient_ ? renderClient_->Start() : 1; }

HResult TWasAudio::Stop_Render() {
    if (!renderClient_) return 1;
    HResult result = renderClient_->Stop();
    if (!Failed(result)) result = renderClient_->Reset();
    ReleaseRender();
    return result;
}

HResult TWasAudio::StopIn() {
    if (!captureClient_) return 1;
    HResult result = captureClient_->Stop();
    if (!Failed(result)) result = captureClient_->Reset();
    ReleaseCapture();
    return result;
}

void TWasAudio::ReleaseCapture() {
    if (captureSession_ && captureSink_) captureSession_->UnregisterAudioSessionNotification(captureSink_);
    captureSession_.reset();
    captureService_.reset();
    captureClient_.reset();
    captureSink_.reset();
    captureVolume_.reset();
    captureDevice_.reset();
}

void TWasAudio::ReleaseRender() {
    renderService_.reset();
    renderVolume_.reset();
    renderClient_.reset();
    renderDevice_.reset();
}

int32_t TWasAudio::Num_in() const { return initialised_ ? static_cast<int32_t>(captureList_.size()) : 0; }
int32_t TWasAudio::Num_out() const { return initialised_ ? static_cast<int32_t>(renderList_.size()) : 0; }

QString TWasAudio::Name_out(int32_t index) const {
    if (!initialised_ || index < 0 || index >= Num_out())
        return QStringLiteral("Invalid WSA - Out - Device, id: ") + QString::number(index);
    return renderList_[index].DeviceName;
}

QString TWasAudio::Guid_in(int32_t index) const {
    return initialised_ && index >= 0 && index < Num_in() ? captureList_[index].DeviceId : QString();
}

QString TWasAudio::Guid_out(int32_t index) const {
    return initialised_ && index >= 0 && index < Num_out() ? renderList_[index].DeviceId : QString();
}

TDeviceInfo TWasAudio::Get_Info_In(int32_t index) const {
    if (initialised_ && index >= 0 && index < Num_in()) return captureList_[index];
    TDeviceInfo info;
    info.DeviceName = QStringLiteral("Invalid Id (WASAudio In) ") + QString::number(index);
    return info;
}

TDeviceInfo TWasAudio::Get_Info_Out(int32_t index) const {
    if (initialised_ && index >= 0 && index < Num_out()) return renderList_[index];
    TDeviceInfo info;
    info.DeviceName = QStringLiteral("Invalid Id (WASAudio Out) ") + QString::number(index);
    return info;
}

int32_t TWasAudio::GetInId(const QString& endpointId) const { return LastIndexOf(captureList_, endpointId); }
int32_t TWasAudio::GetOutId(const QString& endpointId) const { return LastIndexOf(renderList_, endpointId); }

QString TWasAudio::GetInDefault() const {
    return defaultInId >= 0 && defaultInId < static_cast<int32_t>(captureList_.size()) ? captureList_[defaultInId].DeviceId
                                                                                       : QString();
}

int32_t TWasAudio::GetInVol() {
    if (!captureVolume_) return kVolumeUnknown;
    float level = 0.0f;
    if (Failed(captureVolume_->GetMasterVolume(&level))) return kVolumeUnknown;
    const double s = std::nearbyint(static_cast<double>(level) * 1e8) / 1e8;
    if (!(s > 0.0)) return kVolumeUnknown;
    bool muted = false;
    if (!Failed(captureVolume_->GetMute(&muted)) && muted) return kVolumeMuted;
    return static_cast<int32_t>(Round(200.0 * std::log10(s)));
}

int32_t TWasAudio::GetOutVol() {
    if (!renderVolume_ || !captureVolume_) return kVolumeUnknown;
    float level = 0.0f;
    if (Failed(renderVolume_->GetMasterVolume(&level))) return kVolumeUnknown;
    if (!(level > 0.0f)) return kVolumeUnknown;
    bool muted = false;
    if (!Failed(renderVolume_->GetMute(&muted)) && muted) return kVolumeMuted;
    return static_cast<int32_t>(Round(200.0 * static_cast<double>(std::log10(level))));
}

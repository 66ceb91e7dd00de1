// The audio client, its capture and render clients, volume and session
// control, on top of whichever place an endpoint comes from; and the
// enumerator that lists the endpoints of all of them.
#include "platform/wasapi_pulse.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/wasapi_backends.h"

namespace platform {

HResult MMDeviceCollection::GetCount(uint32_t* count) const {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<uint32_t>(devices_.size());
    return S_OK;
}

HResult MMDeviceCollection::Item(uint32_t index, std::shared_ptr<MMDevice>* device) const {
    if (device == nullptr) return E_POINTER;
    if (index >= devices_.size()) return E_INVALIDARG;
    *device = devices_[index];
    return S_OK;
}

namespace {

constexpr HResult AUDCLNT_E_BUFFDURATION_PERIOD_NOT_EQUAL = static_cast<HResult>(0x88890013u);
constexpr int64_t kSharedRenderBuffer = 1000000;  // 100 ms in 100-ns units

uint32_t FramesOf(int64_t duration100ns, int32_t rate) {
    return static_cast<uint32_t>(std::llround(static_cast<double>(duration100ns) * rate / 1e7));
}

// Reads a plain or extensible record; the extensible one must describe
// integer PCM whose valid bits fill the container.
HResult ParseFormat(const WaveFormat* format, PcmFormat* pcm, bool* extensible) {
    if (format == nullptr) return E_POINTER;
    *extensible = format->formatTag == kWaveFormatExtensible;
    if (*extensible) {
        if (format->extraSize < 22) return E_INVALIDARG;
        const auto* ext = reinterpret_cast<const WaveFormatExtensible*>(format);
        if (!(ext->subFormat == kSubtypePcm) || ext->validBitsPerSample != format->bitsPerSample)
            return AUDCLNT_E_UNSUPPORTED_FORMAT;
    } else if (format->formatTag != kWaveFormatPcm) {
        return AUDCLNT_E_UNSUPPORTED_FORMAT;
    }
    pcm->channels = format->channels;
    pcm->bits = format->bitsPerSample;
    pcm->rate = static_cast<int32_t>(format->samplesPerSec);
    if (!pcm->IsValid() || format->blockAlign != pcm->BlockAlign() ||
        format->avgBytesPerSec != format->samplesPerSec * format->blockAlign)
        return AUDCLNT_E_UNSUPPORTED_FORMAT;
    return S_OK;
}

class StreamClient;

class SessionControl : public AudioSessionControl {
public:
    HResult RegisterAudioSessionNotification(std::shared_ptr<AudioSessionEvents> events) override {
        if (!events) return E_POINTER;
        std::lock_guard guard(lock_);
        sinks_.push_back(std::move(events));
        return S_OK;
    }

    HResult UnregisterAudioSessionNotification(const std::shared_ptr<AudioSessionEvents>& events) override {
        std::lock_guard guard(lock_);
        const auto it = std::find(sinks_.begin(), sinks_.end(), events);
        if (it == sinks_.end()) return E_INVALIDARG;
        sinks_.erase(it);
        return S_OK;
    }

    template <typename Call>
    void Tell(Call call) {
        std::vector<std::shared_ptr<AudioSessionEvents>> sinks;
        {
            std::lock_guard guard(lock_);
            sinks = sinks_;
        }
        for (const auto& sink : sinks) call(*sink);
    }

private:
    std::mutex lock_;
    std::vector<std::shared_ptr<AudioSessionEvents>> sinks_;
};

class StreamClient : public AudioClient, public StreamSink, public std::enable_shared_from_this<StreamClient> {
public:
    explicit StreamClient(std::shared_ptr<EndpointBackend> backend)
        : backend_(std::move(backend)), session_(std::make_shared<SessionControl>()) {}

    ~StreamClient() override {
        // The device side's thread calls back into this object: end it first.
        std::lock_guard guard(control_);
        renderTransport_.store(nullptr, std::memory_order_release);
        if (transport_) transport_->Stop();
        transport_.reset();
    }

    HResult IsFormatSupported(ShareMode mode, const WaveFormat* format,
                              std::unique_ptr<WaveFormatExtensible>* closestMatch) override {
        if (closestMatch) closestMatch->reset();
        PcmFormat pcm;
        bool extensible = false;
        const HResult hr = ParseFormat(format, &pcm, &extensible);
        if (Failed(hr)) return hr;
        return backend_->Supports(mode, pcm, extensible);
    }

    HResult GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) override {
        int64_t d = 0, m = 0;
        backend_->Periods(&d, &m);
        if (defaultPeriod) *defaultPeriod = d;
        if (minimumPeriod) *minimumPeriod = m;
        return S_OK;
    }

    HResult Initialize(ShareMode mode, uint32_t streamFlags, int64_t bufferDuration, int64_t periodicity,
                       const WaveFormat* format) override {
        std::lock_guard guard(control_);
        if (transport_) return AUDCLNT_E_ALREADY_INITIALIZED;
        PcmFormat pcm;
        bool extensible = false;
        HResult hr = ParseFormat(format, &pcm, &extensible);
        if (Failed(hr)) return hr;
        hr = backend_->Supports(mode, pcm, extensible);
        if (Failed(hr) || hr == S_FALSE) return Failed(hr) ? hr : AUDCLNT_E_UNSUPPORTED_FORMAT;
        const bool eventDriven = (streamFlags & kStreamFlagEventCallback) != 0;
        StreamSetup setup;
        setup.format = pcm;
        setup.mode = mode;
        hr = mode == ShareMode::Exclusive ? SizeExclusive(eventDriven, bufferDuration, periodicity, setup)
                                          : SizeShared(bufferDuration, setup);
        if (Failed(hr)) return hr;
        {
            std::lock_guard fifoGuard(fifo_);
            setup_ = setup;
            const size_t bytes = size_t{setup.bufferFrames} * pcm.BlockAlign();
            buffer_.assign(bytes, 0);
            staging_.assign(bytes, 0);
            head_ = 0;
            filled_ = 0;
        }
        hr = backend_->OpenTransport(setup, this, &transport_);
        if (Failed(hr)) {
            transport_.reset();
            return hr;
        }
        renderTransport_.store(transport_.get(), std::memory_order_release);
        eventDriven_ = eventDriven;
        return S_OK;
    }

    HResult GetBufferSize(uint32_t* frames) override {
        if (frames == nullptr) return E_POINTER;
        std::lock_guard guard(control_);
        if (!transport_) {
            if (alignedFrames_ == 0) return AUDCLNT_E_NOT_INITIALIZED;
            *frames = alignedFrames_;
            return S_OK;
        }
        *frames = setup_.bufferFrames;
        return S_OK;
    }

    HResult GetStreamLatency(int64_t* latency) override {
        if (latency == nullptr) return E_POINTER;
        std::lock_guard guard(control_);
        if (!transport_) return AUDCLNT_E_NOT_INITIALIZED;
        *latency = transport_->Latency();
        return S_OK;
    }

    HResult GetCurrentPadding(uint32_t* frames) override {
        if (frames == nullptr) return E_POINTER;
        if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
        if (lost_.load()) return AUDCLNT_E_DEVICE_INVALIDATED;
        std::lock_guard guard(fifo_);
        *frames = FramesFilled();
        return S_OK;
    }

    HResult SetEventHandle(AutoResetEvent* event) override {
        if (event == nullptr) return E_INVALIDARG;
        if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
        event_.store(event);
        return S_OK;
    }

    HResult Start() override {
        std::lock_guard guard(control_);
        if (!transport_) return AUDCLNT_E_NOT_INITIALIZED;
        if (started_) return AUDCLNT_E_NOT_STOPPED;
        if (eventDriven_ && event_.load() == nullptr) return AUDCLNT_E_EVENTHANDLE_NOT_SET;
        const HResult hr = transport_->Start();
        if (Failed(hr)) return hr;
        started_ = true;
        session_->Tell([](AudioSessionEvents& e) { e.OnStateChanged(kSessionActive); });
        return S_OK;
    }

    HResult Stop() override {
        std::lock_guard guard(control_);
        if (!transport_) return AUDCLNT_E_NOT_INITIALIZED;
        if (!started_) return S_FALSE;
        const HResult hr = transport_->Stop();
        started_ = false;
        session_->Tell([](AudioSessionEvents& e) { e.OnStateChanged(kSessionInactive); });
        return hr;
    }

    HResult Reset() override {
        std::lock_guard guard(control_);
        if (!transport_) return AUDCLNT_E_NOT_INITIALIZED;
        if (started_) return AUDCLNT_E_NOT_STOPPED;
        transport_->Flush();
        std::lock_guard fifoGuard(fifo_);
        head_ = 0;
        filled_ = 0;
        return S_OK;
    }

    HResult GetCaptureClient(std::shared_ptr<AudioCaptureClient>* client) override;
    HResult GetRenderClient(std::shared_ptr<AudioRenderClient>* client) override;
    HResult GetSimpleAudioVolume(std::shared_ptr<SimpleAudioVolume>* volume) override;
    HResult GetAudioSessionControl(std::shared_ptr<AudioSessionControl>* control) override {
        if (control == nullptr) return E_POINTER;
        if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
        *control = session_;
        return S_OK;
    }

    // --- the capture client -----------------------------------------------------------

    HResult NextPacketSize(uint32_t* frames) {
        if (frames == nullptr) return E_POINTER;
        if (lost_.load()) return AUDCLNT_E_DEVICE_INVALIDATED;
        std::lock_guard guard(fifo_);
        *frames = std::min(FramesFilled(), setup_.periodFrames);
        return S_OK;
    }

    HResult TakePacket(uint8_t** data, uint32_t* frames, uint32_t* flags) {
        if (data == nullptr || frames == nullptr) return E_POINTER;
        if (lost_.load()) return AUDCLNT_E_DEVICE_INVALIDATED;
        std::lock_guard guard(fifo_);
        if (lent_) return AUDCLNT_E_OUT_OF_ORDER;
        const uint32_t n = std::min(FramesFilled(), setup_.periodFrames);
        if (flags) *flags = 0;
        if (n == 0) {
            *data = nullptr;
            *frames = 0;
            return AUDCLNT_S_BUFFER_EMPTY;
        }
        CopyOut(staging_.data(), n);
        if (flags && discontinuity_) *flags = kBufferFlagDataDiscontinuity;
        discontinuity_ = false;
        lent_ = true;
        lentFrames_ = n;
        *data = staging_.data();
        *frames = n;
        return S_OK;
    }

    HResult ReleasePacket(uint32_t frames) {
        std::lock_guard guard(fifo_);
        if (!lent_) return AUDCLNT_E_OUT_OF_ORDER;
        if (frames != 0 && frames != lentFrames_) return AUDCLNT_E_INVALID_SIZE;
        Drop(frames);
        lent_ = false;
        return S_OK;
    }

    // --- the render client ------------------------------------------------------------

    HResult LendRoom(uint32_t frames, uint8_t** data) {
        if (data == nullptr) return E_POINTER;
        if (lost_.load()) return AUDCLNT_E_DEVICE_INVALIDATED;
        std::lock_guard guard(fifo_);
        if (lent_) return AUDCLNT_E_OUT_OF_ORDER;
        if (frames > setup_.bufferFrames - FramesFilled()) return AUDCLNT_E_BUFFER_TOO_LARGE;
        lent_ = true;
        lentFrames_ = frames;
        *data = staging_.data();
        return S_OK;
    }

    HResult QueueRoom(uint32_t frames, uint32_t flags) {
        {
            std::lock_guard guard(fifo_);
            if (!lent_) return AUDCLNT_E_OUT_OF_ORDER;
            if (frames > lentFrames_) return AUDCLNT_E_INVALID_SIZE;
            if (flags & kBufferFlagSilent) std::fill_n(staging_.begin(), size_t{frames} * BlockAlign(), uint8_t{0});
            CopyIn(staging_.data(), frames);
            lent_ = false;
        }
        if (StreamTransport* transport = renderTransport_.load(std::memory_order_acquire)) transport->Kick();
        return S_OK;
    }

    // --- the volume -----------------------------------------------------------------

    HResult Volume(float* level, bool* muted) {
        std::lock_guard guard(control_);
        if (!transport_) return AUDCLNT_E_NOT_INITIALIZED;
        float l = 0;
        bool m = false;
        const HResult hr = transport_->GetVolume(&l, &m);
        if (level) *level = l;
        if (muted) *muted = m;
        return hr;
    }

    HResult SetLevel(float level) {
        if (!(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        std::lock_guard guard(control_);
        return transport_ ? transport_->SetVolume(level) : AUDCLNT_E_NOT_INITIALIZED;
    }

    HResult SetMuted(bool muted) {
        std::lock_guard guard(control_);
        return transport_ ? transport_->SetMute(muted) : AUDCLNT_E_NOT_INITIALIZED;
    }

    // --- StreamSink -------------------------------------------------------------------

    void Deliver(const uint8_t* data, uint32_t frames) override {
        std::lock_guard guard(fifo_);
        const uint32_t room = setup_.bufferFrames - FramesFilled();
        if (frames > room) discontinuity_ = true;  // the reader fell behind: the newest frames are lost
        CopyIn(data, std::min(frames, room));
    }

    uint32_t Take(uint8_t* data, uint32_t maxFrames) override {
        std::lock_guard guard(fifo_);
        const uint32_t n = std::min(maxFrames, FramesFilled());
        CopyOut(data, n);
        Drop(n);
        return n;
    }

    uint32_t Pending() override {
        std::lock_guard guard(fifo_);
        return FramesFilled();
    }

    void Signal() override {
        if (AutoResetEvent* event = event_.load()) event->Set();
    }

    void VolumeChanged(float volume, bool muted) override {
        session_->Tell([&](AudioSessionEvents& e) { e.OnSimpleVolumeChanged(volume, muted); });
    }

    // From now on the stream's calls answer that its device is gone.
    void Disconnected(int32_t reason) override {
        lost_.store(true);
        session_->Tell([&](AudioSessionEvents& e) { e.OnSessionDisconnected(reason); });
    }

    DataFlow Flow() const { return backend_->Flow(); }

private:
    bool Initialised() {
        std::lock_guard guard(control_);
        return transport_ != nullptr;
    }

    HResult SizeExclusive(bool eventDriven, int64_t bufferDuration, int64_t periodicity, StreamSetup& setup) {
        if (eventDriven && bufferDuration != periodicity) return AUDCLNT_E_BUFFDURATION_PERIOD_NOT_EQUAL;
        int64_t d = 0, m = 0;
        backend_->Periods(&d, &m);
        if (bufferDuration < m) return E_INVALIDARG;
        const uint32_t frames = FramesOf(bufferDuration, setup.format.rate);
        const uint32_t align = backend_->ExclusiveAlignmentFrames();
        if (align > 0 && frames % align != 0) {
            alignedFrames_ = (frames / align + 1) * align;
            return AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED;
        }
        setup.bufferFrames = frames;
        setup.periodFrames = frames;
        return S_OK;
    }

    HResult SizeShared(int64_t bufferDuration, StreamSetup& setup) {
        int64_t d = 0, m = 0;
        backend_->Periods(&d, &m);
        setup.periodFrames = std::max<uint32_t>(1, FramesOf(d, setup.format.rate));
        setup.bufferFrames = std::max(FramesOf(bufferDuration, setup.format.rate), 2 * setup.periodFrames);
        // A shared engine may give more than asked. A render buffer of a
        // period or two lets the server run dry whenever the filling thread
        // wakes late (a loaded machine): every write after such an underrun
        // makes the server rewind, and most of the sound never plays (seen).
        // The render buffer holds what the server keeps queued.
        if (Flow() == DataFlow::Render)
            setup.bufferFrames = std::max(setup.bufferFrames, FramesOf(kSharedRenderBuffer, setup.format.rate));
        return S_OK;
    }

    uint32_t BlockAlign() const { return static_cast<uint32_t>(setup_.format.BlockAlign()); }
    uint32_t FramesFilled() const { return BlockAlign() ? static_cast<uint32_t>(filled_ / BlockAlign()) : 0; }

    void CopyIn(const uint8_t* data, uint32_t frames) {
        size_t bytes = size_t{frames} * BlockAlign();
        size_t tail = (head_ + filled_) % buffer_.size();
        while (bytes > 0) {
            const size_t run = std::min(bytes, buffer_.size() - tail);
            std::memcpy(buffer_.data() + tail, data, run);
            data += run;
            bytes -= run;
            filled_ += run;
            tail = (tail + run) % buffer_.size();
        }
    }

    void CopyOut(uint8_t* data, uint32_t frames) const {
        size_t bytes = size_t{frames} * BlockAlign();
        size_t from = head_;
        while (bytes > 0) {
            const size_t run = std::min(bytes, buffer_.size() - from);
            std::memcpy(data, buffer_.data() + from, run);
            data += run;
            bytes -= run;
            from = (from + run) % buffer_.size();
        }
    }

    void Drop(uint32_t frames) {
        const size_t bytes = size_t{frames} * BlockAlign();
        head_ = (head_ + bytes) % buffer_.size();
        filled_ -= bytes;
    }

    const std::shared_ptr<EndpointBackend> backend_;
    const std::shared_ptr<SessionControl> session_;

    // Lifecycle; the device side's thread never takes it.
    std::recursive_mutex control_;
    std::unique_ptr<StreamTransport> transport_;
    // The transport for the render thread's hand-over, which must not wait
    // on the lifecycle lock that volume calls hold while the server answers.
    // Set once the transport exists, cleared before it goes.
    std::atomic<StreamTransport*> renderTransport_{nullptr};
    bool started_ = false;
    bool eventDriven_ = false;
    uint32_t alignedFrames_ = 0;
    std::atomic<AutoResetEvent*> event_{nullptr};
    std::atomic<bool> lost_{false};

    // The stream's buffer, shared with the device side.
    std::mutex fifo_;
    StreamSetup setup_;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> staging_;
    size_t head_ = 0;
    size_t filled_ = 0;
    bool lent_ = false;
    uint32_t lentFrames_ = 0;
    bool discontinuity_ = false;
};

class CaptureClientImpl : public AudioCaptureClient {
public:
    explicit CaptureClientImpl(std::shared_ptr<StreamClient> client) : client_(std::move(client)) {}
    HResult GetNextPacketSize(uint32_t* frames) override { return client_->NextPacketSize(frames); }
    HResult GetBuffer(uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        return client_->TakePacket(data, frames, flags);
    }
    HResult ReleaseBuffer(uint32_t frames) override { return client_->ReleasePacket(frames); }

private:
    std::shared_ptr<StreamClient> client_;
};

class RenderClientImpl : public AudioRenderClient {
public:
    explicit RenderClientImpl(std::shared_ptr<StreamClient> client) : client_(std::move(client)) {}
    HResult GetBuffer(uint32_t frames, uint8_t** data) override { return client_->LendRoom(frames, data); }
    HResult ReleaseBuffer(uint32_t frames, uint32_t flags) override { return client_->QueueRoom(frames, flags); }

private:
    std::shared_ptr<StreamClient> client_;
};

class VolumeImpl : public SimpleAudioVolume {
public:
    explicit VolumeImpl(std::shared_ptr<StreamClient> client) : client_(std::move(client)) {}
    HResult GetMasterVolume(float* level) override {
        if (level == nullptr) return E_POINTER;
        return client_->Volume(level, nullptr);
    }
    HResult SetMasterVolume(float level) override { return client_->SetLevel(level); }
    HResult GetMute(bool* muted) override {
        if (muted == nullptr) return E_POINTER;
        return client_->Volume(nullptr, muted);
    }
    HResult SetMute(bool muted) override { return client_->SetMuted(muted); }

private:
    std::shared_ptr<StreamClient> client_;
};

HResult StreamClient::GetCaptureClient(std::shared_ptr<AudioCaptureClient>* client) {
    if (client == nullptr) return E_POINTER;
    if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
    if (Flow() != DataFlow::Capture) return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
    *client = std::make_shared<CaptureClientImpl>(shared_from_this());
    return S_OK;
}

HResult StreamClient::GetRenderClient(std::shared_ptr<AudioRenderClient>* client) {
    if (client == nullptr) return E_POINTER;
    if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
    if (Flow() != DataFlow::Render) return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
    *client = std::make_shared<RenderClientImpl>(shared_from_this());
    return S_OK;
}

HResult StreamClient::GetSimpleAudioVolume(std::shared_ptr<SimpleAudioVolume>* volume) {
    if (volume == nullptr) return E_POINTER;
    if (!Initialised()) return AUDCLNT_E_NOT_INITIALIZED;
    *volume = std::make_shared<VolumeImpl>(shared_from_this());
    return S_OK;
}

// --- endpoints ---------------------------------------------------------------------------

class EndpointProperties : public PropertyStore {
public:
    explicit EndpointProperties(EndpointEntry entry) : entry_(std::move(entry)) {}

    HResult GetValue(PropertyId id, PropVariant* value) override {
        if (value == nullptr) return E_POINTER;
        *value = PropVariant{};
        if (id != PropertyId::FriendlyName) return E_INVALIDARG;
        switch (entry_.nameState) {
        case SimulatedEndpointSetup::NameState::Unreadable:
            return E_FAIL;
        case SimulatedEndpointSetup::NameState::NotText:
            value->type = PropVariant::Type::UnsignedInt;
            return S_OK;
        case SimulatedEndpointSetup::NameState::Text:
            value->type = PropVariant::Type::WideString;
            value->text = entry_.friendlyName;
            return S_OK;
        }
        return E_FAIL;
    }

private:
    EndpointEntry entry_;
};

class ListedDevice : public MMDevice {
public:
    explicit ListedDevice(EndpointEntry entry) : entry_(std::move(entry)) {}

    HResult GetId(QString* id) override {
        if (id == nullptr) return E_POINTER;
        *id = entry_.id;
        return S_OK;
    }

    HResult GetState(uint32_t* state) override {
        if (state == nullptr) return E_POINTER;
        *state = kDeviceStateActive;
        return S_OK;
    }

    HResult OpenPropertyStore(std::shared_ptr<PropertyStore>* store) override {
        if (store == nullptr) return E_POINTER;
        *store = std::make_shared<EndpointProperties>(entry_);
        return S_OK;
    }

    HResult Activate(std::shared_ptr<AudioClient>* client) override {
        if (client == nullptr) return E_POINTER;
        *client = std::make_shared<StreamClient>(entry_.backend);
        return S_OK;
    }

    const QString& Id() const { return entry_.id; }

private:
    EndpointEntry entry_;
};

void AppendDevices(std::vector<std::shared_ptr<MMDevice>>& list, const std::vector<EndpointEntry>& entries) {
    for (const EndpointEntry& e : entries) list.push_back(std::make_shared<ListedDevice>(e));
}

QString FirstId(const std::vector<EndpointEntry>& entries) { return entries.empty() ? QString() : entries[0].id; }

}  // namespace

HResult MMDeviceEnumerator::Create(std::shared_ptr<MMDeviceEnumerator>* enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    auto made = std::shared_ptr<MMDeviceEnumerator>(new MMDeviceEnumerator);
    const PulseListing pulse = ListPulseEndpoints();
    const std::vector<EndpointEntry> simCapture = ListSimulatedEndpoints(DataFlow::Capture);
    const std::vector<EndpointEntry> simRender = ListSimulatedEndpoints(DataFlow::Render);
    AppendDevices(made->capture_, pulse.capture);
    AppendDevices(made->capture_, simCapture);
    AppendDevices(made->render_, pulse.render);
    AppendDevices(made->render_, simRender);
    made->defaultCaptureId_ = pulse.defaultCaptureId.isEmpty() ? FirstId(simCapture) : pulse.defaultCaptureId;
    made->defaultRenderId_ = pulse.defaultRenderId.isEmpty() ? FirstId(simRender) : pulse.defaultRenderId;
    *enumerator = std::move(made);
    return S_OK;
}

HResult MMDeviceEnumerator::GetDefaultAudioEndpoint(DataFlow flow, DeviceRole, std::shared_ptr<MMDevice>* device) {
    if (device == nullptr) return E_POINTER;
    const QString& id = flow == DataFlow::Capture ? defaultCaptureId_ : defaultRenderId_;
    if (id.isEmpty()) return E_NOTFOUND;
    return GetDevice(id, device);
}

HResult MMDeviceEnumerator::EnumAudioEndpoints(DataFlow flow, uint32_t stateMask,
                                               std::shared_ptr<MMDeviceCollection>* devices) {
    if (devices == nullptr) return E_POINTER;
    if (stateMask & kDeviceStateActive)
        *devices = std::make_shared<MMDeviceCollection>(flow == DataFlow::Capture ? capture_ : render_);
    else
        *devices = std::make_shared<MMDeviceCollection>(std::vector<std::shared_ptr<MMDevice>>{});
    return S_OK;
}

HResult MMDeviceEnumerator::GetDevice(const QString& id, std::shared_ptr<MMDevice>* device) {
    if (device == nullptr) return E_POINTER;
    for (const auto* list : {&capture_, &render_}) {
        for (const auto& d : *list) {
            if (static_cast<ListedDevice*>(d.get())->Id() == id) {
                *device = d;
                return S_OK;
            }
        }
    }
    return E_NOTFOUND;
}

}  // namespace platform

// The PulseAudio endpoints of the core-audio stand-in: one connection to the
// server for the whole program, its sources and sinks as endpoints, and
// record and playback streams as the device side of an audio client.
//
// Every call into the client library happens either on the connection's
// own thread (its callbacks) or with the connection locked, as the threaded
// main loop of the library requires.
#include <pulse/pulseaudio.h>

#include <QDebug>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/wasapi_backends.h"

namespace platform {

namespace {

constexpr int64_t kPulseDefaultPeriod = 100000;  // 10 ms
constexpr int64_t kPulseMinimumPeriod = 30000;   // 3 ms

bool PulseDisabled() {
    const char* env = std::getenv("VELTARO_PULSEAUDIO");
    return env != nullptr && std::strcmp(env, "0") == 0;
}

class PulseStream;
struct VolumeWatch;
using VolumeToken = std::shared_ptr<VolumeWatch>;

class PulseConnection {
public:
    ~PulseConnection() {
        if (loop_) pa_threaded_mainloop_stop(loop_);
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_) pa_threaded_mainloop_free(loop_);
        for (VolumeToken* token : pendingTokens_) delete token;
    }

    // The connection in use, or a new one; nullptr when no server answers.
    static std::shared_ptr<PulseConnection> Get() {
        if (PulseDisabled()) return nullptr;
        static std::mutex lock;
        static auto* current = new std::shared_ptr<PulseConnection>;  // outlives every stream at exit
        std::lock_guard guard(lock);
        if (*current && (*current)->Ready()) return *current;
        auto fresh = std::shared_ptr<PulseConnection>(new PulseConnection);
        *current = fresh->Connect() ? fresh : nullptr;
        return *current;
    }

    class Locked {
    public:
        explicit Locked(PulseConnection& c) : loop_(c.loop_) { pa_threaded_mainloop_lock(loop_); }
        ~Locked() { pa_threaded_mainloop_unlock(loop_); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    pa_context* Context() const { return context_; }
    pa_threaded_mainloop* Loop() const { return loop_; }
    void Wake() { pa_threaded_mainloop_signal(loop_, 0); }
    void WaitLocked() { pa_threaded_mainloop_wait(loop_); }

    // Runs the operation to its end; the connection is locked by the caller.
    bool AwaitLocked(pa_operation* op) {
        if (op == nullptr) return false;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) WaitLocked();
        const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
        pa_operation_unref(op);
        return done;
    }

    bool Ready() {
        Locked locked(*this);
        return pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    // Streams that follow the server's change events; locked by the caller.
    void AddWatcherLocked(PulseStream* stream) { watchers_.insert(stream); }
    void RemoveWatcherLocked(PulseStream* stream) { watchers_.erase(stream); }

    // The tokens of the info queries on their way. A server that goes away
    // never answers them, so what is left is freed with the connection.
    void AwaitAnswerLocked(VolumeToken* token) { pendingTokens_.insert(token); }
    void AnsweredLocked(VolumeToken* token) {
        pendingTokens_.erase(token);
        delete token;
    }

private:
    PulseConnection() = default;

    bool Connect() {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr) return false;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Veltaro");
        if (context_ == nullptr) return false;
        pa_context_set_state_callback(context_, &ContextState, this);
        // Never start a server: the program only uses one that is running.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
        if (pa_threaded_mainloop_start(loop_) < 0) return false;
        Locked locked(*this);
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) break;
            if (!PA_CONTEXT_IS_GOOD(state)) return false;
            WaitLocked();
        }
        pa_context_set_subscribe_callback(context_, &ServerEvent, this);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK |
                                                              PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT |
                                                              PA_SUBSCRIPTION_MASK_SINK_INPUT);
        if (pa_operation* op = pa_context_subscribe(context_, mask, nullptr, nullptr)) pa_operation_unref(op);
        return true;
    }

    static void ContextState(pa_context*, void* self) { static_cast<PulseConnection*>(self)->Wake(); }
    static void ServerEvent(pa_context*, pa_subscription_event_type_t type, uint32_t index, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::set<PulseStream*> watchers_;
    std::set<VolumeToken*> pendingTokens_;
};

pa_sample_format_t PulseFormatOf(int32_t bits) {
    switch (bits) {
    case 16: return PA_SAMPLE_S16LE;
    case 24: return PA_SAMPLE_S24LE;
    default: return PA_SAMPLE_S32LE;
    }
}

float LinearOf(const pa_cvolume& volume) {
    return static_cast<float>(pa_sw_volume_to_linear(pa_cvolume_avg(&volume)));
}

// What a stream's volume follows, shared with the info queries still on
// their way, which may answer after the stream is gone.
struct VolumeWatch {
    PulseConnection* connection = nullptr;  // alive while its own thread runs the answers
    PulseStream* owner = nullptr;           // none once the stream is gone; changed with the connection locked
};

class PulseStream : public StreamTransport {
public:
    PulseStream(std::shared_ptr<PulseConnection> connection, DataFlow flow, const StreamSetup& setup,
                StreamSink* sink)
        : connection_(std::move(connection)), flow_(flow), setup_(setup), sink_(sink),
          watch_(std::make_shared<VolumeWatch>()) {
        watch_->connection = connection_.get();
        watch_->owner = this;
    }

    ~PulseStream() override {
        PulseConnection::Locked locked(*connection_);
        watch_->owner = nullptr;
        connection_->RemoveWatcherLocked(this);
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
    }

    HResult Connect(const QString& deviceName) {
        PulseConnection::Locked locked(*connection_);
        pa_sample_spec sampleSpec{PulseFormatOf(setup_.format.bits), static_cast<uint32_t>(setup_.format.rate),
                            static_cast<uint8_t>(setup_.format.channels)};
        pa_channel_map map;
        if (setup_.format.channels == 1) pa_channel_map_init_mono(&map);
        else pa_channel_map_init_stereo(&map);
        const size_t block = static_cast<size_t>(setup_.format.BlockAlign());
        if (block > partial_.size()) return AUDCLNT_E_UNSUPPORTED_FORMAT;
        if (flow_ == DataFlow::Capture) silence_.assign(std::max<size_t>(setup_.periodFrames, 1) * block, 0);
        else staging_.assign(size_t{setup_.bufferFrames} * block, 0);
        stream_ = pa_stream_new(connection_->Context(), "Veltaro", &sampleSpec, &map);
        if (stream_ == nullptr) return E_FAIL;
        pa_stream_set_state_callback(stream_, &StreamState, this);
        const uint32_t period = setup_.periodFrames * static_cast<uint32_t>(setup_.format.BlockAlign());
        const uint32_t buffer = setup_.bufferFrames * static_cast<uint32_t>(setup_.format.BlockAlign());
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        // Without DONT_MOVE the server moves the stream of an unplugged
        // device to another one, and the input would go on from there.
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED | PA_STREAM_DONT_MOVE);
        const QByteArray device = deviceName.toUtf8();
        int err;
        if (flow_ == DataFlow::Capture) {
            attr.fragsize = period;
            attr.tlength = attr.minreq = static_cast<uint32_t>(-1);
            pa_stream_set_read_callback(stream_, &Readable, this);
            err = pa_stream_connect_record(stream_, device.constData(), &attr, flags);
        } else {
            // A server buffer of only a period or two stops asking for data
            // once it has run dry; 100 ms at least keeps the requests coming.
            attr.tlength = std::max(buffer, static_cast<uint32_t>(pa_usec_to_bytes(100000, &sampleSpec)));
            attr.minreq = period;
            // Start at once and play silence over an underrun instead of waiting to refill.
            attr.prebuf = 0;
            attr.fragsize = static_cast<uint32_t>(-1);
            pa_stream_set_write_callback(stream_, &Writable, this);
            err = pa_stream_connect_playback(stream_, device.constData(), &attr, flags, nullptr, nullptr);
        }
        if (err < 0) return AUDCLNT_E_DEVICE_INVALIDATED;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream_);
            if (state == PA_STREAM_READY) break;
            if (!PA_STREAM_IS_GOOD(state)) return AUDCLNT_E_DEVICE_INVALIDATED;
            connection_->WaitLocked();
        }
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
        const uint32_t latencyBytes = granted ? (flow_ == DataFlow::Capture ? granted->fragsize : granted->tlength) : period;
        latency_ = static_cast<int64_t>(pa_bytes_to_usec(latencyBytes, &sampleSpec)) * 10;
        streamIndex_ = pa_stream_get_index(stream_);
        deviceIndex_ = pa_stream_get_device_index(stream_);
        connection_->AddWatcherLocked(this);
        QueryVolumesLocked(true);
        ready_ = true;
        return S_OK;
    }

    HResult Start() override { return Cork(false); }
    HResult Stop() override { return Cork(true); }

    void Flush() override {
        PulseConnection::Locked locked(*connection_);
        if (stream_) connection_->AwaitLocked(pa_stream_flush(stream_, &Done, connection_.get()));
        partialBytes_ = 0;
    }

    void Kick() override {
        PulseConnection::Locked locked(*connection_);
        if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
        const size_t writable = pa_stream_writable_size(stream_);
        if (writable != static_cast<size_t>(-1)) Feed(writable);
    }

    HResult GetVolume(float* volume, bool* muted) override {
        PulseConnection::Locked locked(*connection_);
        QueryVolumesLocked(true);
        *volume = streamVolume_ * deviceVolume_;
        *muted = streamMuted_ || deviceMuted_;
        return volumeKnown_ ? S_OK : E_FAIL;
    }

    HResult SetVolume(float volume) override {
        PulseConnection::Locked locked(*connection_);
        pa_cvolume cv;
        pa_cvolume_set(&cv, static_cast<unsigned>(setup_.format.channels), pa_sw_volume_from_linear(volume));
        pa_context* c = connection_->Context();
        pa_operation* op = flow_ == DataFlow::Capture
                               ? pa_context_set_source_output_volume(c, streamIndex_, &cv, &Succeeded, connection_.get())
                               : pa_context_set_sink_input_volume(c, streamIndex_, &cv, &Succeeded, connection_.get());
        return connection_->AwaitLocked(op) ? S_OK : E_FAIL;
    }

    HResult SetMute(bool muted) override {
        PulseConnection::Locked locked(*connection_);
        pa_context* c = connection_->Context();
        pa_operation* op = flow_ == DataFlow::Capture
                               ? pa_context_set_source_output_mute(c, streamIndex_, muted, &Succeeded, connection_.get())
                               : pa_context_set_sink_input_mute(c, streamIndex_, muted, &Succeeded, connection_.get());
        return connection_->AwaitLocked(op) ? S_OK : E_FAIL;
    }

    int64_t Latency() const override { return latency_; }

    // A source, sink or stream of the server changed; locked (server thread).
    void ServerChangedLocked(pa_subscription_event_type_t facility, uint32_t index) {
        const bool mine = (facility == PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT || facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT)
                              ? index == streamIndex_
                              : index == deviceIndex_;
        const bool rightKind = flow_ == DataFlow::Capture ? (facility == PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT ||
                                                             facility == PA_SUBSCRIPTION_EVENT_SOURCE)
                                                          : (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT ||
                                                             facility == PA_SUBSCRIPTION_EVENT_SINK);
        if (mine && rightKind) QueryVolumesLocked(false);
    }

private:
    HResult Cork(bool cork) {
        PulseConnection::Locked locked(*connection_);
        if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return AUDCLNT_E_DEVICE_INVALIDATED;
        if (!connection_->AwaitLocked(pa_stream_cork(stream_, cork ? 1 : 0, &Done, connection_.get()))) return E_FAIL;
        if (!cork && flow_ == DataFlow::Render) {
            const size_t writable = pa_stream_writable_size(stream_);
            if (writable != static_cast<size_t>(-1)) Feed(writable);
            sink_->Signal();
        }
        return S_OK;
    }

    // Asks the server for the volumes of the stream and its device. With
    // wait, returns once both answered; otherwise the answers come later and
    // report a change to the session.
    void QueryVolumesLocked(bool wait) {
        pa_context* c = connection_->Context();
        auto* streamToken = new VolumeToken(watch_);
        auto* deviceToken = new VolumeToken(watch_);
        pa_operation* a;
        pa_operation* b;
        if (flow_ == DataFlow::Capture) {
            a = pa_context_get_source_output_info(c, streamIndex_, &SourceOutputInfo, streamToken);
            b = pa_context_get_source_info_by_index(c, deviceIndex_, &SourceInfo, deviceToken);
        } else {
            a = pa_context_get_sink_input_info(c, streamIndex_, &SinkInputInfo, streamToken);
            b = pa_context_get_sink_info_by_index(c, deviceIndex_, &SinkInfo, deviceToken);
        }
        if (a == nullptr) delete streamToken;
        else connection_->AwaitAnswerLocked(streamToken);
        if (b == nullptr) delete deviceToken;
        else connection_->AwaitAnswerLocked(deviceToken);
        if (wait) {
            connection_->AwaitLocked(a);
            connection_->AwaitLocked(b);
        } else {
            if (a) pa_operation_unref(a);
            if (b) pa_operation_unref(b);
        }
    }

    void VolumesAnswered(bool ofStream, const pa_cvolume& volume, bool muted) {
        const float before = streamVolume_ * deviceVolume_;
        const bool mutedBefore = streamMuted_ || deviceMuted_;
        (ofStream ? streamVolume_ : deviceVolume_) = LinearOf(volume);
        (ofStream ? streamMuted_ : deviceMuted_) = muted;
        const float after = streamVolume_ * deviceVolume_;
        const bool mutedAfter = streamMuted_ || deviceMuted_;
        if (volumeKnown_ && (after != before || mutedAfter != mutedBefore)) sink_->VolumeChanged(after, mutedAfter);
        if (ofStream) streamAnswered_ = true;
        else deviceAnswered_ = true;
        volumeKnown_ = streamAnswered_ && deviceAnswered_;
    }

    template <typename Info>
    static void Answer(const Info* info, int eol, void* token, bool ofStream) {
        auto* watch = static_cast<VolumeToken*>(token);
        PulseConnection* connection = (*watch)->connection;
        if (eol) {
            connection->AnsweredLocked(watch);
        } else if (info && (*watch)->owner) {
            (*watch)->owner->VolumesAnswered(ofStream, info->volume, info->mute != 0);
        }
        connection->Wake();
    }

    static void SourceOutputInfo(pa_context*, const pa_source_output_info* i, int eol, void* t) { Answer(i, eol, t, true); }
    static void SinkInputInfo(pa_context*, const pa_sink_input_info* i, int eol, void* t) { Answer(i, eol, t, true); }
    static void SourceInfo(pa_context*, const pa_source_info* i, int eol, void* t) { Answer(i, eol, t, false); }
    static void SinkInfo(pa_context*, const pa_sink_info* i, int eol, void* t) { Answer(i, eol, t, false); }

    static void StreamState(pa_stream* s, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        me->TellWhenEnded(pa_stream_get_state(s));
        me->connection_->Wake();
    }

    // A stream that was ready and ends without our asking (our own close
    // removes this callback first) lost its device or its server.
    void TellWhenEnded(pa_stream_state_t state) {
        if (!ready_ || ended_ || PA_STREAM_IS_GOOD(state)) return;
        ended_ = true;
        const bool serverGone = !PA_CONTEXT_IS_GOOD(pa_context_get_state(connection_->Context()));
        sink_->Disconnected(serverGone ? kDisconnectServerShutdown : kDisconnectDeviceRemoval);
    }
    static void Done(pa_stream*, int, void* connection) { static_cast<PulseConnection*>(connection)->Wake(); }
    static void Succeeded(pa_context*, int, void* connection) { static_cast<PulseConnection*>(connection)->Wake(); }

    static void Readable(pa_stream* s, size_t, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        for (;;) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) break;
            me->Arrived(static_cast<const uint8_t*>(data), bytes);
            pa_stream_drop(s);
        }
        me->sink_->Signal();
    }

    static void Writable(pa_stream*, size_t bytes, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        me->Feed(bytes);
        me->sink_->Signal();
    }

    // Hands whole frames to the client, straight from the server's memory; a
    // frame split between two pieces waits in partial_, and a hole in the
    // stream arrives as silence. Nothing here allocates: it runs for every
    // piece the server sends.
    void Arrived(const uint8_t* data, size_t bytes) {
        const size_t block = static_cast<size_t>(setup_.format.BlockAlign());
        if (partialBytes_ > 0) {
            const size_t take = std::min(block - partialBytes_, bytes);
            CopyOrSilence(partial_.data() + partialBytes_, data, take);
            partialBytes_ += take;
            bytes -= take;
            if (data != nullptr) data += take;
            if (partialBytes_ < block) return;
            sink_->Deliver(partial_.data(), 1);
            partialBytes_ = 0;
        }
        const size_t whole = bytes / block;
        if (data != nullptr) {
            if (whole > 0) sink_->Deliver(data, static_cast<uint32_t>(whole));
        } else {
            DeliverSilence(whole);
        }
        partialBytes_ = bytes - whole * block;
        CopyOrSilence(partial_.data(), data ? data + whole * block : nullptr, partialBytes_);
    }

    static void CopyOrSilence(uint8_t* to, const uint8_t* from, size_t bytes) {
        if (from != nullptr) std::memcpy(to, from, bytes);
        else std::memset(to, 0, bytes);
    }

    void DeliverSilence(size_t frames) {
        const size_t chunk = silence_.size() / static_cast<size_t>(setup_.format.BlockAlign());
        while (frames > 0 && chunk > 0) {
            const size_t n = std::min(frames, chunk);
            sink_->Deliver(silence_.data(), static_cast<uint32_t>(n));
            frames -= n;
        }
    }

    // Moves what the client queued to the server, up to bytes, through a
    // staging buffer sized once for the client's whole buffer.
    void Feed(size_t bytes) {
        const size_t block = static_cast<size_t>(setup_.format.BlockAlign());
        const auto room = static_cast<uint32_t>(std::min(bytes, staging_.size()) / block);
        const uint32_t frames = std::min(room, sink_->Pending());
        if (frames == 0) return;
        const uint32_t taken = sink_->Take(staging_.data(), frames);
        if (taken > 0) pa_stream_write(stream_, staging_.data(), size_t{taken} * block, nullptr, 0, PA_SEEK_RELATIVE);
    }

    const std::shared_ptr<PulseConnection> connection_;
    const DataFlow flow_;
    const StreamSetup setup_;
    StreamSink* const sink_;
    const std::shared_ptr<VolumeWatch> watch_;
    pa_stream* stream_ = nullptr;
    uint32_t streamIndex_ = PA_INVALID_INDEX;
    uint32_t deviceIndex_ = PA_INVALID_INDEX;
    int64_t latency_ = 0;
    std::array<uint8_t, 8> partial_{};  // the widest frame: two 32-bit samples
    size_t partialBytes_ = 0;
    std::vector<uint8_t> staging_;      // render: the client's buffer, sized at connect
    std::vector<uint8_t> silence_;      // capture: zeros for a hole, sized at connect
    float streamVolume_ = 1.0f;
    float deviceVolume_ = 1.0f;
    bool streamMuted_ = false;
    bool deviceMuted_ = false;
    bool streamAnswered_ = false;
    bool deviceAnswered_ = false;
    bool volumeKnown_ = false;
    // Changed with the connection locked.
    bool ready_ = false;
    bool ended_ = false;
};

void PulseConnection::ServerEvent(pa_context*, pa_subscription_event_type_t type, uint32_t index, void* self) {
    auto* me = static_cast<PulseConnection*>(self);
    if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE) return;
    const auto facility = static_cast<pa_subscription_event_type_t>(type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK);
    for (PulseStream* stream : me->watchers_) stream->ServerChangedLocked(facility, index);
}

class PulseBackend : public EndpointBackend {
public:
    PulseBackend(std::shared_ptr<PulseConnection> connection, DataFlow flow, QString deviceName)
        : connection_(std::move(connection)), flow_(flow), deviceName_(std::move(deviceName)) {}

    DataFlow Flow() const override { return flow_; }

    HResult Supports(ShareMode mode, const PcmFormat& format, bool) const override {
        if (mode == ShareMode::Exclusive) return AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED;
        if (format.IsValid() && format.channels <= 2 && format.rate <= 192000) return S_OK;
        return AUDCLNT_E_UNSUPPORTED_FORMAT;
    }

    void Periods(int64_t* defaultPeriod, int64_t* minimumPeriod) const override {
        *defaultPeriod = kPulseDefaultPeriod;
        *minimumPeriod = kPulseMinimumPeriod;
    }

    HResult OpenTransport(const StreamSetup& setup, StreamSink* sink,
                          std::unique_ptr<StreamTransport>* transport) override {
        if (!connection_->Ready()) return AUDCLNT_E_DEVICE_INVALIDATED;
        auto stream = std::make_unique<PulseStream>(connection_, flow_, setup, sink);
        const HResult hr = stream->Connect(deviceName_);
        if (Failed(hr)) return hr;
        *transport = std::move(stream);
        return S_OK;
    }

private:
    std::shared_ptr<PulseConnection> connection_;
    DataFlow flow_;
    QString deviceName_;
};

struct ListingWork {
    PulseConnection* connection;
    std::shared_ptr<PulseConnection> shared;
    PulseListing* listing;
    QString defaultSource;
    QString defaultSink;
};

EndpointEntry EntryFor(ListingWork& work, DataFlow flow, const char* name, const char* description) {
    const QString device = QString::fromUtf8(name);
    const QString prefix = flow == DataFlow::Capture ? QStringLiteral("pulse:source:") : QStringLiteral("pulse:sink:");
    const QString text = description && *description ? QString::fromUtf8(description) : device;
    return {prefix + device, text, SimulatedEndpointSetup::NameState::Text,
            std::make_shared<PulseBackend>(work.shared, flow, device)};
}

void ServerInfo(pa_context*, const pa_server_info* info, void* w) {
    auto* work = static_cast<ListingWork*>(w);
    if (info) {
        work->defaultSource = QString::fromUtf8(info->default_source_name ? info->default_source_name : "");
        work->defaultSink = QString::fromUtf8(info->default_sink_name ? info->default_sink_name : "");
    }
    work->connection->Wake();
}

void ListSource(pa_context*, const pa_source_info* info, int eol, void* w) {
    auto* work = static_cast<ListingWork*>(w);
    // A sink's monitor is no capture device of its own.
    if (!eol && info && info->monitor_of_sink == PA_INVALID_INDEX)
        work->listing->capture.push_back(EntryFor(*work, DataFlow::Capture, info->name, info->description));
    work->connection->Wake();
}

void ListSink(pa_context*, const pa_sink_info* info, int eol, void* w) {
    auto* work = static_cast<ListingWork*>(w);
    if (!eol && info) work->listing->render.push_back(EntryFor(*work, DataFlow::Render, info->name, info->description));
    work->connection->Wake();
}

}  // namespace

PulseListing ListPulseEndpoints() {
    PulseListing listing;
    const std::shared_ptr<PulseConnection> connection = PulseConnection::Get();
    if (!connection) return listing;
    ListingWork work{connection.get(), connection, &listing, {}, {}};
    PulseConnection::Locked locked(*connection);
    pa_context* c = connection->Context();
    connection->AwaitLocked(pa_context_get_server_info(c, &ServerInfo, &work));
    connection->AwaitLocked(pa_context_get_source_info_list(c, &ListSource, &work));
    connection->AwaitLocked(pa_context_get_sink_info_list(c, &ListSink, &work));
    if (!work.defaultSource.isEmpty()) listing.defaultCaptureId = QStringLiteral("pulse:source:") + work.defaultSource;
    if (!work.defaultSink.isEmpty()) listing.defaultRenderId = QStringLiteral("pulse:sink:") + work.defaultSink;
    return listing;
}

}  // namespace platform

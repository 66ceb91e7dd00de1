// The simulated core-audio endpoints: their list (from the configuration or
// set by a test), what formats they take, and the device side of their
// streams, which runs one period at a time in real time.
#include <QDebug>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/wasapi_backends.h"

namespace platform {

namespace {

class PacedTransport;

struct SimulatedState {
    std::mutex lock;
    std::optional<std::vector<SimulatedEndpointSetup>> replaced;
    std::map<QString, std::pair<float, bool>> volumes;  // changed session volumes by endpoint id
    std::vector<PacedTransport*> live;
    std::set<QString> exclusive;
};

SimulatedState& State() {
    static SimulatedState* state = new SimulatedState;  // streams may still run at exit
    return *state;
}

std::vector<SimulatedEndpointSetup> ConfiguredSpecs() {
    const SimulatedAudioConfig config = ReadSimulatedAudioConfig();
    std::vector<SimulatedEndpointSetup> specs;
    if (!config.enabled) return specs;
    auto capture = [&](const QString& id, const QString& name, const SimulatedSignal& signal) {
        SimulatedEndpointSetup endpoint;
        endpoint.id = id;
        endpoint.friendlyName = name;
        endpoint.flow = DataFlow::Capture;
        endpoint.signal = signal;
        specs.push_back(endpoint);
    };
    capture(QStringLiteral("sim:capture:sine"), kSimulatedSineName, config.SineSignal());
    capture(QStringLiteral("sim:capture:noise"), kSimulatedNoiseName, config.NoiseSignal());
    if (!config.wavFile.isEmpty()) capture(QStringLiteral("sim:capture:wav"), kSimulatedWavName, config.WavSignal());
    SimulatedEndpointSetup output;
    output.id = QStringLiteral("sim:render:output");
    output.friendlyName = kSimulatedOutputName;
    output.flow = DataFlow::Render;
    specs.push_back(output);
    return specs;
}

std::vector<SimulatedEndpointSetup> CurrentSpecs() {
    {
        std::lock_guard guard(State().lock);
        if (State().replaced) return *State().replaced;
    }
    return ConfiguredSpecs();
}

bool Contains(const std::vector<int32_t>& list, int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

class PacedTransport : public StreamTransport {
public:
    PacedTransport(const StreamSetup& setup, StreamSink* sink, std::unique_ptr<SignalSource> source, QString id)
        : setup_(setup), sink_(sink), source_(std::move(source)), id_(std::move(id)),
          bytes_(size_t{setup.periodFrames} * setup.format.BlockAlign()),
          scratch_(size_t{setup.periodFrames} * setup.format.channels) {
        std::lock_guard guard(State().lock);
        State().live.push_back(this);
        if (setup_.mode == ShareMode::Exclusive) State().exclusive.insert(id_);
    }

    ~PacedTransport() override {
        Stop();
        std::lock_guard guard(State().lock);
        auto& live = State().live;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        if (setup_.mode == ShareMode::Exclusive) State().exclusive.erase(id_);
    }

    HResult Start() override {
        if (thread_.joinable()) return S_FALSE;
        interrupt_.Clear();
        thread_ = std::thread([this] { Run(); });
        return S_OK;
    }

    HResult Stop() override {
        if (!thread_.joinable()) return S_FALSE;
        interrupt_.Raise();
        thread_.join();
        return S_OK;
    }

    void Flush() override {}

    HResult GetVolume(float* volume, bool* muted) override {
        std::lock_guard guard(State().lock);
        const auto [v, m] = VolumeLocked();
        *volume = v;
        *muted = m;
        return S_OK;
    }

    HResult SetVolume(float volume) override {
        bool muted;
        {
            std::lock_guard guard(State().lock);
            muted = VolumeLocked().second;
        }
        SetSimulatedEndpointVolume(id_, volume, muted);
        return S_OK;
    }

    HResult SetMute(bool muted) override {
        float volume;
        {
            std::lock_guard guard(State().lock);
            volume = VolumeLocked().first;
        }
        SetSimulatedEndpointVolume(id_, volume, muted);
        return S_OK;
    }

    int64_t Latency() const override { return int64_t{setup_.periodFrames} * 10'000'000 / setup_.format.rate; }

    const QString& Id() const { return id_; }
    void TellVolume(float volume, bool muted) { sink_->VolumeChanged(volume, muted); }

    std::pair<float, bool> initialVolume{1.0f, false};

private:
    std::pair<float, bool> VolumeLocked() const {
        const auto it = State().volumes.find(id_);
        return it != State().volumes.end() ? it->second : initialVolume;
    }

    void Run() {
        try {
            using Clock = std::chrono::steady_clock;
            const Clock::time_point start = Clock::now();
            const int64_t rate = setup_.format.rate;
            for (int64_t period = 1;; ++period) {
                const int64_t frames = period * setup_.periodFrames;
                const auto due = start + std::chrono::nanoseconds(frames / rate * 1'000'000'000 +
                                                                  frames % rate * 1'000'000'000 / rate);
                if (!interrupt_.SleepUntil(due)) return;
                if (source_) Capture();
                else Render();
                sink_->Signal();
            }
        } catch (const std::exception& e) {
            qWarning("simulated endpoint %s failed: %s", qPrintable(id_), e.what());
        } catch (...) {
            qWarning("simulated endpoint %s failed", qPrintable(id_));
        }
    }

    void Capture() {
        source_->Render(scratch_.data(), static_cast<int32_t>(setup_.periodFrames), setup_.format.channels);
        StoreSamples(scratch_.data(), static_cast<int32_t>(setup_.periodFrames), setup_.format, bytes_.data());
        sink_->Deliver(bytes_.data(), setup_.periodFrames);
    }

    void Render() {
        const uint32_t got = sink_->Take(bytes_.data(), setup_.periodFrames);
        // What the client did not provide in time plays as silence.
        std::fill(bytes_.begin() + size_t{got} * setup_.format.BlockAlign(), bytes_.end(), uint8_t{0});
        TapSimulatedOutput(bytes_.data(), static_cast<int32_t>(setup_.periodFrames), setup_.format);
    }

    const StreamSetup setup_;
    StreamSink* const sink_;
    std::unique_ptr<SignalSource> source_;
    const QString id_;
    std::vector<uint8_t> bytes_;
    std::vector<double> scratch_;
    StreamInterrupt interrupt_;
    std::thread thread_;
};

class SimulatedBackend : public EndpointBackend {
public:
    explicit SimulatedBackend(SimulatedEndpointSetup endpoint) : spec_(std::move(endpoint)) {}

    DataFlow Flow() const override { return spec_.flow; }

    HResult Supports(ShareMode mode, const PcmFormat& format, bool extensible) const override {
        const bool channelsOk = (format.channels == 2 && spec_.stereo) || (format.channels == 1 && spec_.mono);
        const bool codingOk = extensible ? spec_.acceptsExtensible : spec_.acceptsPlain;
        const auto& depths = mode == ShareMode::Exclusive ? spec_.exclusiveBits : spec_.sharedBits;
        if (format.rate == 48000 && channelsOk && codingOk && Contains(depths, format.bits)) return S_OK;
        return AUDCLNT_E_UNSUPPORTED_FORMAT;
    }

    void Periods(int64_t* defaultPeriod, int64_t* minimumPeriod) const override {
        *defaultPeriod = spec_.defaultPeriod;
        *minimumPeriod = spec_.minimumPeriod;
    }

    uint32_t ExclusiveAlignmentFrames() const override { return spec_.exclusiveAlignmentFrames; }

    HResult OpenTransport(const StreamSetup& setup, StreamSink* sink,
                          std::unique_ptr<StreamTransport>* transport) override {
        {
            std::lock_guard guard(State().lock);
            if (State().exclusive.count(spec_.id)) return AUDCLNT_E_DEVICE_IN_USE;
            if (setup.mode == ShareMode::Exclusive) {
                for (const PacedTransport* t : State().live)
                    if (t->Id() == spec_.id) return AUDCLNT_E_DEVICE_IN_USE;
            }
        }
        std::unique_ptr<SignalSource> source;
        if (spec_.flow == DataFlow::Capture) {
            QString error;
            source = MakeSignalSource(spec_.signal, setup.format.rate, &error);
            if (!source) {
                qWarning("%s", qPrintable(error));
                return E_FAIL;
            }
        }
        auto paced = std::make_unique<PacedTransport>(setup, sink, std::move(source), spec_.id);
        paced->initialVolume = {spec_.volume, spec_.muted};
        *transport = std::move(paced);
        return S_OK;
    }

private:
    SimulatedEndpointSetup spec_;
};

}  // namespace

std::vector<EndpointEntry> ListSimulatedEndpoints(DataFlow flow) {
    std::vector<EndpointEntry> entries;
    for (const SimulatedEndpointSetup& endpoint : CurrentSpecs()) {
        if (endpoint.flow != flow) continue;
        entries.push_back({endpoint.id, endpoint.friendlyName, endpoint.nameState, std::make_shared<SimulatedBackend>(endpoint)});
    }
    return entries;
}

std::unique_ptr<StreamTransport> MakePacedTransport(const StreamSetup& setup, StreamSink* sink,
                                                    std::unique_ptr<SignalSource> source, const QString& endpointId) {
    return std::make_unique<PacedTransport>(setup, sink, std::move(source), endpointId);
}

void SetSimulatedEndpoints(std::vector<SimulatedEndpointSetup> endpoints) {
    std::lock_guard guard(State().lock);
    State().replaced = std::move(endpoints);
    State().volumes.clear();
}

void ResetSimulatedEndpoints() {
    std::lock_guard guard(State().lock);
    State().replaced.reset();
    State().volumes.clear();
}

bool SetSimulatedEndpointVolume(const QString& id, float volume, bool muted) {
    const std::vector<SimulatedEndpointSetup> specs = CurrentSpecs();
    const bool known = std::any_of(specs.begin(), specs.end(), [&](const auto& s) { return s.id == id; });
    if (!known) return false;
    std::lock_guard guard(State().lock);
    State().volumes[id] = {volume, muted};
    for (PacedTransport* t : State().live)
        if (t->Id() == id) t->TellVolume(volume, muted);
    return true;
}

}  // namespace platform

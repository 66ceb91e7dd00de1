// The JACK driver behind the ASIO shape: one client of a running server.
// Its input channels are the server's physical capture ports, its outputs
// the physical playback ports; the client's own ports ("in_1", "out_1", ...)
// keep their names across runs so that other clients can be wired to them.
//
// The process callback copies the input ports into half idx, lets the host
// convert it directly (buffer switch with direct processing), plays the
// host's output half idx and flips idx. It allocates and locks nothing.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/asio_drivers_internal.h"
#include "platform/jack_client.h"

namespace platform {

namespace {

struct Channel {
    std::string physical;          // the server's port this channel stands for
    jack_port_t* port = nullptr;   // our own port, while the buffers exist
    float* halves[2] = {nullptr, nullptr};
    bool input = true;
};

class JackAsioDriver : public AsioDriver {
public:
    ~JackAsioDriver() override {
        if (client_ == nullptr) return;
        if (active_) jack_deactivate(client_);
        AwaitLastCycle();
        ReleaseBuffers();
        jack_client_close(client_);
    }

    int32_t init(WindowHandle) override {
        if (client_ != nullptr) return kAsioTrue;
        client_ = OpenJackClient("Veltaro");
        if (client_ == nullptr) return kAsioFalse;
        jack_on_info_shutdown(client_, &ServerGone, this);
        jack_set_process_callback(client_, &Process, this);
        jack_set_sample_rate_callback(client_, &RateChanged, this);
        jack_set_buffer_size_callback(client_, &SizeChanged, this);
        rate_.store(jack_get_sample_rate(client_));
        period_.store(static_cast<int32_t>(jack_get_buffer_size(client_)));
        physicalIn_ = PortNames(JackPortIsPhysical | JackPortIsOutput);
        physicalOut_ = PortNames(JackPortIsPhysical | JackPortIsInput);
        return kAsioTrue;
    }

    AsioError start() override {
        if (!Usable() || channels_.empty()) return ASE_NotPresent;
        if (!active_) {
            if (jack_activate(client_) != 0) return ASE_HWMalfunction;
            active_ = true;
        }
        for (const Channel& c : channels_) {
            const char* own = jack_port_name(c.port);
            if (c.input) jack_connect(client_, c.physical.c_str(), own);
            else jack_connect(client_, own, c.physical.c_str());
        }
        return ASE_OK;
    }

    AsioError stop() override {
        if (client_ == nullptr) return ASE_NotPresent;
        if (active_ && !dead_.load()) jack_deactivate(client_);
        active_ = false;
        AwaitLastCycle();
        return ASE_OK;
    }

    AsioError getChannels(int32_t* inputs, int32_t* outputs) override {
        if (!Usable()) return ASE_NotPresent;
        if (inputs) *inputs = static_cast<int32_t>(physicalIn_.size());
        if (outputs) *outputs = static_cast<int32_t>(physicalOut_.size());
        return ASE_OK;
    }

    AsioError getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred, int32_t* granularity) override {
        if (!Usable()) return ASE_NotPresent;
        const int32_t period = static_cast<int32_t>(jack_get_buffer_size(client_));
        if (minimum) *minimum = period;
        if (maximum) *maximum = period;
        if (preferred) *preferred = period;
        if (granularity) *granularity = 0;
        return ASE_OK;
    }

    // Only the server's own rate: a client cannot change it.
    AsioError canSampleRate(double rate) override {
        if (!Usable()) return ASE_NotPresent;
        return rate == static_cast<double>(jack_get_sample_rate(client_)) ? ASE_OK : ASE_NoClock;
    }

    // libjack answers the old rate after the server died: the shutdown tells.
    AsioError getSampleRate(double* rate) override {
        if (!Usable()) return ASE_NotPresent;
        if (rate) *rate = static_cast<double>(jack_get_sample_rate(client_));
        return ASE_OK;
    }

    AsioError setSampleRate(double rate) override { return canSampleRate(rate); }

    AsioError getChannelInfo(AsioChannelInfo* info) override {
        if (!Usable() || info == nullptr) return ASE_NotPresent;
        const std::vector<std::string>& list = info->isInput ? physicalIn_ : physicalOut_;
        if (info->channel < 0 || info->channel >= static_cast<int32_t>(list.size())) return ASE_InvalidParameter;
        info->isActive = kAsioFalse;
        info->channelGroup = 0;
        info->type = kAsioFloat32LSB;
        std::memset(info->name, 0, sizeof info->name);
        const std::string& full = list[info->channel];
        const std::string shortName = full.substr(full.find(':') + 1);
        std::strncpy(info->name, shortName.c_str(), sizeof info->name - 1);
        return ASE_OK;
    }

    AsioError createBuffers(AsioBufferInfo* infos, int32_t count, int32_t size, const AsioCallbacks* callbacks) override {
        if (!Usable() || infos == nullptr || callbacks == nullptr || count <= 0) return ASE_InvalidParameter;
        if (size != static_cast<int32_t>(jack_get_buffer_size(client_))) return ASE_InvalidMode;
        ReleaseBuffers();
        channels_.reserve(static_cast<size_t>(count));
        int32_t ins = 0, outs = 0;
        for (int32_t i = 0; i < count; ++i) {
            const bool input = infos[i].isInput != 0;
            const std::vector<std::string>& list = input ? physicalIn_ : physicalOut_;
            if (infos[i].channelNum < 0 || infos[i].channelNum >= static_cast<int32_t>(list.size())) {
                ReleaseBuffers();
                return ASE_InvalidParameter;
            }
            Channel c;
            c.input = input;
            c.physical = list[infos[i].channelNum];
            const std::string name = (input ? "in_" : "out_") + std::to_string(input ? ++ins : ++outs);
            c.port = jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        input ? JackPortIsInput : JackPortIsOutput, 0);
            if (c.port == nullptr) {
                ReleaseBuffers();
                return ASE_NoMemory;
            }
            for (float*& half : c.halves) half = new float[static_cast<size_t>(size)]();
            infos[i].buffers[0] = c.halves[0];
            infos[i].buffers[1] = c.halves[1];
            channels_.push_back(c);
        }
        size_ = size;
        half_ = 0;
        callbacks_.store(callbacks);
        return ASE_OK;
    }

    AsioError disposeBuffers() override {
        if (client_ == nullptr) return ASE_NotPresent;
        if (active_ && !dead_.load()) jack_deactivate(client_);
        active_ = false;
        AwaitLastCycle();
        ReleaseBuffers();
        return ASE_OK;
    }

    AsioError controlPanel() override { return ASE_NotPresent; }

private:
    bool Usable() const { return client_ != nullptr && !dead_.load(); }

    std::vector<std::string> PortNames(unsigned long flags) {
        std::vector<std::string> names;
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
        if (ports == nullptr) return names;
        for (const char** p = ports; *p; ++p) names.emplace_back(*p);
        jack_free(ports);
        return names;
    }

    void ReleaseBuffers() {
        callbacks_.store(nullptr);
        for (Channel& c : channels_) {
            if (c.port && !dead_.load()) jack_port_unregister(client_, c.port);
            for (float* half : c.halves) delete[] half;
        }
        channels_.clear();
    }

    // jack_deactivate waits for the process thread through the server, a
    // wait no thread checker sees; the cycle count states the hand-over: a
    // cycle ends with a release, the client's owner acquires after deactivating.
    void AwaitLastCycle() { (void)cycles_.load(std::memory_order_acquire); }

    static int Process(jack_nframes_t frames, void* self) {
        auto* me = static_cast<JackAsioDriver*>(self);
        return RunUncancelled([&] {
            const int result = me->Cycle(frames);
            me->cycles_.fetch_add(1, std::memory_order_release);
            return result;
        });
    }

    int Cycle(jack_nframes_t frames) {
        JackAsioDriver* me = this;
        const AsioCallbacks* callbacks = me->callbacks_.load(std::memory_order_acquire);
        if (callbacks == nullptr || me->channels_.empty()) return 0;
        // A cycle of another size than the buffers converts nothing; the
        // size callback has asked the host for a restart.
        if (static_cast<int32_t>(frames) != me->size_) return 0;
        const int idx = me->half_;
        for (Channel& c : me->channels_) {
            if (!c.input) continue;
            const auto* in = static_cast<const float*>(jack_port_get_buffer(c.port, frames));
            std::memcpy(c.halves[idx], in, sizeof(float) * frames);
        }
        callbacks->bufferSwitch(idx, kAsioTrue);
        for (Channel& c : me->channels_) {
            if (c.input) continue;
            auto* out = static_cast<float*>(jack_port_get_buffer(c.port, frames));
            std::memcpy(out, c.halves[idx], sizeof(float) * frames);
        }
        me->half_ = 1 - idx;
        return 0;
    }

    // jackd2 calls both of these once when the client registers or
    // activates: only a real change goes on to the host.
    static int RateChanged(jack_nframes_t rate, void* self) {
        auto* me = static_cast<JackAsioDriver*>(self);
        return RunUncancelled([&] {
            if (me->rate_.exchange(rate) == rate) return 0;
            if (const AsioCallbacks* callbacks = me->callbacks_.load()) callbacks->sampleRateDidChange(rate);
            return 0;
        });
    }

    static int SizeChanged(jack_nframes_t frames, void* self) {
        auto* me = static_cast<JackAsioDriver*>(self);
        return RunUncancelled([&] {
            if (me->period_.exchange(static_cast<int32_t>(frames)) == static_cast<int32_t>(frames)) return 0;
            if (const AsioCallbacks* callbacks = me->callbacks_.load())
                callbacks->asioMessage(kAsioBufferSizeChange, static_cast<int32_t>(frames), nullptr, nullptr);
            return 0;
        });
    }

    static void ServerGone(jack_status_t, const char*, void* self) {
        auto* me = static_cast<JackAsioDriver*>(self);
        RunUncancelled([&] {
            me->dead_.store(true);
            if (const AsioCallbacks* callbacks = me->callbacks_.load())
                callbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
        });
    }

    jack_client_t* client_ = nullptr;
    bool active_ = false;
    std::atomic<bool> dead_{false};
    std::atomic<jack_nframes_t> rate_{0};
    std::atomic<int32_t> period_{0};
    std::vector<std::string> physicalIn_;
    std::vector<std::string> physicalOut_;
    std::vector<Channel> channels_;  // changed only while the client is not active
    int32_t size_ = 0;
    int half_ = 0;                   // the process thread's own
    std::atomic<const AsioCallbacks*> callbacks_{nullptr};
    std::atomic<uint64_t> cycles_{0};
};

}  // namespace

std::unique_ptr<AsioDriver> MakeJackAsioDriver() { return std::make_unique<JackAsioDriver>(); }

}  // namespace platform

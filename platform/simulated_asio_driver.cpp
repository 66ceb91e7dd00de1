// The simulated ASIO driver: everything it reports and does is set by a
// test, and its buffer switches come when the test asks for one.
#include <QByteArray>

#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/asio_drivers_internal.h"

namespace platform {

namespace {

std::mutex setupLock;
SimulatedAsioSetup& Setup() {
    static SimulatedAsioSetup* setup = [] {
        auto* s = new SimulatedAsioSetup;
        s->inputs = {{"Sim In 1", kAsioFloat32LSB}, {"Sim In 2", kAsioFloat32LSB}};
        s->outputs = {{"Sim Out 1", kAsioFloat32LSB}, {"Sim Out 2", kAsioFloat32LSB}};
        return s;
    }();
    return *setup;
}

std::atomic<SimulatedAsioControl*> running{nullptr};

int32_t BytesOf(int32_t type) {
    switch (type) {
    case kAsioInt16LSB: return 2;
    case kAsioInt24LSB: return 3;
    case kAsioInt32LSB:
    case kAsioFloat32LSB: return 4;
    case kAsioFloat64LSB: return 8;
    default: return 4;  // a type the host does not know still has some width
    }
}

void Encode(double v, int32_t type, uint8_t* p) {
    switch (type) {
    case kAsioInt16LSB: {
        const auto s = static_cast<int16_t>(std::nearbyint(v * 32767.0));
        std::memcpy(p, &s, 2);
        break;
    }
    case kAsioInt24LSB: {
        const auto s = static_cast<int32_t>(std::nearbyint(v * 8388607.0));
        for (int b = 0; b < 3; ++b) p[b] = static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * b));
        break;
    }
    case kAsioInt32LSB: {
        const auto s = static_cast<int32_t>(std::nearbyint(v * 2147483647.0));
        std::memcpy(p, &s, 4);
        break;
    }
    case kAsioFloat64LSB: std::memcpy(p, &v, 8); break;
    default: {
        const auto f = static_cast<float>(v);
        std::memcpy(p, &f, 4);
    }
    }
}

double Decode(const uint8_t* p, int32_t type) {
    switch (type) {
    case kAsioInt16LSB: {
        int16_t s;
        std::memcpy(&s, p, 2);
        return s / 32767.0;
    }
    case kAsioInt24LSB: {
        const int32_t s = static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24)) >> 8;
        return s / 8388607.0;
    }
    case kAsioInt32LSB: {
        int32_t s;
        std::memcpy(&s, p, 4);
        return s / 2147483647.0;
    }
    case kAsioFloat64LSB: {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    default: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    }
}

class SimulatedAsioDriver : public AsioDriver, public SimulatedAsioControl {
public:
    SimulatedAsioDriver() {
        std::lock_guard guard(setupLock);
        setup_ = Setup();
    }
    ~SimulatedAsioDriver() override { disposeBuffers(); }

    int32_t init(WindowHandle) override { return setup_.initSucceeds ? kAsioTrue : kAsioFalse; }
    AsioError start() override { return Fails("start") ? setup_.failAt : (started_ = true, ASE_OK); }
    AsioError stop() override {
        started_ = false;
        return ASE_OK;
    }
    AsioError getChannels(int32_t* inputs, int32_t* outputs) override {
        if (inputs) *inputs = static_cast<int32_t>(setup_.inputs.size());
        if (outputs) *outputs = static_cast<int32_t>(setup_.outputs.size());
        return ASE_OK;
    }
    AsioError getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred, int32_t* granularity) override {
        if (Fails("getBufferSize")) return setup_.failAt;
        *minimum = setup_.minimum;
        *maximum = setup_.maximum;
        *preferred = setup_.preferred;
        *granularity = setup_.granularity;
        return ASE_OK;
    }
    AsioError canSampleRate(double rate) override {
        for (double r : setup_.rates)
            if (r == rate) return ASE_OK;
        return ASE_NoClock;
    }
    AsioError getSampleRate(double* rate) override {
        if (Fails("getSampleRate")) return setup_.failAt;
        *rate = setup_.rate;
        return ASE_OK;
    }
    AsioError setSampleRate(double rate) override {
        if (canSampleRate(rate) != ASE_OK) return ASE_NoClock;
        setup_.rate = rate;
        return ASE_OK;
    }
    AsioError getChannelInfo(AsioChannelInfo* info) override {
        const auto& list = info->isInput ? setup_.inputs : setup_.outputs;
        if (info->channel < 0 || info->channel >= static_cast<int32_t>(list.size())) return ASE_InvalidParameter;
        if (Fails("getChannelInfo") && (setup_.failChannel < 0 || (info->isInput && setup_.failChannel == info->channel)))
            return setup_.failAt;
        info->type = list[info->channel].type;
        std::memset(info->name, 0, sizeof info->name);
        std::strncpy(info->name, list[info->channel].name.c_str(), sizeof info->name - 1);
        return ASE_OK;
    }
    AsioError createBuffers(AsioBufferInfo* infos, int32_t count, int32_t size, const AsioCallbacks* callbacks) override {
        if (Fails("createBuffers")) return setup_.failAt;
        disposeBuffers();
        for (int32_t i = 0; i < count; ++i) {
            const auto& list = infos[i].isInput ? setup_.inputs : setup_.outputs;
            if (infos[i].channelNum < 0 || infos[i].channelNum >= static_cast<int32_t>(list.size())) return ASE_InvalidParameter;
            Buffer b;
            b.input = infos[i].isInput != 0;
            b.type = list[infos[i].channelNum].type;
            for (auto& half : b.halves) half.assign(static_cast<size_t>(size * BytesOf(b.type)), 0);
            buffers_.push_back(std::move(b));
        }
        for (int32_t i = 0; i < count; ++i) {
            infos[i].buffers[0] = buffers_[i].halves[0].data();
            infos[i].buffers[1] = buffers_[i].halves[1].data();
        }
        size_ = size;
        callbacks_ = callbacks;
        running.store(this);
        return ASE_OK;
    }
    AsioError disposeBuffers() override {
        SimulatedAsioControl* self = this;
        running.compare_exchange_strong(self, nullptr);
        buffers_.clear();
        callbacks_ = nullptr;
        return ASE_OK;
    }
    AsioError controlPanel() override { return ASE_OK; }

    std::vector<double> Cycle(const std::vector<std::vector<double>>& inputs) override {
        std::vector<double> out;
        if (callbacks_ == nullptr || !started_) return out;
        size_t input = 0;
        for (Buffer& b : buffers_) {
            if (!b.input) continue;
            const int32_t bytes = BytesOf(b.type);
            for (int32_t s = 0; s < size_; ++s) {
                const double v = input < inputs.size() && s < static_cast<int32_t>(inputs[input].size()) ? inputs[input][s] : 0.0;
                Encode(v, b.type, b.halves[half_].data() + s * bytes);
            }
            ++input;
        }
        callbacks_->bufferSwitch(half_, setup_.directProcess ? kAsioTrue : kAsioFalse);
        for (Buffer& b : buffers_) {
            if (b.input) continue;
            const int32_t bytes = BytesOf(b.type);
            for (int32_t s = 0; s < size_; ++s) out.push_back(Decode(b.halves[half_].data() + s * bytes, b.type));
            break;
        }
        half_ = 1 - half_;
        return out;
    }

    int32_t Message(int32_t selector, int32_t value) override {
        return callbacks_ ? callbacks_->asioMessage(selector, value, nullptr, nullptr) : 0;
    }
    void RateChanged(double rate) override {
        setup_.rate = rate;
        if (callbacks_) callbacks_->sampleRateDidChange(rate);
    }

private:
    struct Buffer {
        bool input = true;
        int32_t type = kAsioFloat32LSB;
        std::vector<uint8_t> halves[2];
    };

    bool Fails(const char* call) const { return setup_.failCall == call && setup_.failAt != ASE_OK; }

    SimulatedAsioSetup setup_;
    std::vector<Buffer> buffers_;
    const AsioCallbacks* callbacks_ = nullptr;
    int32_t size_ = 0;
    int half_ = 0;
    bool started_ = false;
};

}  // namespace

std::unique_ptr<AsioDriver> MakeSimulatedAsioDriver() { return std::make_unique<SimulatedAsioDriver>(); }

void SetSimulatedAsio(const SimulatedAsioSetup& setup) {
    std::lock_guard guard(setupLock);
    Setup() = setup;
}

void ResetSimulatedAsio() {
    std::lock_guard guard(setupLock);
    Setup() = SimulatedAsioSetup{};
    Setup().inputs = {{"Sim In 1", kAsioFloat32LSB}, {"Sim In 2", kAsioFloat32LSB}};
    Setup().outputs = {{"Sim Out 1", kAsioFloat32LSB}, {"Sim Out 2", kAsioFloat32LSB}};
}

SimulatedAsioControl* RunningSimulatedAsio() { return running.load(); }

QString GuidToText(const Guid& g) {
    return QString::asprintf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3, g.data4[0],
                             g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
}

bool GuidFromText(const QString& text, Guid* guid) {
    const QString t = text.trimmed();
    if (t.size() != 38 || t.front() != u'{' || t.back() != u'}') return false;
    const QString hex = QString(t.mid(1, 36)).remove(u'-');
    if (hex.size() != 32 || t.at(9) != u'-' || t.at(14) != u'-' || t.at(19) != u'-' || t.at(24) != u'-') return false;
    bool ok = true;
    Guid g;
    g.data1 = hex.mid(0, 8).toUInt(&ok, 16);
    if (!ok) return false;
    g.data2 = static_cast<uint16_t>(hex.mid(8, 4).toUInt(&ok, 16));
    if (!ok) return false;
    g.data3 = static_cast<uint16_t>(hex.mid(12, 4).toUInt(&ok, 16));
    if (!ok) return false;
    for (int i = 0; i < 8; ++i) {
        g.data4[i] = static_cast<uint8_t>(hex.mid(16 + 2 * i, 2).toUInt(&ok, 16));
        if (!ok) return false;
    }
    *guid = g;
    return true;
}

std::unique_ptr<AsioDriver> CreateAsioDriver(const Guid& clsid) {
    if (clsid == kJackAsioClsid) return MakeJackAsioDriver();
    if (clsid == kSimulatedAsioClsid) return MakeSimulatedAsioDriver();
    return nullptr;
}

}  // namespace platform

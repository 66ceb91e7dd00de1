#include "platform/simulated_audio.h"

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numbers>
#include <random>

#include "platform/registry.h"

namespace platform {

// --- configuration -------------------------------------------------------------

SimulatedSignal SimulatedAudioConfig::SineSignal() const {
    SimulatedSignal s;
    s.kind = SimulatedSignalKind::Sine;
    s.left = sineLeft;
    s.right = sineRight;
    return s;
}

SimulatedSignal SimulatedAudioConfig::NoiseSignal() const {
    SimulatedSignal s;
    s.kind = SimulatedSignalKind::PinkNoise;
    s.noiseLevelDb = noiseLevelDb;
    return s;
}

SimulatedSignal SimulatedAudioConfig::WavSignal() const {
    SimulatedSignal s;
    s.kind = SimulatedSignalKind::WavFile;
    s.wavFile = wavFile;
    return s;
}

namespace {

// A level or frequency that is not a usable number keeps the default.
double FiniteOr(const std::optional<double>& value, double fallback) {
    return value && std::isfinite(*value) ? *value : fallback;
}

std::optional<bool> EnabledFromEnvironment() {
    const char* env = std::getenv("VELTARO_SIMULATED_AUDIO");
    if (env == nullptr) return std::nullopt;
    if (std::strcmp(env, "0") == 0) return false;
    if (std::strcmp(env, "1") == 0) return true;
    return std::nullopt;
}

}  // namespace

SimulatedAudioConfig ReadSimulatedAudioConfig() {
    SimulatedAudioConfig config;
    Registry reg;
    if (reg.OpenKeyReadOnly(kSimulatedAudioKey)) {
        config.enabled = reg.ReadBool(QStringLiteral("Enabled")).value_or(true);
        config.sineLeft.frequencyHz = FiniteOr(reg.ReadFloat(QStringLiteral("SineFrequency")), 1000.0);
        config.sineLeft.levelDb = FiniteOr(reg.ReadFloat(QStringLiteral("SineLevel")), -20.0);
        config.sineRight.frequencyHz =
            FiniteOr(reg.ReadFloat(QStringLiteral("SineFrequencyRight")), config.sineLeft.frequencyHz);
        config.sineRight.levelDb = FiniteOr(reg.ReadFloat(QStringLiteral("SineLevelRight")), config.sineLeft.levelDb);
        config.noiseLevelDb = FiniteOr(reg.ReadFloat(QStringLiteral("NoiseLevel")), -20.0);
        config.wavFile = reg.ReadString(QStringLiteral("WavFile")).value_or(QString());
    }
    if (const auto env = EnabledFromEnvironment()) config.enabled = *env;
    return config;
}

// --- signal sources ------------------------------------------------------------

namespace {

double DbToLinear(double db) { return std::pow(10.0, db / 20.0); }

class SineSource : public SignalSource {
public:
    SineSource(const SineChannel& left, const SineChannel& right, int32_t rate)
        : channels_{Channel(left, rate), Channel(right, rate)} {}

    void Render(double* out, int32_t frames, int32_t channels) override {
        for (int32_t f = 0; f < frames; ++f) {
            for (int32_t c = 0; c < channels; ++c) out[f * channels + c] = c < 2 ? Next(channels_[c]) : 0.0;
            // A mono stream renders the left channel only; the right one keeps its phase.
            if (channels == 1) Next(channels_[1]);
        }
    }

private:
    struct ChannelState {
        double amplitude = 0.0;
        double step = 0.0;   // phase increment in radians
        double phase = 0.0;
    };

    static ChannelState Channel(const SineChannel& c, int32_t rate) {
        return ChannelState{DbToLinear(c.levelDb), 2.0 * std::numbers::pi * c.frequencyHz / rate, 0.0};
    }

    static double Next(ChannelState& c) {
        const double v = c.amplitude * std::sin(c.phase);
        c.phase = std::fmod(c.phase + c.step, 2.0 * std::numbers::pi);
        return v;
    }

    ChannelState channels_[2];
};

// Pink noise from white noise through a set of first-order sections whose
// sum falls by 3 dB per octave over the audio band.
class PinkChannel {
public:
    explicit PinkChannel(uint32_t seed) : random_(seed) {}

    double Next() {
        const double w = static_cast<double>(random_()) / 2147483648.0 - 1.0;
        b_[0] = 0.99886 * b_[0] + w * 0.0555179;
        b_[1] = 0.99332 * b_[1] + w * 0.0750759;
        b_[2] = 0.96900 * b_[2] + w * 0.1538520;
        b_[3] = 0.86650 * b_[3] + w * 0.3104856;
        b_[4] = 0.55000 * b_[4] + w * 0.5329522;
        b_[5] = -0.7616 * b_[5] - w * 0.0168980;
        const double v = b_[0] + b_[1] + b_[2] + b_[3] + b_[4] + b_[5] + b_[6] + w * 0.5362;
        b_[6] = w * 0.115926;
        return v;
    }

private:
    std::mt19937 random_;
    double b_[7] = {};
};

class PinkNoiseSource : public SignalSource {
public:
    explicit PinkNoiseSource(double levelDb) : left_(38745), right_(91283) {
        // The raw sum has no fixed level: measure it once over a few seconds
        // of a twin generator and scale to the level asked for.
        PinkChannel probe(38745);
        double sum = 0.0;
        constexpr int kProbeSamples = 1 << 18;
        for (int i = 0; i < kProbeSamples; ++i) {
            const double v = probe.Next();
            sum += v * v;
        }
        gain_ = DbToLinear(levelDb) / std::sqrt(sum / kProbeSamples);
    }

    void Render(double* out, int32_t frames, int32_t channels) override {
        for (int32_t f = 0; f < frames; ++f) {
            const double l = gain_ * left_.Next();
            const double r = gain_ * right_.Next();
            for (int32_t c = 0; c < channels; ++c) out[f * channels + c] = c == 0 ? l : (c == 1 ? r : 0.0);
        }
    }

private:
    PinkChannel left_;
    PinkChannel right_;
    double gain_ = 0.0;
};

class SilenceSource : public SignalSource {
public:
    void Render(double* out, int32_t frames, int32_t channels) override {
        std::fill(out, out + int64_t{frames} * channels, 0.0);
    }
};

// --- WAV files -------------------------------------------------------------------

constexpr qint64 kMaxWavBytes = qint64{1} << 30;

uint16_t U16(const char* p) { return static_cast<uint16_t>(uint8_t(p[0]) | (uint8_t(p[1]) << 8)); }
uint32_t U32(const char* p) { return uint32_t(U16(p)) | (uint32_t(U16(p + 2)) << 16); }

struct WavData {
    int32_t channels = 0;
    int32_t rate = 0;
    int32_t bits = 0;
    bool isFloat = false;
    QByteArray samples;  // whole frames only
    int64_t frames = 0;
};

bool Fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

bool ParseFmt(const char* p, uint32_t size, WavData& wav, QString* error) {
    if (size < 16) return Fail(error, QStringLiteral("The format chunk is too short."));
    uint16_t tag = U16(p);
    wav.channels = U16(p + 2);
    wav.rate = static_cast<int32_t>(U32(p + 4));
    const uint16_t blockAlign = U16(p + 12);
    wav.bits = U16(p + 14);
    if (tag == 0xFFFE) {
        if (size < 40) return Fail(error, QStringLiteral("The extensible format chunk is too short."));
        tag = U16(p + 24);  // the first two bytes of the sub-format name the coding
    }
    wav.isFloat = tag == 3;
    if (tag != 1 && tag != 3) return Fail(error, QStringLiteral("Only PCM and floating-point WAV files can be played."));
    const bool bitsOk = wav.isFloat ? (wav.bits == 32 || wav.bits == 64)
                                    : (wav.bits == 8 || wav.bits == 16 || wav.bits == 24 || wav.bits == 32);
    if (!bitsOk) return Fail(error, QStringLiteral("Unsupported sample size of %1 bits.").arg(wav.bits));
    if (wav.channels < 1 || wav.channels > 32) return Fail(error, QStringLiteral("Unsupported channel count."));
    if (wav.rate < 1000 || wav.rate > 768000) return Fail(error, QStringLiteral("Unsupported sample rate."));
    if (blockAlign != wav.channels * wav.bits / 8) return Fail(error, QStringLiteral("Inconsistent block alignment."));
    return true;
}

bool ParseWav(const QByteArray& file, WavData& wav, QString* error) {
    const char* d = file.constData();
    const qint64 n = file.size();
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0)
        return Fail(error, QStringLiteral("The file is not a WAV file."));
    bool haveFmt = false;
    qint64 pos = 12;
    while (pos + 8 <= n) {
        const char* chunk = d + pos;
        const uint32_t size = U32(chunk + 4);
        const qint64 bodyEnd = pos + 8 + qint64{size};
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (bodyEnd > n) return Fail(error, QStringLiteral("The format chunk leaves the file."));
            if (!ParseFmt(chunk + 8, size, wav, error)) return false;
            haveFmt = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFmt) return Fail(error, QStringLiteral("The data chunk comes before the format chunk."));
            // A data chunk cut short by an interrupted recording still plays.
            const qint64 available = std::min<qint64>(size, n - pos - 8);
            const int32_t blockAlign = wav.channels * wav.bits / 8;
            wav.frames = available / blockAlign;
            if (wav.frames < 1) return Fail(error, QStringLiteral("The WAV file holds no samples."));
            wav.samples = file.mid(pos + 8, wav.frames * blockAlign);
            return true;
        }
        pos = bodyEnd + (size & 1);
    }
    return Fail(error, QStringLiteral("The WAV file has no data chunk."));
}

class WavSource : public SignalSource {
public:
    WavSource(WavData wav, int32_t rate)
        : wav_(std::move(wav)), step_(static_cast<double>(wav_.rate) / rate) {}

    void Render(double* out, int32_t frames, int32_t channels) override {
        for (int32_t f = 0; f < frames; ++f) {
            const auto i = static_cast<int64_t>(position_);
            const double frac = position_ - static_cast<double>(i);
            const int64_t j = i + 1 < wav_.frames ? i + 1 : 0;
            for (int32_t c = 0; c < channels; ++c) {
                const int32_t fileChannel = c < wav_.channels ? c : 0;
                const double a = Sample(i, fileChannel);
                const double b = Sample(j, fileChannel);
                out[f * channels + c] = c < 2 ? a + (b - a) * frac : 0.0;
            }
            position_ += step_;
            if (position_ >= static_cast<double>(wav_.frames)) position_ -= static_cast<double>(wav_.frames);
        }
    }

private:
    double Sample(int64_t frame, int32_t channel) const {
        const int32_t bytes = wav_.bits / 8;
        const char* p = wav_.samples.constData() + (frame * wav_.channels + channel) * bytes;
        if (wav_.isFloat) {
            if (bytes == 4) {
                float v;
                std::memcpy(&v, p, 4);
                return v;
            }
            double v;
            std::memcpy(&v, p, 8);
            return v;
        }
        if (bytes == 1) return (uint8_t(p[0]) - 128) / 128.0;
        int64_t v = 0;
        for (int32_t k = 0; k < bytes; ++k) v |= int64_t{uint8_t(p[k])} << (8 * k);
        const int64_t sign = int64_t{1} << (8 * bytes - 1);
        v = (v ^ sign) - sign;
        return static_cast<double>(v) / static_cast<double>(sign);
    }

    WavData wav_;
    double step_;
    double position_ = 0.0;
};

std::unique_ptr<SignalSource> MakeWavSource(const QString& path, int32_t rate, QString* error) {
    if (path.isEmpty()) {
        Fail(error, QStringLiteral("No WAV file is set for the simulated player."));
        return nullptr;
    }
    // Opened and read in one go here, when the device opens, so that a file
    // that cannot be played fails the open instead of the running capture.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(error, QStringLiteral("The WAV file %1 cannot be opened: %2").arg(path, file.errorString()));
        return nullptr;
    }
    if (!file.isSequential() && file.size() > kMaxWavBytes) {
        Fail(error, QStringLiteral("The WAV file %1 is larger than 1 GiB.").arg(path));
        return nullptr;
    }
    const QByteArray bytes = file.read(kMaxWavBytes + 1);
    if (bytes.size() > kMaxWavBytes) {
        Fail(error, QStringLiteral("The WAV file %1 is larger than 1 GiB.").arg(path));
        return nullptr;
    }
    WavData wav;
    QString why;
    if (!ParseWav(bytes, wav, &why)) {
        Fail(error, QStringLiteral("%1: %2").arg(path, why));
        return nullptr;
    }
    return std::make_unique<WavSource>(std::move(wav), rate);
}

}  // namespace

std::unique_ptr<SignalSource> MakeSignalSource(const SimulatedSignal& signal, int32_t rate, QString* error) {
    switch (signal.kind) {
    case SimulatedSignalKind::Sine:
        return std::make_unique<SineSource>(signal.left, signal.right, rate);
    case SimulatedSignalKind::PinkNoise:
        return std::make_unique<PinkNoiseSource>(signal.noiseLevelDb);
    case SimulatedSignalKind::WavFile:
        return MakeWavSource(signal.wavFile, rate, error);
    case SimulatedSignalKind::Silence:
        return std::make_unique<SilenceSource>();
    }
    Fail(error, QStringLiteral("Unknown simulated signal."));
    return nullptr;
}

// --- real-time streams ------------------------------------------------------------

namespace {

using SteadyClock = std::chrono::steady_clock;

// The instant at which frames frames of the stream have passed since start.
SteadyClock::time_point FrameDeadline(SteadyClock::time_point start, int64_t frames, int32_t rate) {
    const int64_t ns = frames / rate * 1'000'000'000 + frames % rate * 1'000'000'000 / rate;
    return start + std::chrono::nanoseconds(ns);
}

class SimulatedCapture : public PcmCapture {
public:
    SimulatedCapture(std::unique_ptr<SignalSource> source, const PcmFormat& format)
        : source_(std::move(source)), format_(format) {}

    uint32_t Start() override {
        start_ = SteadyClock::now();
        framesDone_ = 0;
        running_ = true;
        return 0;
    }

    void Stop() override { running_ = false; }

    int32_t Read(uint8_t* dst, int32_t frames, StreamInterrupt& interrupt) override {
        if (!running_) return -1;
        if (!interrupt.SleepUntil(FrameDeadline(start_, framesDone_ + frames, format_.rate))) return 0;
        const size_t needed = static_cast<size_t>(frames) * format_.channels;
        if (scratch_.size() < needed) scratch_.resize(needed);
        source_->Render(scratch_.data(), frames, format_.channels);
        StoreSamples(scratch_.data(), frames, format_, dst);
        framesDone_ += frames;
        return frames;
    }

private:
    std::unique_ptr<SignalSource> source_;
    PcmFormat format_;
    SteadyClock::time_point start_{};
    int64_t framesDone_ = 0;
    bool running_ = false;
    std::vector<double> scratch_;
};

class SimulatedPlayback : public PcmPlayback {
public:
    explicit SimulatedPlayback(const PcmFormat& format) : format_(format) {}

    int32_t Write(const uint8_t* src, int32_t frames, StreamInterrupt& interrupt) override {
        if (!running_) {
            start_ = SteadyClock::now();
            framesDone_ = 0;
            running_ = true;
        }
        if (!interrupt.SleepUntil(FrameDeadline(start_, framesDone_ + frames, format_.rate))) return 0;
        TapSimulatedOutput(src, frames, format_);
        framesDone_ += frames;
        return frames;
    }

    void Stop() override { running_ = false; }

private:
    PcmFormat format_;
    SteadyClock::time_point start_{};
    int64_t framesDone_ = 0;
    bool running_ = false;
};

std::mutex tapLock;
std::shared_ptr<SimulatedOutputTap> outputTap;

}  // namespace

std::unique_ptr<PcmCapture> MakeSimulatedCapture(std::unique_ptr<SignalSource> source, const PcmFormat& format) {
    return std::make_unique<SimulatedCapture>(std::move(source), format);
}

std::unique_ptr<PcmPlayback> MakeSimulatedPlayback(const PcmFormat& format) {
    return std::make_unique<SimulatedPlayback>(format);
}

void SetSimulatedOutputTap(SimulatedOutputTap tap) {
    std::lock_guard guard(tapLock);
    outputTap = tap ? std::make_shared<SimulatedOutputTap>(std::move(tap)) : nullptr;
}

void TapSimulatedOutput(const uint8_t* data, int32_t frames, const PcmFormat& format) {
    std::shared_ptr<SimulatedOutputTap> tap;
    {
        std::lock_guard guard(tapLock);
        tap = outputTap;
    }
    if (tap) (*tap)(data, frames, format);
}

}  // namespace platform

#include "audio/test_signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "audio/audio_start_stop.h"
#include "audio/wasapi_streams.h"
#include "audio/wave_backend.h"
#include "platform/date_time.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

platform::CriticalSection outputGainLock;

namespace uBiQuad {

void TBiQuad::InitValues() {
    art = kLowPass;
    Fc = 0.5;
    Q = 1.0 / std::sqrt(2.0);
    peakGain = 0.0;
    z1 = 0.0;
    z2 = 0.0;
}

TParam TBiQuad::SetArt(int32_t kind) {
    art = kind;
    return Coefficients();
}

TParam TBiQuad::SetQ(double q) {
    Q = q;
    return Coefficients();
}

TParam TBiQuad::SetFc(double fc) {
    Fc = fc;
    return Coefficients();
}

TParam TBiQuad::SetPeakGain(double gainDb) {
    peakGain = gainDb;
    return Coefficients();
}

TParam TBiQuad::SetBiquad(int32_t kind, double fc, double q, double gainDb) {
    art = kind;
    Fc = fc;
    Q = q;
    peakGain = gainDb;
    return Coefficients();
}

TParam TBiQuad::Coefficients() {
    const double K = std::tan(M_PI * Fc);
    const double KK = K * K;
    const double V = std::pow(10.0, std::fabs(peakGain) / 20.0);
    const double s2 = std::sqrt(2.0);
    const double s2V = std::sqrt(2.0 * V);
    TParam& p = param_;
    double n = 1.0 / (1.0 + K / Q + KK);
    switch (art) {
    case kLowPass:
        p.a0 = KK * n;
        p.a1 = 2.0 * p.a0;
        p.a2 = p.a0;
        p.b1 = 2.0 * (KK - 1.0) * n;
        p.b2 = (1.0 - K / Q + KK) * n;
        break;
    case kHighPass:
        p.a0 = n;
        p.a1 = -2.0 * p.a0;
        p.a2 = p.a0;
        p.b1 = 2.0 * (KK - 1.0) * n;
        p.b2 = (1.0 - K / Q + KK) * n;
        break;
    case kBandPass:
        p.a0 = K / Q * n;
        p.a1 = 0.0;
        p.a2 = -p.a0;
        p.b1 = 2.0 * (KK - 1.0) * n;
        p.b2 = (1.0 - K / Q + KK) * n;
        break;
    case kNotch:
        p.a0 = (1.0 + KK) * n;
        p.a1 = 2.0 * (KK - 1.0) * n;
        p.a2 = p.a0;
        p.b1 = p.a1;
        p.b2 = (1.0 - K / Q + KK) * n;
        break;
    case kPeak:
        if (peakGain >= 0.0) {
            p.a0 = (1.0 + V * K / Q + KK) * n;
            p.a2 = (1.0 - V * K / Q + KK) * n;
            p.b2 = (1.0 - K / Q + KK) * n;
        } else {
            n = 1.0 / (1.0 + V * K / Q + KK);
            p.a0 = (1.0 + K / Q + KK) * n;
            p.a2 = (1.0 - K / Q + KK) * n;
            p.b2 = (1.0 - V * K / Q + KK) * n;
        }
        p.a1 = 2.0 * (KK - 1.0) * n;
        p.b1 = p.a1;
        break;
    case kLowShelf:
        if (peakGain >= 0.0) {
            n = 1.0 / (1.0 + s2 * K + KK);
            p.a0 = (1.0 + s2V * K + V * KK) * n;
            p.a1 = 2.0 * (V * KK - 1.0) * n;
            p.a2 = (1.0 - s2V * K + V * KK) * n;
            p.b1 = 2.0 * (KK - 1.0) * n;
            p.b2 = (1.0 - s2 * K + KK) * n;
        } else {
            n = 1.0 / (1.0 + s2V * K + V * KK);
            p.a0 = (1.0 + s2 * K + KK) * n;
            p.a1 = 2.0 * (KK - 1.0) * n;
            p.a2 = (1.0 - s2 * K + KK) * n;
            p.b1 = 2.0 * (V * KK - 1.0) * n;
            p.b2 = (1.0 - s2V * K + V * KK) * n;
        }
        break;
    case kHighShelf:
        if (peakGain >= 0.0) {
            n = 1.0 / (1.0 + s2 * K + KK);
            p.a0 = (V + s2V * K + KK) * n;
            p.a1 = 2.0 * (KK - V) * n;
            p.a2 = (V - s2V * K + KK) * n;
            p.b1 = 2.0 * (KK - 1.0) * n;
            p.b2 = (1.0 - s2 * K + KK) * n;
        } else {
            n = 1.0 / (V + s2V * K + KK);
            p.a0 = (1.0 + s2 * K + KK) * n;
            p.a1 = 2.0 * (KK - 1.0) * n;
            p.a2 = (1.0 - s2 * K + KK) * n;
            p.b1 = 2.0 * (KK - V) * n;
            p.b2 = (V - s2V * K + KK) * n;
        }
        break;
    case kAllPass: {
        const double w = M_PI * Fc;
        const double d = Q * (w * w + 1.0) + w;
        p.a0 = (Q * (w * w + 1.0) - w) / d;
        p.a1 = 2.0 * Q * (w * w - 1.0) / d;
        p.a2 = 1.0;
        p.b1 = p.a1;
        p.b2 = p.a0;
        break;
    }
    default:
        break;
    }
    return p;
}

void TBiQuad::DoBiQuad(double* x, int32_t lastIndex, const TParam& p) {
    const int32_t n = lastIndex + 1;
    if (n <= 10) return;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    auto section = [&](double in) {
        const double out = p.a0 * in + p.a1 * x1 + p.a2 * x2 - p.b1 * y1 - p.b2 * y2;
        x2 = x1;
        x1 = in;
        y2 = y1;
        y1 = out;
        return out;
    };
    // The warm-up runs over the loop's end; a short array warms up on all it has.
    for (int32_t i = std::max(0, n - 401); i < n; ++i) section(x[i]);
    std::vector<double> filtered(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) filtered[i] = section(x[i]);
    std::copy(filtered.begin(), filtered.end(), x);
}

}  // namespace uBiQuad

namespace {

constexpr uint32_t kNoiseSeed = 38745;
constexpr int32_t kWarmUpDraws = 200;
constexpr intptr_t kRepaintLevelBar = 0;
constexpr int32_t kRampDown = 1;
constexpr int32_t kRampUp = 2;

MainWindowServices* Services() { return mainWindowServices(); }

// The random source: the same sequence at every build.
class NoiseDraws {
public:
    double Next() {
        state_ = state_ * 134775813u + 1u;
        return static_cast<double>(state_) / 4294967296.0;
    }

private:
    uint32_t state_ = kNoiseSeed;
};

bool CorrectionWizardOpen() {
    CalibrationServices* calibration = calibrationServices();
    return calibration != nullptr && calibration->CorrectionWizardWindow() != 0;
}

bool OutputChosen(const MainWindowFields& fields) {
    switch (fields.IOMode.load()) {
    case 0: return fields.waveOutID.load() >= 0;
    case 1: return fields.ASIOOutputID.load() >= 0;
    case 2: return wasOut.size() > 2;
    default: return false;
    }
}

}  // namespace

void MakePinkNoise(bool doubling) {
    NoiseDraws draws;
    const auto n = static_cast<int32_t>(noiseTable.size());
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0;
    double peak = 0.0;
    for (int32_t i = -kWarmUpDraws; i <= n - 1; ++i) {
        const double w = 2.0 * draws.Next() - 1.0;
        b0 = 0.997 * b0 + 0.029591 * w;
        b1 = 0.987 * b1 + 0.032534 * w;
        b2 = 0.95 * b2 + 0.048056 * w;
        b3 = 0.85 * b3 + 0.090579 * w;
        b4 = 0.62 * b4 + 0.10899 * w;
        b5 = 0.25 * b5 + 0.255784 * w;
        if (i < 0) continue;
        const double v = b0 + b1 + b2 + b3 + b4 + b5;
        noiseTable[i] = v;
        // An odd length has no room for the last value's twin.
        if (doubling && i + 1 < n) noiseTable[++i] = v;
        peak = std::max(peak, std::fabs(v));
    }
    if (doubling) {
        uBiQuad::TBiQuad lowPass;
        const uBiQuad::TParam p = lowPass.SetBiquad(uBiQuad::kLowPass, 0.25, 1.0, 0.0);
        uBiQuad::TBiQuad::DoBiQuad(noiseTable.data(), n - 1, p);
    }
    if (peak > 0.0) {
        const double scale = 1.0 / peak;
        for (double& v : noiseTable) v *= scale;
    }
}

void InitPinkNoiseBuffer() {
    MainWindowServices* services = Services();
    const bool a96 = services != nullptr && services->Fields().asio96.load();
    const bool asio = services != nullptr && services->Fields().IOMode.load() == 1;
    auto build = [&] {
        noiseTable.assign(a96 ? kNoiseTableLength96 : kNoiseTableLength, 0.0);
        MakePinkNoise(asio && a96);
        noisePos.store(0);
    };
    if (services == nullptr) {
        build();
        return;
    }
    std::lock_guard guard(services->Fields().csPink);
    build();
}

double CurrentOutputGain() {
    std::lock_guard guard(outputGainLock);
    return testSignalOn.load() ? outputGain.load() : 0.0;
}

int32_t OutputSample(double value, double fullScale) {
    return static_cast<int32_t>(std::clamp(std::nearbyint(value * fullScale), -fullScale - 1.0, fullScale));
}

void FillNoiseFrames(uint8_t* out, uint32_t frames, int32_t bytesPerSample, double gain) {
    double full = 0.0;
    switch (bytesPerSample) {
    case 2: full = 32767.0; break;
    case 3: full = 8388607.0; break;
    case 4: full = 2147483647.0; break;
    default: return;
    }
    const auto last = static_cast<int32_t>(noiseTable.size()) - 1;
    int32_t pos = noisePos.load();
    for (uint32_t f = 0; f < frames; ++f) {
        int32_t v = 0;
        if (last >= 0) {
            if (pos > last) pos = 0;
            v = OutputSample(gain * noiseTable[pos], full);
            pos = pos + 1 > last ? 0 : pos + 1;
        }
        for (int channel = 0; channel < 2; ++channel) {
            // Little-endian: the low bytes of the 32-bit value are the sample.
            for (int32_t b = 0; b < bytesPerSample; ++b) *out++ = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
        }
    }
    noisePos.store(pos);
}

void StartPinkNoise() {
    testSignalOn.store(false);
    MainWindowServices* services = Services();
    if (services == nullptr || noiseTable.size() < 2) return;
    MainWindowFields& fields = services->Fields();
    // Each interface plays on its own output: a wave output device counts
    // only for the wave interface.
    if (!OutputChosen(fields)) return;
    switch (fields.IOMode.load()) {
    case 0: OpenWaveOut(); break;
    case 1: RestartAudioWithOutput(); break;
    case 2: OpenWasapiOut(); break;
    default: break;
    }
}

void StopAudioOut() {
    if (!IsOutputRunning()) return;
    MainWindowServices* services = Services();
    if (services == nullptr) return;
    MainWindowFields& fields = services->Fields();
    int32_t searching = 4;
    fields.statusMessung.compare_exchange_strong(searching, 1);
    switch (fields.IOMode.load()) {
    case 1:
        // The driver runs input and output together: the input comes back
        // on its own, so a running measurement keeps its samples.
        StopAudioIn();
        StartAudioIn(false);
        break;
    case 2:
        CloseWasapiOut();
        break;
    case 0:
        if (IsWaveOutOpen()) CloseWaveOut();
        break;
    default:
        break;
    }
}

void SetLevel(double db) {
    MainWindowServices* services = Services();
    {
        std::lock_guard guard(outputGainLock);
        if (services != nullptr) services->Fields().OutLevelDB.store(static_cast<int32_t>(platform::Round(db)));
        outputGain.store(std::pow(10.0, db / 20.0));
    }
    PostMainNotify(kNotifyVuRefresh, kRepaintLevelBar);
}

bool TestSignalSwitch(intptr_t argument) {
    MainWindowServices* services = Services();
    if (services == nullptr) return false;
    MainWindowFields& fields = services->Fields();
    const int32_t status = fields.statusMessung.load();
    if (!CorrectionWizardOpen() && status != 1 && status != 4) return false;
    if (argument == 1 && IsOutputRunning()) {
        testSignalOn.store(true);
        int32_t silent = 1;
        fields.statusMessung.compare_exchange_strong(silent, 4);
    } else {
        testSignalOn.store(false);
        int32_t sounding = 4;
        fields.statusMessung.compare_exchange_strong(sounding, 1);
    }
    return true;
}

void TestSignalLevel(intptr_t argument) { SetLevel(static_cast<double>(argument)); }

int32_t RampStep(int32_t current, int32_t tag) {
    int32_t level = current;
    if (tag == kRampDown) level = current - 1;
    else if (tag == kRampUp) level = current + 1;
    return std::clamp(level, kLowestOutputLevel, kHighestOutputLevel);
}

std::vector<LevelMenuItem> LevelMenuItems() {
    std::vector<LevelMenuItem> items;
    for (int32_t level = -60; level <= -10; level += 10) items.push_back({QString::number(level) + QStringLiteral(" dB"), level});
    return items;
}

bool N60dB2Click(int32_t level) {
    MainWindowServices* services = Services();
    const int32_t current = services ? services->Fields().OutLevelDB.load() : 0;
    if (level < kLowestOutputLevel || level > kHighestOutputLevel || level == current) return false;
    return PostMainNotify(kNotifyTestSignalLevel, level);
}

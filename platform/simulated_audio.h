#pragma once
// Simulated sound devices, so that the program runs, and is tested, on a
// machine without a sound card. They appear in the wave interface after the
// real devices and among the core-audio endpoints after the real ones:
//
//   input  "Simulated Sine"        a sine on each channel
//   input  "Simulated Pink Noise"  independent pink noise on each channel
//   input  "Simulated WAV Player"  loops a WAV file (listed only while one is set)
//   output "Simulated Output"      takes the samples and lets them go
//
// Every simulated device runs in real time on the steady clock: a capture
// delivers its frames when their time has come, a playback takes them at the
// rate of its format. Deadlines are counted from the start, so no drift
// builds up however late a single block is taken.
//
// Configuration, in the user hive under the key
// "Software\Brask Soft\Veltaro2026\SimulatedAudio" (every value optional):
//
//   Enabled             Boolean  default true; false leaves the simulated devices
//                                out, so "no device at all" stays reachable
//   SineFrequency       Float    Hz of the left sine, default 1000
//   SineLevel           Float    peak level of the left sine in dBFS, default -20
//   SineFrequencyRight  Float    Hz of the right sine, default SineFrequency
//   SineLevelRight      Float    peak level of the right sine, default SineLevel
//   NoiseLevel          Float    RMS level of the pink noise in dBFS, default -20
//   WavFile             String   the WAV file of the player (PCM 8/16/24/32 bit or
//                                32/64-bit float, any channel count and rate)
//
// The environment variable VELTARO_SIMULATED_AUDIO=0 or 1 overrides Enabled.
// The signal values are read when a device is opened, the rest whenever the
// device lists are read.
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "platform/pcm_streams.h"

namespace platform {

inline const QString kSimulatedAudioKey = QStringLiteral("Software\\Brask Soft\\Veltaro2026\\SimulatedAudio");

// One channel's signal (sine) or the level of the whole source (noise).
struct SineChannel {
    double frequencyHz = 1000.0;
    double levelDb = -20.0;  // peak level, dBFS
};

enum class SimulatedSignalKind { Sine, PinkNoise, WavFile, Silence };

struct SimulatedSignal {
    SimulatedSignalKind kind = SimulatedSignalKind::Sine;
    SineChannel left;
    SineChannel right;
    double noiseLevelDb = -20.0;  // RMS level, dBFS
    QString wavFile;
};

// What the configuration says, read now.
struct SimulatedAudioConfig {
    bool enabled = true;
    SineChannel sineLeft;
    SineChannel sineRight;
    double noiseLevelDb = -20.0;
    QString wavFile;

    SimulatedSignal SineSignal() const;
    SimulatedSignal NoiseSignal() const;
    SimulatedSignal WavSignal() const;
};
SimulatedAudioConfig ReadSimulatedAudioConfig();

inline const QString kSimulatedSineName = QStringLiteral("Simulated Sine");
inline const QString kSimulatedNoiseName = QStringLiteral("Simulated Pink Noise");
inline const QString kSimulatedWavName = QStringLiteral("Simulated WAV Player");
inline const QString kSimulatedOutputName = QStringLiteral("Simulated Output");

// A source of samples: fills interleaved frames at full scale 1.0. A mono
// stream gets the left channel.
class SignalSource {
public:
    virtual ~SignalSource() = default;
    virtual void Render(double* interleaved, int32_t frames, int32_t channels) = 0;
};

// The source of a signal at the given sample rate; nullptr with the reason
// in *error when it cannot be made (a WAV file that is missing or unreadable).
std::unique_ptr<SignalSource> MakeSignalSource(const SimulatedSignal& signal, int32_t rate, QString* error);

// A capture that delivers the source's frames in real time.
std::unique_ptr<PcmCapture> MakeSimulatedCapture(std::unique_ptr<SignalSource> source, const PcmFormat& format);
// A playback that takes frames in real time and hands each block to the
// output tap.
std::unique_ptr<PcmPlayback> MakeSimulatedPlayback(const PcmFormat& format);

// Sees every block that a simulated output plays, in its own format, on the
// playing thread. For tests and diagnostics; an empty function removes it.
using SimulatedOutputTap = std::function<void(const uint8_t* data, int32_t frames, const PcmFormat& format)>;
void SetSimulatedOutputTap(SimulatedOutputTap tap);
void TapSimulatedOutput(const uint8_t* data, int32_t frames, const PcmFormat& format);

}  // namespace platform

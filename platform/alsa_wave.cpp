#include "platform/alsa_wave.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

#include "platform/wave_audio.h"

namespace platform {

namespace {

// The configuration of ALSA is one process-wide tree that opening a PCM and
// listing the hints both update; one lock keeps two threads from doing so
// at the same moment.
std::mutex& AlsaConfigLock() {
    static std::mutex lock;
    return lock;
}

// ALSA reports every failing look-up on stderr; the program reports failures
// itself, through the wave result codes.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void InstallQuietErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&QuietAlsaErrors); });
}

QString HintText(void* hint, const char* id) {
    char* value = snd_device_name_get_hint(hint, id);
    if (value == nullptr) return {};
    QString text = QString::fromUtf8(value);
    std::free(value);
    return text;
}

bool ListedName(const QString& name) {
    if (name.startsWith(QStringLiteral("plughw:"))) return true;
    return !name.contains(QLatin1Char(':')) && name != QStringLiteral("null");
}

snd_pcm_format_t AlsaFormatOf(const PcmFormat& format) {
    switch (format.bits) {
    case 16: return SND_PCM_FORMAT_S16_LE;
    case 24: return SND_PCM_FORMAT_S24_3LE;
    case 32: return SND_PCM_FORMAT_S32_LE;
    default: return SND_PCM_FORMAT_UNKNOWN;
    }
}

uint32_t OpenResult(int err) {
    switch (-err) {
    case EBUSY: return kWaveErrAllocated;
    case ENOENT:
    case ENODEV:
    case ENXIO: return kWaveErrNoDriver;
    case ENOMEM: return kWaveErrNoMemory;
    default: return kWaveErrUnspecified;
    }
}

constexpr snd_pcm_uframes_t kPeriodFrames = 480;    // 10 ms
constexpr snd_pcm_uframes_t kBufferFrames = 9600;   // 200 ms, room for a late reader
constexpr int kPollMs = 20;

// Sets the stream up in the format: interleaved, the exact rate, a buffer of
// about 200 ms. kWaveErrBadFormat when the device refuses any of it.
uint32_t ConfigureHardware(snd_pcm_t* pcm, const PcmFormat& format) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm, hw) < 0) return kWaveErrUnspecified;
    const snd_pcm_format_t alsaFormat = AlsaFormatOf(format);
    if (alsaFormat == SND_PCM_FORMAT_UNKNOWN) return kWaveErrBadFormat;
    if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, alsaFormat) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned>(format.channels)) < 0 ||
        snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hw, static_cast<unsigned>(format.rate), 0) < 0)
        return kWaveErrBadFormat;
    snd_pcm_uframes_t period = kPeriodFrames;
    snd_pcm_uframes_t buffer = kBufferFrames;
    snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
    snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
    if (snd_pcm_hw_params(pcm, hw) < 0) return kWaveErrBadFormat;
    return kWaveNoError;
}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const {
        if (pcm) snd_pcm_close(pcm);
    }
};
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmCloser>;

uint32_t OpenConfigured(const QString& name, snd_pcm_stream_t direction, const PcmFormat& format, PcmPtr* out) {
    InstallQuietErrorHandler();
    if (!format.IsValid()) return kWaveErrBadFormat;
    snd_pcm_t* raw = nullptr;
    {
        std::lock_guard guard(AlsaConfigLock());
        const int err = snd_pcm_open(&raw, name.toUtf8().constData(), direction, SND_PCM_NONBLOCK);
        if (err < 0) return OpenResult(err);
    }
    PcmPtr pcm(raw);
    if (const uint32_t result = ConfigureHardware(pcm.get(), format); result != kWaveNoError) return result;
    *out = std::move(pcm);
    return kWaveNoError;
}

class AlsaCapture : public PcmCapture {
public:
    AlsaCapture(PcmPtr pcm, const PcmFormat& format) : pcm_(std::move(pcm)), format_(format) {}

    uint32_t Start() override {
        snd_pcm_drop(pcm_.get());
        if (snd_pcm_prepare(pcm_.get()) < 0 || snd_pcm_start(pcm_.get()) < 0) return kWaveErrUnspecified;
        return kWaveNoError;
    }

    void Stop() override { snd_pcm_drop(pcm_.get()); }

    int32_t Read(uint8_t* dst, int32_t frames, StreamInterrupt& interrupt) override {
        int32_t done = 0;
        while (done < frames) {
            if (interrupt.Raised()) return done;
            const snd_pcm_sframes_t r =
                snd_pcm_readi(pcm_.get(), dst + int64_t{done} * format_.BlockAlign(), frames - done);
            if (r > 0) {
                done += static_cast<int32_t>(r);
            } else if (r == -EAGAIN || r == 0) {
                snd_pcm_wait(pcm_.get(), kPollMs);
            } else if (!RecoverFrom(static_cast<int>(r))) {
                return -1;
            }
        }
        return done;
    }

private:
    // An overrun (the reader came late) or a resume after suspend restarts
    // the stream; anything else is a failed device.
    bool RecoverFrom(int err) {
        if (err != -EPIPE && err != -ESTRPIPE) return false;
        if (snd_pcm_recover(pcm_.get(), err, 1) < 0) return false;
        return snd_pcm_start(pcm_.get()) >= 0 || snd_pcm_state(pcm_.get()) == SND_PCM_STATE_RUNNING;
    }

    PcmPtr pcm_;
    PcmFormat format_;
};

class AlsaPlayback : public PcmPlayback {
public:
    AlsaPlayback(PcmPtr pcm, const PcmFormat& format) : pcm_(std::move(pcm)), format_(format) {}

    int32_t Write(const uint8_t* src, int32_t frames, StreamInterrupt& interrupt) override {
        int32_t done = 0;
        while (done < frames) {
            if (interrupt.Raised()) return done;
            const snd_pcm_sframes_t r =
                snd_pcm_writei(pcm_.get(), src + int64_t{done} * format_.BlockAlign(), frames - done);
            if (r > 0) {
                done += static_cast<int32_t>(r);
            } else if (r == -EAGAIN || r == 0) {
                snd_pcm_wait(pcm_.get(), kPollMs);
            } else if (r == -EPIPE || r == -ESTRPIPE) {
                // An underrun: the device ran dry; it starts again with the next frames.
                if (snd_pcm_recover(pcm_.get(), static_cast<int>(r), 1) < 0) return -1;
            } else {
                return -1;
            }
        }
        return done;
    }

    void Stop() override {
        snd_pcm_drop(pcm_.get());
        snd_pcm_prepare(pcm_.get());
    }

private:
    PcmPtr pcm_;
    PcmFormat format_;
};

}  // namespace

std::vector<AlsaDevice> AlsaDevices(bool input) {
    InstallQuietErrorHandler();
    std::vector<AlsaDevice> devices;
    void** hints = nullptr;
    std::lock_guard guard(AlsaConfigLock());
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return devices;
    const QString unwanted = input ? QStringLiteral("Output") : QStringLiteral("Input");
    for (void** hint = hints; *hint != nullptr; ++hint) {
        const QString name = HintText(*hint, "NAME");
        if (name.isEmpty() || !ListedName(name) || HintText(*hint, "IOID") == unwanted) continue;
        QString description = HintText(*hint, "DESC").section(QLatin1Char('\n'), 0, 0).trimmed();
        devices.push_back({name, description.isEmpty() ? name : description});
    }
    snd_device_name_free_hint(hints);
    return devices;
}

uint32_t OpenAlsaCapture(const QString& pcmName, const PcmFormat& format, std::unique_ptr<PcmCapture>* stream) {
    PcmPtr pcm;
    const uint32_t result = OpenConfigured(pcmName, SND_PCM_STREAM_CAPTURE, format, &pcm);
    if (result == kWaveNoError) *stream = std::make_unique<AlsaCapture>(std::move(pcm), format);
    return result;
}

uint32_t OpenAlsaPlayback(const QString& pcmName, const PcmFormat& format, std::unique_ptr<PcmPlayback>* stream) {
    PcmPtr pcm;
    const uint32_t result = OpenConfigured(pcmName, SND_PCM_STREAM_PLAYBACK, format, &pcm);
    if (result == kWaveNoError) *stream = std::make_unique<AlsaPlayback>(std::move(pcm), format);
    return result;
}

uint32_t QueryAlsaFormat(const QString& pcmName, bool input, const PcmFormat& format) {
    PcmPtr pcm;
    return OpenConfigured(pcmName, input ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK, format, &pcm);
}

}  // namespace platform

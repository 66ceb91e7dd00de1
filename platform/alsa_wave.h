#pragma once
// The ALSA PCM devices behind the wave interface: which devices there are,
// and their capture and playback streams.
//
// Listed are the PCMs that the ALSA configuration names with a hint: every
// plain name except "null" ("default", "pulse", "pipewire" and names a user
// or a test configuration defines) and each card's "plughw:" device, which
// converts what the card cannot take itself. The product name is the first
// line of the hint's description, else the PCM name.
#include <QString>

#include <memory>
#include <vector>

#include "platform/pcm_streams.h"

namespace platform {

struct AlsaDevice {
    QString pcmName;
    QString description;
};

std::vector<AlsaDevice> AlsaDevices(bool input);

// 0 or a wave error code; on success *stream holds the open stream.
uint32_t OpenAlsaCapture(const QString& pcmName, const PcmFormat& format, std::unique_ptr<PcmCapture>* stream);
uint32_t OpenAlsaPlayback(const QString& pcmName, const PcmFormat& format, std::unique_ptr<PcmPlayback>* stream);
// Whether the device takes the format; opens and closes it at once.
uint32_t QueryAlsaFormat(const QString& pcmName, bool input, const PcmFormat& format);

}  // namespace platform

#include "ui_kit/wave_devices.h"

#include <QCollator>

#include "platform/wave_audio.h"
#include "ui_kit/text_table.h"

namespace {

bool SameName(const QString& a, const QString& b) {
    QCollator collator(QLocale{});
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator.compare(a, b) == 0;
}

}  // namespace

QString WaveInDeviceName(int32_t id) {
    if (id < 0 || static_cast<uint32_t>(id) >= platform::WaveInDeviceCount()) return NoValueText();
    platform::WaveInCaps caps;
    if (platform::WaveInGetCaps(static_cast<uint32_t>(id), &caps) != platform::kWaveNoError) return NoValueText();
    return platform::ProductNameOf(caps);
}

QString WaveOutDeviceName(int32_t id) {
    if (id < 0 || static_cast<uint32_t>(id) >= platform::WaveOutDeviceCount()) return NoValueText();
    platform::WaveOutCaps caps;
    if (platform::WaveOutGetCaps(static_cast<uint32_t>(id), &caps) != platform::kWaveNoError) return NoValueText();
    return platform::ProductNameOf(caps);
}

int32_t WaveInDeviceId(const QString& name) {
    const uint32_t n = platform::WaveInDeviceCount();
    if (n == 0) return -1;
    for (uint32_t i = 0; i < n; ++i) {
        platform::WaveInCaps caps;
        if (platform::WaveInGetCaps(i, &caps) == platform::kWaveNoError && SameName(platform::ProductNameOf(caps), name))
            return static_cast<int32_t>(i);
    }
    return 0;
}

int32_t WaveOutDeviceId(const QString& name) {
    const uint32_t n = platform::WaveOutDeviceCount();
    if (n == 0) return -1;
    for (uint32_t i = 0; i < n; ++i) {
        platform::WaveOutCaps caps;
        if (platform::WaveOutGetCaps(i, &caps) == platform::kWaveNoError && SameName(platform::ProductNameOf(caps), name))
            return static_cast<int32_t>(i);
    }
    return 0;
}

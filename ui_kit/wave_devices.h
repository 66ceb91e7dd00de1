#pragma once
// Names and ids of the wave devices, as the device settings store them: a
// device is remembered by its product name, so that it is found again when
// the numbering changed.
#include <QString>

#include <cstdint>

// The product name of input or output device id; "---" for an id outside
// the devices.
QString WaveInDeviceName(int32_t id);
QString WaveOutDeviceName(int32_t id);

// The first device, from id 0 upward, whose product name equals name without
// regard to case (by the user's locale); 0 when devices exist but none
// matches, -1 when there is no device at all.
int32_t WaveInDeviceId(const QString& name);
int32_t WaveOutDeviceId(const QString& name);

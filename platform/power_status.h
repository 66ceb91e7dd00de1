#pragma once
// The power status record of the platform, filled from UPower on the system
// bus (platform/system_bus.h): whether the machine runs on mains and how low
// its battery is. GUI thread only: it makes blocking bus calls.
#include <cstdint>

namespace platform {

// AC line status values.
inline constexpr uint8_t kAcOffline = 0;
inline constexpr uint8_t kAcOnline = 1;
inline constexpr uint8_t kAcUnknown = 255;

// Battery flag bits.
inline constexpr uint8_t kBatteryHigh = 1;
inline constexpr uint8_t kBatteryLow = 2;
inline constexpr uint8_t kBatteryCritical = 4;
inline constexpr uint8_t kBatteryCharging = 8;
inline constexpr uint8_t kNoSystemBattery = 128;
inline constexpr uint8_t kBatteryUnknown = 255;

inline constexpr uint32_t kUnknownBatteryTime = 0xFFFFFFFFu;

struct SystemPowerStatus {
    uint8_t acLineStatus = kAcUnknown;
    uint8_t batteryFlag = kBatteryUnknown;
    uint8_t batteryLifePercent = 255;  // 255: unknown
    uint8_t systemStatusFlag = 0;
    uint32_t batteryLifeTime = kUnknownBatteryTime;
    uint32_t batteryFullLifeTime = kUnknownBatteryTime;
};

// Fills *status; false (and *status unchanged) when UPower cannot be asked.
// Only the AC line status and the battery flag are known here: the flag is
// low or critical from the display device's warning level, "no system
// battery" when UPower has no display device, 0 (neither high nor low)
// otherwise.
bool GetSystemPowerStatus(SystemPowerStatus* status);

}  // namespace platform

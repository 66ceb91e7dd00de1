#pragma once
// What the audio back-ends read of the main window through its services,
// and the few texts and arguments they share with it.
#include <cstdint>

#include "ui_kit/services/main_window_services.h"

// The argument of the audio-failure notification: the device does not respond.
inline constexpr intptr_t kAudioFailureNoResponse = 2;
// The text of a box's only button, "OK".
inline constexpr int32_t kOkayTextId = 1054;

// The main window's fields; none before the window registered its services.
inline MainWindowFields* MainFields() {
    MainWindowServices* services = mainWindowServices();
    return services ? &services->Fields() : nullptr;
}

inline bool MeasurementRuns() {
    MainWindowServices* services = mainWindowServices();
    return services != nullptr && services->GetMessungLaeuft();
}

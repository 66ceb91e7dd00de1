#include "main/crash_markers.h"

#include <functional>

#include "platform/registry.h"
#include "ui_kit/startup_settings.h"

namespace crash_markers {

namespace {

const QString kMessung = QStringLiteral("Messung");
const QString kLaeuft = QStringLiteral("Laeuft");
const QString kStart = QStringLiteral("Start");

// Opens the program key, writes and closes it: a marker that is not on disk
// when the next step begins would be worthless after a crash.
bool WriteMarkers(const std::function<bool(platform::Registry&)>& write) {
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    const bool written = write(reg);
    return reg.CloseKey() && written;
}

}  // namespace

bool MarkMeasurementOpen() {
    return WriteMarkers([](platform::Registry& reg) { return reg.WriteInteger(kMessung, 1); });
}

bool MarkRunStarted(platform::TDateTime start) {
    return WriteMarkers([start](platform::Registry& reg) {
        return reg.WriteBool(kLaeuft, true) && reg.WriteDateTime(kStart, start);
    });
}

bool MarkRunStopped() {
    return WriteMarkers([](platform::Registry& reg) {
        return reg.WriteBool(kLaeuft, false) && reg.WriteInteger(kMessung, 2);
    });
}

bool MarkRunFinished() {
    return WriteMarkers([](platform::Registry& reg) { return reg.WriteInteger(kMessung, 0); });
}

}  // namespace crash_markers

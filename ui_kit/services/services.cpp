// The registrations of the neighbouring services. Each is set once by its
// owner at start (and cleared at its end); worker threads read it, so each
// is an atomic pointer.
#include <atomic>

#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/services/remote_services.h"
#include "ui_kit/services/report_services.h"

namespace {

std::atomic<MainWindowServices*> mainWindow{nullptr};
std::atomic<CalibrationServices*> calibration{nullptr};
std::atomic<ReportServices*> reports{nullptr};
std::atomic<RemoteServices*> remote{nullptr};
std::atomic<MidiServices*> midi{nullptr};

}  // namespace

MainWindowServices* mainWindowServices() { return mainWindow.load(std::memory_order_acquire); }
void RegisterMainWindowServices(MainWindowServices* services) {
    mainWindow.store(services, std::memory_order_release);
}

CalibrationServices* calibrationServices() { return calibration.load(std::memory_order_acquire); }
void RegisterCalibrationServices(CalibrationServices* services) {
    calibration.store(services, std::memory_order_release);
}

ReportServices* reportServices() { return reports.load(std::memory_order_acquire); }
void RegisterReportServices(ReportServices* services) {
    reports.store(services, std::memory_order_release);
}

RemoteServices* remoteServices() { return remote.load(std::memory_order_acquire); }
void RegisterRemoteServices(RemoteServices* services) {
    remote.store(services, std::memory_order_release);
}

MidiServices* MidiObject() { return midi.load(std::memory_order_acquire); }
void RegisterMidiObject(MidiServices* object) { midi.store(object, std::memory_order_release); }

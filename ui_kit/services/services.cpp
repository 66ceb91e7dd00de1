// The registrations of the neighbouring services. Each is set once by its
// owner at start (and cleared at its end); worker threads read it, so each
// is an atomic pointer.
#include <atomic>

#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/services/report_services.h"
#include "ui_kit/services/sftp_services.h"
#include "ui_kit/services/time_server_services.h"
#include "ui_kit/services/web_services.h"

namespace {

std::atomic<MainWindowServices*> mainWindow{nullptr};
std::atomic<CalibrationServices*> calibration{nullptr};
std::atomic<ReportServices*> reports{nullptr};
std::atomic<ReportNaming*> naming{nullptr};
std::atomic<WebServices*> web{nullptr};
std::atomic<TimeServerServices*> timeServer{nullptr};
std::atomic<SftpServices*> sftp{nullptr};
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

WebServices* webServices() { return web.load(std::memory_order_acquire); }
void RegisterWebServices(WebServices* services) { web.store(services, std::memory_order_release); }

TimeServerServices* timeServerServices() { return timeServer.load(std::memory_order_acquire); }
void RegisterTimeServerServices(TimeServerServices* services) {
    timeServer.store(services, std::memory_order_release);
}

ReportNaming* reportNaming() { return naming.load(std::memory_order_acquire); }
void RegisterReportNaming(ReportNaming* services) { naming.store(services, std::memory_order_release); }

SftpServices* sftpServices() { return sftp.load(std::memory_order_acquire); }
void RegisterSftpServices(SftpServices* services) { sftp.store(services, std::memory_order_release); }

MidiServices* MidiObject() { return midi.load(std::memory_order_acquire); }
void RegisterMidiObject(MidiServices* object) { midi.store(object, std::memory_order_release); }

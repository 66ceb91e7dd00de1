#pragma once
// The program started whole for a measurement run: the fakes of the
// subsystems around the main window registered while a test runs, the
// calibration set so that the simulated sine of -20 dBFS reads 94 dB, and a
// run still going at the end stopped without questions.
#include <cmath>

#include "main_window_fixture.h"
#include "support/fake_services.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/remote_services.h"
#include "ui_kit/services/report_services.h"

namespace test_support {

// -20 dBFS peak is -23.01 dBFS RMS: this offset makes the tone read 94.0 dB.
inline const double kOffsetFor94 = 94.0 - 20.0 * std::log10(0.1 / std::sqrt(2.0));

class RunWithFakesConcurrent : public MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        RegisterCalibrationServices(&calibration);
        RegisterReportServices(&reports);
        RegisterRemoteServices(&remote);
        calibration.offsets = {kOffsetFor94, kOffsetFor94, kOffsetFor94};
        calibration.ApplyCalibration();
    }
    void TearDown() override {
        if (window && window->GetMessungLaeuft()) window->StopMessung(2);
        MainWindowConcurrent::TearDown();
        RegisterCalibrationServices(nullptr);
        RegisterReportServices(nullptr);
        RegisterRemoteServices(nullptr);
    }

    FakeCalibration calibration;
    FakeReports reports;
    FakeRemote remote;
};

}  // namespace test_support

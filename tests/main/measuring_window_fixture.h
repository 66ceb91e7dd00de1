#pragma once
// The program started as a whole with fakes for the calibration, reports and
// remote subsystems around the measurement road, calibrated so that the
// simulated sine at -20 dBFS reads 94.0 dB. A run still going at the end of
// a test is stopped as the session end would stop it.
#include <cmath>

#include "main_window_fixture.h"
#include "support/fake_services.h"

namespace test_support {

// -20 dBFS peak is -23.01 dBFS RMS: this offset makes the tone read 94.0 dB.
inline const double kOffsetFor94 = 94.0 - 20.0 * std::log10(0.1 / std::sqrt(2.0));

class MeasuringWindowConcurrent : public MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        RegisterCalibrationServices(&calibration);
        RegisterReportServices(&reports);
        RegisterReportNaming(&reports);
        RegisterWebServices(&remote);
        RegisterTimeServerServices(&remote);
        RegisterSftpServices(&remote);
        calibration.offsets = {kOffsetFor94, kOffsetFor94, kOffsetFor94};
        calibration.ApplyCalibration();
    }
    void TearDown() override {
        if (window && window->GetMessungLaeuft()) window->StopMessung(2);
        MainWindowConcurrent::TearDown();
        RegisterCalibrationServices(nullptr);
        RegisterReportServices(nullptr);
        RegisterReportNaming(nullptr);
        RegisterWebServices(nullptr);
        RegisterTimeServerServices(nullptr);
        RegisterSftpServices(nullptr);
    }

    FakeCalibration calibration;
    FakeReports reports;
    FakeRemote remote;
};

}  // namespace test_support

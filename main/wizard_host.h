#pragma once
// The main window as the calibration and correction wizards see it.
#include "calibration/wizard_host.h"

class TVTProMaster;

class TMainWizardHost : public WizardHost {
public:
    explicit TMainWizardHost(TVTProMaster& window) : window_(window) {}

    double GetCPeak() override;
    double GetCPeakV() override;
    double GetLEQ10() override;
    double GetLEQ10V() override;
    double GetLEQCal(bool isSecondChannel) override;
    double GetRMSSlow(bool isSecondChannel) override;
    double GetCRef() override;
    double GetKalDiv() override;
    double MaxPresetLimit() override;
    int32_t ActiveAddressCount() override;
    int32_t Ipv4AddressCount() override;
    bool MainIsReady() override;
    void PostToMain(int32_t code, int64_t argument) override;
    void SendToMain(int32_t code, int64_t argument) override;

private:
    TVTProMaster& window_;
};

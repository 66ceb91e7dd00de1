#pragma once
// Stand-ins of what the correction wizard reads: the main window's levels
// and notifications, and the calculation thread's correction sums.
#include <cstdint>
#include <utility>
#include <vector>

#include "calibration/correction_wizard_core.h"
#include "calibration/wizard_host.h"

class FakeWizardHost : public WizardHost {
public:
    double rmsM = 0.01, rmsR = 0.01;
    double kalDiv = 0.0;
    int32_t activeAddresses = 0;
    bool ready = true;
    std::vector<std::pair<int32_t, int64_t>> posted, sent;

    double GetCPeak() override { return 0.0; }
    double GetCPeakV() override { return 0.0; }
    double GetLEQ10() override { return 0.0; }
    double GetLEQ10V() override { return 0.0; }
    double GetLEQCal(bool) override { return 0.0; }
    double GetRMSSlow(bool second) override { return second ? rmsR : rmsM; }
    double GetCRef() override { return 0.0; }
    double GetKalDiv() override { return kalDiv; }
    double MaxPresetLimit() override { return 100.0; }
    int32_t ActiveAddressCount() override { return activeAddresses; }
    int32_t Ipv4AddressCount() override { return activeAddresses; }
    bool MainIsReady() override { return ready; }
    void PostToMain(int32_t code, int64_t argument) override { posted.emplace_back(code, argument); }
    void SendToMain(int32_t code, int64_t argument) override { sent.emplace_back(code, argument); }

    // The last level (code 19) sent or posted, and whether it came last.
    bool Got(int32_t code, int64_t argument) const {
        for (const auto& p : posted) if (p == std::make_pair(code, argument)) return true;
        for (const auto& p : sent) if (p == std::make_pair(code, argument)) return true;
        return false;
    }
};

class FakeSums : public CorrectionSums {
public:
    // What the next StopGetKorr hands back for input 1, and what input 2 reads.
    double stopA = 0.1, stopC = 0.1, stopZ = 0.1;
    double vglA = 0.0, vglC = 0.0, vglZ = 0.0;
    int32_t starts = 0, stops = 0;

    void StartGetKorr() override { ++starts; }
    void StopGetKorr(double& a, double& c, double& z) override {
        ++stops;
        a = stopA;
        c = stopC;
        z = stopZ;
    }
    bool GetKorrVal(double& a, double& c, double& z) override {
        a = stopA;
        c = stopC;
        z = stopZ;
        return a > 0.0 && c > 0.0 && z > 0.0;
    }
    void GetKorrVgl(double& a, double& c, double& z) override {
        a = vglA;
        c = vglC;
        z = vglZ;
    }
};

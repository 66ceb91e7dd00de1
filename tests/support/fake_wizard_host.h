#pragma once
// A wizard host that hears a steady sine of a chosen level and records what
// the wizard posts, so a wizard runs its steps without an audio engine.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "calibration/wizard_host.h"

namespace test_support {

struct FakeWizardHost : WizardHost {
    double peak = 0.1;
    double rms = 0.1 / std::sqrt(2.0);
    double energy = 0.005;
    double maxLimit = 100.0;
    int32_t active = 0;
    int32_t ipv4 = 0;
    std::vector<std::pair<int32_t, int64_t>> posts;

    // A sine whose peak is dbfs: slow RMS peak/sqrt(2), energy its square.
    void Sine(double dbfs) {
        peak = std::pow(10.0, dbfs / 20.0);
        rms = peak / std::sqrt(2.0);
        energy = rms * rms;
    }
    double GetCPeak() override { return peak; }
    double GetCPeakV() override { return peak; }
    double GetLEQ10() override { return 0.0; }
    double GetLEQ10V() override { return 0.0; }
    double GetLEQCal(bool) override { return energy; }
    double GetRMSSlow(bool) override { return rms; }
    double GetCRef() override { return 0.0; }
    double GetKalDiv() override { return 0.0; }
    double MaxPresetLimit() override { return maxLimit; }
    int32_t ActiveAddressCount() override { return active; }
    int32_t Ipv4AddressCount() override { return ipv4; }
    bool MainIsReady() override { return true; }
    void PostToMain(int32_t code, int64_t argument) override { posts.emplace_back(code, argument); }
    void SendToMain(int32_t code, int64_t argument) override { posts.emplace_back(code, argument); }
    std::vector<int64_t> Statuses() const {
        std::vector<int64_t> s;
        for (const auto& [code, arg] : posts)
            if (code == 264) s.push_back(arg);
        return s;
    }
};

}  // namespace test_support

#pragma once
// What the calibration and correction wizards read of the main window and
// tell it. The wizards live in this folder and must not reach the main
// window's or the network's code, so the main window hands each wizard an
// implementation of this interface when it creates it; tests hand in their
// own with injected levels.
//
// Every call comes from the main thread.
#include <cstdint>

class WizardHost {
public:
    virtual ~WizardHost() = default;

    // Held peak amplitude (linear) of the measuring input (M) and of the
    // reference input (R) since the previous fetch.
    virtual double GetCPeak() = 0;
    virtual double GetCPeakV() = 0;
    // Last fetched short-term Leq of M in dB; the one of R.
    virtual double GetLEQ10() = 0;
    virtual double GetLEQ10V() = 0;
    // Short-term Leq energy (linear) of M or R; 0 without a running calculation.
    virtual double GetLEQCal(bool isSecondChannel) = 0;
    // Slow (1 s) RMS amplitude (linear) of M or R; 0 without a running calculation.
    virtual double GetRMSSlow(bool isSecondChannel) = 0;
    // The peak calculator offset when above 0, else 0.
    virtual double GetCRef() = 0;
    // Calibration value of R minus that of M, in dB.
    virtual double GetKalDiv() = 0;
    // The largest of the three limits of the current measuring preset, in dB.
    virtual double MaxPresetLimit() = 0;

    // Local addresses a browser could reach the program on: the active ones
    // and all IPv4 ones. Both 0 when the computer has no network.
    virtual int32_t ActiveAddressCount() = 0;
    virtual int32_t Ipv4AddressCount() = 0;
    // The main window finished its start and takes notifications.
    virtual bool MainIsReady() = 0;

    // Notification `code` with `argument` to the main window: queued, or
    // handled before the call returns.
    virtual void PostToMain(int32_t code, int64_t argument) = 0;
    virtual void SendToMain(int32_t code, int64_t argument) = 0;
};

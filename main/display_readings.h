#pragma once
// The display texts' view of the level engine, the default store and the
// current preset: each getter reads the object that exists at the moment of
// the call (the value reader is replaced when the calculation restarts), so
// the texts never hold on to a freed reader.
#include "ui_kit/display_texts.h"

// Registers itself for the display texts while it lives.
class TEngineDisplayReadings : public DisplayReadings {
public:
    TEngineDisplayReadings() { RegisterDisplayReadings(this); }
    ~TEngineDisplayReadings() override {
        if (displayReadings() == this) RegisterDisplayReadings(nullptr);
    }
    TEngineDisplayReadings(const TEngineDisplayReadings&) = delete;
    TEngineDisplayReadings& operator=(const TEngineDisplayReadings&) = delete;

    bool HasReader() const override;
    double ErwartungLeq() const override;
    double ErwartungLeqK() const override;
    double CurrentBlockPeak() const override;
    platform::TDateTime CurrentBlockPeakTime() const override;
    double MaxPeak() const override;
    platform::TDateTime MaxPeakTime() const override;
    void RMS(double& slow, double& fast) const override;
    void RMSP(double& slow, double& fast) const override;
    double RMSPeak() const override;
    double RMSPeakP() const override;

    int32_t Decimals() const override;
    double RealWarn(int32_t q) const override;
    double RealLimit(int32_t q) const override;
    int32_t WarnLeq() const override;
    int32_t LeqDuration() const override;
    bool IsInterval() const override;

    TMeasureEntry PresetEntry(int32_t entry) const override;
};

#pragma once
// The correction wizard's sums taken from the running calculation thread.
#include "audio/calculation_thread.h"
#include "calibration/correction_wizard_core.h"

class TCalcerSums : public CorrectionSums {
public:
    explicit TCalcerSums(TCalcer& calcer) : calcer_(calcer) {}
    void StartGetKorr() override { calcer_.StartGetKorr(); }
    void StopGetKorr(double& valA, double& valC, double& valZ) override { calcer_.StopGetKorr(valA, valC, valZ); }
    bool GetKorrVal(double& valA, double& valC, double& valZ) override { return calcer_.GetKorrVal(valA, valC, valZ); }
    void GetKorrVgl(double& valA, double& valC, double& valZ) override { calcer_.GetKorrVgl(valA, valC, valZ); }

private:
    TCalcer& calcer_;
};

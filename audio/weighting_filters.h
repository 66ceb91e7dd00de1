#pragma once
// The A and C frequency weightings at 48 kHz.
//
// The calculation input runs through a cascade of three second-order
// sections that yields the C- and the A-weighted signal in one pass; the
// reference input (channel 2) has its own A filter of higher order and its
// own C filter of two sections. Every path keeps its state from one call to
// the next, so a signal may be fed in buffers of any length and gives the
// same output, bit for bit, as when fed in one piece.
#include <array>
#include <cstdint>

// Coefficients of one second-order section: feed-forward a0..a2, feedback b1, b2.
struct TParam {
    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
};

// One section with its state: da0 last output, da1/da2 the two previous
// inputs, db1/db2 the two previous outputs.
struct TParamFull {
    TParam params;
    double da0 = 0.0;
    double da1 = 0.0;
    double da2 = 0.0;
    double db1 = 0.0;
    double db2 = 0.0;
};

// Runs second-order sections in direct form I.
class TBiQuad {
public:
    // Section id (1, 2 or 3) of the calculation input's cascade with a zero
    // state; any other id is refused with std::invalid_argument.
    static TParamFull InitAFilter(int32_t id);
    // Filters count samples of pData in place and returns the section with
    // its new state. A negative count, or no data for a positive count, is
    // refused with std::invalid_argument.
    static TParamFull DoBiQuad(double* pData, int32_t count, TParamFull fParam);
};

class TdBFilter {
public:
    // All three paths start at rest.
    TdBFilter();

    // Weights the calculation input: pInAOut comes in raw and leaves
    // A-weighted; pCOut, when given, receives the C-weighted signal. All
    // three sections advance whether or not pCOut is given.
    void DoACFilterNew(double* pInAOut, double* pCOut, int32_t Points);
    // A weighting of channel 2, in place.
    void DoAFilterDouble(double* pIn, int32_t Points);
    // C weighting of channel 2, in place.
    void DoCFilterDouble(double* pIn, int32_t Points);

private:
    double aCon;  // output gain of the channel-2 A filter
    double cCon;  // output gain of the channel-2 C filter
    TParamFull aParam1;
    TParamFull aParam2;
    TParamFull aParam3;
    std::array<double, 4> cArray{};   // h2, h1 of the high-pass; l2, l1 of the low-pass
    std::array<double, 11> nals{};    // x[n], x[n-1], ..., x[n-10]
    std::array<double, 6> altRess{};  // y[n-1], ..., y[n-6]
};

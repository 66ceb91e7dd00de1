#include "audio/weighting_filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// Sections 1 and 3 share their feedback; after them the signal has the C
// shape with +1.94 dB at 1 kHz, and section 2 turns it into the A shape.
constexpr TParam kSection1{0.96525096525, -1.34730163086, 0.38205066561, -1.34730722798, 0.34905752979};
constexpr TParam kSection2{0.94696969696, -1.89393939393, 0.94696969696, -1.89387049481, 0.89515976917};
constexpr TParam kSection3{0.6466654281, -0.38362237137, -0.26304305672, -1.34730722798, 0.34905752979};

// Channel-2 A filter: feed-forward c0..c10 on x[n]..x[n-10], feedback d1..d6 on y[n-1]..y[n-6].
constexpr double kAc[11] = {0.01147155239724,   -0.0248548824653166, 0.0323052801494283, -0.0555571372813964,
                            0.233784933167266,  0.392882400411297,   -0.633249911806281, -0.479494344932334,
                            0.322061493940389,  0.197659563091056,   0.00299879461389451};
constexpr double kAd[6] = {0.925699454182466, 0.992471193943543, -0.837650096562845,
                           -0.22307303912603, 0.158404327757755, -0.0184103295763937};

// Channel-2 C filter: a high-pass and a low-pass section in direct form II.
constexpr double kHighGain = 0.998040349847309;
constexpr double kHighB1 = -1.99608069969462;
constexpr double kHighB2 = 0.996080699694618;
constexpr double kLowGain = 0.366025407949341;
constexpr double kLowB1 = 0.732050815898682;
constexpr double kLowB2 = -0.267949184101318;

// Two doubles side by side; each lane rounds exactly as the scalar operation.
typedef double Lanes __attribute__((vector_size(16)));

inline Lanes Pair(double v) { return Lanes{v, v}; }

inline Lanes LoadLanes(const double* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Below this the channel-2 feedback states are set to 0, so that a decaying
// signal never reaches denormal arithmetic.
constexpr double kFlushBelow = 1e-20;

// One step of a section. The term of the newest output enters last: the
// recursion then waits for one multiply and one subtraction per sample
// instead of the whole sum, and every caller shares this one order, so the
// cascade gives the same bits whether run section by section or fused.
inline double SectionStep(const TParam& p, double x, double& da1, double& da2, double& db1, double& db2) {
    const double y = (p.a0 * x + p.a1 * da1 + p.a2 * da2 - p.b2 * db2) - p.b1 * db1;
    da2 = da1;
    da1 = x;
    db2 = db1;
    db1 = y;
    return y;
}

void CheckBuffer(const double* data, int32_t points, const char* what) {
    if (points < 0) {
        throw std::invalid_argument(std::string(what) + ": negative sample count " + std::to_string(points));
    }
    if (points > 0 && data == nullptr) {
        throw std::invalid_argument(std::string(what) + ": no buffer for " + std::to_string(points) + " samples");
    }
}

// The C-weighted signal is the intermediate C shape less its 1.94 dB gain at 1 kHz.
const double kCFromCascade = std::pow(10.0, -0.097);

}  // namespace

TParamFull TBiQuad::InitAFilter(int32_t id) {
    TParamFull section;
    switch (id) {
    case 1: section.params = kSection1; break;
    case 2: section.params = kSection2; break;
    case 3: section.params = kSection3; break;
    default: throw std::invalid_argument("InitAFilter: no weighting section " + std::to_string(id));
    }
    return section;
}

TParamFull TBiQuad::DoBiQuad(double* pData, int32_t count, TParamFull fParam) {
    CheckBuffer(pData, count, "DoBiQuad");
    double da1 = fParam.da1, da2 = fParam.da2, db1 = fParam.db1, db2 = fParam.db2;
    for (int32_t i = 0; i < count; ++i) {
        pData[i] = SectionStep(fParam.params, pData[i], da1, da2, db1, db2);
    }
    if (count > 0) {
        fParam.da0 = db1;
    }
    fParam.da1 = da1;
    fParam.da2 = da2;
    fParam.db1 = db1;
    fParam.db2 = db2;
    return fParam;
}

TdBFilter::TdBFilter()
    : aCon(std::pow(10.0, 0.0625)),
      cCon(std::pow(10.0, 0.0095)),
      aParam1(TBiQuad::InitAFilter(1)),
      aParam2(TBiQuad::InitAFilter(2)),
      aParam3(TBiQuad::InitAFilter(3)) {}

void TdBFilter::DoACFilterNew(double* pInAOut, double* pCOut, int32_t Points) {
    CheckBuffer(pInAOut, Points, "DoACFilterNew");
    // The three sections run sample by sample in one loop: each sample sees
    // exactly the arithmetic of three passes over the buffer, but the three
    // recursions overlap in the processor instead of running one after another.
    const TParam p1 = aParam1.params, p2 = aParam2.params, p3 = aParam3.params;
    double s1a1 = aParam1.da1, s1a2 = aParam1.da2, s1b1 = aParam1.db1, s1b2 = aParam1.db2;
    double s2a1 = aParam2.da1, s2a2 = aParam2.da2, s2b1 = aParam2.db1, s2b2 = aParam2.db2;
    double s3a1 = aParam3.da1, s3a2 = aParam3.da2, s3b1 = aParam3.db1, s3b2 = aParam3.db2;
    const double cGain = kCFromCascade;
    for (int32_t i = 0; i < Points; ++i) {
        const double y1 = SectionStep(p1, pInAOut[i], s1a1, s1a2, s1b1, s1b2);
        const double cShape = SectionStep(p3, y1, s3a1, s3a2, s3b1, s3b2);
        if (pCOut != nullptr) {
            pCOut[i] = cShape * cGain;
        }
        pInAOut[i] = SectionStep(p2, cShape, s2a1, s2a2, s2b1, s2b2);
    }
    if (Points > 0) {
        aParam1.da0 = s1b1;
        aParam2.da0 = s2b1;
        aParam3.da0 = s3b1;
    }
    aParam1.da1 = s1a1, aParam1.da2 = s1a2, aParam1.db1 = s1b1, aParam1.db2 = s1b2;
    aParam2.da1 = s2a1, aParam2.da2 = s2a2, aParam2.db1 = s2b1, aParam2.db2 = s2b2;
    aParam3.da1 = s3a1, aParam3.da2 = s3a2, aParam3.db1 = s3b1, aParam3.db2 = s3b2;
}

void TdBFilter::DoAFilterDouble(double* pIn, int32_t Points) {
    CheckBuffer(pIn, Points, "DoAFilterDouble");
    // The inputs are read from a window of memory (the ten previous inputs
    // followed by a stretch of new ones) instead of being shifted through
    // registers: eleven inputs and six outputs do not fit into the registers
    // together, and shifting them through the stack would slow every sample.
    constexpr int32_t kHistory = 10;
    constexpr int32_t kStretch = 512;
    double window[kHistory + kStretch];
    double y1 = altRess[0], y2 = altRess[1], y3 = altRess[2], y4 = altRess[3], y5 = altRess[4], y6 = altRess[5];
    const double gain = aCon;
    for (int32_t at = 0; at < Points; at += kStretch) {
        const int32_t count = std::min(kStretch, Points - at);
        for (int32_t k = 0; k < kHistory; ++k) {
            window[k] = nals[kHistory - 1 - k];  // oldest first: x[n-10] .. x[n-1]
        }
        std::memcpy(window + kHistory, pIn + at, sizeof(double) * static_cast<size_t>(count));
        const double* x = window + kHistory;
        auto recurse = [&](int32_t i, double feedForward) {
            // Older outputs first, the newest last: it alone sits on the recursion's path.
            const double olderFeedback = kAd[5] * y6 + kAd[4] * y5 + kAd[3] * y4 + kAd[2] * y3 + kAd[1] * y2;
            const double y = (feedForward + olderFeedback) + kAd[0] * y1;
            y6 = y5, y5 = y4, y4 = y3, y3 = y2, y2 = y1;
            y1 = std::fabs(y) > kFlushBelow ? y : 0.0;
            pIn[at + i] = y * gain;
        };
        int32_t i = 0;
        // Two feed-forward sums at a time, one per lane, each summed left to right.
        for (; i + 1 < count; i += 2) {
            Lanes sum = Pair(kAc[0]) * LoadLanes(x + i);
            for (int k = 1; k <= 10; ++k) {
                sum = sum + Pair(kAc[k]) * LoadLanes(x + i - k);
            }
            recurse(i, sum[0]);
            recurse(i + 1, sum[1]);
        }
        for (; i < count; ++i) {
            double sum = kAc[0] * x[i];
            for (int k = 1; k <= 10; ++k) {
                sum = sum + kAc[k] * x[i - k];
            }
            recurse(i, sum);
        }
        for (int32_t k = 0; k <= kHistory; ++k) {
            nals[k] = x[count - 1 - k];  // x[n] first
        }
    }
    altRess = {y1, y2, y3, y4, y5, y6};
}

void TdBFilter::DoCFilterDouble(double* pIn, int32_t Points) {
    CheckBuffer(pIn, Points, "DoCFilterDouble");
    double h2 = cArray[0], h1 = cArray[1], l2 = cArray[2], l1 = cArray[3];
    for (int32_t i = 0; i < Points; ++i) {
        const double h = (kHighGain * pIn[i] - kHighB2 * h2) - kHighB1 * h1;
        const double u = h - 2.0 * h1 + h2;
        h2 = h1;
        h1 = h;
        const double l = (kLowGain * u - kLowB2 * l2) - kLowB1 * l1;
        const double out = l + 2.0 * l1 + l2;
        l2 = std::fabs(l1) > kFlushBelow ? l1 : 0.0;
        l1 = l;
        pIn[i] = out * cCon;
    }
    cArray = {h2, h1, l2, l1};
}

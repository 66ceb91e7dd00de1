#pragma once
// The bit layouts of the packed words of a measurement header: the weighting
// word (one 4-bit code per quantity) and the graph word (range plus curve
// switches). Pure functions, so the store and the file readers share one rule.
#include <cstdint>

// Quantity ids used throughout the store.
inline constexpr int32_t kQuantityLeq = 0;
inline constexpr int32_t kQuantityLeqK = 1;
inline constexpr int32_t kQuantityPeak = 2;

// Weighting codes.
inline constexpr int32_t kWeightingA = 1;
inline constexpr int32_t kWeightingC = 2;
inline constexpr int32_t kWeightingZ = 4;

// Which curves the level graph shows.
struct TCurveFlags {
    bool leq = true;
    bool leqK = true;
    bool peak = true;
};

inline constexpr int32_t kCurveLeqBit = 1 << 8;
inline constexpr int32_t kCurveLeqKBit = 1 << 9;
inline constexpr int32_t kCurvePeakBit = 1 << 10;
inline constexpr int32_t kCurveBits = kCurveLeqBit | kCurveLeqKBit | kCurvePeakBit;

// Bit position of a quantity's 4-bit group in the weighting word, -1 for an
// unknown quantity: the Leq uses bits 4-7, the short-term Leq 8-11, the peak 0-3.
constexpr int WeightingShift(int32_t quantity) {
    switch (quantity) {
    case kQuantityLeq: return 4;
    case kQuantityLeqK: return 8;
    case kQuantityPeak: return 0;
    default: return -1;
    }
}

// The weighting code of a quantity; Z for an unknown quantity.
constexpr int32_t WeightingOf(int32_t word, int32_t quantity) {
    const int shift = WeightingShift(quantity);
    return shift < 0 ? kWeightingZ : (word >> shift) & 0xF;
}

// The word with the quantity's group replaced by the low 4 bits of code; an
// unknown quantity leaves the word as it is.
constexpr int32_t WithWeighting(int32_t word, int32_t quantity, int32_t code) {
    const int shift = WeightingShift(quantity);
    if (shift < 0) {
        return word;
    }
    const uint32_t mask = 0xFu << shift;
    const uint32_t w = (static_cast<uint32_t>(word) & ~mask) | ((static_cast<uint32_t>(code) & 0xFu) << shift);
    return static_cast<int32_t>(w);
}

// The curve switches of a graph word; a word without any switch shows all three.
constexpr TCurveFlags CurveFlagsOf(int32_t graphWord) {
    if ((graphWord & kCurveBits) == 0) {
        return TCurveFlags{};
    }
    return TCurveFlags{(graphWord & kCurveLeqBit) != 0, (graphWord & kCurveLeqKBit) != 0,
                       (graphWord & kCurvePeakBit) != 0};
}

// Packs three curve switches as 1 (Leq), 2 (short-term Leq), 4 (peak).
constexpr uint8_t FlagsToByte(bool leq, bool leqK, bool peak) {
    return static_cast<uint8_t>((leq ? 1 : 0) | (leqK ? 2 : 0) | (peak ? 4 : 0));
}

// A graph word of the low byte of range and the switches that graphWord shows
// (all three when it has none); any other bit of graphWord is dropped.
constexpr int32_t GraphWordWithRange(int32_t graphWord, int32_t range) {
    const TCurveFlags f = CurveFlagsOf(graphWord);
    return (range & 0xFF) | (FlagsToByte(f.leq, f.leqK, f.peak) << 8);
}

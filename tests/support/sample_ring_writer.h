#pragma once
// The test's stand-in for an input back-end: starts the sample rings afresh
// at a chosen slot and writes frames under the ring protocol (store the
// block, then publish it).
#include <cstdint>
#include <vector>

#include "ui_kit/shared_state.h"

namespace test_support {

// The rings start afresh with the next write at slot.
inline void RestartRingsAt(int32_t slot) {
    ringWritePos.Restart();
    ringWritePos.Publish(slot);
}

inline void WriteRingFrames(const std::vector<double>& ch1, const std::vector<double>& ch2 = {}) {
    int32_t pos = ringWritePos.Slot();
    for (size_t i = 0; i < ch1.size(); ++i) {
        sampleRing1[pos] = ch1[i];
        sampleRing2[pos] = ch2.empty() ? 0.0 : ch2[i];
        pos = NextRingSlot(pos, kSampleRingSize);
    }
    ringWritePos.Publish(static_cast<int32_t>(ch1.size()));
}

}  // namespace test_support

// The sample rings between the real ends that use them: the wave back-end's
// conversion writes numbered frames on one thread while the calculation
// reads on another, across the ring's wrap; what the calculation copied
// into the recording ring must be every frame once, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/wave_backend.h"
#include "engine_fixture.h"
#include "platform/wave_audio.h"

using namespace engine_test;

namespace {

constexpr int32_t kFramesPerBuffer = 2048;
constexpr int32_t kDistinctValues = 30000;

// As the conversion scales a 16-bit sample.
double ValueOf(int64_t frame) { return static_cast<double>(frame % kDistinctValues) * (1.0 / 32767.0); }

// A 16-bit stereo buffer as a device returns it; the measuring side is the
// right channel (no main-window fields: Kanal is off).
void FillBuffer(std::vector<char>& data, int64_t firstFrame) {
    auto* samples = reinterpret_cast<int16_t*>(data.data());
    for (int32_t f = 0; f < kFramesPerBuffer; ++f) {
        samples[2 * f] = 0;
        samples[2 * f + 1] = static_cast<int16_t>((firstFrame + f) % kDistinctValues);
    }
}

using SampleRingConcurrent = EngineFixture;

TEST_F(SampleRingConcurrent, TheWaveConversionAndTheEngineAcrossTheWrapLoseAndDuplicateNothing) {
    RestartRingsAt(kSampleRingSize - 1000);  // the run crosses the wrap several times
    TCalcer calc(&posts);
    calc.RunCycle();  // the reset
    waveFirstBuffer.store(true);
    const int64_t total = 1056LL * kFramesPerBuffer;  // three rings and a little
    std::atomic<int64_t> consumed{0};

    std::thread producer([&] {
        std::vector<char> data(kFramesPerBuffer * 4);
        platform::WaveHeader header;
        header.data = data.data();
        header.bufferLength = static_cast<uint32_t>(data.size());
        for (int64_t produced = 0; produced < total;) {
            // Stay inside the ring, as a calculation every 25 ms against 15 s does.
            if (produced - consumed.load() > kSampleRingSize / 2) {
                std::this_thread::yield();
                continue;
            }
            FillBuffer(data, produced);
            header.bytesRecorded = header.bufferLength;
            WaveInDataReady(&header);
            produced += kFramesPerBuffer;
        }
    });

    int32_t recorded = recRing.Position();
    int64_t expected = 0;
    int64_t mismatches = 0;
    std::vector<double> read(recRing.Size());
    while (expected < total) {
        Cycle(calc);
        const int32_t n = (recRing.Position() - recorded + recRing.Size()) % recRing.Size();
        recRing.Read(recorded, read.data(), n);
        recorded = recRing.Position();
        for (int32_t i = 0; i < n; ++i) {
            if (read[static_cast<size_t>(i)] != ValueOf(expected)) ++mismatches;
            ++expected;
        }
        consumed.store(expected);
        if (n == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(expected, total);
    EXPECT_TRUE(posts.TakeLines().empty()) << "no lap";
}

}  // namespace

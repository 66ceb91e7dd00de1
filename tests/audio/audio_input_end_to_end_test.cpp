// The whole input road on a machine without a sound card: the simulated
// 1 kHz sine at -20 dBFS, started through the audio start, runs through the
// wave back-end into the rings, and the calculation and the VU meter read
// it on their own threads. No clock is looked at: what reached the rings is
// compared with what the device generated, frame by frame.
#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "support/hide_machine_sound_devices.h"
#include "audio/audio_start_stop.h"
#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "audio/vu_meter_thread.h"
#include "audio/wave_backend.h"
#include "audio_in_fakes.h"

using namespace audio_in_test;

namespace {

class AudioInputConcurrent : public AudioInFixture {
protected:
    static void SetUpTestSuite() {
        // The machine's own sound devices stay out: only the simulated ones are listed.
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
    }
};

TEST_F(AudioInputConcurrent, SimulatedSineReachesTheEngineAtItsLevel) {
    ConfigureSimulated([](platform::Registry& reg) {
        reg.WriteFloat("SineFrequency", 1000.0);
        reg.WriteFloat("SineLevel", -20.0);
    });
    main.fields.IOMode = 0;
    main.fields.waveInID = FindInput(platform::kSimulatedSineName);
    main.fields.Kanal = true;
    main.fields.HighRes = true;
    ASSERT_GE(main.fields.waveInID.load(), 0);

    TWertCreate reader;
    wertCreate.store(&reader);
    TCalcer calc;
    calcer.store(&calc);
    TVuThread vu([] { return 0.0; });
    main.fields.hVuThread = &vu;
    calc.Start();
    vu.Start();

    waveFirstBuffer.store(false);  // as after the program's start
    BlockWaiter blocks;
    SetRingPublishObserver([&](int32_t position) { blocks.Seen(position); });
    StartAudioIn(false);
    ASSERT_TRUE(IsInputRunning());
    // About two and a half seconds of input: more than the one-second window
    // of the short-term Leq.
    constexpr size_t kBlocks = 60;
    ASSERT_TRUE(blocks.WaitFor(kBlocks, 20000));
    // 0.1 peak: an RMS of 0.0707, 23.01 dB below full scale, read with the
    // calibration offset of 120 dB; A weighting is 0 dB at 1 kHz.
    double leqk = 0;
    int32_t count = 0;
    reader.GetLeqk(leqk, count);
    EXPECT_EQ(count, 8);
    EXPECT_NEAR(leqk, 120.0 + 20.0 * std::log10(0.1 / std::sqrt(2.0)), 0.1);
    double peak1 = 0, peak2 = 0, rms1 = 0, rms2 = 0;
    vu.getLevels(peak1, peak2, rms1, rms2);
    EXPECT_NEAR(rms1, 0.1 / std::sqrt(2.0), 0.001);
    EXPECT_NEAR(peak1, 0.1, 0.001);
    EXPECT_EQ(clipCounter.load(), 0);

    StopAudioIn();
    EXPECT_FALSE(IsInputRunning());

    // Every frame the device generated reached the rings once and in order,
    // from its second buffer on (the first of the program is dropped): slot
    // j holds the device's frame 2048 + j, so the count delivered is the
    // count generated, however the machine's load delayed the buffers.
    const int64_t written = SampleRingPosition::WrittenIn(ringWritePos.Snapshot());
    EXPECT_GE(written, static_cast<int64_t>((kBlocks - 1) * kWaveInFrames));
    EXPECT_EQ(written % kWaveInFrames, 0);
    ASSERT_LT(written, kSampleRingSize);
    for (int64_t j = 0; j < written; ++j) {
        const double phase = 2.0 * std::numbers::pi * 1000.0 * static_cast<double>(kWaveInFrames + j) / 48000.0;
        const double generated = std::nearbyint(0.1 * std::sin(phase) * 2147483647.0) / 2147483647.0;
        ASSERT_NEAR(sampleRing1[static_cast<size_t>(j)], generated, 1e-9) << "slot " << j;
    }
    SetRingPublishObserver(nullptr);
    vu.Stop();
    calc.Stop();
    main.fields.hVuThread = nullptr;
    calcer.store(nullptr);
    wertCreate.store(nullptr);
    EXPECT_EQ(dialogs.messages().size(), 0u);
}

}  // namespace

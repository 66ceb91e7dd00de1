// The wave back-end on the simulated devices: how each buffer reaches the
// rings, the dropped first buffer, the test-signal output and the error
// report of a failing step.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

#include "audio/wave_backend.h"
#include "audio_in_fakes.h"
#include "support/sample_ring_writer.h"
#include "ui_kit/text_table.h"

using namespace audio_in_test;

namespace {

constexpr double kLeft = 0.1;  // -20 dBFS at 1 kHz
constexpr double kRight = 0.5011872336272722;  // -6 dBFS at 250 Hz

double DeviceSample(double amplitude, double frequency, int64_t frame, int bits) {
    const double full = bits == 32 ? 2147483647.0 : 32767.0;
    return std::nearbyint(amplitude * std::sin(2 * std::numbers::pi * frequency * frame / 48000.0) * full) / full;
}

class WaveBackendTest : public AudioInFixture {
protected:
    // ALSA reads only the test's configuration (set before its first use in
    // this program): one capture that delivers a little and then fails, as
    // an unplugged card does. The machine's own devices stay out.
    static void SetUpTestSuite() {
        alsaDir = new QTemporaryDir;
        QFile in(alsaDir->filePath("in.raw"));
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
        in.write(QByteArray(48000 * 4, '\x01'));
        in.close();
        QFile conf(alsaDir->filePath("asound.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("pcm.veltaro_failing {\n"
                                  "  type file\n  slave.pcm { type null }\n  file \"/dev/full\"\n  infile \"%1\"\n"
                                  "  format \"raw\"\n  hint { show on description \"Veltaro Failing Capture\" }\n}\n")
                       .arg(in.fileName())
                       .toUtf8());
        conf.close();
        setenv("ALSA_CONFIG_PATH", qPrintable(conf.fileName()), 1);
    }
    static void TearDownTestSuite() {
        delete alsaDir;
        alsaDir = nullptr;
    }
    static QTemporaryDir* alsaDir;

    void SetUp() override {
        AudioInFixture::SetUp();
        ConfigureSimulated([](platform::Registry& reg) {
            reg.WriteFloat("SineFrequency", 1000.0);
            reg.WriteFloat("SineLevel", -20.0);
            reg.WriteFloat("SineFrequencyRight", 250.0);
            reg.WriteFloat("SineLevelRight", -6.0);
        });
        SetRingPublishObserver([this](int32_t p) { blocks.Seen(p); });
        waveFirstBuffer.store(false);  // as after the program's start
    }
    void TearDown() override {
        if (IsWaveInOpen()) CloseWaveIn();
        SetRingPublishObserver(nullptr);
        platform::SetSimulatedOutputTap(nullptr);
        AudioInFixture::TearDown();
    }
    BlockWaiter blocks;
};

struct Routing {
    int32_t assign;
    bool kanal;
    bool highRes;
    const char* ring1;  // "L", "R"
    const char* ring2;  // "L", "R" or "-" (not written)
};

TEST_F(WaveBackendTest, BuffersReachTheRingsByAssignmentAndSideAfterTheFirstIsDropped) {
    const Routing cases[] = {
        {1, true, false, "L", "-"}, {1, false, false, "R", "-"}, {3, true, false, "L", "R"},
        {3, false, true, "R", "L"}, {2, false, true, "L", "-"},
    };
    for (const Routing& c : cases) {
        SCOPED_TRACE(testing::Message() << "assign " << c.assign << " Kanal " << c.kanal << " HighRes " << c.highRes);
        blocks.Clear();
        waveFirstBuffer.store(false);
        inputAssign.store(c.assign);
        main.fields.Kanal = c.kanal;
        main.fields.HighRes = c.highRes;
        main.fields.waveInID = FindInput(platform::kSimulatedSineName);
        std::fill(sampleRing2.begin(), sampleRing2.end(), 7.0);
        // The buffer ends on the ring's last slot and the next one starts at 0.
        const int32_t start = kSampleRingSize - 2048;
        test_support::RestartRingsAt(start);
        ASSERT_TRUE(OpenWaveIn());
        EXPECT_TRUE(IsInputRunning());
        EXPECT_EQ(main.fields.WaveDeviceName, platform::kSimulatedSineName);
        EXPECT_EQ(waveFormat.bitsPerSample, c.highRes ? 32 : 16);
        EXPECT_EQ(waveFormat.avgBytesPerSec, c.highRes ? 384000u : 192000u);
        ASSERT_TRUE(blocks.WaitFor(2));
        CloseWaveIn();
        EXPECT_FALSE(IsInputRunning());
        EXPECT_EQ(blocks.Positions()[0].second, 0) << "published: the slot after the last one written";
        EXPECT_EQ(blocks.Positions()[1].second, 2048);

        const int bits = c.highRes ? 32 : 16;
        for (int32_t k = 0; k < 4096; ++k) {
            const int32_t slot = (start + k) % kSampleRingSize;
            const int64_t frame = 2048 + k;  // the device's first buffer never reached the ring
            const double l = DeviceSample(kLeft, 1000.0, frame, bits);
            const double r = DeviceSample(kRight, 250.0, frame, bits);
            const double tolerance = 1.5 / 32767.0;
            ASSERT_NEAR(sampleRing1[slot], std::string(c.ring1) == "L" ? l : r, tolerance) << k;
            if (std::string(c.ring2) == "-") ASSERT_EQ(sampleRing2[slot], 7.0) << k;
            else ASSERT_NEAR(sampleRing2[slot], std::string(c.ring2) == "L" ? l : r, tolerance) << k;
        }
    }
    EXPECT_EQ(dialogs.messages().size(), 0u);
}

TEST_F(WaveBackendTest, MostNegativeSixteenBitSampleIsSlightlyBeyondFullScale) {
    // A float WAV whose first sample comes out of the device as -32768.
    QByteArray wav("RIFF");
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) wav.append(char(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { wav.append(char(v)); wav.append(char(v >> 8)); };
    const float samples[2] = {-1.0000305f, 0.25f};
    u32(36 + 8);
    wav.append("WAVEfmt ");
    u32(16); u16(3); u16(1); u32(48000); u32(48000 * 4); u16(4); u16(32);
    wav.append("data");
    u32(8);
    wav.append(reinterpret_cast<const char*>(samples), 8);
    QFile file(dir.filePath("edge.wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wav);
    file.close();
    ConfigureSimulated([&](platform::Registry& reg) { reg.WriteString("WavFile", file.fileName()); });
    main.fields.waveInID = FindInput(platform::kSimulatedWavName);
    main.fields.Kanal = true;
    main.fields.HighRes = false;
    ringWritePos.Restart();
    ASSERT_TRUE(OpenWaveIn());
    ASSERT_TRUE(blocks.WaitFor(1));
    CloseWaveIn();
    EXPECT_DOUBLE_EQ(sampleRing1[0], -32768.0 / 32767.0);
    EXPECT_NEAR(sampleRing1[0], -1.0000305, 1e-7);
    EXPECT_DOUBLE_EQ(sampleRing1[1], 8192.0 / 32767.0);
}

QTemporaryDir* WaveBackendTest::alsaDir = nullptr;

// A device that stops delivering reaches the main window as the audio
// failure of a device that does not respond, with the input marked stopped.
TEST_F(WaveBackendTest, AnInputThatFailsMidStreamIsAnAudioFailureWithTheInputStopped) {
    main.fields.waveInID = FindInput(QStringLiteral("Veltaro Failing Capture"));
    ASSERT_GE(main.fields.waveInID.load(), 0);
    ASSERT_TRUE(OpenWaveIn());  // the device may fail before the open returns: it still ends up stopped
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (IsInputRunning() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
    EXPECT_FALSE(IsInputRunning());
    EXPECT_TRUE(blocks.WaitFor(1)) << "the device delivered before it failed";
    // The close waits for the device thread, and with it for its post.
    CloseWaveIn();
    const std::vector<Message> seen = NotificationsOnly();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), Message{WM_MAIN_NOTIFY, kNotifyAudioFailure, 2}), 1);
    EXPECT_EQ(dialogs.messages().size(), 0u);
}

TEST_F(WaveBackendTest, NoDeviceChosenOpensNothingAndAFailedOpenIsReported) {
    main.fields.WaveDeviceName = "before";
    main.fields.waveInID = -1;
    EXPECT_FALSE(OpenWaveIn());
    EXPECT_EQ(main.fields.WaveDeviceName, "before");
    EXPECT_FALSE(IsWaveInOpen());

    // The WAV player with a file that is gone: the open fails.
    ConfigureSimulated([&](platform::Registry& reg) { reg.WriteString("WavFile", dir.filePath("gone.wav")); });
    main.fields.waveInID = FindInput(platform::kSimulatedWavName);
    dialogs.ScriptMessage(platform::kMessageRight);
    EXPECT_FALSE(OpenWaveIn());
    EXPECT_FALSE(IsInputRunning());
    EXPECT_EQ(main.fields.WaveDeviceName, GetLangText(3));
    const auto shown = dialogs.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].header, " Open Wave In Normal");
    QString expected;
    platform::WaveInGetErrorText(platform::kWaveErrNoDriver, &expected);
    EXPECT_EQ(shown[0].text, expected);
    EXPECT_EQ(shown[0].rightCaptionId, 1054);
    EXPECT_TRUE(shown[0].leftCaption.isEmpty());
    EXPECT_TRUE(shown[0].centreCaption.isEmpty());
}

TEST_F(WaveBackendTest, ACodeWithoutTextIsReportedWithItsNumbersAndAWorkerThreadOnlyQueuesTheBox) {
    EXPECT_TRUE(CheckWaveError(0, "any"));
    EXPECT_FALSE(CheckWaveError(0x1234, "Step"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("No valid errorcode: 1234\r\nMessagecode: 0009\r\nSyserror: "));
    EXPECT_EQ(dialogs.messages()[0].header, "Step");

    bool answer = true;
    std::thread worker([&] { answer = CheckWaveError(platform::kWaveErrAllocated, "Device thread"); });
    worker.join();
    EXPECT_FALSE(answer);
    EXPECT_EQ(dialogs.messages().size(), 1u) << "not shown on the worker";
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(dialogs.messages().size(), 2u) << "shown by the GUI thread";
    EXPECT_EQ(dialogs.messages()[1].header, "Device thread");
}

TEST_F(WaveBackendTest, OutputCirculatesSilenceWhileOffAndSaturatesALoudSignal) {
    std::mutex lock;
    std::condition_variable played;
    std::vector<std::vector<int16_t>> blocksPlayed;
    platform::SetSimulatedOutputTap([&](const uint8_t* data, int32_t frames, const platform::PcmFormat&) {
        {
            std::lock_guard guard(lock);
            const auto* s = reinterpret_cast<const int16_t*>(data);
            blocksPlayed.emplace_back(s, s + 2 * frames);
        }
        played.notify_all();
    });
    auto waitForBlocks = [&](size_t n) {
        std::unique_lock guard(lock);
        return played.wait_for(guard, std::chrono::seconds(10), [&] { return blocksPlayed.size() >= n; });
    };
    noiseTable.assign(5000, 0.0);
    noiseTable[0] = 0.5;
    noiseTable[1] = -0.5;
    noiseTable[2] = 0.75;
    noiseTable[3] = -0.75;
    outputGain.store(2.0);
    testSignalOn.store(false);
    main.fields.HighRes = false;
    main.fields.waveOutID = FindOutput(platform::kSimulatedOutputName);
    OpenWaveOut();
    EXPECT_TRUE(IsOutputRunning());
    EXPECT_EQ(noisePos.load(), 0);
    // Both buffers start silent; the first refill is made while the sound is off.
    ASSERT_TRUE(waitForBlocks(3));
    testSignalOn.store(true);
    ASSERT_TRUE(waitForBlocks(6));
    CloseWaveOut();
    EXPECT_FALSE(IsOutputRunning());
    EXPECT_FALSE(IsWaveOutOpen());
    std::lock_guard guard(lock);
    for (int b = 0; b < 3; ++b)
        for (int16_t s : blocksPlayed[b]) ASSERT_EQ(s, 0) << "block " << b;
    // Each refill advanced the table by 4096 frames, audible or not: the
    // loud block is one whose first frame read table index 0 after the wrap
    // or later; find the frame that played table slot 0..3.
    bool found = false;
    for (size_t b = 3; b < blocksPlayed.size() && !found; ++b) {
        const auto& s = blocksPlayed[b];
        for (size_t f = 0; f + 3 < s.size() / 2; ++f) {
            if (s[2 * f] == 32767 && s[2 * f + 2] == -32767 && s[2 * f + 4] == 32767 && s[2 * f + 6] == -32768) {
                EXPECT_EQ(s[2 * f + 1], 32767) << "both channels";
                found = true;
                break;
            }
        }
    }
    EXPECT_TRUE(found) << "0.75 x 2 and -0.75 x 2 clip at both ends instead of wrapping";
    EXPECT_EQ(dialogs.messages().size(), 0u);
}

}  // namespace

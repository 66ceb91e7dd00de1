// The wave interface on its simulated devices: the device list, the signals
// they deliver, the buffer life cycle and the errors of wrong use.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <new>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numbers>
#include <vector>

#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/wave_audio.h"

using namespace platform;

// Every allocation of this test program is counted per thread, so a test
// can tell whether a device callback allocated.
thread_local int64_t allocationsOfThisThread = 0;

void* operator new(std::size_t size) {
    ++allocationsOfThisThread;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Gathers what the device callback hands back, for the test thread to wait on.
struct Collector {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<QByteArray> blocks;
    std::vector<uintptr_t> returned;
    bool requeue = false;
    WaveHandle handle = 0;

    static void Callback(WaveHandle h, uint32_t msg, uintptr_t instance, uintptr_t p1, uintptr_t) {
        auto* self = reinterpret_cast<Collector*>(instance);
        if (msg != kWimData && msg != kWomDone) return;
        auto* header = reinterpret_cast<WaveHeader*>(p1);
        {
            std::lock_guard guard(self->lock);
            self->blocks.emplace_back(header->data, static_cast<int>(msg == kWimData ? header->bytesRecorded : 0));
            self->returned.push_back(header->user);
        }
        self->arrived.notify_all();
        if (self->requeue && msg == kWimData) WaveInAddBuffer(h, header, kWaveHeaderSize);
    }

    bool WaitFor(size_t n) {
        std::unique_lock lock_(lock);
        return arrived.wait_for(lock_, std::chrono::seconds(10), [&] { return blocks.size() >= n; });
    }
};

WaveFormat Format(int bits, int channels = 2) {
    WaveFormat f;
    f.formatTag = kWaveFormatPcm;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSec = 48000;
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = 48000u * f.blockAlign;
    return f;
}

int32_t FindInput(const QString& name) {
    const uint32_t n = WaveInDeviceCount();
    for (uint32_t i = 0; i < n; ++i) {
        WaveInCaps caps;
        if (WaveInGetCaps(i, &caps) == kWaveNoError && ProductNameOf(caps) == name) return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t FindOutput(const QString& name) {
    const uint32_t n = WaveOutDeviceCount();
    for (uint32_t i = 0; i < n; ++i) {
        WaveOutCaps caps;
        if (WaveOutGetCaps(i, &caps) == kWaveNoError && ProductNameOf(caps) == name) return static_cast<int32_t>(i);
    }
    return -1;
}

struct Buffer {
    explicit Buffer(uint32_t bytes, uintptr_t user) : data(bytes, 0) {
        header.data = data.data();
        header.bufferLength = bytes;
        header.user = user;
    }
    std::vector<char> data;
    WaveHeader header;
};

int16_t Sample16(const QByteArray& block, int frame, int channel) {
    int16_t v;
    std::memcpy(&v, block.constData() + (frame * 2 + channel) * 2, 2);
    return v;
}

class WaveAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        unsetenv("VELTARO_SIMULATED_AUDIO");
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    }
    void TearDown() override {
        unsetenv("VELTARO_SIMULATED_AUDIO");
        Registry::SetHiveFiles({}, {});
    }

    void Configure(const std::function<void(Registry&)>& write) {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSimulatedAudioKey, true));
        write(reg);
        ASSERT_TRUE(reg.CloseKey());
    }

    QTemporaryDir dir;
};

TEST_F(WaveAudioTest, SimulatedDevicesFollowTheRealOnesAndCanBeSwitchedOff) {
    const uint32_t inputs = WaveInDeviceCount();
    const int32_t sine = FindInput(kSimulatedSineName);
    ASSERT_GE(sine, 0);
    EXPECT_EQ(FindInput(kSimulatedNoiseName), sine + 1);
    EXPECT_EQ(FindInput(kSimulatedWavName), -1) << "listed only while a WAV file is set";
    EXPECT_EQ(static_cast<uint32_t>(sine + 2), inputs) << "the simulated devices come last";
    EXPECT_EQ(FindOutput(kSimulatedOutputName), static_cast<int32_t>(WaveOutDeviceCount()) - 1);

    Configure([](Registry& reg) { reg.WriteBool("Enabled", false); });
    EXPECT_EQ(FindInput(kSimulatedSineName), -1);
    EXPECT_EQ(WaveInDeviceCount(), inputs - 2);
    EXPECT_EQ(FindOutput(kSimulatedOutputName), -1);

    setenv("VELTARO_SIMULATED_AUDIO", "1", 1);
    EXPECT_GE(FindInput(kSimulatedSineName), 0) << "the environment overrides the setting";
    Configure([](Registry& reg) { reg.WriteBool("Enabled", true); });
    setenv("VELTARO_SIMULATED_AUDIO", "0", 1);
    EXPECT_EQ(FindInput(kSimulatedSineName), -1);
}

TEST_F(WaveAudioTest, SineDeviceDeliversTheConfiguredSignalOnEachChannel) {
    Configure([](Registry& reg) {
        reg.WriteFloat("SineFrequency", 1000.0);
        reg.WriteFloat("SineLevel", -20.0);
        reg.WriteFloat("SineFrequencyRight", 250.0);
        reg.WriteFloat("SineLevelRight", -6.0);
    });
    const int32_t id = FindInput(kSimulatedSineName);
    ASSERT_GE(id, 0);
    Collector c;
    WaveHandle h = 0;
    const WaveFormat f = Format(16);
    ASSERT_EQ(WaveInOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
              kWaveNoError);
    Buffer b1(8192, 1), b2(8192, 2);
    for (Buffer* b : {&b1, &b2}) {
        ASSERT_EQ(WaveInPrepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInAddBuffer(h, &b->header, kWaveHeaderSize), kWaveNoError);
    }
    ASSERT_EQ(WaveInStart(h), kWaveNoError);
    ASSERT_TRUE(c.WaitFor(2));
    ASSERT_EQ(WaveInReset(h), kWaveNoError);
    for (Buffer* b : {&b1, &b2}) {
        EXPECT_FALSE(b->header.flags.load() & kWaveHeaderInQueue);
        EXPECT_TRUE(b->header.flags.load() & kWaveHeaderDone);
        ASSERT_EQ(WaveInUnprepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
    }
    ASSERT_EQ(WaveInClose(h), kWaveNoError);

    ASSERT_EQ(c.returned[0], 1u);
    ASSERT_EQ(c.returned[1], 2u);
    ASSERT_EQ(c.blocks[0].size(), 8192);
    const double left = 0.1, right = std::pow(10.0, -6.0 / 20.0);
    for (int k = 0; k < 4096; ++k) {
        const QByteArray& block = c.blocks[k / 2048];
        const int frame = k % 2048;
        const double l = std::nearbyint(left * std::sin(2 * std::numbers::pi * 1000.0 * k / 48000.0) * 32767);
        const double r = std::nearbyint(right * std::sin(2 * std::numbers::pi * 250.0 * k / 48000.0) * 32767);
        ASSERT_NEAR(Sample16(block, frame, 0), l, 1.0) << k;
        ASSERT_NEAR(Sample16(block, frame, 1), r, 1.0) << k;
    }
}

TEST_F(WaveAudioTest, WavPlayerLoopsTheFileAndPinkNoiseHasItsLevel) {
    // A mono 24-bit file of five samples, played on both channels in a loop.
    const int32_t values[5] = {0, 4194304, -8388608, 8388607, -1};
    QByteArray wav("RIFF");
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) wav.append(char(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { wav.append(char(v)); wav.append(char(v >> 8)); };
    u32(36 + 15);
    wav.append("WAVEfmt ");
    u32(16); u16(1); u16(1); u32(48000); u32(48000 * 3); u16(3); u16(24);
    wav.append("data");
    u32(15);
    for (int32_t v : values) for (int i = 0; i < 3; ++i) wav.append(char(v >> (8 * i)));
    QFile file(dir.filePath("five.wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wav);
    file.close();
    Configure([&](Registry& reg) {
        reg.WriteString("WavFile", file.fileName());
        reg.WriteFloat("NoiseLevel", -10.0);
    });

    for (const QString& name : {kSimulatedWavName, kSimulatedNoiseName}) {
        const int32_t id = FindInput(name);
        ASSERT_GE(id, 0) << qPrintable(name);
        Collector c;
        WaveHandle h = 0;
        const WaveFormat f = Format(32);
        ASSERT_EQ(WaveInOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
                  kWaveNoError);
        Buffer b(8 * 4800, 1);
        ASSERT_EQ(WaveInPrepareHeader(h, &b.header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInAddBuffer(h, &b.header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInStart(h), kWaveNoError);
        ASSERT_TRUE(c.WaitFor(1));
        ASSERT_EQ(WaveInReset(h), kWaveNoError);
        ASSERT_EQ(WaveInUnprepareHeader(h, &b.header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInClose(h), kWaveNoError);

        const auto* s = reinterpret_cast<const int32_t*>(c.blocks[0].constData());
        if (name == kSimulatedWavName) {
            for (int k = 0; k < 20; ++k) {
                const double expected = std::nearbyint(values[k % 5] / 8388608.0 * 2147483647.0);
                EXPECT_EQ(s[2 * k], expected) << k;
                EXPECT_EQ(s[2 * k + 1], expected) << k;
            }
        } else {
            double sum = 0;
            for (int k = 0; k < 4800; ++k) sum += std::pow(s[2 * k] / 2147483647.0, 2);
            EXPECT_NEAR(10 * std::log10(sum / 4800), -10.0, 1.5);
        }
    }
}

TEST_F(WaveAudioTest, MisuseIsRefusedWithItsCode) {
    const int32_t id = FindInput(kSimulatedSineName);
    ASSERT_GE(id, 0);
    WaveHandle h = 0;
    WaveFormat bad = Format(16);
    bad.blockAlign = 3;
    EXPECT_EQ(WaveInOpen(&h, id, &bad, nullptr, 0, kWaveCallbackFunction), kWaveErrBadFormat);
    WaveFormat initial = Format(16);
    initial.formatTag = kWaveFormatExtensible;  // extensible without its extension
    EXPECT_EQ(WaveInOpen(&h, id, &initial, nullptr, 0, kWaveCallbackFunction), kWaveErrBadFormat);
    const WaveFormat f = Format(16);
    EXPECT_EQ(WaveInOpen(&h, WaveInDeviceCount(), &f, nullptr, 0, kWaveCallbackFunction), kWaveErrBadDeviceId);
    EXPECT_EQ(WaveInOpen(&h, id, &f, nullptr, 0, kWaveFormatQuery), kWaveNoError);
    EXPECT_EQ(h, 0u) << "a query opens nothing";
    EXPECT_EQ(WaveInStart(12345), kWaveErrInvalidHandle);

    Collector c;
    ASSERT_EQ(WaveInOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
              kWaveNoError);
    EXPECT_EQ(WaveOutReset(h), kWaveErrInvalidHandle) << "an input handle is no output handle";
    Buffer b(8192, 1);
    EXPECT_EQ(WaveInAddBuffer(h, &b.header, kWaveHeaderSize), kWaveErrUnprepared);
    EXPECT_EQ(WaveInPrepareHeader(h, &b.header, 40), kWaveErrInvalidParameter);
    ASSERT_EQ(WaveInPrepareHeader(h, &b.header, kWaveHeaderSize), kWaveNoError);
    ASSERT_EQ(WaveInAddBuffer(h, &b.header, kWaveHeaderSize), kWaveNoError);
    EXPECT_EQ(WaveInAddBuffer(h, &b.header, kWaveHeaderSize), kWaveErrStillPlaying);
    EXPECT_EQ(WaveInUnprepareHeader(h, &b.header, kWaveHeaderSize), kWaveErrStillPlaying);
    EXPECT_EQ(WaveInClose(h), kWaveErrStillPlaying);
    // Never started: a reset still hands the queued buffer back, empty.
    ASSERT_EQ(WaveInReset(h), kWaveNoError);
    ASSERT_TRUE(c.WaitFor(1));
    EXPECT_EQ(c.blocks[0].size(), 0);
    EXPECT_EQ(WaveInUnprepareHeader(h, &b.header, kWaveHeaderSize), kWaveNoError);
    EXPECT_EQ(WaveInClose(h), kWaveNoError);
    EXPECT_EQ(WaveInClose(h), kWaveErrInvalidHandle);

    QString text;
    EXPECT_EQ(WaveInGetErrorText(kWaveErrAllocated, &text), kWaveNoError);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(WaveInGetErrorText(0x1234, &text), kWaveErrBadErrorNumber);
}

TEST_F(WaveAudioTest, SimulatedOutputPlaysWhatIsWrittenAndResetReturnsTheRest) {
    const int32_t id = FindOutput(kSimulatedOutputName);
    ASSERT_GE(id, 0);
    std::mutex tapLock;
    QByteArray played;
    SetSimulatedOutputTap([&](const uint8_t* data, int32_t frames, const PcmFormat& format) {
        std::lock_guard guard(tapLock);
        played.append(reinterpret_cast<const char*>(data), frames * format.BlockAlign());
    });
    Collector c;
    WaveHandle h = 0;
    const WaveFormat f = Format(16);
    ASSERT_EQ(WaveOutOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
              kWaveNoError);
    Buffer b1(960, 1), b2(16384 * 16, 2);  // 5 ms, then a long one that the reset cuts off
    for (size_t i = 0; i < b1.data.size(); ++i) b1.data[i] = static_cast<char>(i * 7);
    for (Buffer* b : {&b1, &b2}) {
        ASSERT_EQ(WaveOutPrepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveOutWrite(h, &b->header, kWaveHeaderSize), kWaveNoError);
    }
    ASSERT_TRUE(c.WaitFor(1));
    ASSERT_EQ(WaveOutReset(h), kWaveNoError);
    ASSERT_TRUE(c.WaitFor(2));
    EXPECT_EQ(c.returned, (std::vector<uintptr_t>{1, 2}));
    for (Buffer* b : {&b1, &b2}) ASSERT_EQ(WaveOutUnprepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
    ASSERT_EQ(WaveOutClose(h), kWaveNoError);
    SetSimulatedOutputTap(nullptr);
    EXPECT_EQ(played.left(960), QByteArray(b1.data.data(), 960));
}

// The callback of an input runs for every buffer, on the device's thread: a
// buffer queued again from there must not allocate (nor look its device up
// under the lock the GUI's calls take).
TEST_F(WaveAudioTest, QueueingABufferAgainFromTheCallbackAllocatesNothing) {
    struct Requeuer {
        std::mutex lock;
        std::condition_variable changed;
        int requeues = 0;
        int allocating = 0;
        int kept = 0;  // back after the last requeue, and kept

        static void Callback(WaveHandle h, uint32_t msg, uintptr_t instance, uintptr_t p1, uintptr_t) {
            auto* self = reinterpret_cast<Requeuer*>(instance);
            if (msg != kWimData) return;
            {
                std::lock_guard guard(self->lock);
                if (self->requeues >= 300) {
                    ++self->kept;
                    self->changed.notify_all();
                    return;
                }
            }
            const int64_t before = allocationsOfThisThread;
            WaveInAddBuffer(h, reinterpret_cast<WaveHeader*>(p1), kWaveHeaderSize);
            const bool allocated = allocationsOfThisThread != before;
            {
                std::lock_guard guard(self->lock);
                ++self->requeues;
                if (allocated) ++self->allocating;
            }
            self->changed.notify_all();
        }
    } r;
    const int32_t id = FindInput(kSimulatedSineName);
    ASSERT_GE(id, 0);
    WaveHandle h = 0;
    const WaveFormat f = Format(16);
    ASSERT_EQ(WaveInOpen(&h, id, &f, &Requeuer::Callback, reinterpret_cast<uintptr_t>(&r), kWaveCallbackFunction),
              kWaveNoError);
    std::vector<char> data[2] = {std::vector<char>(192), std::vector<char>(192)};  // 1 ms each
    WaveHeader headers[2];
    for (int i = 0; i < 2; ++i) {
        headers[i].data = data[i].data();
        headers[i].bufferLength = 192;
        ASSERT_EQ(WaveInPrepareHeader(h, &headers[i], kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInAddBuffer(h, &headers[i], kWaveHeaderSize), kWaveNoError);
    }
    ASSERT_EQ(WaveInStart(h), kWaveNoError);
    {
        std::unique_lock guard(r.lock);
        ASSERT_TRUE(r.changed.wait_for(guard, std::chrono::seconds(10), [&] { return r.kept == 2; }));
    }
    for (WaveHeader& header : headers) ASSERT_EQ(WaveInUnprepareHeader(h, &header, kWaveHeaderSize), kWaveNoError);
    ASSERT_EQ(WaveInClose(h), kWaveNoError);
    std::lock_guard guard(r.lock);
    EXPECT_EQ(r.allocating, 0) << "of " << r.requeues << " buffers queued again";
}

TEST(PcmSamples, StoreRoundsHalvesToEvenAndSaturates) {
    const double in[6] = {0.5 / 32767, 1.5 / 32767, 1.2, -1.2, -1.0000305, std::nan("")};
    int16_t out[6];
    StoreSamples(in, 3, PcmFormat{2, 16, 48000}, reinterpret_cast<uint8_t*>(out));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 32767);
    EXPECT_EQ(out[3], -32768);
    EXPECT_EQ(out[4], -32768);
    EXPECT_EQ(out[5], 0) << "not a number plays as silence";
    const double wide[2] = {1.0, -1.0};
    uint8_t three[6];
    StoreSamples(wide, 1, PcmFormat{2, 24, 48000}, three);
    EXPECT_EQ(three[0], 0xFF);
    EXPECT_EQ(three[2], 0x7F);
    EXPECT_EQ(three[3], 0x01);
    EXPECT_EQ(three[5], 0x80);
}

}  // namespace

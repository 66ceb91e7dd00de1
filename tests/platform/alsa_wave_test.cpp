// The wave interface on real ALSA PCMs, defined by a configuration of this
// test: a capture that reads a file of known samples, a playback that writes
// into a file, and a device whose card does not exist.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/wave_audio.h"

using namespace platform;

namespace {

struct Collector {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<QByteArray> blocks;
    int lost = 0;
    std::atomic<bool> requeue{false};

    static void Callback(WaveHandle h, uint32_t msg, uintptr_t instance, uintptr_t p1, uintptr_t) {
        auto* self = reinterpret_cast<Collector*>(instance);
        if (msg == kWimDeviceLost) {
            {
                std::lock_guard guard(self->lock);
                ++self->lost;
            }
            self->arrived.notify_all();
            return;
        }
        if (msg != kWimData && msg != kWomDone) return;
        auto* header = reinterpret_cast<WaveHeader*>(p1);
        {
            std::lock_guard guard(self->lock);
            self->blocks.emplace_back(header->data, static_cast<int>(msg == kWimData ? header->bytesRecorded : 0));
        }
        self->arrived.notify_all();
        if (self->requeue.load() && msg == kWimData) WaveInAddBuffer(h, header, kWaveHeaderSize);
    }

    bool WaitFor(size_t n) {
        std::unique_lock lock_(lock);
        return arrived.wait_for(lock_, std::chrono::seconds(10), [&] { return blocks.size() >= n; });
    }

    bool WaitForLoss() {
        std::unique_lock lock_(lock);
        return arrived.wait_for(lock_, std::chrono::seconds(10), [&] { return lost > 0; });
    }
};

struct Buffer {
    explicit Buffer(uint32_t bytes, uintptr_t user) : data(bytes, 0) {
        header.data = data.data();
        header.bufferLength = bytes;
        header.user = user;
    }
    std::vector<char> data;
    WaveHeader header;
};

WaveFormat Format16() {
    WaveFormat f;
    f.formatTag = kWaveFormatPcm;
    f.channels = 2;
    f.samplesPerSec = 48000;
    f.bitsPerSample = 16;
    f.blockAlign = 4;
    f.avgBytesPerSec = 192000;
    return f;
}

class AlsaWaveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        ASSERT_TRUE(dir->isValid());
        input = QByteArray();
        for (int i = 0; i < 48000; ++i) {
            const int16_t l = static_cast<int16_t>(i * 3), r = static_cast<int16_t>(-i * 5);
            input.append(reinterpret_cast<const char*>(&l), 2);
            input.append(reinterpret_cast<const char*>(&r), 2);
        }
        QFile in(dir->filePath("in.raw"));
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
        in.write(input);
        in.close();
        const QString config = QStringLiteral(
            "pcm.veltaro_capture {\n"
            "  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n  infile \"%1\"\n  format \"raw\"\n"
            "  hint { show on description \"Veltaro Test Capture\" }\n}\n"
            "pcm.veltaro_playback {\n"
            "  type file\n  slave.pcm { type null }\n  file \"%2\"\n  format \"raw\"\n"
            "  hint { show on description \"Veltaro Test Playback\" }\n}\n"
            // Its copy of the captured data goes to a full device: after a
            // few reads the write fails and the read with it (EIO).
            "pcm.veltaro_failing {\n"
            "  type file\n  slave.pcm { type null }\n  file \"/dev/full\"\n  infile \"%1\"\n  format \"raw\"\n"
            "  hint { show on description \"Veltaro Failing Capture\" }\n}\n"
            "pcm.veltaro_missing {\n  type hw\n  card 29\n"
            "  hint { show on description \"Veltaro Missing Card\" }\n}\n")
                                   .arg(dir->filePath("in.raw"), dir->filePath("out.raw"));
        QFile conf(dir->filePath("asound.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(config.toUtf8());
        conf.close();
        // Before the first ALSA call of this process: ALSA reads only this file.
        setenv("ALSA_CONFIG_PATH", qPrintable(conf.fileName()), 1);
        setenv("VELTARO_SIMULATED_AUDIO", "1", 1);
        Registry::SetHiveFiles(dir->filePath("user.hive"), dir->filePath("machine.hive"));
    }

    static void TearDownTestSuite() {
        Registry::SetHiveFiles({}, {});
        unsetenv("VELTARO_SIMULATED_AUDIO");
        delete dir;
        dir = nullptr;
    }

public:
    static int32_t FindInput(const QString& name) {
        const uint32_t n = WaveInDeviceCount();
        for (uint32_t i = 0; i < n; ++i) {
            WaveInCaps caps;
            if (WaveInGetCaps(i, &caps) == kWaveNoError && ProductNameOf(caps) == name) return int32_t(i);
        }
        return -1;
    }

    static int32_t FindOutput(const QString& name) {
        const uint32_t n = WaveOutDeviceCount();
        for (uint32_t i = 0; i < n; ++i) {
            WaveOutCaps caps;
            if (WaveOutGetCaps(i, &caps) == kWaveNoError && ProductNameOf(caps) == name) return int32_t(i);
        }
        return -1;
    }

    static QTemporaryDir* dir;
    static QByteArray input;
};

// An open capture with two buffers of 2048 frames queued and started.
struct Capture {
    void Start(const QString& device, Collector& c) {
        const int32_t id = AlsaWaveTest::FindInput(device);
        ASSERT_GE(id, 0);
        const WaveFormat f = Format16();
        ASSERT_EQ(WaveInOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
                  kWaveNoError);
        for (Buffer* b : {&b1, &b2}) {
            ASSERT_EQ(WaveInPrepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
            ASSERT_EQ(WaveInAddBuffer(h, &b->header, kWaveHeaderSize), kWaveNoError);
        }
        ASSERT_EQ(WaveInStart(h), kWaveNoError);
    }
    // The buffers a reset returns come back through the callback, from the
    // device thread: they are waited for before they are unprepared.
    void Close(Collector& c) {
        ASSERT_EQ(WaveInReset(h), kWaveNoError);
        {
            std::unique_lock lock(c.lock);
            ASSERT_TRUE(c.arrived.wait_for(lock, std::chrono::seconds(10), [&] {
                return !(b1.header.flags.load() & kWaveHeaderInQueue) && !(b2.header.flags.load() & kWaveHeaderInQueue);
            }));
        }
        for (Buffer* b : {&b1, &b2}) ASSERT_EQ(WaveInUnprepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveInClose(h), kWaveNoError);
    }
    WaveHandle h = 0;
    Buffer b1{8192, 1};
    Buffer b2{8192, 2};
};

QTemporaryDir* AlsaWaveTest::dir = nullptr;
QByteArray AlsaWaveTest::input;

TEST_F(AlsaWaveTest, ConfiguredPcmsAreListedBeforeTheSimulatedDevices) {
    const int32_t capture = FindInput(QStringLiteral("Veltaro Test Capture"));
    ASSERT_GE(capture, 0);
    EXPECT_LT(capture, FindInput(kSimulatedSineName));
    EXPECT_GE(FindOutput(QStringLiteral("Veltaro Test Playback")), 0);
    EXPECT_LT(FindOutput(QStringLiteral("Veltaro Test Playback")), FindOutput(kSimulatedOutputName));
}

TEST_F(AlsaWaveTest, CaptureDeliversTheSamplesOfTheDevice) {
    Collector c;
    Capture capture;
    ASSERT_NO_FATAL_FAILURE(capture.Start(QStringLiteral("Veltaro Test Capture"), c));
    ASSERT_TRUE(c.WaitFor(2));
    ASSERT_NO_FATAL_FAILURE(capture.Close(c));
    EXPECT_EQ(c.blocks[0], input.left(8192));
    EXPECT_EQ(c.blocks[1], input.mid(8192, 8192));
}

// A device that stops delivering after its first data says so once through
// the callback, instead of leaving its buffers queued without a word.
TEST_F(AlsaWaveTest, ACaptureThatFailsMidStreamIsReportedOnceAfterItsData) {
    Collector c;
    c.requeue = true;
    Capture capture;
    ASSERT_NO_FATAL_FAILURE(capture.Start(QStringLiteral("Veltaro Failing Capture"), c));
    ASSERT_TRUE(c.WaitForLoss());
    c.requeue = false;
    ASSERT_NO_FATAL_FAILURE(capture.Close(c));
    std::lock_guard guard(c.lock);
    EXPECT_EQ(c.lost, 1);
    ASSERT_FALSE(c.blocks.empty()) << "the device delivered before it failed";
    EXPECT_EQ(c.blocks[0], input.left(8192));
}

TEST_F(AlsaWaveTest, PlaybackWritesTheBuffersToTheDevice) {
    const int32_t id = FindOutput(QStringLiteral("Veltaro Test Playback"));
    ASSERT_GE(id, 0);
    Collector c;
    WaveHandle h = 0;
    const WaveFormat f = Format16();
    ASSERT_EQ(WaveOutOpen(&h, id, &f, &Collector::Callback, reinterpret_cast<uintptr_t>(&c), kWaveCallbackFunction),
              kWaveNoError);
    Buffer b1(16384, 1), b2(16384, 2);
    std::memcpy(b1.data.data(), input.constData(), 16384);
    std::memcpy(b2.data.data(), input.constData() + 16384, 16384);
    for (Buffer* b : {&b1, &b2}) {
        ASSERT_EQ(WaveOutPrepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
        ASSERT_EQ(WaveOutWrite(h, &b->header, kWaveHeaderSize), kWaveNoError);
    }
    ASSERT_TRUE(c.WaitFor(2));
    for (Buffer* b : {&b1, &b2}) ASSERT_EQ(WaveOutUnprepareHeader(h, &b->header, kWaveHeaderSize), kWaveNoError);
    ASSERT_EQ(WaveOutClose(h), kWaveNoError);
    QFile out(dir->filePath("out.raw"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray written = out.readAll();
    ASSERT_GE(written.size(), 32768);
    EXPECT_EQ(written.left(32768), input.left(32768));
}

TEST_F(AlsaWaveTest, AListedDeviceThatCannotOpenGivesAnErrorCode) {
    const int32_t id = FindInput(QStringLiteral("Veltaro Missing Card"));
    ASSERT_GE(id, 0);
    WaveHandle h = 0;
    const WaveFormat f = Format16();
    const WaveResult result = WaveInOpen(&h, id, &f, nullptr, 0, kWaveCallbackFunction);
    EXPECT_NE(result, kWaveNoError);
    QString text;
    EXPECT_EQ(WaveInGetErrorText(result, &text), kWaveNoError);
    EXPECT_EQ(h, 0u);
}

}  // namespace

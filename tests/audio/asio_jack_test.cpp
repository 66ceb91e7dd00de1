// The ASIO back-end on the JACK driver, against a private jackd with its
// dummy back-end and a client of the test's own that feeds ramps into the
// driver's inputs and records its output.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QUuid>

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <mutex>

#include "audio/asio_backend.h"
#include "audio/audio_back_ends.h"
#include "audio/audio_start_stop.h"
#include "audio/test_signal.h"
#include "audio_in_fakes.h"
#include "platform/jack_client.h"
#include "support/test_jack_server.h"

using namespace audio_in_test;

namespace {

constexpr int32_t kRampSpan = 1 << 20;  // ramp values k / 2^20 are exact floats

// The test's own client: two outputs carrying a rising and a falling ramp,
// one input recording what reaches it.
class RampClient {
public:
    bool Open() {
        client_ = platform::OpenJackClient("ramp");
        if (client_ == nullptr) return false;
        out_[0] = jack_port_register(client_, "up", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        out_[1] = jack_port_register(client_, "down", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        in_ = jack_port_register(client_, "rec", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        recorded_.reserve(48000 * 4);
        jack_set_process_callback(client_, &Process, this);
        jack_set_xrun_callback(client_, &Overrun, this);
        return jack_activate(client_) == 0;
    }

    ~RampClient() { Close(); }

    // Before the server ends: libjack may hang closing a client whose server
    // went away in the middle of a cycle (seen on a loaded machine).
    void Close() {
        if (client_) jack_client_close(client_);
        client_ = nullptr;
    }

    bool Connect(const char* from, const char* to) { return jack_connect(client_, from, to) == 0; }

    // Waits until cycles more process cycles ran.
    bool AwaitCycles(int64_t cycles) {
        std::unique_lock lock(lock_);
        const int64_t target = cycles_ + cycles;
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return cycles_ >= target; });
    }

    std::vector<float> Recorded() {
        std::lock_guard guard(lock_);
        return recorded_;
    }

    int64_t Overruns() const { return overruns_.load(); }

    bool SetPeriod(jack_nframes_t frames) { return jack_set_buffer_size(client_, frames) == 0; }

private:
    static int Process(jack_nframes_t n, void* self) {
        return platform::RunUncancelled([&] { return static_cast<RampClient*>(self)->Cycle(n); });
    }

    int Cycle(jack_nframes_t n) {
        auto* up = static_cast<float*>(jack_port_get_buffer(out_[0], n));
        auto* down = static_cast<float*>(jack_port_get_buffer(out_[1], n));
        const auto* rec = static_cast<const float*>(jack_port_get_buffer(in_, n));
        for (jack_nframes_t i = 0; i < n; ++i) {
            const float v = static_cast<float>((next_ % kRampSpan) + 1) / kRampSpan;
            up[i] = v;
            down[i] = -v;
            ++next_;
        }
        std::lock_guard guard(lock_);
        if (recorded_.size() + n <= recorded_.capacity()) recorded_.insert(recorded_.end(), rec, rec + n);
        ++cycles_;
        changed_.notify_all();
        return 0;
    }

    static int Overrun(void* self) {
        return platform::RunUncancelled([&] {
            ++static_cast<RampClient*>(self)->overruns_;
            return 0;
        });
    }

    std::atomic<int64_t> overruns_{0};
    jack_client_t* client_ = nullptr;
    jack_port_t* out_[2] = {};
    jack_port_t* in_ = nullptr;
    int64_t next_ = 0;
    std::mutex lock_;
    std::condition_variable changed_;
    int64_t cycles_ = 0;
    std::vector<float> recorded_;
};

class AsioJackTest : public AudioInFixture {
protected:
    void SetUp() override {
        AudioInFixture::SetUp();
        server = std::make_unique<TestJackServer>();
        if (!server->Ready()) GTEST_SKIP() << "no JACK server for this test: " << qPrintable(server->Reason());
        const QString id = InstallAsioDriver("JACK", platform::kJackAsioClsid, "libjack.so.0");
        main.fields.IOMode.store(1);
        main.fields.AsioGuid = QUuid(id);
        main.fields.ASIODeviceName = "JACK";
        main.fields.ASIOInputID.store(0);
        main.fields.ASIOInputIDV.store(1);
        main.fields.ASIOOutputID.store(0);
        main.fields.amb.store(1024);
        main.fields.asio96.store(false);
        ASSERT_TRUE(ramp.Open());
    }

    void TearDown() override {
        CloseAsio();
        testSignalOn.store(false);
        ramp.Close();
        if (HasFailure() && server) std::cerr << "The JACK server said:\n" << server->Log() << "\n";
        server.reset();
        AudioInFixture::TearDown();
    }

    std::vector<double> Written(const std::vector<double>& ring) {
        const auto n = static_cast<size_t>(SampleRingPosition::WrittenIn(ringWritePos.Snapshot()));
        return std::vector<double>(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(n));
    }

    // Waits until the rings' position satisfies done (the driver's client
    // misses cycles on a loaded machine, so no count of cycles is enough).
    bool AwaitRing(const std::function<bool(uint64_t)>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done(ringWritePos.Snapshot()))
            if (std::chrono::steady_clock::now() > giveUp || !ramp.AwaitCycles(1)) return false;
        return true;
    }

    int Count(uint32_t msg, intptr_t lParam) {
        int n = 0;
        for (const Message& m : Delivered()) n += m.msg == msg && m.lParam == lParam ? 1 : 0;
        return n;
    }

    std::unique_ptr<TestJackServer> server;
    RampClient ramp;
};

// The ramp's values from the first one that arrived on: each the next,
// bit for bit. A server that overran under load (--no-realtime) skips whole
// periods of a client; those are the only jumps allowed, one per overrun.
void ExpectGaplessRamp(const std::vector<double>& ring, double sign, int64_t overruns) {
    size_t first = 0;
    while (first < ring.size() && ring[first] == 0.0) ++first;
    ASSERT_LT(first + 48000, ring.size()) << "a second of the ramp arrived";
    int64_t jumps = 0;
    for (size_t i = first + 1; i < ring.size(); ++i) {
        const double value = sign * ring[i] * kRampSpan;
        ASSERT_EQ(value, std::nearbyint(value)) << "sample " << i << " is a ramp value, bit-exact";
        const long previous = std::lround(sign * ring[i - 1] * kRampSpan);
        if (static_cast<long>(value) == previous % kRampSpan + 1) continue;
        ASSERT_EQ((static_cast<long>(value) - previous - 1) % 256, 0) << "sample " << i << ": only whole periods";
        ++jumps;
    }
    EXPECT_LE(jumps, overruns) << "a jump without an overrun of the server";
}

}  // namespace

TEST_F(AsioJackTest, TwoRampsReachTheRingsBitExactAndGapless) {
    inputAssign.store(3);
    ASSERT_TRUE(StartAsioIn(false));
    EXPECT_EQ(asioBufferSize.load(), 256);
    ASSERT_TRUE(ramp.Connect("ramp:up", "Veltaro:in_1"));
    ASSERT_TRUE(ramp.Connect("ramp:down", "Veltaro:in_2"));
    ASSERT_TRUE(AwaitRing([](uint64_t at) { return SampleRingPosition::WrittenIn(at) >= 48000 * 3 / 2; }));
    CloseAsio();
    const std::vector<double> one = Written(sampleRing1);
    const std::vector<double> two = Written(sampleRing2);
    ExpectGaplessRamp(one, 1.0, ramp.Overruns());
    ExpectGaplessRamp(two, -1.0, ramp.Overruns());
    EXPECT_EQ(one.size() % 256, 0u) << "whole periods only";
    EXPECT_EQ(Count(WM_ASIO_RESET, platform::kAsioBufferSizeChange) + Count(WM_ASIO_RESET, 16), 0)
        << "the server's calls at registration and activation restart nothing";
}

TEST_F(AsioJackTest, TheOutputPortCarriesGainTimesTable) {
    InitPinkNoiseBuffer();
    outputGain.store(0.5);
    testSignalOn.store(true);
    ASSERT_TRUE(StartAsioIn(true));
    ASSERT_TRUE(IsOutputRunning());
    ASSERT_TRUE(ramp.Connect("Veltaro:out_1", "ramp:rec"));
    ASSERT_TRUE(ramp.AwaitCycles(100));
    const std::vector<float> rec = ramp.Recorded();
    size_t first = 0;
    while (first < rec.size() && rec[first] == 0.0f) ++first;
    ASSERT_LT(first + 2048, rec.size());
    // Find the table position of the first sound and follow it.
    size_t k = 0;
    while (k < noiseTable.size() && static_cast<float>(0.5 * noiseTable[k]) != rec[first]) ++k;
    ASSERT_LT(k, noiseTable.size());
    // Block by block the table goes on in order; a block the filler did not
    // finish in time (a loaded machine) is silence, and the table goes on
    // later after it, never back.
    size_t silent = 0;
    int64_t overrun = 0;
    for (size_t block = first; block + 256 <= first + 2048; block += 256) {
        if (std::all_of(rec.begin() + block, rec.begin() + block + 256, [](float v) { return v == 0.0f; })) {
            ++silent;
            continue;
        }
        size_t at = k;
        while (at < k + noiseTable.size() / 2 && static_cast<float>(0.5 * noiseTable[at % noiseTable.size()]) != rec[block])
            ++at;
        bool continues = at < k + noiseTable.size() / 2;
        for (size_t i = 0; continues && i < 256; ++i)
            continues = rec[block + i] == static_cast<float>(0.5 * noiseTable[(at + i) % noiseTable.size()]);
        // A cycle the server cut short for an overrun hands the port over as it was.
        if (!continues) {
            ++overrun;
            continue;
        }
        k = at + 256;
    }
    EXPECT_LE(overrun, ramp.Overruns()) << "a block off the table without an overrun of the server";
    EXPECT_LT(silent, 4u);
}

TEST_F(AsioJackTest, AKilledServerIsOneAudioFailureAndTheCloseDoesNotHang) {
    ASSERT_TRUE(StartAsioIn(false));
    ASSERT_TRUE(ramp.AwaitCycles(10));
    const int64_t before = SampleRingPosition::WrittenIn(ringWritePos.Snapshot());
    ramp.Close();  // the driver's client is the one that sees its server go
    server->Kill();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool asked = false;
    while (!asked && std::chrono::steady_clock::now() < giveUp) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        for (const Message& m : messages) asked = asked || (m.msg == WM_ASIO_RESET && m.lParam == platform::kAsioResetRequest);
    }
    ASSERT_TRUE(asked) << "the driver asks for a reset when its server goes";
    ResetASIODriver(platform::kAsioResetRequest);
    int failures = 0;
    for (const Message& m : Delivered()) failures += m.msg == WM_MAIN_NOTIFY && m.wParam == kNotifyAudioFailure ? 1 : 0;
    EXPECT_EQ(failures, 1);
    CloseAsio();
    EXPECT_GE(SampleRingPosition::WrittenIn(ringWritePos.Snapshot()), before);
    EXPECT_TRUE(dialogs.messages().empty()) << "no other box";
}

TEST_F(AsioJackTest, APeriodChangedMidRunRestartsAtTheNewSize) {
    TAudioBackEnds backEnds;
    ASSERT_TRUE(StartAudioIn(false));
    ASSERT_TRUE(IsInputRunning());
    ASSERT_TRUE(ramp.SetPeriod(512));
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Count(WM_ASIO_RESET, platform::kAsioBufferSizeChange) == 0 && std::chrono::steady_clock::now() < giveUp)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    ASSERT_EQ(Count(WM_ASIO_RESET, platform::kAsioBufferSizeChange), 1);
    const uint64_t stale = ringWritePos.Snapshot();
    ASSERT_TRUE(ramp.AwaitCycles(4));
    EXPECT_EQ(ringWritePos.Snapshot(), stale) << "cycles of another size convert nothing";
    ResetASIODriver(platform::kAsioBufferSizeChange);
    EXPECT_TRUE(IsInputRunning());
    EXPECT_EQ(asioBufferSize.load(), 512);
    EXPECT_TRUE(AwaitRing([&](uint64_t at) { return at != stale && SampleRingPosition::WrittenIn(at) > 0; }))
        << "the restarted driver converts";
}

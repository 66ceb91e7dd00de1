#pragma once
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
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>

#include "audio/asio_backend.h"
#include "audio/audio_back_ends.h"
#include "audio/audio_start_stop.h"
#include "audio/test_signal.h"
#include "audio/wave_backend.h"
#include "audio_in_fakes.h"
#include "platform/jack_client.h"
#include "support/test_jack_server.h"
#include "ui_kit/text_table.h"

namespace asio_jack_test {

using namespace audio_in_test;

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
        jack_set_port_connect_callback(client_, &Connected, this);
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

    // How often the driver's first input was connected: once per start of
    // the driver, which wires its ports to the server's each time.
    int64_t DriverStarts() const { return driverStarts_.load(); }

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

    static void Connected(jack_port_id_t a, jack_port_id_t b, int connect, void* self) {
        platform::RunUncancelled([&] {
            auto* me = static_cast<RampClient*>(self);
            for (jack_port_id_t id : {a, b}) {
                const jack_port_t* port = jack_port_by_id(me->client_, id);
                if (connect && port && std::strcmp(jack_port_name(port), "Veltaro:in_1") == 0) ++me->driverStarts_;
            }
        });
    }

    std::atomic<int64_t> overruns_{0};
    std::atomic<int64_t> driverStarts_{0};
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
        server = std::make_unique<TestJackServer>(256, serverRate);
        if (!server->Ready()) GTEST_SKIP() << "no JACK server for this test: " << qPrintable(server->Reason());
        ChooseAsioDriver("JACK", platform::kJackAsioClsid, "libjack.so.0");
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

    int serverRate = 48000;  // a test fixture of another rate sets it in its constructor
    std::unique_ptr<TestJackServer> server;
    RampClient ramp;
};

// The ramp's values from the first one that arrived on: each the next,
// bit for bit. With pairs, each ring sample is the mean of two ramp values
// in a row (a 96 kHz server at 48 kHz). A server that overran under load
// (--no-realtime) skips whole periods of a client, or hands over a port the
// client was still writing, its last period behind the new samples; those
// are the only jumps allowed, one per overrun.
inline void ExpectGaplessRamp(const std::vector<double>& ring, double sign, int64_t overruns, bool pairs = false) {
    // Scaled so that every ring value is an integer: k for a ramp value
    // k / 2^20, 2k + 1 for the mean of k / 2^20 and (k + 1) / 2^20. A jump
    // of a period (256 ramp values) is 256 scaled, or 512 with pairs, and
    // 256 for the one pair that straddles a half-written port's new and old values.
    const double scale = pairs ? 2.0 * kRampSpan : kRampSpan;
    const long step = pairs ? 4 : 1;
    size_t first = 0;
    while (first < ring.size() && ring[first] == 0.0) ++first;
    ASSERT_LT(first + 48000, ring.size()) << "a second of the ramp arrived";
    int64_t jumps = 0;
    for (size_t i = first + 1; i < ring.size(); ++i) {
        const double value = sign * ring[i] * scale;
        ASSERT_EQ(value, std::nearbyint(value)) << "sample " << i << " is a ramp value, bit-exact";
        const long previous = std::lround(sign * ring[i - 1] * scale);
        // The single ramp wraps after 2^20 values; the pairs' runs are shorter.
        const long expected = pairs ? previous + step : previous % kRampSpan + 1;
        if (static_cast<long>(value) == expected) continue;
        ASSERT_EQ((static_cast<long>(value) - expected) % 256, 0) << "sample " << i << ": only whole periods";
        ++jumps;
    }
    EXPECT_LE(jumps, overruns) << "a jump without an overrun of the server";
}

}  // namespace asio_jack_test

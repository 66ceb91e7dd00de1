// The JACK input against a bare JACK client, fed by one server in the same
// run: jackd with its dummy back-end at 48 kHz and 256 frames a period, under
// the real-time scheduler, drives both clients from its first capture port
// each cycle.
//
//  - ours: the ASIO back-end on its JACK driver, as the program runs it
//    (direct conversion in the driver's callback into the sample rings);
//  - bare: a client whose callback copies its input port into a ring of
//    doubles and publishes the position with a release store.
//
// Every process callback given to libjack in this program is wrapped: per
// callback, the thread CPU time of the callback and the latency from the
// cycle's start (jack_get_cycle_times) to the callback's end, when the ring
// is published. Medians and 99th percentiles of both clients over the same
// cycles, and ours / bare, are printed at the end.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <dlfcn.h>
#include <jack/jack.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_main.h"
#include "audio/asio_backend.h"
#include "platform/asio_driver.h"
#include "platform/jack_client.h"
#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "platform/window_messages.h"
#include "support/fake_main_window.h"
#include "support/test_jack_server.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int kPeriod = 256;
constexpr int kRate = 48000;
constexpr size_t kCycles = 3000;       // about 16 s of the server's time
constexpr size_t kWarmUpCycles = 200;
constexpr size_t kBareRingSlots = 720000;

// The callbacks of one client over the measured cycles, written only by its
// process thread into room reserved before.
struct CallbackTimes {
    std::vector<double> cpuUs = std::vector<double>(kCycles);
    std::vector<double> latencyUs = std::vector<double>(kCycles);
    std::vector<jack_nframes_t> cycle = std::vector<jack_nframes_t>(kCycles);  // the cycle's first frame
    std::atomic<size_t> seen{0};      // callbacks since activation
    std::atomic<size_t> measured{0};  // entries written
};

CallbackTimes oursTimes;
CallbackTimes bareTimes;
std::atomic<bool> measuring{false};

struct WrappedCallback {
    JackProcessCallback callback;
    void* arg;
    jack_client_t* client;
    CallbackTimes* times;
};

double Microseconds(const timespec& from, const timespec& to) {
    return static_cast<double>(to.tv_sec - from.tv_sec) * 1e6 + static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e3;
}

int TimedProcess(jack_nframes_t frames, void* arg) {
    auto* w = static_cast<WrappedCallback*>(arg);
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    const int result = w->callback(frames, w->arg);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    const jack_time_t end = jack_get_time();
    jack_nframes_t cycleFrames = 0;
    jack_time_t cycleStart = 0, nextStart = 0;
    float periodUs = 0.0f;
    w->times->seen.fetch_add(1, std::memory_order_relaxed);
    if (!measuring.load(std::memory_order_relaxed) ||
        jack_get_cycle_times(w->client, &cycleFrames, &cycleStart, &nextStart, &periodUs) != 0)
        return result;
    const size_t at = w->times->measured.load(std::memory_order_relaxed);
    if (at >= kCycles) return result;
    w->times->cpuUs[at] = Microseconds(before, after);
    w->times->latencyUs[at] = static_cast<double>(static_cast<int64_t>(end) - static_cast<int64_t>(cycleStart));
    w->times->cycle[at] = cycleFrames;
    w->times->measured.store(at + 1, std::memory_order_release);
    return result;
}

}  // namespace

// Both clients register their callbacks through this; the program's driver
// is linked into this benchmark and reaches it the same way.
extern "C" int jack_set_process_callback(jack_client_t* client, JackProcessCallback callback, void* arg) {
    using Real = int (*)(jack_client_t*, JackProcessCallback, void*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "jack_set_process_callback"));
    CallbackTimes* times = std::strcmp(jack_get_client_name(client), "Veltaro") == 0 ? &oursTimes : &bareTimes;
    static std::vector<std::unique_ptr<WrappedCallback>> wrapped;
    wrapped.push_back(std::make_unique<WrappedCallback>(WrappedCallback{callback, arg, client, times}));
    return real(client, &TimedProcess, wrapped.back().get());
}

namespace {

class BareClient {
public:
    ~BareClient() {
        if (client_ != nullptr) jack_client_close(client_);
    }

    bool Open() {
        client_ = platform::OpenJackClient("bare");
        if (client_ == nullptr) return false;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Process, this);
        return in_ != nullptr && jack_activate(client_) == 0 &&
               jack_connect(client_, "system:capture_1", jack_port_name(in_)) == 0;
    }

private:
    static int Process(jack_nframes_t frames, void* self) {
        auto* me = static_cast<BareClient*>(self);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(me->in_, frames));
        size_t pos = me->written_.load(std::memory_order_relaxed) % kBareRingSlots;
        for (jack_nframes_t i = 0; i < frames; ++i) {
            me->ring_[pos] = in[i];
            pos = pos + 1 == kBareRingSlots ? 0 : pos + 1;
        }
        me->written_.store(me->written_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    std::vector<double> ring_ = std::vector<double>(kBareRingSlots);
    std::atomic<uint64_t> written_{0};
};

// The program's side as its main window sets it up for the JACK driver:
// the machine hive written by the program's own tool, the interface fields,
// a main window for the driver's messages and the sample rings.
class OurJackInput {
public:
    bool Start(std::string* reason) {
        const QString machineHive = dir_.filePath(QStringLiteral("machine.hive"));
        const int written =
            QProcess::execute(QStringLiteral(VELTARO_BINARY_DIR "/tools/write_asio_hive/write_asio_hive"),
                              {machineHive, QCoreApplication::applicationFilePath()});
        if (written != 0) {
            *reason = "write_asio_hive failed";
            return false;
        }
        platform::Registry::SetHiveFiles(dir_.filePath(QStringLiteral("user.hive")), machineHive);
        platform::SetUserDialogs(&dialogs_);
        AllocateSampleRings();
        ClearRunState();
        inputAssign.store(1);
        window_ = platform::RegisterWindow([](uint32_t, uintptr_t, intptr_t) {});
        mainWnd.store(window_);
        mainReady.store(true);
        MainWindowFields& f = main_.fields;
        f.IOMode.store(1);
        f.AsioGuid = QUuid(platform::GuidToText(platform::kJackAsioClsid));
        f.ASIODeviceName = QStringLiteral("JACK");
        f.ASIOInputID.store(0);
        f.ASIOOutputID.store(-1);
        f.amb.store(1024);
        f.asio96.store(false);
        RegisterMainWindowServices(&main_);
        if (StartAsioIn(false)) return true;
        *reason = "the JACK input did not start";
        for (const auto& box : dialogs_.messages()) *reason += ": " + box.text.toStdString();
        return false;
    }

    ~OurJackInput() {
        CloseAsio();
        RegisterMainWindowServices(nullptr);
        mainReady.store(false);
        mainWnd.store(0);
        if (window_ != 0) platform::UnregisterWindow(window_);
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles({}, {});
    }

private:
    QTemporaryDir dir_;
    platform::ScriptedDialogs dialogs_;
    test_support::FakeMainWindow main_;
    platform::WindowHandle window_ = 0;
};

struct Summary {
    double median = 0.0;
    double p99 = 0.0;
};

Summary Summarise(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const auto rank = [&](double q) { return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))]; };
    return {rank(0.5), rank(0.99)};
}

std::vector<double> Measured(const std::vector<double>& all, const CallbackTimes& times) {
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(times.measured.load(std::memory_order_acquire))};
}

// Per cycle both clients ran in: ours' publish after the bare client's.
// The cycle start libjack reports is an estimate, the same for both, which
// the dummy back-end's wake-ups precede or follow by some 100 us: the
// difference leaves it out.
std::vector<double> ExtraLatency() {
    const size_t n = oursTimes.measured.load(std::memory_order_acquire);
    const size_t m = bareTimes.measured.load(std::memory_order_acquire);
    std::vector<double> extra;
    size_t j = 0;
    for (size_t i = 0; i < n; ++i) {
        while (j < m && bareTimes.cycle[j] < oursTimes.cycle[i]) ++j;
        if (j < m && bareTimes.cycle[j] == oursTimes.cycle[i])
            extra.push_back(oursTimes.latencyUs[i] - bareTimes.latencyUs[j]);
    }
    return extra;
}

// Waits, polling the clients' counters, until done or the limit passed.
template <typename Done>
bool AwaitCallbacks(Done done, std::chrono::seconds limit) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void BM_JackInputAgainstBareClient(benchmark::State& state) {
    TestJackServer server(kPeriod, kRate, /*realtime=*/true);
    if (!server.Ready()) {
        state.SkipWithError(qPrintable(server.Reason()));
        return;
    }
    BareClient bare;
    if (!bare.Open()) {
        state.SkipWithError("the bare client did not start");
        return;
    }
    OurJackInput ours;
    std::string reason;
    if (!ours.Start(&reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    for (auto _ : state) {
        const bool warm = AwaitCallbacks(
            [] { return oursTimes.seen.load() >= kWarmUpCycles && bareTimes.seen.load() >= kWarmUpCycles; },
            std::chrono::seconds(60));
        measuring.store(true);
        const bool full = warm && AwaitCallbacks(
                                      [] { return oursTimes.measured.load() >= kCycles && bareTimes.measured.load() >= kCycles; },
                                      std::chrono::seconds(120));
        measuring.store(false);
        if (!full) {
            state.SkipWithError("the clients did not run their cycles in time");
            return;
        }
    }
    const Summary oursCpu = Summarise(Measured(oursTimes.cpuUs, oursTimes));
    const Summary bareCpu = Summarise(Measured(bareTimes.cpuUs, bareTimes));
    const Summary oursLatency = Summarise(Measured(oursTimes.latencyUs, oursTimes));
    const Summary bareLatency = Summarise(Measured(bareTimes.latencyUs, bareTimes));
    state.counters["ours_cpu_median_us"] = oursCpu.median;
    state.counters["bare_cpu_median_us"] = bareCpu.median;
    state.counters["ours_latency_median_us"] = oursLatency.median;
    state.counters["bare_latency_median_us"] = bareLatency.median;
    const double periodUs = 1e6 * kPeriod / kRate;
    std::printf("\n%zu callbacks each, period %d frames at %d Hz (%.0f us)\n", kCycles, kPeriod, kRate, periodUs);
    std::printf("%-28s %12s %12s %8s\n", "per callback", "Veltaro", "bare client", "ratio");
    // A ratio only of two positive figures (a latency may be negative, see ExtraLatency).
    const auto row = [](const char* what, double o, double b) {
        if (o > 0 && b > 0) std::printf("%-28s %12.2f %12.2f %8.2f\n", what, o, b, o / b);
        else std::printf("%-28s %12.2f %12.2f %8s\n", what, o, b, "-");
    };
    row("CPU median (us)", oursCpu.median, bareCpu.median);
    row("CPU p99 (us)", oursCpu.p99, bareCpu.p99);
    row("latency median (us)", oursLatency.median, bareLatency.median);
    row("latency p99 (us)", oursLatency.p99, bareLatency.p99);
    const std::vector<double> extra = ExtraLatency();
    const Summary extraLatency = Summarise(extra);
    std::printf("%-28s %12.2f %12s\n", "extra latency median (us)", extraLatency.median, "");
    std::printf("%-28s %12.2f %12s   (%zu cycles both ran in)\n", "extra latency p99 (us)", extraLatency.p99, "",
                extra.size());
    state.counters["extra_latency_median_us"] = extraLatency.median;
    std::printf("latency p99 within one period: Veltaro %s, bare client %s\n", oursLatency.p99 < periodUs ? "yes" : "no",
                bareLatency.p99 < periodUs ? "yes" : "no");
}

}  // namespace

BENCHMARK(BM_JackInputAgainstBareClient)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return bench::RunUnderQt<QCoreApplication>(argc, argv); }

// Throughput of the level engine's weighting and accumulation path against
// libebur128 on the same samples, on one core.
//
// The engine runs its real cycle: the samples are read from the sample
// rings, copied into the recording ring, A/C weighted, and accumulated into
// the peak, RMS and block-energy windows, then published under the value
// lock. libebur128 runs its K weighting and momentary-loudness accumulation
// (its cheapest mode) over the same samples, in calls of the same length.
// Both report samples per second (frames x channels); at the end the ratio
// is printed with the time one hour of two-channel 48 kHz input takes.
#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <QRectF>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <pmmintrin.h>
#include <xmmintrin.h>
#endif

#include "bench_main.h"
#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "support/fake_main_window.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kRate = 48000.0;

// The default preset's set-up: Leq and short-term Leq A-weighted, peak C,
// Leq over 30 min sliding, short-term Leq over 10 s, fast peak window.
void UseDefaultPreset(test_support::FakeMainWindow& main) {
    main.settings.leqKBlocks = 80;
    main.settings.leqBlocks = -14400;
}

class SilentNotifier : public CalcNotifier {
public:
    void Post(uintptr_t, intptr_t) override {}
    void PostAlways(uintptr_t, intptr_t) override {}
    void EventLine(const QString&) override {}
};

void FlushDenormals() {
#if defined(__x86_64__) || defined(__i386__)
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
#endif
}

// Fills both sample rings once with music-like input: pinkish noise and a
// few tones around -15 dBFS, different on each channel.
void FillRings() {
    AllocateSampleRings();
    std::mt19937 random(2026);
    std::normal_distribution<double> white(0.0, 1.0);
    double b1 = 0, b2 = 0, c1 = 0, c2 = 0;
    for (int32_t i = 0; i < kSampleRingSize; ++i) {
        const double t = i / kRate;
        b1 = 0.997 * b1 + 0.03 * white(random);
        b2 = 0.9 * b2 + 0.1 * white(random);
        c1 = 0.995 * c1 + 0.04 * white(random);
        c2 = 0.8 * c2 + 0.1 * white(random);
        sampleRing1[i] = 0.12 * (b1 + b2) + 0.05 * std::sin(2 * M_PI * 220 * t) + 0.02 * std::sin(2 * M_PI * 3100 * t);
        sampleRing2[i] = 0.10 * (c1 + c2) + 0.03 * std::sin(2 * M_PI * 440 * t);
    }
}

std::map<std::string, double>& Rates() {
    static std::map<std::string, double> rates;
    return rates;
}

// The engine's cycle over framesPerCycle new frames per call.
void BM_VeltaroEngine(benchmark::State& state) {
    const int32_t channels = static_cast<int32_t>(state.range(0));
    const int32_t framesPerCycle = static_cast<int32_t>(state.range(1));
    FlushDenormals();
    FillRings();
    inputAssign.store(channels == 2 ? 3 : 1);
    test_support::FakeMainWindow main;
    UseDefaultPreset(main);
    RegisterMainWindowServices(&main);
    TWertCreate reader;
    wertCreate.store(&reader);
    SilentNotifier notifier;
    {
        TCalcer calc(&notifier);
        calc.RunCycle();  // the reset
        for (auto _ : state) {
            ringWritePos.Publish(framesPerCycle);
            calc.RunCycle();
        }
        double leqk = 0;
        int32_t blocks = 0;
        reader.GetLeqk(leqk, blocks);
        state.SetLabel("LeqK " + std::to_string(leqk).substr(0, 6) + " dB");
    }
    wertCreate.store(nullptr);
    RegisterMainWindowServices(nullptr);
    state.counters["samples/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesPerCycle * channels, benchmark::Counter::kIsRate);
}

void BM_Ebur128(benchmark::State& state) {
    const int32_t channels = static_cast<int32_t>(state.range(0));
    const int32_t framesPerCycle = static_cast<int32_t>(state.range(1));
    FlushDenormals();
    FillRings();
    std::vector<double> interleaved(static_cast<size_t>(kSampleRingSize) * channels);
    for (int32_t i = 0; i < kSampleRingSize; ++i) {
        interleaved[static_cast<size_t>(i) * channels] = sampleRing1[i];
        if (channels == 2) {
            interleaved[static_cast<size_t>(i) * 2 + 1] = sampleRing2[i];
        }
    }
    ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), 48000, EBUR128_MODE_M);
    if (meter == nullptr) {
        state.SkipWithError("ebur128_init failed");
        return;
    }
    int32_t pos = 0;
    for (auto _ : state) {
        if (pos + framesPerCycle > kSampleRingSize) {
            pos = 0;
        }
        ebur128_add_frames_double(meter, interleaved.data() + static_cast<size_t>(pos) * channels,
                                  static_cast<size_t>(framesPerCycle));
        pos += framesPerCycle;
    }
    double momentary = 0;
    ebur128_loudness_momentary(meter, &momentary);
    benchmark::DoNotOptimize(momentary);
    ebur128_destroy(&meter);
    state.counters["samples/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesPerCycle * channels, benchmark::Counter::kIsRate);
}

// Arguments: channels, frames per call (1200 = one 25 ms cycle; 48000 = a
// cycle after a one-second stall).
BENCHMARK(BM_VeltaroEngine)->Args({1, 1200})->Args({2, 1200})->Args({2, 48000})->MinTime(1.0);
BENCHMARK(BM_Ebur128)->Args({1, 1200})->Args({2, 1200})->Args({2, 48000})->MinTime(1.0);

class CapturingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const auto it = run.counters.find("samples/s");
            if (!run.error_occurred && it != run.counters.end()) {
                Rates()[run.benchmark_name()] = it->second.value;
            }
        }
    }
};

void PrintComparison() {
    std::printf("\n%-22s %16s %16s %8s %20s\n", "channels/frames", "Veltaro samp/s", "ebur128 samp/s", "ratio",
                "1 h 2-ch 48 kHz takes");
    for (const char* args : {"1/1200", "2/1200", "2/48000"}) {
        const auto ours = Rates().find(std::string("BM_VeltaroEngine/") + args + "/min_time:1.000");
        const auto theirs = Rates().find(std::string("BM_Ebur128/") + args + "/min_time:1.000");
        if (ours == Rates().end() || theirs == Rates().end()) {
            continue;
        }
        const double hourOfTwoChannels = 3600.0 * kRate * 2.0;
        std::printf("%-22s %16.4g %16.4g %8.2f %18.2f s\n", args, ours->second, theirs->second,
                    ours->second / theirs->second, hourOfTwoChannels / ours->second);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CapturingReporter reporter;
    if (const int failed = bench::RunBenchmarks(argc, argv, &reporter)) return failed;
    PrintComparison();
    return 0;
}

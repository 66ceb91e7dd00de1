#pragma once
// The benchmarks' shared main: Google Benchmark's run of the benchmarks named
// on the command line (all by default), on its own or under a Qt application
// of the benchmark's kind on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QtGlobal>

#include <functional>

namespace bench {

// Runs the benchmarks, reporting to reporter (the console when none);
// non-zero for an argument Google Benchmark does not know.
inline int RunBenchmarks(int& argc, char** argv, benchmark::BenchmarkReporter* reporter = nullptr) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (reporter != nullptr) benchmark::RunSpecifiedBenchmarks(reporter);
    else benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The offscreen platform unless QT_QPA_PLATFORM names another; before the
// application object exists.
inline void UseOffscreenUnlessChosen() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The benchmarks run while an Application (QCoreApplication,
// QGuiApplication, QApplication) exists, on the offscreen platform unless
// another is chosen; prepare runs once the application exists.
template <typename Application>
int RunUnderQt(int argc, char** argv, const std::function<void()>& prepare = {}) {
    UseOffscreenUnlessChosen();
    Application app(argc, argv);  // takes its own arguments out of argc and argv
    if (prepare) prepare();
    return RunBenchmarks(argc, argv);
}

}  // namespace bench

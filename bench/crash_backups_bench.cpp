// Cost of one crash backup during a long run against the plain file
// operations it is made of, timed in the same rounds on the same disk:
//
//  - SecSaveFull/n/1: one SecSave(true) after one new value, with n values
//    already backed up in both values files. The new value also marks the
//    header changed, so the call writes the header backup as well, exactly
//    as during a run.
//  - SecSaveFull/n/0 ("values only"): the same after an untimed header
//    backup, so that the call writes the values alone.
//  - SecSaveHeader: one SecSave(false) with a changed header (header only).
//  - the peers, run right after each call: an append of 44 bytes to an open
//    file followed by fdatasync (the least a durable backup of one new value
//    can cost), and an atomic write (temporary file, fsync, rename, folder
//    fsync) of the 600 bytes of a header backup.
//
// Other processes share the disk, so every round times the call and both
// peers one after the other and the table compares medians. n grows by one
// per call; the calls are few enough to keep it near its nominal length.
// The bytes per call are those handed to write() (wchar in /proc/self/io).
// The files lie in a temporary folder (TMPDIR), which must be on a disk file
// system for the figures to mean anything.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_main.h"
#include "platform/files.h"
#include "store/crash_backups.h"
#include "store/measurement_store.h"

namespace {

// Bytes this process has passed to write() and its kin so far.
double BytesHandedToWrite() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:")) {
            return line.mid(6).trimmed().toDouble();
        }
    }
    return 0.0;
}

TSaveIT6 Value(int32_t i) {
    TSaveIT6 v;
    v.id = i;
    v.TimeStamp = 46000.0 + i / 86400.0;
    v.Peak = 110.0;
    v.LeqK = 95.0;
    v.leq = 90.0;
    return v;
}

// A store with n values backed up in both values files and a clean header.
std::unique_ptr<TDaten> RunningStore(const QString& folder, int32_t n) {
    auto store = std::make_unique<TDaten>();
    if (!store->InitMessung(folder)) {
        return nullptr;
    }
    for (int32_t i = 0; i < n; ++i) {
        store->AddWert(Value(i));
    }
    store->SecSave(true);
    store->SecSave(true);
    return store;
}

// The two peers, on files of their own in the same folder.
class Peers {
public:
    explicit Peers(const QString& folder)
        : atomicPath_(folder + QStringLiteral("/peer_header.bin")), image_(kHeaderBackupBytes, '\0') {
        const QByteArray path = QFile::encodeName(folder + QStringLiteral("/peer_values.bin"));
        fd_ = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    ~Peers() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Peers(const Peers&) = delete;
    Peers& operator=(const Peers&) = delete;

    bool Append44() {
        static const QByteArray record(44, '\x5a');
        return fd_ >= 0 && ::write(fd_, record.constData(), 44) == 44 && ::fdatasync(fd_) == 0;
    }
    bool Atomic600() {
        ++image_[0];
        return platform::WriteFileAtomically(atomicPath_, image_);
    }

private:
    QString atomicPath_;
    QByteArray image_;
    int fd_ = -1;
};

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The figures of one row of the closing table, all medians over the calls.
struct Row {
    double call = 0.0;
    double append = 0.0;
    double atomic = 0.0;
    double bytes = 0.0;
};

std::map<std::string, Row>& Rows() {
    static std::map<std::string, Row> rows;
    return rows;
}

// Times `call` and both peers on every round, one after the other, so that
// a change in the disk's load during the run hits all three alike.
template <typename Prepare, typename Call>
void MeasureAgainstPeers(benchmark::State& state, const std::string& row, const QString& folder, Prepare prepare,
                         Call call) {
    Peers peers(folder);
    std::vector<double> calls, appends, atomics;
    double written = 0.0;
    for (auto _ : state) {
        prepare();
        const double before = BytesHandedToWrite();
        const Clock::time_point t0 = Clock::now();
        const bool ok = call();
        const double callTime = MicrosecondsSince(t0);
        written += BytesHandedToWrite() - before;
        const Clock::time_point t1 = Clock::now();
        const bool appended = peers.Append44();
        const double appendTime = MicrosecondsSince(t1);
        const Clock::time_point t2 = Clock::now();
        const bool replaced = peers.Atomic600();
        const double atomicTime = MicrosecondsSince(t2);
        if (!ok || !appended || !replaced) {
            state.SkipWithError("a write failed");
            return;
        }
        state.SetIterationTime(callTime / 1e6);
        calls.push_back(callTime);
        appends.push_back(appendTime);
        atomics.push_back(atomicTime);
    }
    const Row r{Median(calls), Median(appends), Median(atomics), written / static_cast<double>(state.iterations())};
    Rows()[row] = r;
    state.counters["bytes/call"] = r.bytes;
    state.counters["append_us"] = r.append;
    state.counters["atomic_us"] = r.atomic;
}

void BM_SecSaveFull(benchmark::State& state) {
    QTemporaryDir dir;
    const auto n = static_cast<int32_t>(state.range(0));
    std::unique_ptr<TDaten> store = RunningStore(dir.path(), n);
    if (!store) {
        state.SkipWithError("InitMessung failed");
        return;
    }
    const bool headerToo = state.range(1) != 0;
    int32_t next = n;
    MeasureAgainstPeers(
        state, (headerToo ? "SecSave(true), n=" : "values only, n=") + std::to_string(n), dir.path(),
        [&] {
            store->AddWert(Value(next++));
            if (!headerToo) {
                store->SecSave(false);
            }
        },
        [&] { return store->SecSave(true); });
}

void BM_SecSaveHeader(benchmark::State& state) {
    QTemporaryDir dir;
    std::unique_ptr<TDaten> store = RunningStore(dir.path(), 1000);
    if (!store) {
        state.SkipWithError("InitMessung failed");
        return;
    }
    double stop = 46000.0;
    MeasureAgainstPeers(
        state, "SecSave(false), header", dir.path(), [&] { store->SetStopTime(stop += 1.0 / 86400.0); },
        [&] { return store->SecSave(false); });
}

// A fixed number of calls, so that the store stays near its nominal length.
BENCHMARK(BM_SecSaveFull)
    ->ArgsProduct({{1000, 86400}, {1, 0}})
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SecSaveFull)
    ->ArgsProduct({{864000}, {1, 0}})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SecSaveHeader)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);

void PrintComparison() {
    std::printf("\nmedians per call, peers timed in the same rounds\n");
    std::printf("%-24s %11s %11s %8s %11s %8s %12s\n", "backup", "call us", "append us", "ratio", "atomic us",
                "ratio", "bytes/call");
    for (const auto& [name, r] : Rows()) {
        std::printf("%-24s %11.1f %11.1f %8.2f %11.1f %8.2f %12.0f\n", name.c_str(), r.call, r.append,
                    r.append > 0 ? r.call / r.append : 0.0, r.atomic, r.atomic > 0 ? r.call / r.atomic : 0.0,
                    r.bytes);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (const int failed = bench::RunBenchmarks(argc, argv)) return failed;
    PrintComparison();
    return 0;
}

#pragma once
// What every fuzzing harness shares: a finding is reported with its reason
// and ends the run (libFuzzer keeps the input), files live in one private
// folder per process, and the user's answers are fixed so that nothing waits.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/user_dialogs.h"

namespace fuzz {

// The password the harnesses encipher with and the prompt answers with.
inline const QString kPassword = QStringLiteral("fuzz pw");

[[noreturn]] inline void Finding(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool holds, const char* what) {
    if (!holds) {
        Finding(what);
    }
}

inline double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs one input and holds one of up to 64 kB to a second of this thread's
// processor time (wall time on a shared machine tells more about the
// neighbours; a hang is libFuzzer's -timeout). An input over the second runs
// once more and is a finding when it is as slow again: a slow parser is slow
// every time, a stall of the machine seldom twice.
template <typename Run>
int WithinASecond(size_t size, Run&& run) {
    for (int attempt = 0;; ++attempt) {
        const double start = ThreadSeconds();
        const int result = run();
        const double took = ThreadSeconds() - start;
        if (size > 64 * 1024 || took <= 1.0) {
            return result;
        }
        std::fprintf(stderr, "an input of %zu bytes took %.2f s of processor time\n", size, took);
        if (attempt > 0) {
            Finding("an input of 64 kB or less took more than a second");
        }
    }
}

inline QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// In memory where there is a tmpfs: the atomic writers sync every file, and
// a sync that waits for a busy disk would pass for a slow parser.
inline const QTemporaryDir& Folder() {
    static const QTemporaryDir dir(QFile::exists(QStringLiteral("/dev/shm"))
                                       ? QStringLiteral("/dev/shm/veltaro-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/veltaro-fuzz-XXXXXX"));
    return dir;
}

inline QString PathOf(const QString& name) { return Folder().filePath(name); }

inline QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = PathOf(name);
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "cannot write the harness's own input file");
    return path;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every message box is closed (no reset, no retry, no save of a converted
// file), every password prompt answers kPassword and every save-file
// prompt is cancelled.
class FixedAnswers : public platform::UserDialogs {
public:
    int ShowMessage(const platform::MessageRequest&) override { return platform::kMessageClosed; }
    void ShowInfo(const platform::InfoRequest&) override {}
    platform::PasswordAnswer AskPassword(const platform::PasswordRequest&) override {
        return platform::PasswordAnswer{platform::kPasswordOk, kPassword};
    }
    platform::SaveFileAnswer AskSaveFile(const platform::SaveFileRequest&) override { return {}; }
    platform::SaveFileAnswer AskOpenFile(const platform::OpenFileRequest&) override { return {}; }
};

inline void UseFixedAnswers() {
    static FixedAnswers answers;
    platform::SetUserDialogs(&answers);
}

}  // namespace fuzz

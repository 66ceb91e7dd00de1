#include "audio/wav_recorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/wav_read_back.h"
#include "ui_kit/notifications.h"

namespace {

using test_support::ReadWav;

// The sample the writer puts at its n-th write: a ramp whose 16-bit value is
// known, so the file shows the order of every sample.
int16_t RampValue(int64_t n) { return static_cast<int16_t>(n % 60000 - 30000); }

// The recorder's ring, written by the test: tick by tick, 12000 ramp samples each.
class DrivenRing {
public:
    DrivenRing() : ring(std::make_unique<RecordingRing>()) {}
    void Write(int32_t count) {
        std::vector<double> block(static_cast<size_t>(count));
        for (auto& sample : block) sample = RampValue(written++) / 32767.0;
        ring->Append(block.data(), count);
    }
    std::unique_ptr<RecordingRing> ring;
    int64_t written = 0;
};

struct Posted {
    std::mutex lock;
    std::vector<std::pair<uintptr_t, intptr_t>> calls;
    void operator()(uintptr_t code, intptr_t argument) {
        std::lock_guard guard(lock);
        calls.emplace_back(code, argument);
    }
    std::vector<std::pair<uintptr_t, intptr_t>> Take() {
        std::lock_guard guard(lock);
        return calls;
    }
};

class WavRecorder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        RecordTitle = "Show";
    }
    void TearDown() override { RecordTitle.clear(); }

    std::unique_ptr<TRecordIt> MakeRecorder() {
        return std::make_unique<TRecordIt>([this](uintptr_t c, intptr_t a) { posted(c, a); }, *driven.ring);
    }
    // Drives the ticks with a tick's worth of new samples before each; answers how many ran.
    int RunTicks(TRecordIt& recorder, int bound = 1000, const std::function<void(int)>& beforeTick = {}) {
        for (int tick = 1; tick <= bound; ++tick) {
            if (beforeTick) beforeTick(tick);
            driven.Write(TRecordIt::kTickSamples);
            if (!recorder.Tick()) return tick;
        }
        return -1;
    }
    QString Target(const QString& name = "REC_12.WAV") const { return dir.filePath(name); }

    QTemporaryDir dir;
    DrivenRing driven;
    Posted posted;
};

TEST_F(WavRecorder, RecordsPreRunAndRunOnInOrderAndReadsBackWithItsTexts) {
    struct Case {
        int64_t writtenBefore;  // samples in the ring when the recording starts
        const char* what;
    };
    // The second case starts with the write position 5000: the pre-run wraps.
    for (const Case& c : {Case{100000, "plain"}, Case{kRecordingRingSize + 5000, "pre-run wraps"}}) {
        SCOPED_TRACE(c.what);
        driven = DrivenRing();
        while (driven.written < c.writtenBefore) {
            driven.Write(static_cast<int32_t>(std::min<int64_t>(c.writtenBefore - driven.written, 480000)));
        }
        auto recorder = MakeRecorder();
        recorder->Init(Target(), 48000, 1, 12, 60);
        recorder->Begin();
        EXPECT_EQ(RunTicks(*recorder), 5);
        recorder->Finish();

        const auto wav = ReadWav(Target());
        ASSERT_TRUE(wav.opened);
        EXPECT_EQ(wav.sampleRate, 48000);
        EXPECT_EQ(wav.channels, 1);
        EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        ASSERT_EQ(wav.samples.size(), 48000u + 5u * 12000u);
        const int64_t first = c.writtenBefore - 48000;
        for (size_t i = 0; i < wav.samples.size(); ++i) {
            ASSERT_EQ(wav.samples[i], RampValue(first + static_cast<int64_t>(i))) << "sample " << i;
        }
        EXPECT_EQ(wav.title, "Show");
        EXPECT_EQ(wav.track, "12");
        EXPECT_EQ(wav.artist, TRecordIt::kArtist);
        EXPECT_EQ(posted.Take().back(), std::make_pair(uintptr_t{kNotifyRecorderEnded}, intptr_t{12}));
    }
}

TEST_F(WavRecorder, HeaderBytesForAnEmptyTitleAndAOneDigitTrack) {
    const QByteArray pcm("\x01\x00\xff\x7f", 4);
    const QByteArray file = TRecordIt::WaveFile(pcm, QByteArray(), 1);
    QByteArray expected;
    expected += QByteArray("RIFF\x52\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00", 24);
    expected += QByteArray("\x80\xbb\x00\x00\x00\x77\x01\x00\x02\x00\x10\x00", 12);
    expected += QByteArray("data\x04\x00\x00\x00", 8) + pcm;
    expected += QByteArray("LIST\x22\x00\x00\x00INFO", 12);
    expected += QByteArray("ITRK\x02\x00\x00\x00" "1\x00", 10);
    expected += QByteArray("IART\x0c\x00\x00\x00", 8) + QByteArray(TRecordIt::kArtist) + QByteArray(1, '\0');
    EXPECT_EQ(file.toHex(' '), expected.toHex(' '));
    EXPECT_EQ(file.size(), 8 + 0x52);
}

TEST_F(WavRecorder, OddTextsArePaddedAndEveryTextStillReadsBack) {
    // "Show" (5 bytes with its 0) and "12" (3) are odd: without the pad byte
    // a reader loses the sub-chunks after them.
    const QByteArray file = TRecordIt::WaveFile(QByteArray(4, '\0'), "Show", 12);
    const int list = 44 + 4;
    const uint32_t listSize = qFromLittleEndian<uint32_t>(file.constData() + list + 4);
    EXPECT_EQ(listSize, 4u + (8 + 6) + (8 + 4) + (8 + 12));
    EXPECT_EQ(static_cast<qsizetype>(list + 8 + listSize), file.size());
    EXPECT_EQ(file.mid(list + 12, 14), QByteArray("INAM\x05\x00\x00\x00Show\x00\x00", 14));
    EXPECT_EQ(qFromLittleEndian<uint32_t>(file.constData() + 4), static_cast<uint32_t>(file.size() - 8));
}

TEST_F(WavRecorder, SamplesAreRoundedHalfToEvenAndHeldAtFullScale) {
    const std::vector<std::pair<double, int16_t>> cases{
        {1.0, 32767},   {-1.0, -32767}, {1.5, 32767}, {-1.5, -32768},
        {0.5, 16384},   {-0.5, -16384}, {0.0, 0},     {std::nan(""), 0},
        {std::numeric_limits<double>::infinity(), 32767},
    };
    for (const auto& [sample, pcm] : cases) EXPECT_EQ(TRecordIt::ToPcm16(sample), pcm) << sample;
}

TEST_F(WavRecorder, StopReTriggerAndMaximumBoundTheTicks) {
    struct Case {
        const char* what;
        int64_t runOn, max;
        std::function<void(TRecordIt&, int)> beforeTick;
        int ticks;
    };
    const std::vector<Case> cases{
        {"stop ends within one tick", 4, 60, [](TRecordIt& r, int tick) { if (tick == 2) r.StopRec(); }, 2},
        {"re-trigger starts the run-on again", 1, 60,
         [](TRecordIt& r, int tick) { if (tick == 3) r.ReTrigger(); }, 3 + 4},
        {"the maximum wins over the run-on", 10, 1, {}, 5},
        {"negative times count as 0", -3, -7, {}, 1},
        {"huge times do not overflow", std::numeric_limits<int64_t>::max(), 0, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto recorder = MakeRecorder();
        recorder->Init(Target(), 0, c.runOn, 1, c.max);
        recorder->Begin();
        TRecordIt& r = *recorder;
        EXPECT_EQ(RunTicks(r, 100, c.beforeTick ? [&](int tick) { c.beforeTick(r, tick); } : std::function<void(int)>{}),
                  c.ticks);
    }
}

TEST_F(WavRecorder, PreRunIsClampedToTheRingLessOneTick) {
    driven.Write(300000);
    for (const auto& [asked, taken] : std::vector<std::pair<int64_t, int64_t>>{
             {-48000, 0}, {std::numeric_limits<int64_t>::max(), kRecordingRingSize - TRecordIt::kTickSamples}}) {
        auto recorder = MakeRecorder();
        recorder->Init(Target(), asked, 1, 1, 60);
        recorder->Begin();
        EXPECT_EQ(recorder->RecordedSamples(), taken);
    }
}

TEST_F(WavRecorder, ARingResetEndsTheRecordingWithWhatCameBefore) {
    driven.Write(100000);
    auto recorder = MakeRecorder();
    recorder->Init(Target(), 48000, 4, 3, 60);
    recorder->Begin();
    EXPECT_EQ(RunTicks(*recorder, 100, [&](int tick) {
                  if (tick == 3) driven.ring->Reset();
              }),
              3);
    recorder->Finish();
    const auto wav = ReadWav(Target());
    ASSERT_EQ(wav.samples.size(), 48000u + 2u * 12000u);
    EXPECT_EQ(wav.samples.back(), RampValue(100000 + 2 * 12000 - 1));
}

TEST_F(WavRecorder, AMissingTargetFolderPostsTheFailureAndLeavesNoFile) {
    const QString target = dir.filePath("gone/REC_1.WAV");
    auto recorder = MakeRecorder();
    recorder->Init(target, 4800, 0, 1, 60);
    recorder->Begin();
    EXPECT_EQ(RunTicks(*recorder), 1);
    recorder->Finish();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(posted.Take(), (std::vector<std::pair<uintptr_t, intptr_t>>{{kNotifyThreadFailure, kThreadFailureRecorder}}));
    EXPECT_TRUE(recorder->Reported());
}

// The writer fills the ring at 48 kHz pace while the recorder's own thread
// reads it, the main thread re-triggers, resets the ring and stops.
TEST_F(WavRecorder, ConcurrentRecordingWithReTriggerResetAndStop) {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    std::thread writer([&] {
        std::unique_lock guard(lock);
        std::vector<double> block(240, 0.25);
        while (!stop) {
            driven.ring->Append(block.data(), static_cast<int32_t>(block.size()));
            wake.wait_for(guard, std::chrono::milliseconds(5), [&] { return stop; });
        }
    });
    for (bool resetMidway : {false, true}) {
        SCOPED_TRACE(resetMidway ? "reset" : "stop");
        auto recorder = MakeRecorder();
        recorder->Init(Target(resetMidway ? "reset.WAV" : "stop.WAV"), 48000, 60, 7, 60);
        recorder->Start();
        for (int i = 0; i < 1000; ++i) recorder->ReTrigger();
        if (resetMidway) driven.ring->Reset();
        else recorder->StopRec();
        ASSERT_TRUE(recorder->WaitFinished(platform::kInfinite));
        EXPECT_TRUE(recorder->Reported());
        const auto wav = ReadWav(Target(resetMidway ? "reset.WAV" : "stop.WAV"));
        ASSERT_TRUE(wav.opened);
        // A reset before the body began leaves nothing to record.
        if (!resetMidway) EXPECT_GE(wav.samples.size(), 48000u);
    }
    {
        std::lock_guard guard(lock);
        stop = true;
    }
    wake.notify_all();
    writer.join();
    const auto calls = posted.Take();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) EXPECT_EQ(call, std::make_pair(uintptr_t{kNotifyRecorderEnded}, intptr_t{7}));
}

}  // namespace

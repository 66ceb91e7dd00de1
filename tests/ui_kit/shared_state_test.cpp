#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace {

// A reader's view of the ring across a fresh start and a lap; the engine's
// and the meter's use of it are tested with them (tests/audio).
TEST(SampleRingReader, FollowsTheWriterAcrossAFreshStartAndCountsALap) {
    AllocateSampleRings();
    SampleRingReader reader;
    ringWritePos.Publish(kSampleRingSize - 10);
    reader.SkipToNewest();
    EXPECT_EQ(reader.Pending(), 0);
    ringWritePos.Publish(25);
    EXPECT_EQ(reader.Pending(), 25);
    EXPECT_EQ(reader.Position(), kSampleRingSize - 10);
    reader.Consume(25);
    EXPECT_EQ(reader.Position(), 15) << "across the wrap";

    // A fresh start: the slots before it are never read again, however far
    // behind slot 0 the reader stood.
    ringWritePos.Restart();
    EXPECT_EQ(ringWritePos.Slot(), 0);
    ringWritePos.Publish(7);
    EXPECT_EQ(reader.Pending(), 7);
    EXPECT_EQ(reader.Position(), 0);
    reader.Consume(7);

    // Lapped: only the newest whole data is left to read, the rest is lost.
    for (int i = 0; i < 3; ++i) ringWritePos.Publish(kSampleRingSize / 2);
    EXPECT_EQ(reader.Pending(), SampleRingReader::kWholeSamples);
    EXPECT_EQ(reader.TakeLost(), 3 * (kSampleRingSize / 2) - SampleRingReader::kWholeSamples);
    EXPECT_EQ(reader.TakeLost(), 0);
    EXPECT_EQ(reader.Position(), (7 + 3 * (kSampleRingSize / 2) - SampleRingReader::kWholeSamples) % kSampleRingSize);
    EXPECT_EQ(NextRingSlot(kSampleRingSize - 1, kSampleRingSize), 0);
}

// A real input writes a lap in 15 s while a reader copies a chunk in
// microseconds; this test stands in for that pacing: the producer first laps
// a parked reader twice, then keeps within the whole data ahead of it.
// Every sample carries its own index, so a skipped, stale or overwritten
// slot shows as a wrong value.
TEST(SampleRingConcurrent, ALappedReaderSkipsToWholeDataAndReadsEverySampleAfterIt) {
    AllocateSampleRings();
    constexpr int32_t kBlock = 4800;
    constexpr int64_t kLapped = 2 * int64_t{kSampleRingSize};
    constexpr int64_t kTotal = 3 * int64_t{kSampleRingSize};
    std::atomic<bool> lapped{false};
    std::atomic<bool> done{false};
    std::atomic<int64_t> readerAt{-1};  // first sample of the chunk being read; -1 while parked

    std::thread producer([&] {
        for (int64_t written = 0; written < kTotal; written += kBlock) {
            if (written == kLapped) lapped.store(true, std::memory_order_release);
            while (written >= kLapped && (readerAt.load(std::memory_order_acquire) < 0 ||
                                          written + kBlock > readerAt.load(std::memory_order_acquire) + SampleRingReader::kWholeSamples)) {
                std::this_thread::yield();
            }
            int32_t slot = ringWritePos.Slot();
            for (int32_t i = 0; i < kBlock; ++i, slot = NextRingSlot(slot, kSampleRingSize)) {
                sampleRing1[slot] = static_cast<double>(written + i);
            }
            ringWritePos.Publish(kBlock);
        }
        done.store(true, std::memory_order_release);
    });

    while (!lapped.load(std::memory_order_acquire)) std::this_thread::yield();
    SampleRingReader reader;
    EXPECT_EQ(reader.Pending(), SampleRingReader::kWholeSamples);
    EXPECT_EQ(reader.TakeLost(), kLapped - SampleRingReader::kWholeSamples);
    int64_t next = kLapped - SampleRingReader::kWholeSamples;
    int64_t wrongSamples = 0;
    readerAt.store(next, std::memory_order_release);
    for (;;) {
        const bool last = done.load(std::memory_order_acquire);
        const int32_t chunk = std::min(reader.Pending(), kBlock);
        if (chunk == 0 && last) break;
        int32_t slot = reader.Position();
        for (int32_t i = 0; i < chunk; ++i, slot = NextRingSlot(slot, kSampleRingSize)) {
            if (sampleRing1[slot] != static_cast<double>(next + i)) ++wrongSamples;
        }
        reader.Consume(chunk);
        next += chunk;
        readerAt.store(next, std::memory_order_release);
    }
    producer.join();
    EXPECT_EQ(wrongSamples, 0);
    EXPECT_EQ(next, kTotal);
    EXPECT_EQ(reader.TakeLost(), 0);
}

TEST(RecordingRing, AppendWrapsAndResetClearsContentsAndPosition) {
    recRing.Reset();
    std::vector<double> block(kRecordingRingSize - 10, 1.0);
    recRing.Append(block.data(), static_cast<int32_t>(block.size()));
    const double tail[20] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
    recRing.Append(tail, 20);
    EXPECT_EQ(recRing.Position(), 10);

    double out[20];
    recRing.Read(kRecordingRingSize - 10, out, 20);
    EXPECT_EQ(std::vector<double>(out, out + 20), std::vector<double>(tail, tail + 20));

    recRing.Reset();
    EXPECT_EQ(recRing.Position(), 0);
    recRing.Read(kRecordingRingSize - 10, out, 20);
    for (double v : out) EXPECT_EQ(v, 0.0);
}

TEST(RecordingRingConcurrent, ResetWhileTheCalculationCopiesIsSafe) {
    recRing.Reset();
    std::atomic<bool> stop{false};
    std::thread copier([&] {
        std::vector<double> block(1200, 0.5);
        while (!stop.load()) recRing.Append(block.data(), 1200);
    });
    for (int i = 0; i < 50; ++i) recRing.Reset();
    stop = true;
    copier.join();
    EXPECT_GE(recRing.Position(), 0);
    EXPECT_LT(recRing.Position(), kRecordingRingSize);
}

TEST(WebSessionList, RefusesSessionsBeyondTheLimitAndRemovesTheLastMatch) {
    webSessions.Clear();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(webSessions.AddUnlessFull({QStringLiteral("127.0.0.1"), 0.0,
                                               i == 1 ? QStringLiteral("B") : QStringLiteral("A"),
                                               QString::number(i), 1},
                                              3));
    EXPECT_FALSE(webSessions.AddUnlessFull({QStringLiteral("127.0.0.1"), 0.0, QStringLiteral("C"), {}, 1}, 3));
    EXPECT_EQ(webSessions.Count(), 3);

    EXPECT_TRUE(webSessions.RemoveLast(QStringLiteral("A")));
    const auto left = webSessions.Snapshot();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].clientId, QStringLiteral("0"));
    EXPECT_EQ(left[1].clientId, QStringLiteral("1"));
    EXPECT_FALSE(webSessions.RemoveLast(QStringLiteral("Z")));
    webSessions.Clear();
}

TEST(StoredDisplaySettings, OutOfRangeValuesFallBackToTheDefaults) {
    EXPECT_EQ(ValidDisplayLayout(0), 0);
    EXPECT_EQ(ValidDisplayLayout(1), 1);
    EXPECT_EQ(ValidDisplayLayout(2), kDefaultDisplayLayout);
    EXPECT_EQ(ValidDisplayLayout(-1), kDefaultDisplayLayout);
    EXPECT_EQ(ValidLanguage(1), 1);
    EXPECT_EQ(ValidLanguage(2), 2);
    EXPECT_EQ(ValidLanguage(0), -1);
    EXPECT_EQ(ValidLanguage(3), -1);
}

TEST(SharedSettings, DefaultsAreRestored) {
    recMax = 5;
    printColorLeq = 0;
    areaChannel[2] = 9;
    SetSharedSettingDefaults();
    EXPECT_EQ(recMax, 60);
    EXPECT_EQ(printColorLeq, 0x800000u);
    EXPECT_EQ(areaChannel[2].load(), 3);
    EXPECT_EQ(clModePreset, 4099);
    EXPECT_EQ(lastPresetId, -2);
    EXPECT_TRUE(recUseSubDir);
    EXPECT_DOUBLE_EQ(leqPercentRef.load(), kStartLeqPercentRef);
}

TEST(RunState, InputRunningPostsTheWholeWordEveryTimeItIsSet) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    std::vector<std::pair<uintptr_t, intptr_t>> received;
    const platform::WindowHandle window =
        platform::RegisterWindow([&](uint32_t msg, uintptr_t wParam, intptr_t lParam) {
            if (msg == WM_INPUT_RUNNING) received.emplace_back(wParam, lParam);
        });
    mainWnd = window;
    mainReady = true;
    ClearRunState();

    SetSecondInputRunning(true);
    SetInputRunning(true);
    SetInputRunning(true);   // already set: posts again
    SetOutputRunning(true);
    SetInputRunning(false);  // clearing posts nothing
    QCoreApplication::processEvents();

    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], std::make_pair(kInputRunningCode, intptr_t{kRunInput | kRunSecondInput}));
    EXPECT_EQ(runState.load(), kRunOutput | kRunSecondInput);
    EXPECT_FALSE(IsInputRunning());
    EXPECT_TRUE(IsOutputRunning());
    EXPECT_TRUE(IsSecondInputRunning());

    // Before the main window is ready nothing is posted.
    mainReady = false;
    received.clear();
    SetInputRunning(true);
    EXPECT_FALSE(PostMainNotify(kNotifyNewValues, kNewValuesBlock));
    QCoreApplication::processEvents();
    EXPECT_TRUE(received.empty());

    platform::UnregisterWindow(window);
    mainWnd = 0;
    ClearRunState();
}

}  // namespace

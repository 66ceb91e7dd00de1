#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>
#include <vector>

#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace {

// The producer side of the ring protocol: store a block, then publish.
void ProduceBlock(double& next, int32_t frames) {
    int32_t pos = ringWritePos.load(std::memory_order_acquire);
    for (int32_t i = 0; i < frames; ++i) {
        sampleRing1[pos] = next;
        sampleRing2[pos] = -next;
        next += 1.0;
        pos = NextRingSlot(pos, kSampleRingSize);
    }
    ringWritePos.store(pos, std::memory_order_release);
}

TEST(SampleRingConcurrent, ProducerAndReaderAcrossTheWrapLoseAndDuplicateNothing) {
    AllocateSampleRings();
    // Start close to the end so the run crosses the wrap several times.
    ringWritePos = kSampleRingSize - 1000;
    const int64_t total = 3LL * kSampleRingSize + 12345;
    std::atomic<int64_t> consumed{0};

    std::thread producer([&] {
        double next = 0.0;
        int64_t produced = 0;
        while (produced < total) {
            // Stay well inside the ring's capacity, as the real readers do by
            // running every 25 ms against 15 s of ring.
            if (produced - consumed.load() > kSampleRingSize / 2) {
                std::this_thread::yield();
                continue;
            }
            const int32_t frames = static_cast<int32_t>(std::min<int64_t>(4801, total - produced));
            ProduceBlock(next, frames);
            produced += frames;
        }
    });

    int32_t readPos = kSampleRingSize - 1000;
    double expected = 0.0;
    int64_t mismatches = 0;
    while (consumed.load() < total) {
        const int32_t snapshot = ringWritePos.load(std::memory_order_acquire);
        int32_t n = RingDistance(readPos, snapshot, kSampleRingSize);
        if (n == 0) {
            std::this_thread::yield();
            continue;
        }
        for (; n > 0; --n) {
            if (sampleRing1[readPos] != expected || sampleRing2[readPos] != -expected) ++mismatches;
            expected += 1.0;
            readPos = NextRingSlot(readPos, kSampleRingSize);
        }
        consumed.store(static_cast<int64_t>(expected));
    }
    producer.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(static_cast<int64_t>(expected), total);
}

TEST(SampleRing, DistanceWrapsAroundTheEnd) {
    EXPECT_EQ(RingDistance(10, 10, kSampleRingSize), 0);
    EXPECT_EQ(RingDistance(10, 15, kSampleRingSize), 5);
    EXPECT_EQ(RingDistance(kSampleRingSize - 2, 3, kSampleRingSize), 5);
    EXPECT_EQ(NextRingSlot(kSampleRingSize - 1, kSampleRingSize), 0);
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

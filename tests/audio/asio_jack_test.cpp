// The ASIO back-end on the JACK driver: the ramps of the test's client in
// the rings, the test signal on the output port, a killed server, a period
// changed mid-run, and servers at rates other than 48 kHz.
#include "asio_jack_fixture.h"

using namespace asio_jack_test;

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

namespace {

class AsioJack44kTest : public AsioJackTest {
protected:
    AsioJack44kTest() { serverRate = 44100; }
};

class AsioJack96kTest : public AsioJackTest {
protected:
    AsioJack96kTest() { serverRate = 96000; }
};

QString RateBox(int kHz) { return GetLangText(1141).replace("%s", "JACK").replace("%d", QString::number(kHz)); }

}  // namespace

TEST_F(AsioJack44kTest, AServerAtNeitherRateIsAnnouncedAndTheWaveInterfaceIsNext) {
    EXPECT_FALSE(StartAsioIn(false));
    const auto boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].header, GetLangText(1142));
    EXPECT_EQ(boxes[0].text, RateBox(96)) << "the other rate was tried too";
    EXPECT_EQ(boxes[1].header, GetLangText(55));
    EXPECT_EQ(boxes[1].text, GetLangText(53) + "\r\n\r\n" + GetLangText(54));
    EXPECT_FALSE(main.fields.asio96.load());
    EXPECT_FALSE(AsioDriverOpen());
    EXPECT_FALSE(IsInputRunning());
    EXPECT_EQ(main.fields.IOMode.load(), 0);
    EXPECT_EQ(main.fields.waveInID.load(), 0);
}

TEST_F(AsioJack96kTest, AServerAt96kHzIsAnnouncedAndItsPairsFill48000SamplesPerSecond) {
    ASSERT_TRUE(StartAsioIn(false));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].header, GetLangText(1142));
    EXPECT_EQ(dialogs.messages()[0].text, RateBox(96));
    EXPECT_TRUE(main.fields.asio96.load()) << "the option follows the server";
    EXPECT_EQ(waveFormat.samplesPerSec, 96000u);
    ASSERT_TRUE(ramp.Connect("ramp:up", "Veltaro:in_1"));
    ASSERT_TRUE(AwaitRing([](uint64_t at) { return SampleRingPosition::WrittenIn(at) >= 48000 * 3 / 2; }));
    CloseAsio();
    const std::vector<double> ring = Written(sampleRing1);
    EXPECT_EQ(ring.size() % 128, 0u) << "half a period of 256 per cycle";
    ExpectGaplessRamp(ring, 1.0, ramp.Overruns(), true);
}

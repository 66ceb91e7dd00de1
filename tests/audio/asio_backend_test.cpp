// The ASIO back-end on the simulated driver: both ways of switching
// buffers, 96 kHz averaging, the rate probe, the buffer size, the failures
// and their boxes, the test-signal output and the driver's requests.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUuid>

#include <cmath>

#include "audio/asio_backend.h"
#include "audio/asio_driver_list.h"
#include "audio/audio_back_ends.h"
#include "audio/test_signal.h"
#include "audio/wave_backend.h"
#include "audio_in_fakes.h"
#include "ui_kit/text_table.h"

using namespace audio_in_test;

namespace {

std::vector<double> Ramp(int32_t from, int32_t n, double scale = 1e-4) {
    std::vector<double> v;
    for (int32_t i = 0; i < n; ++i) v.push_back((from + i) * scale);
    return v;
}

class AsioBackendTest : public AudioInFixture {
protected:
    void SetUp() override {
        AudioInFixture::SetUp();
        ChooseAsioDriver("Simulated ASIO", platform::kSimulatedAsioClsid, QCoreApplication::applicationFilePath());
        setup.inputs = {{"Sim In 1", platform::kAsioFloat32LSB}, {"Sim In 2", platform::kAsioFloat32LSB}};
        setup.outputs = {{"Sim Out 1", platform::kAsioFloat32LSB}};
        setup.preferred = 256;
        SetRingPublishObserver([this](int32_t position) { blocks.Seen(position); });
    }

    void TearDown() override {
        CloseAsio();
        SetRingPublishObserver(nullptr);
        platform::ResetSimulatedAsio();
        testSignalOn.store(false);
        AudioInFixture::TearDown();
    }

    bool Start(bool withOutput = false) {
        platform::SetSimulatedAsio(setup);
        return StartAsioIn(withOutput);
    }

    // One switch; in the thread mode it returns once TAsioIn converted it.
    std::vector<double> Cycle(const std::vector<std::vector<double>>& inputs) {
        platform::SimulatedAsioControl* driver = platform::RunningSimulatedAsio();
        if (driver == nullptr) return {};
        const size_t before = blocks.Positions().size();
        std::vector<double> out = driver->Cycle(inputs);
        if (!setup.directProcess) EXPECT_TRUE(blocks.WaitFor(before + 1));
        return out;
    }

    std::vector<double> Ring(const std::vector<double>& ring) {
        const auto n = static_cast<size_t>(SampleRingPosition::WrittenIn(ringWritePos.Snapshot()));
        return std::vector<double>(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(n));
    }

    std::vector<QString> Headers() {
        std::vector<QString> h;
        for (const auto& m : dialogs.messages()) h.push_back(m.header);
        return h;
    }

    platform::SimulatedAsioSetup setup;
    BlockWaiter blocks;
};

}  // namespace

TEST_F(AsioBackendTest, DirectAndThreadSwitchingFillEqualRings) {
    inputAssign.store(3);
    std::vector<std::vector<double>> rings[2];
    for (bool direct : {true, false}) {
        setup.directProcess = direct;
        blocks.Clear();
        ringWritePos.Restart();
        ASSERT_TRUE(Start());
        EXPECT_TRUE(IsInputRunning());
        EXPECT_TRUE(IsSecondInputRunning());
        for (int c = 0; c < 8; ++c) Cycle({Ramp(c * 256, 256), Ramp(c * 256, 256, -1e-4)});
        rings[direct ? 0 : 1] = {Ring(sampleRing1), Ring(sampleRing2)};
        CloseAsio();
        EXPECT_FALSE(IsInputRunning());
        EXPECT_EQ(main.fields.hAsioIn.load(), nullptr);
    }
    ASSERT_EQ(rings[0][0].size(), 8u * 256u);
    EXPECT_EQ(rings[0], rings[1]);
    EXPECT_EQ(rings[0][0][300], static_cast<double>(static_cast<float>(300 * 1e-4)));
    EXPECT_EQ(rings[0][1][300], -rings[0][0][300]);
    EXPECT_EQ(main.fields.asioKanalLabel, "Sim In 1");
    EXPECT_EQ(main.fields.asioRefKanalLabel, "Sim In 2");
}

TEST_F(AsioBackendTest, At96kHzPairsAreAveragedAndAnOddLastSampleIsLeft) {
    main.fields.asio96.store(true);
    setup.rates = {48000.0, 96000.0};
    setup.rate = 96000.0;
    setup.preferred = 513;
    ASSERT_TRUE(Start());
    Cycle({Ramp(0, 513, 1.0 / 1024)});
    const std::vector<double> ring = Ring(sampleRing1);
    ASSERT_EQ(ring.size(), 256u);
    EXPECT_DOUBLE_EQ(ring[0], 0.5 / 1024);
    EXPECT_DOUBLE_EQ(ring[255], (510.0 + 511.0) / 2 / 1024);
    EXPECT_EQ(waveFormat.samplesPerSec, 96000u);
}

TEST_F(AsioBackendTest, ADriverWithoutThePreferredRateIsAnnouncedAndRunsAtTheOther) {
    setup.rates = {96000.0};
    setup.rate = 96000.0;
    setup.preferred = 512;
    ASSERT_TRUE(Start());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, GetLangText(1141).replace("%s", "Simulated ASIO").replace("%d", "96"));
    EXPECT_TRUE(main.fields.asio96.load());
    for (int c = 0; c < 4; ++c) Cycle({Ramp(0, 512)});
    EXPECT_EQ(Ring(sampleRing1).size(), 4u * 256u) << "48000 per second reach the rings";
}

TEST_F(AsioBackendTest, ADriverWithNeitherRateFallsBackToTheWaveInterface) {
    setup.rates = {44100.0};
    EXPECT_FALSE(Start());
    EXPECT_EQ(Headers(), (std::vector<QString>{GetLangText(1142), GetLangText(55)}));
    EXPECT_EQ(main.fields.IOMode.load(), 0);
    EXPECT_EQ(main.fields.waveInID.load(), 0);
    EXPECT_FALSE(AsioDriverOpen());
}

TEST_F(AsioBackendTest, TheBufferSizeKeepsBelowTheLimit) {
    struct Case {
        int32_t minimum, preferred, expected;
    };
    for (const Case& c : {Case{64, 2048, 1024}, Case{2048, 8192, 2048}, Case{64, 256, 256}}) {
        setup.minimum = c.minimum;
        setup.preferred = c.preferred;
        ASSERT_TRUE(Start());
        EXPECT_EQ(asioBufferSize.load(), c.expected);
        CloseAsio();
    }
}

TEST_F(AsioBackendTest, FailuresShowTheirStepAndEndInTheWaveInterface) {
    struct Case {
        const char* call;
        int32_t channel;
        int32_t assign;
        QString step;
    };
    for (const Case& c : {Case{"getChannelInfo", 1, 3, "GetChannelInfo Ref"}, Case{"createBuffers", -1, 1, "Create Buffers"},
                          Case{"start", -1, 1, "Start ASIO"}}) {
        const size_t seen = dialogs.messages().size();
        inputAssign.store(c.assign);
        main.fields.IOMode.store(1);
        setup.failCall = c.call;
        setup.failAt = platform::ASE_HWMalfunction;
        setup.failChannel = c.channel;
        EXPECT_FALSE(Start()) << c.call;
        const std::vector<QString> headers = Headers();
        EXPECT_EQ(std::vector<QString>(headers.begin() + static_cast<std::ptrdiff_t>(seen), headers.end()),
                  (std::vector<QString>{c.step, GetLangText(55)}))
            << c.call;
        EXPECT_EQ(main.fields.IOMode.load(), 0);
        EXPECT_EQ(runState.load(), 0u);
        EXPECT_EQ(main.fields.hAsioIn.load(), nullptr);
    }
}

TEST_F(AsioBackendTest, ADriverThatCannotInitialiseSaysSoBeforeAnyRate) {
    setup.initSucceeds = false;
    EXPECT_FALSE(Start());
    EXPECT_EQ(Headers(), (std::vector<QString>{"Init", GetLangText(55)}));
}

TEST_F(AsioBackendTest, AnUnknownDriverShowsBothBoxes) {
    main.fields.AsioGuid = QUuid("{00000000-1111-2222-3333-444444444444}");
    main.fields.waveInID.store(5);
    EXPECT_FALSE(StartAsioIn(false));
    EXPECT_EQ(Headers(), (std::vector<QString>{GetLangText(52), GetLangText(55)}));
    EXPECT_EQ(main.fields.IOMode.load(), 0);
    EXPECT_EQ(main.fields.waveInID.load(), 0);
}

TEST_F(AsioBackendTest, TwoInputsDuringAMeasurementOpenOnlyTheMeasuringOne) {
    inputAssign.store(3);
    main.measuring.store(true);
    ASSERT_TRUE(Start());
    EXPECT_FALSE(IsSecondInputRunning());
    EXPECT_EQ(asioBufferInfos.size(), 1u);
}

TEST_F(AsioBackendTest, TheOutputCarriesGainTimesTableAndALateBufferPlaysSilence) {
    InitPinkNoiseBuffer();
    outputGain.store(0.5);
    testSignalOn.store(true);
    ASSERT_TRUE(Start(true));
    ASSERT_TRUE(IsOutputRunning());
    const std::vector<double> first = Cycle({Ramp(0, 256)});
    ASSERT_EQ(first.size(), 256u);
    for (size_t i = 0; i < first.size(); ++i)
        ASSERT_EQ(first[i], static_cast<double>(static_cast<float>(0.5 * noiseTable[i]))) << i;
    {
        // The GUI holds the gain: the filler waits, the switches go on.
        std::lock_guard hold(outputGainLock);
        const std::vector<double> second = Cycle({Ramp(256, 256)});
        Cycle({Ramp(512, 256)});
        // Buffer 1 played in the second switch; the filler cannot have refilled it since.
        const std::vector<double> fourth = Cycle({Ramp(768, 256)});
        EXPECT_EQ(second[0], static_cast<double>(static_cast<float>(0.5 * noiseTable[256])));
        EXPECT_EQ(fourth, std::vector<double>(256, 0.0)) << "a buffer not refilled in time is silence";
    }
    EXPECT_EQ(Ring(sampleRing1).size(), 4u * 256u);
}

TEST_F(AsioBackendTest, StoppingTheASIOOutputKeepsTheInput) {
    TAudioBackEnds backEnds;
    InitPinkNoiseBuffer();
    ASSERT_TRUE(Start(true));
    ASSERT_TRUE(IsOutputRunning());
    StopAudioOut();
    EXPECT_FALSE(IsOutputRunning());
    EXPECT_TRUE(IsInputRunning());
    EXPECT_TRUE(AsioDriverOpen());
}

TEST_F(AsioBackendTest, DriverMessagesAndRequests) {
    ASSERT_TRUE(Start());
    platform::SimulatedAsioControl* driver = platform::RunningSimulatedAsio();
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->Message(platform::kAsioSelectorSupported, platform::kAsioResetRequest), 1);
    EXPECT_EQ(driver->Message(platform::kAsioSelectorSupported, platform::kAsioSupportsTimeCode), 0);
    EXPECT_EQ(driver->Message(platform::kAsioEngineVersion, 0), 2);
    EXPECT_EQ(driver->Message(platform::kAsioSupportsTimeInfo, 0), 1);
    main.fields.cbm1.store(true);
    EXPECT_EQ(driver->Message(platform::kAsioEngineVersion, 0), 1);
    EXPECT_EQ(driver->Message(platform::kAsioSupportsTimeInfo, 0), 0);
    EXPECT_EQ(driver->Message(platform::kAsioSupportsTimeCode, 0), 0);
    EXPECT_EQ(driver->Message(platform::kAsioBufferSizeChange, 512), 0);
    driver->RateChanged(48000.0);
    driver->RateChanged(44100.0);
    std::vector<Message> got;
    for (const Message& m : Delivered())
        if (m.msg == WM_ASIO_RESET || m.wParam == kNotifySampleRateChanged) got.push_back(m);
    EXPECT_EQ(got, (std::vector<Message>{{WM_ASIO_RESET, 0, 4}, {WM_ASIO_RESET, 0, 16},
                                         {WM_MAIN_NOTIFY, kNotifySampleRateChanged, 0}}));
    EXPECT_EQ(Headers(), std::vector<QString>{GetLangText(101)}) << "the box comes on the GUI thread";
}

TEST_F(AsioBackendTest, ADriverWhoseRateCannotBeReadIsAnAudioFailure) {
    setup.failCall = "getSampleRate";
    setup.failAt = platform::ASE_NotPresent;
    ASSERT_TRUE(Start());
    ResetASIODriver(platform::kAsioResetRequest);
    std::vector<Message> failures;
    for (const Message& m : NotificationsOnly())
        if (m.wParam == kNotifyAudioFailure) failures.push_back(m);
    EXPECT_EQ(failures, (std::vector<Message>{{WM_MAIN_NOTIFY, kNotifyAudioFailure, 2}}));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST(AsioSamples, ConversionsOfEveryType) {
    const uint8_t low24[3] = {0x00, 0x00, 0x80};
    double v = 0.0;
    ASSERT_TRUE(AsioSampleToDouble(low24, platform::kAsioInt24LSB, &v));
    EXPECT_EQ(v, -2147483648.0 / 2147483647.0);
    EXPECT_FALSE(AsioSampleToDouble(low24, 21, &v));
    uint8_t out[8] = {};
    DoubleToAsioSample(-1.5, platform::kAsioInt16LSB, out);
    int16_t s16;
    std::memcpy(&s16, out, 2);
    EXPECT_EQ(s16, -32768) << "saturates";
    DoubleToAsioSample(1.0, platform::kAsioInt24LSB, out);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0x7F);
}

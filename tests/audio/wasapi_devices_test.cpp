// The WASAPI device layer on simulated endpoints of the test's own making
// (what each one takes decides the probe), and on a private PulseAudio
// server where one can be started.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <thread>

#include "audio/wasapi_devices.h"
#include "audio_in_fakes.h"
#include "platform/registry.h"
#include "platform/test_pulse_server.h"
#include "ui_kit/notifications.h"

using namespace platform;
using audio_in_test::App;

namespace {

SimulatedEndpointSetup Capture(const QString& id, const QString& name) {
    SimulatedEndpointSetup endpoint;
    endpoint.id = id;
    endpoint.friendlyName = name;
    endpoint.flow = DataFlow::Capture;
    return endpoint;
}

SimulatedEndpointSetup Render(const QString& id) {
    SimulatedEndpointSetup endpoint = Capture(id, "Output " + id);
    endpoint.flow = DataFlow::Render;
    return endpoint;
}

class WasAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        setenv("VELTARO_PULSEAUDIO", "0", 1);
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    }
    void TearDown() override {
        ResetSimulatedEndpoints();
        Registry::SetHiveFiles({}, {});
        unsetenv("VELTARO_PULSEAUDIO");
    }
    QTemporaryDir dir;
};

TEST_F(WasAudioTest, WithoutARenderEndpointTheLayerIsNotAvailable) {
    SetSimulatedEndpoints({Capture("sim:a", "A")});
    TWasAudio layer;
    EXPECT_FALSE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
    EXPECT_EQ(layer.Num_in(), 0);
    EXPECT_EQ(layer.Get_Info_In(0).DeviceName, "Invalid Id (WASAudio In) 0");
    EXPECT_EQ(layer.Name_out(2), "Invalid WSA - Out - Device, id: 2");
    EXPECT_EQ(layer.Init_Capture("sim:a"), -1);
    SetSimulatedEndpoints({Capture("sim:a", "A"), Render("sim:out")});
    EXPECT_FALSE(layer.Init(0, WM_MAIN_NOTIFY, -1, 3)) << "a negative notification code";
}

TEST_F(WasAudioTest, TheProbeRecordsWhatEachEndpointTakesAt48kHz) {
    struct Case {
        const char* what;
        std::vector<int32_t> exclusive, shared;
        bool stereo, extensible;
        int32_t max48E, max48S;
        bool mono, isExtensible;
    };
    const Case cases[] = {
        {"32-bit stereo exclusive only", {32}, {}, true, true, 32, 0, false, false},
        {"16 bits in both modes", {16}, {16}, true, true, 16, 16, false, true},
        {"one channel only", {24}, {16}, false, true, 24, 16, true, true},
        {"plain records only", {32, 24, 16}, {24}, true, false, 32, 24, false, false},
        {"nothing at all", {}, {}, true, true, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedEndpointSetup endpoint = Capture("sim:probe", c.what);
        endpoint.exclusiveBits = c.exclusive;
        endpoint.sharedBits = c.shared;
        endpoint.stereo = c.stereo;
        endpoint.acceptsExtensible = c.extensible;
        SetSimulatedEndpoints({endpoint, Render("sim:out")});
        TWasAudio layer;
        ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
        const TDeviceInfo info = layer.Get_Info_In(0);
        EXPECT_EQ(info.DeviceName, c.what);
        EXPECT_EQ(info.max48E, c.max48E);
        EXPECT_EQ(info.max48S, c.max48S);
        EXPECT_EQ(info.IsMono, c.mono);
        EXPECT_EQ(info.isExtensible, c.isExtensible);
        EXPECT_EQ(info.Usable(), c.max48E > 0 || c.max48S > 0);
    }
}

TEST_F(WasAudioTest, NamesThatCannotBeReadAndIdsThatDifferInCase) {
    SimulatedEndpointSetup unreadable = Capture("sim:u", "U");
    unreadable.nameState = SimulatedEndpointSetup::NameState::Unreadable;
    SimulatedEndpointSetup notText = Capture("sim:n", "N");
    notText.nameState = SimulatedEndpointSetup::NameState::NotText;
    SetSimulatedEndpoints({Capture("Sim:Twice", "first"), unreadable, notText, Capture("sim:twice", "second"),
                           Render("sim:out")});
    TWasAudio layer;
    ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
    ASSERT_EQ(layer.Num_in(), 4);
    EXPECT_EQ(layer.Get_Info_In(1).DeviceName, "No valid device");
    EXPECT_TRUE(layer.Get_Info_In(1).DeviceId.isEmpty());
    EXPECT_EQ(layer.Get_Info_In(2).DeviceName, "Unknow Device");
    EXPECT_FALSE(layer.Get_Info_In(2).Usable()) << "not probed";
    EXPECT_EQ(layer.GetInId("SIM:TWICE"), 3) << "the later entry wins";
    EXPECT_EQ(layer.GetInId("sim:none"), -1);
    // Without a server the first capture endpoint is the default; the later
    // entry of the same id takes its place in the list.
    EXPECT_EQ(layer.defaultInId, 3);
    EXPECT_EQ(layer.GetInDefault(), "sim:twice");
    EXPECT_EQ(layer.Guid_out(0), "sim:out");
    EXPECT_EQ(layer.Guid_in(9), "");
}

TEST_F(WasAudioTest, ExclusiveCaptureRetriesWithTheAlignedPeriodAndMonoOpensOneChannel) {
    SimulatedEndpointSetup aligned = Capture("sim:aligned", "Aligned");
    aligned.defaultPeriod = 90000;  // 432 frames; the device takes multiples of 441
    aligned.exclusiveAlignmentFrames = 441;
    SimulatedEndpointSetup mono = Capture("sim:mono", "Mono");
    mono.stereo = false;
    mono.exclusiveBits = {};
    SetSimulatedEndpoints({aligned, mono, Render("sim:out")});
    TWasAudio layer;
    ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));

    ASSERT_EQ(layer.Init_Capture("sim:aligned"), 0);
    TDevInfo in = layer.GetInInfo();
    EXPECT_TRUE(in.isEx) << "a tie of depths chooses exclusive mode";
    EXPECT_EQ(in.bits, 32);
    EXPECT_EQ(in.buffer, 441u) << "period round(91875.5) = 91876 gives 441 frames";
    EXPECT_EQ(in.defPerMs, 9);
    EXPECT_EQ(in.minPerMs, 3);
    EXPECT_EQ(in.id, 0);
    EXPECT_EQ(in.sr, 48000u);
    EXPECT_EQ(in.Name, "Aligned");
    ASSERT_TRUE(layer.CaptureClient());
    EXPECT_EQ(layer.GetInVol(), 0);
    EXPECT_EQ(layer.StopIn(), S_OK) << "never started: stopping and resetting it still succeed";
    EXPECT_FALSE(layer.CaptureAudioClient());

    ASSERT_EQ(layer.Init_Capture("sim:mono"), 0);
    in = layer.GetInInfo();
    EXPECT_TRUE(in.isMono);
    EXPECT_FALSE(in.isEx);
    EXPECT_EQ(in.buffer, 46080u) << "960 ms in shared mode";
    ASSERT_EQ(layer.CaptureAudioClient()->Start(), S_OK);
    ASSERT_TRUE(layer.CaptureEvent().Wait(5000));
    uint8_t* data = nullptr;
    uint32_t frames = 0, flags = 0;
    ASSERT_EQ(layer.CaptureClient()->GetBuffer(&data, &frames, &flags), S_OK);
    EXPECT_EQ(frames, 480u) << "one 10 ms period per event";
    layer.CaptureClient()->ReleaseBuffer(frames);
    EXPECT_EQ(layer.StopIn(), S_OK);

    EXPECT_NE(layer.Init_Capture("sim:gone"), 0);
    EXPECT_FALSE(layer.CaptureAudioClient()) << "a failed set-up keeps nothing";
    EXPECT_FALSE(layer.CaptureClient());
    EXPECT_EQ(layer.GetInVol(), kVolumeUnknown);
}

TEST_F(WasAudioTest, SessionVolumesInTenthsOfADecibelAndTheirEvents) {
    SetSimulatedEndpoints({Capture("sim:in", "In"), Render("sim:out")});
    std::vector<audio_in_test::Message> got;
    const WindowHandle window = RegisterWindow([&](uint32_t m, uintptr_t w, intptr_t l) { got.push_back({m, w, l}); });
    TWasAudio layer;
    ASSERT_TRUE(layer.Init(window, WM_MAIN_NOTIFY, 259, 3));
    ASSERT_EQ(layer.Init_Capture("sim:in"), 0);
    EXPECT_EQ(layer.GetOutVol(), kVolumeUnknown) << "no render stream";
    ASSERT_GE(layer.Init_Render("sim:out"), 0);
    EXPECT_EQ(layer.GetOutInfo().Name, "Output sim:out");
    EXPECT_TRUE(layer.GetOutInfo().isEx) << "the same depths in both modes: exclusive";
    EXPECT_EQ(layer.GetOutInfo().buffer, 480u) << "one default period";

    const struct {
        float level;
        bool muted;
        int32_t tenths;
    } volumes[] = {{1.0f, false, 0}, {0.5f, false, -60}, {0.5f, true, -100}, {0.0f, false, kVolumeUnknown}};
    for (const auto& v : volumes) {
        SetSimulatedEndpointVolume("sim:in", v.level, v.muted);
        SetSimulatedEndpointVolume("sim:out", v.level, v.muted);
        EXPECT_EQ(layer.GetInVol(), v.tenths) << v.level;
        EXPECT_EQ(layer.GetOutVol(), v.tenths) << v.level;
    }
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(got.size(), 4u) << "one event per volume change of the capture session";
    EXPECT_EQ(got[0], (audio_in_test::Message{WM_MAIN_NOTIFY, 259, 1}));

    got.clear();
    ASSERT_EQ(layer.Start_Render(), S_OK);
    EXPECT_EQ(layer.Stop_Render(), S_OK);
    EXPECT_FALSE(layer.RenderAudioClient());
    EXPECT_EQ(layer.Stop_Render(), 1) << "nothing left to stop";
    EXPECT_EQ(layer.StopIn(), S_OK);
    SetEventTarget(0, WM_MAIN_NOTIFY, 259);
    TEvents sink;
    sink.OnSimpleVolumeChanged(0.2f, false);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(got.empty()) << "no target window, no post";
    UnregisterWindow(window);
}

class WasAudioPulseTest : public PulseServerTest {
protected:
    void SetUp() override {
        App();
        PulseServerTest::SetUp();
    }
};

TEST_F(WasAudioPulseTest, ServerEndpointsProbeSharedOnlyAndCaptureRuns) {
    TWasAudio layer;
    ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
    const int32_t sine = layer.GetInId("pulse:source:veltaro_sine");
    ASSERT_GE(sine, 0);
    const TDeviceInfo info = layer.Get_Info_In(sine);
    EXPECT_EQ(info.max48E, 0) << "the server gives no exclusive mode";
    EXPECT_EQ(info.max48S, 32);
    EXPECT_FALSE(info.IsMono);
    EXPECT_TRUE(info.isExtensible);
    ASSERT_GE(layer.GetOutId("pulse:sink:veltaro_sink"), 0);
    EXPECT_EQ(layer.GetInId("pulse:source:veltaro_sink.monitor"), -1);

    ASSERT_EQ(layer.Init_Capture("pulse:source:veltaro_sine"), 0);
    EXPECT_FALSE(layer.GetInInfo().isEx);
    EXPECT_EQ(layer.GetInInfo().bits, 32);
    EXPECT_EQ(layer.GetInVol(), 0);
    ASSERT_EQ(layer.CaptureAudioClient()->Start(), S_OK);
    uint32_t frames = 0;
    for (int i = 0; i < 100 && frames == 0; ++i) {
        ASSERT_TRUE(layer.CaptureEvent().Wait(5000));
        layer.CaptureClient()->GetNextPacketSize(&frames);
    }
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(layer.StopIn(), S_OK);
    ASSERT_GE(layer.Init_Render("pulse:sink:veltaro_sink"), 0);
    EXPECT_EQ(layer.Start_Render(), S_OK);
    EXPECT_GE(layer.Stop_Render(), 0);
}

// The server of a running capture goes away: the main window hears of it as
// the audio failure of a device that does not respond, with the input
// marked stopped, so that a running measurement can stop and save.
TEST_F(WasAudioPulseTest, ACaptureWhoseServerGoesAwayIsAnAudioFailureWithTheInputStopped) {
    std::vector<std::pair<uintptr_t, intptr_t>> notified;
    const WindowHandle window = RegisterWindow([&](uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == WM_MAIN_NOTIFY) notified.emplace_back(w, l);
    });
    mainWnd.store(window);
    {
        TWasAudio layer;
        ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
        ASSERT_EQ(layer.Init_Capture("pulse:source:veltaro_sine"), 0);
        ASSERT_EQ(layer.CaptureAudioClient()->Start(), S_OK);
        SetInputRunning(true);
        ASSERT_TRUE(layer.CaptureEvent().Wait(5000)) << "the capture runs";

        server->Kill();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (IsInputRunning() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
        EXPECT_FALSE(IsInputRunning());
        layer.StopIn();
    }  // the layer's end waits for the server connection's thread, and with it for the post
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(notified, (std::vector<std::pair<uintptr_t, intptr_t>>{{kNotifyAudioFailure, 2}}));
    mainWnd.store(0);
    UnregisterWindow(window);
    ClearRunState();
}

}  // namespace

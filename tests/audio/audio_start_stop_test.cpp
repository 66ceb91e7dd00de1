// Audio start and stop by interface mode: the crash marker IOStart (also
// across a process killed inside the open), what the start leaves to the
// readers, the input assignment, and the device texts.
#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <thread>

#include "support/hide_machine_sound_devices.h"
#include "audio/audio_start_stop.h"
#include "audio/vu_meter_thread.h"
#include "audio/wasapi_devices.h"
#include "audio/wave_backend.h"
#include "audio_in_fakes.h"
#include "support/sample_ring_writer.h"
#include "platform/wasapi_pulse.h"
#include "ui_kit/text_table.h"

using namespace audio_in_test;

namespace {

const std::vector<Message> kStartNotifications = {
    {WM_MAIN_NOTIFY, kNotifyCalStatusDevice, 0},
    {WM_MAIN_NOTIFY, kNotifyNewValues, kNewValuesAudioStart},
    {WM_MAIN_NOTIFY, kNotifyDeviceLine, 0},
    {WM_MAIN_NOTIFY, kNotifyVuRefresh, 0},
};

class AudioStartStopTest : public AudioInFixture {
protected:
    static void SetUpTestSuite() {
        // The machine's own sound devices stay out: only the simulated ones are listed.
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
        setenv("VELTARO_PULSEAUDIO", "0", 1);
    }

    void TearDown() override {
        if (IsWaveInOpen()) CloseWaveIn();
        RegisterMainWindowServices(&main);
        wasapiLayer.store(nullptr);
        AudioInFixture::TearDown();
    }

    void SwitchSimulatedOff() {
        ConfigureSimulated([](platform::Registry& reg) { reg.WriteBool("Enabled", false); });
    }
};

TEST_F(AudioStartStopTest, WithNoDeviceAtAllTheStartStillCompletesAndClearsTheMarker) {
    SwitchSimulatedOff();
    ASSERT_EQ(platform::WaveInDeviceCount(), 0u);
    main.fields.waveInID = 3;
    test_support::RestartRingsAt(777);
    EXPECT_TRUE(StartAudioIn(false));
    EXPECT_EQ(main.fields.waveInID.load(), 0) << "an id beyond the devices becomes 0";
    EXPECT_FALSE(IsInputRunning());
    EXPECT_EQ(ringWritePos.Slot(), 0);
    EXPECT_EQ(IOStartMarker(), false);
    EXPECT_EQ(NotificationsOnly(), kStartNotifications);
    EXPECT_EQ(dialogs.messages().size(), 0u) << "no device is no error";
}

TEST_F(AudioStartStopTest, AProcessKilledInsideTheOpenLeavesTheMarkerAndTheNextStartOpensNothing) {
    // The WAV player reads its file while the device opens; a named pipe
    // without a writer holds it there.
    const QByteArray fifo = dir.filePath("held.wav").toLocal8Bit();
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    ConfigureSimulated([&](platform::Registry& reg) { reg.WriteString("WavFile", QString::fromLocal8Bit(fifo)); });
    main.fields.waveInID = FindInput(platform::kSimulatedWavName);
    ASSERT_GE(main.fields.waveInID.load(), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StartAudioIn(false);
        _exit(0);
    }
    // If the child never gets there, a reader of our own releases the wait below.
    std::mutex lock;
    std::condition_variable done;
    bool arrived = false;
    bool timedOut = false;
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        if (!done.wait_for(guard, std::chrono::seconds(20), [&] { return arrived; })) {
            timedOut = true;
            close(open(fifo.constData(), O_RDONLY | O_NONBLOCK));
        }
    });
    const int writer = open(fifo.constData(), O_WRONLY);  // returns once the child opened the file
    {
        std::lock_guard guard(lock);
        arrived = true;
    }
    done.notify_all();
    watchdog.join();
    ASSERT_FALSE(timedOut) << "the child never reached the open";
    EXPECT_EQ(IOStartMarker(), true) << "set while the device opens";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(IOStartMarker(), true) << "left behind by the killed process";

    // The next program start: the settings loader sees the marker.
    main.fields.IOMode = 2;
    EXPECT_TRUE(ApplyLeftoverIOStart(main.fields));
    EXPECT_EQ(main.fields.IOMode.load(), 0);
    EXPECT_EQ(main.fields.waveInID.load(), -1);
    StartAudioIn(false);
    EXPECT_FALSE(IsInputRunning()) << "the input stays off";
    EXPECT_EQ(IOStartMarker(), false);
    EXPECT_FALSE(ApplyLeftoverIOStart(main.fields));
    EXPECT_EQ(UpdateSoundLabel(), "") << "no device text while the input is off";
    EXPECT_EQ(WaveDeviceText(), GetLangText(3));
    EXPECT_EQ(defaultStore.GetSoundCard(), TDaten().GetSoundCard());
}

TEST_F(AudioStartStopTest, DuringAMeasurementTheRestartKeepsPositionsRecordingAndReaders) {
    test_support::RestartRingsAt(12345);
    TVuThread vu([] { return 0.0; }, [](uintptr_t, intptr_t) {});
    main.fields.hVuThread = &vu;
    vu.Tick();  // its start-up reset
    const double sample = 0.5;
    recRing.Append(&sample, 1);
    main.measuring = true;
    StartAudioIn(false);
    EXPECT_EQ(ringWritePos.Slot(), 12345) << "old samples would be counted again after a jump back";
    EXPECT_EQ(recRing.Position(), 1) << "the recording ring stays";
    sampleRing1[12345] = 0.25;
    ringWritePos.Publish(1);
    EXPECT_TRUE(vu.Tick()) << "the meter was not reset: it reads on from where it was";

    main.measuring = false;
    StartAudioIn(false);
    EXPECT_EQ(ringWritePos.Slot(), 0);
    EXPECT_EQ(recRing.Position(), 0);
    ringWritePos.Publish(10);
    EXPECT_FALSE(vu.Tick()) << "reset: the meter starts from the new position";
    main.fields.hVuThread = nullptr;
}

TEST_F(AudioStartStopTest, TheInputAssignmentRestartsOnlyOnAChangeThatTheInterfaceCanTake) {
    ChangeInputAssign(1);
    EXPECT_TRUE(NotificationsOnly().empty()) << "no change, no restart";
    EXPECT_EQ(main.updateVuLayoutCalls, 0);

    main.fields.IOMode = 1;
    main.fields.ASIOInputID = 0;
    main.fields.ASIOInputIDV = -1;
    ChangeInputAssign(3);
    EXPECT_EQ(inputAssign.load(), 1) << "no second ASIO input: it falls back to 1";
    EXPECT_TRUE(peers.calls.empty());

    main.fields.ASIOInputIDV = 2;
    peers.driverOpen = true;
    SetInputRunning(true);
    ChangeInputAssign(3);
    EXPECT_EQ(inputAssign.load(), 3);
    // The fake leaves the input running, so the start checks its volume.
    EXPECT_EQ(peers.calls, (std::vector<QString>{"CloseAsio", "StartAsioIn", "CheckInputVolume"}));
    EXPECT_TRUE(waveInClosing.load());
    EXPECT_EQ(main.updateVuLayoutCalls, 1);

    peers.calls.clear();
    main.fields.IOMode = 2;
    SetInputRunning(true);
    ChangeInputAssign(1);
    EXPECT_EQ(peers.calls, (std::vector<QString>{"CloseWasapiIn", "OpenWasapiIn", "CheckInputVolume"}));
    EXPECT_EQ(main.stopRecordingCalls, 2) << "each stop outside a measurement ends a recording";
}

TEST_F(AudioStartStopTest, AStartedInputHasItsVolumeChecked) {
    main.fields.IOMode = 2;
    StartAudioIn(false);
    EXPECT_EQ(peers.calls, (std::vector<QString>{"OpenWasapiIn"})) << "an input that did not start has no volume";
    peers.calls.clear();
    peers.wasapiStarts = true;
    StartAudioIn(false);
    EXPECT_EQ(peers.calls, (std::vector<QString>{"OpenWasapiIn", "CheckInputVolume"}));
}

TEST_F(AudioStartStopTest, SecondInputAndReferenceSideFollowTheInterface) {
    struct Case {
        int32_t mode, asioIn, asioRef, vuAssign, assign;
        bool kanal, wasCh1, canSecond, refRight;
    };
    const Case cases[] = {
        {0, 0, 0, 3, 1, false, false, true, true},   // one input: always right
        {0, 0, 0, 1, 3, true, false, true, false},
        {0, 0, 0, 2, 3, false, false, true, true},
        {0, 0, 0, 3, 3, true, false, true, true},    // as wired: the wave side
        {0, 0, 0, 3, 3, false, false, true, false},
        {2, 0, 0, 3, 3, false, true, true, true},    // WASAPI: its channel
        {1, 1, 4, 3, 3, false, false, true, true},   // ASIO: measuring before reference
        {1, 4, 1, 3, 3, false, false, true, false},
        {1, 2, 2, 3, 3, false, false, false, false},
        {1, 0, -1, 7, 3, false, false, false, true},  // unknown side
        {5, 0, 0, 2, 1, false, false, false, true},
    };
    for (const Case& c : cases) {
        main.fields.IOMode = c.mode;
        main.fields.ASIOInputID = c.asioIn;
        main.fields.ASIOInputIDV = c.asioRef;
        main.fields.VUAssign = c.vuAssign;
        main.fields.Kanal = c.kanal;
        wasChannel1 = c.wasCh1;
        inputAssign = c.assign;
        EXPECT_EQ(CanUseSecondIn(), c.canSecond) << c.mode << "/" << c.asioIn << "/" << c.asioRef;
        EXPECT_EQ(IsRefRechts(), c.refRight) << c.mode << "/" << c.vuAssign << "/" << c.assign;
    }
}

TEST_F(AudioStartStopTest, DeviceTextsNameTheDeviceAndAreStoredAsTheSoundCard) {
    language = 2;
    main.fields.waveInID = -1;
    EXPECT_EQ(WaveDeviceText(), GetLangText(3));
    EXPECT_EQ(defaultStore.GetSoundCard(), TDaten().GetSoundCard()) << "nothing stored without a device";

    main.fields.waveInID = 0;
    main.fields.WaveDeviceName = "Card";
    main.fields.Kanal = true;
    main.fields.HighRes = true;
    main.fields.isExt = true;
    EXPECT_EQ(WaveDeviceText(), GetLangText(2) + "Card" + GetLangText(0) + ", 32Bit, EXT");
    EXPECT_EQ(defaultStore.GetSoundCard(), "Card" + GetLangText(0) + ", 32Bit, EXT");
    EXPECT_EQ(main.fields.CurrentDeviceName, "Card");

    main.fields.ASIODeviceName = "Driver";
    main.fields.asioKanalLabel = "In 1";
    main.fields.asioRefKanalLabel = "In 2";
    inputAssign = 3;
    EXPECT_EQ(AsioDeviceText(), GetLangText(715) + " Driver" + GetLangText(4) + "In 1" + GetLangText(5) + "In 2.");
    EXPECT_EQ(defaultStore.GetSoundCard(), "Driver" + GetLangText(4) + "In 1 (" + GetLangText(332) + ")");

    EXPECT_EQ(WasapiDeviceText(), GetLangText(6)) << "no WASAPI layer";
    platform::SimulatedEndpointSetup mono;
    mono.id = "sim:mono";
    mono.friendlyName = "Mono Mic";
    mono.stereo = false;
    platform::SimulatedEndpointSetup out;
    out.id = "sim:out";
    out.flow = platform::DataFlow::Render;
    platform::SetSimulatedEndpoints({mono, out});
    {
        TWasAudio layer;
        wasapiLayer.store(&layer);
        ASSERT_TRUE(layer.Init(0, WM_MAIN_NOTIFY, 259, 3));
        EXPECT_EQ(WasapiDeviceText(), GetLangText(6)) << "no capture stream yet";
        ASSERT_EQ(layer.Init_Capture("sim:mono"), 0);
        EXPECT_EQ(WasapiDeviceText(), GetLangText(851) + ": Mono Mic (mono)");
        EXPECT_EQ(defaultStore.GetSoundCard(), GetLangText(851) + ": Mono Mic (mono)");

        main.fields.IOMode = 2;
        SetOutputRunning(false);
        Soundkarten1Click();
        ASSERT_EQ(dialogs.infos().size(), 1u);
        EXPECT_TRUE(dialogs.infos()[0].info.startsWith(GetLangText(851) + "\r\nMono Mic (Mono)\r\nVol: "));
        wasapiLayer.store(nullptr);
    }
    platform::ResetSimulatedEndpoints();

    SetInputRunning(true);
    main.fields.IOMode = 0;
    messages.clear();
    EXPECT_EQ(UpdateSoundLabel(), GetLangText(2) + "Card" + GetLangText(0) + ", 32Bit, EXT");
    EXPECT_EQ(NotificationsOnly(), (std::vector<Message>{{WM_MAIN_NOTIFY, kNotifyCalStatus, 0}}));
}

TEST_F(AudioStartStopTest, TheInformationWindowOffersTheDeviceDialogOnlyOutsideAMeasurement) {
    language = 2;
    defaultStore.SetSoundCard("Card, left");
    main.fields.IOMode = 0;
    main.fields.isExt = false;
    main.fields.HighRes = false;
    main.fields.noCalReason = 0x2A;
    Soundkarten1Click();
    main.measuring = true;
    Soundkarten1Click();
    const auto infos = dialogs.infos();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].info, "Card, left\r\n\r\n" + GetLangText(8) + "\r\n" + GetLangText(10) + "\r\n\r\nNCID: 002A");
    EXPECT_EQ(infos[0].header, GetLangText(18));
    EXPECT_EQ(infos[0].timeoutMs, 15000);
    EXPECT_EQ(infos[0].rightCaption, GetLangText(19));
    EXPECT_EQ(infos[0].rightAnswer, 0);
    EXPECT_EQ(infos[0].leftCaption, GetLangText(20));
    EXPECT_EQ(infos[0].leftAnswer, 1);
    EXPECT_TRUE(infos[1].leftCaption.isEmpty());

    EXPECT_EQ(CalDeviceInfoText(), "\r\n" + GetLangText(170));
    defaultStore.SetCalTime(platform::EncodeDateTime(2024, 3, 4, 5, 6, 0, 0));
    main.fields.KalIOMode = 2;
    EXPECT_TRUE(CalDeviceInfoText().startsWith(GetLangText(165)));
    EXPECT_TRUE(CalDeviceInfoText().endsWith("\r\n" + GetLangText(166) + GetLangText(851)));
}

}  // namespace

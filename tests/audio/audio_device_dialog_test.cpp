// The audio device dialog offscreen: its lists and the completeness of a
// choice, and the main window's action around it with a scripted answer.
#include "audio_device_dialog_fixture.h"

using namespace audio_device_dialog_test;

TEST_F(AudioDeviceDialogTest, WithoutAnAsioDriverItStartsInWaveModeAndAWaveInputCompletesIt) {
    TIOSelect dialog(nullptr);
    EXPECT_EQ(dialog.GetAudioMode(), 0);
    dialog.SetInputAssign(1);
    dialog.SetWaveIDs(0, -1);
    EXPECT_FALSE(dialog.pbOk->isHidden()) << "the simulated wave inputs answer the query";
    EXPECT_EQ(dialog.cbWaveOut->itemText(0), GetLangText(1139));
    dialog.SetAsioDetails(false, false, 1000, false);
    EXPECT_EQ(dialog.cbAsioSize->currentIndex(), 3);
    EXPECT_EQ(dialog.MaxAsioSize(), 1024);
}

TEST_F(AudioDeviceDialogTest, AsioChannelListsAreCappedAndAChoiceMustBeComplete) {
    InstallSimulatedAsio();
    platform::SimulatedAsioSetup setup;
    setup.inputs = Channels(300, "In ");
    setup.outputs = Channels(600, "Out ");
    platform::SetSimulatedAsio(setup);
    {
        TIOSelect dialog(nullptr);
        dialog.SetInputAssign(3);
        ASSERT_TRUE(dialog.SetAsioGuid(main.fields.AsioGuid));
        dialog.SetAudioMode(1);
        dialog.cbASIODeviceChange();
        EXPECT_EQ(dialog.cbASIOInput->count(), 256);
        EXPECT_EQ(dialog.cbASIOOut->count(), 513);
        EXPECT_EQ(dialog.GetAsioOutId(), 0) << "the first channel after \"No internal pink noise\"";
        EXPECT_TRUE(dialog.pbOk->isHidden()) << "both microphones on one channel";
        dialog.SelectAsioInputV(1);
        EXPECT_FALSE(dialog.pbOk->isHidden());
    }
    setup.outputs.clear();
    platform::SetSimulatedAsio(setup);
    TIOSelect dialog(nullptr);
    dialog.SetInputAssign(1);
    ASSERT_TRUE(dialog.SetAsioGuid(main.fields.AsioGuid));
    dialog.SetAudioMode(1);
    dialog.cbASIODeviceChange();
    EXPECT_EQ(Items(dialog.cbASIOOut), QStringList{GetLangText(1139)});
    EXPECT_EQ(dialog.cbASIOOut->currentIndex(), -1);
    EXPECT_TRUE(dialog.pbOk->isHidden());
}

TEST_F(AudioDeviceDialogTest, TwoMicrophonesAreNotOfferedMonoEndpoints) {
    platform::SimulatedEndpointSetup stereo;
    stereo.id = "sim:capture:stereo";
    stereo.friendlyName = "Stereo Mic";
    stereo.mono = false;
    platform::SimulatedEndpointSetup mono = stereo;
    mono.id = "sim:capture:mono";
    mono.friendlyName = "Mono Mic";
    mono.stereo = false;
    mono.mono = true;
    platform::SimulatedEndpointSetup out = stereo;
    out.id = "sim:render:out";
    out.friendlyName = "Out";
    out.flow = platform::DataFlow::Render;
    platform::SetSimulatedEndpoints({mono, stereo, out});
    TWasAudio layer;
    ASSERT_TRUE(layer.Init(window, WM_MAIN_NOTIFY, kNotifySessionEvent, 3));
    wasapiLayer.store(&layer);
    wasapiAvailable = true;
    wasIn = "sim:capture:unknown";
    TIOSelect dialog(nullptr);
    dialog.SetInputAssign(3);
    EXPECT_EQ(Items(dialog.cbInWas), QStringList{"Stereo Mic"});
    dialog.SetInputAssign(1);
    EXPECT_EQ(Items(dialog.cbInWas), (QStringList{"Stereo Mic", "Mono Mic"}));
    EXPECT_EQ(dialog.cbInWas->currentText(), "Mono Mic") << "the system default when the stored one is gone";
    EXPECT_TRUE(dialog.wasDevString.startsWith("32 ")) << qPrintable(dialog.wasDevString);
    EXPECT_TRUE(dialog.wasDevString.endsWith(", mono, exclusive")) << qPrintable(dialog.wasDevString);
    wasIn.clear();
    platform::ResetSimulatedEndpoints();
}

TEST_F(AudioDeviceDialogTest, CancelChangesNothingYetSavesTheDeviceSettingsAndRestarts) {
    main.fields.waveInID.store(-1);
    main.fields.IOMode.store(0);
    int shown = 0;
    SetIOSelectShow([&](TIOSelect&) {
        ++shown;
        return 2;
    });
    aSelectSCExecute();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(main.fields.waveInID.load(), -1);
    platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Brask Soft\\Veltaro2026"));
    const QStringList names = reg.GetValueNames();
    const QStringList saved = {"WaveInName", "WaveOutName", "SoundEXT", "HighRes", "IoMode", "ASIODeviceName",
                               "ASIOGuid",   "AsioInputID", "ASIOOutputID", "ASIOInputIDV", "ASIO96", "Kanal",
                               "WaveKanal",  "WasKanal",    "wasIn",        "wasOut"};
    EXPECT_EQ(names.mid(0, 16), saved);
    EXPECT_TRUE(names.contains("IOStart", Qt::CaseInsensitive)) << "the input started again";
    bool vuLayout = false;
    for (const Message& m : NotificationsOnly()) vuLayout = vuLayout || (m.wParam == kNotifyVuLayout && m.lParam == 1);
    EXPECT_TRUE(vuLayout);
}

TEST_F(AudioDeviceDialogTest, TheWaveChoiceIsTakenAsItsLowByte) {
    TIOSelect dialog(nullptr);
    dialog.SetWaveIDs(0, -1);
    dialog.cbWaveIn->addItem("far device", 300);
    dialog.cbWaveIn->setCurrentIndex(dialog.cbWaveIn->count() - 1);
    TakeWaveDevices(dialog);
    EXPECT_EQ(main.fields.waveInID.load(), 44);
    EXPECT_TRUE(main.fields.HighRes.load());
    EXPECT_TRUE(main.fields.isExt.load());
    dialog.cbWaveIn->setCurrentIndex(-1);
    TakeWaveDevices(dialog);
    EXPECT_EQ(main.fields.waveInID.load(), 255);
}

TEST_F(AudioDeviceDialogTest, OkInAsioModeTakesTheDriverAndItsChannels) {
    InstallSimulatedAsio();
    platform::ResetSimulatedAsio();
    main.fields.IOMode.store(1);
    main.fields.ASIOOutputID.store(1);
    SetIOSelectShow([](TIOSelect& dialog) {
        dialog.SetAudioMode(1);
        return 1;
    });
    aSelectSCExecute();
    EXPECT_EQ(main.fields.IOMode.load(), 1);
    EXPECT_EQ(main.fields.ASIODeviceName, "Simulated ASIO");
    EXPECT_EQ(main.fields.ASIOInputID.load(), 0);
    EXPECT_EQ(main.fields.ASIOOutputID.load(), 1);
    EXPECT_EQ(main.fields.CurrentInputName, "Sim In 1");
    EXPECT_EQ(main.fields.AsioGuid, QUuid(platform::GuidToText(platform::kSimulatedAsioClsid)));
}

TEST_F(AudioDeviceDialogTest, GrabsOfTheModesInBothSchemes) { GrabModes({0, 1, 2}, QString()); }

#pragma once
// The audio device dialog offscreen: the test application, the registry in
// a temporary folder, the simulated ASIO driver and the machine's own sound
// devices left out.
#include "ui_kit/gui_test_app.h"

#include <QComboBox>
#include <QDir>
#include <QString>
#include <QUuid>

#include <initializer_list>

#include "audio/audio_device_dialog.h"
#include "audio/audio_device_setup.h"
#include "audio/wasapi_devices.h"
#include "audio_in_fakes.h"
#include "platform/asio_driver.h"
#include "support/hide_machine_sound_devices.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace audio_device_dialog_test {

using namespace audio_in_test;

inline std::vector<platform::SimulatedAsioChannel> Channels(int n, const char* prefix) {
    std::vector<platform::SimulatedAsioChannel> v;
    for (int i = 0; i < n; ++i) v.push_back({std::string(prefix) + std::to_string(i + 1), platform::kAsioFloat32LSB});
    return v;
}

class AudioDeviceDialogTest : public AudioInFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
        setenv("VELTARO_PULSEAUDIO", "0", 1);
    }

    void SetUp() override {
        gui_test::App();
        AudioInFixture::SetUp();
        main.fields.IOMode.store(0);
        main.fields.waveInID.store(0);
        main.fields.waveOutID.store(-1);
    }

    void TearDown() override {
        SetIOSelectShow(nullptr);
        platform::ResetSimulatedAsio();
        wasapiLayer.store(nullptr);
        wasapiAvailable = false;
        AudioInFixture::TearDown();
    }

    void InstallSimulatedAsio() {
        main.fields.AsioGuid = QUuid(
            InstallAsioDriver("Simulated ASIO", platform::kSimulatedAsioClsid, QCoreApplication::applicationFilePath()));
    }

    // The dialog with the simulated ASIO driver chosen, two microphones and
    // the first wave input, grabbed in each of modes in both colour schemes
    // into the build folder's grabs/audio_device_dialog as
    // <prefix>mode<m>_scheme<s>.png.
    void GrabModes(std::initializer_list<int> modes, const QString& prefix) {
        InstallSimulatedAsio();
        const QString folder = QStringLiteral(VELTARO_BINARY_DIR) + "/grabs/audio_device_dialog";
        ASSERT_TRUE(QDir().mkpath(folder));
        language.store(2);
        for (int scheme : {0, 1}) {
            SetColorScheme(scheme);
            TIOSelect dialog(nullptr);
            dialog.SetInputAssign(3);
            dialog.SetWaveIDs(0, -1);
            dialog.SetWaveChannel(true, 3);
            dialog.SetAsioGuid(main.fields.AsioGuid);
            dialog.cbASIODeviceChange();
            for (int mode : modes) {
                dialog.SetAudioMode(mode);
                dialog.adjustSize();
                ASSERT_TRUE(
                    dialog.grab().save(folder + QString("/%1mode%2_scheme%3.png").arg(prefix).arg(mode).arg(scheme)));
            }
        }
        SetColorScheme(1);
        language.store(-1);
    }

    static QStringList Items(const QComboBox* c) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
        return items;
    }
};

}  // namespace audio_device_dialog_test

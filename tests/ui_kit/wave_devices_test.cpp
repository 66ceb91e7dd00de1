// Wave device names and ids, on the simulated devices alone.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include "support/hide_machine_sound_devices.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "ui_kit/wave_devices.h"

namespace {

class WaveDevicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The machine's own sound devices stay out: only the simulated ones are listed.
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
    }
    void SetUp() override {
        unsetenv("VELTARO_SIMULATED_AUDIO");
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    }
    void TearDown() override {
        unsetenv("VELTARO_SIMULATED_AUDIO");
        platform::Registry::SetHiveFiles({}, {});
    }
    QTemporaryDir dir;
};

TEST_F(WaveDevicesTest, NamesByIdAndIdsByNameWithoutRegardToCase) {
    EXPECT_EQ(WaveInDeviceName(0), platform::kSimulatedSineName);
    EXPECT_EQ(WaveInDeviceName(1), platform::kSimulatedNoiseName);
    EXPECT_EQ(WaveInDeviceName(2), "---");
    EXPECT_EQ(WaveInDeviceName(-1), "---");
    EXPECT_EQ(WaveOutDeviceName(0), platform::kSimulatedOutputName);
    EXPECT_EQ(WaveOutDeviceName(1), "---");
    EXPECT_EQ(WaveInDeviceId("SIMULATED PINK noise"), 1);
    EXPECT_EQ(WaveInDeviceId("Unplugged card"), 0) << "devices exist, none matches";
    EXPECT_EQ(WaveOutDeviceId("simulated output"), 0);
    EXPECT_EQ(WaveOutDeviceId("Unplugged card"), 0);
}

TEST_F(WaveDevicesTest, WithoutAnyDeviceTheIdIsMinusOne) {
    setenv("VELTARO_SIMULATED_AUDIO", "0", 1);
    EXPECT_EQ(WaveInDeviceId("Simulated Sine"), -1);
    EXPECT_EQ(WaveOutDeviceId("Simulated Output"), -1);
    EXPECT_EQ(WaveInDeviceName(0), "---");
}

}  // namespace

// The audio device dialog in ASIO mode on a screen of device pixel ratio 2,
// in both colour schemes, grabbed into the build folder to be looked at.
#include <QByteArray>

#include "audio_device_dialog_fixture.h"

using namespace audio_device_dialog_test;

namespace {

// Before the application object exists, so that its screen takes the ratio.
const bool kRatioTwo = qputenv("QT_SCALE_FACTOR", QByteArray("2"));

}  // namespace

TEST_F(AudioDeviceDialogTest, AsioModeGrabsAtPixelRatioTwo) {
    ASSERT_TRUE(kRatioTwo);
    TIOSelect probe(nullptr);
    ASSERT_EQ(probe.devicePixelRatio(), 2.0);
    GrabModes({1}, QStringLiteral("ratio2_"));
}

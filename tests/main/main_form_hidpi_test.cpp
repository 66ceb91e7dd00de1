// The main form on a screen of device pixel ratio 2: the same logical
// layout, drawn at twice the pixels.
#include <QByteArray>

#include "main_form_fixture.h"

namespace {

// Before the application object exists, so that its screen takes the ratio.
const bool kRatioTwo = qputenv("QT_SCALE_FACTOR", QByteArray("2"));

using test_support::MainFormConcurrent;

TEST_F(MainFormConcurrent, ScreenshotsIdleAndMeasuringAtPixelRatioTwo) {
    ASSERT_TRUE(kRatioTwo);
    StartOnTheSine();
    // The pixel ratio is not a UI scale: nothing is scaled twice.
    EXPECT_EQ(UIScale, 1.0);
    SaveIdleAndRunningShots(2.0);
    StopRun();
    Exit();
}

}  // namespace

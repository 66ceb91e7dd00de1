// The value displays on a screen of device pixel ratio 2.
#include <QByteArray>

#include "main/value_displays_fixture.h"

namespace {

// Before the application object exists, so that its screen takes the ratio.
const bool kRatioTwo = qputenv("QT_SCALE_FACTOR", QByteArray("2"));

using test_support::ValueDisplaysConcurrent;

TEST_F(ValueDisplaysConcurrent, ScreenshotsOfTheDisplaysInBothSchemesAtPixelRatioTwo) {
    ASSERT_TRUE(kRatioTwo);
    blinkMode = 3;
    StartOnTheSine();
    EXPECT_EQ(window->pbTop()->Buffer().DevicePixelRatio(), 2.0);
    SaveDisplayShots(*window, 1, QStringLiteral("ratio2"));
    Exit();
}

}  // namespace

// The level meter, the peak display with its test-signal control and the
// display areas on paint boxes of their own, checked on sampled pixels and
// on the notifications they post.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "audio/vu_meter_thread.h"
#include "main/display_areas.h"
#include "main/display_readings.h"
#include "main/peak_display.h"
#include "main/vu_meter_view.h"
#include "platform/window_messages.h"
#include "store/measurement_store.h"
#include "support/fake_main_window.h"
#include "support/sample_ring_writer.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using Post = std::pair<uintptr_t, intptr_t>;

// Records what the displays post to the main window.
class DisplayBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        displayLayout.store(kSchemeDark);
        InitVuLabels();
        mainWnd = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t arg) {
            if (msg == WM_MAIN_NOTIFY) posts.emplace_back(code, arg);
        });
        mainReady.store(true);
        defaultDaten.store(&store);
        store.SetNKS(1);
        store.SetWarnPeak(130);
        store.SetMaxPeak(135);
    }
    void TearDown() override {
        mainReady.store(false);
        platform::UnregisterWindow(mainWnd.exchange(0));
        defaultDaten.store(nullptr);
        SetInputRunning(false);
        SetOutputRunning(false);
        inputAssign.store(1);
        testSignalOn.store(false);
    }
    std::vector<Post> TakePosts() {
        QCoreApplication::processEvents();
        return std::exchange(posts, {});
    }
    int Count(const std::vector<Post>& seen, Post p) { return static_cast<int>(std::count(seen.begin(), seen.end(), p)); }

    TDaten store;
    TEngineDisplayReadings readings;
    std::vector<Post> posts;
};

// The VU thread driven by hand over frames written into the rings: a block
// with one sample at the given peak over a steady level.
class LevelMeter : public DisplayBoxes {
protected:
    void SetUp() override {
        DisplayBoxes::SetUp();
        AllocateSampleRings();
        SetInputRunning(true);
        view.vuThread = [this] { return &vu; };
        view.resize(60, 27 * 20 + 40);
        view.RebuildVuScale();
        vu.Tick();  // the reset
    }
    void Feed(double peakDb, double levelDb) {
        std::vector<double> block(TVuThread::kRmsSlots, std::pow(10.0, levelDb / 20));
        block[block.size() / 2] = std::pow(10.0, peakDb / 20);
        test_support::WriteRingFrames(block);
        vu.Tick();
        view.PaintBuffer();
    }
    TColor32 Segment(int i) { return view.Buffer().Pixel(vuRect1[i].center().x(), vuRect1[i].center().y()); }

    TVuThread vu{[] { return 0.0; }, [](uintptr_t, intptr_t) {}};
    TVuMeterView view;
};

TEST_F(LevelMeter, AHeldPeakSitsAboveTheBarOfTheLevel) {
    Feed(-2.0, -21.0);
    EXPECT_EQ(Segment(0), clBack32);
    EXPECT_EQ(Segment(1), clYellow32);
    for (int i = 2; i <= 9; ++i) EXPECT_EQ(Segment(i), clBack32) << i;
    for (int i = 10; i <= 26; ++i) EXPECT_EQ(Segment(i), clGreen32) << i;
}

TEST_F(LevelMeter, TheClipLatchWatchesTheMeasuringInputAndPostsOncePerExcursion) {
    test_support::FakeMainWindow main;
    RegisterMainWindowServices(&main);
    inputAssign.store(3);
    view.RebuildVuScale();
    for (int32_t vuAssign : {2, 1}) {  // the reference on the right, then on the left
        SCOPED_TRACE(vuAssign);
        main.fields.VUAssign.store(vuAssign);
        TakePosts();
        // The measuring input is channel 1 wherever its bar is drawn.
        std::vector<double> loud(TVuThread::kRmsSlots, 0.99), quiet(TVuThread::kRmsSlots, 0.01);
        auto feed = [&](const std::vector<double>& ch1) {
            test_support::WriteRingFrames(ch1, quiet);
            vu.Tick();
            view.PaintBuffer();
        };
        feed(loud);
        feed(loud);
        EXPECT_EQ(Count(TakePosts(), {5, 1}), 1);
        vu.resetPeakLatch();
        feed(quiet);
        feed(quiet);
        EXPECT_FALSE(view.ClipLatched());
        feed(loud);
        EXPECT_EQ(Count(TakePosts(), {5, 1}), 1);
        vu.resetPeakLatch();
        feed(quiet);
        feed(quiet);
    }
    RegisterMainWindowServices(nullptr);
}

TEST_F(LevelMeter, TheMinimumCorrectionLevelIsMarkedWhileACorrectionRuns) {
    store.SetMinKorrSpl(-60);
    bool korrOn = true;
    view.korrOn = [&] { return korrOn; };
    Feed(-85.0, -90.0);
    // Below the marker amplitude the segments carry the text colour at alpha 50.
    const TColor32 marked = Segment(22);
    EXPECT_NE(marked, clBack32);
    EXPECT_EQ(Segment(21), clBack32);
    EXPECT_NE(Segment(26), marked) << "the last segment keeps the live mark";
}

TEST_F(LevelMeter, AMeterTooSmallForItsScaleStillGetsAFontOfOnePixel) {
    view.resize(12, 30);
    view.RebuildVuScale();
    EXPECT_LE(view.Buffer().Font.height, -1);
}

TEST_F(LevelMeter, EveryFourthMeterPaintRepaintsThePeakDisplay) {
    int peakPaints = 0;
    view.paintPeakDisplay = [&] { ++peakPaints; };
    for (int i = 0; i < 8; ++i) view.PaintBuffer();
    EXPECT_EQ(peakPaints, 2);
}

class PeakDisplayBox : public DisplayBoxes {
protected:
    void SetUp() override {
        DisplayBoxes::SetUp();
        box.resize(300, 260);
        hooks.running = [this] { return running; };
        hooks.isFindPeak = [this] { return findPeak; };
        hooks.currentPeak = [this] { return currentPeak; };
        hooks.blockPeak = [] { return 128.0; };
        display = std::make_unique<TPeakDisplay>(&box, outLevel, hooks);
        display->LayoutPeakDisplay();
        appliedCalOffset[2].store(120.0);
    }
    void TearDown() override {
        appliedCalOffset[2].store(0.0);
        DisplayBoxes::TearDown();
    }
    TColor32 FieldPixel(int field) {
        const QRect& r = FieldRect[field];
        return box.Buffer().Pixel(r.x() + 8, r.y() + r.height() / 2);
    }
    void Press(int x, int y) {
        box.OnMouseDown(&box, Qt::LeftButton, x, y);
        box.OnMouseUp(&box, Qt::LeftButton, x, y);
    }

    TPaintBox32 box;
    TPeakDisplay::Hooks hooks;
    std::unique_ptr<TPeakDisplay> display;
    std::atomic<int32_t> outLevel{-60};
    bool running = true;
    bool findPeak = false;
    double currentPeak = 0.5;
};

TEST_F(PeakDisplayBox, TheLowerRowsGoWhenTheMeasurementStops) {
    store.SetLEQDauer(1800);  // interval mode
    display->maxPeak = 131.0;
    display->ShowPeakC();
    EXPECT_EQ(FieldPixel(5), clPanel32);
    EXPECT_EQ(FieldPixel(6), clPanel32);
    running = false;
    display->ShowPeakC();
    EXPECT_EQ(FieldPixel(5), clBack32);
    EXPECT_EQ(FieldPixel(6), clBack32);
    EXPECT_EQ(FieldPixel(4), clPanel32);
}

TEST_F(PeakDisplayBox, TheCurrentPeakKeepsItsLastValueAndLatchesItsMaximum) {
    display->ShowPeakC();
    EXPECT_NEAR(display->CPeakTransfer, 120 + 20 * std::log10(0.5), 1e-9);
    EXPECT_EQ(display->serPeakLatch, 114);
    currentPeak = std::nan("");
    display->ShowPeakC();
    EXPECT_EQ(display->OldPeak(), 0.5);
    // Without a calibration the row reads "CAL" on the neutral grey.
    SetColorScheme(kSchemeLight);
    displayLayout.store(kSchemeLight);
    appliedCalOffset[2].store(0.0);
    display->ShowPeakC();
    EXPECT_EQ(FieldPixel(4), clNeutral32);
    SetColorScheme(kSchemeDark);
    displayLayout.store(kSchemeDark);
}

TEST_F(PeakDisplayBox, ClicksOnTheLowerRowsAskForThePeakPopups) {
    display->ShowPeakC();
    TakePosts();
    const QRect& r5 = FieldRect[5];
    const QRect& r6 = FieldRect[6];
    Press(r5.center().x(), r5.center().y());
    Press(r6.center().x(), r6.center().y());
    Press(FieldRect[4].center().x(), FieldRect[4].center().y());
    EXPECT_EQ(TakePosts(), (std::vector<Post>{{32, 0}, {32, 1}}));
    running = false;
    Press(r6.center().x(), r6.center().y());
    EXPECT_TRUE(TakePosts().empty());
}

class TestSignalControl : public PeakDisplayBox {
protected:
    void SetUp() override {
        PeakDisplayBox::SetUp();
        findPeak = true;
        running = false;
        SetOutputRunning(true);
        display->ShowPeakC();
        TakePosts();
    }
};

TEST_F(TestSignalControl, TheSwitchTurnsTheSignalOnAndRedrawsTheValues) {
    const QRect& strip = display->TasteRect();
    const TSchalterH& sw = display->NoiseSwitch();
    Press(sw.rOn.center().x(), strip.center().y());
    EXPECT_EQ(TakePosts(), (std::vector<Post>{{18, 1}, {45, 7}}));
    Press(sw.rOff.center().x(), strip.center().y());  // already off: nothing to do
    EXPECT_TRUE(TakePosts().empty());
}

TEST_F(TestSignalControl, TheWedgeAndTheStepButtonsSetTheLevel) {
    const QRect& wedge = display->VolRect();
    box.OnMouseDown(&box, Qt::LeftButton, wedge.x() + wedge.width() / 2, wedge.center().y());
    box.OnMouseUp(&box, Qt::LeftButton, wedge.x() + wedge.width() / 2, wedge.center().y());
    const QRect& arrows = display->ArrowRect();
    box.OnMouseDown(&box, Qt::LeftButton, arrows.right() - 2, arrows.center().y());
    EXPECT_TRUE(display->StepTimerActive());
    box.OnMouseUp(&box, Qt::LeftButton, arrows.right() - 2, arrows.center().y());
    EXPECT_FALSE(display->StepTimerActive());
    EXPECT_EQ(TakePosts(), (std::vector<Post>{{19, -40}, {19, -59}}));
}

TEST_F(TestSignalControl, TheStepButtonsShowOnlyWhereTheLevelCanGo) {
    outLevel.store(0);
    display->ShowPeakC();
    EXPECT_FALSE(display->UpButtonShown());
    EXPECT_TRUE(display->DownButtonShown());
    outLevel.store(-80);
    display->ShowPeakC();
    EXPECT_TRUE(display->UpButtonShown());
    EXPECT_FALSE(display->DownButtonShown());
    // No fill in the wedge at -80 dB: its inside shows the background.
    const QRect& wedge = display->VolRect();
    EXPECT_EQ(box.Buffer().Pixel(wedge.right() - 4, wedge.bottom() - 3), clBack32);
    outLevel.store(0);
    display->ShowPeakC();
    EXPECT_NE(box.Buffer().Pixel(wedge.right() - 4, wedge.bottom() - 3), clBack32);
}

TEST_F(TestSignalControl, AWedgeWithoutWidthIgnoresClicks) {
    box.resize(40, 260);
    display->LayoutPeakDisplay();
    display->ShowPeakC();
    TakePosts();
    ASSERT_LT(display->VolRect().width(), 1);
    display->NoiseControlMouse(display->VolRect().x(), display->VolRect().y(), true);
    EXPECT_TRUE(TakePosts().empty());
}

TEST_F(DisplayBoxes, TinyAreasKeepTheSmallestFontsAndShowNoValue) {
    TPaintBox32 top, mitte;
    top.resize(40, 30);
    mitte.resize(40, 20);
    top.show();
    mitte.show();
    TDisplayAreas areas(&top, &mitte, TDisplayAreas::Hooks{});
    areas.LayoutTopAreas();
    areas.LayoutLowerAreas();
    areas.RefreshValueDisplays();
    EXPECT_EQ(areas.TopValueFont(), -5);
    EXPECT_EQ(areas.LowerValueFont(), -5);
    EXPECT_EQ(areas.TopLabelFont(), -3);
    EXPECT_EQ(areas.LowerLabelFont(), -3);
    for (int y = 0; y < top.height(); ++y)
        for (int x = 0; x < top.width(); ++x) ASSERT_EQ(top.Buffer().Pixel(x, y), clBack32) << x << "," << y;
}

}  // namespace

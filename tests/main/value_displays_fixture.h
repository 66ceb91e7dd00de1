#pragma once
// The real main window on the simulated sine, with the value displays
// settled on known values, and the grabs of its displays.
#include <QDir>

#include <gtest/gtest.h>

#include "main/display_areas.h"
#include "main/main_window_fixture.h"
#include "main/peak_display.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/paint_box.h"

namespace test_support {

// The input reads a 1 kHz sine at -20 dBFS, which a calibration offset of
// 120 dB turns into 96.99 dB: "97.0" at one decimal.
class ValueDisplaysConcurrent : public MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        for (auto& offset : appliedCalOffset) offset.store(120.0);
        rmsCalOffset.store(120.0);
        BlinkMode.store(0);
    }
    void TearDown() override {
        MainWindowConcurrent::TearDown();
        for (auto& offset : appliedCalOffset) offset.store(0.0);
        rmsCalOffset.store(0.0);
        BlinkMode.store(0);
        blinkPhase.store(0);
        SetOutputRunning(false);
    }
    void StartOnTheSine() {
        UseSimulatedSine();
        // One decimal, and a short-term Leq of one second, so the level settles at once.
        WriteSettings([](platform::Registry& reg) {
            reg.WriteInteger("BlinkMode", blinkMode);
            reg.WriteInteger("CurrentNaKoS", 1);
            reg.WriteInteger("Current2Dauer", 1);
        });
        Start();
        window->show();
        ASSERT_TRUE(Settled());
    }
    // The short-term Leq of the sine has reached area 2.
    bool Settled() {
        return ProcessUntil([&] { return Areas().Caches().aFeldWert[1] == "97.0; dB"; });
    }
    TDisplayAreas& Areas() { return *window->DisplayAreas(); }
    // A pixel of the field's fill beside its value text.
    TColor32 FillPixel(int32_t field) {
        const QRect& r = FieldRect[field];
        return window->pbTop()->Buffer().Pixel(r.x() + 12, r.y() + r.height() / 2);
    }
    // Grabs the displays in both schemes with an ok, a blinking warning
    // (on and off), an over value and the clock, and once in the search
    // mode with its test-signal control, into the build folder.
    void SaveDisplayShots(TVTProMaster& w, int uiScale, const QString& tag) {
        const QString folder = QStringLiteral(VELTARO_BINARY_DIR) + "/screenshots";
        QDir().mkpath(folder);
        areaChannel[0].store(13);  // ok: the RMS level is always fine
        areaChannel[1].store(1);   // 97.0: a warning within 3 dB of the limit blinks
        areaChannel[2].store(16);  // 137.0: over the peak limit
        areaChannel[3].store(201);
        appliedCalOffset[2].store(157.0);
        for (int scheme : {0, 1}) {
            w.SetDisplayColors(scheme, true);
            w.resize(1437 * uiScale, 1070 * uiScale);
            w.SetUiScale(96.0 * uiScale);
            for (bool search : {false, true}) {
                w.Fields().isFindPeak.store(search);
                SetOutputRunning(search);
                ASSERT_TRUE(Settled());
                ASSERT_TRUE(ProcessUntil([&] {
                    TPaintBox32* vu = w.pbVU();
                    return !vuRect1.empty() && vu->width() > 0 &&
                           IsLit(vu->Buffer().Pixel(vuRect1.back().center().x(), vuRect1.back().center().y()));
                }));
                for (int phase : {5, 2}) {
                    blinkPhase.store(phase);
                    w.RefreshValueDisplays();
                    w.PeakDisplay()->ShowPeakC();
                    const QImage shot = w.grab().toImage();
                    const QString file = QStringLiteral("%1/value_displays_%2_scheme%3%4_blink%5.png")
                                             .arg(folder, tag)
                                             .arg(scheme)
                                             .arg(search ? "_search" : "")
                                             .arg(phase == 5 ? "on" : "off");
                    ASSERT_TRUE(shot.save(file));
                    if (search) break;
                }
            }
        }
        w.Fields().isFindPeak.store(false);
        SetOutputRunning(false);
        areaChannel[0].store(2);
        areaChannel[1].store(1);
        areaChannel[2].store(3);
        areaChannel[3].store(4);
    }

    inline static int32_t blinkMode = 0;
};

}  // namespace test_support

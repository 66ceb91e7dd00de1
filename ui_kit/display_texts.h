#pragma once
// What the main window's value displays show for a display channel: the
// value text with its unit and state colour (GetMainInfo), the caption above
// it (DisplayCaptionText), and the captions of the main window's menus in the
// current language (SetGuiLabels).
//
// The levels come from the level engine and the settings from the default
// store and the current preset. Those live above this folder, so they are
// read through DisplayReadings, which the main window implements and
// registers; the display values of shared_state.h are read directly. GUI
// thread only.
#include <QString>

#include <cstdint>

#include "platform/date_time.h"
#include "ui_kit/text_table.h"

// One display value.
struct TMainInfo {
    QString mainText = QStringLiteral("---");  // the value as shown
    QString unitText;                          // the unit as shown
    // 0 none, 1 fine, 2 warning, 3 over the limit, 4 warning within the
    // near-limit margin (blinks), 5 over the limit with blinking on.
    int32_t brushId = 0;
    // The level that decides the colour, rounded to the display decimals;
    // -1.0 when there is none.
    double roughVal = -1.0;
};

// The values the display texts read beyond the program-wide display values.
class DisplayReadings {
public:
    virtual ~DisplayReadings() = default;

    // --- the level engine's value reader ---
    // False while no value reader exists (before the start, during a restart
    // of the calculation); the reader getters are not asked then.
    virtual bool HasReader() const = 0;
    virtual double ErwartungLeq() const = 0;   // dB
    virtual double ErwartungLeqK() const = 0;  // dB
    virtual double CurrentBlockPeak() const = 0;
    virtual platform::TDateTime CurrentBlockPeakTime() const = 0;
    virtual double MaxPeak() const = 0;
    virtual platform::TDateTime MaxPeakTime() const = 0;
    // Linear amplitudes (full scale 1.0) of the Leq signal and of the peak signal.
    virtual void RMS(double& slow, double& fast) const = 0;
    virtual void RMSP(double& slow, double& fast) const = 0;
    virtual double RMSPeak() const = 0;
    virtual double RMSPeakP() const = 0;

    // --- the default store ---
    virtual int32_t Decimals() const = 0;
    // Warning level and limit of quantity q (0 Leq, 1 short-term Leq, 2 peak)
    // with half a display step added.
    virtual double RealWarn(int32_t q) const = 0;
    virtual double RealLimit(int32_t q) const = 0;
    virtual int32_t WarnLeq() const = 0;
    virtual int32_t LeqDuration() const = 0;  // seconds, negative for a moving window
    virtual bool IsInterval() const = 0;

    // --- the current preset: entry 0 Leq, 1 short-term Leq, 2 peak ---
    virtual TMeasureEntry PresetEntry(int32_t entry) const = 0;
};

// The registered readings, or nullptr; without them every channel shows
// "---" and the captions name the built-in preset's entries.
DisplayReadings* displayReadings();
void RegisterDisplayReadings(DisplayReadings* readings);

// The state colour of value against a warning level and a limit; the low
// nibble of BlinkMode is the blink margin in dB below the limit, its bit
// 0x10 makes an exceeded limit blink. NaN gives 0.
int32_t StateColourId(double warn, double limit, double value);

// The value of display channel id (0 to 20, 101 to 103, 201, 202); running
// tells whether a measurement runs (some channels show only then).
TMainInfo GetMainInfo(int32_t channel, bool running);

// The caption of display channel id in the current language; detail adds
// the live details of a running measurement.
QString DisplayCaptionText(int32_t channel, bool detail);

// Takes the locale's settings for the captions' time stamps; the main window
// calls it once at start (before that the system locale at first use holds).
void InitCaptionFormat();

// Switches the language and relabels the main form's menus, actions and the
// top display area's hint (found by object name; a missing one is skipped).
// Nothing happens when force is false and lang is the current language.
void SetGuiLabels(int32_t lang, bool force);

#pragma once
// A measuring preset: what a measurement evaluates and how. For each of the
// three quantities (Leq, short-term Leq, peak) its kind, weighting, duration
// or window, warning level, limit and protocol status; the regulation it
// follows with a German and an English description; the checks around the
// measurement, the decimals and a few display options.
//
// A preset is a plain value. Copies handed between owners are made with
// OwnCopy, so that no two owners share text data (see store/own_copies.h).
#include <QString>

#include <array>
#include <cstdint>

#include "platform/date_time.h"
#include "ui_kit/text_table.h"

// One measured quantity of a preset.
struct TPresetMessung {
    int32_t ART = 0;     // 1 equivalent level over Dauer seconds, 2 level over a window of Dauer samples
    int32_t Filter = 0;  // weighting: 1 A, 2 C, 4 Z
    int32_t Dauer = 0;   // kind 1: seconds (> 0 fixed intervals, < 0 moving window, -2 whole measurement);
                         // kind 2: window in samples at 48 kHz (2 peak, 1680 impulse, 6000 fast, 48000 slow)
    double Gelb = 0.0;   // warning level, dB
    double Rot = 0.0;    // limit, dB
    int32_t Status = 0;  // protocol: 1 listed as information, 2 forced into the protocol, else neither

    // The label helpers of the text table read an entry through this view.
    operator TMeasureEntry() const { return TMeasureEntry{ART, Filter, Dauer}; }

    bool operator==(const TPresetMessung&) const = default;
};

// The three entries of DIN 15905-5; preset files and registry copies fall
// back to them for a missing value.
inline constexpr std::array<TPresetMessung, 3> kDefaultPresetEntries = {{
    {1, 1, 1800, 95.0, 99.0, 2},
    {1, 1, 10, 95.0, 99.0, 1},
    {2, 2, 2, 130.0, 135.0, 2},
}};

inline constexpr int32_t kPresetEntryLeq = 0;
inline constexpr int32_t kPresetEntryLeqK = 1;
inline constexpr int32_t kPresetEntryPeak = 2;
inline constexpr int32_t kPresetEntryCount = 3;

// Every field starts at 0, false or empty: the state of a preset that no one
// has set yet.
struct TVTPreset {
    std::array<TPresetMessung, kPresetEntryCount> messungen{};  // Leq, short-term Leq, peak
    QString vor;    // regulation name, e.g. "DIN 15905-5"
    QString InfoD;  // German description
    QString InfoE;  // English description
    QString fn;     // file the preset was read from; empty for the built-in preset
    bool offCheck = false;  // a closing verification follows the measurement
    bool kalAb = false;     // the calibration check before the start is required
    int32_t naKoS = 0;      // decimals of displayed levels
    bool checkH = false;    // the headroom check before the start is required
    bool isUser = false;
    bool endDirect = false;  // end without the end-of-measurement dialog; only while offCheck is false
    bool linkLeqK = false;   // the short-term Leq takes the Leq entry's weighting
    platform::TDateTime lastModDate = 0.0;
    int32_t leqColorMode = 0;

    bool operator==(const TVTPreset&) const = default;
};

// The preset of DIN 15905-5 that the program carries in itself.
TVTPreset InitDinPreset();

TVTPreset OwnCopy(const TVTPreset& preset);

// One line describing entry 0 (Leq), 1 (short-term Leq) or 2 (peak) of the
// preset in the current language, such as "LAeq30min (Fixed)", "LAeq10s" or
// "LCpeak"; any other number gives "Invalid Preset: " and the number.
QString PresetEntryInfo(const TVTPreset& preset, int32_t entry);

// The program-wide copy of the current measuring preset, refreshed from the
// preset handler whenever settings are applied; main thread only.
extern TVTPreset curPreset;

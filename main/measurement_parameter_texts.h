#pragma once
// The building blocks of the parameter information a measurement will run
// with: lines separated by CR LF, in the current language and the user's
// regional number format, from a preset and the default store.
#include <QString>

#include <cstdint>

struct TVTPreset;

// Quantity q of the preset (0 Leq, 1 short-term Leq, 2 peak): its label,
// limit, warning level and, when its weighting has a correction time, the
// correction. Empty for any other q.
QString QuantityInfoText(const TVTPreset& preset, int32_t quantity);
// text with the reference microphone's calibration and where it was copied from.
QString RefMicCalText(const QString& text);
// text with the correction times of the used weightings and where they were copied from.
QString KorrTimesText(const QString& text);
// text with the recording settings appended while recording on limit events is on.
QString RecordingInfoText(const QString& text);

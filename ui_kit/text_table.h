#pragma once
// Bilingual text table (German and English) and the level and duration labels
// built from it. The current language is the program-wide `language`
// (ui_kit/shared_state.h): 1 German, 2 English.
#include <QLocale>
#include <QString>

#include <cstdint>

// Number of texts per language; valid text ids are 0 .. kLangTextCount - 1.
inline constexpr int32_t kLangTextCount = 1306;

inline constexpr int32_t kLangGerman = 1;
inline constexpr int32_t kLangEnglish = 2;

// One measure entry of a measuring preset, as far as the labels need it.
struct TMeasureEntry {
    int32_t ART = 0;     // 1 Leq-type, 2 level-type
    int32_t Filter = 0;  // weighting code: 1 A, 2 C, any other Z
    int32_t Dauer = 0;   // Leq: seconds (negative = moving window, -2 = whole measurement);
                         // level: window in samples at 48 kHz
};

// Text of `id` in the current language.
QString GetLangText(int32_t id);
// Text of `id` in `lang`; a bad id or language gives an error text naming it.
QString GetLangTextFor(int32_t id, int32_t lang);

// 1 (German) for the locale German-Germany, else 2 (English).
int32_t LanguageForLocale(const QLocale& locale);
// Sets `language` from the system's user-interface locale.
void InitLanguageFromSystem();

QString LeqName(int32_t weighting);
QString DbUnitText(int32_t weighting);
QString WeightingLetter(int32_t weighting);
// Level label such as "LCpeak" or "LAslow"; the current language decides "impulse"/"impuls".
QString LevelLabelText(int32_t weighting, int32_t window);
QString LevelLabelText(int32_t weighting, int32_t window, int32_t lang);
// Leq label such as "LAeq30min (Moving)".
QString DurationText(int32_t weighting, int32_t duration, bool withMode, int32_t lang);

QString MeasureDurationText(const TMeasureEntry& entry, bool withMode, int32_t lang);
QString MeasurePeakLabel(const TMeasureEntry& entry);
QString MeasureLabel(const TMeasureEntry& entry);

QString AccuracyClassText(int32_t precisionClass, int32_t lang);
QString NoValueText();
QString BulletSeparator();
QString ArtNetCopyrightText();
// HTML body of the web server's refusal page when `limit` clients are already connected.
QString TooManyClientsText(int32_t lang, int32_t limit);

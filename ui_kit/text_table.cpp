#include "ui_kit/text_table.h"

#include "ui_kit/shared_state.h"

#include <cstdlib>
#include <string_view>

extern const std::u16string_view kLangTextData[2 * kLangTextCount];

namespace {

constexpr int32_t kTextWholeMeasurement = 823;
constexpr int32_t kTextFixed = 121;
constexpr int32_t kTextMoving = 122;
constexpr int32_t kTextClass1 = 1074;
constexpr int32_t kTextClass2 = 1075;
constexpr int32_t kTextClassNotSpecified = 1081;

constexpr int32_t kWindowPeak = 2;
constexpr int32_t kWindowImpulse = 1680;
constexpr int32_t kWindowFast = 6000;
constexpr int32_t kWindowSlow = 48000;

constexpr int32_t kDurationWholeMeasurement = -2;

// The table is static data, so the returned string shares it instead of copying.
QString TableText(int32_t slot) {
    const std::u16string_view text = kLangTextData[slot];
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()),
                                static_cast<qsizetype>(text.size()));
}

bool IsValidTextId(int32_t id) {
    return id >= 0 && id < kLangTextCount;
}

QString WeightingPrefix(int32_t weighting) {
    switch (weighting) {
    case 1:
        return QStringLiteral("LA");
    case 2:
        return QStringLiteral("LC");
    default:
        return QStringLiteral("L");
    }
}

QString WindowSuffix(int32_t window, int32_t lang) {
    switch (window) {
    case kWindowPeak:
        return QStringLiteral("peak");
    case kWindowImpulse:
        return lang == kLangEnglish ? QStringLiteral("impulse") : QStringLiteral("impuls");
    case kWindowFast:
        return QStringLiteral("fast");
    case kWindowSlow:
        return QStringLiteral("slow");
    default:
        return QString();
    }
}

QString DurationNumberText(int32_t duration) {
    const int64_t seconds = std::llabs(static_cast<int64_t>(duration));
    if (seconds <= 60) {
        return QString::number(seconds) + QStringLiteral("s");
    }
    return QString::number(seconds / 60) + QStringLiteral("min");
}

}  // namespace

QString GetLangText(int32_t id) {
    return GetLangTextFor(id, language.load());
}

QString GetLangTextFor(int32_t id, int32_t lang) {
    switch (lang) {
    case kLangGerman:
        if (!IsValidTextId(id)) {
            return QStringLiteral("Ungültiger Textindex ") + QString::number(id);
        }
        return TableText(kLangTextCount + id);
    case kLangEnglish:
        if (!IsValidTextId(id)) {
            return QStringLiteral("Invalid String ID: ") + QString::number(id);
        }
        return TableText(id);
    default:
        return QStringLiteral("Invalid Language: ") + QString::number(lang);
    }
}

int32_t LanguageForLocale(const QLocale& locale) {
    const bool germanGermany =
        locale.language() == QLocale::German && locale.territory() == QLocale::Germany;
    return germanGermany ? kLangGerman : kLangEnglish;
}

void InitLanguageFromSystem() {
    language.store(LanguageForLocale(QLocale::system()));
}

QString LeqName(int32_t weighting) {
    switch (weighting) {
    case 1:
        return QStringLiteral("LAeq");
    case 2:
        return QStringLiteral("LCeq");
    default:
        return QStringLiteral("Leq");
    }
}

QString DbUnitText(int32_t weighting) {
    switch (weighting) {
    case 1:
        return QStringLiteral(" dB(A)");
    case 2:
        return QStringLiteral(" dB(C)");
    default:
        return QStringLiteral(" dB");
    }
}

QString WeightingLetter(int32_t weighting) {
    switch (weighting) {
    case 1:
        return QStringLiteral("A");
    case 2:
        return QStringLiteral("C");
    default:
        return QStringLiteral("Z");
    }
}

QString LevelLabelText(int32_t weighting, int32_t window) {
    return LevelLabelText(weighting, window, language.load());
}

QString LevelLabelText(int32_t weighting, int32_t window, int32_t lang) {
    return WeightingPrefix(weighting) + WindowSuffix(window, lang);
}

QString DurationText(int32_t weighting, int32_t duration, bool withMode, int32_t lang) {
    QString text = LeqName(weighting);
    if (duration == kDurationWholeMeasurement) {
        return text + QLatin1Char(' ') + GetLangTextFor(kTextWholeMeasurement, lang);
    }
    text += DurationNumberText(duration);
    if (withMode) {
        text += QLatin1Char(' ') + GetLangTextFor(duration <= 0 ? kTextMoving : kTextFixed, lang);
    }
    return text;
}

QString MeasureDurationText(const TMeasureEntry& entry, bool withMode, int32_t lang) {
    return DurationText(entry.Filter, entry.Dauer, withMode, lang);
}

QString MeasurePeakLabel(const TMeasureEntry& entry) {
    return LevelLabelText(entry.Filter, entry.Dauer);
}

QString MeasureLabel(const TMeasureEntry& entry) {
    switch (entry.ART) {
    case 1:
        return MeasureDurationText(entry, false, language.load());
    case 2:
        return MeasurePeakLabel(entry);
    default:
        return QString();
    }
}

QString AccuracyClassText(int32_t precisionClass, int32_t lang) {
    switch (precisionClass) {
    case 1:
        return GetLangTextFor(kTextClass1, lang) + QStringLiteral(" (±1 dB)");
    case 2: {
        // Only the separator follows the user's settings; the digits stay Latin.
        const QString oneAndAHalf =
            QStringLiteral("1") + QLocale::system().decimalPoint() + QStringLiteral("5");
        return GetLangTextFor(kTextClass2, lang) + QStringLiteral(" (± ") + oneAndAHalf +
               QStringLiteral(" dB)");
    }
    default:
        return GetLangTextFor(kTextClassNotSpecified, lang);
    }
}

QString NoValueText() {
    return QStringLiteral("---");
}

QString BulletSeparator() {
    return QStringLiteral(" \u2022 ");
}

QString ArtNetCopyrightText() {
    return QStringLiteral("Art-Net\u2122 Designed by and Copyright Artistic Licence Holdings Ltd");
}

QString TooManyClientsText(int32_t lang, int32_t limit) {
    const QString count = QString::number(limit);
    if (lang == kLangGerman) {
        return QStringLiteral("<h2>Leider ist keine Anzeige möglich</h2><br>Zuviele "
                              "Clientverbindungen. Diese <b>Veltaro</b>\r\nVersion unterstützt nur ") +
               count + QStringLiteral(" gleichzeitig aktive Clients.");
    }
    return QStringLiteral("<h2>SORRY - No Display Possible</h2><br>There are too many clients "
                          "connected.<br>This version of <b>Veltaro</b> supports only ") +
           count + QStringLiteral(" clients at a time.");
}

#include "ui_kit/text_table.h"

#include "ui_kit/shared_state.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdlib>
#include <string>

namespace {

// Sets the program-wide language for one test and restores it afterwards.
class LanguageGuard {
public:
    explicit LanguageGuard(int32_t lang) : saved_(language.load()) { language.store(lang); }
    ~LanguageGuard() { language.store(saved_); }

private:
    int32_t saved_;
};

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// QLocale::system() reads the locale environment once per process, so checks that
// depend on it run in a fresh child process (threadsafe death-test style re-executes
// this binary) with the wanted locale set before Qt looks at it.
void UseSystemLocale(const char* name) {
    unsetenv("LANGUAGE");
    setenv("LC_ALL", name, 1);
    setenv("LC_MESSAGES", name, 1);
    setenv("LANG", name, 1);
}

}  // namespace

TEST(GetLangTextFor, IdOutsideTableNamesIdInThatLanguage) {
    EXPECT_EQ(Utf8(GetLangTextFor(-1, kLangEnglish)), "Invalid String ID: -1");
    EXPECT_EQ(Utf8(GetLangTextFor(kLangTextCount, kLangEnglish)), "Invalid String ID: 1306");
    EXPECT_EQ(Utf8(GetLangTextFor(1306, kLangGerman)), "Ungültiger Textindex 1306");
    EXPECT_EQ(Utf8(GetLangTextFor(-7, kLangGerman)), "Ungültiger Textindex -7");
}

TEST(GetLangTextFor, UnknownLanguageIgnoresId) {
    for (int32_t id : {-1, 0, 101, 1306}) {
        EXPECT_EQ(Utf8(GetLangTextFor(id, 0)), "Invalid Language: 0") << id;
        EXPECT_EQ(Utf8(GetLangTextFor(id, 3)), "Invalid Language: 3") << id;
        EXPECT_EQ(Utf8(GetLangTextFor(id, -1)), "Invalid Language: -1") << id;
    }
}

TEST(GetLangText, FollowsProgramLanguage) {
    {
        LanguageGuard guard(kLangEnglish);
        EXPECT_EQ(Utf8(GetLangText(1054)), "Okay");
    }
    {
        LanguageGuard guard(kLangGerman);
        EXPECT_EQ(Utf8(GetLangText(1054)), "OK");
        EXPECT_EQ(Utf8(GetLangText(2000)), "Ungültiger Textindex 2000");
    }
    {
        LanguageGuard guard(-1);
        EXPECT_EQ(Utf8(GetLangText(1054)), "Invalid Language: -1");
    }
}

TEST(TextTable, EveryIdExistsInBothLanguages) {
    for (int32_t id = 0; id < kLangTextCount; ++id) {
        const QString number = QString::number(id);
        EXPECT_NE(GetLangTextFor(id, kLangGerman), QStringLiteral("Ungültiger Textindex ") + number);
        EXPECT_NE(GetLangTextFor(id, kLangEnglish), QStringLiteral("Invalid String ID: ") + number);
        // A wording in one language only would show an empty caption in the other.
        EXPECT_EQ(GetLangTextFor(id, kLangGerman).isEmpty(), GetLangTextFor(id, kLangEnglish).isEmpty())
            << id;
    }
}

TEST(TextTable, IdsWithoutEnglishWordingAreEmpty) {
    for (int32_t id : {51, 508, 629}) {
        EXPECT_TRUE(GetLangTextFor(id, kLangEnglish).isEmpty()) << id;
    }
}

TEST(TextTable, QuotedWordings) {
    struct Case {
        int32_t id;
        const char* english;
        const char* german;  // nullptr: not pinned
    };
    const Case cases[] = {
        {101, "Veltaro 2026", "Veltaro 2026"},
        {207, "Veltaro", nullptr},
        {823, "of the whole measurement", "der ganzen Messung"},
        {121, "(Fixed)", nullptr},
        {122, "(Moving)", nullptr},
        {1074, "Class 1", nullptr},
        {1075, "Class 2", nullptr},
        {1081, "Not specified", nullptr},
        {861, "Special Events", "Besondere Ereignisse"},
        {1054, "Okay", "OK"},
        {721, "Start and end", "Beginn und Ende"},
        {654, "Measuring company", "Messdurchführung, Firma"},
        {739, "Not done", "Nicht durchgeführt"},
        {124, " Seconds)", nullptr},
        {782, "The file %s still exists.\r\n\r\nDo you want to overwrite the file?", nullptr},
        {1305, "Input clipping occured for %s", "Der Eingang war für %s übersteuert"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8(GetLangTextFor(c.id, kLangEnglish)), c.english) << c.id;
        if (c.german) {
            EXPECT_EQ(Utf8(GetLangTextFor(c.id, kLangGerman)), c.german) << c.id;
        }
    }
}

TEST(TextTable, UnusedIdsAreEmpty) {
    for (int32_t id : {11, 1304}) {
        EXPECT_TRUE(GetLangTextFor(id, kLangEnglish).isEmpty()) << id;
        EXPECT_TRUE(GetLangTextFor(id, kLangGerman).isEmpty()) << id;
    }
}

namespace {

// The printf-style placeholders of a text, in order ("%s", "%d", ...).
std::string Placeholders(const QString& text) {
    std::string found;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'%') {
            found += '%';
            found += text[i + 1].toLatin1();
            ++i;
        }
    }
    return found;
}

}  // namespace

TEST(TextTable, FilledTextsCarryThePlaceholdersTheirCallersFill) {
    struct Case {
        int32_t id;
        const char* placeholders;
    };
    const Case cases[] = {
        {141, "%s"},   {143, "%s"},  {157, "%s"},  {158, "%s"},  {160, "%s%s"},
        {555, "%s"},   {558, "%d"},  {560, "%d"},  {791, "%d"},  {1002, "%s%s"},
        {1040, "%s"},  {1041, "%s"}, {1042, "%s"}, {1141, "%s%d"},
        {199, ""},     {200, ""},    {712, ""},    {1181, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Placeholders(GetLangTextFor(c.id, kLangEnglish)), c.placeholders) << c.id;
        EXPECT_EQ(Placeholders(GetLangTextFor(c.id, kLangGerman)), c.placeholders) << c.id;
    }
}

TEST(TextTable, AudioFailureMessageReadsAsOneText) {
    const auto message = [](int32_t lang) {
        return GetLangTextFor(199, lang) + QStringLiteral("USB Mic") + GetLangTextFor(200, lang) +
               GetLangTextFor(201, lang) + GetLangTextFor(202, lang);
    };
    EXPECT_EQ(Utf8(message(kLangEnglish)),
              "The audio device \"USB Mic\" is not responding.\r\n\r\n"
              "The running measurement has been stopped.\r\n\r\n"
              "Please check the device and its connection. Click Audio Device Setup to select a "
              "device, or Exit to end the program.");
    EXPECT_TRUE(message(kLangGerman)
                    .startsWith(QStringLiteral("Das Audiogerät „USB Mic“ reagiert nicht.\r\n")));
}

TEST(TextTable, DeviceTextPartsJoinWithTheirOwnBlanks) {
    // Wave device description: product name, channel, then ", 32Bit".
    EXPECT_EQ(Utf8(GetLangTextFor(2, kLangEnglish) + QStringLiteral("USB Audio") +
                   GetLangTextFor(0, kLangEnglish) + QStringLiteral(", 32Bit")),
              "Audio device: USB Audio left channel, 32Bit");
    // ASIO description with a reference input.
    EXPECT_EQ(Utf8(GetLangTextFor(715, kLangGerman) + QStringLiteral(" Fireface") +
                   GetLangTextFor(4, kLangGerman) + QStringLiteral("AN 1") +
                   GetLangTextFor(5, kLangGerman) + QStringLiteral("AN 2.")),
              "ASIO-Gerät: Fireface, Eingang AN 1, Referenzeingang AN 2.");
}

TEST(DurationText, Examples) {
    struct Case {
        int32_t weighting;
        int32_t duration;
        bool withMode;
        int32_t lang;
        const char* expected;
    };
    const Case cases[] = {
        {1, -1800, true, kLangEnglish, "LAeq30min (Moving)"},
        {2, 10, true, kLangEnglish, "LCeq10s (Fixed)"},
        {1, 60, false, kLangEnglish, "LAeq60s"},
        {1, 61, false, kLangEnglish, "LAeq1min"},
        {1, -2, true, kLangEnglish, "LAeq of the whole measurement"},
        {0, -90, false, kLangEnglish, "Leq1min"},
        {4, 7200, true, kLangEnglish, "Leq120min (Fixed)"},
        {1, 0, true, kLangEnglish, "LAeq0s (Moving)"},
        {1, -2, false, kLangGerman, "LAeq der ganzen Messung"},
        {2, 10, true, 3, "LCeq10s Invalid Language: 3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8(DurationText(c.weighting, c.duration, c.withMode, c.lang)), c.expected)
            << c.weighting << " " << c.duration;
    }
}

TEST(LevelLabelText, WindowsAndLanguage) {
    {
        LanguageGuard guard(kLangEnglish);
        EXPECT_EQ(Utf8(LevelLabelText(2, 2)), "LCpeak");
        EXPECT_EQ(Utf8(LevelLabelText(1, 48000)), "LAslow");
        EXPECT_EQ(Utf8(LevelLabelText(4, 6000)), "Lfast");
        EXPECT_EQ(Utf8(LevelLabelText(1, 1680)), "LAimpulse");
        EXPECT_EQ(Utf8(LevelLabelText(1, 4800)), "LA");
    }
    {
        LanguageGuard guard(kLangGerman);
        EXPECT_EQ(Utf8(LevelLabelText(1, 1680)), "LAimpuls");
        EXPECT_EQ(Utf8(LevelLabelText(2, 2)), "LCpeak");
    }
    EXPECT_EQ(Utf8(LevelLabelText(1, 1680, kLangEnglish)), "LAimpulse");
    EXPECT_EQ(Utf8(LevelLabelText(1, 1680, 0)), "LAimpuls");
}

TEST(WeightingLabels, CodesOtherThanAAndCMeanZ) {
    EXPECT_EQ(Utf8(LeqName(1) + DbUnitText(1) + WeightingLetter(1)), "LAeq dB(A)A");
    EXPECT_EQ(Utf8(LeqName(2) + DbUnitText(2) + WeightingLetter(2)), "LCeq dB(C)C");
    for (int32_t code : {0, 3, 4, -1}) {
        EXPECT_EQ(Utf8(LeqName(code) + DbUnitText(code) + WeightingLetter(code)), "Leq dBZ") << code;
    }
}

TEST(MeasureLabel, ByKindOfEntry) {
    LanguageGuard guard(kLangEnglish);
    EXPECT_EQ(Utf8(MeasureLabel(TMeasureEntry{1, 1, 1800})), "LAeq30min");
    EXPECT_EQ(Utf8(MeasureLabel(TMeasureEntry{1, 2, -2})), "LCeq of the whole measurement");
    EXPECT_EQ(Utf8(MeasureLabel(TMeasureEntry{2, 2, 2})), "LCpeak");
    EXPECT_TRUE(MeasureLabel(TMeasureEntry{3, 1, 1800}).isEmpty());
    EXPECT_EQ(Utf8(MeasureDurationText(TMeasureEntry{1, 1, -1800}, true, kLangEnglish)),
              "LAeq30min (Moving)");
    EXPECT_EQ(Utf8(MeasurePeakLabel(TMeasureEntry{2, 1, 1680})), "LAimpulse");
}

TEST(AccuracyClassText, ClassesUseUserDecimalSeparator) {
    const QString separator = QLocale::system().decimalPoint();
    EXPECT_EQ(Utf8(AccuracyClassText(1, kLangEnglish)), "Class 1 (±1 dB)");
    EXPECT_EQ(AccuracyClassText(2, kLangEnglish),
              QStringLiteral("Class 2 (± 1") + separator + QStringLiteral("5 dB)"));
    EXPECT_EQ(Utf8(AccuracyClassText(0, kLangEnglish)), "Not specified");
    EXPECT_EQ(Utf8(AccuracyClassText(3, kLangEnglish)), "Not specified");
}

TEST(AccuracyClassText, GermanLocaleGivesDecimalComma) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            UseSystemLocale("de_DE.UTF-8");
            const bool ok = AccuracyClassText(2, kLangGerman) == QStringLiteral("Klasse 2 (± 1,5 dB)");
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            UseSystemLocale("en_US.UTF-8");
            const bool ok = AccuracyClassText(2, kLangEnglish) == QStringLiteral("Class 2 (± 1.5 dB)");
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(LanguageForLocale, OnlyGermanGermanyIsGerman) {
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::German, QLocale::Germany)), kLangGerman);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::German, QLocale::Austria)), kLangEnglish);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::German, QLocale::Switzerland)), kLangEnglish);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::English, QLocale::UnitedStates)), kLangEnglish);
    EXPECT_EQ(LanguageForLocale(QLocale::c()), kLangEnglish);
}

TEST(InitLanguageFromSystem, ReadsSystemLocale) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* locale;
        int expectedLanguage;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", kLangGerman},
        {"de_AT.UTF-8", kLangEnglish},
        {"en_US.UTF-8", kLangEnglish},
        {"C", kLangEnglish},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                UseSystemLocale(c.locale);
                language.store(-1);
                InitLanguageFromSystem();
                std::exit(language.load());
            },
            testing::ExitedWithCode(c.expectedLanguage), "")
            << c.locale;
    }
}

TEST(FixedTexts, Wording) {
    EXPECT_EQ(Utf8(NoValueText()), "---");
    EXPECT_EQ(Utf8(BulletSeparator()), " \u2022 ");
    EXPECT_EQ(Utf8(ArtNetCopyrightText()),
              "Art-Net\u2122 Designed by and Copyright Artistic Licence Holdings Ltd");
}

TEST(TooManyClientsText, BothLanguagesExactly) {
    EXPECT_EQ(Utf8(TooManyClientsText(kLangEnglish, 10)),
              "<h2>SORRY - No Display Possible</h2><br>There are too many clients connected.<br>"
              "This version of <b>Veltaro</b> supports only 10 clients at a time.");
    EXPECT_EQ(Utf8(TooManyClientsText(kLangGerman, 10)),
              "<h2>Leider ist keine Anzeige möglich</h2><br>Zuviele Clientverbindungen. Diese "
              "<b>Veltaro</b>\r\nVersion unterstützt nur 10 gleichzeitig aktive Clients.");
    // Any language other than German gets the English page.
    EXPECT_EQ(TooManyClientsText(0, 3), TooManyClientsText(kLangEnglish, 3));
}

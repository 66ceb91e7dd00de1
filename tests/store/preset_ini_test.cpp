#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <optional>

#include "store/preset_ini.h"

namespace {

TEST(PresetIni, IntegersAreDecimalOrHexadecimal) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"42", 42},          {" -300 ", -300},     {"+7", 7},
        {"0x1F", 31},        {"0XfF", 255},        {"0xFFFFFFFF", -1},
        {"-0x10", -16},      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", {}},  {"0x100000000", {}},  {"12abc", {}},
        {"1.5", {}},         {"", {}},             {"0x", {}},
        {"0x 1", {}},        {"- 3", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseIniInteger(QString::fromLatin1(c.text)), c.value) << c.text;
    }
}

TEST(PresetIni, FloatsTakeTheDecimalPointAndTheDecimalComma) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"95,5", 95.5},   {"95.5", 95.5}, {" -3,25 ", -3.25}, {"99", 99.0}, {"1e2", 100.0},
        {"2,5E-1", 0.25}, {".5", 0.5},    {"1.2.3", {}},      {"1,2.3", {}}, {"abc", {}},
        {"", {}},         {"nan", {}},    {"inf", {}},        {"1e999", {}}, {"95 dB", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseIniFloat(QString::fromLatin1(c.text)), c.value) << c.text;
    }
    EXPECT_EQ(FormatIniFloat(95.0), "95");
    EXPECT_EQ(FormatIniFloat(95.5), "95.5");
    EXPECT_EQ(ParseIniFloat(FormatIniFloat(0.1 + 0.2)), 0.3);  // 15 digits
}

TEST(PresetIni, LookUpIgnoresCaseBlanksAndComments) {
    const auto ini = PresetIni::FromText(
        "top=level\n"
        "  [ Messung 1 ]  \r\n"
        "; Dauer=1\n"
        "  dauer  =  -300  \r"
        "Dauer=5\n"
        "Gelb=95,5\n"
        "no value line\n"
        "[INFO]\n"
        "InfoE=\n"
        "Vorschrift= DIN 15905-5 \n"
        "[messung 1]\n"
        "Rot=1\n");
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->ReadInteger("MESSUNG 1", "DAUER", 0), -300);  // the first of two wins
    EXPECT_DOUBLE_EQ(ini->ReadFloat("Messung 1", "Gelb", 0), 95.5);
    EXPECT_DOUBLE_EQ(ini->ReadFloat("Messung 1", "Rot", 99), 99);  // only in the repeated section
    EXPECT_EQ(ini->ReadString("Info", "InfoE", "default"), "");      // empty is not missing
    EXPECT_EQ(ini->ReadString("Info", "Vorschrift", ""), "DIN 15905-5");
    EXPECT_EQ(ini->ReadString("Info", "InfoD", "default"), "default");
    EXPECT_FALSE(ini->Value("Messung 1", "no value line"));
    EXPECT_FALSE(ini->Value("", "top"));
    EXPECT_TRUE(ini->ReadBool("Missing", "Key", true));
}

TEST(PresetIni, WritingChangesOnlyTheKeysItWrites) {
    auto ini = PresetIni::FromText(
        "; kept comment\r\n"
        "[Messung 1]\r\n"
        "DAUER = 10\r\n"
        "Odd line\r\n"
        "\r\n"
        "[Extra]\r\n"
        "Foo=Bar\r\n");
    ASSERT_TRUE(ini);
    ini->WriteInteger("messung 1", "Dauer", -300);
    ini->WriteFloat("Messung 1", "Gelb", 95.5);
    ini->WriteBool("Ende", "EndDirect", true);
    ini->WriteString("Info", "InfoD", "two\r\nlines");
    EXPECT_EQ(ini->ToBytes(),
              "; kept comment\r\n"
              "[Messung 1]\r\n"
              "DAUER=-300\r\n"
              "Odd line\r\n"
              "Gelb=95.5\r\n"
              "\r\n"
              "[Extra]\r\n"
              "Foo=Bar\r\n"
              "\r\n"
              "[Ende]\r\n"
              "EndDirect=1\r\n"
              "\r\n"
              "[Info]\r\n"
              "InfoD=two lines\r\n");
    EXPECT_EQ(PresetIni().ToBytes(), "");
}

TEST(PresetIni, EncodingsAreReadAndNoTextIsLostOnWriting) {
    const QString umlauts = QStringLiteral("Gr\u00FC\u00DFe \u20AC");
    const QByteArray cp1252("Gr\xFC\xDF" "e \x80");
    EXPECT_EQ(EncodeIniText(umlauts), cp1252);
    EXPECT_EQ(DecodeIniText(cp1252), umlauts);
    EXPECT_EQ(DecodeIniText(umlauts.toUtf8()), umlauts);  // edited here, no mark
    EXPECT_EQ(DecodeIniText("\xEF\xBB\xBF" + umlauts.toUtf8()), umlauts);
    QByteArray utf16le("\xFF\xFE");
    QByteArray utf16be("\xFE\xFF");
    for (QChar ch : umlauts) {
        utf16le.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
        utf16be.append(char(ch.unicode() >> 8)).append(char(ch.unicode() & 0xFF));
    }
    EXPECT_EQ(DecodeIniText(utf16le), umlauts);
    EXPECT_EQ(DecodeIniText(utf16be), umlauts);

    const QString beyondCp1252 = QStringLiteral("\u0141\u00F3d\u017A \u2264 99");
    const QByteArray written = EncodeIniText(beyondCp1252);
    EXPECT_TRUE(written.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(DecodeIniText(written), beyondCp1252);
}

TEST(PresetIni, BinaryDataIsNotIniText) {
    QString error;
    EXPECT_FALSE(PresetIni::FromBytes(QByteArray("[Info]\nA=\x01\x02", 10), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(PresetIni::FromBytes(QByteArray("[Info]\0A=1", 10)));
    EXPECT_FALSE(PresetIni::FromBytes(QByteArray("\xFF\xFE[", 3)));  // odd UTF-16 length
    EXPECT_TRUE(PresetIni::FromBytes("[Info]\tA=1\r\n"));
}

}  // namespace

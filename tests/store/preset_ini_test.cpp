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
              "\xEF\xBB\xBF; kept comment\r\n"
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
    EXPECT_EQ(PresetIni().ToBytes(), "\xEF\xBB\xBF");
}

TEST(PresetIni, EncodingsAreReadAndNoTextIsLostOnWriting) {
    const QString umlauts = QStringLiteral("Gr\u00FC\u00DFe \u20AC");
    const QByteArray cp1252("Gr\xFC\xDF" "e \x80");
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

    // Whatever is written carries the mark, so text whose Windows-1252 bytes
    // happen to be valid UTF-8 ("Ã¤") reads back as written.
    for (const QString& text : {umlauts, QStringLiteral("\u0141\u00F3d\u017A \u2264 99"),
                                QString::fromUtf8("\xC3\x83\xC2\xA4"), QString()}) {
        const QByteArray written = EncodeIniText(text);
        EXPECT_TRUE(written.startsWith("\xEF\xBB\xBF"));
        EXPECT_EQ(DecodeIniText(written), text);
    }
}

TEST(PresetIni, TextInvalidInItsEncodingIsRefusedOrReadAsTheNextCandidate) {
    const struct {
        const char* what;
        QByteArray bytes;
    } refused[] = {
        {"UTF-16LE, low surrogate alone", QByteArray("\xFF\xFE" "A\0\x00\xDC", 6)},
        {"UTF-16LE, high surrogate at the end", QByteArray("\xFF\xFE" "A\0\x01\xD8", 6)},
        {"UTF-16BE, high surrogate before a letter", QByteArray("\xFE\xFF\xD8\x01\0A", 6)},
        {"UTF-8 with mark, encoded surrogate", QByteArray("\xEF\xBB\xBF\xED\xA0\x80")},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(DecodeIniText(c.bytes, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // Without a mark the next candidate is Windows-1252.
    EXPECT_EQ(DecodeIniText("\xED\xA0\x80"), QString::fromUtf16(u"\u00ED\u00A0\u20AC"));
    EXPECT_EQ(DecodeIniText(QByteArray("\xFF\xFE" "A\0\x01\xD8\x00\xDC", 8)), QString::fromUtf16(u"A\U00010400"));
    // Repeated marks are no text, whatever the encoding, so a save (one mark) reads back the same.
    for (const QByteArray& marks : {QByteArray("\xFF\xFE\xFF\xFE\xFF\xFE[\0A\0]\0", 12),
                                    QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[A]")}) {
        const std::optional<QString> text = DecodeIniText(marks);
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, "[A]");
        EXPECT_EQ(DecodeIniText(EncodeIniText(*text)), text);
    }
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

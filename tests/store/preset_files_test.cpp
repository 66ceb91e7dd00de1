#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/date_time.h"
#include "store/preset_files.h"
#include "ui_kit/shared_state.h"

#ifndef VELTARO_BUILT_PRESETS
#error "tools/preset_cipher hands the built preset folder and the tool to this test"
#endif

namespace {

const QString kBuiltPresets = QStringLiteral(VELTARO_BUILT_PRESETS);
const QString kPresetCipher = QStringLiteral(VELTARO_PRESET_CIPHER);
const QString kPresetSources = QStringLiteral(VELTARO_SOURCE_DIR "/Presets/src");

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a preset file without a single usable key gives.
TVTPreset AllFileDefaults() {
    TVTPreset p;
    p.messungen = kDefaultPresetEntries;
    p.vor = "DIN15905-5";
    p.InfoD = "Deutsche Info";
    p.InfoE = "Information in English Language";
    p.offCheck = true;
    p.endDirect = false;
    p.kalAb = true;
    p.naKoS = 0;
    p.checkH = true;
    p.isUser = false;
    p.linkLeqK = true;
    p.leqColorMode = 1;
    p.lastModDate = -1;
    return p;
}

class PresetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        language = kLangEnglish;
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return path;
    }

    // Gives the file a known last-write time and returns it.
    platform::TDateTime Touch(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 30)), QFileDevice::FileModificationTime));
        return platform::EncodeDateTime(2024, 3, 5, 14, 30, 0, 0);
    }

    TVTPreset Load(const QString& path, QString* problem = nullptr) {
        return LoadPresetFile(path, InitDinPreset(), problem);
    }

    QTemporaryDir dir_;
};

TEST_F(PresetFiles, MissingKeysTakeTheirDefaultsAndTheFileTime) {
    const QString path = Write("moving.vup", "[Messung 1]\nDauer=-300\n");
    TVTPreset expected = AllFileDefaults();
    expected.messungen[0].Dauer = -300;
    expected.fn = path;
    expected.lastModDate = Touch(path);

    QString problem;
    const TVTPreset loaded = Load(path, &problem);
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(PresetEntryInfo(loaded, 0), "LAeq5min (Moving)");
    EXPECT_TRUE(problem.isEmpty());
}

TEST_F(PresetFiles, DecimalCommaAndPointReadAlike) {
    for (const char* gelb : {"95,5", "95.5", " 95,50 "}) {
        const QString path = Write("gelb.vup", QByteArray("[Messung 2]\nGelb=") + gelb + "\n");
        EXPECT_DOUBLE_EQ(Load(path).messungen[1].Gelb, 95.5) << gelb;
    }
    const QString bad = Write("bad.vup", "[Messung 2]\nGelb=95,5,5\nRot=0x10\n");
    EXPECT_DOUBLE_EQ(Load(bad).messungen[1].Gelb, 95.0);
    EXPECT_DOUBLE_EQ(Load(bad).messungen[1].Rot, 99.0);  // floats are never hexadecimal
}

TEST_F(PresetFiles, EndDirectHoldsOnlyWithoutTheClosingVerification) {
    struct Case {
        const char* endDirect;
        const char* nach;
        bool expected;
    };
    for (const Case c : {Case{"1", "1", false}, Case{"1", "0", true}, Case{"0", "0", false}, Case{"7", "0", true}}) {
        const QString path = Write("end.vup", QByteArray("[Ende]\nEndDirect=") + c.endDirect +
                                                  "\n[Kalibrierung]\nNach=" + c.nach + "\n");
        EXPECT_EQ(Load(path).endDirect, c.expected) << c.endDirect << "/" << c.nach;
    }

    TVTPreset both = InitDinPreset();
    both.endDirect = true;
    both.offCheck = true;
    const QString saved = dir_.filePath("both.vup");
    ASSERT_TRUE(SavePresetFile(saved, both));
    EXPECT_EQ(PresetIni::FromBytes(ReadBytes(saved))->Value("Ende", "EndDirect"), "0");
}

TEST_F(PresetFiles, ExtensionsDecideAndIgnoreLetterCase) {
    const QByteArray text = "[Messung 3]\nRot=140\n";
    const QString upper = Write("Caps.VUP", text);
    EXPECT_DOUBLE_EQ(Load(upper).messungen[2].Rot, 140.0);
    EXPECT_EQ(Load(upper).fn, upper);
    EXPECT_EQ(Load(dir_.filePath("caps.vup")).fn, upper);  // found in another spelling

    TVTPreset builtIn = InitDinPreset();
    EXPECT_EQ(Load(Write("plain.txt", text)), builtIn);
    EXPECT_EQ(Load(Write("noextension", text)), builtIn);
    EXPECT_EQ(Load(dir_.filePath("missing.vup")), builtIn);
    QDir(dir_.path()).mkdir("folder.vup");
    EXPECT_EQ(Load(dir_.filePath("folder.vup")), builtIn);
}

TEST_F(PresetFiles, SavingKeepsWhatTheFileHadAndReadsBackTheSame) {
    const QString path = Write("mine.vup", "; my notes\n[Extra]\nFoo=Bar\n[Messung 1]\nDauer=5\nOwnKey=x\n");
    TVTPreset preset = InitDinPreset();
    preset.messungen[0] = TPresetMessung{1, 2, -2, 96.5, 100.25, 1};
    preset.messungen[2] = TPresetMessung{2, 4, 6000, 120, 125, 0};
    preset.vor = "V-Test";
    preset.InfoD = "\u00D6sterreich";
    preset.InfoE = "Austria \u2264 test";  // beyond the old code page
    preset.offCheck = false;
    preset.endDirect = true;
    preset.naKoS = 1;
    preset.linkLeqK = false;
    preset.leqColorMode = 2;
    preset.lastModDate = 45000.5;
    preset.fn = "/elsewhere/ignored.vup";
    ASSERT_TRUE(SavePresetFile(path, preset));

    const auto ini = PresetIni::FromBytes(ReadBytes(path));
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->Value("extra", "foo"), "Bar");
    EXPECT_EQ(ini->Value("Messung 1", "OwnKey"), "x");
    EXPECT_EQ(ini->Value("User", "Preset"), "1");
    EXPECT_TRUE(ini->ToText().startsWith("; my notes\r\n[Extra]\r\nFoo=Bar\r\n"));

    TVTPreset expected = preset;
    expected.isUser = true;
    expected.fn = path;
    EXPECT_EQ(Load(path), expected);

    QString error;
    EXPECT_FALSE(SavePresetFile(dir_.filePath("no/such/folder/x.vup"), preset, &error));
    EXPECT_FALSE(error.isEmpty());
}

// A save without a byte-order mark in Windows-1252 once read back as UTF-8
// whenever its bytes happened to be valid UTF-8.
TEST_F(PresetFiles, SavedTextComesBackAsItWasWritten) {
    const QString path = dir_.filePath("mojibake.vup");
    TVTPreset preset = InitDinPreset();
    preset.InfoD = QString::fromUtf8("\xC3\x83\xC2\xA4");  // "Ã¤", whose Windows-1252 bytes are UTF-8 "ä"
    preset.InfoE = "plain";
    preset.lastModDate = 45000.5;
    ASSERT_TRUE(SavePresetFile(path, preset));
    EXPECT_TRUE(ReadBytes(path).startsWith("\xEF\xBB\xBF"));
    const TVTPreset back = Load(path);
    EXPECT_EQ(back.InfoD, preset.InfoD);
    EXPECT_EQ(back.InfoE, preset.InfoE);
}

TEST_F(PresetFiles, FilesNotUnderstoodGiveDefaultsAndStayAsTheyWere) {
    const QByteArray source = ReadBytes(kPresetSources + "/DIN15905-5.ini");
    ASSERT_FALSE(source.isEmpty());
    QByteArray binary;
    for (int i = 0; i < 300; ++i) binary.append(char((i * 37 + 11) & 0xFF));
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"otherphrase.vtl", EncipherPresetText(source, "qWz7")},
        {"plain.vtl", source},  // never enciphered
        {"damaged.vup", binary},
        {"empty.vup", QByteArray()},
        {"notapreset.vup", "[Something]\nElse=1\n"},
        // a surrogate without its partner: no text a save could write back
        {"lonesurrogate-le.vup", QByteArray("\xFF\xFE[\0I\0n\0f\0o\0]\0\n\0" "A\0=\0\x00\xDC", 22)},
        {"lonesurrogate-be.vup", QByteArray("\xFE\xFF\0[\0I\0n\0f\0o\0]\0\n\0A\0=\xD8\x00", 22)},
    };
    for (const Case& c : cases) {
        const QString path = Write(c.name, c.bytes);
        TVTPreset expected = AllFileDefaults();
        expected.fn = path;
        expected.lastModDate = Touch(path);
        QString problem;
        EXPECT_EQ(Load(path, &problem), expected) << c.name;
        EXPECT_TRUE(problem.contains(path)) << c.name << ": " << problem.toStdString();
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
    }
}

TEST_F(PresetFiles, BuiltDefaultPresetsDecipherToTheirSources) {
    const QStringList sources = QDir(kPresetSources).entryList({"*.ini"}, QDir::Files);
    ASSERT_TRUE(sources.contains("DIN15905-5.ini"));
    for (const QString& name : sources) {
        const QByteArray source = ReadBytes(kPresetSources + "/" + name);
        const QString built = kBuiltPresets + "/" + QFileInfo(name).completeBaseName() + ".vtl";
        const QByteArray cipher = ReadBytes(built);
        EXPECT_EQ(cipher.size(), source.size()) << name.toStdString();
        EXPECT_NE(cipher, source) << name.toStdString();
        EXPECT_EQ(DecipherPresetText(cipher), source) << name.toStdString();
        EXPECT_NE(DecipherPresetText(cipher, "qWz7$"), source) << name.toStdString();
    }

    TVTPreset din = InitDinPreset();
    din.fn = kBuiltPresets + "/DIN15905-5.vtl";
    QString problem;
    EXPECT_EQ(Load(din.fn, &problem), din);
    EXPECT_TRUE(problem.isEmpty());
}

TEST_F(PresetFiles, CipherToolRefusesTextThatIsNoPreset) {
    auto run = [](const QStringList& args) {
        QProcess tool;
        tool.start(kPresetCipher, args);
        EXPECT_TRUE(tool.waitForFinished(60000));
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    };
    const QString notes = Write("notes.ini", "just some notes\n");
    const QString refused = dir_.filePath("refused.vtl");
    EXPECT_EQ(run({notes, refused}), 1);
    EXPECT_FALSE(QFile::exists(refused));

    const QString source = Write("mine.ini", "[Messung 1]\r\nDauer=-300\r\n");
    const QString cipher = dir_.filePath("mine.vtl");
    const QString back = dir_.filePath("back.ini");
    EXPECT_EQ(run({source, cipher}), 0);
    EXPECT_EQ(Load(cipher).messungen[0].Dauer, -300);
    EXPECT_EQ(run({"--decipher", cipher, back}), 0);
    EXPECT_EQ(ReadBytes(back), ReadBytes(source));
    EXPECT_EQ(run({"--decipher", source, dir_.filePath("never.ini")}), 1);
    EXPECT_EQ(run({source}), 1);
}

}  // namespace

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

#include "platform/registry.h"
#include "store/preset_files.h"
#include "store/preset_handler.h"
#include "store/preset_registry.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

class PresetHandler : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        platform::Registry::SetHiveFiles(dir_.filePath("user.hive"), dir_.filePath("machine.hive"));
        language = kLangEnglish;
        defaults_ = dir_.filePath("Presets");
        users_ = dir_.filePath("VT_PRESETS");
    }
    void TearDown() override { platform::Registry::SetHiveFiles({}, {}); }

    QString Write(const QString& folder, const QString& name, const QByteArray& bytes) {
        QDir().mkpath(folder);
        const QString path = folder + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    static QByteArray PresetText(const char* vorschrift) {
        return QByteArray("[Info]\nVorschrift=") + vorschrift + "\nInfoD=D " + vorschrift + "\nInfoE=E " +
               vorschrift + "\n";
    }

    QTemporaryDir dir_;
    QString defaults_;
    QString users_;
};

TEST_F(PresetHandler, WithoutPresetFilesTheListHoldsTheBuiltInPreset) {
    QDir().mkpath(defaults_);  // one folder empty, the other missing
    TVTPresetHandler handler(defaults_, users_);
    EXPECT_FALSE(handler.ScanForData());
    ASSERT_EQ(handler.GetPresetCount(), 1);
    EXPECT_EQ(handler.GetPreset(0), InitDinPreset());
    EXPECT_TRUE(handler.GetPreset(0).fn.isEmpty());
    EXPECT_EQ(handler.GetPresetText(0, kLangEnglish), "Germany (DIN15905-5)");
    EXPECT_EQ(handler.GetPresetText(0, kLangGerman), "Deutschland (DIN15905-5)");
    EXPECT_EQ(handler.GetPresetDir(), users_);
    // Until the owner sets them, current and user preset are empty records.
    EXPECT_EQ(handler.GetPreset(kCurrentPresetId), TVTPreset{});
    EXPECT_EQ(handler.GetPreset(kUserPresetId), TVTPreset{});
}

TEST_F(PresetHandler, DefaultPresetsComeBeforeUserPresets) {
    const QString b = Write(defaults_, "b.vtl", EncipherPresetText(PresetText("B")));
    const QString a = Write(defaults_, "A.VTL", EncipherPresetText(PresetText("A")));
    const QString u = Write(users_, "mine.vup", PresetText("U") + "[User]\nPreset=1\n");
    Write(users_, "ignored.vtl", EncipherPresetText(PresetText("X")));  // wrong folder for its kind
    Write(defaults_, "ignored.vup", PresetText("Y"));

    TVTPresetHandler handler(defaults_, users_);
    ASSERT_EQ(handler.GetPresetCount(), 3);
    EXPECT_EQ(handler.GetPreset(0).fn, a);
    EXPECT_EQ(handler.GetPreset(1).fn, b);
    EXPECT_EQ(handler.GetPreset(2).fn, u);
    EXPECT_EQ(handler.GetVorschrift(0), "A");
    EXPECT_EQ(handler.GetVorschrift(1), "B");
    EXPECT_EQ(handler.GetPresetText(2, kLangGerman), "D U");
    EXPECT_FALSE(handler.IsUserPreset(0));
    EXPECT_TRUE(handler.IsUserPreset(2));
    EXPECT_TRUE(handler.TakeLoadProblems().isEmpty());

    QFile::remove(b);  // vanished since the scan: reads as the built-in preset
    handler.SetCurrent(1);
    EXPECT_EQ(handler.GetVorschrift(kCurrentPresetId), "B");
    EXPECT_TRUE(handler.ScanForData());
    EXPECT_EQ(handler.GetPresetCount(), 2);
    EXPECT_EQ(handler.LoadPreset(b), InitDinPreset());
}

TEST_F(PresetHandler, PresetFilesNotUnderstoodAreReported) {
    const QString bad = Write(defaults_, "other.vtl", EncipherPresetText(PresetText("O"), "not the phrase"));
    Write(users_, "fine.vup", PresetText("F"));
    TVTPresetHandler handler(defaults_, users_);
    ASSERT_EQ(handler.GetPresetCount(), 2);
    EXPECT_EQ(handler.GetVorschrift(0), "DIN15905-5");  // the file defaults
    EXPECT_EQ(handler.GetPreset(0).fn, bad);
    const QStringList problems = handler.TakeLoadProblems();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(bad));
    EXPECT_TRUE(handler.TakeLoadProblems().isEmpty());
}

TEST_F(PresetHandler, InvalidIdsChangeNothingAndGiveTheirMarkers) {
    TVTPresetHandler handler(defaults_, users_);
    handler.SetCurrent(kDinPresetId);
    TVTPreset other = InitDinPreset();
    other.vor = "changed";

    handler.SetPreset(kDinPresetId, other);
    handler.SetPreset(7, other);
    EXPECT_EQ(handler.GetPreset(kDinPresetId), InitDinPreset());
    handler.SetPreset(kUserPresetId, other);
    handler.SetCurrent(-4);
    handler.SetCurrent(handler.GetPresetCount());
    EXPECT_EQ(handler.GetPreset(kCurrentPresetId), InitDinPreset());
    handler.SetCurrent(kUserPresetId);
    EXPECT_EQ(handler.GetVorschrift(kCurrentPresetId), "changed");
    handler.SetDinPreset(kCurrentPresetId);
    EXPECT_EQ(handler.GetPreset(kCurrentPresetId), InitDinPreset());

    EXPECT_EQ(handler.GetVorschrift(kDinPresetId), "DIN 15905-5");
    EXPECT_EQ(handler.GetVorschrift(-4), "Invalid Preset Id: -4");
    EXPECT_EQ(handler.GetPresetText(kCurrentPresetId, 3), "Invalid Language Id: 3");
    EXPECT_EQ(handler.GetPresetText(0, 0), "Invalid Language Id: 0");
    EXPECT_EQ(handler.GetPresetText(1, kLangGerman), "Invalid Preset Id: 1");
    EXPECT_THROW(handler.GetPreset(1), std::out_of_range);
    EXPECT_EQ(handler.GetInfoById(-5, 0), "---");
    EXPECT_FALSE(handler.IsUserPreset(-5));
    EXPECT_EQ(handler.GetLeqColorMode(kCurrentPresetId), 1);
    handler.SetLeqColorMode(0, 3);
    handler.SetLeqColorMode(kCurrentPresetId, 4);
    EXPECT_EQ(handler.GetLeqColorMode(0), 3);
    EXPECT_EQ(handler.GetPreset(kCurrentPresetId).leqColorMode, 1);

    QString error;
    EXPECT_FALSE(handler.SavePresetToFile(dir_.filePath("x.vup"), 9, &error));
    EXPECT_FALSE(QFile::exists(dir_.filePath("x.vup")));
    EXPECT_EQ(error, "Invalid Preset Id: 9");
}

TEST_F(PresetHandler, CopiesAreIndependent) {
    TVTPresetHandler handler(defaults_, users_);
    TVTPreset copy = handler.GetPreset(kDinPresetId);
    copy.vor.append(" changed");
    copy.messungen[0].Rot = 1;
    EXPECT_EQ(handler.GetPreset(kDinPresetId), InitDinPreset());

    TVTPreset given = InitDinPreset();
    handler.SetPreset(kUserPresetId, given);
    given.InfoD = "later";
    EXPECT_EQ(handler.GetPresetText(kUserPresetId, kLangGerman), "Deutschland (DIN15905-5)");
}

TEST_F(PresetHandler, EntryDescriptions) {
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), 0), "LAeq30min (Fixed)");
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), 1), "LAeq10s");
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), 2), "LCpeak");
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), 3), "Invalid Preset: 3");
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), -1), "Invalid Preset: -1");

    struct Case {
        int32_t entry, filter, dauer;
        const char* english;
    };
    for (const Case c : {Case{0, 1, -300, "LAeq5min (Moving)"}, Case{0, 1, 90, "LAeq1min (Fixed)"},
                         Case{0, 2, -2, "LCeq of the whole measurement"}, Case{0, 4, 0, "Leq0min (Moving)"},
                         Case{1, 2, -15, "LCeq15s"}, Case{1, 1, 120, "LAeq120s"}, Case{2, 1, 6000, "LAfast"},
                         Case{2, 4, 1680, "Limpulse"}}) {
        TVTPreset preset = InitDinPreset();
        preset.messungen[c.entry].Filter = c.filter;
        preset.messungen[c.entry].Dauer = c.dauer;
        EXPECT_EQ(TVTPresetHandler::GetInfo(preset, c.entry), c.english) << c.english;
    }
    language = kLangGerman;
    EXPECT_EQ(TVTPresetHandler::GetInfo(InitDinPreset(), 0), "LAeq30min (fest)");
    // The label helpers take a preset entry as it is.
    EXPECT_EQ(MeasureLabel(InitDinPreset().messungen[2]), "LCpeak");
}

TEST_F(PresetHandler, WithoutSettingsKeyBothPresetsAreBuiltIn) {
    TVTPresetHandler handler(defaults_, users_);
    handler.GetPresetIntern(kSettingsKey);
    EXPECT_EQ(handler.GetPreset(kCurrentPresetId), InitDinPreset());
    TVTPreset user = InitDinPreset();
    user.InfoD = "Benutzerpreset: ";
    user.InfoE = "User preset: ";
    EXPECT_EQ(handler.GetPreset(kUserPresetId), user);
}

TEST_F(PresetHandler, RegistryCopiesReadBackAsTheyWereWritten) {
    TVTPresetHandler writer(defaults_, users_);
    TVTPreset current = InitDinPreset();
    current.messungen[1] = TPresetMessung{1, 2, -60, 93.25, 97.75, 0};
    current.offCheck = false;
    current.endDirect = true;
    current.naKoS = 1;
    current.lastModDate = 45123.625;
    current.leqColorMode = 2;
    current.fn = "/somewhere/current.vup";
    TVTPreset user = current;
    user.vor = "Eigene";
    user.InfoD = "\u00DCber";
    user.linkLeqK = false;
    user.checkH = false;
    user.offCheck = true;  // endDirect cannot hold then, and is stored as 0
    writer.SetPreset(kCurrentPresetId, current);
    writer.SetPreset(kUserPresetId, user);
    ASSERT_TRUE(writer.SavePresetIntern(kSettingsKey));

    TVTPresetHandler reader(defaults_, users_);
    TVTPreset before;
    before.fn = "kept.vup";
    reader.SetPreset(kCurrentPresetId, before);
    reader.GetPresetIntern(kSettingsKey);

    current.isUser = true;
    current.fn = "kept.vup";
    user.isUser = true;
    user.fn = "";
    user.endDirect = false;
    EXPECT_EQ(reader.GetPreset(kCurrentPresetId), current);
    EXPECT_EQ(reader.GetPreset(kUserPresetId), user);
}

TEST_F(PresetHandler, MissingRegistryValuesTakeTheirDefaults) {
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        reg.WriteInteger("currentkalnach", 0);      // names ignore letter case
        reg.WriteInteger("CURRENTENDDIRECT", 1);
        reg.WriteString("Current2Dauer", "20");     // another type: not usable
        reg.WriteBinaryData("Current3Ro", QByteArray::fromHex("0000000000406040"));  // 130.0 as raw bytes
        ASSERT_TRUE(reg.CloseKey());
    }
    TVTPresetHandler handler(defaults_, users_);
    const double before = platform::SystemLocalNow();
    handler.GetPresetIntern(kSettingsKey);
    const TVTPreset current = handler.GetPreset(kCurrentPresetId);

    EXPECT_FALSE(current.offCheck);
    EXPECT_TRUE(current.endDirect);
    EXPECT_EQ(current.messungen[1].Dauer, 10);
    EXPECT_DOUBLE_EQ(current.messungen[2].Rot, 130.0);
    EXPECT_EQ(current.vor, "User defined setting");
    EXPECT_EQ(current.InfoD, "Eigene Vorgabe");
    EXPECT_EQ(current.InfoE, "User defined setting");
    EXPECT_GE(current.lastModDate, before);
    EXPECT_TRUE(current.isUser);

    TVTPreset expectedUser = current;  // no "User" value at all
    expectedUser.offCheck = true;
    expectedUser.endDirect = false;
    expectedUser.messungen[2].Rot = 135.0;
    expectedUser.lastModDate = handler.GetPreset(kUserPresetId).lastModDate;
    EXPECT_EQ(handler.GetPreset(kUserPresetId), expectedUser);
}

TEST_F(PresetHandler, UserPresetFilesRoundTrip) {
    TVTPresetHandler handler(defaults_, users_);
    TVTPreset user = InitDinPreset();
    user.vor = "Mine";
    user.messungen[0].Gelb = 94.5;
    handler.SetPreset(kUserPresetId, user);
    const QString path = users_ + "/mine.vup";
    QDir().mkpath(users_);
    ASSERT_TRUE(handler.SavePresetToFile(path, kUserPresetId));
    EXPECT_TRUE(handler.ScanForData());
    ASSERT_EQ(handler.GetPresetCount(), 1);
    EXPECT_EQ(handler.GetVorschrift(0), "Mine");
    EXPECT_TRUE(handler.IsUserPreset(0));

    handler.SetDinPreset(kUserPresetId);
    handler.LoadUserPreset(users_ + "/MINE.VUP");
    user.isUser = true;
    user.fn = path;
    EXPECT_EQ(handler.GetPreset(kUserPresetId), user);
    handler.LoadUserPreset(users_ + "/absent.vup");  // nothing there: nothing changes
    EXPECT_EQ(handler.GetPreset(kUserPresetId), user);
}

}  // namespace

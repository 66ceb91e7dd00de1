#include "main/program_settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "main/command_line.h"
#include "platform/registry.h"
#include "support/hide_machine_sound_devices.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

using platform::Registry;

const QString kUserFolder = QStringLiteral("/home/u/Documents/Veltaro_2026");
const QRect kWorkArea(0, 0, 1920, 1080);

// Every value of the program key with the default a fresh installation runs with.
const std::map<QString, QVariant>& ExpectedDefaults() {
    static const std::map<QString, QVariant> defaults = {
        {"DisplayLayout", 1}, {"Lang", -1},
        // option flags
        {"BoldLabel", false}, {"AllowKorrCalc", false}, {"amb", 1024}, {"asio96", false}, {"arar", false},
        {"cbm1", false}, {"Precision", 0}, {"MobileMode", true}, {"AutoStart", false}, {"MakeReadOnly", true},
        {"allowPW", true}, {"forcePW", false}, {"clModePre", 0}, {"clModePost", 3}, {"clModePreset", 4099},
        {"kalErinnern", true}, {"offErinnern", true}, {"offIntervall", 7}, {"kalIntervall", 30},
        {"kalOnStart", true}, {"offOnStart", true},
        // settings
        {"protPosX", -1}, {"protPosY", -1}, {"KalPosX", -1}, {"KalPosY", -1}, {"PosEditKorrX", -1},
        {"PosEditKorrY", -1}, {"ZoomWindowX", -1}, {"ZoomWindowY", -1}, {"DrawMark", false},
        {"AutoFileName", true}, {"FileName", false}, {"Certfile", QString()}, {"KeyData", QString()},
        {"UseSSL", false}, {"Dateiname", QString()}, {"Verzeichnis", kUserFolder}, {"recVor", 1},
        {"recNach", 4}, {"recMax", 60}, {"recRecordP", false}, {"recUseSubDir", true}, {"bLogoOnStop", false},
        {"CheckCal", true}, {"CheckMax", true}, {"CalStop", true}, {"OverWritePrompt", true},
        {"SyncWebTime", true}, {"IpPort", 80}, {"BlockWinExit", false}, {"pwLength", 0}, {"LastPresetId", -2},
        {"UseIps", 0}, {"RLZ", 1.0}, {"CheckSetup", true}, {"CheckStart", true}, {"Oben", 2}, {"Mitte", 1},
        {"UntenL", 3}, {"UntenR", 4}, {"Zeitanzeige", 1}, {"tsHost", kDefaultTimeServer}, {"tsUse", true},
        {"tsStartUp", false}, {"tsStart", true}, {"tsEnd", false}, {"tsShowInfo", true},
        // device, layout and graph
        {"LastProt", QString()}, {"WaveID", -1}, {"WaveInName", QString()}, {"WaveOutID", -1},
        {"WaveOutName", QString()}, {"HighRes", true}, {"InputAssign", 1}, {"GrundEinstellung", false},
        {"vuAssign", 2}, {"ShowInfo", true}, {"IOMode", 0}, {"ASIODeviceName", QString()},
        {"ASIOGuid", QString()}, {"ASIOInputID", 0}, {"ASIOInputIDV", 0}, {"ASIOOutputID", 0},
        {"Kanal", false}, {"KalIOMode", -1}, {"KalIOID", -1}, {"KalIOIn", -1}, {"KalIODev", QString()},
        {"KalASIOIn", QString()}, {"KalWasIn", QString()}, {"KalC1", false},
        {"KalAsioGUID", QString("{00000000-0000-0000-0000-000000000000}")}, {"KalWasVol", 65551},
        {"KorrWasVol", 65551}, {"AELimit", 0}, {"AEMode", 2}, {"wasIn", QString()}, {"wasOut", QString()},
        {"SoundEXT", true}, {"BlinkMode", 0}, {"ShowCmd", 1}, {"IsMaxi", false}, {"ShowMenu", true},
        {"showProgress", true}, {"Left", 465}, {"Top", 180}, {"Right", 1455}, {"Bottom", 900},
        {"LineWidth", 2}, {"dLeq", true}, {"dLeqK", true}, {"dPeak", true}, {"dLeqP", false},
        {"Leq", 0x00FF00}, {"LEQP", 0x008000}, {"Label", 0x808080}, {"Peak", 0xFFFFFF}, {"LEQKurz", 0xFF0000},
        {"DruckLEQ", 0x800000}, {"DruckLEQK", 0x00FF00}, {"DruckPeak", 0x0000FF}, {"DruckGitter", 0x808080},
        {"Laeuft", false}, {"useMyDocuments", false},
    };
    return defaults;
}

const SettingGroup kAllGroups[] = {SettingGroup::Startup, SettingGroup::Options, SettingGroup::Settings,
                                   SettingGroup::Device};

class ProgramSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        table = SettingsTable(settings, fields, SettingsContext{kUserFolder, kWorkArea});
    }
    void TearDown() override { Registry::SetHiveFiles(QString(), QString()); }

    // The value the table reads for name; InputAssign is read into the stored assignment.
    QVariant Read(const QString& name) {
        if (name == "InputAssign") return settings.storedInputAssign;
        for (const SettingBinding& b : table)
            if (b.name == name) return b.get();
        ADD_FAILURE() << "no value " << name.toStdString();
        return {};
    }
    void LoadAll() {
        for (SettingGroup g : kAllGroups) SetGroupDefaults(table, g);
        Registry reg;
        if (reg.OpenKeyReadOnly(kSettingsKey))
            for (SettingGroup g : kAllGroups) ReadGroup(table, g, reg);
    }
    void Write(const std::function<void(Registry&)>& write) {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        write(reg);
        ASSERT_TRUE(reg.CloseKey());
    }

    QTemporaryDir dir;
    TProgramSettings settings;
    MainWindowFields fields;
    std::vector<SettingBinding> table;
};

TEST_F(ProgramSettingsTest, AnEmptyKeyGivesEveryDefault) {
    Write([](Registry&) {});
    LoadAll();
    std::set<QString> named;
    for (const SettingBinding& b : table) {
        named.insert(b.name);
        const auto expected = ExpectedDefaults().find(b.name);
        ASSERT_NE(expected, ExpectedDefaults().end()) << "no default is expected for " << b.name.toStdString();
        EXPECT_EQ(Read(b.name).toString(), expected->second.toString()) << b.name.toStdString();
    }
    for (const auto& [name, value] : ExpectedDefaults()) EXPECT_TRUE(named.count(name)) << name.toStdString();
}

TEST_F(ProgramSettingsTest, EveryValueComesBackAsWritten) {
    // A value unlike its default for each entry, written by whichever routine writes it.
    std::map<QString, QVariant> written;
    for (const SettingBinding& b : table) {
        QVariant v;
        switch (b.kind) {
        case SettingKind::Integer: v = b.defaultValue.toInt() + 7; break;
        case SettingKind::Boolean: v = !b.defaultValue.toBool(); break;
        case SettingKind::String: v = QStringLiteral("x-") + b.name; break;
        case SettingKind::Float: v = b.defaultValue.toDouble() + 0.5; break;
        }
        b.set(v);
        written[b.name] = v;
    }
    inputAssign.store(3);
    written["InputAssign"] = 3;
    Write([&](Registry& reg) {
        for (SettingWriter w : {SettingWriter::Settings, SettingWriter::AtExit, SettingWriter::Elsewhere})
            EXPECT_TRUE(WriteValues(table, w, reg));
    });
    LoadAll();
    for (const auto& [name, value] : written) EXPECT_EQ(Read(name).toString(), value.toString()) << name.toStdString();
    SetBoldLabel(false);
}

TEST_F(ProgramSettingsTest, NamesInAnotherCaseAndValuesOfAnotherTypeAreHandledAsTheWindowsKeyWould) {
    Write([](Registry& reg) {
        reg.WriteInteger("ipPort", 8080);                 // another spelling, the same value
        reg.WriteString("Precision", "3");                // not an integer: the default stays
        reg.WriteInteger("MakeReadOnly", 0);              // an integer read as a Boolean
        reg.WriteFloat("RLZ", std::numeric_limits<double>::quiet_NaN());  // no number: the default stays
    });
    LoadAll();
    EXPECT_EQ(settings.ipPort, 8080);
    EXPECT_EQ(settings.precision, 0);
    EXPECT_FALSE(settings.makeReadOnly);
    EXPECT_EQ(settings.rlz.load(), 1.0);
}

TEST_F(ProgramSettingsTest, DeviceReadClampsTheLineWidthAndFindsDevicesByName) {
    struct Case {
        int32_t lineWidth;
        int32_t expected;
    };
    for (const Case c : {Case{0, 1}, Case{9, 4}, Case{3, 3}}) {
        Write([&](Registry& reg) { reg.WriteInteger("LineWidth", c.lineWidth); });
        LoadAll();
        FinishDeviceRead(settings, fields);
        EXPECT_EQ(settings.lineWidth, c.expected);
    }
    // A device that is gone gives the first device; the stored number does not count.
    Write([](Registry& reg) {
        reg.WriteInteger("WaveID", 5);
        reg.WriteString("WaveInName", "A Card Unplugged Long Ago");
    });
    LoadAll();
    FinishDeviceRead(settings, fields);
    EXPECT_EQ(fields.waveInID.load(), 0);
}

TEST_F(ProgramSettingsTest, ALeftoverAudioStartMarkerStartsTheWaveInterfaceWithoutADevice) {
    Write([](Registry& reg) {
        reg.WriteInteger("IOMode", 1);
        reg.WriteInteger("WaveID", 0);
        reg.WriteInteger("InputAssign", 3);
        reg.WriteBool("IOStart", true);
    });
    LoadAll();
    FinishDeviceRead(settings, fields);
    EXPECT_EQ(fields.IOMode.load(), 0);
    EXPECT_EQ(fields.waveInID.load(), -1);
    // The current assignment is cleared so that the stored one restarts the input.
    EXPECT_EQ(inputAssign.load(), 0);
    EXPECT_EQ(settings.storedInputAssign, 3);
}

TEST_F(ProgramSettingsTest, ResetPutsTheNamedValuesBackAndLeavesTheOthers) {
    settings.lineWidth = 4;
    settings.ipPort = 8080;
    fields.IOMode.store(2);
    fields.KalWasVol.store(12);
    wasIn = "endpoint";
    ResetSettingValues(table, fields);
    EXPECT_EQ(settings.lineWidth, 2);
    EXPECT_EQ(fields.IOMode.load(), 0);
    EXPECT_EQ(fields.KalWasVol.load(), 65551);
    EXPECT_TRUE(wasIn.isEmpty());
    EXPECT_EQ(settings.ipPort, 8080);  // not among the values the reset names
    EXPECT_EQ(fields.ASIODeviceName, GetLangText(3));
}

TEST(CommandLine, OnlyOneArgumentIsLookedAt) {
    struct Case {
        QStringList arguments;
        QString fileToOpen;
        QString presetToLoad;
    };
    const Case cases[] = {
        {{}, {}, {}},
        {{"/m/Evening.VTM"}, "/m/Evening.VTM", {}},
        {{"/m/evening.vtm"}, "/m/evening.vtm", {}},
        {{"/m/a.vto"}, {}, "/m/a.vto"},
        {{"/m/a.vtm", "/m/b.vtm"}, {}, {}},
        {{"/m/notes.txt"}, {}, {}},
    };
    for (const Case& c : cases) {
        const CommandLineFiles files = ParseCommandLine(c.arguments);
        EXPECT_EQ(files.fileToOpen, c.fileToOpen) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(files.presetToLoad, c.presetToLoad) << c.arguments.join(' ').toStdString();
    }
}

}  // namespace

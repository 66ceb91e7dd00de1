// The report-name builder: names of every layout, the separator rules, the
// safe-name repairs, the registry round trip and the running number that
// survives a crash; the symbolic-path display over temporary XDG folders.
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "reports/name_creator.h"
#include "reports/symbolic_path.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

using platform::Registry;

const double kTime = platform::EncodeDateTime(2026, 12, 10, 15, 45, 7, 0);
const double kTimeZeroSeconds = platform::EncodeDateTime(2026, 12, 10, 15, 45, 0, 0);

class NameCreatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        store.SetLocationText("Town Hall");
        store.SetVeranstaltung("Open Air");
        defaultDaten.store(&store);
        LoadDefaults(creator);
    }
    void TearDown() override {
        defaultDaten.store(nullptr);
        Registry::SetHiveFiles(QString(), QString());
        QLocale::setDefault(QLocale::c());
    }
    static void LoadDefaults(TVtNameCreator& c) {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        c.LoadFromReg(&reg);
    }
    void Parts(int32_t a, int32_t b, int32_t c) {
        creator.SetPartId(0, a);
        creator.SetPartId(1, b);
        creator.SetPartId(2, c);
    }
    void Seps(int32_t a, int32_t b) {
        creator.SetSepId(0, a);
        creator.SetSepId(1, b);
    }

    QTemporaryDir dir;
    TDaten store;
    TVtNameCreator creator;
};

TEST_F(NameCreatorTest, NamesOfTheSeparatorAndSlotRules) {
    EXPECT_EQ(creator.CreateSaveName(kTimeZeroSeconds), "2026-12-10_Town Hall.VTM");

    struct Case {
        std::array<int32_t, 3> parts;
        std::array<int32_t, 2> seps;
        int32_t layout;
        QString expected;
    };
    const Case cases[] = {
        {{1, 6, 3}, {kSepHyphen, kSepSpace}, 9, "Open Air-0007 10-12-26_15-45-00.VTM"},
        {{3, 7, 7}, {kSepUnderscore, kSepUnderscore}, 4, "2026-12-10.VTM"},
        {{3, 7, 5}, {kSepUnderscore, kSepHyphen}, 4, "2026-12-10-Stage 2.VTM"},
        {{3, 2, 7}, {kSepNone, kSepNone}, 4, "2026-12-10Town Hall.VTM"},
        {{7, 3, 7}, {kSepHyphen, kSepHyphen}, 4, "-2026-12-10.VTM"},
        // Unknown part and separator ids (as a damaged registry could give) add nothing.
        {{99, 3, 4}, {12, kSepHyphen}, 4, "2026-12-10-.VTM"},
    };
    for (const Case& c : cases) {
        Parts(c.parts[0], c.parts[1], c.parts[2]);
        Seps(c.seps[0], c.seps[1]);
        creator.SetVtDateFormat(c.layout);
        creator.SetFreeText(2, "Stage 2");
        while (creator.GetRunningNumber() < 7) creator.IncRunningNumber();
        EXPECT_EQ(creator.CreateSaveName(kTimeZeroSeconds), c.expected) << c.expected.toStdString();
    }

    store.SetVeranstaltung(QString());
    Parts(1, 3, 7);
    Seps(kSepUnderscore, kSepUnderscore);
    EXPECT_EQ(creator.CreateSaveName(kTimeZeroSeconds), "_2026-12-10.VTM");
}

TEST_F(NameCreatorTest, AllThirtyTwoLayouts) {
    const char* expected[kDateLayoutCount] = {
        "26-12-10", "26-12-10_15-45", "26-12-10_15-45-07", "2026-12-10", "2026-12-10_15-45",
        "2026-12-10_15-45-07", "10-12-26", "10-12-26_15-45", "10-12-26_15-45-07", "10-12-2026",
        "10-12-2026_15-45", "10-12-2026_15-45-07", "261210", "261210-1545", "261210-154507",
        "20261210", "20261210-1545", "20261210-154507", "101226", "101226-1545",
        "101226-154507", "10122026", "10122026-1545", "10122026-154507", "2612101545",
        "261210154507", "202612101545", "20261210154507", "1012261545", "101226154507",
        "101220261545", "10122026154507"};
    Parts(3, 7, 7);
    for (int32_t id = 1; id <= kDateLayoutCount; ++id) {
        creator.SetVtDateFormat(id);
        EXPECT_EQ(creator.CreateSaveName(kTime), QString::fromLatin1(expected[id - 1]) + ".VTM") << id;
    }
    EXPECT_EQ(TVtNameCreator::GetDateModeFormatString(0), "c");
    EXPECT_EQ(TVtNameCreator::GetDateModeFormatString(33), "c");
}

TEST_F(NameCreatorTest, PartsThatCouldLeaveTheFolderAreMadeSafe) {
    Parts(1, 2, 7);
    Seps(kSepUnderscore, kSepUnderscore);
    store.SetVeranstaltung("../../x");
    store.SetLocationText("Hall A/B\r\nback\\side");
    EXPECT_EQ(creator.CreateSaveName(kTime), "_._.._x_Hall A_B__back_side.VTM");

    // Layout 0: the locale's general date-time, whose "/" must not make folders.
    Parts(3, 7, 7);
    creator.SetVtDateFormat(0);
    const QString general = creator.CreateSaveName(kTime);
    EXPECT_FALSE(general.contains('/'));
    EXPECT_TRUE(general.startsWith("12_10_26")) << general.toStdString();

    // A name too long for the file system is cut before ".VTM", never inside a character.
    Parts(5, 7, 7);
    creator.SetFreeText(0, QString(300, QChar(0x00E4)));
    const QString cut = creator.CreateSaveName(kTime);
    EXPECT_TRUE(cut.endsWith(".VTM"));
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_EQ(cut.chopped(4), QString(125, QChar(0x00E4)));

    // Names without such characters stay as they are, byte for byte.
    creator.SetFreeText(0, QString::fromUtf8("Bühne 2 – Nord (live)"));
    EXPECT_EQ(creator.CreateSaveName(kTime), QString::fromUtf8("Bühne 2 – Nord (live).VTM"));
}

TEST_F(NameCreatorTest, AccessorsOutsideTheSlots) {
    EXPECT_EQ(creator.GetFreeText(5), "Invalid Text Id: 5");
    EXPECT_EQ(creator.GetPartMode(3), kNamePartEmpty);
    EXPECT_EQ(creator.GetSeparatorId(2), kSepNone);
    EXPECT_TRUE(creator.IsPartEmpty(-1));
    EXPECT_TRUE(creator.GetSepInfo(12).isEmpty());
    creator.SetPartId(3, 1);
    creator.SetSepId(2, 64);
    EXPECT_EQ(creator.GetPartMode(2), kNamePartEmpty);
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        reg.WriteInteger("NCRunningNumber", 12344);
        ASSERT_TRUE(reg.CloseKey());
    }
    LoadDefaults(creator);
    EXPECT_EQ(creator.IncRunningNumber(), 12345);
    EXPECT_EQ(creator.GetRunningNumberText(), "12345");
    creator.ResetRunningNumber();
    EXPECT_EQ(creator.GetRunningNumberText(), "0001");
}

TEST_F(NameCreatorTest, DefaultsRoundTripAndBackup) {
    EXPECT_EQ(creator.GetFreeText(0), "Free Text 1");
    EXPECT_EQ(creator.GetFreeText(2), "Free Text 3");
    EXPECT_EQ(creator.GetPartMode(0), 3);
    EXPECT_EQ(creator.GetPartMode(1), 2);
    EXPECT_EQ(creator.GetPartMode(2), 7);
    EXPECT_EQ(creator.GetSeparatorId(0), 65);
    EXPECT_EQ(creator.GetDateModeFormatId(), 4);
    EXPECT_EQ(creator.GetRunningNumber(), 1);
    EXPECT_TRUE(creator.GetUseSymbolicPath());

    Parts(6, 5, 1);
    Seps(kSepSpace, kSepNone);
    creator.SetFreeText(1, "Stage");
    creator.SetVtDateFormat(28);
    creator.SetUseSymbolicPath(false);
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        creator.SaveToReg(&reg);
        ASSERT_TRUE(reg.CloseKey());
    }
    TVtNameCreator again;
    LoadDefaults(again);
    EXPECT_EQ(again.GetPartMode(0), 6);
    EXPECT_EQ(again.GetPartMode(2), 1);
    EXPECT_EQ(again.GetSeparatorId(0), kSepSpace);
    EXPECT_EQ(again.GetSeparatorId(1), kSepNone);
    EXPECT_EQ(again.GetFreeText(1), "Stage");
    EXPECT_EQ(again.GetDateModeFormatId(), 28);
    EXPECT_FALSE(again.GetUseSymbolicPath());

    again.DoBackUp();
    again.SetPartId(0, 1);
    again.SetFreeText(1, "Other");
    again.ResetRunningNumber();
    again.IncRunningNumber();
    again.RestoreBackUp();
    EXPECT_EQ(again.GetPartMode(0), 6);
    EXPECT_EQ(again.GetFreeText(1), "Stage");
    EXPECT_EQ(again.GetRunningNumber(), 1);

    // A value of the wrong type reads as missing.
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        reg.WriteString("NCCreatorPID1", "3");
        reg.WriteInteger("NCCreatorSID1", 12);
        ASSERT_TRUE(reg.CloseKey());
    }
    TVtNameCreator damaged;
    LoadDefaults(damaged);
    EXPECT_EQ(damaged.GetPartMode(0), 3);
    EXPECT_EQ(damaged.GetSeparatorId(0), 12);
    EXPECT_TRUE(damaged.GetSepInfo(damaged.GetSeparatorId(0)).isEmpty());

    TVtNameCreator untouched;
    untouched.LoadFromReg(nullptr);
    EXPECT_EQ(untouched.GetPartMode(0), 0);
}

// The number of a started measurement is stored at once: a builder that is
// never saved (the program crashed) still hands the next number on.
TEST_F(NameCreatorTest, RunningNumberSurvivesACrash) {
    creator.IncRunningNumber();
    creator.IncRunningNumber();
    TVtNameCreator afterCrash;
    LoadDefaults(afterCrash);
    EXPECT_EQ(afterCrash.GetRunningNumber(), 3);
    Parts(6, 7, 7);
    afterCrash.SetPartId(0, 6);
    afterCrash.SetPartId(1, 7);
    EXPECT_EQ(afterCrash.CreateSaveName(kTime), "0003.VTM");
}

class SymbolicPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        docs = dir.filePath("home/Dokumente");
        share = dir.filePath("home/Shared");
        data = dir.filePath("sys/share");
        QDir().mkpath(dir.filePath("config"));
        QFile dirs(dir.filePath("config/user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write(QStringLiteral("XDG_DOCUMENTS_DIR=\"%1\"\nXDG_PUBLICSHARE_DIR=\"%2\"\n").arg(docs, share).toUtf8());
        dirs.close();
        saved = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_DIRS")};
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_DIRS", (data + ":/usr/share").toUtf8());
        SetSymbolicPathDisplay(true);
    }
    void TearDown() override {
        SetSymbolicPathDisplay(false);
        qputenv("XDG_CONFIG_HOME", saved[0]);
        qputenv("XDG_DATA_DIRS", saved[1]);
    }

    QTemporaryDir dir;
    QString docs, share, data;
    std::array<QByteArray, 2> saved;
};

TEST_F(SymbolicPathTest, KnownFoldersShowByTheirNames) {
    ASSERT_EQ(platform::KnownFolderPath(platform::KnownFolder::PublicShare), share);
    ASSERT_EQ(platform::KnownFolderPath(platform::KnownFolder::SystemData), data);
    EXPECT_EQ(SymbolicPath(docs + "/Veltaro_2026/a.vtm"), "Dokumente/Veltaro_2026/a.vtm");
    EXPECT_EQ(SymbolicPath(docs.toUpper() + "/x.vtm"), "Dokumente/x.vtm");
    EXPECT_EQ(SymbolicPath(docs + "2/x"), "Dokumente2/x");
    EXPECT_EQ(SymbolicPath(share + "/a"), "Shared/a");
    EXPECT_EQ(SymbolicPath(data + "/veltaro/p.vtl"), "share/veltaro/p.vtl");
    EXPECT_EQ(SymbolicPath("/mnt/usb/a.vtm"), "/mnt/usb/a.vtm");
    SetSymbolicPathDisplay(false);
    EXPECT_EQ(SymbolicPath(docs + "/a.vtm"), docs + "/a.vtm");
}

}  // namespace

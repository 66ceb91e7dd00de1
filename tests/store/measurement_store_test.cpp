#include <gtest/gtest.h>

#include "support/fake_main_window.h"

#include <QPainter>
#include <QRectF>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/date_time.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

// Fields of packed records are read through a unary +, so that no reference
// binds to a member that may sit at an unaligned address.

namespace {

constexpr double kDay = 1.0;
constexpr double kSecond = 1.0 / 86400.0;
constexpr double kNow = 46000.5;  // a fixed UTC reading of the corrected clock

// A store whose header is the default one with some fields changed; the
// counts of such a store are 0.
std::unique_ptr<TDaten> StoreWith(const std::function<void(TsaveItHeader13&)>& change) {
    TsaveItHeader13 header = TDaten().GetHeader();
    change(header);
    return std::make_unique<TDaten>(header);
}

TSaveIT6 Value(int32_t id, double leq = 90.0, double leqK = 95.0, double peak = 120.0) {
    TSaveIT6 v;
    v.id = id;
    v.TimeStamp = 45000.0 + id * 60 * kSecond;
    v.clipCount = id % 3;
    v.leq = leq;
    v.LeqK = leqK;
    v.Peak = peak;
    return v;
}

TBlockDaten8 Block(int32_t id, const QString& remark = QString()) {
    TBlockDaten8 b;
    b.id = id;
    b.leq = 95.0 + id;
    b.start = 45000.0 + id;
    b.remarkStr = remark;
    return b;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        language = 2;
        SetClockOffset(0);
        SetClockSourceForTests([] { return kNow; });
    }
    void TearDown() override { SetClockSourceForTests(nullptr); }
};

// ---------------------------------------------------------------------------
// Defaults, validation
// ---------------------------------------------------------------------------

TEST_F(StoreTest, NewStoreHasTheDefaultHeader) {
    TDaten s;
    EXPECT_EQ(s.GetMaxLEQ(), 99);
    EXPECT_EQ(s.GetWarnLEQ(), 94);
    EXPECT_EQ(s.GetMaxPeak(), 134);
    EXPECT_EQ(s.GetWarnPeak(), 128);
    EXPECT_EQ(s.GetLEQDauer(), 1800);
    EXPECT_EQ(s.GetLEQKurzDauer(), 10);
    EXPECT_EQ(s.GetPeakWerte(), 1680);
    EXPECT_EQ(s.GetDrawInterval(), 60);
    EXPECT_EQ(s.GetGraGap(), 140);
    EXPECT_EQ(s.GetGraRange(), 100);
    EXPECT_EQ(+s.GetHeader().theData.GRANGE, 1892);
    const TCurveFlags flags = s.GetFlags();
    EXPECT_TRUE(flags.leq && flags.leqK && flags.peak);
    EXPECT_EQ(s.GetFilter(kQuantityLeq), 1);
    EXPECT_EQ(s.GetFilter(kQuantityLeqK), 1);
    EXPECT_EQ(s.GetFilter(kQuantityPeak), 2);
    EXPECT_EQ(s.GetKorrArt(), -1);
    EXPECT_EQ(s.GetRechMax(), 100.0);
    EXPECT_EQ(s.GetMinKorrSpl(), -60);
    EXPECT_EQ(s.GetCalTime(), -1.0);
    EXPECT_EQ(s.GetOffTimeVor(), -1.0);
    EXPECT_EQ(s.GetVMicCalDate(), -1.0);
    EXPECT_EQ(s.GetSplRef(kRefCalibration), -1.0);
    EXPECT_EQ(s.GetSoundCard(), QStringLiteral("---"));
    EXPECT_EQ(s.GetPATeam(), QStringLiteral("---"));
    EXPECT_EQ(s.GetVeranstaltung(), QString());
    EXPECT_EQ(s.GetCalText(), QStringLiteral("Not done"));
    EXPECT_EQ(s.GetOffDeviceText(), QStringLiteral("Not done"));
    EXPECT_EQ(s.GetMaxLeqK(), 0);
    EXPECT_EQ(s.GetPrecision(), 2);
    EXPECT_EQ(s.GetVTVersion(), 0);  // no main window to ask
    EXPECT_TRUE(s.IsCurrentVersion());
    EXPECT_FALSE(s.Loaded());
    EXPECT_EQ(s.GetWerteAnzahl(), 0);
    EXPECT_FALSE(s.GetSaveDaten());

    language = 1;
    TDaten german;
    EXPECT_EQ(german.GetCalText(), QStringLiteral("Nicht durchgeführt"));
}

TEST_F(StoreTest, InitValuesResetsButKeepsRegulationLimitTextAndSettings) {
    TDaten s;
    s.SetVorschrift(QStringLiteral("DIN 15905-5"));
    s.SetLimitText(QStringLiteral("99 dB(A) über 30 Minuten"));
    s.SetMaxLeqK(105);
    s.SetNKS(1);
    s.SetProtStatus(2, 1, 0);
    s.SetMaxLEQ(120);
    s.SetVeranstaltung(QStringLiteral("Stadtfest"));
    s.SetCalTime(45000.0);
    s.AddWert(Value(0));
    s.AddBlock(Block(1));
    s.AddSms(QStringLiteral("Start"));

    s.InitValues();
    EXPECT_EQ(s.GetVorschrift(), QStringLiteral("DIN 15905-5"));
    EXPECT_EQ(s.GetLimitText(), QStringLiteral("99 dB(A) über 30 Minuten"));
    EXPECT_EQ(s.GetMaxLeqK(), 105);
    EXPECT_EQ(s.GetNKS(), 1);
    EXPECT_TRUE(s.ForceProt(kQuantityLeq));
    EXPECT_EQ(s.GetMaxLEQ(), 99);
    EXPECT_EQ(s.GetVeranstaltung(), QString());
    EXPECT_EQ(s.GetCalTime(), -1.0);
    EXPECT_EQ(s.GetWerteAnzahl(), 0);
    EXPECT_EQ(s.GetNumBlocks(), 0);
    EXPECT_EQ(s.GetSmsCount(), 0);
    EXPECT_EQ(+s.GetWert(0).id, -1);
}


TEST_F(StoreTest, InitValuesStampsTheRunningProgramVersion) {
    test_support::FakeMainWindow main;
    main.versionId = (int64_t{2026} << 32) | 7;
    RegisterMainWindowServices(&main);
    TDaten s;
    RegisterMainWindowServices(nullptr);
    EXPECT_EQ(s.GetVTVersion(), (int64_t{2026} << 32) | 7);
}

TEST_F(StoreTest, ClearCalForgetsCalibrationAndChecksButKeepsReferences) {
    TDaten s;
    s.SetCalTime(45000.0);
    s.SetCalVal(93.8);
    s.SetOffTimeVor(45001.0);
    s.SetOffValVor(94.0);
    s.SetOffTimeNach(45002.0);
    s.SetOffValNach(94.1);
    s.SetVMicCal(92.0);
    s.SetSplRef(kRefCalibration, 94.0);
    s.SetCalArt(2);

    s.ClearCal();
    EXPECT_EQ(s.GetCalTime(), -1.0);
    EXPECT_EQ(s.GetCalVal(), 0.0);
    EXPECT_EQ(s.GetOffTimeVor(), -1.0);
    EXPECT_EQ(s.GetOffValVor(), 0.0);
    EXPECT_EQ(s.GetOffTimeNach(), -1.0);
    EXPECT_EQ(s.GetOffValNach(), 0.0);
    EXPECT_EQ(s.GetVMicCalDate(), -1.0);
    EXPECT_EQ(s.GetVMicCalVal(), 130.0);
    EXPECT_EQ(s.GetSplRef(kRefCalibration), 94.0);
    EXPECT_EQ(s.GetCalArt(), 2);
}

TEST_F(StoreTest, ValidateHeaderReplacesOutOfRangeFields) {
    struct Case {
        const char* name;
        std::function<void(TSaveData13&)> set;
        std::function<double(const TDaten&)> get;
        double expected;
    };
    auto warnPeak = [](const TDaten& s) { return s.GetWarnPeak(); };
    auto leqDauer = [](const TDaten& s) { return s.GetLEQDauer(); };
    auto peakWerte = [](const TDaten& s) { return s.GetPeakWerte(); };
    auto leqKWarn = [](const TDaten& s) { return s.GetWarnLeqK(); };
    auto start = [](const TDaten& s) { return s.GetHeader().theData.start; };
    auto stop = [](const TDaten& s) { return s.GetHeader().theData.STOP; };
    const Case cases[] = {
        {"WARNPEAK 25", [](TSaveData13& d) { d.WARNPEAK = 25; }, warnPeak, 130},
        {"WARNPEAK 161", [](TSaveData13& d) { d.WARNPEAK = 161; }, warnPeak, 130},
        {"WARNPEAK 160", [](TSaveData13& d) { d.WARNPEAK = 160; }, warnPeak, 160},
        {"WARNLEQ 29", [](TSaveData13& d) { d.WARNLEQ = 29; }, [](const TDaten& s) { return s.GetWarnLEQ(); }, 95},
        {"LIMITLEQ 151", [](TSaveData13& d) { d.LIMITLEQ = 151; }, [](const TDaten& s) { return s.GetMaxLEQ(); }, 100},
        {"LimitLeqK NaN", [](TSaveData13& d) { d.LimitLeqK = std::nan(""); },
         [](const TDaten& s) { return s.GetMaxLeqK(); }, 100},
        {"LimitLeqK 29.9", [](TSaveData13& d) { d.LimitLeqK = 29.9; }, [](const TDaten& s) { return s.GetMaxLeqK(); },
         100},
        {"LIMITPEAK 29", [](TSaveData13& d) { d.LIMITPEAK = 29; }, [](const TDaten& s) { return s.GetMaxPeak(); }, 135},
        {"GTOP 79", [](TSaveData13& d) { d.GTOP = 79; }, [](const TDaten& s) { return s.GetGraGap(); }, 120},
        {"range 59 without switches", [](TSaveData13& d) { d.GRANGE = 59; },
         [](const TDaten& s) { return s.GetHeader().theData.GRANGE; }, 1892},
        {"range 101 keeps its switches", [](TSaveData13& d) { d.GRANGE = 101 | kCurveLeqBit; },
         [](const TDaten& s) { return s.GetHeader().theData.GRANGE; }, 100 | kCurveLeqBit},
        {"range 60", [](TSaveData13& d) { d.GRANGE = 60; }, [](const TDaten& s) { return s.GetHeader().theData.GRANGE; },
         60},
        {"PEAKWERTE 1", [](TSaveData13& d) { d.PEAKWERTE = 1; }, peakWerte, 1680},
        {"PEAKWERTE 48001", [](TSaveData13& d) { d.PEAKWERTE = 48001; }, peakWerte, 1680},
        {"PEAKWERTE 48000", [](TSaveData13& d) { d.PEAKWERTE = 48000; }, peakWerte, 48000},
        {"DAUERLEQ -59", [](TSaveData13& d) { d.DAUERLEQ = -59; }, leqDauer, 1800},
        {"DAUERLEQ 0", [](TSaveData13& d) { d.DAUERLEQ = 0; }, leqDauer, 1800},
        {"DAUERLEQ 59", [](TSaveData13& d) { d.DAUERLEQ = 59; }, leqDauer, 1800},
        {"DAUERLEQ -2", [](TSaveData13& d) { d.DAUERLEQ = -2; }, leqDauer, -2},
        {"DAUERLEQ -60", [](TSaveData13& d) { d.DAUERLEQ = -60; }, leqDauer, -60},
        {"DAUERLEQ 60", [](TSaveData13& d) { d.DAUERLEQ = 60; }, leqDauer, 60},
        {"DAUERLEQ min", [](TSaveData13& d) { d.DAUERLEQ = std::numeric_limits<int32_t>::min(); }, leqDauer,
         std::numeric_limits<int32_t>::min()},
        {"DAUERLEQKURZ 1801", [](TSaveData13& d) { d.DAUERLEQKURZ = 1801; },
         [](const TDaten& s) { return s.GetLEQKurzDauer(); }, 10},
        {"DAUERLEQKURZ 1", [](TSaveData13& d) { d.DAUERLEQKURZ = 1; },
         [](const TDaten& s) { return s.GetLEQKurzDauer(); }, 10},
        {"leqKWarn 151", [](TSaveData13& d) { d.leqKWarn = 151; }, leqKWarn, 95},
        {"leqKWarn 150", [](TSaveData13& d) { d.leqKWarn = 150; }, leqKWarn, 150},
        {"leqKWarn 0 (a new store's)", [](TSaveData13& d) { d.leqKWarn = 0; }, leqKWarn, 0},
        {"start 1899-12-31", [](TSaveData13& d) { d.start = 1.0; }, start, 0.0},
        {"start 1900-01-01", [](TSaveData13& d) { d.start = 2.0; }, start, 2.0},
        {"start 2200-01-01", [](TSaveData13& d) { d.start = 109575.0; }, start, 0.0},
        {"start NaN", [](TSaveData13& d) { d.start = std::nan(""); }, start, 0.0},
        {"STOP 2199-12-31", [](TSaveData13& d) { d.STOP = 109574.0; }, stop, 109574.0},
        {"STOP -1e11", [](TSaveData13& d) { d.STOP = -1.0e11; }, stop, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = StoreWith([&](TsaveItHeader13& h) {
            h.theData.LimitLeqK = 100.0;
            c.set(h.theData);
        });
        s->ValidateHeader();
        EXPECT_EQ(c.get(*s), c.expected);
    }
}

// A file saved from a damaged header loads "successfully"; the header must be
// repaired on the way in, or an accessor of the loaded store throws or overflows.
TEST_F(StoreTest, LoadedHeaderIsRepairedSoNoAccessorThrowsOrOverflows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("damaged.vtm");
    {
        auto damaged = StoreWith([](TsaveItHeader13& h) {
            h.theData.leqKWarn = 0x80000000u;
            h.theData.start = -1.0e11;
            h.theData.STOP = 1.0e11;
        });
        ASSERT_TRUE(damaged->SaveToFile(path, QString()));
    }
    TDaten loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, kLoadEverything), kLoadDone);
    EXPECT_EQ(loaded.GetWarnLeqK(), 95);
    EXPECT_DOUBLE_EQ(loaded.GetRealWarn(kQuantityLeqK), 95.5);
    EXPECT_EQ(+loaded.GetHeader().theData.start, 0.0);
    EXPECT_EQ(+loaded.GetHeader().theData.STOP, 0.0);
    EXPECT_EQ(loaded.GetDauerInMinuten(), -1);
}

TEST_F(StoreTest, ValidateHeaderDropsCalibrationsWithoutARealDateOrValue) {
    auto s = StoreWith([](TsaveItHeader13& h) {
        h.theData.KALTIME = -1.0;
        h.theData.kalVal = 94.2;
        h.theData.offTimeVor = 45000.0;
        h.theData.offValVor = std::nan("");
        h.theData.offTimeNach = 45000.5;
        h.theData.offValNach = 93.9;
        h.theData.CalTimeVMic = -1.0;
    });
    s->ValidateHeader();
    EXPECT_EQ(s->GetCalTime(), 0.0);
    EXPECT_EQ(s->GetCalVal(), 0.0);
    EXPECT_EQ(s->GetOffTimeVor(), 0.0);
    EXPECT_EQ(s->GetOffValVor(), 0.0);
    EXPECT_EQ(s->GetOffTimeNach(), 45000.5);
    EXPECT_EQ(s->GetOffValNach(), 93.9);
    EXPECT_EQ(s->GetVMicCalDate(), -1.0);
}

// ---------------------------------------------------------------------------
// Whole store
// ---------------------------------------------------------------------------

TEST_F(StoreTest, HeaderConstructorStartsWithEmptyListsAndCounts) {
    TsaveItHeader13 h = TDaten().GetHeader();
    h.theData.NumWerte = 500;
    h.theData.NumBlock = 4;
    h.theData.NumSMS = 2;
    h.Veranstaltung = QStringLiteral("Open Air");
    TDaten s(h);
    EXPECT_EQ(s.GetWerteAnzahl(), 0);
    EXPECT_EQ(s.GetNumBlocks(), 0);
    EXPECT_EQ(s.GetSmsCount(), 0);
    EXPECT_FALSE(s.Loaded());
    EXPECT_EQ(s.GetVeranstaltung(), QStringLiteral("Open Air"));
}

TEST_F(StoreTest, SetDatenCopiesTheHeaderValidatedAndLeavesTheLists) {
    auto source = StoreWith([](TsaveItHeader13& h) {
        h.theData.WARNPEAK = 25;
        h.theData.LimitLeqK = 100.0;
        h.Veranstaltung = QStringLiteral("Stadtfest");
        h.KORMAXPos = QStringLiteral("Reihe 3");
    });
    TDaten target;
    target.AddWert(Value(0));
    target.SetDaten(*source);
    EXPECT_EQ(target.GetWarnPeak(), 130);
    EXPECT_EQ(source->GetWarnPeak(), 25);
    EXPECT_EQ(target.GetVeranstaltung(), QStringLiteral("Stadtfest"));
    EXPECT_EQ(target.GetHeader().KORMAXPos, QStringLiteral("Reihe 3"));
    EXPECT_EQ(+target.GetWert(0).id, 0);  // the list stays; the count came with the header
    EXPECT_EQ(target.GetWerteAnzahl(), 0);

    target.SetDaten(target);  // from itself: must not wait for its own lock
    EXPECT_EQ(target.GetWarnPeak(), 130);
}

TEST_F(StoreTest, CopyToGivesTheTargetAnIndependentCopy) {
    TDaten source;
    source.SetVeranstaltung(QStringLiteral("Festival"));
    for (int32_t i = 0; i < 5; ++i) {
        source.AddWert(Value(i));
    }
    source.AddBlock(Block(1, QStringLiteral("Abweichung")));
    source.AddBlock(Block(2));
    source.AddSms(QStringLiteral("Start"));
    source.AddSms(QStringLiteral("Limit"));

    TDaten target;
    target.AddWert(Value(0));
    target.AddWert(Value(1));
    target.AddWert(Value(2));
    target.AddWert(Value(3));
    target.AddWert(Value(4));
    target.AddWert(Value(5));
    source.CopyTo(target);
    EXPECT_EQ(target.GetWerteAnzahl(), 5);
    EXPECT_EQ(target.GetNumBlocks(), 2);
    EXPECT_EQ(target.GetSmsCount(), 2);
    EXPECT_TRUE(target.Loaded());
    EXPECT_FALSE(source.Loaded());
    EXPECT_EQ(target.GetVeranstaltung(), QStringLiteral("Festival"));
    EXPECT_EQ(+target.GetWert(4).TimeStamp, +source.GetWert(4).TimeStamp);
    TBlockDaten8 block;
    target.GetBlock(0, block);
    EXPECT_EQ(block.remarkStr, QStringLiteral("Abweichung"));
    EXPECT_EQ(target.GetSms(1).meldung, QStringLiteral("Limit"));

    source.AddWert(Value(5));
    source.SetVeranstaltung(QStringLiteral("changed"));
    EXPECT_EQ(target.GetWerteAnzahl(), 5);
    EXPECT_EQ(target.GetVeranstaltung(), QStringLiteral("Festival"));

    source.CopyTo(source);  // onto itself: same content, counted as complete
    EXPECT_EQ(source.GetWerteAnzahl(), 6);
    EXPECT_TRUE(source.Loaded());
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

TEST_F(StoreTest, ValuesWithNegativeIdsAreRefusedAndBadIdsGiveTheMarker) {
    TDaten s;
    EXPECT_EQ(s.AddWert(Value(-1)), -1);
    EXPECT_EQ(s.GetWerteAnzahl(), 0);
    EXPECT_FALSE(s.GetSaveDaten());
    EXPECT_EQ(s.AddWert(Value(0)), 0);
    EXPECT_EQ(s.AddWert(Value(7)), 1);
    EXPECT_EQ(s.GetWerteAnzahl(), 2);
    EXPECT_TRUE(s.GetSaveDaten());

    for (int32_t bad : {-1, 2, 1000}) {
        SCOPED_TRACE(bad);
        const TSaveIT6 marker = s.GetWert(bad);
        EXPECT_EQ(+marker.id, -1);
        EXPECT_EQ(+marker.valDif, 0);
        EXPECT_EQ(+marker.TimeStamp, -1.0);
        EXPECT_EQ(+marker.clipCount, 0);
        EXPECT_EQ(+marker.Peak, 0.0);
        EXPECT_EQ(+marker.LeqK, 0.0);
        EXPECT_EQ(+marker.leq, 0.0);
    }
    s.ClearWerte();
    EXPECT_EQ(s.GetWerteAnzahl(), 0);
    EXPECT_EQ(+s.GetWert(0).id, -1);
}

TEST_F(StoreTest, ContinuedValuesTakeMissingLevelsFromThePreviousValue) {
    TDaten s;
    s.SetIsValCont(true);
    s.AddWert(Value(0, 1.5, 1.0, 0.5));  // the first value is never changed
    s.AddWert(Value(1, 92.0, 96.0, 121.0));
    s.AddWert(Value(2, 1.5, 2.0, 1.9));
    const TSaveIT6 first = s.GetWert(0);
    EXPECT_EQ(+first.leq, 1.5);
    EXPECT_EQ(+first.Peak, 0.5);
    const TSaveIT6 third = s.GetWert(2);
    EXPECT_EQ(+third.leq, 92.0);
    EXPECT_EQ(+third.LeqK, 2.0);
    EXPECT_EQ(+third.Peak, 121.0);
    EXPECT_EQ(+third.id, 2);
    EXPECT_EQ(+third.TimeStamp, +Value(2).TimeStamp);

    s.SetIsValCont(false);
    s.AddWert(Value(3, 1.0));
    EXPECT_EQ(+s.GetWert(3).leq, 1.0);
}

TEST_F(StoreTest, ClipCountSumsTheValues) {
    TDaten s;
    EXPECT_EQ(s.GetClipCount(), 0);
    for (int32_t i = 0; i < 6; ++i) {
        s.AddWert(Value(i));  // clip counts 0, 1, 2, 0, 1, 2
    }
    EXPECT_EQ(s.GetClipCount(), 6);
}

TEST_F(StoreTest, BlocksAreCopiedInAndOutAndBadIdsLeaveTheCallersRecord) {
    TDaten s;
    EXPECT_EQ(s.AddBlock(Block(-1)), -1);
    EXPECT_EQ(s.GetNumBlocks(), 0);
    EXPECT_EQ(s.AddBlock(Block(1, QStringLiteral("Abweichung 3 s"))), 0);
    EXPECT_EQ(s.GetNumBlocks(), 1);

    TBlockDaten8 mine = Block(42, QStringLiteral("meins"));
    s.GetBlock(1, mine);
    s.GetBlock(-1, mine);
    EXPECT_EQ(+mine.id, 42);
    EXPECT_EQ(mine.remarkStr, QStringLiteral("meins"));

    s.GetBlock(0, mine);
    EXPECT_EQ(+mine.id, 1);
    EXPECT_EQ(mine.remarkStr, QStringLiteral("Abweichung 3 s"));
    mine.remarkStr = QStringLiteral("changed by the caller");
    TBlockDaten8 again;
    s.GetBlock(0, again);
    EXPECT_EQ(again.remarkStr, QStringLiteral("Abweichung 3 s"));

    s.ClearBlock();
    EXPECT_EQ(s.GetNumBlocks(), 0);
}

TEST_F(StoreTest, HeaderCopiesDoNotReachTheStore) {
    TDaten s;
    TsaveItHeader13 h = s.GetHeader();
    h.theData.LIMITLEQ = 1;
    h.Ort = QStringLiteral("changed");
    EXPECT_EQ(s.GetMaxLEQ(), 99);
    EXPECT_EQ(s.GetORT(), QStringLiteral("---"));
}

TEST_F(StoreTest, RepeatedMessagesWithinTwoSecondsAreStoredOnce) {
    double utc = kNow;
    SetClockSourceForTests([&] { return utc; });
    TDaten s;
    s.AddSms(QStringLiteral("Limit exceeded"));
    utc += 0.9 * kSecond;
    s.AddSms(QStringLiteral("LIMIT EXCEEDED"));
    EXPECT_EQ(s.GetSmsCount(), 1);
    utc += 2.0 * kSecond;
    s.AddSms(QStringLiteral("limit exceeded"));
    EXPECT_EQ(s.GetSmsCount(), 2);

    // Only the last message counts: alternating texts are all stored.
    s.AddSms(QStringLiteral("Warning"));
    s.AddSms(QStringLiteral("limit exceeded"));
    s.AddSms(QStringLiteral("Warning"));
    EXPECT_EQ(s.GetSmsCount(), 5);
    // Letters beyond ASCII are compared exactly.
    s.AddSms(QStringLiteral("Überlast"));
    s.AddSms(QStringLiteral("üBERLAST"));
    EXPECT_EQ(s.GetSmsCount(), 7);

    const TSMS first = s.GetSms(0);
    EXPECT_EQ(first.meldung, QStringLiteral("Limit exceeded"));
    EXPECT_EQ(first.zeitpunkt, UtcToLocal(kNow));
    s.ClearSms();
    EXPECT_EQ(s.GetSmsCount(), 0);
}

TEST_F(StoreTest, MessageWithABadIdNamesItWithTheCurrentTime) {
    TDaten s;
    s.AddSms(QStringLiteral("a"));
    s.AddSms(QStringLiteral("b"));
    s.AddSms(QStringLiteral("c"));
    const TSMS five = s.GetSms(5);
    EXPECT_EQ(five.meldung, QStringLiteral("Invalid Id: 5"));
    EXPECT_EQ(five.zeitpunkt, CorrectedNow());
    EXPECT_EQ(s.GetSms(-1).meldung, QStringLiteral("Invalid Id: -1"));
    EXPECT_EQ(s.GetSms(3).meldung, QStringLiteral("Invalid Id: 3"));
}

TEST_F(StoreTest, SetterOfRunFieldsMarkTheHeaderForBackup) {
    const std::vector<std::pair<const char*, std::function<void(TDaten&)>>> marking = {
        {"start", [](TDaten& s) { s.SetStartTime(45000.0); }},
        {"stop", [](TDaten& s) { s.SetStopTime(45000.0); }},
        {"peak window", [](TDaten& s) { s.SetPeakWerte(6000); }},
        {"Leq max", [](TDaten& s) { s.SetLEQmax(99.0, 45000.0); }},
        {"peak max", [](TDaten& s) { s.SetPeakMax(130.0, 45000.0); }},
        {"short-term max", [](TDaten& s) { s.SetLEQKmax(101.0, 45000.0); }},
        {"LEQ120", [](TDaten& s) { s.SetLEQ120(97.0); }},
        {"LEQFull", [](TDaten& s) { s.SetLeqFull(96.0); }},
        {"block", [](TDaten& s) { s.AddBlock(Block(1)); }},
    };
    for (const auto& [name, change] : marking) {
        SCOPED_TRACE(name);
        TDaten s;
        change(s);
        EXPECT_TRUE(s.GetSaveDaten());
    }
    TDaten s;
    s.SetMaxLEQ(100);
    s.SetVeranstaltung(QStringLiteral("x"));
    EXPECT_FALSE(s.GetSaveDaten());
}

// ---------------------------------------------------------------------------
// Accessors reach the fields they name
// ---------------------------------------------------------------------------

TEST_F(StoreTest, EveryTextAccessorReachesItsOwnField) {
    using Setter = void (TDaten::*)(const QString&);
    using Getter = QString (TDaten::*)() const;
    struct Text {
        Setter set;
        Getter get;
        QString TsaveItHeader13::*field;
    };
    const Text texts[] = {
        {&TDaten::SetSoundCard, &TDaten::GetSoundCard, &TsaveItHeader13::Soundkarte},
        {&TDaten::SetORT, &TDaten::GetORT, &TsaveItHeader13::Ort},
        {&TDaten::SetPLZ, &TDaten::GetPLZ, &TsaveItHeader13::Plz},
        {&TDaten::SetLocationText, &TDaten::GetLocationText, &TsaveItHeader13::LocationText},
        {&TDaten::SetAdresse, &TDaten::GetAdresse, &TsaveItHeader13::Adresse},
        {&TDaten::SetVeranstaltung, &TDaten::GetVeranstaltung, &TsaveItHeader13::Veranstaltung},
        {&TDaten::SetVeranstalter, &TDaten::GetVeranstalter, &TsaveItHeader13::Veranstalter},
        {&TDaten::SetMessFirma, &TDaten::GetMessFirma, &TsaveItHeader13::Verantwortlicher},
        {&TDaten::SetZeitraum, &TDaten::GetZeitraum, &TsaveItHeader13::ZEITRAUM},
        {&TDaten::SetVorschrift, &TDaten::GetVorschrift, &TsaveItHeader13::Verordnung},
        {&TDaten::SetCalText, &TDaten::GetCalText, &TsaveItHeader13::KALTEXT},
        {&TDaten::SetOffDeviceText, &TDaten::GetOffDeviceText, &TsaveItHeader13::KALOFF},
        {&TDaten::SetKorrCalcText, &TDaten::GetKorrCalcText, &TsaveItHeader13::KORRCALC},
        {&TDaten::SetLimitText, &TDaten::GetLimitText, &TsaveItHeader13::LimitText},
        {&TDaten::SetPATeam, &TDaten::GetPATeam, &TsaveItHeader13::PAFIRMA},
        {&TDaten::SetUnterzeichner, &TDaten::GetUnterzeichner, &TsaveItHeader13::UNTERSCHREIB},
        {&TDaten::SetPAKontakt, &TDaten::GetPAKontakt, &TsaveItHeader13::PAKONTAKT},
        {&TDaten::SetHinweisText, &TDaten::GetHinweisText, &TsaveItHeader13::HINWEIS},
        {&TDaten::SetPAText, &TDaten::GetPAText, &TsaveItHeader13::PA},
        {&TDaten::SetSaveName, &TDaten::GetSaveName, &TsaveItHeader13::myOwnName},
        {&TDaten::SetCopyKalFrom, &TDaten::GetCopyKalFrom, &TsaveItHeader13::COPYKALFROM},
        {&TDaten::SetCopyKorFrom, &TDaten::GetCopyKorFrom, &TsaveItHeader13::COPYKORFROM},
        {&TDaten::SetCopyDataFrom, &TDaten::GetCopyDataFrom, &TsaveItHeader13::COPYDATAFROM},
    };
    TDaten s;
    for (size_t i = 0; i < std::size(texts); ++i) {
        (s.*texts[i].set)(QStringLiteral("text %1").arg(i));
    }
    const TsaveItHeader13 h = s.GetHeader();
    for (size_t i = 0; i < std::size(texts); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((s.*texts[i].get)(), QStringLiteral("text %1").arg(i));
        EXPECT_EQ(h.*texts[i].field, QStringLiteral("text %1").arg(i));
    }

    const int32_t korrIds[] = {kWeightingA, kWeightingC, kWeightingZ, kKorrMeasurement};
    QString TsaveItHeader13::*const korrFields[] = {&TsaveItHeader13::textKorrIA, &TsaveItHeader13::textKorrIC,
                                                    &TsaveItHeader13::textKorrIF, &TsaveItHeader13::KORRE};
    for (int32_t id : korrIds) {
        s.SetKorrText(id, QStringLiteral("korr %1").arg(id));
    }
    s.SetKorrText(3, QStringLiteral("ignored"));
    const TsaveItHeader13 k = s.GetHeader();
    for (size_t i = 0; i < std::size(korrIds); ++i) {
        EXPECT_EQ(s.GetKorrText(korrIds[i]), QStringLiteral("korr %1").arg(korrIds[i]));
        EXPECT_EQ(k.*korrFields[i], QStringLiteral("korr %1").arg(korrIds[i]));
    }
    EXPECT_EQ(s.GetKorrText(3), QString());
}

TEST_F(StoreTest, EveryNumericAccessorReachesItsOwnField) {
    struct Field {
        const char* name;
        std::function<void(TDaten&, int)> set;
        std::function<double(const TDaten&)> get;
        std::function<double(const TSaveData13&)> stored;
    };
    const Field fields[] = {
        {"WARNPEAK", [](TDaten& s, int v) { s.SetWarnPeak(v); }, [](const TDaten& s) { return s.GetWarnPeak(); },
         [](const TSaveData13& d) { return d.WARNPEAK; }},
        {"WARNLEQ", [](TDaten& s, int v) { s.SetWarnLEQ(v); }, [](const TDaten& s) { return s.GetWarnLEQ(); },
         [](const TSaveData13& d) { return d.WARNLEQ; }},
        {"leqKWarn", [](TDaten& s, int v) { s.SetWarnLeqK(v); }, [](const TDaten& s) { return s.GetWarnLeqK(); },
         [](const TSaveData13& d) { return d.leqKWarn; }},
        {"LIMITPEAK", [](TDaten& s, int v) { s.SetMaxPeak(v); }, [](const TDaten& s) { return s.GetMaxPeak(); },
         [](const TSaveData13& d) { return d.LIMITPEAK; }},
        {"LIMITLEQ", [](TDaten& s, int v) { s.SetMaxLEQ(v); }, [](const TDaten& s) { return s.GetMaxLEQ(); },
         [](const TSaveData13& d) { return d.LIMITLEQ; }},
        {"LimitLeqK", [](TDaten& s, int v) { s.SetMaxLeqK(v); }, [](const TDaten& s) { return s.GetMaxLeqK(); },
         [](const TSaveData13& d) { return d.LimitLeqK; }},
        {"GTOP", [](TDaten& s, int v) { s.SetGraGap(v); }, [](const TDaten& s) { return s.GetGraGap(); },
         [](const TSaveData13& d) { return d.GTOP; }},
        {"DAUERLEQ", [](TDaten& s, int v) { s.SetLEQDauer(v); }, [](const TDaten& s) { return s.GetLEQDauer(); },
         [](const TSaveData13& d) { return d.DAUERLEQ; }},
        {"DAUERLEQKURZ", [](TDaten& s, int v) { s.SetLEQKurzDauer(v); },
         [](const TDaten& s) { return s.GetLEQKurzDauer(); }, [](const TSaveData13& d) { return d.DAUERLEQKURZ; }},
        {"PEAKWERTE", [](TDaten& s, int v) { s.SetPeakWerte(v); }, [](const TDaten& s) { return s.GetPeakWerte(); },
         [](const TSaveData13& d) { return d.PEAKWERTE; }},
        {"INTERVAL", [](TDaten& s, int v) { s.SetDrawInterval(v); },
         [](const TDaten& s) { return s.GetDrawInterval(); }, [](const TSaveData13& d) { return d.INTERVAL; }},
        {"start", [](TDaten& s, int v) { s.SetStartTime(v); }, [](const TDaten& s) { return s.GetStartTime(); },
         [](const TSaveData13& d) { return d.start; }},
        {"STOP", [](TDaten& s, int v) { s.SetStopTime(v); }, [](const TDaten& s) { return s.GetStopTime(); },
         [](const TSaveData13& d) { return d.STOP; }},
        {"KALTIME", [](TDaten& s, int v) { s.SetCalTime(v); }, [](const TDaten& s) { return s.GetCalTime(); },
         [](const TSaveData13& d) { return d.KALTIME; }},
        {"kalVal", [](TDaten& s, int v) { s.SetCalVal(v); }, [](const TDaten& s) { return s.GetCalVal(); },
         [](const TSaveData13& d) { return d.kalVal; }},
        {"KALART", [](TDaten& s, int v) { s.SetCalArt(v); }, [](const TDaten& s) { return s.GetCalArt(); },
         [](const TSaveData13& d) { return d.KALART; }},
        {"offTimeVor", [](TDaten& s, int v) { s.SetOffTimeVor(v); }, [](const TDaten& s) { return s.GetOffTimeVor(); },
         [](const TSaveData13& d) { return d.offTimeVor; }},
        {"offTimeNach", [](TDaten& s, int v) { s.SetOffTimeNach(v); },
         [](const TDaten& s) { return s.GetOffTimeNach(); }, [](const TSaveData13& d) { return d.offTimeNach; }},
        {"offValVor", [](TDaten& s, int v) { s.SetOffValVor(v); }, [](const TDaten& s) { return s.GetOffValVor(); },
         [](const TSaveData13& d) { return d.offValVor; }},
        {"offValNach", [](TDaten& s, int v) { s.SetOffValNach(v); }, [](const TDaten& s) { return s.GetOffValNach(); },
         [](const TSaveData13& d) { return d.offValNach; }},
        {"KORRTYP", [](TDaten& s, int v) { s.SetKorrArt(v); }, [](const TDaten& s) { return s.GetKorrArt(); },
         [](const TSaveData13& d) { return d.KORRTYP; }},
        {"MAXVAL", [](TDaten& s, int v) { s.SetRechMax(v); }, [](const TDaten& s) { return s.GetRechMax(); },
         [](const TSaveData13& d) { return d.MAXVAL; }},
        {"PRECISION", [](TDaten& s, int v) { s.SetPrecision(v); }, [](const TDaten& s) { return s.GetPrecision(); },
         [](const TSaveData13& d) { return d.PRECISION; }},
        {"LEQ120", [](TDaten& s, int v) { s.SetLEQ120(v); }, [](const TDaten& s) { return s.GetLEQ120(); },
         [](const TSaveData13& d) { return d.LEQ120; }},
        {"LEQFull", [](TDaten& s, int v) { s.SetLeqFull(v); }, [](const TDaten& s) { return s.GetLeqFull(); },
         [](const TSaveData13& d) { return d.LEQFull; }},
        {"MessDauerFree", [](TDaten& s, int v) { s.SetMessDauer(v); }, nullptr,
         [](const TSaveData13& d) { return d.MessDauerFree; }},
        {"COPYSTATE", [](TDaten& s, int v) { s.SetCopyMode(v); }, [](const TDaten& s) { return s.GetCopyMode(); },
         [](const TSaveData13& d) { return d.COPYSTATE; }},
        {"VTVERSION", [](TDaten& s, int v) { s.SetVTVersion(v); }, [](const TDaten& s) { return s.GetVTVersion(); },
         [](const TSaveData13& d) { return d.VTVERSION; }},
        {"CalTimeVMic", [](TDaten& s, int v) { s.SetVMicCalTime(v); },
         [](const TDaten& s) { return s.GetVMicCalDate(); }, [](const TSaveData13& d) { return d.CalTimeVMic; }},
        {"KalGain", [](TDaten& s, int v) { s.SetTioGain(v); }, [](const TDaten& s) { return s.GetTioGain(); },
         [](const TSaveData13& d) { return d.KalGain; }},
        {"minSPLKorr", [](TDaten& s, int v) { s.SetMinKorrSpl(-v); }, nullptr,
         [](const TSaveData13& d) { return -d.minSPLKorr; }},
        {"korrA", [](TDaten& s, int v) { s.SetKorrVal(kWeightingA, v); },
         [](const TDaten& s) { return s.GetKorr(kWeightingA); }, [](const TSaveData13& d) { return d.korrA; }},
        {"korrC", [](TDaten& s, int v) { s.SetKorrVal(kWeightingC, v); },
         [](const TDaten& s) { return s.GetKorr(kWeightingC); }, [](const TSaveData13& d) { return d.korrC; }},
        {"KORRF", [](TDaten& s, int v) { s.SetKorrVal(kWeightingZ, v); },
         [](const TDaten& s) { return s.GetKorr(kWeightingZ); }, [](const TSaveData13& d) { return d.KORRF; }},
        {"korrTimeA", [](TDaten& s, int v) { s.SetKorrTime(kWeightingA, v); },
         [](const TDaten& s) { return s.GetKorrTime(kWeightingA); }, [](const TSaveData13& d) { return d.korrTimeA; }},
        {"korrTimeC", [](TDaten& s, int v) { s.SetKorrTime(kWeightingC, v); },
         [](const TDaten& s) { return s.GetKorrTime(kWeightingC); }, [](const TSaveData13& d) { return d.korrTimeC; }},
        {"korrTimeZ", [](TDaten& s, int v) { s.SetKorrTime(kWeightingZ, v); },
         [](const TDaten& s) { return s.GetKorrTime(kWeightingZ); }, [](const TSaveData13& d) { return d.korrTimeZ; }},
        {"korrEMess", [](TDaten& s, int v) { s.SetKorrTime(kKorrMeasurement, v); },
         [](const TDaten& s) { return s.GetKorrTime(kKorrMeasurement); },
         [](const TSaveData13& d) { return d.korrEMess; }},
        {"kalRefSpl", [](TDaten& s, int v) { s.SetSplRef(kRefCalibration, v); },
         [](const TDaten& s) { return s.GetSplRef(kRefCalibration); }, [](const TSaveData13& d) { return d.kalRefSpl; }},
        {"offVRefSpl", [](TDaten& s, int v) { s.SetSplRef(kRefCheckBefore, v); },
         [](const TDaten& s) { return s.GetSplRef(kRefCheckBefore); },
         [](const TSaveData13& d) { return d.offVRefSpl; }},
        {"offNRefSpl", [](TDaten& s, int v) { s.SetSplRef(kRefCheckAfter, v); },
         [](const TDaten& s) { return s.GetSplRef(kRefCheckAfter); }, [](const TSaveData13& d) { return d.offNRefSpl; }},
    };
    // Distinct values (all within every clamp) show a setter or getter wired
    // to a neighbouring field.
    TDaten s;
    auto valueOf = [](size_t i) { return 41 + static_cast<int>(i); };
    for (size_t i = 0; i < std::size(fields); ++i) {
        fields[i].set(s, valueOf(i));
    }
    const TSaveData13 d = s.GetHeader().theData;
    for (size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE(fields[i].name);
        EXPECT_EQ(fields[i].stored(d), valueOf(i));
        if (fields[i].get) {
            EXPECT_EQ(fields[i].get(s), valueOf(i));
        }
    }
}

// ---------------------------------------------------------------------------
// Derived values
// ---------------------------------------------------------------------------

TEST_F(StoreTest, RealLimitsAndWarningsAddHalfADisplayStep) {
    TDaten s;
    s.SetMaxLeqK(101);
    s.SetWarnLeqK(97);
    const struct {
        int32_t nks;
        double step;
    } steps[] = {{0, 0.5}, {1, 0.05}, {2, 0.005}, {3, 0.5}, {-1, 0.5}, {7, 0.5}};
    for (const auto& c : steps) {
        SCOPED_TRACE(c.nks);
        s.SetNKS(c.nks);
        EXPECT_DOUBLE_EQ(s.GetRealLimit(kQuantityLeq), 99 + c.step);
        EXPECT_DOUBLE_EQ(s.GetRealLimit(kQuantityLeqK), 101 + c.step);
        EXPECT_DOUBLE_EQ(s.GetRealLimit(kQuantityPeak), 134 + c.step);
        EXPECT_DOUBLE_EQ(s.GetRealWarn(kQuantityLeq), 94 + c.step);
        EXPECT_DOUBLE_EQ(s.GetRealWarn(kQuantityLeqK), 97 + c.step);
        EXPECT_DOUBLE_EQ(s.GetRealWarn(kQuantityPeak), 128 + c.step);
    }
    EXPECT_EQ(s.GetRealLimit(3), -1.0);
    EXPECT_EQ(s.GetRealWarn(-1), -1.0);
}

TEST_F(StoreTest, DecimalsAreClampedWhenRead) {
    TDaten s;
    EXPECT_TRUE(s.SetNKS(5));
    EXPECT_EQ(s.GetNKS(), 3);
    EXPECT_FALSE(s.SetNKS(5));
    EXPECT_TRUE(s.SetNKS(-2));
    EXPECT_EQ(s.GetNKS(), 0);
}

TEST_F(StoreTest, ShortTermLimitRoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(StoreWith([](TsaveItHeader13& h) { h.theData.LimitLeqK = 100.5; })->GetMaxLeqK(), 100);
    EXPECT_EQ(StoreWith([](TsaveItHeader13& h) { h.theData.LimitLeqK = 101.5; })->GetMaxLeqK(), 102);
    auto huge = StoreWith([](TsaveItHeader13& h) { h.theData.LimitLeqK = 3.0e9; });
    EXPECT_THROW(huge->GetMaxLeqK(), std::out_of_range);
    EXPECT_THROW(huge->GetRealLimit(kQuantityLeqK), std::out_of_range);
    EXPECT_EQ(huge->GetMaxLEQ(), 99);  // the lock was let go

    TDaten s;
    s.SetWarnLeqK(96);
    EXPECT_THROW(s.SetWarnLeqK(-1), std::out_of_range);
    EXPECT_EQ(s.GetWarnLeqK(), 96);
    auto unsignedWarn = StoreWith([](TsaveItHeader13& h) { h.theData.leqKWarn = 0x80000000u; });
    EXPECT_THROW(unsignedWarn->GetWarnLeqK(), std::out_of_range);
}

TEST_F(StoreTest, WeightingWordKeepsTheOtherGroups) {
    auto s = StoreWith([](TsaveItHeader13& h) { h.theData.GEWICHTUNG = 0x7000 | (1 << 8) | (4 << 4) | 2; });
    s->SetFilter(kQuantityLeq, 2);
    EXPECT_EQ(+s->GetHeader().theData.GEWICHTUNG, 0x7000 | (1 << 8) | (2 << 4) | 2);
    s->SetFilter(kQuantityPeak, 0x14);  // only the low 4 bits count
    EXPECT_EQ(s->GetFilter(kQuantityPeak), 4);
    s->SetFilter(3, 1);
    EXPECT_EQ(+s->GetHeader().theData.GEWICHTUNG, 0x7000 | (1 << 8) | (2 << 4) | 4);
    EXPECT_EQ(s->GetFilter(3), 4);
    EXPECT_EQ(s->GetFilter(-1), 4);
}

TEST_F(StoreTest, GraphRangeAndCurveSwitches) {
    auto s = StoreWith([](TsaveItHeader13& h) { h.theData.GRANGE = 90; });
    const TCurveFlags none = s->GetFlags();
    EXPECT_TRUE(none.leq && none.leqK && none.peak);
    s->SetGraRange(80);
    EXPECT_EQ(+s->GetHeader().theData.GRANGE, 80 + 1792);
    s->SetShowPeak(false);
    const TCurveFlags noPeak = s->GetFlags();
    EXPECT_TRUE(noPeak.leq && noPeak.leqK);
    EXPECT_FALSE(noPeak.peak);
    s->SetGraRange(0x1FF);
    EXPECT_EQ(s->GetGraRange(), 0xFF);
    EXPECT_EQ(+s->GetHeader().theData.GRANGE, 0xFF | kCurveLeqBit | kCurveLeqKBit);
    EXPECT_EQ(FlagsToByte(true, false, true), 5);
}

TEST_F(StoreTest, ProtocolSwitches) {
    TDaten s;
    s.SetProtStatus(2, 1, 0);
    EXPECT_EQ(+s.GetHeader().theData.ProtokollStatus, 33);
    EXPECT_TRUE(s.ForceProt(kQuantityLeq));
    EXPECT_FALSE(s.ProtInfo(kQuantityLeq));
    EXPECT_TRUE(s.ProtInfo(kQuantityLeqK));
    EXPECT_FALSE(s.ForceProt(kQuantityLeqK));
    EXPECT_TRUE(s.InsProtokoll(kQuantityLeqK));
    EXPECT_FALSE(s.InsProtokoll(kQuantityPeak));
    EXPECT_FALSE(s.ForceProt(4));
    EXPECT_FALSE(s.InsProtokoll(-1));
    s.SetProtStatus(0, 3, 2);
    EXPECT_EQ(+s.GetHeader().theData.ProtokollStatus, 4);
}

TEST_F(StoreTest, StartStopAndReferenceTimes) {
    TDaten s;
    EXPECT_EQ(s.GetStartTime(), CorrectedNow());
    EXPECT_EQ(s.GetStopTime(), 0.0);
    EXPECT_EQ(s.GetRefTime(), CorrectedNow());
    s.SetStartTime(45000.25);
    s.SetDrawInterval(60);
    s.AddWert(Value(0));
    EXPECT_EQ(s.GetRefTime(), 45000.25);  // fewer than two values
    s.AddWert(Value(1));
    s.AddWert(Value(2));
    EXPECT_EQ(s.GetStopTime(), +Value(2).TimeStamp);
    EXPECT_NEAR(s.GetRefTime(), +Value(1).TimeStamp - 60 * kSecond, 1e-9);
    s.SetStopTime(45001.0);
    EXPECT_EQ(s.GetStopTime(), 45001.0);
}

TEST_F(StoreTest, DurationsInMinutes) {
    TDaten s;
    s.SetStartTime(45000.0);
    s.SetStopTime(45000.0 + 90.5 / 1440.0);
    EXPECT_EQ(s.GetDauerInMinuten(), 90);
    s.SetStopTime(45000.0);
    EXPECT_EQ(s.GetDauerInMinuten(), -1);
    s.SetStopTime(44999.0);
    EXPECT_EQ(s.GetDauerInMinuten(), -1);
    // Each date fits after rounding, their difference in signed milliseconds does not.
    s.SetStartTime(-1.0e11);
    s.SetStopTime(1.0e11);
    EXPECT_EQ(s.GetDauerInMinuten(), std::numeric_limits<int32_t>::max());

    const struct {
        int32_t leqSeconds;
        int32_t free;
        int32_t minutes;
    } cases[] = {{1800, 99, 0}, {1800, 45, 0}, {-3600, 99, 60}, {-3600, 45, 45}, {-2, 99, 0}, {-90, 99, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leqSeconds);
        s.SetLEQDauer(c.leqSeconds);
        s.SetMessDauer(c.free);
        EXPECT_EQ(s.GetMessDauer(), c.minutes);
    }
    s.SetLEQDauer(-2);
    EXPECT_TRUE(s.IsLeqFull());
    EXPECT_FALSE(s.GetIsInterval());
    s.SetLEQDauer(60);
    EXPECT_TRUE(s.GetIsInterval());
}

TEST_F(StoreTest, CalibrationIsValidForLessThan360Days) {
    TDaten s;
    EXPECT_FALSE(s.IsValidCal());
    const double today = platform::SystemLocalNow();
    s.SetCalTime(today - 359 * kDay);
    EXPECT_TRUE(s.IsValidCal());
    s.SetCalTime(today - 360 * kDay);
    EXPECT_FALSE(s.IsValidCal());
    s.SetCalTime(0.0);
    EXPECT_FALSE(s.IsValidCal());
}

TEST_F(StoreTest, ChecksBeforeAndAfter) {
    TDaten s;
    s.SetCalTime(45000.0);
    s.SetCalVal(93.5);
    s.SetSplRef(kRefCalibration, 94.0);
    s.SetSplRef(kRefCheckBefore, 94.1);
    s.SetSplRef(kRefCheckAfter, 94.2);
    s.SetOffTimeVor(45001.0);
    s.SetOffValVor(94.0);
    EXPECT_EQ(s.GetOffDif(), -200.0);  // the check after is not done

    s.SetOffTimeNach(45002.0);
    s.SetOffValNach(93.7);
    EXPECT_NEAR(s.GetOffDif(), 0.3, 1e-12);
    EXPECT_EQ(s.GetLastOffTime(), 45002.0);
    EXPECT_EQ(s.GetLastOffValue(), 93.7);
    EXPECT_EQ(s.GetLastCheckKind(), kRefCheckBefore);
    EXPECT_EQ(s.GetPreviousValue(), 94.0);
    EXPECT_EQ(s.GetSplRef(kRefPrevious), 94.1);

    s.SetOffTimeVor(45003.0);  // the check before is now the later one
    EXPECT_EQ(s.GetLastOffTime(), 45003.0);
    EXPECT_EQ(s.GetLastOffValue(), 94.0);
    EXPECT_EQ(s.GetLastCheckKind(), kRefCheckAfter);
    EXPECT_EQ(s.GetPreviousValue(), 93.7);
    EXPECT_EQ(s.GetSplRef(kRefPrevious), 94.2);

    s.SetCalTime(45004.0);  // a calibration after both checks
    EXPECT_EQ(s.GetLastCheckKind(), kRefCalibration);
    EXPECT_EQ(s.GetPreviousValue(), 93.5);
    EXPECT_EQ(s.GetSplRef(kRefPrevious), 94.0);
    EXPECT_EQ(s.GetSplRef(2), -1.0);
}

TEST_F(StoreTest, InterlockedSettingsAndClamps) {
    TDaten s;
    EXPECT_TRUE(s.SetTioGain(12));
    EXPECT_FALSE(s.SetTioGain(12));
    EXPECT_EQ(s.GetTioGain(), 12);
    const struct {
        int32_t stored;
        int32_t read;
    } levels[] = {{-30, -60}, {-120, -60}, {-100, -100}, {-40, -40}, {-39, -60}, {-101, -60}};
    for (const auto& c : levels) {
        SCOPED_TRACE(c.stored);
        s.SetMinKorrSpl(c.stored);
        EXPECT_EQ(s.GetMinKorrSpl(), c.read);
    }
    EXPECT_FALSE(s.SetMinKorrSpl(-101));

    EXPECT_FALSE(s.GetMusicKorr());
    s.SetMusicKorr(true);
    EXPECT_TRUE(s.GetMusicKorr());
    EXPECT_EQ(+s.GetHeader().theData.options, 1u);
    s.SetIsValCont(true);
    EXPECT_EQ(+s.GetHeader().theData.statusInfo, 2);
}

TEST_F(StoreTest, ReferenceMicrophoneCalibration) {
    TDaten s;
    EXPECT_EQ(s.GetVMicCalVal(), 130.0);
    s.SetVMicCal(92.5);
    EXPECT_EQ(s.GetVMicCalVal(), 92.5);
    EXPECT_EQ(s.GetVMicCalDate(), CorrectedNow());
}

TEST_F(StoreTest, CorrectionValuesAndTimes) {
    TDaten s;
    s.SetKorrVal(kWeightingA, 2.5);
    s.SetKorrVal(kKorrMeasurement, 9.0);  // not a correction value: ignored
    s.SetKorrTime(kKorrMeasurement, 45000.5);
    EXPECT_EQ(s.GetKorr(kWeightingA), 2.5);
    EXPECT_EQ(s.GetKorr(kKorrMeasurement), -333.0);
    EXPECT_EQ(s.GetKorr(3), -333.0);
    EXPECT_EQ(s.GetKorrTime(kKorrMeasurement), 45000.5);
    EXPECT_EQ(s.GetKorrTime(3), 0.0);
    s.SetKorrVal(kWeightingC, std::nan(""));
    EXPECT_EQ(s.GetKorr(kWeightingC), -333.0);
    s.SetKorrVal(kWeightingZ, std::numeric_limits<double>::infinity());
    EXPECT_EQ(s.GetKorr(kWeightingZ), -333.0);
}

TEST_F(StoreTest, FilterStatusForTheProtocol) {
    TDaten s;
    for (int32_t q : {kQuantityLeq, kQuantityLeqK, kQuantityPeak}) {
        s.SetFilter(q, kWeightingA);
    }
    s.SetProtStatus(0, 0, 2);
    TFilterStatus st = s.GetFilterStatus();
    EXPECT_TRUE(st.useA);
    EXPECT_FALSE(st.useC || st.useF);
    EXPECT_TRUE(st.forceA);
    EXPECT_FALSE(st.forceC || st.forceF);

    s.SetFilter(kQuantityPeak, kWeightingC);
    st = s.GetFilterStatus();
    EXPECT_TRUE(st.useA && st.useC);
    EXPECT_TRUE(st.forceC);
    EXPECT_FALSE(st.forceA);

    s.SetFilter(kQuantityLeqK, kWeightingZ);
    s.SetProtStatus(1, 2, 0);
    st = s.GetFilterStatus();
    EXPECT_TRUE(st.useF);
    EXPECT_TRUE(st.forceF);
    EXPECT_FALSE(st.forceA);

    // All three correction times equal (times of day compared): one location.
    EXPECT_EQ(st.timeCount, 1);
    EXPECT_TRUE(st.af && st.ac && st.cf);
    s.SetKorrTime(kWeightingA, 45000.25);
    s.SetKorrTime(kWeightingC, 45003.25);  // another day, same time of day
    s.SetKorrTime(kWeightingZ, 45000.75);
    st = s.GetFilterStatus();
    EXPECT_TRUE(st.ac);
    EXPECT_FALSE(st.af || st.cf);
    EXPECT_EQ(st.timeCount, 2);
}

TEST_F(StoreTest, CorrectionLocations) {
    TDaten s;
    s.SetKorrTime(kWeightingA, 45000.25);
    s.SetKorrTime(kWeightingC, 45000.50);
    s.SetKorrTime(kWeightingZ, 45000.75);
    EXPECT_EQ(s.GetNumDifLoc(), 3);
    EXPECT_EQ(s.GetKorrPattern(1), 1);
    EXPECT_EQ(s.GetKorrPattern(2), 6);
    EXPECT_EQ(s.GetKorrPattern(3), 4);
    EXPECT_EQ(s.GetKorrPattern(4), 0);
    EXPECT_EQ(s.GetLastKorrId(), kWeightingZ);

    s.SetKorrTime(kWeightingZ, 45000.25);  // Z measured with A
    EXPECT_EQ(s.GetNumDifLoc(), 2);
    EXPECT_EQ(s.GetKorrPattern(1), 5);
    EXPECT_EQ(s.GetKorrPattern(2), 2);
    EXPECT_EQ(s.GetKorrPattern(3), 0);
    EXPECT_EQ(s.GetLastKorrId(), kWeightingC);

    s.SetKorrTime(kWeightingC, 45000.25);
    s.SetKorrTime(kWeightingZ, 45000.10);  // A and C equal, Z earlier
    s.SetKorrText(kWeightingA, QStringLiteral("Reihe 5"));
    EXPECT_EQ(s.GetLastKorrId(), kWeightingA);
    EXPECT_EQ(s.GetLastKorrText(), QStringLiteral("Reihe 5"));
    EXPECT_EQ(s.GetKorrPattern(2), 4);

    s.SetKorrTime(kWeightingZ, 45000.25);
    EXPECT_EQ(s.GetNumDifLoc(), 1);
    EXPECT_EQ(s.GetKorrPattern(2), 0);
}

TEST_F(StoreTest, LabelsOfTheThreeQuantities) {
    TDaten s;
    EXPECT_EQ(s.GetLEQLabel(2), QStringLiteral("LAeq30min (Fixed)"));
    EXPECT_EQ(s.GetLEQKLabel(2), QStringLiteral("LAeq10s"));
    EXPECT_EQ(s.GetPeakLabel(), QStringLiteral("LCimpulse"));
    s.SetLEQDauer(-2);
    EXPECT_EQ(s.GetLEQLabel(2), QStringLiteral("LAeq of the whole measurement"));
    s.SetLEQDauer(-1800);
    s.SetFilter(kQuantityLeq, kWeightingC);
    EXPECT_EQ(s.GetLEQLabel(2), QStringLiteral("LCeq30min (Moving)"));
    s.SetPeakWerte(2);
    EXPECT_EQ(s.GetPeakLabel(), QStringLiteral("LCpeak"));
}

// ---------------------------------------------------------------------------
// One writer, several readers
// ---------------------------------------------------------------------------

TEST(MeasurementStoreConcurrent, ReadersSeeConsistentStatesWhileOneThreadWrites) {
    language = 2;
    TDaten store;
    constexpr int32_t kValues = 1500;
    std::atomic<bool> writing{true};
    std::atomic<int> faults{0};

    std::thread writer([&] {
        try {
            for (int32_t i = 0; i < kValues; ++i) {
                store.AddWert(Value(i));
                if (i % 10 == 0) {
                    store.AddBlock(Block(i / 10 + 1, QStringLiteral("block %1").arg(i)));
                }
                if (i % 25 == 0) {
                    store.AddSms(QStringLiteral("event %1").arg(i));
                }
                store.SetLEQmax(i, i);  // value and time change together
                store.SetMaxLEQ(60 + i % 60);
                store.SetFilter(kQuantityLeq, i % 2 == 0 ? kWeightingA : kWeightingC);
                store.SetVeranstaltung(QStringLiteral("run %1").arg(i));
                store.SetNKS(i % 4);
            }
        } catch (...) {
            ++faults;
        }
        writing = false;
    });

    auto reader = [&](bool copies) {
        try {
            TDaten copy;
            do {
                const int32_t n = store.GetWerteAnzahl();
                if (n > 0 && store.GetWert(n - 1).id != n - 1) {
                    ++faults;
                }
                const TMaxInfo m = store.GetMaxData();
                if (m.maxLeqVal != m.maxLeqTime) {
                    ++faults;
                }
                const TsaveItHeader13 h = store.GetHeader();
                if (h.theData.LEQMaxVal != h.theData.LEQMaxTime) {
                    ++faults;
                }
                if (store.GetRealLimit(kQuantityLeq) < 60.0 || store.GetLEQLabel(2).isEmpty()) {
                    ++faults;
                }
                store.GetFilterStatus();
                store.GetStopTime();
                store.GetVeranstaltung();
                TBlockDaten8 block;
                store.GetBlock(store.GetNumBlocks() - 1, block);
                if (copies) {
                    store.CopyTo(copy);
                    const int32_t copied = copy.GetWerteAnzahl();
                    if (copied > 0 && copy.GetWert(copied - 1).id != copied - 1) {
                        ++faults;
                    }
                    if (copy.GetSmsCount() > 0 && copy.GetSms(copy.GetSmsCount() - 1).meldung.isEmpty()) {
                        ++faults;
                    }
                }
            } while (writing);
        } catch (...) {
            ++faults;
        }
    };
    std::vector<std::thread> readers;
    readers.emplace_back(reader, true);
    readers.emplace_back(reader, false);
    readers.emplace_back(reader, false);
    writer.join();
    for (std::thread& r : readers) {
        r.join();
    }

    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(store.GetWerteAnzahl(), kValues);
    EXPECT_EQ(store.GetNumBlocks(), kValues / 10);
    EXPECT_EQ(store.GetSmsCount(), kValues / 25);
    EXPECT_EQ(store.GetClipCount(), kValues);  // 0, 1, 2 repeating
}

}  // namespace

// Measurement files of the older versions 2 to 5 and 7 to 13, written by the
// fixture generator byte by byte, loaded through the measurement-file loader
// and, where a single reader rule is at stake, read directly.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "platform/user_dialogs.h"
#include "store/header_words.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "tests/store/measurement_file_fixture.h"
#include "tests/store/old_file_fixtures.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using namespace old_files;

struct ListSizes {
    int values = 0;
    int blocks = 0;
    int messages = 0;
    bool operator==(const ListSizes&) const = default;
};

// The lists themselves, not the header's counts of them.
ListSizes ListsOf(const TDaten& s) {
    ListSizes l;
    while (s.GetWert(l.values).id != -1) ++l.values;
    for (;;) {
        TBlockDaten8 probe;
        probe.id = -99;
        s.GetBlock(l.blocks, probe);
        if (probe.id == -99) break;
        ++l.blocks;
    }
    while (s.GetSms(l.messages).meldung != QStringLiteral("Invalid Id: %1").arg(l.messages)) ++l.messages;
    return l;
}

// What a fresh store holds after the loader's header validation.
TSaveData13 FreshNumbers() {
    TDaten fresh;
    fresh.ValidateHeader();
    return fresh.GetHeader().theData;
}
TsaveItHeader13 FreshHeader() { return TDaten().GetHeader(); }

bool Renumbered(int version) { return version <= 10; }
bool HasMessages(int version) { return version == 8 || version == 9 || version >= 12; }

// Everything a full load of the standard fixture must give.
void ExpectStandardFixture(const TDaten& s, int version) {
    SCOPED_TRACE(testing::Message() << "version " << version);
    const TsaveItHeader13 h = s.GetHeader();
    const TSaveData13& d = h.theData;
    const TSaveData13 fresh = FreshNumbers();
    const TsaveItHeader13 freshTexts = FreshHeader();
    const bool short29 = version <= 5;    // versions with linear peaks and short records
    const bool early = version <= 3;
    const bool streamTexts = version >= 10;

    // Texts, umlauts and multi-line joins included.
    EXPECT_EQ(h.Soundkarte, QStringLiteral("USB Audio"));
    EXPECT_EQ(h.Ort, ExpectedOrt());
    EXPECT_EQ(h.Plz, QStringLiteral("50667"));
    EXPECT_EQ(h.LocationText, ExpectedLocation());
    EXPECT_EQ(h.Adresse, QStringLiteral("Domplatz 1"));
    EXPECT_EQ(h.Veranstaltung, ExpectedVeranstaltung());
    EXPECT_EQ(h.Veranstalter, QStringLiteral("Stadt K\u00f6ln"));
    EXPECT_EQ(h.Verantwortlicher, QStringLiteral("M\u00fcller Akustik"));
    EXPECT_EQ(h.ZEITRAUM, QStringLiteral("18-23 Uhr"));
    EXPECT_EQ(h.KALTEXT, ExpectedKalText());
    EXPECT_EQ(h.textKorrIA, ExpectedKorrIA(version));
    EXPECT_EQ(h.KORRE, ExpectedKorrE());
    EXPECT_EQ(h.KORRCALC, QStringLiteral("Rechnung\r\nTeil 2"));
    EXPECT_EQ(h.LimitText, ExpectedLimitText());
    EXPECT_EQ(h.PAFIRMA, QStringLiteral("PA GmbH"));
    EXPECT_EQ(h.UNTERSCHREIB, ExpectedUnterschreib());
    EXPECT_EQ(h.PAKONTAKT, QStringLiteral("0221 123"));
    EXPECT_EQ(h.HINWEIS, ExpectedHinweis());
    EXPECT_EQ(h.PA, QStringLiteral("Line Array"));
    EXPECT_EQ(h.KORMAXPos, QStringLiteral("FOH"));
    EXPECT_EQ(h.KORMESSPos, QStringLiteral("B\u00fchnenrand"));
    EXPECT_EQ(h.myOwnName, QStringLiteral("messung.vtm"));
    EXPECT_EQ(h.KALOFF, streamTexts ? QStringLiteral("Pegelpr\u00fcfer") : ExpectedKalText());
    const QString verordnung = version <= 4   ? freshTexts.Verordnung
                               : version == 5 ? QStringLiteral("DIN 15905-5")
                                              : ExpectedVerordnung();
    EXPECT_EQ(h.Verordnung, verordnung);
    const QString korrIA = ExpectedKorrIA(version);
    EXPECT_EQ(h.textKorrIC, streamTexts ? QStringLiteral("C-Korrektur") : early || version == 8 ? QString() : korrIA);
    EXPECT_EQ(h.textKorrIF, streamTexts    ? QStringLiteral("Z-Korrektur")
                            : early        ? QString()
                            : version == 8 ? freshTexts.textKorrIF
                                           : korrIA);
    EXPECT_EQ(h.COPYKALFROM, early ? QString() : QStringLiteral("kal.vtm"));
    EXPECT_EQ(h.COPYKORFROM, early ? QString() : QStringLiteral("kor.vtm"));
    EXPECT_EQ(h.COPYDATAFROM, early ? QString() : QStringLiteral("daten.vtm"));

    // Numbers copied from the file.
    EXPECT_EQ(+d.start, kT0);
    EXPECT_EQ(+d.LIMITLEQ, 99);
    EXPECT_EQ(+d.LIMITPEAK, 135);
    EXPECT_EQ(+d.STOP, kT0 + 0.2);
    EXPECT_EQ(+d.KALTIME, kT0 - 0.01);
    EXPECT_EQ(+d.kalVal, 100.0);
    EXPECT_EQ(+d.korrTimeA, kT0 - 0.005);
    EXPECT_EQ(+d.korrA, 2.5);
    EXPECT_EQ(+d.korrC, 1.5);
    EXPECT_EQ(+d.KORRTYP, 1);
    EXPECT_EQ(+d.MAXVAL, 99.5);
    EXPECT_EQ(+d.WARNPEAK, 130);
    EXPECT_EQ(+d.WARNLEQ, 94);
    EXPECT_EQ(+d.INTERVAL, 60);
    EXPECT_EQ(+d.MODUSID, 0);
    EXPECT_EQ(+d.LEQMaxVal, 97.25);
    EXPECT_EQ(+d.LEQKMaxVal, 99.75);
    EXPECT_EQ(+d.LEQMaxTime, version == 2 ? kT0 + 0.1 : streamTexts && version != 12 ? kT0 + 0.1 : +fresh.LEQMaxTime);
    EXPECT_EQ(+d.GTOP, 120);
    EXPECT_EQ(+d.DAUERLEQ, 1800);
    EXPECT_EQ(+d.DAUERLEQKURZ, 10);
    EXPECT_EQ(+d.PEAKWERTE, 1680);
    EXPECT_EQ(+d.GRANGE, 90 | kCurveBits);

    // Derived and version-dependent values.
    const int32_t ownVersion = version == 10 || version == 11 || version == 13 ? version : 14;
    EXPECT_EQ(+d.Version, ownVersion);
    const double ref = version == 13 ? kFileRefLevel : -1.0;
    EXPECT_EQ(+d.kalRefSpl, ref);
    EXPECT_EQ(+d.offVRefSpl, ref);
    EXPECT_EQ(+d.offNRefSpl, ref);
    EXPECT_EQ(+d.PEAKMaxVal, short29 ? 101.5 : kPeakMaxLevel);  // 20 log10(1.0) + kalVal + korrC
    EXPECT_EQ(+d.korrTimeC, short29 ? 0.0 : streamTexts ? kT0 - 0.004 : kT0 - 0.005);
    EXPECT_EQ(+d.korrTimeZ, short29 ? 0.0 : streamTexts ? kT0 - 0.003 : kT0 - 0.005);
    EXPECT_EQ(+d.korrEMess, streamTexts ? kT0 - 0.006 : kT0 - 0.005);
    EXPECT_EQ(+d.offValVor, streamTexts ? 93.9 : 0.0);
    EXPECT_EQ(+d.offTimeNach, streamTexts ? kT0 + 0.21 : 0.0);
    EXPECT_EQ(+d.KORRF, streamTexts ? 0.5 : 0.0);
    EXPECT_EQ(+d.minSPLKorr, version <= 9 ? -60 : version <= 11 ? +fresh.minSPLKorr : -50);
    EXPECT_EQ(+d.COPYSTATE, early ? 0 : version == 5 ? +fresh.COPYSTATE : 5);
    EXPECT_EQ(+d.VTVERSION, version <= 4 ? 0 : kFileVtVersion);  // no program file in tests
    EXPECT_EQ(+d.CalTimeVMic, early ? 0.0 : kT0 - 1.0);
    EXPECT_EQ(+d.CalValVMic, early ? -200.0 : 94.1);
    EXPECT_EQ(+d.LEQ120, early ? 0.0 : version == 10 || version == 11 || version == 13 ? 92.5 : +fresh.LEQ120);
    EXPECT_EQ(+d.NachKomma, short29 ? 0 : 1);
    EXPECT_EQ(+d.MessDauerFree, short29 ? 0 : 120);
    EXPECT_EQ(+d.LEQFull, short29 ? 0.0 : 96.5);
    EXPECT_EQ(+d.NumSMS, HasMessages(version) ? 2 : 0);
    EXPECT_EQ(+d.LimitLeqK, version <= 4 ? +fresh.LimitLeqK : version <= 10 ? 99.0 : kFileLimitLeqK);
    EXPECT_EQ(+d.leqKWarn, version <= 4 ? +fresh.leqKWarn : version <= 12 ? 94u : kFileLeqKWarn);
    EXPECT_EQ(+d.PRECISION, version <= 4 ? +fresh.PRECISION : version <= 9 ? -1 : 1);
    EXPECT_EQ(+d.ProtokollStatus, version <= 4 ? +fresh.ProtokollStatus : version <= 7 ? 37 : 33);
    EXPECT_EQ(+d.KalGain, version <= 4 || version == 10 || version == 11 ? +fresh.KalGain : version <= 9 ? -200 : 3);
    EXPECT_EQ(+d.statusInfo, version == 8 || version == 9 ? 0 : version >= 12 ? 2 : +fresh.statusInfo);
    const int32_t weighting = early ? WithWeighting(WithWeighting(WithWeighting(fresh.GEWICHTUNG, kQuantityPeak,
                                                                                kWeightingC),
                                                                  kQuantityLeq, kWeightingA),
                                                    kQuantityLeqK, kWeightingA)
                              : streamTexts && version != 12 ? 0x112
                                                             : +fresh.GEWICHTUNG;
    EXPECT_EQ(+d.GEWICHTUNG, weighting);

    // Lists.
    EXPECT_EQ(s.GetNumBlocks(), 2);
    EXPECT_EQ(s.GetWerteAnzahl(), 3);
    EXPECT_EQ(ListsOf(s), (ListSizes{3, 2, HasMessages(version) ? 2 : 0}));
    for (int b = 0; b < 2; ++b) {
        TBlockDaten8 block;
        s.GetBlock(b, block);
        EXPECT_EQ(block.id, Renumbered(version) ? b + 1 : 17 + b);
        EXPECT_EQ(block.valDif, Renumbered(version) ? 0 : 3);
        EXPECT_EQ(+block.dBCMax, 121.5 + b);
        EXPECT_EQ(block.currentCount, 14400);
        EXPECT_EQ(+block.leq, 95.25 + b);
        EXPECT_EQ(+block.leqK, version >= 12 ? 97.0 + b : -1.0);
        EXPECT_EQ(+block.LeqKHighTime, version >= 12 ? kT0 + 0.002 : 0.0);
        EXPECT_EQ(+block.start, kT0 + b * 0.02);
        EXPECT_EQ(+block.next, kT0 + (b + 2) * 0.02);
        EXPECT_EQ(+block.PeakHighTime, kT0 + 0.003);
        EXPECT_EQ(block.clipCount, 3 * b);
        EXPECT_EQ(block.remarkStr, b == 1 ? ExpectedRemark() : QString());
    }
    for (int v = 0; v < 3; ++v) {
        const TSaveIT6 w = s.GetWert(v);
        EXPECT_EQ(w.id, short29 ? v + 1 : 7 + v);
        EXPECT_EQ(w.valDif, short29 ? 0 : 1);
        EXPECT_EQ(+w.TimeStamp, kT0 + (v + 1) * kMinute);
        EXPECT_EQ(w.clipCount, v);
        EXPECT_EQ(+w.Peak, 120.0 + v);
        EXPECT_EQ(+w.LeqK, 96.0 + v);
        EXPECT_EQ(+w.leq, 94.0 + v);
    }
    for (int m = 0; m < (HasMessages(version) ? 2 : 0); ++m) {
        const TSMS message = s.GetSms(m);
        EXPECT_EQ(message.zeitpunkt, kT0 + 0.01 * (m + 1));
        EXPECT_EQ(message.meldung, ExpectedMessage(m));
    }
}

class OldFileVersionsTest : public MeasurementFileFixture {
protected:
    QString FileOf(int version, const Content& c = {}) {
        const QString path = Path(QStringLiteral("v%1.vtm").arg(version));
        WriteAll(path, OldFile(version, c));
        return path;
    }
    // A store holding something else, so that a failed load that changes it shows.
    static void FillOther(TDaten& store) {
        store.SetVeranstaltung(QStringLiteral("before"));
        TSaveIT6 value;
        value.id = 0;
        value.TimeStamp = kT0;
        value.leq = 90.0;
        store.AddWert(value);
        store.AddSms(QStringLiteral("before"));
    }
};

TEST_F(OldFileVersionsTest, EveryVersionLoadsWholeAndAsksToConvert) {
    for (int version : kOldVersions) {
        const QString fn = FileOf(version);
        const QByteArray onDisk = ReadAll(fn);
        dialogs.ScriptMessage(platform::kMessageRight);  // "Cancel": keep the old file
        TDaten store;
        QString why;
        ASSERT_EQ(store.LoadFromFile(fn, kLoadEverything, &why), kLoadDone) << version << " " << why.toStdString();
        EXPECT_TRUE(store.Loaded());
        ExpectStandardFixture(store, version);
        EXPECT_EQ(store.IsCurrentVersion(), version <= 9 || version == 12) << version;
        const auto messages = dialogs.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().textId, 783);
        EXPECT_EQ(messages.back().leftCaptionId, 843);
        EXPECT_EQ(ReadAll(fn), onDisk);
    }
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

TEST_F(OldFileVersionsTest, HeaderOnlyReadsLeaveTheListsAsTheVersionSays) {
    for (int version : kOldVersions) {
        SCOPED_TRACE(testing::Message() << "version " << version);
        for (int32_t mode : {kLoadHeaderOnly, kLoadHeaderForImport}) {
            TDaten store;
            QString why;
            const int32_t result = store.LoadFromFile(FileOf(version), mode, &why);
            if (version == 3) {
                // Version 3 is read whole only; the store stays as it was.
                EXPECT_EQ(result, kLoadFailed);
                EXPECT_TRUE(why.contains(QStringLiteral("version 3"))) << why.toStdString();
                EXPECT_EQ(store.GetVeranstaltung(), QString());
                continue;
            }
            ASSERT_EQ(result, kLoadDone) << why.toStdString();
            EXPECT_FALSE(store.Loaded());
            EXPECT_EQ(store.GetVeranstaltung(), ExpectedVeranstaltung());
            EXPECT_EQ(ListsOf(store), ListSizes{});
            const bool keepsCounts = version == 10 || version == 11 || version == 13;
            EXPECT_EQ(store.GetNumBlocks(), keepsCounts ? 2 : 0);
            EXPECT_EQ(store.GetWerteAnzahl(), keepsCounts ? 3 : 0);
            EXPECT_EQ(store.GetSmsCount(), HasMessages(version) ? 2 : 0);
        }
    }
    EXPECT_TRUE(dialogs.messages().empty());  // no conversion question without the lists
}

// Reads fixture bytes straight into store with the given load mode.
int32_t ReadDirect(TDaten& store, QByteArray bytes, int32_t loadMode, int32_t version) {
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    stream.seek(bytes.size() / 2);  // the reader starts at the beginning whatever the position
    return store.ReadOldFormat(stream, loadMode, version);
}

TEST_F(OldFileVersionsTest, EdgeCasesOfTheReaders) {
    const TsaveItHeader13 defaults = FreshHeader();
    struct Case {
        const char* name;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"versions without a reader", [&] {
             for (int32_t version : {6, 14, 1, -5, 0, 15}) {
                 TDaten store;
                 FillOther(store);
                 EXPECT_EQ(ReadDirect(store, OldFile(9), kLoadEverything, version), 1) << version;
                 EXPECT_EQ(store.GetVeranstaltung(), defaults.Veranstaltung);
                 EXPECT_EQ(ListsOf(store), ListSizes{});
             }
         }},
        {"version 2 of 5000 bytes", [&] {
             TDaten store;
             FillOther(store);
             EXPECT_EQ(ReadDirect(store, OldFile(2).left(5000), kLoadEverything, 2), 1);
             EXPECT_EQ(ListsOf(store), ListSizes{});
         }},
        {"old peak codes", [&] {
             const std::pair<int32_t, int32_t> codes[] = {{0, kWeightingC}, {1, kWeightingA}, {7, kWeightingZ}};
             for (int32_t version : {2, 3}) {
                 for (const auto& [code, weighting] : codes) {
                     Content c;
                     c.oldPeakCode = code;
                     TDaten store;
                     ASSERT_EQ(ReadDirect(store, OldFile(version, c), kLoadEverything, version), 0);
                     EXPECT_EQ(store.GetFilter(kQuantityPeak), weighting) << version << " " << code;
                     EXPECT_EQ(store.GetFilter(kQuantityLeq), kWeightingA);
                     EXPECT_EQ(store.GetFilter(kQuantityLeqK), kWeightingA);
                 }
             }
         }},
        {"linear peak maxima", [&] {
             const std::pair<double, double> peaks[] = {{1.0, 101.5}, {0.5, 20.0 * std::log10(0.5) + 101.5},
                                                        {0.0, 0.0}, {-1.0, 0.0}};
             for (int32_t version : {2, 3, 4, 5}) {
                 for (const auto& [linear, level] : peaks) {
                     Content c;
                     c.linearPeak = linear;
                     TDaten store;
                     ASSERT_EQ(ReadDirect(store, OldFile(version, c), kLoadEverything, version), 0);
                     EXPECT_DOUBLE_EQ(store.GetHeader().theData.PEAKMaxVal, level) << version << " " << linear;
                 }
             }
             EXPECT_NEAR(20.0 * std::log10(0.5) + 101.5, 95.48, 0.01);
         }},
        {"regulation of version 5 by MODUSID", [&] {
             for (int32_t modus : {0, 1}) {
                 Content c;
                 c.modusId = modus;
                 TDaten store;
                 ASSERT_EQ(ReadDirect(store, OldFile(5, c), kLoadEverything, 5), 0);
                 EXPECT_EQ(store.GetVorschrift(), modus == 0 ? QStringLiteral("DIN 15905-5")
                                                             : QStringLiteral("User defined setting"));
             }
         }},
        {"negative WARNLEQ", [&] {
             for (int32_t version : {5, 7, 8, 9, 10, 11, 12}) {
                 Content c;
                 c.warnLeq = -1;
                 TDaten store;
                 ASSERT_EQ(ReadDirect(store, OldFile(version, c), kLoadEverything, version), 0) << version;
                 EXPECT_EQ(store.GetWarnLeqK(), 95) << version;
             }
         }},
        {"version 8 header only with NumSMS 3", [&] {
             Content c;
             c.numSms = 3;
             c.writtenSms = 3;
             TDaten store;
             ASSERT_EQ(ReadDirect(store, OldFile(8, c), kLoadHeaderOnly, 8), 0);
             EXPECT_EQ(store.GetSmsCount(), 3);
             EXPECT_EQ(ListsOf(store), ListSizes{});
         }},
        {"version 3 header only", [&] {
             TDaten store;
             EXPECT_EQ(ReadDirect(store, OldFile(3), kLoadHeaderOnly, 3), 1);
             EXPECT_EQ(ListsOf(store), ListSizes{});
         }},
        {"version 4 keeps LEQ120, the regulation and the weightings", [&] {
             TDaten store;
             store.SetLEQ120(88.5);
             store.SetVorschrift(QStringLiteral("Eigene Regel"));
             store.SetFilter(kQuantityPeak, kWeightingZ);
             store.SetFilter(kQuantityLeq, kWeightingC);
             ASSERT_EQ(ReadDirect(store, OldFile(4), kLoadEverything, 4), 0);
             EXPECT_EQ(store.GetLEQ120(), 88.5);
             EXPECT_EQ(store.GetVorschrift(), QStringLiteral("Eigene Regel"));
             EXPECT_EQ(store.GetFilter(kQuantityPeak), kWeightingZ);
             EXPECT_EQ(store.GetFilter(kQuantityLeq), kWeightingC);
         }},
        {"version 10 with NumBlock 0", [&] {
             Content c;
             c.numBlock = 0;
             c.writtenBlocks = 0;
             TDaten store;
             TBlockDaten8 old;
             old.id = 5;
             store.AddBlock(old);
             ASSERT_EQ(ReadDirect(store, OldFile(10, c), kLoadEverything, 10), 0);
             EXPECT_EQ(ListsOf(store), (ListSizes{3, 0, 0}));
         }},
        {"versions 12 and 13 compared", [&] {
             TDaten v12;
             TDaten v13;
             ASSERT_EQ(ReadDirect(v12, OldFile(12), kLoadEverything, 12), 0);
             ASSERT_EQ(ReadDirect(v13, OldFile(13), kLoadEverything, 13), 0);
             const TSaveData13 a = v12.GetHeader().theData;
             const TSaveData13 b = v13.GetHeader().theData;
             EXPECT_EQ(+a.Version, 14);
             EXPECT_EQ(+b.Version, 13);
             EXPECT_EQ(+a.kalRefSpl, -1.0);
             EXPECT_EQ(+b.kalRefSpl, kFileRefLevel);
             // The fields both carry agree.
             EXPECT_EQ(+a.korrTimeZ, +b.korrTimeZ);
             EXPECT_EQ(+a.KORRF, +b.KORRF);
             EXPECT_EQ(+a.PEAKMaxVal, +b.PEAKMaxVal);
             EXPECT_EQ(+a.VTVERSION, +b.VTVERSION);
             EXPECT_EQ(+a.minSPLKorr, +b.minSPLKorr);
             EXPECT_EQ(+a.LimitLeqK, +b.LimitLeqK);
             EXPECT_EQ(v12.GetHeader().KALOFF, v13.GetHeader().KALOFF);
             EXPECT_EQ(ListsOf(v12), ListsOf(v13));
             // Version 12 header only: list counts 0, messages counted.
             TDaten header12;
             ASSERT_EQ(ReadDirect(header12, OldFile(12), kLoadHeaderOnly, 12), 0);
             EXPECT_EQ(header12.GetNumBlocks(), 0);
             EXPECT_EQ(header12.GetSmsCount(), 2);
         }},
        {"cut inside a 192-byte block", [&] {
             for (int32_t version : {12, 13}) {
                 const QByteArray whole = OldFile(version);
                 const qint64 blocksStart = whole.size() - 2 * 192 - 3 * 44 -
                                            2 * (8 + 4 + 2 * static_cast<qint64>(ExpectedMessage(0).size())) -
                                            (2 * ExpectedMessage(1).size() - 2 * ExpectedMessage(0).size());
                 TDaten store;
                 EXPECT_EQ(ReadDirect(store, whole.left(blocksStart + 192 + 100), kLoadEverything, version), 1);
                 EXPECT_EQ(ListsOf(store), ListSizes{});
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

TEST_F(OldFileVersionsTest, EncipheredOldFilesOpenWithTheirPassword) {
    for (int version : {9, 13}) {
        SCOPED_TRACE(testing::Message() << "version " << version);
        const QString fn = Path(QStringLiteral("secret%1.vtm").arg(version));
        const QByteArray sealed = EncipherFileImage(OldFile(version), QStringLiteral("geheim"));
        WriteAll(fn, sealed);

        // A wrong password retries; the right one opens it.
        dialogs.ScriptPassword(QStringLiteral("falsch"));
        dialogs.ScriptMessage(platform::kMessageRight);  // "Repeat"
        dialogs.ScriptPassword(QStringLiteral("geheim"));
        dialogs.ScriptMessage(platform::kMessageRight);  // no conversion
        TDaten store;
        ASSERT_EQ(store.LoadFromFile(fn, kLoadEverything), kLoadDone);
        ExpectStandardFixture(store, version);
        EXPECT_EQ(dialogs.messages().at(0).textId, 999);
        EXPECT_EQ(dialogs.messages().at(1).textId, 783);

        // Header only with the prompt, and without it.
        dialogs.ScriptPassword(QStringLiteral("geheim"));
        TDaten header;
        ASSERT_EQ(header.LoadFromFile(fn, kLoadHeaderForImport), kLoadDone);
        EXPECT_EQ(header.GetORT(), ExpectedOrt());
        QString why;
        EXPECT_EQ(header.LoadFromFile(fn, kLoadHeaderOnly, &why), kLoadFailed);
        EXPECT_TRUE(why.contains(QStringLiteral("enciphered"))) << why.toStdString();
        EXPECT_EQ(header.GetORT(), ExpectedOrt());

        // Cancel gives 2 and changes nothing.
        const QByteArray before = Snapshot(store);
        dialogs.ScriptPasswordCancel();
        EXPECT_EQ(store.LoadFromFile(fn, kLoadEverything), kLoadCancelled);
        EXPECT_EQ(Snapshot(store), before);
        EXPECT_EQ(ReadAll(fn), sealed);
    }
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
    EXPECT_EQ(dialogs.pendingCount(), 0);
}

TEST_F(OldFileVersionsTest, SaveConvertsEveryVersionToAFileThatLoadsBackTheSame) {
    for (int version : kOldVersions) {
        for (const bool enciphered : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << (enciphered ? " enciphered" : ""));
            const QString fn = Path(QStringLiteral("convert%1.vtm").arg(version));
            const QString password = enciphered ? QStringLiteral("geheim") : QString();
            WriteAll(fn, enciphered ? EncipherFileImage(OldFile(version), password) : OldFile(version));
            if (enciphered) {
                dialogs.ScriptPassword(password);
            }
            dialogs.ScriptMessage(platform::kMessageLeft);  // "Save"
            TDaten converted;
            ASSERT_EQ(converted.LoadFromFile(fn, kLoadEverything), kLoadDone);
            ASSERT_FALSE(dialogs.messages().empty());
            EXPECT_EQ(dialogs.messages().back().textId, 783);
            EXPECT_TRUE(converted.IsCurrentVersion());

            QByteArray saved = ReadAll(fn);
            EXPECT_EQ(IsEncipheredFile(saved), enciphered);
            if (enciphered) {
                ASSERT_TRUE(DecipherFileImage(saved, password));
            }
            EXPECT_EQ(qFromLittleEndian<int32_t>(saved.constData()), 14);
            EXPECT_EQ(saved, Snapshot(converted));

            if (enciphered) {
                dialogs.ScriptPassword(password);
            }
            TDaten back;
            ASSERT_EQ(back.LoadFromFile(fn, kLoadEverything), kLoadDone);
            EXPECT_EQ(Snapshot(back), saved);
            EXPECT_EQ(back.GetHeader().HINWEIS, ExpectedHinweis());
            EXPECT_EQ(ListsOf(back), (ListSizes{3, 2, HasMessages(version) ? 2 : 0}));
        }
    }
    EXPECT_EQ(dialogs.pendingCount(), 0);
}

// Where the sections of a fixture begin: header, blocks, values, messages, end.
std::vector<qint64> SectionBoundaries(int version) {
    const QByteArray whole = OldFile(version);
    Content noLists;
    noLists.writtenBlocks = noLists.writtenWerte = noLists.writtenSms = 0;
    const qint64 header = OldFile(version, noLists).size();
    Content blocksOnly = noLists;
    blocksOnly.writtenBlocks = 2;
    const qint64 blocks = OldFile(version, blocksOnly).size();
    Content withValues = blocksOnly;
    withValues.writtenWerte = 3;
    const qint64 values = OldFile(version, withValues).size();
    return {0, 4, header, blocks, values, whole.size()};
}

TEST_F(OldFileVersionsTest, DamagedFilesFailAndChangeNothing) {
    struct Damage {
        QString name;
        QByteArray bytes;
        int32_t loadModeFails;  // 1: only the full load fails; 2: every load fails
    };
    auto setI32 = [](QByteArray f, qint64 at, int32_t v) {
        qToLittleEndian(v, f.data() + at);
        return f;
    };
    for (int version : kOldVersions) {
        SCOPED_TRACE(testing::Message() << "version " << version);
        const QByteArray good = OldFile(version);
        const std::vector<qint64> at = SectionBoundaries(version);
        std::vector<Damage> cases;
        for (size_t i = 1; i + 1 < at.size(); ++i) {
            if (at[i] == at[i + 1]) continue;  // a section the version does not have
            cases.push_back({QStringLiteral("cut at boundary %1").arg(i), good.left(at[i]), 2});
            cases.push_back({QStringLiteral("cut inside section %1").arg(i), good.left((at[i] + at[i + 1]) / 2), 2});
        }
        cases.push_back({QStringLiteral("last byte missing"), good.left(good.size() - 1), 2});
        const bool old29 = version <= 9;
        const qint64 numBlockAt = old29 ? LayoutOf(version).numBlock : version == 12 ? 248 : 272;
        const qint64 numWerteAt = numBlockAt + 4;
        cases.push_back({QStringLiteral("negative block count"), setI32(good, numBlockAt, -1), 2});
        cases.push_back({QStringLiteral("negative value count"), setI32(good, numWerteAt, -3), 2});
        cases.push_back({QStringLiteral("block count beyond the file"), setI32(good, numBlockAt, 0x7FFFFFFF), 2});
        cases.push_back({QStringLiteral("value count beyond the file"), setI32(good, numWerteAt, 4), 2});
        if (HasMessages(version)) {
            const qint64 numSmsAt = old29 ? LayoutOf(version).numSms : version == 12 ? 320 : 344;
            cases.push_back({QStringLiteral("negative message count"), setI32(good, numSmsAt, -2), 2});
            cases.push_back({QStringLiteral("message count beyond the file"), setI32(good, numSmsAt, 3), 2});
        }
        if (version >= 10) {
            cases.push_back({QStringLiteral("damaged text"), setI32(good, version == 13 ? 368 : 344, 2502), 2});
        }
        for (const Damage& c : cases) {
            SCOPED_TRACE(c.name.toStdString());
            WriteAll(Path("damaged.vtm"), c.bytes);
            TDaten store;
            FillOther(store);
            const QByteArray before = Snapshot(store);
            for (int32_t mode : {kLoadEverything, kLoadHeaderOnly}) {
                const bool fails = mode == kLoadEverything || c.loadModeFails == 2;
                if (version == 3 && mode != kLoadEverything) continue;  // fails anyway
                dialogs.ScriptMessage(platform::kMessageRight);  // "Cancel" at the reset question
                QString why;
                const int32_t result = store.LoadFromFile(Path("damaged.vtm"), mode, &why);
                EXPECT_EQ(result, fails ? kLoadFailed : kLoadDone) << mode;
                if (fails) {
                    EXPECT_EQ(Snapshot(store), before) << mode;
                    EXPECT_TRUE(why.contains(QStringLiteral("version %1").arg(version))) << why.toStdString();
                }
            }
            const auto asked = dialogs.messages();
            ASSERT_FALSE(asked.empty());
            EXPECT_EQ(asked.back().textId, 784);
            EXPECT_TRUE(asked.back().text.contains(QStringLiteral("version %1").arg(version)))
                << asked.back().text.toStdString();
            EXPECT_EQ(ReadAll(Path("damaged.vtm")), c.bytes);
            DropUnusedAnswers();
        }
    }
}

// A length byte of 255 in a room of 61 bytes is cut to the room, in a header
// and in records at the end of a file; the room's unused bytes are filled, so
// a read beyond the room would show.
TEST_F(OldFileVersionsTest, ALengthByteBeyondItsRoomIsCutToTheRoom) {
    auto fillRoom = [](QByteArray& f, qint64 at, int room, char fill) {
        const int used = 1 + static_cast<unsigned char>(f[at]);
        for (int i = used; i < room; ++i) f[at + i] = fill;
        f[at] = static_cast<char>(255);
    };
    QByteArray v9 = OldFile(9);
    fillRoom(v9, LayoutOf(9).ort, 61, 'x');
    fillRoom(v9, v9.size() - 112 + 8, 104, 'y');  // the last message
    TDaten store;
    ASSERT_EQ(ReadDirect(store, v9, kLoadEverything, 9), 0);
    EXPECT_EQ(store.GetORT(), ExpectedOrt() + QString(56, QLatin1Char('x')));
    EXPECT_EQ(store.GetPLZ(), QStringLiteral("50667"));
    EXPECT_EQ(store.GetSms(1).meldung, ExpectedMessage(1) + QString(103 - 23, QLatin1Char('y')));

    QByteArray v13 = OldFile(13);
    const qint64 lastBlockRemark = v13.size() - 2 * (8 + 4) - 2 * (5 + 23) - 3 * 44 - 192 + 88;
    ASSERT_EQ(v13[lastBlockRemark], static_cast<char>(ExpectedRemark().size()));
    fillRoom(v13, lastBlockRemark, 104, 'z');
    TDaten store13;
    ASSERT_EQ(ReadDirect(store13, v13, kLoadEverything, 13), 0);
    TBlockDaten8 block;
    store13.GetBlock(1, block);
    EXPECT_EQ(block.remarkStr, ExpectedRemark() + QString(103 - 16, QLatin1Char('z')));
}

// Seeded random byte changes: whatever the change, a result of 0 or 1, no
// read beyond the file (the sanitizer stages watch), and the store unchanged
// when the load fails.
TEST_F(OldFileVersionsTest, RandomByteChangesGiveAResultAndChangeNothingOnFailure) {
    std::mt19937 random(25);
    for (int version : kOldVersions) {
        SCOPED_TRACE(testing::Message() << "version " << version);
        const QByteArray good = OldFile(version);
        std::uniform_int_distribution<int> position(0, static_cast<int>(good.size()) - 1);
        std::uniform_int_distribution<int> byte(0, 255);
        std::uniform_int_distribution<int> changes(1, 8);
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = good;
            for (int n = changes(random); n > 0; --n) {
                damaged[position(random)] = static_cast<char>(byte(random));
            }
            damaged[0] = good[0];  // keep the version, so the reader under test runs
            QBuffer stream(&damaged);
            stream.open(QIODevice::ReadOnly);
            TDaten scratch;
            const int32_t direct = scratch.ReadOldFormat(stream, round % 2 == 0 ? kLoadEverything : kLoadHeaderOnly,
                                                         version);
            ASSERT_TRUE(direct == 0 || direct == 1) << round;
            if (round % 30 == 0) {
                WriteAll(Path("random.vtm"), damaged);
                TDaten store;
                FillOther(store);
                const QByteArray before = Snapshot(store);
                const int32_t loaded = store.LoadFromFile(Path("random.vtm"), kLoadHeaderOnly);
                ASSERT_TRUE(loaded == kLoadDone || loaded == kLoadFailed);
                if (loaded == kLoadFailed) {
                    EXPECT_EQ(Snapshot(store), before) << round;
                }
            }
        }
    }
}

}  // namespace

namespace {

// Short strings may carry blanks at their ends, and 25 full lines of hints
// are longer than a text of a version-14 file: the converted store holds
// what its saved file loads back as.
TEST_F(OldFileVersionsTest, ConvertedTextsAreWhatTheSavedFileLoadsBack) {
    Writer w;
    w.data = OldFile(9);
    const Layout29& l = LayoutOf(9);
    for (int i = 0; i < 25; ++i) {
        w.ShortAt(l.hinweis + i * 101, QByteArray(100, static_cast<char>('a' + i)));
    }
    w.ShortAt(l.ort, Cp("  K\xF6ln \t"));
    WriteAll(Path("long.vtm"), w.data);
    dialogs.ScriptMessage(platform::kMessageLeft);  // "Save"
    TDaten store;
    ASSERT_EQ(store.LoadFromFile(Path("long.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(store.GetORT(), ExpectedOrt());
    EXPECT_EQ(store.GetHinweisText().size(), 1250);
    EXPECT_TRUE(store.GetHinweisText().startsWith(QString(100, QLatin1Char('a')) + QStringLiteral("\r\nbbb")));

    TDaten back;
    ASSERT_EQ(back.LoadFromFile(Path("long.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(back.GetHeader().HINWEIS, store.GetHeader().HINWEIS);
    EXPECT_EQ(Snapshot(back), Snapshot(store));
}

}  // namespace

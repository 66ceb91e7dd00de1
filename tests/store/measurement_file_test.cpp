#include "store/measurement_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/user_dialogs.h"
#include "tests/store/measurement_file_fixture.h"
#include "store/measurement_store.h"
#include "store/password_encryption.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

// A file image put together field by field at the offsets of the file
// layout, independent of the record structs the program uses.
class Image {
public:
    QByteArray bytes;

    void I32(int32_t v) { Put(v); }
    void I64(int64_t v) { Put(v); }
    void F64(double v) { Put(v); }
    void Text(const QString& s) {
        I32(static_cast<int32_t>(s.size() * 2));
        for (QChar c : s) {
            bytes.append(static_cast<char>(c.unicode() & 0xFF));
            bytes.append(static_cast<char>(c.unicode() >> 8));
        }
    }
    void I32At(int at, int32_t v) { PutAt(at, v); }
    void I64At(int at, int64_t v) { PutAt(at, v); }
    void F64At(int at, double v) { PutAt(at, v); }

private:
    template <typename T>
    void Put(T v) {
        QByteArray raw(sizeof v, '\0');
        qToLittleEndian(v, raw.data());
        bytes.append(raw);
    }
    template <typename T>
    void PutAt(int at, T v) {
        qToLittleEndian(v, bytes.data() + at);
    }
};

constexpr double kT0 = 46000.75;  // 2025-12-09 18:00
constexpr double kMinute = 1.0 / 1440.0;

// The 29 texts in file order (KALOFF last).
QStringList FileTexts() {
    QStringList t;
    for (int i = 0; i < 29; ++i) {
        t << QString();
    }
    t[0] = QStringLiteral("USB Audio");          // Soundkarte
    t[1] = QStringLiteral("K\u00f6ln");          // Ort
    t[5] = QStringLiteral("Open Air 2026");      // Veranstaltung
    t[20] = QStringLiteral("Zeile 1\r\nZeile 2");  // HINWEIS
    t[24] = QStringLiteral("/data/openair.vtm");  // myOwnName
    t[28] = QStringLiteral("Calibrator CAL200");  // KALOFF
    return t;
}

// A version-14 file with 2 blocks, 3 values and writtenSms (up to 2)
// messages; the header claims numBlock, numWerte and numSms.
QByteArray SmallFile(int32_t numBlock = 2, int32_t numWerte = 3, int32_t numSms = 2, int32_t writtenSms = 2) {
    Image f;
    f.bytes = QByteArray(368, '\0');
    f.I32At(0, 14);
    f.I64At(4, 96 * 2 + 44 * 3 + 376);
    f.F64At(12, kT0);
    f.I32At(20, 0x112);  // peak C, Leq A, short-term Leq A
    f.I32At(24, 99);
    f.I32At(28, 134);
    f.F64At(32, kT0 + 0.125);
    f.F64At(40, 46000.5);  // KALTIME
    f.F64At(48, -12.5);    // kalVal
    f.F64At(56, 94.0);
    f.F64At(72, -1.0);
    f.F64At(80, 93.9);  // offValVor
    f.F64At(88, -1.0);
    f.I32At(96, 1);
    f.F64At(124, 46000.6);  // offTimeVor
    f.F64At(148, 1.5);      // korrA
    f.I32At(172, -1);
    f.F64At(176, 100.0);
    f.I32At(184, 128);
    f.I32At(188, 94);
    f.I32At(192, 60);  // INTERVAL
    f.I32At(196, 1);
    f.I32At(200, 2);
    f.F64At(204, 97.2);
    f.F64At(212, kT0 + 0.1);
    f.I32At(252, 100 | 0x700);
    f.I32At(256, 140);
    f.I32At(260, 1800);  // DAUERLEQ: fixed intervals
    f.I32At(264, 10);
    f.I32At(268, 1680);
    f.I32At(272, numBlock);
    f.I32At(276, numWerte);
    f.I64At(284, 0x0007000100020003LL);
    f.I32At(316, 1);
    f.I32At(320, 99);
    f.F64At(332, 100.0);
    f.I32At(340, 1 | 32);
    f.I32At(344, numSms);
    f.I32At(356, -60);
    f.I32At(360, 1);  // music-correction mode
    f.I32At(364, 95);

    for (const QString& t : FileTexts()) {
        f.Text(t);
    }
    for (int b = 0; b < 2; ++b) {
        f.I32(b + 1);            // id
        f.I32(0);                // valDif
        f.F64(121.5 + b);        // dBCMax
        f.I32(14400);            // currentCount
        f.F64(95.25 + b);        // leq
        f.F64(97.0 + b);         // leqK
        f.F64(kT0 + b * 0.02);   // start
        f.F64(kT0 + (b + 1) * 0.02);  // ende
        f.F64(kT0 + (b + 2) * 0.02);  // next
        f.F64(kT0 + 0.001);      // LeqHighTime
        f.F64(kT0 + 0.002);      // LeqKHighTime
        f.F64(kT0 + 0.003);      // PeakHighTime
        f.I32(3 * b);            // clipCount
        f.Text(b == 0 ? QString() : QStringLiteral("Abweichung 2 dB"));
    }
    for (int v = 0; v < 3; ++v) {
        f.I32(v);
        f.I32(0);
        f.F64(kT0 + (v + 1) * kMinute);
        f.I32(v);
        f.F64(120.0 + v);
        f.F64(96.0 + v);
        f.F64(94.0 + v);
    }
    const QStringList messages = {QStringLiteral("Start"), QStringLiteral("Grenzwert \u00fcberschritten")};
    for (int m = 0; m < writtenSms; ++m) {
        f.F64(kT0 + 0.01 * (m + 1));
        f.Text(messages[m]);
    }
    f.I64(255);
    return f.bytes;
}

class MeasurementFileTest : public MeasurementFileFixture {
protected:
    // A store holding the small file.
    void LoadSmall(TDaten& store) {
        WriteAll(Path("small.vtm"), SmallFile());
        ASSERT_EQ(store.LoadFromFile(Path("small.vtm"), kLoadEverything), kLoadDone);
    }
};

TEST_F(MeasurementFileTest, HandBuiltFileLoadsAndSavesToTheSameBytes) {
    const QByteArray file = SmallFile();
    WriteAll(Path("hand.vtm"), file);
    TDaten store;
    ASSERT_EQ(store.LoadFromFile(Path("hand.vtm"), kLoadEverything), kLoadDone);

    EXPECT_TRUE(store.Loaded());
    EXPECT_DOUBLE_EQ(store.GetStartTime(), kT0);
    EXPECT_EQ(store.GetMaxLEQ(), 99);
    EXPECT_EQ(store.GetMaxPeak(), 134);
    EXPECT_EQ(store.GetWarnLeqK(), 95);
    EXPECT_DOUBLE_EQ(store.GetCalVal(), -12.5);
    EXPECT_EQ(store.GetDrawInterval(), 60);
    EXPECT_EQ(store.GetFilter(kQuantityPeak), kWeightingC);
    EXPECT_EQ(store.GetFilter(kQuantityLeq), kWeightingA);
    EXPECT_EQ(store.GetVTVersion(), 0x0007000100020003LL);
    EXPECT_TRUE(store.GetMusicKorr());
    EXPECT_EQ(store.GetSoundCard(), QStringLiteral("USB Audio"));
    EXPECT_EQ(store.GetORT(), QStringLiteral("K\u00f6ln"));
    EXPECT_EQ(store.GetVeranstaltung(), QStringLiteral("Open Air 2026"));
    EXPECT_EQ(store.GetHinweisText(), QStringLiteral("Zeile 1\r\nZeile 2"));
    EXPECT_EQ(store.GetOffDeviceText(), QStringLiteral("Calibrator CAL200"));
    EXPECT_EQ(store.GetPLZ(), QString());

    ASSERT_EQ(store.GetWerteAnzahl(), 3);
    for (int v = 0; v < 3; ++v) {
        const TSaveIT6 w = store.GetWert(v);
        EXPECT_EQ(w.id, v);
        EXPECT_DOUBLE_EQ(w.TimeStamp, kT0 + (v + 1) * kMinute);
        EXPECT_EQ(w.clipCount, v);
        EXPECT_DOUBLE_EQ(w.Peak, 120.0 + v);
        EXPECT_DOUBLE_EQ(w.LeqK, 96.0 + v);
        EXPECT_DOUBLE_EQ(w.leq, 94.0 + v);
    }
    ASSERT_EQ(store.GetNumBlocks(), 2);
    TBlockDaten8 block;
    store.GetBlock(1, block);
    EXPECT_EQ(+block.id, 2);
    EXPECT_DOUBLE_EQ(+block.dBCMax, 122.5);
    EXPECT_EQ(+block.currentCount, 14400);
    EXPECT_DOUBLE_EQ(+block.leq, 96.25);
    EXPECT_DOUBLE_EQ(+block.next, kT0 + 0.06);
    EXPECT_DOUBLE_EQ(+block.PeakHighTime, kT0 + 0.003);
    EXPECT_EQ(+block.clipCount, 3);
    EXPECT_EQ(block.remarkStr, QStringLiteral("Abweichung 2 dB"));
    ASSERT_EQ(store.GetSmsCount(), 2);
    EXPECT_EQ(store.GetSms(1).meldung, QStringLiteral("Grenzwert \u00fcberschritten"));
    EXPECT_DOUBLE_EQ(store.GetSms(0).zeitpunkt, kT0 + 0.01);
    EXPECT_TRUE(dialogs.messages().empty());

    ASSERT_TRUE(store.SaveToFile(Path("again.vtm"), QString()));
    EXPECT_EQ(ReadAll(Path("again.vtm")), file);
}

TEST_F(MeasurementFileTest, HeaderOnlyLoadKeepsTheFileCountsAndNoLists) {
    WriteAll(Path("hand.vtm"), SmallFile());
    TDaten store;
    LoadSmall(store);
    ASSERT_EQ(store.LoadFromFile(Path("hand.vtm"), kLoadHeaderOnly), kLoadDone);
    EXPECT_FALSE(store.Loaded());
    EXPECT_EQ(store.GetWerteAnzahl(), 3);
    EXPECT_EQ(store.GetNumBlocks(), 2);
    EXPECT_EQ(store.GetWert(0).id, -1);
    EXPECT_EQ(store.GetVeranstaltung(), QStringLiteral("Open Air 2026"));
    TBlockDaten8 untouched;
    untouched.id = 77;
    store.GetBlock(0, untouched);
    EXPECT_EQ(+untouched.id, 77);
}

TEST_F(MeasurementFileTest, SaveSetsCountsDataSizeAndDropsBlocksOutsideIntervalMode) {
    TDaten store;
    store.SetLEQDauer(1800);
    for (int i = 0; i < 10; ++i) {
        TSaveIT6 v;
        v.id = i;
        v.leq = 90.0;
        store.AddWert(v);
    }
    for (int i = 1; i <= 3; ++i) {
        TBlockDaten8 b;
        b.id = i;
        store.AddBlock(b);
    }
    store.AddSms(QStringLiteral("one"));
    store.AddSms(QStringLiteral("two"));

    ASSERT_TRUE(store.SaveToFile(Path("interval.vtm"), QString()));
    QByteArray file = ReadAll(Path("interval.vtm"));
    EXPECT_EQ(qFromLittleEndian<int32_t>(file.constData() + 272), 3);
    EXPECT_EQ(qFromLittleEndian<int32_t>(file.constData() + 276), 10);
    EXPECT_EQ(qFromLittleEndian<int64_t>(file.constData() + 4), 1104);
    EXPECT_EQ(file.right(8), QByteArray::fromHex("FF00000000000000"));

    store.SetLEQDauer(-2);
    ASSERT_TRUE(store.SaveToFile(Path("whole.vtm"), QString()));
    file = ReadAll(Path("whole.vtm"));
    EXPECT_EQ(qFromLittleEndian<int32_t>(file.constData() + 272), 0);
    EXPECT_EQ(qFromLittleEndian<int64_t>(file.constData() + 4), 816);
    EXPECT_EQ(store.GetNumBlocks(), 0);
}

TEST_F(MeasurementFileTest, TextsUpToTheLimitRoundTripTrimmed) {
    TDaten store;
    const QString longest(1250, QChar(u'\u00e4'));
    store.SetVeranstaltung(longest);
    store.SetORT(QStringLiteral("  Berlin \t"));
    store.SetPLZ(QString());
    ASSERT_TRUE(store.SaveToFile(Path("texts.vtm"), QString()));
    TDaten back;
    ASSERT_EQ(back.LoadFromFile(Path("texts.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(back.GetVeranstaltung(), longest);
    EXPECT_EQ(back.GetORT(), QStringLiteral("Berlin"));
    EXPECT_EQ(back.GetPLZ(), QString());
}

TEST_F(MeasurementFileTest, EncipheredFileRoundTripsWithTheExactPassword) {
    TDaten store;
    LoadSmall(store);
    const QByteArray plain = Snapshot(store);

    ASSERT_TRUE(store.SaveToFile(Path("one.vtm"), QStringLiteral("x")));
    EXPECT_EQ(ReadAll(Path("one.vtm")), plain);

    ASSERT_TRUE(store.SaveToFile(Path("secret.vtm"), QStringLiteral("pw ")));
    const QByteArray sealed = ReadAll(Path("secret.vtm"));
    EXPECT_EQ(sealed.left(4), QByteArray::fromHex("9F978509"));
    EXPECT_EQ(sealed.size(), plain.size() + 8);

    QByteArray opened = sealed;
    EXPECT_FALSE(DecipherFileImage(opened, QStringLiteral("pw")));
    EXPECT_EQ(opened, sealed);
    ASSERT_TRUE(DecipherFileImage(opened, QStringLiteral("pw ")));
    EXPECT_EQ(opened, plain);

    dialogs.ScriptPassword(QStringLiteral("pw "));
    TDaten back;
    ASSERT_EQ(back.LoadFromFile(Path("secret.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(Snapshot(back), plain);
    ASSERT_EQ(dialogs.passwordRequests().size(), 1u);
    EXPECT_TRUE(dialogs.passwordRequests()[0].fileMode);
    EXPECT_EQ(dialogs.passwordRequests()[0].name, Path("secret.vtm"));

    // A header-only load for import asks too; one without the prompt refuses.
    dialogs.ScriptPassword(QStringLiteral("pw "));
    TDaten header;
    EXPECT_EQ(header.LoadFromFile(Path("secret.vtm"), kLoadHeaderForImport), kLoadDone);
    EXPECT_EQ(header.GetVeranstaltung(), QStringLiteral("Open Air 2026"));
    const QByteArray before = Snapshot(back);
    EXPECT_EQ(back.LoadFromFile(Path("secret.vtm"), kLoadHeaderOnly), kLoadFailed);
    EXPECT_EQ(Snapshot(back), before);
    EXPECT_EQ(dialogs.passwordRequests().size(), 2u);
}

TEST_F(MeasurementFileTest, WrongPasswordsRetryWithGrowingWaitsThenPromptSilently) {
    TDaten source;
    LoadSmall(source);
    ASSERT_TRUE(source.SaveToFile(Path("secret.vtm"), QStringLiteral("right")));

    for (int i = 0; i < 6; ++i) {
        dialogs.ScriptPassword(QStringLiteral("wrong"));
    }
    for (int i = 0; i < 5; ++i) {
        dialogs.ScriptMessage(platform::kMessageRight);  // "Repeat"
    }
    dialogs.ScriptPassword(QStringLiteral("right"));

    TDaten store;
    ASSERT_EQ(store.LoadFromFile(Path("secret.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(store.GetWerteAnzahl(), 3);
    EXPECT_EQ(dialogs.passwordRequests().size(), 7u);
    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].textId, 999);
    EXPECT_EQ(messages[0].text, QStringLiteral("The password is not correct for secret.vtm."));
    EXPECT_EQ(messages[0].header, QStringLiteral("File Encryption"));
    EXPECT_EQ(messages[0].leftCaptionId, 403);
    EXPECT_EQ(messages[0].rightCaptionId, 938);
    EXPECT_EQ(waits, (std::vector<int32_t>{2, 3, 4, 5}));
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
    EXPECT_EQ(dialogs.pendingCount(), 0);
}

TEST_F(MeasurementFileTest, CancelledPasswordLeavesTheStoreAsItWas) {
    TDaten source;
    LoadSmall(source);
    ASSERT_TRUE(source.SaveToFile(Path("secret.vtm"), QStringLiteral("right")));
    TDaten store;
    store.SetVeranstaltung(QStringLiteral("kept"));
    TSaveIT6 v;
    v.id = 5;
    store.AddWert(v);
    const QByteArray before = Snapshot(store);

    dialogs.ScriptPasswordCancel();
    EXPECT_EQ(store.LoadFromFile(Path("secret.vtm"), kLoadEverything), kLoadCancelled);
    EXPECT_EQ(Snapshot(store), before);

    dialogs.ScriptPassword(QStringLiteral("wrong"));
    dialogs.ScriptMessage(platform::kMessageLeft);  // "Cancel" in the retry message
    EXPECT_EQ(store.LoadFromFile(Path("secret.vtm"), kLoadEverything), kLoadCancelled);
    EXPECT_EQ(Snapshot(store), before);
    EXPECT_TRUE(waits.empty());
}

struct Damage {
    const char* name;
    std::function<QByteArray(QByteArray)> apply;
};

QByteArray SetI32(QByteArray f, int at, int32_t v) {
    qToLittleEndian(v, f.data() + at);
    return f;
}

TEST_F(MeasurementFileTest, TruncatedAndDamagedFilesAreRefusedAndChangeNothing) {
    const QByteArray good = SmallFile();
    const int textsEnd = static_cast<int>(good.indexOf(QByteArray("C\0a\0l\0i\0b\0r\0a\0t\0o\0r\0 \0C\0A\0L\0" "2\0" "0\0" "0\0", 34))) + 34;
    ASSERT_GT(textsEnd, 368);
    const int valuesStart = textsEnd + 2 * 92 + 30;  // the second block has a 15-character remark
    const std::vector<Damage> cases = {
        {"empty file", [](QByteArray) { return QByteArray(); }},
        {"three bytes", [](QByteArray f) { return f.left(3); }},
        {"inside the header record", [](QByteArray f) { return f.left(200); }},
        {"inside the texts", [&](QByteArray f) { return f.left(textsEnd - 5); }},
        {"inside a block", [&](QByteArray f) { return f.left(textsEnd + 50); }},
        {"inside the values", [&](QByteArray f) { return f.left(valuesStart + 44 + 20); }},
        {"inside a message", [](QByteArray f) { return f.left(f.size() - 12); }},
        {"without the terminator", [](QByteArray f) { return f.left(f.size() - 8); }},
        {"last byte missing", [](QByteArray f) { return f.left(f.size() - 1); }},
        {"damaged block remark", [&](QByteArray f) { return SetI32(f, textsEnd + 92 + 88, 3000); }},
        {"huge value count", [](QByteArray f) { return SetI32(f, 276, 0x7FFFFFFF); }},
        {"huge block count", [](QByteArray f) { return SetI32(f, 272, 0x40000000); }},
        {"negative message count", [](QByteArray f) { return SetI32(f, 344, -1); }},
        {"one value fewer than stored", [](QByteArray f) { return SetI32(f, 276, 2); }},
        {"text longer than allowed", [](QByteArray f) { return SetI32(f, 368, 2502); }},
        {"negative text length", [](QByteArray f) { return SetI32(f, 368, -4); }},
        {"wrong terminator", [](QByteArray f) { return SetI32(f, static_cast<int>(f.size()) - 8, 254); }},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray damaged = c.apply(good);
        WriteAll(Path("damaged.vtm"), damaged);
        TDaten store;
        LoadSmall(store);
        store.SetVeranstaltung(QStringLiteral("before"));
        const QByteArray before = Snapshot(store);
        for (int32_t mode : {kLoadEverything, kLoadHeaderOnly, kLoadHeaderForImport}) {
            dialogs.ScriptMessage(platform::kMessageRight);  // "Cancel" when the reset question comes
            QString why;
            EXPECT_EQ(store.LoadFromFile(Path("damaged.vtm"), mode, &why), kLoadFailed) << mode;
            EXPECT_FALSE(why.isEmpty());
            EXPECT_EQ(Snapshot(store), before) << mode;
            EXPECT_TRUE(store.Loaded());
        }
        EXPECT_EQ(ReadAll(Path("damaged.vtm")), damaged);
        DropUnusedAnswers();
    }
}

// Files of the earlier program can carry a stale message count (a header-only
// load followed by a save kept it): the messages present count.
TEST_F(MeasurementFileTest, AMessageCountThatDisagreesWithTheMessagesIsTakenFromTheFile) {
    struct Case {
        int32_t counted;
        int32_t written;
    };
    for (const Case c : {Case{1, 2}, Case{3, 2}, Case{4, 0}}) {
        SCOPED_TRACE(testing::Message() << c.counted << " counted, " << c.written << " written");
        WriteAll(Path("stale.vtm"), SmallFile(2, 3, c.counted, c.written));
        TDaten store;
        QString why;
        ASSERT_EQ(store.LoadFromFile(Path("stale.vtm"), kLoadEverything, &why), kLoadDone) << qPrintable(why);
        EXPECT_TRUE(why.contains(QStringLiteral("taken from the file"))) << qPrintable(why);
        ASSERT_EQ(store.GetSmsCount(), c.written);
        if (c.written == 2) {
            EXPECT_EQ(store.GetSms(1).meldung, QStringLiteral("Grenzwert \u00fcberschritten"));
        }
        EXPECT_EQ(store.GetWerteAnzahl(), 3);
        EXPECT_EQ(store.GetNumBlocks(), 2);
        // Saved again, the file says what it holds.
        const QByteArray saved = Snapshot(store);
        EXPECT_EQ(qFromLittleEndian<int32_t>(saved.constData() + 344), c.written);
        TDaten header;
        EXPECT_EQ(header.LoadFromFile(Path("stale.vtm"), kLoadHeaderOnly), kLoadDone);
    }
}

TEST_F(MeasurementFileTest, AFileLargerThanTheLargestMeasurementIsRefusedBeforeItIsRead) {
    // 48 h with a value every second and a message every second at the
    // longest text dominate; the bound is a few hundred megabytes.
    EXPECT_GT(kLargestMeasurementFileBytes, 400'000'000);
    EXPECT_LT(kLargestMeasurementFileBytes, 500'000'000);
    QFile big(Path("big.vtm"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_EQ(big.write(SmallFile()), SmallFile().size());
    ASSERT_TRUE(big.resize(kLargestMeasurementFileBytes + 1));  // sparse: nothing of it is on the disk
    big.close();
    TDaten store;
    LoadSmall(store);
    const QByteArray before = Snapshot(store);
    QString why;
    EXPECT_EQ(store.LoadFromFile(Path("big.vtm"), kLoadEverything, &why), kLoadFailed);
    EXPECT_TRUE(why.contains(QStringLiteral("largest measurement file"))) << qPrintable(why);
    EXPECT_EQ(Snapshot(store), before);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MeasurementFileTest, EncipheredFileCutShortIsRefused) {
    TDaten source;
    LoadSmall(source);
    ASSERT_TRUE(source.SaveToFile(Path("secret.vtm"), QStringLiteral("right")));
    for (int cut : {1, 3, 8, 20}) {
        SCOPED_TRACE(cut);
        WriteAll(Path("cut.vtm"), ReadAll(Path("secret.vtm")).chopped(cut));
        TDaten store;
        LoadSmall(store);
        const QByteArray before = Snapshot(store);
        dialogs.ScriptPassword(QStringLiteral("right"));
        dialogs.ScriptMessage(platform::kMessageRight);
        EXPECT_EQ(store.LoadFromFile(Path("cut.vtm"), kLoadEverything), kLoadFailed);
        EXPECT_EQ(Snapshot(store), before);
    }
}

TEST_F(MeasurementFileTest, UnknownVersionAsksToReset) {
    WriteAll(Path("v15.vtm"), SetI32(SmallFile(), 0, 15));
    TDaten store;
    LoadSmall(store);
    const QByteArray before = Snapshot(store);

    dialogs.ScriptMessage(platform::kMessageRight);  // Cancel
    EXPECT_EQ(store.LoadFromFile(Path("v15.vtm"), kLoadEverything), kLoadFailed);
    EXPECT_EQ(Snapshot(store), before);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].textId, 784);
    EXPECT_EQ(dialogs.messages()[0].header, QStringLiteral("v15.vtm"));
    EXPECT_EQ(dialogs.messages()[0].leftCaptionId, 1122);

    dialogs.ScriptMessage(platform::kMessageLeft);  // Reset
    EXPECT_EQ(store.LoadFromFile(Path("v15.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(store.GetWerteAnzahl(), 0);
    EXPECT_EQ(store.GetMaxLEQ(), 99);
    EXPECT_EQ(store.GetVeranstaltung(), QString());

    EXPECT_EQ(store.LoadFromFile(Path("v15.vtm"), kLoadHeaderOnly), kLoadFailed);
    EXPECT_EQ(dialogs.messages().size(), 2u);
}

TEST_F(MeasurementFileTest, ConvertedEncipheredFileIsSavedWithThePasswordThatOpenedIt) {
    SetOldFormatReaderForTests([](TDaten& scratch, QIODevice&, int32_t, int32_t version) {
        if (version != 12) {
            return 1;
        }
        scratch.SetVeranstaltung(QStringLiteral("converted"));
        TSaveIT6 v;
        v.id = 0;
        v.leq = 91.0;
        scratch.AddWert(v);
        return 0;
    });
    QByteArray old(400, '\0');
    qToLittleEndian<int32_t>(12, old.data());
    WriteAll(Path("old.vtm"), EncipherFileImage(old, QStringLiteral("geheim")));

    dialogs.ScriptPassword(QStringLiteral("geheim"));
    dialogs.ScriptMessage(platform::kMessageLeft);  // "Save"
    TDaten store;
    ASSERT_EQ(store.LoadFromFile(Path("old.vtm"), kLoadEverything), kLoadDone);
    EXPECT_TRUE(store.Loaded());
    EXPECT_EQ(dialogs.messages().at(0).textId, 783);

    QByteArray onDisk = ReadAll(Path("old.vtm"));
    ASSERT_TRUE(DecipherFileImage(onDisk, QStringLiteral("geheim")));
    EXPECT_EQ(qFromLittleEndian<int32_t>(onDisk.constData()), 14);
    EXPECT_EQ(onDisk, Snapshot(store));

    // Declined: the file stays as it was.
    WriteAll(Path("old2.vtm"), old);
    dialogs.ScriptMessage(platform::kMessageRight);
    TDaten other;
    ASSERT_EQ(other.LoadFromFile(Path("old2.vtm"), kLoadEverything), kLoadDone);
    EXPECT_EQ(ReadAll(Path("old2.vtm")), old);
}

TEST_F(MeasurementFileTest, MissingFileGivesTheDefaultHeader) {
    TDaten store;
    LoadSmall(store);
    EXPECT_EQ(store.LoadFromFile(Path("nothing.vtm"), kLoadEverything), kLoadFailed);
    EXPECT_FALSE(store.Loaded());
    EXPECT_EQ(store.GetMaxLEQ(), 99);
    EXPECT_EQ(store.GetMaxPeak(), 134);
    EXPECT_EQ(store.GetWerteAnzahl(), 0);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MeasurementFileTest, ReadOnlyFilesStayProtectedButTheOwnFileCanBeFinishedAgain) {
    TDaten store;
    LoadSmall(store);
    const QString own = Path("own.vtm");
    store.SetSaveName(own);
    store.EndMessung(QString(), true);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);

    store.SetVeranstaltung(QStringLiteral("with report"));
    store.EndMessung(QStringLiteral("pw"), true);
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_TRUE(IsEncipheredFile(ReadAll(own)));

    const QString other = Path("other.vtm");
    WriteAll(other, QByteArray("keep me"));
    ASSERT_EQ(::chmod(QFile::encodeName(other).constData(), 0444), 0);
    EXPECT_THROW(store.SaveToFile(other, QString()), FileWriteError);
    EXPECT_EQ(ReadAll(other), QByteArray("keep me"));

    EXPECT_THROW(store.SaveToFile(Path("no/such/folder/x.vtm"), QString()), FileWriteError);
}

// A finished measurement under the same name (read-only before this store
// ever wrote it) is never replaced, not even when it is the store's own
// save name; a new run forgets the mark of the one before.
TEST_F(MeasurementFileTest, OnlyTheReadOnlyMarkOfTheStoresOwnRunIsLifted) {
    const QString fixed = Path("fixed.vtm");
    WriteAll(fixed, QByteArray("last week's measurement"));
    ASSERT_EQ(::chmod(QFile::encodeName(fixed).constData(), 0444), 0);
    TDaten store;
    LoadSmall(store);
    store.SetSaveName(fixed);
    EXPECT_THROW(store.SaveToFile(fixed, QString()), FileWriteError);
    EXPECT_THROW(store.EndMessung(QString(), true), FileWriteError);
    EXPECT_EQ(ReadAll(fixed), QByteArray("last week's measurement"));

    const QString own = Path("own.vtm");
    store.SetSaveName(own);
    store.EndMessung(QString(), true);
    EXPECT_TRUE(store.SaveToFile(own, QString()));  // its own mark
    store.EndMessung(QString(), true);
    ASSERT_TRUE(QDir().mkpath(Path("backups")));
    ASSERT_TRUE(store.InitMessung(Path("backups")));
    store.SetSaveName(own);
    EXPECT_THROW(store.SaveToFile(own, QString()), FileWriteError);  // a new run's is not
}

// Readers on other threads see either the old or the new content, never a mix.
TEST_F(MeasurementFileTest, ConcurrentReadersSeeWholeLoads) {
    TDaten a;
    a.SetVeranstaltung(QStringLiteral("A"));
    for (int i = 0; i < 3; ++i) {
        TSaveIT6 v;
        v.id = i;
        a.AddWert(v);
    }
    ASSERT_TRUE(a.SaveToFile(Path("a.vtm"), QString()));
    TDaten b;
    b.SetVeranstaltung(QStringLiteral("B"));
    for (int i = 0; i < 7; ++i) {
        TSaveIT6 v;
        v.id = i;
        b.AddWert(v);
    }
    ASSERT_TRUE(b.SaveToFile(Path("b.vtm"), QString()));

    TDaten store;
    ASSERT_EQ(store.LoadFromFile(Path("a.vtm"), kLoadEverything), kLoadDone);
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};
    std::thread reader([&] {
        try {
            while (!done.load()) {
                const TsaveItHeader13 h = store.GetHeader();
                const bool isA = h.Veranstaltung == QStringLiteral("A") && h.theData.NumWerte == 3;
                const bool isB = h.Veranstaltung == QStringLiteral("B") && h.theData.NumWerte == 7;
                if (!isA && !isB) {
                    ++mixed;
                }
            }
        } catch (...) {
            ++mixed;
        }
    });
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(store.LoadFromFile(Path(i % 2 == 0 ? "b.vtm" : "a.vtm"), kLoadEverything), kLoadDone);
    }
    done = true;
    reader.join();
    EXPECT_EQ(mixed.load(), 0);
}

}  // namespace

#include "calibration/calibration_log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "ui_kit/text_table.h"

namespace {

QByteArray Int32(int32_t v) {
    QByteArray raw(4, '\0');
    qToLittleEndian(v, raw.data());
    return raw;
}

QByteArray Double(double v) {
    QByteArray raw(8, '\0');
    qToLittleEndian(v, raw.data());
    return raw;
}

QByteArray Utf16(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray Info(double zeit, double val, int32_t mode, double vol) {
    return Double(zeit) + Double(val) + Int32(mode) + Double(vol);
}

QByteArray Text(const QString& text) { return Int32(static_cast<int32_t>(text.size() * 2)) + Utf16(text); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class CalLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("CalLog.VTL"));
    TCalLog log;
};

TEST_F(CalLogTest, EmptyLogSavesMarkerAndZeroCount) {
    EXPECT_FALSE(log.LoadData(file));  // no file: nothing changes
    ASSERT_TRUE(log.SaveData(file));
    EXPECT_EQ(ReadAll(file), QByteArray::fromHex("0100000000000000"));
    EXPECT_TRUE(log.LoadData(file));
    EXPECT_EQ(log.NumEntries(), 0);
    EXPECT_TRUE(log.DamageReport().isEmpty());
}

TEST_F(CalLogTest, SaveLoadSaveIsByteExactAndKeepsEveryField) {
    const QString longText(kCalLogTextMax, QChar(u'x'));
    log.AddKal(117.03, QStringLiteral("Simulated Sine"), QStringLiteral("first"), QStringLiteral("Dev A"), 1, 65551,
               46000.25);
    log.AddOff(0.04, longText, QString(), QStringLiteral("Dev B"), 8, -12.5, 46001.5);
    log.AddOff(-0.3, QString(), QStringLiteral("after"), QString(), 16, 65551, 46002.75);
    ASSERT_TRUE(log.SaveData(file));
    const QByteArray first = ReadAll(file);

    TCalLog again;
    ASSERT_TRUE(again.LoadData(file));
    ASSERT_EQ(again.NumEntries(), 3);
    EXPECT_EQ(again.GetEntryDateTime(0), 46000.25);
    EXPECT_EQ(again.GetEntryVal(0), 117.03);
    EXPECT_EQ(again.GetEntryMode(1), 8);
    EXPECT_EQ(again.GetEntryVolume(1), -12.5);
    EXPECT_EQ(again.GetEntryCalStr(1), longText);
    EXPECT_EQ(again.GetEntryRemark(2), QStringLiteral("after"));
    EXPECT_EQ(again.GetEntryDevice(0), QStringLiteral("Dev A"));
    const QString second = dir.filePath(QStringLiteral("second.VTL"));
    ASSERT_TRUE(again.SaveData(second));
    EXPECT_EQ(ReadAll(second), first);
}

TEST_F(CalLogTest, TextsAreCappedOnEntrySoEveryFileReadsBack) {
    const QString tooLong(kCalLogTextMax + 1, QChar(u'r'));
    log.AddKal(94, tooLong, tooLong, tooLong, 1, 0, 0);
    log.SetEntryRemark(0, QStringLiteral("  ") + tooLong);
    EXPECT_EQ(log.GetEntryCalStr(0).size(), kCalLogTextMax);
    EXPECT_EQ(log.GetEntryRemark(0).size(), kCalLogTextMax);
    // A surrogate pair at the cut stays whole or goes whole.
    QString pairAtCut(kCalLogTextMax - 1, QChar(u'a'));
    pairAtCut += QString::fromUtf8("\xF0\x9F\x8E\xA4");
    EXPECT_EQ(CapCalLogText(pairAtCut).size(), kCalLogTextMax - 1);
}

TEST_F(CalLogTest, TextCountsOutsideTheRuleReadAsEmptyTexts) {
    for (int32_t count : {1, 2501}) {
        SCOPED_TRACE(count);
        // The damaged text's count is followed by as many bytes, as a writer
        // of a longer text would have left them.
        QByteArray file1 = Int32(1) + Int32(1) + Info(46000, 94, 1, 0) + Int32(count) + QByteArray(count, 'z') +
                           Text(QStringLiteral("remark")) + Text(QStringLiteral("dev"));
        WriteAll(file, file1);
        ASSERT_TRUE(log.LoadData(file));
        ASSERT_EQ(log.NumEntries(), 1);
        EXPECT_EQ(log.GetEntryCalStr(0), QString());
        EXPECT_EQ(log.GetEntryRemark(0), QStringLiteral("remark"));
        EXPECT_EQ(log.GetEntryDevice(0), QStringLiteral("dev"));
    }
}

TEST_F(CalLogTest, OldFormatIsReadAndWrittenBackInTheCurrentOne) {
    const QString remark = QStringLiteral(" old remark ");
    const QString calibrator = QStringLiteral("Cal 4231");
    const QByteArray old = Double(45000.5) + Double(93.8) + Int32(1) + Int32(calibrator.size() * 2) +
                           Int32(remark.size() * 2) + Utf16(remark) + Utf16(calibrator) + Double(45001.5) +
                           Double(0.2) + Int32(8) + Int32(0) + Int32(0);
    WriteAll(file, old);
    ASSERT_TRUE(log.LoadData(file));
    ASSERT_EQ(log.NumEntries(), 2);
    EXPECT_EQ(log.GetEntryRemark(0), remark);  // old texts are not trimmed
    EXPECT_EQ(log.GetEntryCalStr(0), calibrator);
    EXPECT_EQ(log.GetEntryDevice(1), QStringLiteral("---"));
    EXPECT_EQ(log.GetEntryVolume(0), -1.0);
    ASSERT_TRUE(log.SaveData(file));
    EXPECT_EQ(ReadAll(file).left(8), Int32(1) + Int32(2));
}

TEST_F(CalLogTest, Queries) {
    EXPECT_EQ(log.AddKal(94.0, {}, {}, QStringLiteral("A"), 1, 0, 1), 0.0);
    log.AddOff(0.3, {}, {}, QStringLiteral("a"), 8, 0, 2);
    log.AddOff(2, {}, {}, QStringLiteral("B"), 2, 0, 3);  // a calibration of kind 2
    log.AddOff(-0.1, {}, {}, QStringLiteral("B"), 16, 0, 4);
    EXPECT_NEAR(log.AddKal(94.2, {}, {}, QStringLiteral("A"), 1, 0, 5), 92.2, 1e-12);  // against the kind-2 entry
    EXPECT_EQ(log.GetLastCalId(3), 4);
    EXPECT_EQ(log.GetLastCalId(2), 2);
    EXPECT_EQ(log.GetLastCalId(1), 4);
    EXPECT_EQ(log.GetLastOffId(), 3);
    EXPECT_EQ(log.GetLastCalDate(2), 3.0);
    EXPECT_EQ(log.NumEntriesF(0x18), 2);
    EXPECT_EQ(log.GetDelta(0), kCalNoDelta);
    EXPECT_NEAR(log.GetDelta(3), -0.4, 1e-12);  // the previous verification, not the calibration between
    EXPECT_NEAR(log.GetDelta(4), 92.2, 1e-12);
    EXPECT_EQ(log.GetDevicesList(), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_TRUE(log.GetEntryIsPre(1));
    EXPECT_FALSE(log.GetEntryIsPre(3));
    EXPECT_TRUE(log.GetEntryIsOff(3));
    EXPECT_EQ(log.GetEntryCalStr(5), QStringLiteral("---"));
    EXPECT_EQ(log.GetEntryVal(-1), 0.0);
    EXPECT_EQ(log.GetStrings(99), QStringLiteral("---"));
    EXPECT_EQ(log.GetEntryStr(99), GetLangText(816));
    EXPECT_TRUE(log.GetEntryStr(-1).endsWith(QStringLiteral(" dB")));
    EXPECT_FALSE(log.RemoveEntry(5));

    // Removing entry 0 moves every id down; serials keep naming their entries.
    const uint64_t serialOfLast = log.GetEntrySerial(4);
    ASSERT_TRUE(log.RemoveEntry(0));
    EXPECT_EQ(log.FindSerial(serialOfLast), 3);
    EXPECT_EQ(log.GetEntryVal(0), 0.3);
    EXPECT_EQ(log.FindSerial(12345), -1);

    TCalLog two;
    two.AddKal(94.0, {}, {}, {}, 1, 0, 0);
    EXPECT_EQ(two.GetSD(), 0.0);
    two.AddKal(94.2, {}, {}, {}, 1, 0, 0);
    EXPECT_NEAR(two.GetAverage(), 94.1, 1e-12);
    EXPECT_NEAR(two.GetSD(), 0.14142, 1e-5);
    EXPECT_EQ(TCalLog().GetAverage(), 0.0);
    two.SetEntryRemark(0, QStringLiteral("  spaced\t"));
    EXPECT_EQ(two.GetEntryRemark(0), QStringLiteral("spaced"));
    EXPECT_EQ(two.GetStrings(0), QStringLiteral("spaced"));
}

TEST(CalLogModes, ShowEditAndPresetBits) {
    struct Case {
        double delta;
        int32_t mode;
        bool open;
    };
    for (const Case& c : {Case{0.5, 2, false}, Case{0.51, 2, true}, Case{-1.2, 3, true}, Case{1.0, 3, false},
                          Case{0, 1, true}, Case{50, 0, false}, Case{50, 4, false}}) {
        EXPECT_EQ(TCalLog::ShowEdit(c.delta, c.mode), c.open) << c.delta << " " << c.mode;
    }
    EXPECT_TRUE(TCalLog::IsUsePreset(4099));
    EXPECT_TRUE(TCalLog::IsPresetVA(4099));
    EXPECT_TRUE(TCalLog::IsPresetLocation(4099));
    EXPECT_FALSE(TCalLog::IsPresetSigner(4099));
}

// Every damaged file leaves an empty log and the file kept whole beside it.
TEST_F(CalLogTest, DamagedFilesAreKeptAsideAndTheLogStartsEmpty) {
    QByteArray good = Int32(1) + Int32(1) + Info(46000, 94, 1, 0) + Text(QStringLiteral("c")) + Text({}) + Text({});
    std::mt19937 random(23);
    QByteArray noise(3000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    noise[0] = 1;
    noise[1] = noise[2] = noise[3] = 0;  // read as the current format with a random count
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {{"truncated", good.left(good.size() - 3)},
                          {"negative count", Int32(1) + Int32(-5)},
                          {"huge count", Int32(1) + Int32(0x7FFFFFFF) + good.mid(8)},
                          {"random", noise},
                          {"old record past the end", Double(1) + Double(2) + Int32(1) + Int32(400) + Int32(0)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseDir;
        const QString fn = caseDir.filePath(QStringLiteral("CalLog.VTL"));
        WriteAll(fn, c.content);
        WriteAll(fn + QStringLiteral(".bad"), "taken");
        TCalLog damaged;
        damaged.AddKal(1, {}, {}, {}, 1, 0, 0);
        EXPECT_TRUE(damaged.LoadData(fn));
        EXPECT_EQ(damaged.NumEntries(), 0);
        EXPECT_EQ(ReadAll(fn + QStringLiteral(".bad.2")), c.content);
        EXPECT_EQ(ReadAll(fn + QStringLiteral(".bad")), QByteArray("taken"));
        EXPECT_TRUE(damaged.DamageReport().contains(QStringLiteral("CalLog.VTL.bad.2")));
        EXPECT_TRUE(damaged.SaveData(fn));
    }
}

TEST_F(CalLogTest, UnreadableFileIsMovedAsideWhole) {
    ASSERT_TRUE(QDir().mkpath(file));  // exists, but no file can be read from it
    ASSERT_TRUE(QDir().mkpath(file + QStringLiteral("/inside")));
    EXPECT_TRUE(log.LoadData(file));
    EXPECT_EQ(log.NumEntries(), 0);
    EXPECT_TRUE(QFileInfo(file + QStringLiteral(".bad/inside")).isDir());
    EXPECT_FALSE(log.DamageReport().isEmpty());
}

TEST_F(CalLogTest, FailedSaveKeepsTheEntries) {
    log.AddKal(94, {}, {}, {}, 1, 0, 0);
    QString why;
    EXPECT_FALSE(log.SaveData(dir.filePath(QStringLiteral("missing/CalLog.VTL")), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(log.NumEntries(), 1);
}

// The web server's threads read the average while the main thread changes,
// saves and reloads the one log object.
TEST_F(CalLogTest, AverageIsReadSafelyDuringChanges) {
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            const double average = log.GetAverage();
            EXPECT_TRUE(std::isfinite(average));
            reads.fetch_add(1);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        log.AddKal(94.0 + (i % 7) * 0.01, QStringLiteral("c"), {}, QStringLiteral("d"), 1, 0, 0);
        if (i % 3 == 0) log.RemoveEntry(0);
        if (i % 100 == 0) {
            ASSERT_TRUE(log.SaveData(file));
            ASSERT_TRUE(log.LoadData(file));
        }
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(log.NumEntries(), 1000 - 334);
}

}  // namespace

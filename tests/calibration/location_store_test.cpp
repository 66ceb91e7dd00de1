#include "calibration/location_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

class LocationStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir_.isValid());
    }
    QString Folder() const { return dir_.path(); }
    QString File() const { return dir_.filePath(QStringLiteral("locInfo.vld")); }
    QByteArray ReadBack() const {
        QFile file(File());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void WriteRaw(const QByteArray& bytes) const {
        QFile file(File());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QTemporaryDir dir_;
};

template <typename T>
void Put(QByteArray& image, T value) {
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    image.append(raw, sizeof raw);
}

// A header of a file the way another writer could have made it.
QByteArray Header(int32_t countMinusOne) {
    QByteArray image;
    Put<int32_t>(image, countMinusOne);
    Put<double>(image, 46000.5);
    for (int32_t value : {1, 30, -120, -20, -55, 1}) Put<int32_t>(image, value);
    Put<double>(image, 117.0);
    Put<double>(image, 0.0);
    return image;
}

void PutEntry(QByteArray& image, double value, const QByteArray& textBytes) {
    for (int i = 0; i < 7; ++i) Put<double>(image, value + i);
    Put<int32_t>(image, static_cast<int32_t>(textBytes.size()));
    image.append(textBytes);
}

QByteArray Utf16(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

TEST_F(LocationStoreTest, ThreeLocationsRoundTripFieldForFieldAndByteCount) {
    const QString texts[] = {QStringLiteral("Stage left"), QString(), QString(kLocTextMax, QLatin1Char('x'))};
    {
        TKorrLocation store(Folder());
        store.SetKorrConfig(117.0, 119.0, kModeOneMic);
        store.SetDauer(30);
        store.SetSeTgVol(-20);
        store.SetInVal(-35);
        store.SetOutVal(-12);
        store.SetUseTg(true);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(i, store.Add(0.1 * (i + 1), 0.2, 0.3, 46001.0 + i, 0.01 * (i + 1), 0.02, 0.03, texts[i]));
        }
        EXPECT_TRUE(store.NeedSave());
        EXPECT_TRUE(store.CheckAndSave());
        EXPECT_FALSE(store.NeedSave());
    }
    const qint64 textBytes = 2 * (texts[0].size() + texts[1].size() + texts[2].size());
    EXPECT_EQ(52 + 3 * 60 + textBytes, ReadBack().size());

    TKorrLocation back(Folder());
    EXPECT_FALSE(back.NeedSave());
    EXPECT_GT(back.LastSave(), 0.0);
    ASSERT_EQ(3, back.GetLocCount());
    EXPECT_EQ(30, back.GetDauer());
    EXPECT_EQ(-20, back.GetSeV());
    EXPECT_EQ(-35, back.GetInVol());
    EXPECT_EQ(-12, back.GetOutVol());
    EXPECT_TRUE(back.GetUseTg());
    EXPECT_EQ(kModeOneMic, back.GetMode());
    EXPECT_EQ(117.0, back.GetCalM());
    EXPECT_EQ(0.0, back.GetCalR());  // kept only with two microphones
    for (int i = 0; i < 3; ++i) {
        const TLocInfo loc = back.GetEntry(i);
        EXPECT_EQ(texts[i], loc.locText);
        EXPECT_EQ(0.1 * (i + 1), loc.kFA);
        EXPECT_EQ(46001.0 + i, loc.kTime);
        EXPECT_EQ(0.01 * (i + 1), loc.splA);
        EXPECT_EQ(0.03, loc.splZ);
    }
    // Unchanged, an idle save writes nothing.
    QFile::remove(File());
    EXPECT_TRUE(back.CheckAndSave());
    EXPECT_FALSE(QFileInfo::exists(File()));
}

TEST_F(LocationStoreTest, RemovingTheLastLocationDeletesTheFileAndTheNextStartHasTheDefaults) {
    {
        TKorrLocation store(Folder());
        store.SetDauer(60);
        store.SetSeTgVol(-30);
        store.Add(1, 1, 1, 46000, 0.1, 0.1, 0.1, QStringLiteral("Balcony"));
        ASSERT_TRUE(store.CheckAndSave());
        ASSERT_TRUE(QFileInfo::exists(File()));
        EXPECT_EQ(1, store.RemoveEntry(5));  // invalid id: nothing happens
        EXPECT_EQ(0, store.RemoveEntry(0));
        EXPECT_TRUE(store.CheckAndSave());
        EXPECT_FALSE(QFileInfo::exists(File()));
        store.Clear();
    }
    EXPECT_FALSE(QFileInfo::exists(File()));
    TKorrLocation fresh(Folder());
    EXPECT_EQ(0, fresh.GetLocCount());
    EXPECT_EQ(15, fresh.GetDauer());
    EXPECT_EQ(-60, fresh.GetSeV());
    EXPECT_EQ(kVolumeUnknown, fresh.GetInVol());
    EXPECT_EQ(kVolumeUnknown, fresh.GetOutVol());
    EXPECT_EQ("---", fresh.GetLocText(0, false));
    EXPECT_EQ(-1.0, fresh.GetDateTime(0));
    EXPECT_EQ(-1000.0, fresh.GetARef());
    EXPECT_EQ(-1000.0, fresh.GetZSpl());
    EXPECT_EQ(-1, fresh.GetIdKFC());
    EXPECT_EQ(1, fresh.GetNumDifLoc());
    EXPECT_FALSE(fresh.IsDualKorr());
}

TEST_F(LocationStoreTest, LoudestLocationFollowsTheModeAndTheFirstOfEqualMaximaWins) {
    TKorrLocation store(Folder());
    store.SetKorrConfig(117.0, 119.0, kModeOneMic);
    // kF values (corrections) point the other way than the amplitudes.
    store.Add(-3.0, -1.0, -2.0, 46000, 0.5, 0.2, 0.4, QStringLiteral("first"));
    store.Add(-1.0, -2.0, -1.5, 46001, 0.5, 0.3, 0.1, QStringLiteral("second"));
    EXPECT_EQ(0, store.GetIdKFA());  // tie at 0.5: the first added
    EXPECT_EQ(1, store.GetIdKFC());
    EXPECT_EQ(0, store.GetIdKFZ());
    EXPECT_EQ(0.5, store.GetARef());
    EXPECT_EQ(0.3, store.GetCRef());
    EXPECT_EQ(2, store.GetNumDifLoc());
    EXPECT_FALSE(store.IsDualKorr());

    store.SetKorrConfig(117.0, 119.0, kModeTwoMics);
    EXPECT_TRUE(store.IsDualKorr());
    EXPECT_EQ(1, store.GetIdKFA());
    EXPECT_EQ(0, store.GetIdKFC());
    EXPECT_EQ(1, store.GetIdKFZ());
    EXPECT_EQ(-1.0, store.GetARef());
    EXPECT_EQ(0.5, store.GetASpl());
    EXPECT_EQ(0.2, store.GetCSpl());
    EXPECT_EQ(2, store.GetNumDifLoc());

    store.Add(5.0, 5.0, 5.0, 46002, 0.0, 0.0, 0.0, QStringLiteral("third"));
    EXPECT_EQ(1, store.GetNumDifLoc());
    store.RemoveEntry(2);
    store.Add(5.0, -9.0, -9.0, 46002, 0.0, 0.0, 0.0, QStringLiteral("A"));
    store.Add(-9.0, 5.0, -9.0, 46002, 0.0, 0.0, 0.0, QStringLiteral("C"));
    EXPECT_EQ(3, store.GetNumDifLoc());
}

TEST_F(LocationStoreTest, CalibrationFitsAsTheModeSays) {
    TKorrLocation store(Folder());
    store.SetKorrConfig(117.0, 119.0, kModeOneMic);
    EXPECT_FALSE(store.DoesCalFit(117.0, 0.0));  // empty store
    store.Add(0, 0, 0, 46000, 0.1, 0.1, 0.1, QStringLiteral("here"));
    struct Case {
        int32_t mode;
        double calM, calR;
        bool fits;
    } cases[] = {{kModeOneMic, 117.0, 119.0, true},  {kModeOneMic, 117.0, 118.0, true},
                 {kModeOneMic, 117.1, 119.0, false}, {kModeOneMic, -117.0, 119.0, false},
                 {kModeTwoMics, 117.0, 119.0, true}, {kModeTwoMics, 117.0, 118.0, false},
                 {kModeTwoMics, 117.1, 119.0, false}};
    for (const Case& c : cases) {
        store.SetKorrConfig(117.0, 119.0, c.mode);
        EXPECT_EQ(c.fits, store.DoesCalFit(c.calM, c.calR)) << c.mode << " " << c.calM << " " << c.calR;
    }
}

TEST_F(LocationStoreTest, ValueLinesAndLabels) {
    TKorrLocation store(Folder());
    store.SetKorrConfig(100.0, 110.0, kModeOneMic);
    store.Add(-4.0, -3.5, -2.25, 46000, 0.1, 0.0, 1.0, QStringLiteral("Stage left"));
    // A silent weighting shows "---", not the logarithm of 0.
    EXPECT_EQ("Spl A: 80.0 dB, Spl C: --- dB, Spl Z: 100.0 dB", store.GetValueInfoString(0));
    store.SetKorrConfig(100.0, 110.0, kModeTwoMics);
    EXPECT_EQ("KF A: -4.000 dB, KF C: -3.500 dB, KF Z: -2.250 dB\r\nSpl A: 80.0 dB, Spl C: --- dB, Spl Z: 100.0 dB",
              store.GetValueInfoString(0));
    EXPECT_EQ("---", store.GetValueInfoString(1));
    EXPECT_TRUE(store.GetLocText(0, true).endsWith(QStringLiteral(" Stage left")));
    EXPECT_GT(store.GetLocText(0, true).size(), QStringLiteral(" Stage left").size());

    EXPECT_EQ("A + C + Z", TKorrLocation::PatternToLabel(7, true));
    EXPECT_EQ("", TKorrLocation::PatternToLabel(7, false));
    EXPECT_EQ("A + Z", TKorrLocation::PatternToLabel(5, false));
    EXPECT_EQ("C", TKorrLocation::PatternToLabel(2, false));
}

TEST_F(LocationStoreTest, OverLongTextsAreCutOnEntryAndSkippedWholeOnReading) {
    {
        TKorrLocation store(Folder());
        store.Add(0, 0, 0, 46000, 0.1, 0.1, 0.1, QString(3000, QLatin1Char('y')));
        EXPECT_EQ(kLocTextMax, store.GetLocText(0, false).size());
    }
    // A foreign file whose first text has 3,000 bytes: the second entry is still read in step.
    QByteArray image = Header(1);
    PutEntry(image, 1.0, QByteArray(3000, 'a'));
    PutEntry(image, 10.0, Utf16(QStringLiteral("Behind the desk")));
    WriteRaw(image);
    TKorrLocation store(Folder());
    ASSERT_EQ(2, store.GetLocCount());
    EXPECT_EQ("", store.GetLocText(0, false));
    EXPECT_EQ("Behind the desk", store.GetLocText(1, false));
    EXPECT_EQ(10.0, store.GetEntry(1).kFA);
    EXPECT_EQ(16.0, store.GetEntry(1).splZ);
    EXPECT_EQ(30, store.GetDauer());
    EXPECT_EQ(-55, store.GetInVol());
}

TEST_F(LocationStoreTest, AFileCutInsideAnEntryKeepsWhatWasRead) {
    QByteArray image = Header(2);
    PutEntry(image, 1.0, Utf16(QStringLiteral("one")));
    PutEntry(image, 20.0, Utf16(QStringLiteral("two")));
    image.chop(2 * 3 + 4 + 8 * 4);  // entry 2 ends after kFA, kFC, kFZ
    WriteRaw(image);
    TKorrLocation store(Folder());
    ASSERT_EQ(3, store.GetLocCount());
    EXPECT_EQ("one", store.GetLocText(0, false));
    const TLocInfo cut = store.GetEntry(1);
    EXPECT_EQ(20.0, cut.kFA);
    EXPECT_EQ(22.0, cut.kFZ);
    EXPECT_EQ(0.0, cut.kTime);
    EXPECT_EQ(0.0, cut.splA);
    EXPECT_EQ("", cut.locText);
    EXPECT_EQ(0.0, store.GetEntry(2).kFA);
    EXPECT_FALSE(store.NeedSave());
}

// Each damaged file gives an empty store; at the end the file is kept as
// ".bad" before the store writes its own, and that is said once.
TEST_F(LocationStoreTest, DamagedFilesGiveAnEmptyStoreAndAreSetAsideNotOverwritten) {
    QByteArray random;
    for (int i = 0; i < 999; ++i) random.append(static_cast<char>((i * 7919 + 13) & 0xff));
    QByteArray hugeCount = Header(2000000000);
    PutEntry(hugeCount, 1.0, QByteArray());
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"empty", QByteArray()},
                 {"short count", QByteArray("\x01\x00", 2)},
                 {"count below -1", Header(-2)},
                 {"count beyond the file", hugeCount},
                 {"random", random}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(File());
        QFile::remove(File() + QStringLiteral(".bad"));
        WriteRaw(c.bytes);
        {
            TKorrLocation store(Folder());
            EXPECT_EQ(0, store.GetLocCount());
            EXPECT_EQ(15, store.GetDauer());
            EXPECT_FALSE(store.NeedSave());
            EXPECT_TRUE(store.CheckAndSave());  // unchanged: not touched
            EXPECT_EQ(c.bytes, ReadBack());
            EXPECT_TRUE(store.Finish());
            EXPECT_TRUE(store.TakeReport().contains(QStringLiteral("locInfo.vld.bad")));
        }
        QFile bad(File() + QStringLiteral(".bad"));
        ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
        EXPECT_EQ(c.bytes, bad.readAll());
        EXPECT_FALSE(QFileInfo::exists(File()));  // the empty store wrote nothing
    }
}

TEST_F(LocationStoreTest, AFileThatCannotBeReadIsSetAsideBeforeTheFirstWrite) {
    ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("locInfo.vld")));  // a folder where the file should be
    TKorrLocation store(Folder());
    EXPECT_EQ(0, store.GetLocCount());
    store.Add(0, 0, 0, 46000, 0.1, 0.1, 0.1, QStringLiteral("anywhere"));
    EXPECT_TRUE(store.CheckAndSave());
    EXPECT_TRUE(QFileInfo(File()).isFile());
    EXPECT_TRUE(QFileInfo(File() + QStringLiteral(".bad")).isDir());
}

TEST_F(LocationStoreTest, AFailedWriteIsAnsweredNotThrownAndTriedAgainAfterTheNextChange) {
    const QString missing = Folder() + QStringLiteral("/missing");
    TKorrLocation store(missing);
    store.Add(0, 0, 0, 46000, 0.1, 0.1, 0.1, QStringLiteral("lost"));
    EXPECT_FALSE(store.CheckAndSave());
    EXPECT_TRUE(store.TakeReport().contains(QStringLiteral("could not be saved")));
    EXPECT_TRUE(store.TakeReport().isEmpty());
    EXPECT_TRUE(store.CheckAndSave());  // no change since: nothing tried
    ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("missing")));
    store.SetDauer(45);
    EXPECT_TRUE(store.CheckAndSave());
    EXPECT_TRUE(QFileInfo::exists(missing + QStringLiteral("/locInfo.vld")));
}

TEST_F(LocationStoreTest, ClearKeepsModeAndCalibrationAndMarksForSaving) {
    TKorrLocation store(Folder());
    store.SetKorrConfig(117.0, 119.0, kModeTwoMics);
    store.SetDauer(120);
    store.SetInVal(-10);
    store.Add(1, 1, 1, 46000, 0.1, 0.1, 0.1, QStringLiteral("x"));
    store.CheckAndSave();
    store.Clear();
    EXPECT_TRUE(store.NeedSave());
    EXPECT_EQ(0, store.GetLocCount());
    EXPECT_EQ(15, store.GetDauer());
    EXPECT_EQ(kVolumeUnknown, store.GetInVol());
    EXPECT_EQ(kModeTwoMics, store.GetMode());
    EXPECT_EQ(119.0, store.GetCalR());
    store.SetInVal(-10);
    store.CheckAndSave();
    store.InVolInvalid();
    EXPECT_TRUE(store.NeedSave());
    EXPECT_EQ(kVolumeUnknown, store.GetInVol());
}

// Web readers walk the store while the main thread adds, removes and clears.
TEST_F(LocationStoreTest, ReadersOnOtherThreadsDuringChanges) {
    TKorrLocation store(Folder());
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const int32_t n = store.GetLocCount();
                for (int32_t i = 0; i < n; ++i) (void)store.GetLocText(i, false);
                (void)store.GetIdKFA();
                (void)store.GetNumDifLoc();
                (void)store.GetDauer();
                (void)store.GetValueInfoString(0);
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 5; ++i) store.Add(i, i, i, 46000 + i, 0.1 * i, 0.1, 0.1, QStringLiteral("loc %1").arg(i));
        store.RemoveEntry(2);
        store.RemoveEntry(0);
        if (round % 3 == 0) store.Clear();
    }
    done.store(true);
    for (std::thread& t : readers) t.join();
    SUCCEED();
}

}  // namespace

#include "store/csv_export.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <vector>

#include "platform/user_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;
const double kEvening = platform::EncodeDateTime(2026, 5, 1, 20, 5, 7, 0);

TEST(CsvLevel, OneDecimalAtMostFourSignificantDigits) {
    struct Case {
        double level;
        const char* point;
    };
    const std::vector<Case> cases = {
        {95.34, "95.3"},   {99.96, "100.0"}, {-3.04, "-3.0"},   {1234.56, "1235.0"}, {0.0, "0.0"},
        {-0.04, "0.0"},    {95.25, "95.3"},  {95.35, "95.3"},   {0.96, "1.0"},       {9999.5, "10000.0"},
        {12.0, "12.0"},    {-1000.0, "-1000.0"}, {101.349, "101.3"}, {7.05, "7.0"},   {0.05, "0.1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatCsvLevel(c.level, QLatin1Char('.')), QLatin1String(c.point)) << c.level;
    }
    EXPECT_EQ(FormatCsvLevel(101.34, QLatin1Char(',')), QStringLiteral("101,3"));
}

class CsvExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        language = kLangEnglish;
        platform::SetUserDialogs(&dialogs);
        store.SetFilter(kQuantityLeq, kWeightingA);
        store.SetFilter(kQuantityLeqK, kWeightingA);
        store.SetFilter(kQuantityPeak, kWeightingC);
        store.SetLEQDauer(1800);
        store.SetLEQKurzDauer(10);
        store.SetPeakWerte(2);
        store.SetDrawInterval(60);
        const std::vector<std::array<double, 3>> levels = {{101.34, 96.25, 94.5}, {99.96, 95.5, -3.04}};
        for (size_t i = 0; i < levels.size(); ++i) {
            TSaveIT6 v;
            v.id = static_cast<int32_t>(i);
            v.TimeStamp = kEvening + 60 * i * kSecond;
            v.clipCount = static_cast<int32_t>(i * 7);
            v.Peak = levels[i][0];
            v.LeqK = levels[i][1];
            v.leq = levels[i][2];
            store.AddWert(v);
        }
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        QLocale::setDefault(QLocale::c());
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    platform::ScriptedDialogs dialogs;
    TDaten store;

private:
    QTemporaryDir dir_;
};

struct CsvCase {
    QChar sep;
    QChar dec;
    bool header;
    bool leq, leqK, peak;
    const char* expected;
};

TEST_F(CsvExportTest, SeparatorsDecimalsLabelsAndColumns) {
    const std::vector<CsvCase> cases = {
        {QLatin1Char(','), QLatin1Char('.'), true, true, true, true,
         "Date,Time,LCpeak,LAeq10s,LAeq30min (Fixed),Clipping\r\n"
         "01.05.26,20:05:07,101.3,96.3,94.5,0\r\n"
         "01.05.26,20:06:07,100.0,95.5,-3.0,7\r\n"},
        {QLatin1Char(';'), QLatin1Char(','), false, true, true, true,
         "01.05.26;20:05:07;101,3;96,3;94,5;0\r\n"
         "01.05.26;20:06:07;100,0;95,5;-3,0;7\r\n"},
        {QLatin1Char('\t'), QLatin1Char('.'), false, true, false, false,
         "01.05.26\t20:05:07\t94.5\t0\r\n"
         "01.05.26\t20:06:07\t-3.0\t7\r\n"},
        {QLatin1Char(' '), QLatin1Char(','), true, false, true, true,
         "Date Time LCpeak LAeq10s Clipping\r\n"
         "01.05.26 20:05:07 101,3 96,3 0\r\n"
         "01.05.26 20:06:07 100,0 95,5 7\r\n"},
    };
    int n = 0;
    for (const CsvCase& c : cases) {
        const QString file = Path(QStringLiteral("export%1.csv").arg(n++));
        store.SaveAsCSV(file, c.sep, c.dec, c.header, c.leq, c.leqK, c.peak);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(c.expected)) << n;
    }
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
}

TEST_F(CsvExportTest, ExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    Write("old.csv", "old content");
    dialogs.ScriptMessage(platform::kMessageRight);  // Cancel
    store.SaveAsCSV(Path("old.csv"), QLatin1Char(','), QLatin1Char('.'), false, true, false, false);
    EXPECT_EQ(Read("old.csv"), QByteArray("old content"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const platform::MessageRequest ask = dialogs.messages()[0];
    EXPECT_EQ(ask.textId, 782);
    EXPECT_EQ(ask.text, QStringLiteral("The file %1 still exists.\r\n\r\nDo you want to overwrite the file?")
                            .arg(Path("old.csv")));
    EXPECT_EQ(ask.leftCaptionId, 1123);
    EXPECT_EQ(ask.rightCaptionId, 403);

    dialogs.ScriptMessage(platform::kMessageClosed);
    store.SaveAsCSV(Path("old.csv"), QLatin1Char(','), QLatin1Char('.'), false, true, false, false);
    EXPECT_EQ(Read("old.csv"), QByteArray("old content"));

    dialogs.ScriptMessage(platform::kMessageLeft);  // Replace
    store.SaveAsCSV(Path("old.csv"), QLatin1Char(','), QLatin1Char('.'), false, true, false, false);
    EXPECT_EQ(Read("old.csv"), QByteArray("01.05.26,20:05:07,94.5,0\r\n01.05.26,20:06:07,-3.0,7\r\n"));

    // An empty store asks as well, and writes nothing whatever the answer.
    TDaten empty;
    dialogs.ScriptMessage(platform::kMessageLeft);
    empty.SaveAsCSV(Path("old.csv"), QLatin1Char(','), QLatin1Char('.'), true, true, true, true);
    EXPECT_EQ(dialogs.messages().size(), 4u);
    EXPECT_EQ(Read("old.csv"), QByteArray("01.05.26,20:05:07,94.5,0\r\n01.05.26,20:06:07,-3.0,7\r\n"));
    empty.SaveAsCSV(Path("new.csv"), QLatin1Char(','), QLatin1Char('.'), true, true, true, true);
    EXPECT_FALSE(QFile::exists(Path("new.csv")));
}

TEST_F(CsvExportTest, UnwritableTargetRaisesAndLeavesNumberFormatsAlone) {
    EXPECT_THROW(store.SaveAsCSV(Path("missing/folder/x.csv"), QLatin1Char(';'), QLatin1Char('.'), true, true, true,
                                 true),
                 FileWriteError);
    EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1,5"));
    EXPECT_EQ(FormatCsvLevel(1.5, QLatin1Char(',')), QStringLiteral("1,5"));
}

TEST_F(CsvExportTest, TextSummaryOfTheNewestValue) {
    TDaten summary;
    for (int i = 0; i < 42; ++i) {
        TSaveIT6 v;
        v.id = i;
        v.TimeStamp = kEvening;
        v.Peak = 101.4;
        v.LeqK = 95.6;
        v.leq = 94.5;
        summary.AddWert(v);
    }
    Write("log.txt", "earlier\r\n");
    summary.WriteToText(Path("log.txt"));
    EXPECT_EQ(Read("log.txt"), QByteArray("earlier\r\n000042 20:05:07 101 096 094\r\n"));

    TDaten rounding;
    TSaveIT6 v;
    v.TimeStamp = kEvening;
    v.Peak = 95.5;
    v.LeqK = -5.2;
    v.leq = 94.5;
    rounding.AddWert(v);
    rounding.WriteToText(Path("round.txt"));
    EXPECT_EQ(Read("round.txt"), QByteArray("000001 20:05:07 096 0-5 094\r\n"));

    TDaten none;
    none.WriteToText(Path("none.txt"));
    EXPECT_FALSE(QFile::exists(Path("none.txt")));
    TDaten many;
    for (int i = 0; i < 101; ++i) {
        TSaveIT6 w;
        w.id = i;
        many.AddWert(w);
    }
    many.WriteToText(Path("many.txt"));
    EXPECT_FALSE(QFile::exists(Path("many.txt")));
    TSaveIT6 first;
    many.ClearWerte();
    for (int i = 0; i < 100; ++i) {
        first.id = i;
        first.TimeStamp = kEvening;
        many.AddWert(first);
    }
    many.WriteToText(Path("many.txt"));
    EXPECT_EQ(Read("many.txt"), QByteArray("000100 20:05:07 000 000 000\r\n"));
}

TEST_F(CsvExportTest, ValueAtTimeFindsTheCoveringSlot) {
    // Two values: the reference time is the second stamp less one interval,
    // which is the first stamp.
    TSaveIT6 w;
    w.id = 99;
    w.clipCount = 5;
    EXPECT_TRUE(store.GetValueAtTime(w, kEvening));
    EXPECT_EQ(w.id, 0);
    EXPECT_DOUBLE_EQ(w.Peak, 101.34);

    EXPECT_TRUE(store.GetValueAtTime(w, kEvening + 89 * kSecond));  // 89 s / 60 rounds to slot 1
    EXPECT_EQ(w.id, 1);
    EXPECT_TRUE(store.GetValueAtTime(w, kEvening + 30 * kSecond));  // 0.5 rounds to the even slot 0
    EXPECT_EQ(w.id, 0);

    w = TSaveIT6{};
    w.id = 17;
    w.clipCount = 3;
    w.Peak = 1.0;
    EXPECT_FALSE(store.GetValueAtTime(w, kEvening - kSecond));
    EXPECT_EQ(w.id, 17);
    EXPECT_EQ(w.clipCount, 3);
    EXPECT_DOUBLE_EQ(w.Peak, 0.0);
    EXPECT_DOUBLE_EQ(w.TimeStamp, 0.0);

    EXPECT_FALSE(store.GetValueAtTime(w, kEvening + 120 * kSecond));  // slot 2 = the count
    EXPECT_EQ(w.id, -1);
    EXPECT_DOUBLE_EQ(w.TimeStamp, -1.0);

    EXPECT_FALSE(store.GetValueAtTime(w, 0.0));
}

}  // namespace

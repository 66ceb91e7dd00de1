// The text report and the value list as the viewer shows them.
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "report_store_fixture.h"
#include "reports/report_producer.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"

namespace {

class TextReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        language.store(2);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    QStringList Report(TDaten& store) {
        TAuswertung().MemoProtokoll(&memo, 250, &store);
        return memo.toPlainText().split('\n');
    }
    QTemporaryDir dir;
    QPlainTextEdit memo;
};

TEST_F(TextReportTest, LabelsTabsAndWrapping) {
    TDaten store;
    report_fixture::Shape shape;
    shape.values = 25;
    TDaten scratch;
    report_fixture::FillHeader(scratch, shape);
    report_fixture::FillValues(scratch, shape);
    QString remark;
    for (int i = 0; i < 20; ++i) remark += QStringLiteral("word%1 abcd ").arg(i, 2, 10, QLatin1Char('0'));
    ASSERT_GE(remark.trimmed().size(), 200);
    scratch.SetHinweisText(remark.trimmed());
    scratch.SetLimitText("short " + QString(95, 'x') + " end");
    scratch.CopyTo(store);
    const QStringList lines = Report(store);

    // "PA system & position" has 20 characters, "  Measurement started" 21.
    EXPECT_TRUE(lines.contains("PA system & position\t\tLine array, FoH 30 m"));
    EXPECT_TRUE(lines.contains("  Measurement started\t12/10/26 22:00:00"));
    const qsizetype first = lines.indexOf(QRegularExpression("^Information  \t.*"));
    ASSERT_GE(first, 0);
    int continuation = 0;
    for (qsizetype i = first; i < lines.size() && (i == first || lines[i].startsWith(" \t\t")); ++i) {
        const QString text = lines[i].section('\t', -1);
        EXPECT_LT(text.size(), 90) << text.toStdString();
        EXPECT_TRUE(text.startsWith(' '));
        continuation += i > first;
    }
    EXPECT_GE(continuation, 2);
    // A word too long to wrap stands on a line of its own, and the report goes on.
    EXPECT_TRUE(lines.contains(" \t\t " + QString(95, 'x')));
    EXPECT_TRUE(lines.contains(" \t\t end"));
    EXPECT_TRUE(lines.contains("Signatory of the report: M. Muster"));
    EXPECT_EQ(store.GetWerteAnzahl(), 25);
    EXPECT_EQ(store.GetNumBlocks(), 6);
}

TEST_F(TextReportTest, HeaderOnlyStoreGivesAnEmptyReport) {
    const QString path = dir.filePath("a.vtm");
    TDaten full;
    ASSERT_TRUE(report_fixture::MakeLoadedStore(path, full));
    TDaten headerOnly;
    ASSERT_EQ(headerOnly.LoadFromFile(path, kLoadHeaderOnly), kLoadDone);
    memo.setPlainText("old");
    TAuswertung().MemoProtokoll(&memo, 250, &headerOnly);
    EXPECT_TRUE(memo.toPlainText().isEmpty());
    TAuswertung().MemoProtokoll(&memo, 250, nullptr);
    EXPECT_TRUE(memo.toPlainText().isEmpty());
}

TEST_F(TextReportTest, ValueList) {
    report_fixture::Shape shape;
    shape.values = 25;
    TDaten store;
    report_fixture::FillHeader(store, shape);
    report_fixture::FillValues(store, shape);
    TSaveIT6 big;
    big.id = 12345;
    big.TimeStamp = report_fixture::kStart;
    QStringList lines;
    TAuswertung().DatenStringList(&store, lines, true, true, false, true);
    ASSERT_EQ(lines.size(), 29);
    EXPECT_TRUE(lines[0].startsWith("ID      Time(End)\t"));
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[12].isEmpty());
    EXPECT_TRUE(lines[23].isEmpty());
    EXPECT_EQ(lines[8], "00007 22:07:00\t* ---    \t* 96 dB\t* 126 dB\t* ---");
    EXPECT_EQ(lines[2], "00001 22:01:00\t* ---    \t* 90 dB\t* 120 dB\t* 20ms");
    // Leq 99 and more is over the forced limit of 99 dB.
    EXPECT_TRUE(lines[14].endsWith(" <---")) << lines[14].toStdString();
    EXPECT_FALSE(lines[2].endsWith(" <---"));

    QStringList unmarked;
    TAuswertung().DatenStringList(&store, unmarked, false, true, true, true);
    for (const QString& line : unmarked) EXPECT_FALSE(line.endsWith(" <---"));

    store.AddWert(big);
    QPlainTextEdit view;
    TAuswertung().DatenMemoDirekt(&store, &view, false, true, true, true);
    EXPECT_TRUE(view.toPlainText().contains("\n12345 "));
    TAuswertung().DatenMemoDirekt(nullptr, &view, false, true, true, true);
    EXPECT_TRUE(view.toPlainText().isEmpty());
}

}  // namespace

// The printed protocol written to PDF and read back with poppler's tools:
// its pages, texts, the graph page's coverage and orientation, and the jobs
// that must leave no file.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/printer_port.h"
#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "report_store_fixture.h"
#include "reports/report_producer.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/shared_state.h"

namespace {

QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PageCount(const QString& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)").match(RunTool("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The PDF's text with every run of white space made one blank.
QString PdfText(const QString& pdf) {
    return RunTool("pdftotext", {"-layout", pdf, "-"})
        .replace(QRegularExpression("\\s+"), " ")
        .replace(QChar(0xFB01), "fi");
}

const TPrintInfo kAllReport{false, true, true, true, true, true, true, true};
const TPrintInfo kAllValues{true, true, true, true, true, false, false, true};
const TPrintInfo kAllGraph{true, true, true, true, true, false, false, true};
const TPrintInfo kNone{};

class PrintedReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs);
        language.store(2);
        ASSERT_TRUE(platform::SelectPrinter(platform::kPdfPrinterName));
        ASSERT_TRUE(report_fixture::MakeLoadedStore(dir.filePath("2026-12-10_Town Hall.VTM"), store));
    }
    void TearDown() override {
        platform::ClearPrinterChoice();
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles(QString(), QString());
        QLocale::setDefault(QLocale::c());
    }
    QString Out(const QString& name) const { return QStringLiteral(VELTARO_BINARY_DIR "/tests/") + name; }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    TDaten store;
};

TEST_F(PrintedReportTest, FixtureStoreInBothLanguages) {
    struct Case {
        int32_t lang;
        const char* title;
        const char* page2;
        const char* file;
        const char* count;
    };
    const Case cases[] = {
        {2, "Measurement Log", "Page: 2", "File: ",
         "This document contains 2 pages. Attachements: Single values, Graphic"},
        {1, "Messprotokoll", "Seite: 2", "Datei: ", "Dieses Dokument besteht aus 2 Seiten. Anh\u00e4nge: Einzelwerte, Grafik"},
    };
    for (const Case& c : cases) {
        const QString pdf = Out(QStringLiteral("report_lang%1.pdf").arg(c.lang));
        QFile::remove(pdf);
        TAuswertung producer;
        ASSERT_TRUE(producer.DoProt(&store, false, c.lang, kAllReport, kAllGraph, kAllValues, pdf));
        const int pages = PageCount(pdf);
        // 2 report pages, the single values, the graph.
        EXPECT_GE(pages, 4) << c.lang;
        EXPECT_EQ(producer.PageCounter() - 1, pages) << c.lang;
        const QString text = PdfText(pdf);
        for (const char* expected : {c.title, c.page2, c.file, c.count, "24:00:00", "Delta 2.5%*", " MIA", " MIC",
                                     " MI ", "2026-12-10_Town Hall.VTM"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << c.lang << " " << expected;
        EXPECT_TRUE(text.contains(c.lang == 2 ? "Clipping 20ms" : "Der Eingang war f\u00fcr 20ms")) << c.lang;
        EXPECT_TRUE(text.contains(c.lang == 2 ? "* The data-size of the interval deviates"
                                              : "* Die aktuelle L\u00e4nge des Intervalls"))
            << c.lang;
        // The day after midnight gets its date row; the last value is printed.
        EXPECT_TRUE(text.contains("12/11/26")) << c.lang;
        EXPECT_TRUE(text.contains("01:00:00")) << c.lang;
    }
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

// The block table's second quantity (the short-term Leq here) prints by its
// own flag, also when the peak is not chosen for the report.
TEST_F(PrintedReportTest, SecondBlockQuantityFollowsItsOwnFlag) {
    const QString pdf = dir.filePath("no_peak.pdf");
    TAuswertung producer;
    ASSERT_TRUE(producer.DoProt(&store, false, 2, TPrintInfo{false, true, true, true, false, false, false, true},
                                kNone, kNone, pdf));
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains("12/10/26 00:30:00 95 dB 97 dB")) << text.toStdString();
    EXPECT_TRUE(text.contains("22:00:00 22:30:00 125 dB ---"));
}

TEST_F(PrintedReportTest, GraphPageAloneFillsFourFifthsTurned) {
    const QString pdf = Out("graph_page.pdf");
    QFile::remove(pdf);
    TAuswertung producer;
    ASSERT_TRUE(producer.DoProt(&store, false, 2, kNone, kAllGraph, kNone, pdf));
    ASSERT_EQ(PageCount(pdf), 1);

    const QString pngBase = Out("graph_page");
    RunTool("pdftoppm", {"-r", "40", "-png", "-singlefile", pdf, pngBase});
    QImage page(pngBase + ".png");
    ASSERT_FALSE(page.isNull());
    // The graph's frame is the ink below the page frame's title box.
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    const int below = static_cast<int>(0.1 * page.height());
    const int above = static_cast<int>(0.95 * page.height());
    for (int y = below; y < above; ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) > 200) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    const double printableW = page.width();
    const double printableH = page.height();
    EXPECT_NEAR((right - left + 1) / printableW, 0.8, 0.03);
    EXPECT_NEAR((bottom - top + 1) / printableH, 0.8, 0.03);

    // Time labels run down the long side: same column, many rows.
    const QString boxes = RunTool("pdftotext", {"-bbox", pdf, "-"});
    QRegularExpression word("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>(\\d\\d:\\d\\d)</word>");
    double minY = 1e9, maxY = -1, minX = 1e9, maxX = -1;
    int labels = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        minX = std::min(minX, m.captured(1).toDouble());
        maxX = std::max(maxX, m.captured(1).toDouble());
        minY = std::min(minY, m.captured(2).toDouble());
        maxY = std::max(maxY, m.captured(2).toDouble());
        ++labels;
    }
    ASSERT_GE(labels, 3);
    EXPECT_GT(maxY - minY, 5 * (maxX - minX + 1));
}

TEST_F(PrintedReportTest, BusyPrinterAndFailedDrawingLeaveNoFile) {
    const QString pdf = dir.filePath("busy.pdf");
    {
        platform::PrintJob held;
        ASSERT_TRUE(held.Begin("other", dir.filePath("other.pdf")));
        dialogs.ScriptMessage(platform::kMessageRight);
        TAuswertung producer;
        EXPECT_FALSE(producer.DoProt(&store, false, 2, kAllReport, kNone, kNone, pdf));
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].textId, 953);
        EXPECT_EQ(dialogs.messages()[0].text, "The printer PDF file is still printing.");
        EXPECT_EQ(producer.PageCounter(), 1);
        held.Abort();
    }
    EXPECT_FALSE(QFileInfo::exists(pdf));

    TAuswertung failing;
    failing.pageObserver = [](int32_t page) {
        if (page == 2) throw std::runtime_error("the store could not be read");
    };
    dialogs.ScriptMessage(platform::kMessageRight);
    EXPECT_FALSE(failing.DoProt(&store, false, 2, kAllReport, kAllGraph, kAllValues, pdf));
    EXPECT_FALSE(platform::Printing());
    EXPECT_EQ(dialogs.messages().back().text, "the store could not be read");
    EXPECT_EQ(QDir(dir.path()).entryList({"*.pdf*", ".*.part"}, QDir::Files | QDir::Hidden).size(), 0);

    TAuswertung again;
    EXPECT_TRUE(again.DoProt(&store, false, 2, kAllReport, kNone, kNone, pdf));
    EXPECT_EQ(PageCount(pdf), 2);

    dialogs.ScriptMessage(platform::kMessageRight);
    EXPECT_FALSE(again.DoProt(&store, false, 2, kAllReport, kNone, kNone, dir.filePath("gone/x.pdf")));
    EXPECT_TRUE(dialogs.messages().back().text.contains("cannot be written"));
}

TEST_F(PrintedReportTest, BadInputPrintsFramesAndDashes) {
    TDaten empty;
    empty.SetStartTime(report_fixture::kStart);
    empty.SetStopTime(report_fixture::kStart - 0.5);
    empty.SetKorrArt(3);
    empty.SetProtStatus(2, 0, 0);
    empty.SetFilter(0, 1);
    empty.SetSaveName("x");
    empty.SetUnterzeichner("A. B.");
    empty.SetVeranstaltung("100 %s %d\r\nsecond line");
    empty.SetHinweisText(QString(2500, QLatin1Char('w')));
    const QString pdf = Out("bad_input.pdf");
    QFile::remove(pdf);
    TAuswertung producer;
    ASSERT_TRUE(producer.DoProt(&empty, false, 2, kAllReport, kNone, kAllValues, pdf));
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains("100 %s %d")) << text.toStdString();
    EXPECT_TRUE(text.contains("---"));
    EXPECT_TRUE(text.contains("*** END OF LIST ***"));
    EXPECT_TRUE(text.contains("Signatory of the report A. B."));
    EXPECT_FALSE(text.contains("File:"));
    EXPECT_TRUE(text.contains("Place, date, signature"));
}

}  // namespace

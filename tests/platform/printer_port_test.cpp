// The printer port: choosing printers by name, the PDF target, the print
// dialog answered by the test, and jobs that leave a whole PDF or none.
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/printer_port.h"
#include "ui_kit/gui_test_app.h"

namespace {

using namespace platform;

class PrinterPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        ASSERT_TRUE(dir.isValid());
        ClearPrinterChoice();
    }
    void TearDown() override {
        SetPrintDialogAnswer({});
        ClearPrinterChoice();
    }
    QTemporaryDir dir;
};

TEST_F(PrinterPortTest, ChoosingPrintersByName) {
    EXPECT_EQ(PrinterIndex(), -1);
    EXPECT_TRUE(PrinterNames().endsWith(kPdfPrinterName));
    EXPECT_FALSE(SelectPrinter("no such queue"));
    EXPECT_EQ(PrinterIndex(), -1);
    ASSERT_TRUE(SelectPrinter(kPdfPrinterName));
    EXPECT_TRUE(IsPdfPrinterChosen());
    EXPECT_EQ(PrinterNames().at(PrinterIndex()), kPdfPrinterName);
    // "DefaultPrinter" is the system's default, the PDF target where there is none.
    ClearPrinterChoice();
    ASSERT_TRUE(SelectPrinter(kDefaultPrinterName));
    EXPECT_GE(PrinterIndex(), 0);
}

TEST_F(PrinterPortTest, PrintDialogAnsweredByTheTest) {
    QString offered = "unset";
    SetPrintDialogAnswer([&offered](const QString& chosen) {
        offered = chosen;
        return QString();
    });
    EXPECT_FALSE(RunPrintDialog(nullptr));
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(ChoosePrinter(nullptr), nullptr);
    SetPrintDialogAnswer([](const QString&) { return kPdfPrinterName; });
    const std::unique_ptr<QPrinter> printer = ChoosePrinter(nullptr);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(CurrentPrinterName(), kPdfPrinterName);
}

TEST_F(PrinterPortTest, JobsLeaveAWholeFileOrNone) {
    ASSERT_TRUE(SelectPrinter(kPdfPrinterName));
    const QString pdf = dir.filePath("report.pdf");
    {
        PrintJob job;
        ASSERT_TRUE(job.Begin("Report", pdf)) << job.ErrorText().toStdString();
        EXPECT_TRUE(Printing());
        job.Painter().drawText(100, 100, "page 1");
        ASSERT_TRUE(job.NewPage());
        job.Painter().drawText(100, 100, "page 2");
        EXPECT_FALSE(QFileInfo::exists(pdf));
        ASSERT_TRUE(job.Finish());
        EXPECT_FALSE(Printing());
    }
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    const qint64 goodSize = file.size();
    file.close();

    {
        PrintJob dropped;
        ASSERT_TRUE(dropped.Begin("Report", pdf));
        dropped.Painter().drawText(100, 100, "half");
        dropped.Abort();
        EXPECT_FALSE(Printing());
    }
    EXPECT_EQ(QFileInfo(pdf).size(), goodSize);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    PrintJob nowhere;
    EXPECT_FALSE(nowhere.Begin("Report", dir.filePath("missing/folder/x.pdf")));
    EXPECT_TRUE(nowhere.ErrorText().contains("cannot be written"));
    EXPECT_FALSE(Printing());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));

    ClearPrinterChoice();
    PrintJob unchosen;
    EXPECT_FALSE(unchosen.Begin("Report", pdf));
    EXPECT_FALSE(unchosen.ErrorText().isEmpty());
}

}  // namespace

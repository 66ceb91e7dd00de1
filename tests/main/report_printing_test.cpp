// The main window's report objects: the name builder behind the naming seam
// from program start to shut-down, and printing the last measurement from
// the protocol menu to a PDF file.
#include <QAction>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "main_window_fixture.h"
#include "platform/printer_port.h"
#include "reports/print_options_dialog.h"
#include "reports/print_settings.h"
#include "reports/report_store_fixture.h"
#include "support/fake_services.h"
#include "ui_kit/services/report_naming_services.h"

namespace {

using platform::Registry;
using test_support::MainWindowConcurrent;

class ReportPrintingTest : public MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        // Printing needs no calibration; the fake keeps its start-up questions away.
        RegisterCalibrationServices(&calibration);
        printSettings() = TPrintSettings{};
        platform::ClearPrinterChoice();
    }
    void TearDown() override {
        TPrintConfig::SetDialogRunner({});
        platform::SetPrintDialogAnswer({});
        platform::ClearPrinterChoice();
        MainWindowConcurrent::TearDown();
        RegisterCalibrationServices(nullptr);
        printSettings() = TPrintSettings{};
    }
    test_support::FakeCalibration calibration;
    QString ReadPrinter() {
        Registry reg;
        if (!reg.OpenKeyReadOnly(kSettingsKey)) return {};
        return reg.ReadString("CurrentPrinter").value_or(QString());
    }
    QAction* Action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST_F(ReportPrintingTest, NamingServiceLivesWithTheWindow) {
    WriteSettings([](Registry& reg) { reg.WriteInteger("NCRunningNumber", 41); });
    Start();
    ReportNaming* naming = reportNaming();
    ASSERT_NE(naming, nullptr);
    ASSERT_NE(nameCreator.load(), nullptr);
    EXPECT_TRUE(naming->CreateSaveName(report_fixture::kStart).startsWith("2026-12-10_"));
    naming->IncRunningNumber();
    Exit();
    EXPECT_EQ(reportNaming(), nullptr);
    EXPECT_EQ(nameCreator.load(), nullptr);
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("NCRunningNumber"), 42);
    EXPECT_EQ(reg.ReadString("CurrentPrinter"), "DefaultPrinter");
}

TEST_F(ReportPrintingTest, PrintLanguageFollowsTheProgramLanguage) {
    Start();
    window->ApplyLanguage(1, false);
    EXPECT_EQ(printSettings().printOutLangId, 1);
    window->ApplyLanguage(2, false);
    EXPECT_EQ(printSettings().printOutLangId, 2);
    Exit();
}

TEST_F(ReportPrintingTest, LastMeasurementPrintsFromTheMenu) {
    Start();
    const QString measurement = dir.filePath("docs/2026-12-10_Town Hall.VTM");
    TDaten loaded;
    ASSERT_TRUE(report_fixture::MakeLoadedStore(measurement, loaded));
    lastProt = measurement;
    int optionDialogs = 0;
    TPrintConfig::SetDialogRunner([&](TfPrint&) {
        ++optionDialogs;
        return 1;
    });
    platform::SetPrintDialogAnswer([](const QString&) { return platform::kPdfPrinterName; });
    const QString pdf = dir.filePath("docs/report.pdf");
    dialogs.ScriptSaveFile(pdf);

    window->PrepareReportMenu();
    ASSERT_NE(Action("pmPPrintCurrent"), nullptr);
    EXPECT_TRUE(Action("pmPPrintCurrent")->isEnabled());
    EXPECT_FALSE(Action("mmPPrintDirekt")->isVisible());
    Action("pmPPrintCurrent")->trigger();
    EXPECT_EQ(optionDialogs, 1);
    ASSERT_TRUE(QFileInfo::exists(pdf));
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\\n")));
    EXPECT_EQ(ReadPrinter(), "PDF file");

    // Settings complete now: the direct print runs without the options dialog.
    window->PrepareReportMenu();
    EXPECT_TRUE(Action("mmPAktuellDirekt")->isVisible());
    EXPECT_EQ(Action("mmPAktuellDirekt")->text(), "Direct print last protocol (PDF file)");
    QFile::remove(pdf);
    dialogs.ScriptSaveFile(pdf);
    Action("mmPAktuellDirekt")->trigger();
    EXPECT_EQ(optionDialogs, 1);
    EXPECT_TRUE(QFileInfo::exists(pdf));

    dialogs.ScriptMessage(platform::kMessageRight);
    window->PrintIt(dir.filePath("gone.VTM"), false);
    EXPECT_EQ(dialogs.messages().back().text, "File: " + dir.filePath("gone.VTM") + "\nnot find");
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

}  // namespace

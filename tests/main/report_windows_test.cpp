// The report windows as the running program opens them: the viewer from the
// protocol menu (its view remembered over a close), the report dialogs behind
// the report seam and the report data entry from the data menu.
#include <QAction>
#include <QLineEdit>

#include "main_window_fixture.h"
#include "reports/end_of_measurement_dialog.h"
#include "reports/measurement_viewer.h"
#include "reports/report_data_entry.h"
#include "reports/report_store_fixture.h"
#include "store/measurement_store.h"
#include "support/fake_services.h"
#include "ui_kit/services/report_services.h"

using test_support::MainWindowConcurrent;

namespace {

class ReportWindowsTest : public MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        RegisterCalibrationServices(&calibration);
    }
    void TearDown() override {
        MainWindowConcurrent::TearDown();
        RegisterCalibrationServices(nullptr);
    }
    QAction* Action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    test_support::FakeCalibration calibration;
};

TEST_F(ReportWindowsTest, ViewerOpensFromTheProtocolMenuAndKeepsItsView) {
    Start();
    const QString measurement = dir.filePath("docs/2026-12-10_Town Hall.VTM");
    TDaten loaded;
    ASSERT_TRUE(report_fixture::MakeLoadedStore(measurement, loaded));
    lastProt = measurement;
    ASSERT_NE(Action("aShowProt"), nullptr);
    ASSERT_TRUE(Action("aShowProt")->isEnabled());
    Action("aShowProt")->trigger();
    ASSERT_NE(window->Viewer(), nullptr);
    EXPECT_TRUE(window->Viewer()->isVisible());
    EXPECT_EQ(window->Viewer()->getMode(), TProtokoll::kReportText);
    EXPECT_EQ(window->Viewer()->CurrentFile(), measurement);

    window->Viewer()->SetMode(TProtokoll::kSingleValues);
    window->Viewer()->close();  // posts 22 with 2; the main window releases it
    ASSERT_TRUE(test_support::ProcessUntil([&] { return window->Viewer() == nullptr; }));
    Action("aShowProt")->trigger();
    ASSERT_NE(window->Viewer(), nullptr);
    EXPECT_EQ(window->Viewer()->getMode(), TProtokoll::kSingleValues);
    Exit();
}

TEST_F(ReportWindowsTest, ReportDialogsAreRegisteredWhileTheWindowLives) {
    Start();
    ReportServices* reports = reportServices();
    ASSERT_NE(reports, nullptr);
    std::unique_ptr<TEndOfMeasurement> end = reports->NewEndOfMeasurement(window.get());
    EXPECT_NE(dynamic_cast<TEndOfMeasurementForm*>(end.get()), nullptr);
    end.reset();
    Exit();
    EXPECT_EQ(reportServices(), nullptr);

    // A stand-in registered before the window stays in place.
    test_support::FakeReports fake;
    RegisterReportServices(&fake);
    Start();
    EXPECT_EQ(reportServices(), &fake);
    Exit();
    EXPECT_EQ(reportServices(), &fake);
    RegisterReportServices(nullptr);
}

TEST_F(ReportWindowsTest, DataEntryFromTheMenuWritesTheDefaultStore) {
    Start();
    int shown = 0;
    window->runDataEntry = [&](TMessProtokollEingabe& entry) {
        ++shown;
        EXPECT_EQ(entry.edVAName->text(), defaultDaten.load()->GetVeranstaltung());
        entry.edVAName->setText(QStringLiteral("Harbour Festival"));
        return 1;
    };
    ASSERT_NE(Action("miDaten"), nullptr);
    Action("miDaten")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(defaultDaten.load()->GetVeranstaltung(), QStringLiteral("Harbour Festival"));
    window->runDataEntry = [&](TMessProtokollEingabe& entry) {
        entry.edVAName->setText(QStringLiteral("dropped"));
        return 2;
    };
    Action("miDaten")->trigger();
    EXPECT_EQ(defaultDaten.load()->GetVeranstaltung(), QStringLiteral("Harbour Festival"));
    Exit();
}

}  // namespace

#pragma once
// The report dialogs behind the report seam: the end-of-measurement dialog,
// the remarks editor and the CSV export settings, as the measurement road
// and the viewer create them.
#include "ui_kit/services/report_services.h"

class TReportDialogServices : public ReportServices {
public:
    std::unique_ptr<TcsvExportSettings> NewCsvExportSettings(QWidget* owner) override;
    std::unique_ptr<TEndOfMeasurement> NewEndOfMeasurement(QWidget* owner) override;
    std::unique_ptr<THinweise> NewHintsEditor(QWidget* owner) override;
};

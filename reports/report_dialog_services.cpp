#include "reports/report_dialog_services.h"

#include "reports/csv_export_dialog.h"
#include "reports/end_of_measurement_dialog.h"
#include "reports/hints_editor.h"

std::unique_ptr<TcsvExportSettings> TReportDialogServices::NewCsvExportSettings(QWidget* owner) {
    return std::make_unique<TcsvExportDialog>(owner);
}

std::unique_ptr<TEndOfMeasurement> TReportDialogServices::NewEndOfMeasurement(QWidget* owner) {
    return std::make_unique<TEndOfMeasurementForm>(owner);
}

std::unique_ptr<THinweise> TReportDialogServices::NewHintsEditor(QWidget* owner) {
    return std::make_unique<THinweiseForm>(owner);
}

// The report dialogs behind the report seam: registered while the window
// lives, unless a test registered its own first.
#include "main/main_window.h"
#include "reports/report_dialog_services.h"

void TVTProMaster::StartReportDialogs() {
    reportDialogs_ = std::make_unique<TReportDialogServices>();
    if (reportServices() == nullptr) RegisterReportServices(reportDialogs_.get());
}

void TVTProMaster::EndReportDialogs() {
    if (reportDialogs_ && reportServices() == reportDialogs_.get()) RegisterReportServices(nullptr);
    reportDialogs_.reset();
}

// The report-name builder and the printer settings of the main window: read
// with the program options; the builder is offered to the measurement road
// through the naming seam, stored and released at shut-down.
#include "main/main_window.h"
#include "platform/printer_port.h"
#include "platform/registry.h"
#include "reports/name_creator.h"
#include "reports/print_settings.h"
#include "reports/report_naming_service.h"
#include "reports/symbolic_path.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

void TVTProMaster::CreateReportObjects() {
    nameCreator_ = new TVtNameCreator();
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey)) nameCreator_->LoadFromReg(&reg);
    nameCreator.store(nameCreator_);
    SetSymbolicPathDisplay(nameCreator_->GetUseSymbolicPath());
    reportNamingService_ = new TReportNamingService(*nameCreator_);
    // A naming service registered before the window (a test's fake) stays in place.
    if (reportNaming() == nullptr) RegisterReportNaming(reportNamingService_);
    // A printer that has gone since stays unchosen, so the next print asks for one.
    printSettings().currentPrinter = LoadPrinterSettings();
    platform::SelectPrinter(printSettings().currentPrinter);
    StartReportDialogs();
}

void TVTProMaster::ReleaseReportObjects(bool save) {
    EndReportDialogs();
    if (nameCreator_ == nullptr) return;
    if (save) {
        platform::Registry reg;
        if (reg.OpenKey(kSettingsKey, true)) nameCreator_->SaveToReg(&reg);
        reg.CloseKey();
        SavePrinterSettings(printSettings().currentPrinter);
    }
    if (reportNaming() == reportNamingService_) RegisterReportNaming(nullptr);
    nameCreator.store(nullptr);
    delete reportNamingService_;
    reportNamingService_ = nullptr;
    delete nameCreator_;
    nameCreator_ = nullptr;
}

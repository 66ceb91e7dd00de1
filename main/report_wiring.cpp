// The report-name builder of the main window: created with the program
// options, offered to the measurement road through the naming seam, stored
// and released at shut-down.
#include "main/main_window.h"
#include "platform/registry.h"
#include "reports/name_creator.h"
#include "reports/report_naming_service.h"
#include "reports/symbolic_path.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

void TVTProMaster::CreateReportNaming() {
    nameCreator_ = new TVtNameCreator();
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey)) nameCreator_->LoadFromReg(&reg);
    nameCreator.store(nameCreator_);
    SetSymbolicPathDisplay(nameCreator_->GetUseSymbolicPath());
    reportNamingService_ = new TReportNamingService(*nameCreator_);
    // A naming service registered before the window (a test's fake) stays in place.
    if (reportNaming() == nullptr) RegisterReportNaming(reportNamingService_);
}

void TVTProMaster::ReleaseReportNaming(bool save) {
    if (nameCreator_ == nullptr) return;
    if (save) {
        platform::Registry reg;
        if (reg.OpenKey(kSettingsKey, true)) nameCreator_->SaveToReg(&reg);
        reg.CloseKey();
    }
    if (reportNaming() == reportNamingService_) RegisterReportNaming(nullptr);
    nameCreator.store(nullptr);
    delete reportNamingService_;
    reportNamingService_ = nullptr;
    delete nameCreator_;
    nameCreator_ = nullptr;
}

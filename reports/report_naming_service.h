#pragma once
// The report-name builder behind the seam that the measurement road and the
// status line call (ui_kit/services/report_naming_services.h).
#include "ui_kit/services/report_naming_services.h"

class TVtNameCreator;

class TReportNamingService : public ReportNaming {
public:
    explicit TReportNamingService(TVtNameCreator& creator) : creator_(creator) {}

    QString CreateSaveName(platform::TDateTime time) override;
    void IncRunningNumber() override;
    QString SymbolicPath(const QString& path) override;

private:
    TVtNameCreator& creator_;
};

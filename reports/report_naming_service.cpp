#include "reports/report_naming_service.h"

#include "reports/name_creator.h"
#include "reports/symbolic_path.h"

QString TReportNamingService::CreateSaveName(platform::TDateTime time) { return creator_.CreateSaveName(time); }

void TReportNamingService::IncRunningNumber() { creator_.IncRunningNumber(); }

QString TReportNamingService::SymbolicPath(const QString& path) { return ::SymbolicPath(path); }

#pragma once
// The report-name builder and the symbolic folder names, as the measurement
// road and the status line see them. The reports subsystem implements
// ReportNaming and registers it at start; before that the accessor answers
// nullptr, the road asks for every file name and paths show as they are.
#include <QString>

#include "platform/date_time.h"

class ReportNaming {
public:
    virtual ~ReportNaming() = default;

    // The automatic file name for the time (ending ".VTM", without a
    // folder); empty while there is no builder. GUI thread.
    virtual QString CreateSaveName(platform::TDateTime time) = 0;
    // Counts the builder's running number on, at each measurement start.
    virtual void IncRunningNumber() = 0;
    // path shown by its symbolic folder name when that display is switched on.
    virtual QString SymbolicPath(const QString& path) = 0;
};

ReportNaming* reportNaming();
void RegisterReportNaming(ReportNaming* naming);

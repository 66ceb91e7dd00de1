#pragma once
// The three marker values in the program's registry key that tell the next
// program start whether the last measurement ended normally:
//   Messung  1 the measurement store was prepared at the start,
//            2 the measurement was stopped and saved but not finished,
//            0 it was finished (or its backups were moved aside);
//   Laeuft   true while the running flag is set;
//   Start    the start time of the last measurement, never cleared.
// Each write opens the key, writes and closes it, so the marker is on disk
// before the step that follows it.
#include "platform/date_time.h"

namespace crash_markers {

// Messung := 1 (the measurement store is being prepared).
bool MarkMeasurementOpen();
// Laeuft := true and Start := start.
bool MarkRunStarted(platform::TDateTime start);
// Laeuft := false and Messung := 2.
bool MarkRunStopped();
// Messung := 0.
bool MarkRunFinished();

}  // namespace crash_markers

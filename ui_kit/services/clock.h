#pragma once
// The program's one clock: the system clock plus the offset in milliseconds
// that the time-server synchronisation measured. Every time stamp of the
// program (stored values, Leq blocks, messages, calibration times, file
// names, web sessions) and the calculation thread's clock-aligned cycle come
// from here, so a new offset shifts all later stamps at once.
//
// The local time is always derived from UTC through the zone rules in force at
// that date, and the offset is added after that conversion, so it moves local
// and UTC results by the same amount. Safe to call from any thread.
#include <cstdint>
#include <functional>

#include "platform/date_time.h"

// Stores the offset; 0 at program start and whenever synchronisation is off,
// has failed or found a difference too small to matter.
void SetClockOffset(int64_t ms);
int64_t ClockOffset();

// The clock source's UTC reading without the offset: what a time-server
// exchange compares with the server's time.
platform::TDateTime UncorrectedUtcNow();
// Current local date-time plus the offset.
platform::TDateTime CorrectedNow();
// Current UTC date-time plus the offset.
platform::TDateTime CorrectedUtcNow();
// Converts with the system's zone rules for that date; adds no offset.
// A value that is no date between the years 1 and 9999 throws
// std::invalid_argument.
platform::TDateTime UtcToLocal(platform::TDateTime utc);

// Lets a test drive the clock: utcNow replaces the system clock's UTC reading
// (the offset and the zone conversion still apply). nullptr restores the
// system clock.
void SetClockSourceForTests(std::function<platform::TDateTime()> utcNow);

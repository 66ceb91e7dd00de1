#pragma once
// The time server as the measurement start and stop see it. The time-server
// client implements TimeServerServices and registers it at start; before
// that the accessor answers nullptr and the callers note that no server
// answered.
#include <QString>

#include "platform/date_time.h"

class TimeServerServices {
public:
    virtual ~TimeServerServices() = default;

    // Asks the time server (GUI thread); the server's local date-time, 0 or
    // less when no answer came.
    virtual platform::TDateTime TimeServerTime() = 0;
    // The configured time-server host.
    virtual QString TimeServerHost() = 0;
};

TimeServerServices* timeServerServices();
void RegisterTimeServerServices(TimeServerServices* services);

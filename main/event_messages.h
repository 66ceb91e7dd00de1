#pragma once
// The on-screen event list of the main window: one time-stamped line per
// special event of this program run, newest first.
#include <QString>
#include <QStringList>

#include "platform/date_time.h"

class TEventList {
public:
    // Puts "time: text" at the top; time is the local wall time of at.
    void Add(platform::TDateTime at, const QString& text);
    void Clear() { lines_.clear(); }
    const QStringList& Lines() const { return lines_; }

private:
    QStringList lines_;
};

// The time of day of a local date-time as the event list shows it.
QString EventTimeText(platform::TDateTime local);

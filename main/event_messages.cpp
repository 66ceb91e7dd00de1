#include "main/event_messages.h"

#include <QDateTime>

void TEventList::Add(platform::TDateTime at, const QString& text) {
    lines_.prepend(EventTimeText(at) + QStringLiteral(": ") + text);
}

QString EventTimeText(platform::TDateTime local) {
    // The value is a wall time already; reading it in UTC keeps its fields.
    return platform::ToQDateTime(local).time().toString(QStringLiteral("HH:mm:ss"));
}

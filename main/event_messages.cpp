#include "main/event_messages.h"

#include "ui_kit/text_helpers.h"

void TEventList::Add(platform::TDateTime at, const QString& text) {
    lines_.prepend(EventTimeText(at) + QStringLiteral(": ") + text);
}

QString EventTimeText(platform::TDateTime local) {
    // The value is a wall time already; reading it in UTC keeps its fields.
    return TimeText(local);
}

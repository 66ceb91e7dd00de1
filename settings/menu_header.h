#pragma once
// The first item of a field's popup menu: its caption bold and centred on
// the highlight colours, not choosable.
#include <QString>

class QMenu;
class QWidgetAction;

QWidgetAction* AddMenuHeader(QMenu* menu, const QString& caption);

#include "calibration/damaged_file.h"

#include <QFileInfo>

QString FreeBadName(const QString& fn) {
    const QString base = fn + QStringLiteral(".bad");
    if (!QFileInfo::exists(base)) return base;
    for (int n = 2;; ++n) {
        const QString numbered = base + QLatin1Char('.') + QString::number(n);
        if (!QFileInfo::exists(numbered)) return numbered;
    }
}

#pragma once
// Where GUI tests write their screenshots: $VELTARO_SCREENSHOT_DIR, else the
// build folder, so that a person can look at them after a run.
#include <QDir>
#include <QString>

namespace test_support {

inline QString ScreenshotPath(const QString& file) {
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QStringLiteral(VELTARO_BINARY_DIR);
    return QDir(dir).filePath(file);
}

}  // namespace test_support

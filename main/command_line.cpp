#include "main/command_line.h"

#include <QFileInfo>

CommandLineFiles ParseCommandLine(const QStringList& arguments) {
    CommandLineFiles files;
    if (arguments.size() != 1) return files;
    const QString suffix = QFileInfo(arguments.first()).suffix();
    if (suffix.compare(QLatin1String("vtm"), Qt::CaseInsensitive) == 0) {
        files.fileToOpen = arguments.first();
    } else if (suffix.compare(QLatin1String("vto"), Qt::CaseInsensitive) == 0) {
        files.presetToLoad = arguments.first();
    }
    return files;
}

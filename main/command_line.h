#pragma once
// The program's command line: exactly one argument is looked at. A
// measurement file (".vtm" in any case) is opened in the viewer after the
// start; a ".vto" file is taken note of; anything else is ignored.
#include <QString>
#include <QStringList>

struct CommandLineFiles {
    QString fileToOpen;
    QString presetToLoad;
};

CommandLineFiles ParseCommandLine(const QStringList& arguments);

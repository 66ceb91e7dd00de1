#pragma once
// Where a file the program cannot read is kept before anything overwrites
// it, so that whoever wants it back still has it.
#include <QString>

// "<fn>.bad", or the first free "<fn>.bad.<n>".
QString FreeBadName(const QString& fn);

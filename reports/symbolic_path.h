#pragma once
// The symbolic-path display: a path inside one of the well-known folders is
// shown with that folder's name in its place ("Documents/Veltaro_2026/a.vtm").
// For display only; one program-wide switch, off until the main window first
// applies its settings. Main thread.
#include <QString>

void SetSymbolicPathDisplay(bool on);
bool GetSymbolicPathDisplay();
// The text to show for path: unchanged while the switch is off or when the
// path lies in none of the documents, public-share and system-data folders.
QString SymbolicPath(const QString& path);

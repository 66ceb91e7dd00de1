#pragma once
// What the program reads before it builds its first window: the colour scheme
// and the user-interface language, so every window is built in both from the start.
#include <QString>

// The program's settings key in the user hive, and the previous version's key
// that is offered for copying when the current one is missing.
inline const QString kSettingsKey = QStringLiteral("Software\\Brask Soft\\Veltaro2026");
inline const QString kPreviousSettingsKey = QStringLiteral("Software\\Brask Soft\\Veltaro2023");

// Sets `displayLayout` and `language` from the values `DisplayLayout` and
// `Lang` of the settings key. A missing or unusable value gives the default:
// the dark scheme, and the language of the system.
void LoadStartupDisplaySettings();

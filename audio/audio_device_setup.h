#pragma once
// The main window's action "Audio I/O Konfiguration" around the audio device
// dialog: it stops the input, presets the dialog from the settings, shows it
// modally, takes the choices over on OK, and always saves the device
// settings and starts the input again (also after Cancel).
#include <functional>

class TIOSelect;

// Shows the dialog modally and answers its result (1 OK, 2 Cancel). Tests
// put a script of their own in place; an empty function restores exec().
using IOSelectShow = std::function<int(TIOSelect&)>;
void SetIOSelectShow(IOSelectShow show);

void aSelectSCExecute();

void PresetWaveAssignment(TIOSelect& dialog);
void PresetWasapiAssignment(TIOSelect& dialog);
void PresetAsioSelection(TIOSelect& dialog);
void TakeWaveDevices(TIOSelect& dialog);
void TakeWasapiDevices(TIOSelect& dialog);
// Writes the device settings into the settings key.
void SaveDeviceSettings();

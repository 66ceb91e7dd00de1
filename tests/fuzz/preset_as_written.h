#pragma once
// What a preset becomes when it is saved: floats are written with 15
// significant digits, as the files of the program family always were, so a
// value read with more digits comes back rounded once; and whatever is
// saved is a user preset.
#include "store/preset_files.h"
#include "store/preset_ini.h"

namespace fuzz {

inline TVTPreset AsWritten(TVTPreset preset) {
    auto written = [](double v) { return ParseIniFloat(FormatIniFloat(v)).value_or(v); };
    for (TPresetMessung& entry : preset.messungen) {
        entry.Gelb = written(entry.Gelb);
        entry.Rot = written(entry.Rot);
    }
    preset.lastModDate = written(preset.lastModDate);
    preset.isUser = true;
    return preset;
}

}  // namespace fuzz

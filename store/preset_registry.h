#pragma once
// The copies of the current and the user preset that live in the program's
// settings key, one value per field under a prefix ("Current1Dauer",
// "UserLeqK", ...). Value names are matched without regard to case.
#include <QString>

#include "platform/registry.h"
#include "store/measuring_preset.h"

inline const QString kCurrentPresetPrefix = QStringLiteral("Current");
inline const QString kUserPresetPrefix = QStringLiteral("User");

// Each field first takes its default, then the stored value when there is
// one of a usable type; endDirect holds only while offCheck is false; isUser
// becomes true and fn stays as it was.
void ReadPresetRegistry(const platform::Registry& key, TVTPreset& record, const QString& prefix);
// False when a value could not be written (no key open for writing).
bool WritePresetRegistry(platform::Registry& key, const TVTPreset& record, const QString& prefix);

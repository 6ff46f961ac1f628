// Loading and saving Settings in a configuration file (a profile, INI, file) through the platform's
// profile functions; the conversions are the portable ones of config_rules.h.
#pragma once
#include "settings/settings_model.h"

namespace settings {

// The settings the file at `path` gives over `current` (LoadedSettings). A file that is missing or
// cannot be read reads as one without keys. An empty path gives `current`: the profile functions
// would read the system's own WIN.INI instead.
Settings LoadProfile(const wchar_t* path, const Settings& current, DeviceNames devices);

// Writes every key, one profile write each, in the key table's order; a key without a text (no
// device to describe) is removed. A new file is made Unicode first. Failures are not reported.
void SaveProfile(const wchar_t* path, const Settings& s, DeviceNames devices);

}  // namespace settings

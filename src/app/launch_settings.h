// What a decoder start takes from the settings model: the model's fields in the launch record, the
// device index turned into its description. Portable: no Windows header.
#pragma once
#include "decoder/command_line.h"
#include "settings/settings_model.h"

// The launch record for `s`; the device description is empty when `s.soundCard` names no device, and
// the instance name is left for the start to make.
decoder::LaunchSettings LaunchSettingsFor(const settings::Settings& s, settings::DeviceNames devices);

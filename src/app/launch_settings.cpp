#include "app/launch_settings.h"

#include "settings/config_rules.h"

decoder::LaunchSettings LaunchSettingsFor(const settings::Settings& s, settings::DeviceNames devices) {
    decoder::LaunchSettings l;
    l.settings = s;
    if (const wchar_t* name = settings::DeviceAt(s.soundCard, devices)) l.soundCard = name;
    return l;
}

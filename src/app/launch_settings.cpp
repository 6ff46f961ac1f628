#include "app/launch_settings.h"

#include "settings/config_rules.h"

decoder::LaunchSettings LaunchSettingsFor(const settings::Settings& s, settings::DeviceNames devices) {
    decoder::LaunchSettings l;
    l.centerFrequency = s.centerFrequency;
    if (const wchar_t* name = settings::DeviceAt(s.soundCard, devices)) l.soundCard = name;
    l.cardChannel = s.cardChannel;
    l.checkForUpdates = s.checkForUpdates;
    l.hideDecoderWindow = s.hideDecoderWindow;
    l.disableFftWhileDecoding = s.disableFftWhileDecoding;
    l.fileLogDir = s.fileLogDir;
    l.fileLogEgc = s.fileLogEgc;
    l.fileLogMessages = s.fileLogMessages;
    l.fileLogRaw = s.fileLogRaw;
    l.tarLogDir = s.tarLogDir;
    l.tarLogEgc = s.tarLogEgc;
    l.tarLogMessages = s.tarLogMessages;
    l.tarLogRaw = s.tarLogRaw;
    l.decoderLogDir = s.decoderLogDir;
    l.decoderTextLog = s.decoderTextLog;
    l.decoderLogUseFilter = s.decoderLogUseFilter;
    return l;
}

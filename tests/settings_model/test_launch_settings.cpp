// The decoder start's one read of the model: each setting lands in its own field of the launch record.
#include <gtest/gtest.h>

#include <string>

#include "app/launch_settings.h"
#include "settings/key_table.h"

using decoder::LaunchSettings;
using settings::Settings;

namespace {

const struct {
    bool Settings::*from;
    bool LaunchSettings::*to;
    const char* name;
} kSwitches[] = {
    {&Settings::checkForUpdates, &LaunchSettings::checkForUpdates, "checkForUpdates"},
    {&Settings::hideDecoderWindow, &LaunchSettings::hideDecoderWindow, "hideDecoderWindow"},
    {&Settings::disableFftWhileDecoding, &LaunchSettings::disableFftWhileDecoding, "disableFftWhileDecoding"},
    {&Settings::fileLogEgc, &LaunchSettings::fileLogEgc, "fileLogEgc"},
    {&Settings::fileLogMessages, &LaunchSettings::fileLogMessages, "fileLogMessages"},
    {&Settings::fileLogRaw, &LaunchSettings::fileLogRaw, "fileLogRaw"},
    {&Settings::tarLogEgc, &LaunchSettings::tarLogEgc, "tarLogEgc"},
    {&Settings::tarLogMessages, &LaunchSettings::tarLogMessages, "tarLogMessages"},
    {&Settings::tarLogRaw, &LaunchSettings::tarLogRaw, "tarLogRaw"},
    {&Settings::decoderTextLog, &LaunchSettings::decoderTextLog, "decoderTextLog"},
    {&Settings::decoderLogUseFilter, &LaunchSettings::decoderLogUseFilter, "decoderLogUseFilter"},
};

const wchar_t* const kDevices[] = {L"Primary Sound Capture Driver", L"Line In (USB Audio)"};

}  // namespace

TEST(LaunchSettings, EachSwitchReachesOnlyItsOwnField) {
    for (const auto& on : kSwitches) {
        Settings s;  // every switch off
        s.*on.from = true;
        const LaunchSettings l = LaunchSettingsFor(s, kDevices);
        for (const auto& other : kSwitches) EXPECT_EQ(l.*other.to, &other == &on) << on.name << " -> " << other.name;
    }
}

TEST(LaunchSettings, NumbersDirectoriesAndTheDeviceDescription) {
    Settings s = settings::StartupSettings();
    s.centerFrequency = 1500.4;
    s.cardChannel = 2;
    s.soundCard = 1;
    s.fileLogDir = L"C:\\file";
    s.tarLogDir = L"C:\\tar";
    s.decoderLogDir = L"C:\\out";
    const LaunchSettings l = LaunchSettingsFor(s, kDevices);
    EXPECT_EQ(l.centerFrequency, 1500.4);
    EXPECT_EQ(l.cardChannel, 2);
    EXPECT_EQ(l.soundCard, L"Line In (USB Audio)");
    EXPECT_EQ(l.fileLogDir, L"C:\\file");
    EXPECT_EQ(l.tarLogDir, L"C:\\tar");
    EXPECT_EQ(l.decoderLogDir, L"C:\\out");
    EXPECT_EQ(l.instanceName, L"");  // made by the start itself

    // No device behind the index: an empty description, which asks the decoder for its default.
    for (std::int32_t device : {-1, 2}) {
        s.soundCard = device;
        EXPECT_EQ(LaunchSettingsFor(s, kDevices).soundCard, L"") << device;
    }
    s.soundCard = 0;
    EXPECT_EQ(LaunchSettingsFor(s, settings::DeviceNames()).soundCard, L"");
}

// The decoder start's one read of the model: each setting lands in its own field of the launch record.
#include <gtest/gtest.h>

#include "app/launch_settings.h"

using decoder::LaunchSettings;
using settings::Settings;

TEST(LaunchSettings, EachSwitchReachesOnlyItsOwnField) {
    const struct {
        bool Settings::*from;
        bool LaunchSettings::*to;
    } switches[] = {
        {&Settings::checkForUpdates, &LaunchSettings::checkForUpdates},
        {&Settings::hideDecoderWindow, &LaunchSettings::hideDecoderWindow},
        {&Settings::disableFftWhileDecoding, &LaunchSettings::disableFftWhileDecoding},
        {&Settings::fileLogEgc, &LaunchSettings::fileLogEgc},
        {&Settings::fileLogMessages, &LaunchSettings::fileLogMessages},
        {&Settings::fileLogRaw, &LaunchSettings::fileLogRaw},
        {&Settings::tarLogEgc, &LaunchSettings::tarLogEgc},
        {&Settings::tarLogMessages, &LaunchSettings::tarLogMessages},
        {&Settings::tarLogRaw, &LaunchSettings::tarLogRaw},
        {&Settings::decoderTextLog, &LaunchSettings::decoderTextLog},
        {&Settings::decoderLogUseFilter, &LaunchSettings::decoderLogUseFilter},
    };
    for (const auto& on : switches) {
        Settings s;  // every switch off
        s.*on.from = true;
        const LaunchSettings l = LaunchSettingsFor(s, {});
        for (const auto& other : switches) EXPECT_EQ(l.*other.to, &other == &on) << (&on - switches);
    }
}

TEST(LaunchSettings, NumbersDirectoriesAndTheDeviceDescription) {
    const wchar_t* const devices[] = {L"Primary Sound Capture Driver", L"Line In (USB Audio)"};
    Settings s{.soundCard = 1, .cardChannel = 2, .centerFrequency = 1500.4};
    s.fileLogDir = L"C:\\file";
    s.tarLogDir = L"C:\\tar";
    s.decoderLogDir = L"C:\\out";
    const LaunchSettings l = LaunchSettingsFor(s, devices);
    EXPECT_EQ(l.centerFrequency, 1500.4);
    EXPECT_EQ(l.cardChannel, 2);
    EXPECT_EQ(l.soundCard, L"Line In (USB Audio)");
    EXPECT_EQ(l.fileLogDir + l.tarLogDir + l.decoderLogDir, L"C:\\fileC:\\tarC:\\out");
    EXPECT_EQ(l.instanceName, L"");  // made by the start itself
    // No device behind the index: an empty description, which asks the decoder for its default.
    for (std::int32_t device : {-1, 2})
        EXPECT_EQ(LaunchSettingsFor(Settings{.soundCard = device}, devices).soundCard, L"") << device;
}

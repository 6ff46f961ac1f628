// The decoder start's one read of the model: the model whole, the device index turned into its
// description.
#include <gtest/gtest.h>

#include "app/launch_settings.h"

using decoder::LaunchSettings;
using settings::Settings;

TEST(LaunchSettings, TheModelAsItStandsAndTheDeviceDescription) {
    const wchar_t* const devices[] = {L"Primary Sound Capture Driver", L"Line In (USB Audio)"};
    Settings s{.soundCard = 1, .cardChannel = 2, .centerFrequency = 1500.4};
    s.fileLogDir = L"C:\\file";
    s.tarLogRaw = true;
    const LaunchSettings l = LaunchSettingsFor(s, devices);
    EXPECT_TRUE(l.settings == s);
    EXPECT_EQ(l.soundCard, L"Line In (USB Audio)");
    EXPECT_EQ(l.instanceName, L"");  // made by the start itself
    // No device behind the index: an empty description, which asks the decoder for its default.
    for (std::int32_t device : {-1, 2})
        EXPECT_EQ(LaunchSettingsFor(Settings{.soundCard = device}, devices).soundCard, L"") << device;
}

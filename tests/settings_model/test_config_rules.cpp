// The text forms of a configuration file's values, which device a stored text picks, the row
// description's rate indices and centre texts, and the decoder start's one read of the model.
#include "settings/config_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "app/launch_settings.h"
#include "settings/settings.h"

using namespace settings;

TEST(ConfigRules, IntegersCentresAndRates) {
    EXPECT_EQ(IntegerText(48000), L"48000");
    EXPECT_EQ(IntegerText(-8000), L"-8000");
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const wchar_t*> centres[] = {{1234.9, L"1234"}, {0.99, L"0"}, {-1.5, L"-1"},
        {4294967295.0, L"4294967295"}, {std::nan(""), L"2000"}, {inf, L"2000"}, {-inf, L"2000"}, {1e300, L"2000"}};
    for (const auto& [hz, text] : centres) EXPECT_EQ(CentreFileText(hz), text) << hz;
    EXPECT_STREQ(BoolText(true), L"1");
    EXPECT_STREQ(BoolText(false), L"0");
    EXPECT_EQ(CentreFromProfile(1234), 1234.0);
    EXPECT_EQ(CentreFromProfile(-5), 4294967291.0);  // read unsigned
    // The row shows the centre rounded to whole hertz.
    EXPECT_EQ(CentreText(1234.6), L"1235 Hz");
    EXPECT_EQ(CentreText(2000.0), L"2000 Hz");
    EXPECT_EQ(CentreText(-1.0), L"-1 Hz");
    // A loaded centre outside the band falls back to the start-up centre (the band itself: through a load).
    EXPECT_EQ(ClampLoadedCentre(1234.5, 48000), 1234.5);
    EXPECT_EQ(ClampLoadedCentre(-1, 48000), 2000.0);
    EXPECT_EQ(ClampLoadedCentre(std::nan(""), 48000), 2000.0);
    const std::pair<std::int32_t, int> rates[] = {{8000, 0},  {11025, 1},  {22050, 2}, {44100, 3}, {48000, 4},
                                                  {96000, 5}, {192000, 6}, {32000, -1}, {0, -1},    {-8000, -1}};
    for (const auto& [rate, index] : rates) {
        EXPECT_EQ(SampleRateIndex(rate), index) << rate;
        if (index >= 0) {
            EXPECT_EQ(SampleRateAt(index), rate);
        }
    }
    for (int outside : {7, -1, 1000}) EXPECT_EQ(SampleRateAt(outside), 48000) << outside;  // the start-up rate
}

TEST(ConfigRules, DeviceMatchIsCaseSensitiveSubstringInListOrderAndAChannelOutsideTheListIsMono) {
    const wchar_t* names[] = {L"Primary Sound Driver", L"USB Audio", L"Line In (USB Audio)"};
    const wchar_t* withHole[] = {nullptr, L"Mic"};
    const std::tuple<const wchar_t*, DeviceNames, int> cases[] = {  // the stored text, the devices, the one found
        {L"Primary", names, 0}, {L"USB", names, 1},  {L"(USB", names, 2}, {L"usb", names, -1},
        {L"", names, 0},        {L"Primary Sound Capture Driver", names, -1},
        {L"", DeviceNames(names, 0), -1},            {L"x", DeviceNames(), -1}, {L"", withHole, 1},
    };
    for (const auto& [text, list, found] : cases) EXPECT_EQ(FindDevice(text, list), found) << text;
    const std::pair<std::int64_t, int> channels[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {7, 0}, {-1, 0}, {4294967298LL, 0}};
    for (const auto& [stored, entry] : channels) EXPECT_EQ(ChannelFromFile(stored), entry) << stored;
}

TEST(ConfigRules, HomePositionReadsAsTheWarningsDoOrIsRefusedWithTheReason) {
    const struct {
        const wchar_t* text;
        bool position;
        double lat, lon;
    } cases[] = {
        {L"50-22.0N 004-08.5W", true, 50.366667, -4.141667},
        {L"33-55S 018-25E", true, -33.916667, 18.416667},
        {L"5022N00408W", true, 50.366667, -4.133333},
        {L"50\u00b022.0'N 004\u00b008.5'W", true, 50.366667, -4.141667},
        {L"50-22.0N, 004-08.5W", true, 50.366667, -4.141667},
        {L"004-08.5W 50-22.0N", false, 0, 0},
        {L"50-60.0N 004-08.5W", false, 0, 0},
        {L"50-22.0N 004-08.5\u0416", false, 0, 0},  // a character outside ASCII
    };
    for (const auto& c : cases) {
        const std::optional<warnings::GeoPoint> p = HomePositionOf(c.text);
        ASSERT_EQ(p.has_value(), c.position);
        EXPECT_EQ(RefuseHomePosition(c.text).has_value(), !c.position);
        if (!p) continue;
        EXPECT_NEAR(p->lat, c.lat, 1e-6);
        EXPECT_NEAR(p->lon, c.lon, 1e-6);
    }
    EXPECT_FALSE(HomePositionOf(L"  "));
    EXPECT_FALSE(RefuseHomePosition(L"  "));  // none is a fine answer
    EXPECT_EQ(*RefuseHomePosition(L"Plymouth"),
              L"'Plymouth' is not a position: write latitude then longitude, e.g. 50-22.0N 004-08.5W "
              L"(degrees-minutes, N or S, E or W), or leave it empty for none");
}

// The model whole, the device index turned into its description; no device behind the index gives an
// empty description, which asks the decoder for its default.
TEST(LaunchSettings, TheModelAsItStandsAndTheDeviceDescription) {
    const wchar_t* const devices[] = {L"Primary Sound Capture Driver", L"Line In (USB Audio)"};
    const Settings s{.soundCard = 1, .cardChannel = 2, .centerFrequency = 1500.4, .fileLogDir = L"C:\\file", .tarLogRaw = true};
    const decoder::LaunchSettings l = LaunchSettingsFor(s, devices);
    EXPECT_TRUE(l.settings == s);
    EXPECT_EQ(l.soundCard, L"Line In (USB Audio)");
    EXPECT_EQ(l.instanceName, L"");  // made by the start itself
    for (std::int32_t device : {-1, 2}) EXPECT_EQ(LaunchSettingsFor(Settings{.soundCard = device}, devices).soundCard, L"") << device;
}

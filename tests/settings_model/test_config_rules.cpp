// The text forms of a configuration file's values, and which device a stored text picks.
#include "settings/config_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace settings;

TEST(ConfigRules, IntegersAndCentreText) {
    EXPECT_EQ(IntegerText(48000), L"48000");
    EXPECT_EQ(IntegerText(-8000), L"-8000");
    const struct {
        double hz;
        const wchar_t* text;
    } centres[] = {
        {1234.9, L"1234"},
        {0.99, L"0"},
        {-1.5, L"-1"},
        {4294967295.0, L"4294967295"},
        {std::nan(""), L"2000"},
        {std::numeric_limits<double>::infinity(), L"2000"},
        {-std::numeric_limits<double>::infinity(), L"2000"},
        {1e300, L"2000"},
    };
    for (const auto& c : centres) EXPECT_EQ(CentreFileText(c.hz), c.text) << c.hz;
    EXPECT_STREQ(BoolText(true), L"1");
    EXPECT_STREQ(BoolText(false), L"0");
}

TEST(ConfigRules, CentreIsReadUnsigned) {
    EXPECT_EQ(CentreFromProfile(1234), 1234.0);
    EXPECT_EQ(CentreFromProfile(-5), 4294967291.0);
}

TEST(ConfigRules, DeviceMatchIsCaseSensitiveSubstringInListOrder) {
    const wchar_t* names[] = {L"Primary Sound Driver", L"USB Audio", L"Line In (USB Audio)"};
    const wchar_t* withHole[] = {nullptr, L"Mic"};
    const struct {
        const wchar_t* text;
        DeviceNames list;
        int found;
    } cases[] = {
        {L"Primary", names, 0},
        {L"USB", names, 1},
        {L"(USB", names, 2},
        {L"usb", names, -1},
        {L"", names, 0},
        {L"Primary Sound Capture Driver", names, -1},
        {L"", DeviceNames(names, 0), -1},
        {L"x", DeviceNames(), -1},
        {L"", withHole, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(FindDevice(c.text, c.list), c.found) << c.text;
}

TEST(ConfigRules, ChannelOutsideTheListSelectsMono) {
    const struct {
        std::int64_t stored;
        int entry;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {7, 0}, {-1, 0}, {4294967298LL, 0}};
    for (const auto& c : cases) EXPECT_EQ(ChannelFromFile(c.stored), c.entry) << c.stored;
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
        {L"home", false, 0, 0},
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

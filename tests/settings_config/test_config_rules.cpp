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

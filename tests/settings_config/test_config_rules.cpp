#include "settings/config_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace settings;

TEST(ConfigRules, IntegersAndCentreText) {
    EXPECT_EQ(IntegerText(48000), L"48000");
    EXPECT_EQ(IntegerText(-8000), L"-8000");
    EXPECT_EQ(CentreFileText(1234.9), L"1234");
    EXPECT_EQ(CentreFileText(0.99), L"0");
    EXPECT_EQ(CentreFileText(-1.5), L"-1");
    EXPECT_EQ(CentreFileText(4294967295.0), L"4294967295");
    EXPECT_EQ(CentreFileText(std::nan("")), L"2000");
    EXPECT_EQ(CentreFileText(std::numeric_limits<double>::infinity()), L"2000");
    EXPECT_EQ(CentreFileText(1e300), L"2000");
    EXPECT_STREQ(BoolText(true), L"1");
    EXPECT_STREQ(BoolText(false), L"0");
}

TEST(ConfigRules, DeviceMatchIsCaseSensitiveSubstringInListOrder) {
    const wchar_t* names[] = {L"Primary Sound Driver", L"USB Audio", L"Line In (USB Audio)", nullptr};
    EXPECT_EQ(FindDevice(L"Primary", names, 3), 0);
    EXPECT_EQ(FindDevice(L"USB", names, 3), 1);
    EXPECT_EQ(FindDevice(L"(USB", names, 3), 2);
    EXPECT_EQ(FindDevice(L"usb", names, 3), -1);
    EXPECT_EQ(FindDevice(L"", names, 3), 0);
    EXPECT_EQ(FindDevice(L"Primary Sound Capture Driver", names, 3), -1);
    EXPECT_EQ(FindDevice(L"", names, 0), -1);
    EXPECT_EQ(FindDevice(L"x", nullptr, 3), -1);
    const wchar_t* withHole[] = {nullptr, L"Mic"};
    EXPECT_EQ(FindDevice(L"", withHole, 2), 1);
}

TEST(ConfigRules, ChannelOutsideTheListSelectsMono) {
    EXPECT_EQ(ChannelFromFile(0), 0);
    EXPECT_EQ(ChannelFromFile(1), 1);
    EXPECT_EQ(ChannelFromFile(2), 2);
    EXPECT_EQ(ChannelFromFile(3), 0);
    EXPECT_EQ(ChannelFromFile(7), 0);
    EXPECT_EQ(ChannelFromFile(-1), 0);
    EXPECT_EQ(ChannelFromFile(4294967298LL), 0);
}

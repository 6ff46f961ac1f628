// Destination lists: the three forms, separators and blanks, and every kind of bad entry named.
#include <gtest/gtest.h>

#include "feed/destinations.h"

using feed::ParseDestinations;

TEST(FeedDestinations, ReadsIPv4IPv6AndNamesInOrder) {
    const auto list = ParseDestinations("127.0.0.1:5555, [::1]:5556, collector.example.org:4000");
    ASSERT_TRUE(list.errors.empty());
    ASSERT_EQ(list.destinations.size(), 3u);
    EXPECT_EQ(list.destinations[0].host, "127.0.0.1");
    EXPECT_EQ(list.destinations[0].port, 5555);
    EXPECT_EQ(list.destinations[1].host, "::1");
    EXPECT_EQ(list.destinations[1].port, 5556);
    EXPECT_EQ(list.destinations[1].text, "[::1]:5556");
    EXPECT_EQ(list.destinations[2].host, "collector.example.org");
    EXPECT_EQ(list.destinations[2].port, 4000);
}

TEST(FeedDestinations, SeparatorsBlanksAndRepeats) {
    EXPECT_TRUE(ParseDestinations("").destinations.empty());
    EXPECT_TRUE(ParseDestinations("  , ;\t ").errors.empty());
    const auto list = ParseDestinations(" a:1;b:65535  c:2,,a:1 ,[fe80::1%3]:9");
    ASSERT_TRUE(list.errors.empty());
    ASSERT_EQ(list.destinations.size(), 4u);  // the second a:1 is the first one again
    EXPECT_EQ(list.destinations[1].port, 65535);
    EXPECT_EQ(list.destinations[3].host, "fe80::1%3");
}

TEST(FeedDestinations, EachBadEntryIsNamedAndTheGoodOnesKept) {
    const auto list = ParseDestinations(
        "good:1, noport, host:, :5, host:0, host:65536, host:12x, ::1:5556, [::1, [::1]5, []:5, [zz::1]:5, "
        "bad/host:5, other:2");
    ASSERT_EQ(list.destinations.size(), 2u);
    EXPECT_EQ(list.destinations[0].text, "good:1");
    EXPECT_EQ(list.destinations[1].text, "other:2");
    const std::vector<std::string> expected = {
        "'noport': no port: write host:port, as in 127.0.0.1:5555",
        "'host:': no port after ':'",
        "':5': no host before the port",
        "'host:0': the port '0' is not a number from 1 to 65535",
        "'host:65536': the port '65536' is not a number from 1 to 65535",
        "'host:12x': the port '12x' is not a number from 1 to 65535",
        "'::1:5556': an IPv6 address goes in brackets, as in [::1]:5556",
        "'[::1': the IPv6 address has no closing ']'",
        "'[::1]5': a port must follow the address, as in [::1]:5556",
        "'[]:5': the address in brackets is empty",
        "'[zz::1]:5': 'zz::1' is not an IPv6 address",
        "'bad/host:5': 'bad/host' is not a host name",
    };
    EXPECT_EQ(list.errors, expected);
}

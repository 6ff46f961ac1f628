// Destination lists: the three forms, separators and blanks, repeats, and every kind of bad entry named.
#include <gtest/gtest.h>

#include "feed/destinations.h"

TEST(FeedDestinations, EachListGivesItsDestinationsInOrderAndNamesEveryBadEntry) {
    using L = std::vector<std::string>;
    struct Row {
        const char* text;
        L destinations;  // "<entry as typed> <host> <port>"
        L errors;
    };
    const Row rows[] = {
        {"", {}, {}},
        {"  , ;\t \r\n", {}, {}},
        {"127.0.0.1:5555, [::1]:5556, collector.example.org:4000",
         {"127.0.0.1:5555 127.0.0.1 5555", "[::1]:5556 ::1 5556",
          "collector.example.org:4000 collector.example.org 4000"},
         {}},
        // The second a:1 is the first one again; a blank separates like a comma.
        {" a:1;b:65535  c:2,,a:1 ,[fe80::1%3]:9\t_x.y-\xC3\xA9:7",
         {"a:1 a 1", "b:65535 b 65535", "c:2 c 2", "[fe80::1%3]:9 fe80::1%3 9", "_x.y-\xC3\xA9:7 _x.y-\xC3\xA9 7"},
         {}},
        {"good:1, noport, host:, :5, host:0, host:65536, host:12x, host:123456, host:4294967376, ::1:5556, [::1, "
         "[::1]5, [::1], []:5, "
         "[zz::1]:5, [::1]:, bad/host:5, other:2",
         {"good:1 good 1", "other:2 other 2"},
         {"'noport': no port: write host:port, as in 127.0.0.1:5555", "'host:': no port after ':'",
          "':5': no host before the port", "'host:0': the port '0' is not a number from 1 to 65535",
          "'host:65536': the port '65536' is not a number from 1 to 65535",
          "'host:12x': the port '12x' is not a number from 1 to 65535",
          "'host:123456': the port '123456' is not a number from 1 to 65535",
          "'host:4294967376': the port '4294967376' is not a number from 1 to 65535",
          "'::1:5556': an IPv6 address goes in brackets, as in [::1]:5556",
          "'[::1': the IPv6 address has no closing ']'", "'[::1]5': a port must follow the address, as in [::1]:5556",
          "'[::1]': a port must follow the address, as in [::1]:5556", "'[]:5': the address in brackets is empty",
          "'[zz::1]:5': 'zz::1' is not an IPv6 address", "'[::1]:': no port after ':'",
          "'bad/host:5': 'bad/host' is not a host name"}},
    };
    for (const Row& row : rows) {
        const feed::DestinationList list = feed::ParseDestinations(row.text);
        L got;
        for (const auto& d : list.destinations) got.push_back(d.text + " " + d.host + " " + std::to_string(d.port));
        EXPECT_EQ(got, row.destinations) << row.text;
        EXPECT_EQ(list.errors, row.errors) << row.text;
    }
}

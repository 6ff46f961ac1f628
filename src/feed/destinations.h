// The feed's destinations as the user types them: "127.0.0.1:5555, [::1]:5556, collector.example.org:4000".
//
// Portable: no Windows header.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace feed {

struct Destination {
    std::string host;  // an IPv4 address, an IPv6 address without its brackets, or a host name
    std::uint16_t port = 0;
    std::string text;  // as typed, trimmed: what notes call it
};

struct DestinationList {
    std::vector<Destination> destinations;  // in the order typed, duplicates kept once
    std::vector<std::string> errors;        // one per entry that cannot be used, naming it
};

// Entries are separated by commas, semicolons or blanks; empty entries are skipped. Each is
// host:port, with an IPv6 address in brackets ([::1]:5556) and a port from 1 to 65535.
DestinationList ParseDestinations(std::string_view text);

}  // namespace feed

// Destination parsing: split, trim, then host and port of each entry, naming every one that fails.
#include "feed/destinations.h"

#include <algorithm>

namespace feed {

namespace {

bool Separator(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ParsePort(std::string_view digits, std::uint16_t& port) {
    if (digits.empty() || digits.size() > 5) return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool HostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;  // internationalised names go to the resolver as typed
}

// "" when the entry is good, else why not.
std::string ParseOne(std::string_view entry, Destination& out) {
    std::string_view host;
    std::string_view port;
    if (entry.front() == '[') {
        const std::size_t close = entry.find(']');
        if (close == std::string_view::npos) return "the IPv6 address has no closing ']'";
        host = entry.substr(1, close - 1);
        if (host.empty()) return "the address in brackets is empty";
        if (host.find_first_not_of("0123456789abcdefABCDEF:.%") != std::string_view::npos)
            return "'" + std::string(host) + "' is not an IPv6 address";
        if (close + 1 >= entry.size() || entry[close + 1] != ':') return "a port must follow the address, as in [::1]:5556";
        port = entry.substr(close + 2);
    } else {
        const std::size_t colon = entry.rfind(':');
        if (colon == std::string_view::npos) return "no port: write host:port, as in 127.0.0.1:5555";
        if (entry.find(':') != colon) return "an IPv6 address goes in brackets, as in [::1]:5556";
        host = entry.substr(0, colon);
        port = entry.substr(colon + 1);
        if (host.empty()) return "no host before the port";
        if (!std::all_of(host.begin(), host.end(), HostCharacter)) return "'" + std::string(host) + "' is not a host name";
    }
    if (port.empty()) return "no port after ':'";
    if (!ParsePort(port, out.port)) return "the port '" + std::string(port) + "' is not a number from 1 to 65535";
    out.host = std::string(host);
    return {};
}

}  // namespace

DestinationList ParseDestinations(std::string_view text) {
    DestinationList list;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && Separator(text[i])) ++i;
        std::size_t end = i;
        // Blanks inside brackets would be a typing slip; the entry still ends at one.
        while (end < text.size() && !Separator(text[end])) ++end;
        if (end == i) break;
        const std::string_view entry = text.substr(i, end - i);
        i = end;
        Destination d;
        d.text = std::string(entry);
        const std::string why = ParseOne(entry, d);
        if (!why.empty()) {
            list.errors.push_back("'" + d.text + "': " + why);
            continue;
        }
        const bool seen = std::any_of(list.destinations.begin(), list.destinations.end(), [&](const Destination& o) {
            return o.host == d.host && o.port == d.port;
        });
        if (!seen) list.destinations.push_back(std::move(d));
    }
    return list;
}

}  // namespace feed

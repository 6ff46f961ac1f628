// Winsock UDP for the feed: getaddrinfo once per destination on the sender thread, then sendto.
#include "feed/udp_transport_win.h"

#include <mswsock.h>

#include <cstring>

namespace feed {

namespace {

std::string WinsockError(int code) {
    char text[256] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "error " + std::to_string(code) : s + " (" + std::to_string(code) + ")";
}

}  // namespace

UdpTransport::Socket::~Socket() {
    if (s_ != INVALID_SOCKET) ::closesocket(s_);
}

UdpTransport::UdpTransport() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

UdpTransport::~UdpTransport() {
    v4_.reset();
    v6_.reset();
    if (started_) ::WSACleanup();
}

SOCKET UdpTransport::SocketFor(int family, std::string& error) {
    std::unique_ptr<Socket>& slot = family == AF_INET6 ? v6_ : v4_;
    if (slot) return slot->get();
    const SOCKET s = ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        error = "cannot open a UDP socket: " + WinsockError(::WSAGetLastError());
        return INVALID_SOCKET;
    }
    slot = std::make_unique<Socket>(s);
    // A destination with no listener answers with ICMP "port unreachable", which Windows would
    // otherwise report on this socket's next call; the feed does not care.
    BOOL off = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
    int buffer = 1 << 20;
    ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer), sizeof buffer);
    return s;
}

std::vector<std::string> UdpTransport::Open(const std::vector<Destination>& destinations) {
    // Open runs on the feed's sender thread, which from here on only sends. Below the reader, the
    // store's writer and the window: on a busy machine it falls behind for a while (its queue holds
    // tens of megabytes) instead of taking the processor from the run it follows.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::vector<std::string> errors;
    if (!started_) {
        if (!destinations.empty()) errors.push_back("Winsock did not start; nothing is sent");
        return errors;
    }
    for (const Destination& d : destinations) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(d.port);
        const int rc = ::getaddrinfo(d.host.c_str(), port.c_str(), &hints, &found);
        if (rc != 0 || !found) {
            errors.push_back("cannot resolve '" + d.text + "': " + WinsockError(rc));
            continue;
        }
        std::string error;
        bool added = false;
        for (const addrinfo* a = found; a && !added; a = a->ai_next) {
            if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage))
                continue;
            const SOCKET s = SocketFor(a->ai_family, error);
            if (s == INVALID_SOCKET) continue;
            Target t;
            std::memcpy(&t.address, a->ai_addr, a->ai_addrlen);
            t.length = static_cast<int>(a->ai_addrlen);
            t.socket = s;
            targets_.push_back(t);
            added = true;
        }
        ::freeaddrinfo(found);
        if (!added) errors.push_back("'" + d.text + "': " + (error.empty() ? "no IPv4 or IPv6 address" : error));
    }
    return errors;
}

void UdpTransport::Send(const std::string& datagram) {
    for (const Target& t : targets_)
        ::sendto(t.socket, datagram.data(), static_cast<int>(datagram.size()), 0,
                 reinterpret_cast<const sockaddr*>(&t.address), t.length);
}

std::shared_ptr<FeedSink> MakeUdpFeed(FeedOptions options) {
    return std::make_shared<FeedSink>(std::move(options), std::make_unique<UdpTransport>());
}

}  // namespace feed

// The feed's Winsock transport: each destination resolved once, one UDP socket per address family.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <string>
#include <vector>

#include "feed/feed_sink.h"

namespace feed {

class UdpTransport : public IFeedTransport {
public:
    UdpTransport();
    ~UdpTransport() override;
    UdpTransport(const UdpTransport&) = delete;
    UdpTransport& operator=(const UdpTransport&) = delete;

    std::vector<std::string> Open(const std::vector<Destination>& destinations) override;
    void Send(const std::string& datagram) override;

    std::size_t opened() const { return targets_.size(); }

private:
    class Socket {
    public:
        Socket() = default;
        explicit Socket(SOCKET s) : s_(s) {}
        ~Socket();
        Socket(const Socket&) = delete;
        Socket& operator=(const Socket&) = delete;
        SOCKET get() const { return s_; }
        explicit operator bool() const { return s_ != INVALID_SOCKET; }

    private:
        SOCKET s_ = INVALID_SOCKET;
    };
    struct Target {
        sockaddr_storage address{};
        int length = 0;
        SOCKET socket = INVALID_SOCKET;  // v4_ or v6_, owned there
    };
    SOCKET SocketFor(int family, std::string& error);

    bool started_ = false;  // WSAStartup succeeded; WSACleanup at the end
    std::unique_ptr<Socket> v4_;
    std::unique_ptr<Socket> v6_;
    std::vector<Target> targets_;
};

// Whole-program factory for the main window: a FeedSink over UdpTransport.
std::shared_ptr<FeedSink> MakeUdpFeed(FeedOptions options);

}  // namespace feed

// A UDP listener for the feed's tests and decoder-flood: a real socket on a loopback address and an
// ephemeral port, read by a thread of its own that keeps every datagram, in order. The socket does not
// block: under Wine a blocking read that has to wait costs several round trips to the Wine server per
// datagram, so the thread reads whatever has arrived and sleeps a little, and a large receive buffer
// holds what comes meanwhile.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class UdpListener {
public:
    // `family` AF_INET (127.0.0.1) or AF_INET6 (::1).
    explicit UdpListener(int family = AF_INET) : family_(family) {
        WSADATA data{};
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
        if (socket_ == INVALID_SOCKET) return;
        int buffer = 16 << 20;  // a flood arrives faster than a test thread reads
        ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof buffer);
        u_long nonBlocking = 1;
        ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
        sockaddr_in6 v6{AF_INET6};
        v6.sin6_addr = in6addr_loopback;
        sockaddr_in v4{AF_INET};
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        auto* address = family == AF_INET6 ? reinterpret_cast<sockaddr*>(&v6) : reinterpret_cast<sockaddr*>(&v4);
        int length = family == AF_INET6 ? sizeof v6 : sizeof v4;
        if (::bind(socket_, address, length) != 0 || ::getsockname(socket_, address, &length) != 0) return;
        port_ = ntohs(family == AF_INET6 ? v6.sin6_port : v4.sin_port);
        reader_ = std::thread([this] { Read(); });
    }
    ~UdpListener() {
        quit_ = true;
        if (reader_.joinable()) reader_.join();
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
        if (started_) ::WSACleanup();
    }
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    bool ok() const { return port_ != 0; }
    // "127.0.0.1:port" or "[::1]:port", as typed in "Destinations".
    std::wstring Destination() const { return (family_ == AF_INET6 ? L"[::1]:" : L"127.0.0.1:") + std::to_wstring(port_); }
    std::size_t count() const { return count_.load(); }
    // When the latest datagram was read (steady clock; its epoch if none was).
    std::chrono::steady_clock::time_point lastArrival() const {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastArrival_.load()));
    }
    // The receive buffer the system granted (it may cap what was asked for).
    int receiveBuffer() const {
        int size = 0, length = sizeof size;
        ::getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length);
        return size;
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> hold(lock_);
        return datagrams_;
    }

private:
    void Read() {
        std::string buffer(70'000, '\0');
        while (!quit_) {
            const int n = ::recv(socket_, buffer.data(), static_cast<int>(buffer.size()), 0);
            if (n < 0) {
                ::Sleep(2);  // nothing waiting (WSAEWOULDBLOCK)
                continue;
            }
            std::lock_guard<std::mutex> hold(lock_);
            datagrams_.emplace_back(buffer.data(), static_cast<std::size_t>(n));
            lastArrival_ = std::chrono::steady_clock::now().time_since_epoch().count();
            ++count_;
        }
    }

    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    int family_;
    unsigned short port_ = 0;
    std::atomic<bool> quit_{false};
    std::atomic<std::size_t> count_{0};
    std::atomic<std::chrono::steady_clock::rep> lastArrival_{0};
    std::mutex lock_;
    std::vector<std::string> datagrams_;
    std::thread reader_;
};

#pragma once

// A real Modbus TCP server (libmodbus) on 127.0.0.1 (or ::1) at a port picked by the kernel,
// answering from its PeerMap in a background thread. Serves any number of client
// connections, one request at a time, and answers every unit identifier.

#include "tests/support/peer_map.h"
#include "tests/support/posix_util.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace vanetest {

class LibmodbusTcpPeer : public PeerMap
{
public:
    explicit LibmodbusTcpPeer(const PeerMapSizes &sizes = PeerMapSizes(), Loopback loopback = Loopback::IPv4);
    ~LibmodbusTcpPeer() override;

    bool isListening() const { return listenFd_ >= 0; }
    std::string host() const { return loopback_ == Loopback::IPv6 ? "::1" : "127.0.0.1"; }
    uint16_t port() const { return port_; }

    // Connections accepted so far, and those still open.
    int connectionCount() const { return accepted_; }
    int openConnectionCount() const { return open_; }
    // Closes every client connection from the server's side (the peer "goes away");
    // returns once they are closed. The server keeps listening.
    void dropConnections();

private:
    void serve();

    const Loopback loopback_;
    modbus_t *context_ = nullptr;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    WakeFd wake_;
    std::atomic<bool> stop_{false};
    std::atomic<int> dropRequests_{0};
    std::atomic<int> dropsDone_{0};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    std::thread thread_;
};

} // namespace vanetest

#include "tests/support/libmodbus_tcp_peer.h"

#include <modbus.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace vanetest {

namespace {

// libmodbus sleeps this long before an exception answer to a malformed request; short,
// so that tests of refused requests do not wait half a second each.
constexpr int kResponseTimeoutUs = 20000;
constexpr int kByteTimeoutUs = 200000;

} // namespace

LibmodbusTcpPeer::LibmodbusTcpPeer(const PeerMapSizes &sizes, Loopback loopback) : PeerMap(sizes), loopback_(loopback)
{
    listenFd_ = listenOnLoopback(&port_, loopback);
    if (listenFd_ < 0)
        return;
    // The context only frames the requests on sockets accepted here; its address is never used.
    context_ = modbus_new_tcp("127.0.0.1", port_);
    modbus_set_response_timeout(context_, 0, kResponseTimeoutUs);
    modbus_set_byte_timeout(context_, 0, kByteTimeoutUs);
    thread_ = std::thread(&LibmodbusTcpPeer::serve, this);
}

LibmodbusTcpPeer::~LibmodbusTcpPeer()
{
    stop_ = true;
    wake_.wake();
    if (thread_.joinable())
        thread_.join();
    if (context_)
        modbus_free(context_);
    if (listenFd_ >= 0)
        close(listenFd_);
}

void LibmodbusTcpPeer::dropConnections()
{
    const int target = ++dropRequests_;
    wake_.wake();
    while (dropsDone_ < target && thread_.joinable())
        usleep(1000);
}

void LibmodbusTcpPeer::serve()
{
    std::vector<int> clients;
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    auto closeClient = [&](int fd) {
        close(fd);
        clients.erase(std::remove(clients.begin(), clients.end(), fd), clients.end());
        --open_;
    };

    while (!stop_) {
        std::vector<pollfd> fds{{wake_.fd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (int fd : clients)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents) {
            wake_.drain();
            const int requested = dropRequests_;
            if (dropsDone_ < requested) {
                while (!clients.empty())
                    closeClient(clients.back());
                dropsDone_ = requested;
            }
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                clients.push_back(fd);
                ++accepted_;
                ++open_;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            modbus_set_socket(context_, fds[i].fd);
            const int length = modbus_receive(context_, request);
            if (length > 0)
                answer(context_, request, length);
            else if (length < 0)
                closeClient(fds[i].fd); // peer closed, or garbage libmodbus cannot frame
        }
    }
    for (int fd : clients)
        close(fd);
    open_ = 0;
    modbus_set_socket(context_, -1);
}

} // namespace vanetest

#include "tools/sim/tcp_service.h"

#include "tools/sim/fault_injector.h"
#include "tools/sim/sim_map.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace vanesim {

namespace {

// libmodbus waits this long before answering a malformed request with an exception.
constexpr int kResponseTimeoutUs = 100000;

} // namespace

TcpService::TcpService(SimMap &map, bool debug, FaultInjector *faults) : map_(map), faults_(faults)
{
    context_ = modbus_new_tcp("127.0.0.1", 0);
    modbus_set_debug(context_, debug);
    modbus_set_response_timeout(context_, 0, kResponseTimeoutUs);
}

TcpService::~TcpService()
{
    thread_.stop();
    modbus_free(context_);
    if (listenFd_ >= 0)
        close(listenFd_);
}

bool TcpService::start(uint16_t port, std::string *error)
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || listen(listenFd_, 16) != 0
        || getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_.start([this] { serve(); });
    return true;
}

void TcpService::serve()
{
    std::vector<int> clients;
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    while (!thread_.stopping()) {
        std::vector<pollfd> fds{{thread_.wakeFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (int fd : clients)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                clients.push_back(fd);
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            modbus_set_socket(context_, fds[i].fd);
            const int received = modbus_receive(context_, request);
            if (received > 0 && faults_) {
                faults_->answer(map_, context_, fds[i].fd, request, received);
            } else if (received > 0) {
                map_.answer(context_, request, received);
            } else if (received < 0) {
                close(fds[i].fd); // client gone, or bytes that are no Modbus TCP frame
                clients.erase(std::find(clients.begin(), clients.end(), fds[i].fd));
            }
        }
    }
    for (int fd : clients)
        close(fd);
    modbus_set_socket(context_, -1);
}

} // namespace vanesim

#include "tests/support/libmodbus_rtu_peer.h"

#include <modbus.h>

#include <poll.h>

namespace vanetest {

namespace {

// Short, so exception answers to malformed requests come at once (libmodbus sleeps this
// long before them); the byte timeout leaves room for a 1200 baud line (9 ms per byte).
constexpr int kResponseTimeoutUs = 20000;
constexpr int kByteTimeoutUs = 200000;

} // namespace

LibmodbusRtuPeer::LibmodbusRtuPeer(const std::string &devicePath, int station, int baud,
                                   const PeerMapSizes &sizes)
    : PeerMap(sizes), station_(station)
{
    context_ = modbus_new_rtu(devicePath.c_str(), baud, 'N', 8, 1);
    if (!context_)
        return;
    modbus_set_slave(context_, station);
    modbus_set_response_timeout(context_, 0, kResponseTimeoutUs);
    modbus_set_byte_timeout(context_, 0, kByteTimeoutUs);
    if (modbus_connect(context_) != 0)
        return;
    open_ = true;
    thread_ = std::thread(&LibmodbusRtuPeer::serve, this);
}

LibmodbusRtuPeer::~LibmodbusRtuPeer()
{
    stop_ = true;
    wake_.wake();
    if (thread_.joinable())
        thread_.join();
    if (context_) {
        if (open_)
            modbus_close(context_);
        modbus_free(context_);
    }
}

void LibmodbusRtuPeer::serve()
{
    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    const int lineFd = modbus_get_socket(context_);
    while (!stop_) {
        pollfd fds[2] = {{wake_.fd(), POLLIN, 0}, {lineFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[0].revents) {
            wake_.drain();
            continue;
        }
        // The line is gone (the pty relay ended): nothing more will come.
        if (fds[1].revents & (POLLERR | POLLNVAL | POLLHUP))
            break;
        if (!(fds[1].revents & POLLIN))
            continue;
        // 0 means a request for another station, -1 a damaged frame: neither is answered.
        const int length = modbus_receive(context_, request);
        if (length > 0)
            answer(context_, request, length);
        else if (length == 0)
            // libmodbus now takes the next frame for the other station's answer and drops
            // it. Let it wait for that answer here, for one response timeout, so that a
            // later request to this station is answered as on a real bus.
            modbus_receive(context_, request);
    }
}

} // namespace vanetest

#include "tools/sim/rtu_service.h"

#include "tools/sim/fault_injector.h"
#include "tools/sim/line_mirror.h"
#include "tools/sim/sim_map.h"

#include <modbus.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vanesim {

namespace {

constexpr int kResponseTimeoutUs = 100000;
// Room between bytes of one request on the slowest line (1200 baud, about 9 ms a byte).
constexpr int kByteTimeoutUs = 200000;

// Replaces an old symlink, never a regular file or device someone else owns.
bool placeLink(const std::string &target, const std::string &link, std::string *error)
{
    struct stat existing{};
    if (lstat(link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            *error = link + " exists and is not a symlink";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        *error = "cannot create " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

RtuService::RtuService(SimMap &map, int station, bool debug, FaultInjector *faults, LineMirror *mirror)
    : map_(map), faults_(faults), mirror_(mirror), station_(station), debug_(debug) {}

RtuService::~RtuService()
{
    thread_.stop();
    if (context_)
        modbus_free(context_); // the descriptors are ours, not libmodbus's: no modbus_close
    if (master_ >= 0)
        close(master_);
    if (slave_ >= 0)
        close(slave_);
    if (!linkPath_.empty())
        unlink(linkPath_.c_str());
}

bool RtuService::start(const std::string &linkPath, std::string *error)
{
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&raw, B9600);
    if (openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0) {
        *error = std::string("cannot create a pty: ") + std::strerror(errno);
        return false;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        *error = "cannot name the pty";
        return false;
    }
    devicePath_ = name;
    if (!linkPath.empty()) {
        if (!placeLink(devicePath_, linkPath, error))
            return false;
        linkPath_ = devicePath_ = linkPath;
    }
    if (mirror_ && (master_ = mirror_->interpose(master_, error)) < 0)
        return false;
    context_ = modbus_new_rtu(name, 9600, 'N', 8, 1);
    modbus_set_slave(context_, station_);
    modbus_set_debug(context_, debug_);
    modbus_set_response_timeout(context_, 0, kResponseTimeoutUs);
    modbus_set_byte_timeout(context_, 0, kByteTimeoutUs);
    modbus_set_socket(context_, master_);
    thread_.start([this] { serve(); });
    return true;
}

void RtuService::serve()
{
    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!thread_.stopping()) {
        pollfd fds[2] = {{thread_.wakeFd(), POLLIN, 0}, {master_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || !(fds[1].revents & POLLIN))
            continue;
        // 0: a request for another station; -1: a damaged frame. Neither gets an answer.
        const int received = modbus_receive(context_, request);
        if (received > 0 && faults_)
            faults_->answer(map_, context_, master_, request, received);
        else if (received > 0)
            map_.answer(context_, request, received);
        else if (received == 0)
            // libmodbus takes the next frame for the other station's answer and drops it: let
            // it wait that answer out (one response timeout), so that the next request to this
            // station is answered as on a real bus.
            modbus_receive(context_, request);
    }
}

} // namespace vanesim

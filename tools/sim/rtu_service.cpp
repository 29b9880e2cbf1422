#include "tools/sim/rtu_service.h"

#include "tools/sim/fault_injector.h"
#include "tools/sim/rtu_request_reader.h"
#include "tools/sim/station_tables.h"
#include "tools/sim/line_mirror.h"

#include <modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace vanesim {

namespace {

constexpr int kResponseTimeoutUs = 100000;
// Room between bytes of one request on the slowest line (1200 baud, about 9 ms a byte).
constexpr int kByteTimeoutUs = 200000;
constexpr int kBroadcast = 0;

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

RtuService::RtuService(StationTables &tables, const LineOptions &line, bool debug, FaultInjector *faults,
                       LineMirror *mirror)
    : tables_(tables), faults_(faults), mirror_(mirror), line_(line), debug_(debug) {}

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
    modbus_set_slave(context_, line_.stations.front());
    modbus_set_debug(context_, debug_);
    modbus_set_response_timeout(context_, 0, kResponseTimeoutUs);
    modbus_set_byte_timeout(context_, 0, kByteTimeoutUs);
    modbus_set_socket(context_, master_);
    thread_.start([this] { serve(); });
    return true;
}

void RtuService::serve()
{
    std::vector<uint8_t> request;
    while (!thread_.stopping()) {
        pollfd fds[2] = {{thread_.wakeFd(), POLLIN, 0}, {master_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || !(fds[1].revents & POLLIN))
            continue;
        const RtuRequest heard = readRtuRequest(master_, thread_.wakeFd(), kByteTimeoutUs / 1000, &request);
        if (heard == RtuRequest::Stopped)
            return;
        if (debug_) { // libmodbus prints what it sends; what comes in is read here, shown as it would
            for (uint8_t byte : request)
                std::printf("<%.2X>", byte);
            std::printf("\n");
        }
        // The adapter hands back whatever the master sent, damaged or not, for any station.
        if (line_.echo && !request.empty()) {
            const ssize_t n = write(master_, request.data(), request.size());
            (void)n; // a pty takes a frame whole; nobody to tell if it did not
        }
        if (heard == RtuRequest::Whole)
            handle(request.data(), int(request.size()));
    }
}

void RtuService::handle(const uint8_t *request, int length)
{
    const int station = request[0];
    const int function = request[1];
    const bool refused = line_.refused.count(function) > 0;
    if (station == kBroadcast) {
        // Every station carries it out; none answers (libmodbus sends nothing for station 0).
        if (!refused)
            for (const auto &entry : tables_.all())
                entry.second->answer(context_, request, length);
        return;
    }
    SimMap *map = tables_.find(station);
    if (!map || !delayAnswer())
        return;
    modbus_set_slave(context_, station);
    if (refused)
        modbus_reply_exception(context_, request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    else if (faults_)
        faults_->answer(*map, context_, master_, request, length);
    else
        map->answer(context_, request, length);
}

bool RtuService::delayAnswer()
{
    if (line_.delayMs <= 0)
        return true;
    pollfd wake{thread_.wakeFd(), POLLIN, 0};
    return poll(&wake, 1, line_.delayMs) == 0;
}

} // namespace vanesim

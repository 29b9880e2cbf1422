#include "tools/sim/line_mirror.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vanesim {

namespace {

void writeAll(int fd, const char *bytes, long size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= n;
    }
}

} // namespace

LineMirror::~LineMirror()
{
    thread_.stop();
    // device_[0] belongs to the device once handed over.
    for (int fd : {mirrorMaster_, mirrorSlave_, line_, device_[1]})
        if (fd >= 0)
            close(fd);
    if (!linkPath_.empty())
        unlink(linkPath_.c_str());
}

bool LineMirror::open(const std::string &linkPath, std::string *error)
{
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&raw, B9600);
    if (openpty(&mirrorMaster_, &mirrorSlave_, nullptr, &raw, nullptr) != 0) {
        *error = std::string("cannot create the mirror pty: ") + std::strerror(errno);
        return false;
    }
    fcntl(mirrorMaster_, F_SETFD, FD_CLOEXEC);
    fcntl(mirrorSlave_, F_SETFD, FD_CLOEXEC);
    fcntl(mirrorMaster_, F_SETFL, fcntl(mirrorMaster_, F_GETFL) | O_NONBLOCK);
    char name[128];
    if (ptsname_r(mirrorMaster_, name, sizeof name) != 0) {
        *error = "cannot name the mirror pty";
        return false;
    }
    // Replaces an old symlink, never a regular file or device someone else owns.
    struct stat existing{};
    if (lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            *error = linkPath + " exists and is not a symlink";
            return false;
        }
        unlink(linkPath.c_str());
    }
    if (symlink(name, linkPath.c_str()) != 0) {
        *error = "cannot create " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

int LineMirror::interpose(int lineFd, std::string *error)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, device_) != 0) {
        *error = std::string("cannot create the mirror's relay: ") + std::strerror(errno);
        return -1;
    }
    line_ = lineFd;
    thread_.start([this] { relay(); });
    return device_[0];
}

void LineMirror::copy(const char *bytes, long size)
{
    // Non-blocking: what does not fit while nobody reads is dropped.
    while (size > 0) {
        const ssize_t n = ::write(mirrorMaster_, bytes, size_t(size));
        if (n <= 0)
            return;
        bytes += n;
        size -= n;
    }
}

void LineMirror::relay()
{
    char buffer[512];
    while (!thread_.stopping()) {
        pollfd fds[3] = {{thread_.wakeFd(), POLLIN, 0}, {line_, POLLIN, 0}, {device_[1], POLLIN, 0}};
        if (poll(fds, 3, -1) < 0)
            continue;
        for (int i = 1; i <= 2; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n == 0 && i == 2)
                return; // the device has closed its end
            if (n <= 0)
                continue;
            writeAll(i == 1 ? device_[1] : line_, buffer, n);
            copy(buffer, n);
        }
    }
}

} // namespace vanesim

#include "tests/support/posix_util.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <cstdlib>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace vanetest {

int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t monotonicMs()
{
    return monotonicNs() / 1000000;
}

bool setRawMode(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string makeTempDir(const std::string &prefix)
{
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (!mkdtemp(pattern.data()))
        return std::string();
    return pattern;
}

void removeTempDir(const std::string &dir, std::initializer_list<std::string> entries)
{
    if (dir.empty())
        return;
    for (const std::string &name : entries)
        unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
}

bool writeAll(int fd, const char *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

WakeFd::WakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeFd::~WakeFd()
{
    if (fd_ >= 0)
        close(fd_);
}

void WakeFd::wake()
{
    const uint64_t one = 1;
    const ssize_t n = ::write(fd_, &one, sizeof one);
    (void)n;
}

void WakeFd::drain()
{
    uint64_t value = 0;
    const ssize_t n = ::read(fd_, &value, sizeof value);
    (void)n;
}

int listenOnLoopback(uint16_t *port, Loopback loopback)
{
    const bool six = loopback == Loopback::IPv6;
    const int fd = socket(six ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    sockaddr *bound = six ? reinterpret_cast<sockaddr *>(&address6) : reinterpret_cast<sockaddr *>(&address);
    socklen_t length = six ? sizeof address6 : sizeof address;
    if (bind(fd, bound, length) != 0 || listen(fd, 8) != 0 || getsockname(fd, bound, &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(six ? address6.sin6_port : address.sin_port);
    return fd;
}

namespace {

// The descriptors this process has open, from /proc (its entries' inode numbers are small), or by
// trying the first thousand where there is no /proc.
std::vector<int> openDescriptors()
{
    std::vector<int> fds;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (const dirent *entry = ::readdir(dir)) {
            char *end = nullptr;
            const long fd = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && fd != own)
                fds.push_back(static_cast<int>(fd));
        }
        ::closedir(dir);
        return fds;
    }
    for (int fd = 0; fd < 1024; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            fds.push_back(fd);
    }
    return fds;
}

std::vector<int> descriptorsOn(const std::string &path)
{
    std::vector<int> found;
    struct stat target{};
    if (::stat(path.c_str(), &target) != 0)
        return found;
    for (const int fd : openDescriptors()) {
        struct stat open{};
        if (::fstat(fd, &open) == 0 && open.st_dev == target.st_dev && open.st_ino == target.st_ino)
            found.push_back(fd);
    }
    return found;
}

} // namespace

int descriptorOpenOn(const std::string &path)
{
    const std::vector<int> fds = descriptorsOn(path);
    return fds.empty() ? -1 : fds.front();
}

int descriptorsOpenOn(const std::string &path)
{
    return static_cast<int>(descriptorsOn(path).size());
}

int socketConnectedTo(uint16_t port)
{
    for (const int fd : openDescriptors()) {
        struct stat open{};
        if (::fstat(fd, &open) != 0 || !S_ISSOCK(open.st_mode))
            continue;
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) != 0)
            continue;
        if (peer.ss_family == AF_INET) {
            const auto *v4 = reinterpret_cast<const sockaddr_in *>(&peer);
            if (ntohs(v4->sin_port) == port && ntohl(v4->sin_addr.s_addr) >> 24 == 127)
                return fd;
        } else if (peer.ss_family == AF_INET6) {
            const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&peer);
            if (ntohs(v6->sin6_port) == port && IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr))
                return fd;
        }
    }
    return -1;
}

} // namespace vanetest

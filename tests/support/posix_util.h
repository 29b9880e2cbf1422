#pragma once

// Small POSIX helpers shared by the test peers: clocks, raw terminal mode, temporary
// directories, wake-up descriptors for the peers' service threads.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace vanetest {

// Milliseconds of the monotonic clock.
int64_t monotonicMs();
// Nanoseconds of the monotonic clock (for wire-rate pacing).
int64_t monotonicNs();

// Puts a terminal (pty end) into raw 8N1 mode; false when the descriptor is no terminal.
bool setRawMode(int fd);

// Creates a fresh directory under /tmp ("<prefix>XXXXXX"); empty on failure.
std::string makeTempDir(const std::string &prefix);
// Removes the named entries of a directory we created, then the directory itself. The
// names are given rather than listed: a 32-bit build (the ARM tests under qemu) cannot
// list a directory whose inode numbers exceed 32 bits.
void removeTempDir(const std::string &dir, std::initializer_list<std::string> entries);

// Writes every byte, waiting on EAGAIN; false when the descriptor fails.
bool writeAll(int fd, const char *data, size_t size);

// This process's descriptor open on the file `path` names (after symbolic links), -1 when it has
// none; how many it has. They show whether a driver holds a port open.
int descriptorOpenOn(const std::string &path);
int descriptorsOpenOn(const std::string &path);

// This process's TCP socket connected to `port` on a loopback address, -1 when it has none: the
// client side of a connection to a test peer.
int socketConnectedTo(uint16_t port);

enum class Loopback { IPv4, IPv6 };

// A TCP socket listening on a loopback port the system picks, which goes to *port; -1 on failure
// (also when the machine has no IPv6 loopback and IPv6 is asked for).
int listenOnLoopback(uint16_t *port, Loopback loopback = Loopback::IPv4);

// An eventfd that a service thread polls next to its real descriptors, so that stop
// requests and queued work wake it at once instead of waiting for a poll timeout.
class WakeFd
{
public:
    WakeFd();
    ~WakeFd();
    WakeFd(const WakeFd &) = delete;
    WakeFd &operator=(const WakeFd &) = delete;

    int fd() const { return fd_; }
    void wake();
    void drain();

private:
    int fd_;
};

} // namespace vanetest

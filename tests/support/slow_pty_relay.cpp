#include "tests/support/slow_pty_relay.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

namespace vanetest {

namespace {

constexpr const char *kEndA = "ttyA";
constexpr const char *kEndB = "ttyB";
constexpr int kBitsPerCharacter = 10;
// Back-off when the far end's input queue is full (nobody reads it).
constexpr int64_t kFullRetryNs = 5000000;

// Bytes on their way in one direction, each with the time it leaves the "wire".
struct Lane {
    int from;
    int to;
    std::deque<std::pair<int64_t, char>> queue;
    int64_t lastDue = 0;

    void take(int64_t now, int64_t characterNs)
    {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(from, buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                lastDue = std::max(lastDue, now) + characterNs;
                queue.emplace_back(lastDue, buffer[i]);
            }
        }
    }

    // Writes what is due; returns the time the next byte is due, or LLONG_MAX.
    int64_t deliver(int64_t now)
    {
        std::string due;
        while (!queue.empty() && queue.front().first <= now) {
            due.push_back(queue.front().second);
            queue.pop_front();
        }
        if (!due.empty()) {
            const ssize_t n = ::write(to, due.data(), due.size());
            const size_t written = n > 0 ? size_t(n) : 0;
            // Bytes the far end could not take yet go back to the front of the queue.
            for (size_t i = due.size(); i > written; --i)
                queue.emplace_front(now + kFullRetryNs, due[i - 1]);
        }
        return queue.empty() ? LLONG_MAX : queue.front().first;
    }
};

} // namespace

SlowPtyRelay::SlowPtyRelay(int baud) : baud_(baud)
{
    dir_ = makeTempDir("vane-relay-");
    if (dir_.empty())
        return;
    pathA_ = dir_ + "/" + kEndA;
    pathB_ = dir_ + "/" + kEndB;
    if (!openEnd(a_, pathA_) || !openEnd(b_, pathB_))
        return;
    ready_ = true;
    thread_ = std::thread(&SlowPtyRelay::relay, this);
}

SlowPtyRelay::~SlowPtyRelay()
{
    stop_ = true;
    wake_.wake();
    if (thread_.joinable())
        thread_.join();
    for (End *end : {&a_, &b_}) {
        if (end->slave >= 0)
            close(end->slave);
        if (end->master >= 0)
            close(end->master);
    }
    removeTempDir(dir_, {kEndA, kEndB});
}

int64_t SlowPtyRelay::characterTimeNs() const
{
    return baud_ > 0 ? int64_t(kBitsPerCharacter) * 1000000000 / baud_ : 0;
}

bool SlowPtyRelay::openEnd(End &end, const std::string &linkPath)
{
    if (openpty(&end.master, &end.slave, nullptr, nullptr, nullptr) != 0)
        return false;
    fcntl(end.master, F_SETFL, fcntl(end.master, F_GETFL) | O_NONBLOCK);
    fcntl(end.master, F_SETFD, FD_CLOEXEC);
    fcntl(end.slave, F_SETFD, FD_CLOEXEC);
    char name[128];
    if (!setRawMode(end.slave) || ptsname_r(end.master, name, sizeof name) != 0)
        return false;
    return symlink(name, linkPath.c_str()) == 0;
}

void SlowPtyRelay::relay()
{
    const int64_t characterNs = characterTimeNs();
    Lane toB{a_.master, b_.master, {}, 0};
    Lane toA{b_.master, a_.master, {}, 0};
    int64_t nextDue = LLONG_MAX;
    while (!stop_) {
        pollfd fds[3] = {{wake_.fd(), POLLIN, 0}, {a_.master, POLLIN, 0}, {b_.master, POLLIN, 0}};
        timespec timeout{};
        timespec *timeoutPointer = nullptr;
        if (nextDue != LLONG_MAX) {
            const int64_t wait = std::max<int64_t>(0, nextDue - monotonicNs());
            timeout.tv_sec = wait / 1000000000;
            timeout.tv_nsec = wait % 1000000000;
            timeoutPointer = &timeout;
        }
        if (ppoll(fds, 3, timeoutPointer, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            wake_.drain();
        const int64_t now = monotonicNs();
        if (fds[1].revents & POLLIN)
            toB.take(now, characterNs);
        if (fds[2].revents & POLLIN)
            toA.take(now, characterNs);
        nextDue = std::min(toB.deliver(now), toA.deliver(now));
    }
}

} // namespace vanetest

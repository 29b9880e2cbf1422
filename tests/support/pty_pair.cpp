#include "tests/support/pty_pair.h"

#include "tests/support/posix_util.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace vanetest {

namespace {

constexpr const char *kEndA = "ttyA";
constexpr const char *kEndB = "ttyB";
constexpr int kStartTimeoutMs = 5000;
constexpr int kStopTimeoutMs = 2000;

bool linkReady(const std::string &path)
{
    struct stat target{};
    return stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode);
}

pid_t spawnSocat(const std::string &pathA, const std::string &pathB)
{
    const std::string endA = "pty,raw,echo=0,link=" + pathA;
    const std::string endB = "pty,raw,echo=0,link=" + pathB;
    char *const argv[] = {const_cast<char *>("socat"), const_cast<char *>(endA.c_str()),
                          const_cast<char *>(endB.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "socat", &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the child to end; true once it has been reaped.
bool reap(pid_t pid, int timeoutMs)
{
    const int64_t deadline = monotonicMs() + timeoutMs;
    do {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        usleep(2000);
    } while (monotonicMs() < deadline);
    return false;
}

} // namespace

PtyPair::PtyPair()
{
    dir_ = makeTempDir("vane-pty-");
    if (dir_.empty())
        return;
    pathA_ = dir_ + "/" + kEndA;
    pathB_ = dir_ + "/" + kEndB;
    child_ = spawnSocat(pathA_, pathB_);
    if (child_ < 0)
        return;
    const int64_t deadline = monotonicMs() + kStartTimeoutMs;
    while (monotonicMs() < deadline) {
        if (linkReady(pathA_) && linkReady(pathB_)) {
            ready_ = true;
            return;
        }
        if (waitpid(child_, nullptr, WNOHANG) == child_) {
            child_ = -1; // socat gave up
            return;
        }
        usleep(2000);
    }
}

PtyPair::~PtyPair()
{
    if (child_ > 0) {
        kill(child_, SIGTERM);
        if (!reap(child_, kStopTimeoutMs)) {
            kill(child_, SIGKILL);
            reap(child_, kStopTimeoutMs);
        }
    }
    removeTempDir(dir_, {kEndA, kEndB});
}

} // namespace vanetest

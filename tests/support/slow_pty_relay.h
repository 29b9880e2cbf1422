#pragma once

// Two pseudo-terminals linked by our own relay thread that delivers bytes at the wire rate
// of a serial line: one character (start bit, 8 data bits, stop bit = 10 bits) every
// 10/baud seconds in each direction, as a real line at that baud rate would. A baud rate
// of 0 relays without pacing.
//
// Unlike PtyPair it needs no child process. The relay keeps its own descriptor on each
// slave end open, so the ends stay usable while nobody else has them open, and the raw
// settings survive a close and reopen by the code under test.

#include "tests/support/posix_util.h"

#include <atomic>
#include <string>
#include <thread>

namespace vanetest {

class SlowPtyRelay
{
public:
    explicit SlowPtyRelay(int baud);
    ~SlowPtyRelay();
    SlowPtyRelay(const SlowPtyRelay &) = delete;
    SlowPtyRelay &operator=(const SlowPtyRelay &) = delete;

    bool isReady() const { return ready_; }
    const std::string &pathA() const { return pathA_; }
    const std::string &pathB() const { return pathB_; }
    int baud() const { return baud_; }

    // Wire time of one character at this relay's rate, in nanoseconds (0 without pacing).
    int64_t characterTimeNs() const;

private:
    struct End {
        int master = -1;
        int slave = -1;
    };

    bool openEnd(End &end, const std::string &linkPath);
    void relay();

    int baud_;
    std::string dir_;
    std::string pathA_;
    std::string pathB_;
    End a_;
    End b_;
    bool ready_ = false;
    WakeFd wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace vanetest

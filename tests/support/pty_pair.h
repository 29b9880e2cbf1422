#pragma once

// Two linked pseudo-terminals in raw mode: bytes written to one end are read from the
// other, as over a null-modem cable. A socat child process relays between them; the two
// ends are symlinks in a private temporary directory. The destructor ends that child (by
// its process id) and removes the directory.
//
// Either end may be opened, closed and reopened any number of times. A pty forces 8 data
// bits and ignores parity and baud rate: check line settings on the driver's side.

#include <string>
#include <sys/types.h>

namespace vanetest {

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // False when socat could not be started or its ends did not appear in time.
    bool isReady() const { return ready_; }
    const std::string &pathA() const { return pathA_; }
    const std::string &pathB() const { return pathB_; }

private:
    std::string dir_;
    std::string pathA_;
    std::string pathB_;
    pid_t child_ = -1;
    bool ready_ = false;
};

} // namespace vanetest

#pragma once

// A copy of everything on the simulated RTU line, both ways, on a pty of its own: a second
// adapter on the same pair of wires. A relay thread sits between the line's pty (the driver's
// side) and the device and passes every chunk on the moment it comes, copying it to the mirror;
// the gaps between frames on the mirror are the line's own. The mirror never blocks the line:
// while nobody reads it and its buffer is full, the copies are dropped.

#include "tools/sim/serving_thread.h"

#include <string>

namespace vanesim {

class LineMirror
{
public:
    LineMirror() = default;
    ~LineMirror();
    LineMirror(const LineMirror &) = delete;
    LineMirror &operator=(const LineMirror &) = delete;

    // Creates the mirror pty and the symlink `linkPath` to the end a monitor opens.
    bool open(const std::string &linkPath, std::string *error);
    // Takes over `lineFd`, the master side of the line's pty, and returns the descriptor the
    // device serves on instead (the device closes it); -1 with *error set on failure.
    int interpose(int lineFd, std::string *error);
    const std::string &path() const { return linkPath_; }

private:
    void relay();
    void copy(const char *bytes, long size);

    int mirrorMaster_ = -1;
    int mirrorSlave_ = -1; // kept open, so that the mirror stays up between monitors
    int line_ = -1;
    int device_[2] = {-1, -1}; // [0] the device's end, [1] the relay's
    std::string linkPath_;
    ServingThread thread_;
};

} // namespace vanesim

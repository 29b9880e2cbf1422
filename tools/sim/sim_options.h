#pragma once

// Command line of vane-sim.

#include "tools/sim/line_options.h"

#include <cstdint>
#include <string>

namespace vanesim {

struct SimOptions {
    bool tcp = false;
    int tcpPort = 0;
    bool rtu = false;
    std::string rtuLink;
    LineOptions line; // RTU: stations, echo, delay, refused functions
    std::string mirrorPath; // RTU: a pty that carries a copy of the line's traffic
    bool debug = false;
    double faultRate = 0;  // share of requests answered wrongly, 0..1
    uint32_t faultSeed = 1;
    int cleanTcpPort = -1; // a fault-free TCP port on the same tables; -1: none
    bool printMap = false;
    bool help = false;
};

constexpr int kDefaultTcpPort = 1502;

// Parses argv; false with *error set on a bad argument. With no transport named, TCP on
// kDefaultTcpPort is served.
bool parseOptions(int argc, char **argv, SimOptions *options, std::string *error);
const char *usageText();

} // namespace vanesim

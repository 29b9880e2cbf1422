#pragma once

#include "cli_options.h"

namespace vane::monitor {

// vane-host monitor: listens to the RTU line of --connect without taking part, prints a line per
// frame and per detection, and the summary per station when it stops (Ctrl-C, --seconds,
// --frames, or the port closing). Returns the exit code: 2 when the port cannot be listened to.
int runMonitor(const host::Options& options);

} // namespace vane::monitor

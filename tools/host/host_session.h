#pragma once

#include "cli_options.h"

namespace vane::host {

// The panel runtime's calling order: load the plug-in, station number, debug switch, connect,
// the command, disconnect, release. Returns the process exit code.
int runHost(const Options& options);

} // namespace vane::host

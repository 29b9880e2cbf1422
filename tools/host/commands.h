#pragma once

#include "cli_options.h"

class CDriveBaseClass;

namespace vane::host {

// Runs the command against a loaded (and, when asked, connected) driver; returns the exit code.
int runCommand(CDriveBaseClass& driver, const Options& options);

} // namespace vane::host

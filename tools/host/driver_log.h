#pragma once

namespace vane::host {

// Routes Qt's message log, where the drivers write their lines, to stderr with a prefix:
// "[driver] " for debug and info lines (shown only when showDebug is set), "[driver warning] "
// for warnings and worse (always shown).
void installDriverLog(bool showDebug);

// Lines written so far; the poll table starts afresh below them instead of overwriting them.
int driverLogLineCount();

} // namespace vane::host

#pragma once

namespace vane::host {

// From now on SIGINT and SIGTERM only set a flag, so that poll and bench can finish their
// current transaction and report before they stop.
void catchInterrupt();
bool interrupted();

// Runs the thread's Qt event loop for about `milliseconds` (drivers rely on it between
// requests), returning early once interrupted.
void serveEventsFor(int milliseconds);

} // namespace vane::host

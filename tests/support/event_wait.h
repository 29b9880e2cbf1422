#pragma once

#include <functional>

namespace vanetest {

// Runs the thread's events (as a host does between its calls) until `done` holds or the time
// is up; returns `done()`.
bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 3000);

} // namespace vanetest

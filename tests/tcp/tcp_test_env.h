#pragma once

// What the Modbus TCP link tests share beyond tests/support: a wait that leaves arriving input
// below Qt, and checks of the system's side of a socket.

#include <QtGlobal>

#include <functional>

namespace tcptest {

// Waits without running events, so whatever arrives stays below Qt; returns `done()`.
bool sleepUntil(const std::function<bool()>& done, int timeoutMs = 3000);

// True when the descriptor has input waiting in the system.
bool descriptorReadable(qintptr descriptor);

// A loopback port on which nothing listens (bound once, then released).
int unusedLoopbackPort();

} // namespace tcptest

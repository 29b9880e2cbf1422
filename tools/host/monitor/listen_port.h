#pragma once

// A serial port opened to listen only: read-only, raw, at the line's settings. It never writes,
// and it never changes the modem lines (no hang-up on close).

#include "modbus/protocol/connection_string.h"

#include <QString>

namespace vane::monitor {

// t3.5 of a line with these settings (parity N, E or O): 3.5 character times (start bit, data
// bits, parity bit, stop bits), fixed at 1.75 ms above 19200 baud.
int silenceUs(const modbus::SerialParameters& settings);

class ListenPort {
public:
    ListenPort() = default;
    ~ListenPort();
    ListenPort(const ListenPort&) = delete;
    ListenPort& operator=(const ListenPort&) = delete;

    // Opens the port; false with *error set when it does not exist, cannot be read or is no
    // serial port.
    bool open(const modbus::SerialParameters& settings, QString* error);
    int descriptor() const { return fd; }

private:
    int fd = -1;
};

} // namespace vane::monitor

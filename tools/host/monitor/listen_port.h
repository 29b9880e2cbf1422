#pragma once

// A serial port opened to listen only: read-only, raw, at the line's settings. It never writes,
// and it never changes the modem lines (no hang-up on close).

#include <QString>

namespace vane::monitor {

struct LineSettings {
    QString port;
    int baudRate = 9600;
    int dataBits = 8;
    int stopBits = 1;
    char parity = 'N'; // N, E or O

    // Wire time of one character: start bit, data bits, parity bit, stop bits.
    int characterUs() const;
    // t3.5: 3.5 character times, fixed at 1.75 ms above 19200 baud.
    int silenceUs() const;
};

class ListenPort {
public:
    ListenPort() = default;
    ~ListenPort();
    ListenPort(const ListenPort&) = delete;
    ListenPort& operator=(const ListenPort&) = delete;

    // Opens the port; false with *error set when it does not exist, cannot be read or is no
    // serial port.
    bool open(const LineSettings& settings, QString* error);
    int descriptor() const { return fd; }

private:
    int fd = -1;
};

} // namespace vane::monitor

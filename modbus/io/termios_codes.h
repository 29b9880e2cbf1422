#pragma once

// The system's codes for a serial line's rate and character size, for everything that sets up a
// serial device on its descriptor.

#include <termios.h>

namespace vane::modbus {

// B0 for a rate the line settings do not know.
inline speed_t termiosSpeed(int baudRate)
{
    switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

// 8 bits for anything but 5, 6 and 7.
inline tcflag_t termiosCharacterSize(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

} // namespace vane::modbus

#pragma once

#include <QString>

namespace vane::host {

// Checks the connection parameters before the driver sees them. The socket form (host:port) is
// passed on as it is. The serial form "port,baud,data bits,stop bits,parity" must name a standard
// baud rate (1200 to 115200), 5 to 8 data bits, 1 or 2 stop bits and the parity N, E, O or None,
// Even, Odd in any case; the word is turned into the letter, since the driver reads any text that
// contains an n as no parity. The drivers keep the port's previous setting for a value they do
// not know, so nothing is left to them. On failure returns false with one line in *error.
bool checkConnection(const QString& text, QString* checked, QString* error);

} // namespace vane::host

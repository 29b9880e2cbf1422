#pragma once

#include <QString>

namespace vane::modbus {

// The serial form of a connection-parameter string: port,baud,data bits,stop bits,parity.
// Each field is the text before the next comma, or all that is left; so with fewer than five
// fields every missing field repeats the last one present. Numbers that do not parse are 0.
struct SerialParameters {
    QString portField;
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    QString parity;
};

inline bool isSerialForm(const QString& text) { return text.contains(QLatin1Char(',')); }

SerialParameters parseSerialForm(const QString& text);

// The socket form split at the host's colon: the host is the text before the first colon, or,
// for "[address]:port", the text within the brackets, since an IPv6 address holds colons of its
// own. The port text is all that follows the host's colon; each driver reads its port from it.
struct SocketParameters {
    QString host;
    QString portText;
};

SocketParameters splitSocketForm(const QString& text);

} // namespace vane::modbus

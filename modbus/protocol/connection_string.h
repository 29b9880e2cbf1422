#pragma once

#include <QString>
#include <QStringList>

namespace vane::modbus {

// The serial form of a connection-parameter string: port,baud,data bits,stop bits,parity, then
// options. Each field is the text before the next comma, or all that is left; so with fewer than
// five fields every missing field repeats the last one present. Numbers that do not parse are 0.
// The fields after the parity are the options, as written.
struct SerialParameters {
    QString portField;
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    QString parity;
    QStringList optionFields;
};

inline bool isSerialForm(const QString& text) { return text.contains(QLatin1Char(',')); }

SerialParameters parseSerialForm(const QString& text);

// What a serial line's options ask for; without options a line is plain, as the drivers always
// knew it.
struct SerialOptions {
    // The adapter hands every request back before the answer (two-wire RS-485 with echo).
    bool echo = false;
    // The longest wait for an answer to begin, in milliseconds; 0 keeps the protocol's own times.
    int answerTimeoutMs = 0;
    // Single-register writes go as function 16 with quantity 1, for devices without function 06.
    bool singleWritesAsFc16 = false;
    // The kernel's RS-485 mode, set on the port when it opens: RTS high while sending (low with
    // rs485-rts-low), held the delays before and after.
    bool rs485 = false;
    bool rs485RtsLow = false;
    int rs485DelayBeforeMs = 0;
    int rs485DelayAfterMs = 0;
};

// What reading the option fields found besides the options themselves.
struct SerialOptionsReport {
    QStringList unknown; // fields that name no option, ignored
    QString badField;    // the first known option whose value is bad; empty when none was
};

// Reads `fields` (echo, timeout=MS, fc16, rs485, rs485-rts-low, rs485-delay-before=MS,
// rs485-delay-after=MS; names without regard to case). An option with a bad value makes the
// result unusable: the report names it.
SerialOptions parseSerialOptions(const QStringList& fields, SerialOptionsReport* report);

// The socket form split at the host's colon: the host is the text before the first colon, or,
// for "[address]:port", the text within the brackets, since an IPv6 address holds colons of its
// own. The port text is all that follows the host's colon; each driver reads its port from it.
struct SocketParameters {
    QString host;
    QString portText;
};

SocketParameters splitSocketForm(const QString& text);

} // namespace vane::modbus

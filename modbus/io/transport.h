#pragma once

// One connection of a link: a TCP socket or a serial port, behind the few steps a link takes
// with either. A link holds exactly one transport, the one its last connect asked for.

#include <QByteArray>

#include "exchange.h"

namespace vane::modbus {

class Transport {
public:
    enum class Kind { Socket, Serial };

    virtual ~Transport() = default;
    virtual Kind kind() const = 0;

    // True when a request can be written now. A socket notices here a peer gone since the last call.
    virtual bool usable() = 0;
    // Closes the connection; the transport stays for the next connect.
    virtual void close() = 0;
    // Writes `request` and collects its answer into `answer` (empty when none came). False when
    // the transport could not take the request at all.
    virtual bool exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                          QByteArray& answer) = 0;
    // Writes a request that no device answers (a broadcast).
    virtual bool send(const QByteArray& request, int writeTimeoutMs) = 0;
    // Reception outside an exchange: keeps what arrived until the next exchange discards it.
    virtual void takeIncoming() = 0;

    // What arrived since the last exchange, nobody having asked for it.
    const QByteArray& unasked() const { return incoming; }
    // The last exchange met another sender on the line: what came back is nobody's answer.
    bool collided() const { return collision; }

protected:
    QByteArray incoming;
    bool collision = false;
};

} // namespace vane::modbus

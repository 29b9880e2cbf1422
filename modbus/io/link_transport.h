#pragma once

// What both links do with their one transport: make it on the first connect of its kind (the
// other kind is closed and released then), hand it out, release it again.

#include <QObject>

#include <memory>

#include "serial_transport.h"
#include "socket_transport.h"

namespace vane::modbus {

// The answer timing of one protocol, per transport.
struct LinkTiming {
    AnswerTiming socket;
    AnswerTiming serial;

    const AnswerTiming& of(Transport::Kind kind) const { return kind == Transport::Kind::Socket ? socket : serial; }
};

class LinkTransport {
public:
    Transport* get() const { return transport.get(); }
    SocketTransport* socket() const { return as<SocketTransport>(Transport::Kind::Socket); }
    SerialTransport* serial() const { return as<SerialTransport>(Transport::Kind::Serial); }
    // The Qt objects of the transport, null when it is of the other kind.
    QTcpSocket* tcpSocket() const { return socket() ? &socket()->socket() : nullptr; }
    QSerialPort* serialPort() const { return serial() ? &serial()->port() : nullptr; }
    QTimer* frameTimer() const { return serial() ? &serial()->frameTimer() : nullptr; }

    // The link's socket, reporting to the link's handlers; made anew when the link had none.
    template <typename Link>
    SocketTransport& useSocket(Link* link, void (Link::*onConnected)(), void (Link::*onDisconnected)(),
                               void (Link::*onReadyRead)())
    {
        if (SocketTransport* present = socket())
            return *present;
        auto made = std::make_unique<SocketTransport>(link);
        QTcpSocket* tcp = &made->socket();
        QObject::connect(tcp, &QTcpSocket::connected, link, onConnected);
        QObject::connect(tcp, &QTcpSocket::disconnected, link, onDisconnected);
        QObject::connect(tcp, &QTcpSocket::readyRead, link, onReadyRead);
        return replaceWith(std::move(made));
    }

    // The link's serial port and frame timer, reporting to the link's handlers; made anew when the
    // link had none.
    template <typename Link>
    SerialTransport& useSerial(Link* link, void (Link::*onReadyRead)(), void (Link::*onFrameEnd)())
    {
        if (SerialTransport* present = serial())
            return *present;
        auto made = std::make_unique<SerialTransport>(link);
        QObject::connect(&made->port(), &QSerialPort::readyRead, link, onReadyRead);
        QObject::connect(&made->frameTimer(), &QTimer::timeout, link, onFrameEnd);
        return replaceWith(std::move(made));
    }

    // Closes and releases the transport: 0 when there was one, 1 when there was none.
    int release();

private:
    std::unique_ptr<Transport> transport;

    template <typename T>
    T* as(Transport::Kind kind) const
    {
        return transport && transport->kind() == kind ? static_cast<T*>(transport.get()) : nullptr;
    }

    template <typename T>
    T& replaceWith(std::unique_ptr<T> made)
    {
        T& fresh = *made;
        release();
        transport = std::move(made);
        return fresh;
    }
};

// Waits `ms` in a local event loop, so the thread's events (timers, socket input) go on meanwhile.
void sleepInEventLoop(int ms);

} // namespace vane::modbus

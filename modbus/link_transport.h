#pragma once

// The transport steps both links take alike: making their socket, serial port and frame timer,
// connecting and disconnecting the socket, closing the port, and releasing each object again.
// What differs between the links (address checks, results, line timing) stays with them.

#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

class QHostAddress;

namespace vane::modbus {

// A socket owned by `link` that reports to the link's handlers.
template <typename Link>
QTcpSocket* newLinkSocket(Link* link, void (Link::*onConnected)(), void (Link::*onDisconnected)(),
                          void (Link::*onReadyRead)())
{
    auto* socket = new QTcpSocket(link);
    QObject::connect(socket, &QTcpSocket::connected, link, onConnected);
    QObject::connect(socket, &QTcpSocket::disconnected, link, onDisconnected);
    QObject::connect(socket, &QTcpSocket::readyRead, link, onReadyRead);
    return socket;
}

// A serial port owned by `link` that reports arriving bytes to the link.
template <typename Link>
QSerialPort* newLinkSerialPort(Link* link, void (Link::*onReadyRead)())
{
    auto* port = new QSerialPort(link);
    QObject::connect(port, &QSerialPort::readyRead, link, onReadyRead);
    return port;
}

// The repeating timer that ends a frame received outside an exchange after a frame gap.
template <typename Link>
QTimer* newFrameTimer(Link* link, void (Link::*onTimeout)())
{
    auto* timer = new QTimer(link);
    timer->setSingleShot(false);
    QObject::connect(timer, &QTimer::timeout, link, onTimeout);
    return timer;
}

// Cuts what connects `object` to `link`, deletes it and leaves the pointer empty.
template <typename Transport>
void releaseTransport(Transport*& object, const QObject* link)
{
    if (!object)
        return;
    QObject::disconnect(object, nullptr, link, nullptr);
    delete object;
    object = nullptr;
}

// What DestroyFree does on either link: the serial port (with its frame timer) is closed and
// released when the link has one, else the socket is disconnected and released. 0 when a
// transport was released, 1 when the link had none.
template <typename Link>
int destroyLinkTransports(Link& link)
{
    if (link.serialPort) {
        link.serialDisConnectDrive();
        link.deleteSerialPort();
        return 0;
    }
    if (link.tcpSocket) {
        if (link.tcpSocket->state() != QAbstractSocket::UnconnectedState)
            link.EthDisConnectDrive();
        link.deletetcpSocket();
        return 0;
    }
    return 1;
}

// Drops whatever is pending on the socket and connects it anew, waiting up to `timeoutMs`.
// 0 when the socket is connected or still connecting by then, -3 when it gave up.
int connectSocket(QTcpSocket& socket, const QHostAddress& address, int port, int timeoutMs);

// Closes the socket and waits up to `timeoutMs` for the peer to let it go.
void disconnectSocket(QTcpSocket& socket, int timeoutMs);

// Drops what is pending in both directions and closes an open port; false when it was not open.
bool closeSerialPort(QSerialPort& port);

// Waits `ms` in a local event loop, so the thread's events (timers, socket input) go on meanwhile.
void sleepInEventLoop(int ms);

} // namespace vane::modbus

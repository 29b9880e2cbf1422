#include "link_transport.h"

#include <QEventLoop>
#include <QHostAddress>

namespace vane::modbus {

int connectSocket(QTcpSocket& socket, const QHostAddress& address, int port, int timeoutMs)
{
    socket.abort();
    socket.connectToHost(address, static_cast<quint16>(port), QIODevice::ReadWrite);
    socket.waitForConnected(timeoutMs);
    const QAbstractSocket::SocketState state = socket.state();
    return state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState ? 0 : -3;
}

void disconnectSocket(QTcpSocket& socket, int timeoutMs)
{
    socket.close();
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
}

bool closeSerialPort(QSerialPort& port)
{
    if (!port.isOpen())
        return false;
    port.clear(QSerialPort::AllDirections);
    port.close();
    return true;
}

void sleepInEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, SLOT(quit()));
    loop.exec();
}

} // namespace vane::modbus

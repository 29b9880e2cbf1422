#include "socket_transport.h"

namespace vane::modbus {

namespace {
constexpr int kCloseTimeoutMs = 30000;
}

SocketTransport::SocketTransport(QObject* owner) : tcp(new QTcpSocket(owner)) {}

SocketTransport::~SocketTransport()
{
    // Cut first, so the owner hears nothing from a socket on its way out.
    QObject::disconnect(tcp, nullptr, nullptr, nullptr);
    if (tcp->state() != QAbstractSocket::UnconnectedState)
        tcp->abort();
    delete tcp;
}

int SocketTransport::connectTo(const QHostAddress& address, int port, int timeoutMs)
{
    incoming.clear();
    staleJustDiscarded = false;
    tcp->abort();
    tcp->connectToHost(address, static_cast<quint16>(port), QIODevice::ReadWrite);
    tcp->waitForConnected(timeoutMs);
    const QAbstractSocket::SocketState state = tcp->state();
    return state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState ? 0 : -3;
}

void SocketTransport::close()
{
    tcp->close();
    tcp->disconnectFromHost();
    if (tcp->state() != QAbstractSocket::UnconnectedState)
        tcp->waitForDisconnected(kCloseTimeoutMs);
}

bool SocketTransport::usable()
{
    discardStale();
    // The request that follows at once needs no second look.
    staleJustDiscarded = true;
    return tcp->state() != QAbstractSocket::UnconnectedState;
}

void SocketTransport::noticePeerGone()
{
    // The end of stream is still pending on the descriptor: the socket reads it itself, takes
    // the unconnected state and reports the disconnect as it would in the event loop.
    tcp->waitForReadyRead(0);
}

void SocketTransport::discardStale()
{
    incoming.clear();
    if (!connected())
        return;
    if (tcp->bytesAvailable() > 0)
        tcp->readAll();
    DescriptorState state;
    readWaiting(static_cast<int>(tcp->socketDescriptor()), nullptr, state);
    if (state.endOfStream)
        noticePeerGone();
}

bool SocketTransport::writeRequest(const QByteArray& request, int writeTimeoutMs)
{
    if (!staleJustDiscarded)
        discardStale();
    staleJustDiscarded = false;
    if (tcp->state() == QAbstractSocket::ConnectingState)
        tcp->waitForConnected(writeTimeoutMs);
    if (!connected())
        return false;
    DescriptorState state;
    writeAll(static_cast<int>(tcp->socketDescriptor()), request, writeTimeoutMs, state);
    if (state.endOfStream)
        noticePeerGone();
    return true;
}

bool SocketTransport::exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                               QByteArray& answer)
{
    emptyKeepingRoom(answer);
    if (!writeRequest(request, timing.writeTimeoutMs))
        return false;
    if (!connected())
        return true;
    QElapsedTimer clock;
    clock.start();
    DescriptorState state;
    const int fd = static_cast<int>(tcp->socketDescriptor());
    // A near peer has often answered by now: one look may spare the wait.
    readWaiting(fd, &answer, state);
    collectAnswer(fd, answer, shape, timing, clock, state);
    if (state.endOfStream)
        noticePeerGone();
    return true;
}

bool SocketTransport::send(const QByteArray& request, int writeTimeoutMs) { return writeRequest(request, writeTimeoutMs); }

void SocketTransport::takeIncoming()
{
    // Appends: an answer may come in several segments.
    while (tcp->bytesAvailable() > 0)
        appendReceived(incoming, tcp->read(tcp->bytesAvailable()));
}

} // namespace vane::modbus

// Link half of CmdModbusTCP: the transport, its notifications and the blocking exchange.
#include "CmdModbusTCP.h"

#include <QMessageLogger>

#include "mbap.h"
#include "modbus/protocol/log_texts.h"

using namespace vane::modbus;

namespace {

// Time limits of the link, in milliseconds. Each is an upper bound: a wait ends as soon as
// what it waits for has happened.
constexpr int kConnectTimeoutMs = 1000;
// A socket answer gets one wait of 1500 ms, and a second one when the first brought nothing.
constexpr int kSocketAnswerWaitMs = 1500;

// How answers are waited for, per transport. On a serial line the answer is given its wire time
// at the port's rate on top of what is given here.
const LinkTiming kTiming = {
    /* socket */ {/* write */ 200, /* first byte */ 2 * kSocketAnswerWaitMs, /* collect */ kSocketAnswerWaitMs,
                  /* quiet end */ 0, /* whole answer */ 2 * kSocketAnswerWaitMs},
    /* serial */ {/* write */ 100, /* first byte */ 1500, /* collect slack */ 200,
                  /* quiet end: the frame gap */ 0, /* whole answer */ 0},
};

void logWarning(const QString& line) { QMessageLogger().warning().noquote() << line; }
void logDebug(const QString& line) { QMessageLogger().debug().noquote() << line; }

} // namespace

CmdModbusTCP::CmdModbusTCP(QObject* parent) : QObject(parent) {}

CmdModbusTCP::~CmdModbusTCP() { DestroyFree(); }

// ---- Transports ------------------------------------------------------------------------------

int CmdModbusTCP::EthConnectDrive(QString address, int portNumber)
{
    port = portNumber;
    SocketTransport& socket = transport.useSocket(this, &CmdModbusTCP::Ethconnected, &CmdModbusTCP::Ethdisconnected,
                                                  &CmdModbusTCP::EthreadyRead);
    if (!peer.setAddress(address)) {
        logWarning(QStringLiteral("lib[ModbusTCP]%1:%2 IP错误").arg(peer.toString()).arg(port));
        return -1;
    }
    return socket.connectTo(peer, port, kConnectTimeoutMs);
}

int CmdModbusTCP::EthDisConnectDrive()
{
    SocketTransport* socket = transport.socket();
    if (!socket)
        return 1;
    socket->close();
    return 0;
}

int CmdModbusTCP::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity)
{
    SerialTransport& serial = transport.useSerial(this, &CmdModbusTCP::serialreadyRead, &CmdModbusTCP::TimerTimeOut);
    serial.close();
    serial.port().setPortName(portName);
    const bool opened = serial.port().open(QIODevice::ReadWrite);
    if (!opened)
        logDebug(portName + QStringLiteral("打开失败!"));
    applyLineSettings(serial.port(), baudRate, dataBits, stopBits, parity);
    return opened ? 0 : -1;
}

int CmdModbusTCP::serialDisConnectDrive()
{
    SerialTransport* serial = transport.serial();
    if (!serial || !serial->port().isOpen())
        return -1;
    serial->close();
    return 0;
}

// ---- Exchange --------------------------------------------------------------------------------

int CmdModbusTCP::Determine_write(QByteArray frame)
{
    Transport* present = transport.get();
    emptyKeepingRoom(recvBuf);
    if (!present || !present->usable())
        return -3;
    // A late answer to an earlier request, still on its way when this one went out, is stepped over.
    const AnswerShape shape{&vane::tcp::mbapAnswerSize, 0, expectedAnswerSize, &vane::tcp::otherTransactionFrame, &frame};
    present->exchange(frame, shape, kTiming.of(present->kind()), recvBuf);
    return 0;
}

int CmdModbusTCP::SendData(QByteArray frame, QByteArray& reply, int collect)
{
    const int written = Determine_write(frame);
    if (collect <= 0 || recvBuf.isEmpty())
        return written;
    handOver(recvBuf, reply);
    return 0;
}

void CmdModbusTCP::mysleep(int ms) { sleepInEventLoop(ms); }

// ---- Release ---------------------------------------------------------------------------------

int CmdModbusTCP::deletetcpSocket()
{
    if (transport.socket())
        transport.release();
    return 0;
}

int CmdModbusTCP::deleteSerialPort()
{
    if (transport.serial())
        transport.release();
    return 0;
}

int CmdModbusTCP::DestroyFree() { return transport.release(); }

// ---- Reception -------------------------------------------------------------------------------

void CmdModbusTCP::Ethconnected()
{
    // Requests are single small frames: none may wait for more data to fill a segment.
    if (QTcpSocket* socket = tcpSocket())
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void CmdModbusTCP::Ethdisconnected()
{
    QTcpSocket* socket = tcpSocket();
    const QAbstractSocket::SocketError error = socket ? socket->error() : QAbstractSocket::UnknownSocketError;
    if (error == QAbstractSocket::UnknownSocketError)
        return;
    QMessageLogger().warning().noquote()
        << vane::logtext::line(vane::logtext::kTcpPrefix, vane::logtext::kSocketState, " %1:%2 ID=%3",
                              {peer.toString(), QString::number(port), QString::number(lastStation)})
        << error;
}

void CmdModbusTCP::EthreadyRead()
{
    if (Transport* present = transport.get())
        present->takeIncoming();
}

void CmdModbusTCP::serialreadyRead()
{
    if (SerialTransport* serial = transport.serial())
        serial->restartFrameTimer();
}

void CmdModbusTCP::TimerTimeOut()
{
    if (Transport* present = transport.get())
        present->takeIncoming();
}

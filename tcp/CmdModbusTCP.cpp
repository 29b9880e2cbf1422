// Link half of CmdModbusTCP: the transports, their notifications and the blocking exchange.
#include "CmdModbusTCP.h"

#include <QMessageLogger>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include "modbus/exchange.h"
#include "modbus/link_transport.h"

using namespace vane::modbus;

namespace {

// Time limits of the link, in milliseconds. Each is an upper bound: a wait ends as soon as
// what it waits for has happened.
constexpr int kConnectTimeoutMs = 1000;
constexpr int kDisconnectTimeoutMs = 30000;
constexpr int kSocketWriteTimeoutMs = 200;
// A socket answer gets one wait of this, and a second one when the first brought nothing.
constexpr int kSocketAnswerWaitMs = 1500;
constexpr int kSerialWriteTimeoutMs = 100;
constexpr int kSerialFirstByteTimeoutMs = 1500;
// The longest Modbus TCP frame: a serial answer is collected for at most its wire time.
constexpr int kLongestFrameBytes = 260;
// Bytes of the MBAP header up to and including the length field; the length counts what follows.
constexpr int kMbapLengthEnd = 6;

void logWarning(const QString& line) { QMessageLogger().warning().noquote() << line; }
void logDebug(const QString& line) { QMessageLogger().debug().noquote() << line; }

// Where an answer ends: the MBAP length field tells it once six bytes are in; the size the
// transaction expects ends it as well, so an answer whose length field is wrong but whose size is
// right is not waited on. Whatever arrived beyond is handed on with it and judged there.
int mbapAnswerSize(const QByteArray& received, int expected)
{
    int size = expected > 0 ? expected : 0;
    if (received.size() >= kMbapLengthEnd) {
        const int length = (static_cast<unsigned char>(received.at(4)) << 8) | static_cast<unsigned char>(received.at(5));
        const int framed = kMbapLengthEnd + length;
        size = size > 0 ? std::min(size, framed) : framed;
    }
    return size;
}

} // namespace

CmdModbusTCP::CmdModbusTCP(QObject* parent) : QObject(parent) {}

CmdModbusTCP::~CmdModbusTCP() { DestroyFree(); }

// ---- Transports ------------------------------------------------------------------------------

int CmdModbusTCP::EthConnectDrive(QString address, int port)
{
    peerPort = port;
    if (!tcpSocket)
        tcpSocket = newLinkSocket(this, &CmdModbusTCP::Ethconnected, &CmdModbusTCP::Ethdisconnected,
                                  &CmdModbusTCP::EthreadyRead);
    if (!peerAddress.setAddress(address)) {
        logWarning(QStringLiteral("lib[ModbusTCP]%1:%2 IP错误").arg(peerAddress.toString()).arg(peerPort));
        return -1;
    }
    return connectSocket(*tcpSocket, peerAddress, peerPort, kConnectTimeoutMs);
}

int CmdModbusTCP::EthDisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    disconnectSocket(*tcpSocket, kDisconnectTimeoutMs);
    return 0;
}

int CmdModbusTCP::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity)
{
    if (!serialPort)
        serialPort = newLinkSerialPort(this, &CmdModbusTCP::serialreadyRead);
    closeSerialPort(*serialPort);
    serialPort->setPortName(portName);
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    if (!opened)
        logDebug(portName + QStringLiteral("打开失败!"));

    // The configured gaps of the slow rates; the gap in use is never shorter than 3.5 characters.
    switch (baudRate) {
    case 2400: frameGapMs = 10; break;
    case 4800: frameGapMs = 6; break;
    case 9600: frameGapMs = 3; break;
    default: break;
    }
    applyLineSettings(*serialPort, baudRate, dataBits, stopBits, parity);

    if (!frameTimer)
        frameTimer = newFrameTimer(this, &CmdModbusTCP::TimerTimeOut);
    return opened ? 0 : -1;
}

int CmdModbusTCP::serialDisConnectDrive()
{
    return serialPort && closeSerialPort(*serialPort) ? 0 : -1;
}

int CmdModbusTCP::serialFrameGapMs() const { return vane::modbus::frameGapMs(*serialPort, frameGapMs); }

// ---- Exchange --------------------------------------------------------------------------------

int CmdModbusTCP::Determine_write(QByteArray frame)
{
    if (tcpSocket)
        return socketExchange(frame);
    if (serialPort)
        return serialExchange(frame);
    return -3;
}

int CmdModbusTCP::socketExchange(const QByteArray& frame)
{
    // Taking in what waits also tells whether the peer has gone since the last exchange.
    discardStaleInput(*tcpSocket, recvBuf);
    if (tcpSocket->state() == QAbstractSocket::UnconnectedState)
        return -3;
    ExchangeTiming timing;
    timing.writeTimeoutMs = kSocketWriteTimeoutMs;
    timing.firstByteTimeoutMs = 2 * kSocketAnswerWaitMs;
    timing.collectLimitMs = kSocketAnswerWaitMs;
    timing.answerLimitMs = 2 * kSocketAnswerWaitMs;
    const int expected = expectedAnswerSize;
    recvBuf = exchangeFrame(*tcpSocket, frame, recvBuf,
                            [expected](const QByteArray& received) { return mbapAnswerSize(received, expected); },
                            timing);
    return 0;
}

int CmdModbusTCP::serialExchange(const QByteArray& frame)
{
    // A closed port takes no request and brings no answer.
    if (!serialPort->isOpen())
        return 0;
    frameTimer->stop();
    // Bytes of a late answer still coming in: the silence counts from the last of them.
    if (discardStaleInput(*serialPort, recvBuf) > 0)
        serialSilence.lineWentQuiet();
    serialSilence.waitBeforeWriting(*serialPort);
    ExchangeTiming timing;
    timing.writeTimeoutMs = kSerialWriteTimeoutMs;
    timing.firstByteTimeoutMs = kSerialFirstByteTimeoutMs;
    timing.collectLimitMs = wireTimeMs(*serialPort, kLongestFrameBytes);
    timing.frameGapMs = serialFrameGapMs();
    const int expected = expectedAnswerSize;
    recvBuf = exchangeFrame(*serialPort, frame, recvBuf,
                            [expected](const QByteArray& received) { return mbapAnswerSize(received, expected); },
                            timing);
    // The answer is in: the frame-gap timer has nothing left to deliver.
    frameTimer->stop();
    if (!recvBuf.isEmpty())
        serialSilence.lineWentQuiet();
    return 0;
}

int CmdModbusTCP::SendData(QByteArray frame, QByteArray& reply, int collect)
{
    recvBuf.clear();
    const int written = Determine_write(frame);
    if (collect <= 0 || recvBuf.isEmpty())
        return written;
    reply.append(recvBuf);
    recvBuf.clear();
    return 0;
}

void CmdModbusTCP::mysleep(int ms) { sleepInEventLoop(ms); }

// ---- Release ---------------------------------------------------------------------------------

int CmdModbusTCP::deletetcpSocket()
{
    releaseTransport(tcpSocket, this);
    return 0;
}

int CmdModbusTCP::deleteSerialPort()
{
    releaseTransport(serialPort, this);
    releaseTransport(frameTimer, this);
    return 0;
}

int CmdModbusTCP::DestroyFree() { return destroyLinkTransports(*this); }

// ---- Reception -------------------------------------------------------------------------------

void CmdModbusTCP::Ethconnected()
{
    // Requests are single small frames: none may wait for more data to fill a segment.
    tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void CmdModbusTCP::Ethdisconnected()
{
    const QAbstractSocket::SocketError error = tcpSocket->error();
    if (error == QAbstractSocket::UnknownSocketError)
        return;
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[ModbusTCP]Socket状态错误 %1:%2 ID=%3")
               .arg(peerAddress.toString(), QString::number(peerPort), QString::number(lastStationId))
        << error;
}

void CmdModbusTCP::EthreadyRead()
{
    // Appends: an answer may come in several segments.
    while (tcpSocket->bytesAvailable() > 0)
        appendReceived(recvBuf, tcpSocket->read(tcpSocket->bytesAvailable()));
}

void CmdModbusTCP::serialreadyRead()
{
    frameTimer->stop();
    frameTimer->start(serialFrameGapMs());
}

void CmdModbusTCP::TimerTimeOut()
{
    if (frameTimer->isActive())
        frameTimer->stop();
    appendReceived(recvBuf, serialPort->readAll());
}

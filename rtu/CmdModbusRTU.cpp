// Link half of CmdModbusRTU: the transports, their notifications and the blocking exchange.
#include "CmdModbusRTU.h"

#include "modbus/exchange.h"
#include "modbus/link_transport.h"
#include "rtu_frame.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

using vane::modbus::ExchangeTiming;

namespace {

// Time limits of the link, in milliseconds. Each is an upper bound: a wait ends as soon as its
// condition holds.
constexpr int kConnectTimeoutMs = 1000;
constexpr int kDisconnectTimeoutMs = 30000;
constexpr int kSocketWriteTimeoutMs = 200;
constexpr int kSerialWriteTimeoutMs = 400;
// The answer must begin within this after the request left, plus the caller's own allowance.
constexpr int kAnswerStartMs = 500;
// Collecting a begun answer on a socket: TCP delivers an answer of any size well within this.
constexpr int kSocketCollectLimitMs = 500;
// Silence that ends a socket answer whose size cannot be told from its first bytes.
constexpr int kSocketQuietMs = 50;
// On a serial line a begun answer is collected for at most the wire time of the longest RTU
// frame, plus room for scheduling and USB adapter latency.
constexpr int kLongestFrameBytes = 256;
constexpr int kCollectSlackMs = 100;
// What Determine_write allows for an answer beyond kAnswerStartMs when called on its own.
constexpr int kDefaultAnswerWaitMs = 50;

} // namespace

CmdModbusRTU::CmdModbusRTU(QObject* parent) : QObject(parent) {}

CmdModbusRTU::~CmdModbusRTU() { DestroyFree(); }

// ---- socket transport ----

int CmdModbusRTU::EthConnectDrive(QString address, int port)
{
    peerPort = port;
    if (!tcpSocket)
        tcpSocket = vane::modbus::newLinkSocket(this, &CmdModbusRTU::Ethconnected, &CmdModbusRTU::Ethdisconnected,
                                                &CmdModbusRTU::EthreadyRead);
    if (!peerAddress.setAddress(address))
        return -1;
    return vane::modbus::connectSocket(*tcpSocket, peerAddress, peerPort, kConnectTimeoutMs);
}

int CmdModbusRTU::EthDisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    vane::modbus::disconnectSocket(*tcpSocket, kDisconnectTimeoutMs);
    return 0;
}

// Requests are small and answered one at a time: Nagle's algorithm would only delay them.
void CmdModbusRTU::Ethconnected()
{
    if (tcpSocket)
        tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void CmdModbusRTU::Ethdisconnected()
{
    const QAbstractSocket::SocketError error = tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError;
    qWarning().noquote() << QStringLiteral("lib[ModbusRTU]%1:%2 ID=%3")
                                .arg(peerAddress.toString(), QString::number(peerPort), QString::number(lastStationId))
                         << error;
}

// Appends rather than replaces: an answer may come in several segments, and the exchange
// collects all of them in recvBuf.
void CmdModbusRTU::EthreadyRead()
{
    while (tcpSocket && tcpSocket->bytesAvailable() > 0)
        vane::modbus::appendReceived(recvBuf, tcpSocket->read(tcpSocket->bytesAvailable()));
}

// ---- serial transport ----

int CmdModbusRTU::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity,
                                     QString openMode)
{
    if (!serialPort)
        serialPort = vane::modbus::newLinkSerialPort(this, &CmdModbusRTU::serialreadyRead);
    vane::modbus::closeSerialPort(*serialPort);
    serialPort->setPortName(portName);
    vane::modbus::applyLineSettings(*serialPort, baudRate, dataBits, stopBits, parity);
    if (openMode.isEmpty()) {
        if (!serialPort->open(QIODevice::ReadWrite))
            return -1;
    } else {
        // Opened only around each exchange, from now on.
        serialOpenMode = openMode;
    }
    if (!frameTimer)
        frameTimer = vane::modbus::newFrameTimer(this, &CmdModbusRTU::TimerTimeOut);
    return 0;
}

int CmdModbusRTU::serialDisConnectDrive()
{
    if (frameTimer)
        frameTimer->stop();
    if (serialPort)
        vane::modbus::closeSerialPort(*serialPort);
    return 0;
}

// Bytes that arrive outside an exchange: the frame ends after a frame gap of silence.
void CmdModbusRTU::serialreadyRead()
{
    if (!frameTimer || !serialPort)
        return;
    frameTimer->stop();
    frameTimer->start(vane::modbus::frameGapMs(*serialPort, frameGapMs));
}

void CmdModbusRTU::TimerTimeOut()
{
    if (frameTimer && frameTimer->isActive())
        frameTimer->stop();
    if (serialPort && serialPort->isOpen())
        recvBuf = serialPort->readAll();
}

// ---- exchange ----

int CmdModbusRTU::Connection_status()
{
    if (tcpSocket) {
        // Taking in what waits tells whether the peer has gone since the last exchange.
        vane::modbus::discardStaleInput(*tcpSocket, recvBuf);
        return tcpSocket->state() == QAbstractSocket::UnconnectedState ? -3 : 0;
    }
    if (serialPort)
        return 0;
    return -3;
}

void CmdModbusRTU::Determine_write(QByteArray frame) { transfer(frame, kDefaultAnswerWaitMs); }

int CmdModbusRTU::SendData(QByteArray frame, QByteArray& reply, int waitMs)
{
    recvBuf.clear();
    transfer(frame, std::max(waitMs, 0));
    int result = -1;
    if (waitMs >= 1 && !recvBuf.isEmpty()) {
        reply.append(recvBuf);
        result = 0;
    }
    recvBuf.clear();
    if (!serialOpenMode.isEmpty() && serialPort && serialPort->isOpen()) {
        if (frameTimer)
            frameTimer->stop();
        serialPort->close();
    }
    return result;
}

void CmdModbusRTU::transfer(const QByteArray& frame, int answerWaitMs)
{
    if (tcpSocket)
        recvBuf = exchangeOnSocket(frame, answerWaitMs);
    else if (serialPort)
        recvBuf = exchangeOnSerial(frame, answerWaitMs);
}

namespace {

vane::modbus::AnswerSizer rtuSizer(const QByteArray& request, int expectedSize)
{
    const int requestFunction = request.size() > 1 ? static_cast<unsigned char>(request.at(1)) : -1;
    return [requestFunction, expectedSize](const QByteArray& received) {
        return vane::rtu::answerSize(received, requestFunction, expectedSize);
    };
}

} // namespace

QByteArray CmdModbusRTU::exchangeOnSocket(const QByteArray& frame, int answerWaitMs)
{
    // Nothing to write to: the transactions asked Connection_status first, a direct caller did not.
    if (tcpSocket->state() == QAbstractSocket::UnconnectedState)
        return QByteArray();
    ExchangeTiming timing;
    timing.writeTimeoutMs = kSocketWriteTimeoutMs;
    timing.firstByteTimeoutMs = kAnswerStartMs + answerWaitMs;
    timing.collectLimitMs = kSocketCollectLimitMs;
    timing.answerLimitMs = kAnswerStartMs + answerWaitMs;
    timing.frameGapMs = kSocketQuietMs;
    return vane::modbus::exchangeFrame(*tcpSocket, frame, recvBuf, rtuSizer(frame, expectedAnswerSize), timing);
}

QByteArray CmdModbusRTU::exchangeOnSerial(const QByteArray& frame, int answerWaitMs)
{
    if (!serialOpenMode.isEmpty() && !serialPort->isOpen())
        serialPort->open(QIODevice::ReadWrite);
    // A port that could not be opened takes no request and gives no answer.
    if (!serialPort->isOpen())
        return QByteArray();
    // Bytes of a late answer still coming in: the silence counts from the last of them.
    if (vane::modbus::discardStaleInput(*serialPort, recvBuf) > 0)
        lineSilence.lineWentQuiet();
    lineSilence.waitBeforeWriting(*serialPort);

    ExchangeTiming timing;
    timing.writeTimeoutMs = kSerialWriteTimeoutMs;
    // The request is handed to the system at once but takes its wire time to reach the device.
    timing.firstByteTimeoutMs = kAnswerStartMs + answerWaitMs + vane::modbus::wireTimeMs(*serialPort, frame.size());
    timing.collectLimitMs = vane::modbus::wireTimeMs(*serialPort, kLongestFrameBytes) + kCollectSlackMs;
    timing.frameGapMs = vane::modbus::frameGapMs(*serialPort, frameGapMs);
    const QByteArray answer =
        vane::modbus::exchangeFrame(*serialPort, frame, recvBuf, rtuSizer(frame, expectedAnswerSize), timing);
    lineSilence.lineWentQuiet();
    // The gap timer started by this answer's bytes has nothing left to deliver.
    if (frameTimer)
        frameTimer->stop();
    return answer;
}

// ---- delays ----

void CmdModbusRTU::Delay_MSec(unsigned int ms)
{
    vane::modbus::sleepInEventLoop(static_cast<int>(std::min<unsigned int>(ms, 0x7fffffffu)));
}

void CmdModbusRTU::mysleep(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents();
}

// ---- release ----

int CmdModbusRTU::deletetcpSocket()
{
    vane::modbus::releaseTransport(tcpSocket, this);
    return 0;
}

int CmdModbusRTU::deleteSerialPort()
{
    vane::modbus::releaseTransport(serialPort, this);
    vane::modbus::releaseTransport(frameTimer, this);
    return 0;
}

int CmdModbusRTU::DestroyFree() { return vane::modbus::destroyLinkTransports(*this); }

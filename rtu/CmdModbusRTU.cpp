// Link half of CmdModbusRTU: the transport, its notifications and the blocking exchange.
#include "CmdModbusRTU.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

#include <algorithm>

#include "modbus/protocol/log_texts.h"
#include "rtu_frame.h"

using namespace vane::modbus;

namespace {

// Time limits of the link, in milliseconds. Each is an upper bound: a wait ends as soon as its
// condition holds.
constexpr int kConnectTimeoutMs = 1000;
// The answer must begin within this after the request left, plus the caller's own allowance.
constexpr int kAnswerStartMs = 500;
// What Determine_write allows for an answer beyond kAnswerStartMs when called on its own.
constexpr int kDefaultAnswerWaitMs = 50;

// How answers are waited for, per transport. On a serial line the request's and the answer's
// wire times at the port's rate come on top of what is given here.
const LinkTiming kTiming = {
    // TCP delivers an answer of any size well within its collection time; an answer whose size
    // cannot be told from its first bytes ends after 50 ms of silence.
    /* socket */ {/* write */ 200, /* first byte */ kAnswerStartMs, /* collect */ 500,
                  /* quiet end */ 50000, /* whole answer */ kAnswerStartMs},
    // Slack for scheduling and USB adapters, which hand long answers over in pieces with pauses.
    /* serial */ {/* write */ 400, /* first byte */ kAnswerStartMs, /* collect slack */ 200,
                  /* quiet end: the frame gap */ 0, /* whole answer */ 0},
};

} // namespace

CmdModbusRTU::CmdModbusRTU(QObject* parent) : QObject(parent) {}

CmdModbusRTU::~CmdModbusRTU() { DestroyFree(); }

// ---- socket transport ----

int CmdModbusRTU::EthConnectDrive(QString address, int portNumber)
{
    port = portNumber;
    SocketTransport& socket = transport.useSocket(this, &CmdModbusRTU::Ethconnected, &CmdModbusRTU::Ethdisconnected,
                                                  &CmdModbusRTU::EthreadyRead);
    if (!peer.setAddress(address))
        return -1;
    return socket.connectTo(peer, port, kConnectTimeoutMs);
}

int CmdModbusRTU::EthDisConnectDrive()
{
    SocketTransport* socket = transport.socket();
    if (!socket)
        return 1;
    socket->close();
    return 0;
}

// Requests are small and answered one at a time: Nagle's algorithm would only delay them.
void CmdModbusRTU::Ethconnected()
{
    if (QTcpSocket* socket = tcpSocket())
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void CmdModbusRTU::Ethdisconnected()
{
    QTcpSocket* socket = tcpSocket();
    const QAbstractSocket::SocketError error = socket ? socket->error() : QAbstractSocket::UnknownSocketError;
    qWarning().noquote() << vane::logtext::line(vane::logtext::kRtuPrefix, "", "%1:%2 ID=%3",
                                                       {peer.toString(), QString::number(port), QString::number(lastStation)})
                         << error;
}

void CmdModbusRTU::EthreadyRead()
{
    if (Transport* present = transport.get())
        present->takeIncoming();
}

// ---- serial transport ----

int CmdModbusRTU::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity,
                                     QString openMode)
{
    SerialTransport& serial = transport.useSerial(this, &CmdModbusRTU::serialreadyRead, &CmdModbusRTU::TimerTimeOut);
    serial.close();
    serial.port().setPortName(portName);
    applyLineSettings(serial.port(), baudRate, dataBits, stopBits, parity);
    if (!openMode.isEmpty())
        perExchange = true;
    serial.opening = perExchange ? SerialTransport::Opening::PerExchange : SerialTransport::Opening::Kept;
    if (openMode.isEmpty() && !serial.port().open(QIODevice::ReadWrite))
        return -1;
    return 0;
}

int CmdModbusRTU::serialDisConnectDrive()
{
    if (SerialTransport* serial = transport.serial())
        serial->close();
    return 0;
}

// Bytes that arrive outside an exchange: the frame ends after a frame gap of silence.
void CmdModbusRTU::serialreadyRead()
{
    if (SerialTransport* serial = transport.serial())
        serial->restartFrameTimer();
}

void CmdModbusRTU::TimerTimeOut()
{
    if (Transport* present = transport.get())
        present->takeIncoming();
}

// ---- exchange ----

int CmdModbusRTU::Connection_status()
{
    Transport* present = transport.get();
    return present && present->usable() ? 0 : -3;
}

void CmdModbusRTU::Determine_write(QByteArray frame) { transfer(frame, kDefaultAnswerWaitMs); }

int CmdModbusRTU::SendData(QByteArray frame, QByteArray& reply, int waitMs)
{
    transfer(frame, std::max(waitMs, 0));
    int result = -1;
    if (waitMs >= 1 && !recvBuf.isEmpty()) {
        handOver(recvBuf, reply);
        result = 0;
    }
    emptyKeepingRoom(recvBuf);
    closeIfPerExchange();
    return result;
}

void CmdModbusRTU::transfer(const QByteArray& frame, int answerWaitMs)
{
    Transport* present = transport.get();
    emptyKeepingRoom(recvBuf);
    if (!present)
        return;
    AnswerTiming timing = kTiming.of(present->kind());
    timing.firstByteMs += answerWaitMs;
    if (timing.answerLimitMs > 0)
        timing.answerLimitMs += answerWaitMs;
    const int function = frame.size() > 1 ? static_cast<unsigned char>(frame.at(1)) : -1;
    const AnswerShape shape{&vane::rtu::answerSize, function, expectedAnswerSize};
    present->exchange(frame, shape, timing, recvBuf);
}

void CmdModbusRTU::closeIfPerExchange()
{
    SerialTransport* serial = transport.serial();
    if (perExchange && serial)
        serial->close();
}

int CmdModbusRTU::broadcast(const QByteArray& frame)
{
    Transport* present = transport.get();
    const bool sent = present->send(frame, kTiming.of(present->kind()).writeTimeoutMs);
    closeIfPerExchange();
    return sent ? 0 : -2;
}

// ---- delays ----

void CmdModbusRTU::Delay_MSec(unsigned int ms)
{
    sleepInEventLoop(static_cast<int>(std::min<unsigned int>(ms, 0x7fffffffu)));
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
    if (transport.socket())
        transport.release();
    return 0;
}

int CmdModbusRTU::deleteSerialPort()
{
    if (transport.serial())
        transport.release();
    return 0;
}

int CmdModbusRTU::DestroyFree() { return transport.release(); }

#include "CmdModbusTCP.h"

#include <QMessageLogger>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#include "modbus/crc16.h"
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

void appendWord(QByteArray& frame, int value)
{
    frame.append(static_cast<char>((value >> 8) & 0xFF));
    frame.append(static_cast<char>(value & 0xFF));
}

// Transaction identifier, protocol 0, length field, unit identifier and function code.
QByteArray mbapHeader(int lengthField, int stationId, int function)
{
    QByteArray frame;
    frame.append(static_cast<char>(std::rand() & 0xFF));
    frame.append(static_cast<char>(std::rand() & 0xFF));
    appendWord(frame, 0);
    appendWord(frame, lengthField);
    frame.append(static_cast<char>(stationId & 0xFF));
    frame.append(static_cast<char>(function & 0xFF));
    return frame;
}

// The first `count` bytes of `data`; bytes the caller did not supply go out as zero.
QByteArray leadingBytes(const QByteArray& data, int count)
{
    QByteArray bytes = data.left(std::max(count, 0));
    if (bytes.size() < count)
        bytes.append(count - bytes.size(), '\0');
    return bytes;
}

int bytesForBits(int bits) { return bits / 8 + (bits % 8 != 0 ? 1 : 0); }

QByteArray readFrame(int stationId, int function, int offset, int quantity)
{
    QByteArray frame = mbapHeader(6, stationId, function);
    appendWord(frame, offset);
    appendWord(frame, quantity);
    return frame;
}

// The part a write answer must match: the transaction identifier.
bool sameTransaction(const QByteArray& reply, const QByteArray& request)
{
    return reply.size() >= 2 && request.size() >= 2 && reply.at(0) == request.at(0) && reply.at(1) == request.at(1);
}

// Byte `index` of a frame, 0 where the frame is shorter.
char byteAt(const QByteArray& frame, int index) { return frame.size() > index ? frame.at(index) : '\0'; }

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
               .arg(peerAddress.toString())
               .arg(peerPort)
               .arg(lastStationId)
        << error;
}

void CmdModbusTCP::EthreadyRead()
{
    // Appends: an answer may come in several segments.
    while (tcpSocket->bytesAvailable() > 0)
        recvBuf.append(tcpSocket->read(tcpSocket->bytesAvailable()));
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
    recvBuf.append(serialPort->readAll());
}

// ---- Transactions ----------------------------------------------------------------------------

QString CmdModbusTCP::transactionLine(const char* format, int stationId, const QString& what, int length,
                                      const QByteArray& bytes) const
{
    // One pass over the placeholders, so a name holding "%1" stays as it is.
    return QString::fromUtf8(format).arg(peerAddress.toString(), QString::number(peerPort),
                                         QString::number(stationId), what, QString::number(length),
                                         QString::fromLatin1(bytes.toHex()));
}

int CmdModbusTCP::ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    lastStationId = stationId;
    return Message_parsing(readFrame(stationId, 1, offset, bits), out, stationId, bytesForBits(bits), name);
}

int CmdModbusTCP::ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return Message_parsing(readFrame(stationId, 2, offset, bits), out, stationId, bytesForBits(bits), name);
}

int CmdModbusTCP::ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    lastStationId = stationId;
    return Message_parsing(readFrame(stationId, 3, offset, bytes / 2), out, stationId, bytes, name);
}

int CmdModbusTCP::ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    lastStationId = stationId;
    return Message_parsing(readFrame(stationId, 4, offset, bytes / 2), out, stationId, bytes, name);
}

int CmdModbusTCP::Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name)
{
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]读命令 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, name,
                                 expectedLength, frame));
    QByteArray reply;
    expectedAnswerSize = 9 + std::max(expectedLength, 0);
    SendData(frame, reply, 50);
    expectedAnswerSize = 0;
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]读响应 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, name,
                                 expectedLength, reply));

    if (reply.isEmpty()) {
        logWarning(transactionLine("lib[ModbusTCP]返回的报文长度为0 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply));
        return -2;
    }
    if (byteAt(reply, 7) != byteAt(frame, 7)) {
        logWarning(transactionLine("lib[ModbusTCP]返回的功能码错误 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply));
        return -1;
    }
    if (reply.size() != expectedLength + 9) {
        logWarning(transactionLine("lib[ModbusTCP]报文返回长度错误 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply.mid(6)));
        return -1;
    }
    if (!sameTransaction(reply, frame)) {
        logWarning(transactionLine("lib[ModbusTCP]报文返回序号错误 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply));
        return -1;
    }
    out->append(reply.mid(9, expectedLength));
    return 0;
}

int CmdModbusTCP::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    const int byteCount = std::max(bytesForBits(bits), 0);
    QByteArray frame = mbapHeader(7 + byteCount, stationId, 15);
    appendWord(frame, offset);
    appendWord(frame, bits);
    frame.append(static_cast<char>(byteCount & 0xFF));
    frame.append(leadingBytes(data, byteCount));

    const QString start = QString::number(offset);
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写命令 %1:%2 ID=%3 0x%4 len = %5 msg : %6", stationId, start, bits, frame));
    QByteArray reply;
    expectedAnswerSize = 12;
    SendData(frame, reply, 50);
    expectedAnswerSize = 0;
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写响应 %1:%2 ID=%3 0x%4 len = %5 msg : %6", stationId, start, bits, reply));
    if (reply.isEmpty())
        return -2;
    return reply.size() == 12 && sameTransaction(reply, frame) ? 0 : -1;
}

int CmdModbusTCP::WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data)
{
    QByteArray frame;
    if (bytes == 2) {
        frame = mbapHeader(6, stationId, 6);
        appendWord(frame, offset);
        frame.append(leadingBytes(data, 2));
    } else {
        const int byteCount = std::max(bytes, 0);
        frame = mbapHeader(7 + byteCount, stationId, 16);
        appendWord(frame, offset);
        appendWord(frame, bytes / 2);
        frame.append(static_cast<char>(byteCount & 0xFF));
        frame.append(leadingBytes(data, byteCount));
    }

    const QString start = QString::number(offset);
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写命令 %1:%2 ID=%3 4x%4 len = %5 msg : %6", stationId, start, bytes, frame));
    QByteArray reply;
    expectedAnswerSize = 12;
    SendData(frame, reply, 50);
    expectedAnswerSize = 0;
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写响应 %1:%2 ID=%3 4x%4 len = %5 msg : %6", stationId, start, bytes, reply));
    if (reply.isEmpty())
        return -2;
    return reply.size() == 12 && sameTransaction(reply, frame) ? 0 : -1;
}

unsigned short CmdModbusTCP::CRC_Check(unsigned char* buffer, unsigned char length)
{
    return crc16Modbus(QByteArray::fromRawData(reinterpret_cast<const char*>(buffer), length), length);
}

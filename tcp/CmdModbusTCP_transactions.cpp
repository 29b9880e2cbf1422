// Transaction half of CmdModbusTCP: Modbus TCP frames (MBAP header and PDU), the answer checks
// and their log lines.
#include "CmdModbusTCP.h"

#include <QMessageLogger>

#include <algorithm>
#include <cstdlib>

#include "modbus/crc16.h"

namespace {

// SendData hands the answer over for any positive value.
constexpr int kCollectAnswer = 50;
// MBAP header (7 bytes), function code and byte count: a read answer is its data plus 9 bytes.
constexpr int kReadAnswerOverhead = 9;
// MBAP header, function code, start and quantity (or value).
constexpr int kWriteAnswerSize = 12;

void logWarning(const QString& line) { QMessageLogger().warning().noquote() << line; }
void logDebug(const QString& line) { QMessageLogger().debug().noquote() << line; }

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

QString CmdModbusTCP::transactionLine(const char* format, int stationId, const QString& what, int length,
                                      const QByteArray& bytes) const
{
    // One pass over the placeholders, so a name holding "%1" stays as it is.
    return QString::fromUtf8(format).arg(peerAddress.toString(), QString::number(peerPort),
                                         QString::number(stationId), what, QString::number(length),
                                         QString::fromLatin1(bytes.toHex()));
}

QByteArray CmdModbusTCP::exchangeExpecting(const QByteArray& frame, int answerSize)
{
    QByteArray reply;
    expectedAnswerSize = answerSize;
    SendData(frame, reply, kCollectAnswer);
    expectedAnswerSize = 0;
    return reply;
}

// ---- reads ----

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
    const QByteArray reply = exchangeExpecting(frame, kReadAnswerOverhead + std::max(expectedLength, 0));
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
    if (reply.size() != expectedLength + kReadAnswerOverhead) {
        logWarning(transactionLine("lib[ModbusTCP]报文返回长度错误 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply.mid(6)));
        return -1;
    }
    if (!sameTransaction(reply, frame)) {
        logWarning(transactionLine("lib[ModbusTCP]报文返回序号错误 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId,
                                   name, expectedLength, reply));
        return -1;
    }
    out->append(reply.mid(kReadAnswerOverhead, expectedLength));
    return 0;
}

// ---- writes ----

int CmdModbusTCP::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    const int byteCount = std::max(bytesForBits(bits), 0);
    QByteArray frame = mbapHeader(7 + byteCount, stationId, 15);
    appendWord(frame, offset);
    appendWord(frame, bits);
    frame.append(static_cast<char>(byteCount & 0xFF));
    frame.append(leadingBytes(data, byteCount));
    return writeTransaction(frame, stationId, QStringLiteral("0x") + QString::number(offset), bits);
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
    return writeTransaction(frame, stationId, QStringLiteral("4x") + QString::number(offset), bytes);
}

int CmdModbusTCP::writeTransaction(const QByteArray& frame, int stationId, const QString& start, int length)
{
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写命令 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, start, length, frame));
    const QByteArray reply = exchangeExpecting(frame, kWriteAnswerSize);
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写响应 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, start, length, reply));
    if (reply.isEmpty())
        return -2;
    return reply.size() == kWriteAnswerSize && sameTransaction(reply, frame) ? 0 : -1;
}

unsigned short CmdModbusTCP::CRC_Check(unsigned char* buffer, unsigned char length)
{
    return vane::modbus::crc16Modbus(QByteArray::fromRawData(reinterpret_cast<const char*>(buffer), length), length);
}

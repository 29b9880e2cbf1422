// Transaction half of CmdModbusRTU: Modbus RTU frames (address, PDU, CRC-16 low byte first),
// the answer checks and their log lines.
#include "CmdModbusRTU.h"

#include "modbus/crc16.h"

#include <QDebug>

#include <algorithm>

namespace {

// Every transaction allows this much beyond the link's own wait for the answer to begin.
constexpr int kAnswerWaitMs = 50;
// address, function, byte count ... CRC: a read answer is its data plus 5 bytes.
constexpr int kReadAnswerOverhead = 5;
// address, function, start, quantity (or value), CRC.
constexpr int kWriteAnswerSize = 8;

void putWord(QByteArray& frame, int value)
{
    frame.append(static_cast<char>((value >> 8) & 0xFF));
    frame.append(static_cast<char>(value & 0xFF));
}

// The first `count` bytes of `data`; bytes the caller did not supply go out as 0, never read past its end.
QByteArray takeBytes(const QByteArray& data, int count)
{
    QByteArray bytes = data.left(count);
    if (bytes.size() < count)
        bytes.append(QByteArray(count - bytes.size(), '\0'));
    return bytes;
}

int byteAt(const QByteArray& bytes, int index)
{
    return index >= 0 && index < bytes.size() ? static_cast<unsigned char>(bytes.at(index)) : 0;
}

QString hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex()); }

} // namespace

unsigned short CmdModbusRTU::CRC_Check(QByteArray bytes, unsigned char length)
{
    return vane::modbus::crc16Modbus(bytes, length);
}

// The CRC covers every byte before it; the count handed over is one byte, as the CRC routine takes it.
void CmdModbusRTU::appendCrc(QByteArray& frame)
{
    const unsigned short crc = CRC_Check(frame, static_cast<unsigned char>(frame.size()));
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
}

QByteArray CmdModbusRTU::exchangeExpecting(const QByteArray& frame, int stationId, int answerSize)
{
    QByteArray reply;
    lastStationId = stationId;
    expectedAnswerSize = answerSize;
    SendData(frame, reply, kAnswerWaitMs);
    expectedAnswerSize = 0;
    return reply;
}

// ---- reads ----

int CmdModbusRTU::ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(1, stationId, offset, bits, (bits + 7) / 8, name, out);
}

int CmdModbusRTU::ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(2, stationId, offset, bits, (bits + 7) / 8, name, out);
}

int CmdModbusRTU::ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    return readTransaction(3, stationId, offset, bytes / 2, bytes, name, out);
}

int CmdModbusRTU::ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    return readTransaction(4, stationId, offset, bytes / 2, bytes, name, out);
}

int CmdModbusRTU::readTransaction(int function, int stationId, int offset, int quantity, int expectedLength,
                                  const QString& name, QByteArray* out)
{
    QByteArray frame;
    frame.append(static_cast<char>(stationId & 0xFF));
    frame.append(static_cast<char>(function));
    putWord(frame, offset);
    putWord(frame, quantity);
    appendCrc(frame);
    if (Connection_status() == -3)
        return -3;
    return Message_parsing(frame, out, stationId, expectedLength, name);
}

int CmdModbusRTU::Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name)
{
    const QString peer = peerAddress.toString();
    const QString port = QString::number(peerPort);
    const QString station = QString::number(stationId);
    const QString length = QString::number(expectedLength);
    if (debugFlag)
        qDebug().noquote() << QStringLiteral("lib[ModbusRTU]读命令 %1:%2 ID=%3 0x%4 len = %5 msg : %6")
                                  .arg(peer, port, station, name, length, hex(frame));

    const QByteArray reply = exchangeExpecting(frame, stationId, expectedLength + kReadAnswerOverhead);

    if (debugFlag)
        qDebug().noquote() << QStringLiteral("lib[ModbusRTU]读响应 %1:%2 ID=%3 0x%4 len = %5 msg : %6")
                                  .arg(peer, port, station, name, length, hex(reply));
    auto fail = [&](const char* what, int result) {
        qWarning().noquote() << QStringLiteral("lib[ModbusRTU]%1 %2:%3 ID=%4 %5 len = %6 msg : %7")
                                    .arg(QString::fromUtf8(what), peer, port, station, name, length, hex(reply));
        return result;
    };
    if (reply.isEmpty())
        return fail("返回的报文长度为0", -2);

    const unsigned short crc = CRC_Check(reply, static_cast<unsigned char>(reply.size() - 2));
    // Exception answers (function code with its top bit set) end here.
    if (byteAt(reply, 1) != byteAt(frame, 1))
        return fail("返回的功能码错误", -1);
    if (reply.size() != expectedLength + kReadAnswerOverhead)
        return fail("报文返回长度错误", -1);
    if (byteAt(reply, expectedLength + 3) != (crc & 0xFF) || byteAt(reply, expectedLength + 4) != (crc >> 8))
        return fail("报文校验码错误", -1);
    out->append(reply.mid(3, expectedLength));
    return 0;
}

// ---- writes ----

int CmdModbusRTU::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    const int byteCount = (bits + 7) / 8;
    QByteArray frame;
    frame.append(static_cast<char>(stationId & 0xFF));
    frame.append(static_cast<char>(15));
    putWord(frame, offset);
    putWord(frame, bits);
    frame.append(static_cast<char>(byteCount & 0xFF));
    frame.append(takeBytes(data, byteCount));
    appendCrc(frame);
    return writeTransaction(frame, stationId, QStringLiteral("0x"), offset, bits);
}

int CmdModbusRTU::WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data)
{
    QByteArray frame;
    frame.append(static_cast<char>(stationId & 0xFF));
    if (bytes == 2) {
        frame.append(static_cast<char>(6));
        putWord(frame, offset);
        frame.append(takeBytes(data, 2));
    } else {
        const int byteCount = std::max(bytes, 0);
        frame.append(static_cast<char>(16));
        putWord(frame, offset);
        putWord(frame, byteCount / 2);
        frame.append(static_cast<char>(byteCount & 0xFF));
        frame.append(takeBytes(data, byteCount));
    }
    appendCrc(frame);
    return writeTransaction(frame, stationId, QStringLiteral("4x"), offset, bytes);
}

int CmdModbusRTU::writeTransaction(const QByteArray& frame, int stationId, const QString& area, int offset, int length)
{
    if (Connection_status() == -3)
        return -3;

    const QByteArray reply = exchangeExpecting(frame, stationId, kWriteAnswerSize);

    if (debugFlag) {
        const QString peer = peerAddress.toString();
        const QString port = QString::number(peerPort);
        const QString station = QString::number(stationId);
        const QString start = QString::number(offset);
        const QString count = QString::number(length);
        qDebug().noquote() << QStringLiteral("写命令 %1:%2 ID =%3 %4%5 len = %6 msg : %7")
                                  .arg(peer, port, station, area, start, count, hex(frame));
        qDebug().noquote() << QStringLiteral("响应 %1:%2 ID =%3 %4%5 len = %6 msg : %7")
                                  .arg(peer, port, station, area, start, count, hex(reply));
    }
    if (reply.isEmpty())
        return -2;
    // A single byte has no CRC to compare.
    if (reply.size() < 2)
        return -1;
    const unsigned short crc = CRC_Check(reply, static_cast<unsigned char>(reply.size() - 2));
    const int function = byteAt(reply, 1);
    // The address actually sent is the station number's low byte.
    const bool fromStation = byteAt(reply, 0) == (stationId & 0xFF);
    const bool crcMatches = byteAt(reply, reply.size() - 2) == (crc & 0xFF) && byteAt(reply, reply.size() - 1) == (crc >> 8);
    const bool accepted = function == 6 || function == 15 || function == 16;
    return fromStation && crcMatches && accepted ? 0 : -1;
}

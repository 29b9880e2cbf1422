// Transaction half of CmdModbusTCP: Modbus TCP frames (MBAP header and PDU), the answer checks
// and their log lines.
#include "CmdModbusTCP.h"

#include <QMessageLogger>

#include "mbap.h"
#include "modbus/protocol/crc16.h"
#include "modbus/protocol/log_texts.h"

using namespace vane::modbus;
using vane::tcp::kMbapHeaderSize;
using vane::tcp::mbapFrame;
using vane::tcp::judgeReadAnswer;
using vane::tcp::judgeWriteAnswer;

namespace {

// SendData hands the answer over for any positive value.
constexpr int kCollectAnswer = 50;

void logWarning(const QString& line) { QMessageLogger().warning().noquote() << line; }
void logDebug(const QString& line) { QMessageLogger().debug().noquote() << line; }

int bytesForBits(int bits) { return bits / 8 + (bits % 8 != 0 ? 1 : 0); }

} // namespace

QString CmdModbusTCP::transactionLine(const char* format, int stationId, const QString& what, int length,
                                      const QByteArray& bytes) const
{
    // One pass over the placeholders, so a name holding "%1" stays as it is.
    return vane::logtext::fill(QString::fromUtf8(format), {peer.toString(), QString::number(port), QString::number(stationId),
                                                          what, QString::number(length), QString::fromLatin1(bytes.toHex())});
}

QByteArray CmdModbusTCP::exchangeExpecting(const QByteArray& frame, int answerSize)
{
    QByteArray reply = std::move(spareAnswer);
    emptyKeepingRoom(reply);
    expectedAnswerSize = answerSize;
    SendData(frame, reply, kCollectAnswer);
    expectedAnswerSize = 0;
    return reply;
}

// ---- reads ----

PduRequest CmdModbusTCP::nextRead(int function, int start, int quantity, int answerDataBytes)
{
    return readRequest(function, start, quantity, answerDataBytes, std::move(spareFrame));
}

int CmdModbusTCP::ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    lastStation = stationId;
    return readTransaction(nextRead(ReadCoils, offset, bits, bytesForBits(bits)), stationId, name, out);
}

int CmdModbusTCP::ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(nextRead(ReadDiscreteInputs, offset, bits, bytesForBits(bits)), stationId, name, out);
}

int CmdModbusTCP::ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    lastStation = stationId;
    return readTransaction(nextRead(ReadHoldingRegisters, offset, bytes / 2, bytes), stationId, name, out);
}

int CmdModbusTCP::ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    lastStation = stationId;
    return readTransaction(nextRead(ReadInputRegisters, offset, bytes / 2, bytes), stationId, name, out);
}

int CmdModbusTCP::readTransaction(PduRequest request, int stationId, const QString& name, QByteArray* out)
{
    // Nothing that Modbus cannot carry goes on the wire.
    if (!request.valid())
        return -1;
    QByteArray frame = mbapFrame(stationId, std::move(request.pdu));
    const int result = Message_parsing(frame, out, stationId, request.answerDataBytes, name);
    spareFrame = std::move(frame);
    return result;
}

int CmdModbusTCP::Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name)
{
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]读命令 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, name,
                                 expectedLength, frame));
    const int dataLength = std::max(expectedLength, 0);
    QByteArray reply = exchangeExpecting(frame, kMbapHeaderSize + 2 + dataLength);
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]读响应 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, name,
                                 expectedLength, reply));

    int dataOffset = 0;
    const Verdict verdict = judgeReadAnswer(frame, reply, dataLength, &dataOffset);
    const auto warn = [&](const char* format, const QByteArray& shown) {
        logWarning(transactionLine(format, stationId, name, expectedLength, shown));
    };
    switch (verdict) {
    case Verdict::Ok: appendAnswerData(out, reply, dataOffset, dataLength); break;
    case Verdict::NoAnswer: warn("lib[ModbusTCP]返回的报文长度为0 %1:%2 ID=%3 %4 len = %5 msg : %6", reply); break;
    case Verdict::WrongFunction: warn("lib[ModbusTCP]返回的功能码错误 %1:%2 ID=%3 %4 len = %5 msg : %6", reply); break;
    // Shown from the unit identifier on.
    case Verdict::WrongLength: warn("lib[ModbusTCP]报文返回长度错误 %1:%2 ID=%3 %4 len = %5 msg : %6", reply.mid(6)); break;
    default: warn("lib[ModbusTCP]报文返回序号错误 %1:%2 ID=%3 %4 len = %5 msg : %6", reply); break;
    }
    spareAnswer = std::move(reply);
    return transactionResult(verdict);
}

// ---- writes ----

int CmdModbusTCP::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    return writeTransaction(writeCoilsRequest(offset, bits, std::move(data)), stationId, "0x", offset, bits);
}

int CmdModbusTCP::WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data)
{
    return writeTransaction(writeRegistersRequest(offset, bytes, std::move(data)), stationId, "4x", offset, bytes);
}

int CmdModbusTCP::writeTransaction(PduRequest request, int stationId, const char* area, int offset, int length)
{
    if (!request.valid())
        return -1;
    const QByteArray frame = mbapFrame(stationId, std::move(request.pdu));
    const auto start = [&] { return QLatin1String(area) + QString::number(offset); };
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写命令 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, start(), length, frame));
    QByteArray reply = exchangeExpecting(frame, kMbapHeaderSize + request.answerSize());
    if (debugFlag)
        logDebug(transactionLine("lib[ModbusTCP]写响应 %1:%2 ID=%3 %4 len = %5 msg : %6", stationId, start(), length, reply));
    const int result = transactionResult(judgeWriteAnswer(request, frame, reply));
    spareAnswer = std::move(reply);
    return result;
}

unsigned short CmdModbusTCP::CRC_Check(unsigned char* buffer, unsigned char length)
{
    return vane::modbus::crc16Modbus(QByteArray::fromRawData(reinterpret_cast<const char*>(buffer), length), length);
}

// Transaction half of CmdModbusRTU: Modbus RTU frames (address, PDU, CRC-16 low byte first),
// the answer checks and their log lines.
#include "CmdModbusRTU.h"

#include <QDebug>

#include <algorithm>

#include "modbus/protocol/crc16.h"
#include "modbus/protocol/log_texts.h"
#include "rtu_frame.h"

using namespace vane::modbus;
using vane::rtu::judgeReadAnswer;
using vane::rtu::judgeWriteAnswer;
using vane::rtu::rtuFrame;

namespace {

// Every transaction allows this much beyond the link's own wait for the answer to begin.
constexpr int kAnswerWaitMs = 50;
// Address in front of the PDU, CRC behind it.
constexpr int kEnvelopeSize = 3;

QString hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex()); }

} // namespace

unsigned short CmdModbusRTU::CRC_Check(QByteArray bytes, unsigned char length)
{
    return vane::modbus::crc16Modbus(bytes, length);
}

QByteArray CmdModbusRTU::exchangeExpecting(const QByteArray& frame, int stationId, int answerSize)
{
    QByteArray reply = std::move(spareAnswer);
    emptyKeepingRoom(reply);
    lastStation = stationId;
    expectedAnswerSize = answerSize;
    SendData(frame, reply, kAnswerWaitMs);
    expectedAnswerSize = 0;
    return reply;
}

// ---- reads ----

PduRequest CmdModbusRTU::nextRead(int function, int start, int quantity, int answerDataBytes)
{
    return readRequest(function, start, quantity, answerDataBytes, std::move(spareFrame));
}

int CmdModbusRTU::ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(nextRead(ReadCoils, offset, bits, (bits + 7) / 8), stationId, name, out);
}

int CmdModbusRTU::ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(nextRead(ReadDiscreteInputs, offset, bits, (bits + 7) / 8), stationId, name, out);
}

int CmdModbusRTU::ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    return readTransaction(nextRead(ReadHoldingRegisters, offset, bytes / 2, bytes), stationId, name, out);
}

int CmdModbusRTU::ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out)
{
    return readTransaction(nextRead(ReadInputRegisters, offset, bytes / 2, bytes), stationId, name, out);
}

int CmdModbusRTU::readTransaction(PduRequest request, int stationId, const QString& name, QByteArray* out)
{
    // Nothing that Modbus cannot carry goes on the wire.
    if (!request.valid())
        return -1;
    QByteArray frame = rtuFrame(stationId, std::move(request.pdu));
    const int result =
        Connection_status() == -3 ? -3 : Message_parsing(frame, out, stationId, request.answerDataBytes, name);
    spareFrame = std::move(frame);
    return result;
}

int CmdModbusRTU::Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name)
{
    const auto line = [&](const char* format, const QByteArray& bytes) {
        return vane::logtext::fill(QString::fromUtf8(format), {peer.toString(), QString::number(port), QString::number(stationId),
                                                              name, QString::number(expectedLength), hex(bytes)});
    };
    if (debugFlag)
        qDebug().noquote() << line("lib[ModbusRTU]读命令 %1:%2 ID=%3 0x%4 len = %5 msg : %6", frame);

    const int dataLength = std::max(expectedLength, 0);
    QByteArray reply = exchangeExpecting(frame, stationId, dataLength + kEnvelopeSize + 2);

    if (debugFlag)
        qDebug().noquote() << line("lib[ModbusRTU]读响应 %1:%2 ID=%3 0x%4 len = %5 msg : %6", reply);
    int dataOffset = 0;
    const Verdict verdict = judgeReadAnswer(frame, reply, stationId, dataLength, &dataOffset);
    const char* warning = nullptr;
    switch (verdict) {
    case Verdict::Ok: appendAnswerData(out, reply, dataOffset, dataLength); break;
    case Verdict::NoAnswer: warning = "lib[ModbusRTU]返回的报文长度为0 %1:%2 ID=%3 %4 len = %5 msg : %6"; break;
    case Verdict::WrongFunction: warning = "lib[ModbusRTU]返回的功能码错误 %1:%2 ID=%3 %4 len = %5 msg : %6"; break;
    case Verdict::WrongLength: warning = "lib[ModbusRTU]报文返回长度错误 %1:%2 ID=%3 %4 len = %5 msg : %6"; break;
    case Verdict::BadCrc: warning = "lib[ModbusRTU]报文校验码错误 %1:%2 ID=%3 %4 len = %5 msg : %6"; break;
    default: warning = "lib[ModbusRTU]返回的站号错误 %1:%2 ID=%3 %4 len = %5 msg : %6"; break;
    }
    if (warning)
        qWarning().noquote() << line(warning, reply);
    spareAnswer = std::move(reply);
    return transactionResult(verdict);
}

// ---- writes ----

int CmdModbusRTU::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    return writeTransaction(writeCoilsRequest(offset, bits, std::move(data)), stationId, "0x", offset, bits);
}

int CmdModbusRTU::WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data)
{
    return writeTransaction(writeRegistersRequest(offset, bytes, std::move(data)), stationId, "4x", offset, bytes);
}

int CmdModbusRTU::writeTransaction(PduRequest request, int stationId, const char* area, int offset, int length)
{
    if (!request.valid())
        return -1;
    const QByteArray frame = rtuFrame(stationId, std::move(request.pdu));
    if (Connection_status() == -3)
        return -3;

    // Station 0 is every station: nobody answers a broadcast.
    const bool broadcasting = (stationId & 0xFF) == 0;
    QByteArray reply;
    const int sent = broadcasting ? broadcast(frame) : 0;
    if (!broadcasting)
        reply = exchangeExpecting(frame, stationId, kEnvelopeSize + request.answerSize());

    if (debugFlag) {
        const auto line = [&](const char* format, const QByteArray& bytes) {
            return vane::logtext::fill(QString::fromUtf8(format),
                                      {peer.toString(), QString::number(port), QString::number(stationId),
                                       QLatin1String(area) + QString::number(offset), QString::number(length),
                                       hex(bytes)});
        };
        qDebug().noquote() << line("写命令 %1:%2 ID =%3 %4 len = %5 msg : %6", frame);
        qDebug().noquote() << line("响应 %1:%2 ID =%3 %4 len = %5 msg : %6", reply);
    }
    const int result = broadcasting ? sent : transactionResult(judgeWriteAnswer(request, reply, stationId));
    spareAnswer = std::move(reply);
    return result;
}

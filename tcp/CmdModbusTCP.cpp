#include "CmdModbusTCP.h"

#include "mbap.h"
#include "modbus/protocol/crc16.h"

using vane::modbus::TransactionResult;

CmdModbusTCP::CmdModbusTCP(QObject* parent) : ModbusLink(vane::tcp::kFraming, parent) {}

int CmdModbusTCP::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity)
{
    return connectSerial(portName, baudRate, dataBits, stopBits, parity, false);
}

TransactionResult CmdModbusTCP::Determine_write(QByteArray frame)
{
    return transfer(frame, 0) ? TransactionResult::Done : TransactionResult::NoTransport;
}

TransactionResult CmdModbusTCP::SendData(QByteArray frame, QByteArray& reply, int collect)
{
    const TransactionResult written = Determine_write(frame);
    return collect > 0 && takeAnswer(reply) ? TransactionResult::Done : written;
}

void CmdModbusTCP::mysleep(int ms) { vane::modbus::sleepInEventLoop(ms); }

unsigned short CmdModbusTCP::CRC_Check(unsigned char* buffer, unsigned char length)
{
    return vane::modbus::crc16Modbus(QByteArray::fromRawData(reinterpret_cast<const char*>(buffer), length), length);
}

void CmdModbusTCP::Ethconnected() { onConnected(); }
void CmdModbusTCP::Ethdisconnected() { onDisconnected(); }
void CmdModbusTCP::EthreadyRead() { onInput(); }
void CmdModbusTCP::serialreadyRead() { onSerialInput(); }

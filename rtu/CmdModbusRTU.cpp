#include "CmdModbusRTU.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>

#include "modbus/protocol/crc16.h"
#include "rtu_frame.h"

using vane::modbus::TransactionResult;

CmdModbusRTU::CmdModbusRTU(QObject* parent) : ModbusLink(vane::rtu::kFraming, parent) {}

int CmdModbusRTU::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity,
                                     QString openMode)
{
    return connectSerial(portName, baudRate, dataBits, stopBits, parity, !openMode.isEmpty());
}

TransactionResult CmdModbusRTU::Connection_status()
{
    return linked() ? TransactionResult::Done : TransactionResult::NoTransport;
}

void CmdModbusRTU::Determine_write(QByteArray frame) { transfer(frame, 50); }

TransactionResult CmdModbusRTU::SendData(QByteArray frame, QByteArray& reply, int waitMs)
{
    const bool answered = exchangeInto(frame, std::max(waitMs, 0), waitMs >= 1 ? &reply : nullptr);
    return answered ? TransactionResult::Done : TransactionResult::BadAnswer;
}

void CmdModbusRTU::Delay_MSec(unsigned int ms)
{
    vane::modbus::sleepInEventLoop(static_cast<int>(std::min<unsigned int>(ms, 0x7fffffffu)));
}

// Waits by running the thread's events over and over until the time is up.
void CmdModbusRTU::mysleep(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents();
}

unsigned short CmdModbusRTU::CRC_Check(QByteArray bytes, unsigned char length)
{
    return vane::modbus::crc16Modbus(bytes, length);
}

void CmdModbusRTU::Ethconnected() { onConnected(); }
void CmdModbusRTU::Ethdisconnected() { onDisconnected(); }
void CmdModbusRTU::EthreadyRead() { onInput(); }
void CmdModbusRTU::serialreadyRead() { onSerialInput(); }

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "modbus/link/modbus_link.h"

// The link of the Modbus RTU driver: the shared link run with Modbus RTU framing (address and
// CRC-16), over a serial port or a socket. A write to station 0 is a broadcast: nobody answers,
// and it is done once it is on the wire. What is its own: the serial connect with per-exchange
// opening, the exchange on its own, the delays, and the CRC helper.
class CmdModbusRTU : public vane::modbus::ModbusLink {
    Q_OBJECT

public:
    explicit CmdModbusRTU(QObject* parent = nullptr);

    // A non-empty `openMode` opens the port only around each exchange, from then on.
    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity,
                           QString openMode);
    // Done when a usable transport is there, else NoTransport.
    vane::modbus::TransactionResult Connection_status();
    // Writes `frame` and collects its answer in the link, allowing 50 ms more for it to begin.
    void Determine_write(QByteArray frame);
    // The same allowing `waitMs` more; hands a non-empty answer over to `reply` when `waitMs` is
    // at least 1 (Done), else BadAnswer.
    vane::modbus::TransactionResult SendData(QByteArray frame, QByteArray& reply, int waitMs);
    void Delay_MSec(unsigned int ms);
    void mysleep(int ms);
    unsigned short CRC_Check(QByteArray bytes, unsigned char length);

private slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();
};

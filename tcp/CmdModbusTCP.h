#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "modbus/link/modbus_link.h"

// The link of the Modbus TCP driver: the shared link run with Modbus TCP framing (MBAP header),
// over a socket or a serial port. What is its own: the serial connect, the exchange on its own,
// the sleep, and the CRC helper.
class CmdModbusTCP : public vane::modbus::ModbusLink {
    Q_OBJECT

public:
    explicit CmdModbusTCP(QObject* parent = nullptr);

    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity);
    // Writes `frame` and collects its answer in the link: NoTransport without a usable transport.
    vane::modbus::TransactionResult Determine_write(QByteArray frame);
    // The same, handing the answer over to `reply` when `collect` is positive and something came.
    vane::modbus::TransactionResult SendData(QByteArray frame, QByteArray& reply, int collect);
    void mysleep(int ms);
    unsigned short CRC_Check(unsigned char* buffer, unsigned char length);

private slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();
};

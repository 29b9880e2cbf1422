#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "modbus/io/link_transport.h"
#include "modbus/protocol/pdu.h"

class QSerialPort;
class QTcpSocket;
class QTimer;

// The link of the Modbus TCP driver: one transport (a socket or a serial port), the blocking
// exchange, and the Modbus TCP transactions built on it.
class CmdModbusTCP : public QObject {
    Q_OBJECT

public:
    explicit CmdModbusTCP(QObject* parent = nullptr);
    ~CmdModbusTCP() override;

    // Transports. A connect of one kind replaces a transport of the other kind.
    int EthConnectDrive(QString address, int port);
    int EthDisConnectDrive();
    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity);
    int serialDisConnectDrive();
    int Determine_write(QByteArray frame);
    int SendData(QByteArray frame, QByteArray& reply, int collect);
    int deletetcpSocket();
    int deleteSerialPort();
    int DestroyFree();
    void mysleep(int ms);
    void TimerTimeOut();

    // Modbus TCP transactions: 0 success, -1 the answer failed a check, -2 no answer.
    int ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int WriteCoils0x(int stationId, int offset, int bits, QByteArray data);
    int WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data);
    int Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name);
    unsigned short CRC_Check(unsigned char* buffer, unsigned char length);

    // The transport's Qt objects, null when the link's transport is of the other kind.
    QTcpSocket* tcpSocket() const { return transport.tcpSocket(); }
    QSerialPort* serialPort() const { return transport.serialPort(); }
    QTimer* frameTimer() const { return transport.frameTimer(); }
    // Station number of the last read that recorded one; the disconnect warning names it.
    int lastStationId() const { return lastStation; }
    const QHostAddress& peerAddress() const { return peer; }
    // Bytes that arrived between exchanges; the next exchange discards them.
    QByteArray receivedBetweenExchanges() const { return transport.get() ? transport.get()->unasked() : QByteArray(); }
    int peerPort() const { return port; }

    bool debugFlag = false;

private slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();

private:
    vane::modbus::LinkTransport transport;
    QByteArray recvBuf; // the answer of the running exchange
    QByteArray spareFrame; // the buffer of the last request frame, for the next read to be built in
    QByteArray spareAnswer; // the buffer of the last answer, for a later one
    QHostAddress peer;
    int port = 0;
    int lastStation = 0;
    // Size the running transaction expects of a normal answer (0: not known).
    int expectedAnswerSize = 0;

    QString transactionLine(const char* format, int stationId, const QString& what, int length,
                            const QByteArray& bytes) const;
    // One exchange for a transaction whose normal answer takes `answerSize` bytes; returns the answer.
    QByteArray exchangeExpecting(const QByteArray& frame, int answerSize);
    // A read request, built in the buffer of the last frame.
    vane::modbus::PduRequest nextRead(int function, int start, int quantity, int answerDataBytes);
    int readTransaction(vane::modbus::PduRequest request, int stationId, const QString& name, QByteArray* out);
    // Sends a write request, logs it and its answer (`area` and `offset` name its start), judges the answer.
    int writeTransaction(vane::modbus::PduRequest request, int stationId, const char* area, int offset,
                         int length);
};

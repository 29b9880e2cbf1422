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

// The link of the Modbus RTU driver: one transport (a serial port or a socket), the blocking
// exchange, and the Modbus RTU transactions built on it.
class CmdModbusRTU : public QObject {
    Q_OBJECT

public:
    explicit CmdModbusRTU(QObject* parent = nullptr);
    ~CmdModbusRTU() override;

    // Transports. A connect of one kind replaces a transport of the other kind.
    int EthConnectDrive(QString address, int port);
    int EthDisConnectDrive();
    // A non-empty `openMode` opens the port only around each exchange, from then on.
    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity,
                           QString openMode);
    int serialDisConnectDrive();
    int Connection_status();
    void Determine_write(QByteArray frame);
    int SendData(QByteArray frame, QByteArray& reply, int waitMs);
    void Delay_MSec(unsigned int ms);
    int deletetcpSocket();
    int deleteSerialPort();
    int DestroyFree();
    void mysleep(int ms);
    void TimerTimeOut();

    // Modbus RTU transactions: 0 success, -1 the answer failed a check, -2 no answer, -3 no transport.
    // A write to station 0 is a broadcast: nobody answers, and it is done once it is on the wire.
    int ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int WriteCoils0x(int stationId, int offset, int bits, QByteArray data);
    int WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data);
    int Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name);
    unsigned short CRC_Check(QByteArray bytes, unsigned char length);

    // The transport's Qt objects, null when the link's transport is of the other kind.
    QTcpSocket* tcpSocket() const { return transport.tcpSocket(); }
    QSerialPort* serialPort() const { return transport.serialPort(); }
    QTimer* frameTimer() const { return transport.frameTimer(); }
    bool opensPerExchange() const { return perExchange; }
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
    // Set by the first connect that asks for it, kept by later ones.
    bool perExchange = false;
    // Station number of the last request sent; the disconnect warning names it.
    int lastStation = 0;
    // Size the running transaction expects of a normal answer (0: let the answer size itself).
    int expectedAnswerSize = 0;

    // One exchange on the transport; leaves the answer (possibly nothing) in recvBuf.
    void transfer(const QByteArray& frame, int answerWaitMs);
    void closeIfPerExchange();

    // One exchange for a transaction whose normal answer takes `answerSize` bytes; returns the answer.
    QByteArray exchangeExpecting(const QByteArray& frame, int stationId, int answerSize);
    // A read request, built in the buffer of the last frame.
    vane::modbus::PduRequest nextRead(int function, int start, int quantity, int answerDataBytes);
    int readTransaction(vane::modbus::PduRequest request, int stationId, const QString& name, QByteArray* out);
    int writeTransaction(vane::modbus::PduRequest request, int stationId, const char* area, int offset,
                         int length);
    int broadcast(const QByteArray& frame);
};

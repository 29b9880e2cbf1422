#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "modbus/serial_line.h"

class QSerialPort;
class QTcpSocket;
class QTimer;

// The link of the Modbus RTU driver: a socket or a serial port, the blocking exchange, and the
// Modbus RTU transactions built on it.
class CmdModbusRTU : public QObject {
    Q_OBJECT

public:
    explicit CmdModbusRTU(QObject* parent = nullptr);
    ~CmdModbusRTU() override;

    // Transports.
    int EthConnectDrive(QString address, int port);
    int EthDisConnectDrive();
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
    int ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out);
    int ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    int WriteCoils0x(int stationId, int offset, int bits, QByteArray data);
    int WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data);
    int Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength, QString name);
    unsigned short CRC_Check(QByteArray bytes, unsigned char length);

private slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();

public:
    QByteArray recvBuf;
    QTimer* frameTimer = nullptr;
    QSerialPort* serialPort = nullptr;
    QHostAddress peerAddress;
    QTcpSocket* tcpSocket = nullptr;
    int peerPort = 0;
    int frameGapMs = 2;
    bool debugFlag = false;
    QString serialOpenMode;

private:
    // Station number of the last request sent; the disconnect warning names it.
    int lastStationId = 0;
    // Size the running transaction expects of a normal answer; 0 lets the answer size itself.
    int expectedAnswerSize = 0;
    // Keeps the bus silence between the last answer and the next request on a serial line.
    vane::modbus::InterFrameSilence lineSilence;

    // One exchange on the present transport; leaves the answer (possibly nothing) in recvBuf.
    void transfer(const QByteArray& frame, int answerWaitMs);
    QByteArray exchangeOnSocket(const QByteArray& frame, int answerWaitMs);
    QByteArray exchangeOnSerial(const QByteArray& frame, int answerWaitMs);
    void appendCrc(QByteArray& frame);
    // One exchange for a transaction whose normal answer takes `answerSize` bytes; returns the answer.
    QByteArray exchangeExpecting(const QByteArray& frame, int stationId, int answerSize);
    int readTransaction(int function, int stationId, int offset, int quantity, int expectedLength,
                        const QString& name, QByteArray* out);
    int writeTransaction(const QByteArray& frame, int stationId, const QString& area, int offset, int length);
};

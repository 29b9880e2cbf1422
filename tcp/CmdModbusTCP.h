#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "modbus/serial_line.h"

class QSerialPort;
class QTcpSocket;
class QTimer;

// The link of the Modbus TCP driver: a socket or a serial port, the blocking exchange, and the
// Modbus TCP transactions built on it.
class CmdModbusTCP : public QObject {
    Q_OBJECT

public:
    explicit CmdModbusTCP(QObject* parent = nullptr);
    ~CmdModbusTCP() override;

    // Transports.
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

private slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();

public:
    QByteArray recvBuf;
    int lastStationId = 0;
    QTimer* frameTimer = nullptr;
    QSerialPort* serialPort = nullptr;
    QHostAddress peerAddress;
    QTcpSocket* tcpSocket = nullptr;
    bool debugFlag = false;
    int peerPort = 0;
    int frameGapMs = 2;

private:
    // The answer size a transaction expects (0: not known), for the exchange it is about to run;
    // the answer's own MBAP length decides where it is shorter.
    int expectedAnswerSize = 0;
    // Keeps requests on the serial line apart from the previous answer.
    vane::modbus::InterFrameSilence serialSilence;

    int socketExchange(const QByteArray& frame);
    int serialExchange(const QByteArray& frame);
    int serialFrameGapMs() const;
    QString transactionLine(const char* format, int stationId, const QString& what, int length,
                            const QByteArray& bytes) const;
    // One exchange for a transaction whose normal answer takes `answerSize` bytes; returns the answer.
    QByteArray exchangeExpecting(const QByteArray& frame, int answerSize);
    // Sends a write request, logs it and its answer (`start`: area and offset), judges the answer.
    int writeTransaction(const QByteArray& frame, int stationId, const QString& start, int length);
};

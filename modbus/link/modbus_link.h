#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "framing.h"
#include "modbus/io/link_transport.h"
#include "modbus/protocol/connection_string.h"
#include "modbus/protocol/pdu.h"

namespace vane::modbus {

// The link of a Modbus driver: one transport (a socket or a serial port, the one its last
// connect asked for), the blocking exchange on it, and the read and write transactions, framed
// and judged as the protocol's Framing says. The transport's Qt objects are children of the link.
class ModbusLink : public QObject {
public:
    explicit ModbusLink(const Framing& framing, QObject* parent = nullptr);
    ~ModbusLink() override;

    // Transports. A connect of one kind replaces a transport of the other kind.
    int EthConnectDrive(QString address, int port);
    int EthDisConnectDrive();
    int serialDisConnectDrive();
    int deletetcpSocket();
    int deleteSerialPort();
    int DestroyFree();
    void TimerTimeOut();

    // Transactions; `name` is the tag address the log lines show.
    TransactionResult ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out);
    TransactionResult ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name, QByteArray* out);
    TransactionResult ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    TransactionResult ReadInputRegisters3x(int stationId, int offset, int bytes, QString name, QByteArray* out);
    TransactionResult WriteCoils0x(int stationId, int offset, int bits, QByteArray data);
    TransactionResult WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data);
    // Sends a read request already framed and judges its answer, `expectedLength` data bytes.
    TransactionResult Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength,
                                      QString name);

    // `perExchange` opens the port only around each exchange, from then on.
    // `lineOptions` are the options after the connection string's parity field.
    int connectSerial(const QString& portName, int baudRate, int dataBits, int stopBits, const QString& parity,
                      bool perExchange, const SerialOptions& lineOptions = SerialOptions());

    bool debugFlag = false;

protected:
    // A usable transport is there: a socket notices here a peer gone since the last call.
    bool linked();
    // One exchange on the transport, allowing `extraWaitMs` more for the answer to begin; the
    // answer (possibly nothing) waits in the link's buffer. False without a transport.
    bool transfer(const QByteArray& frame, int extraWaitMs);
    // Hands the answer of the last exchange over to `reply`; false when nothing came.
    bool takeAnswer(QByteArray& reply);
    // A whole exchange: transfer, the answer handed to `reply` (when given), the rest dropped, and a
    // port opened per exchange closed again. True when an answer was handed over.
    bool exchangeInto(const QByteArray& frame, int extraWaitMs, QByteArray* reply);

    // Notifications of the transport's Qt objects.
    void onConnected();
    void onDisconnected();
    void onInput();
    void onSerialInput();

private:
    const Framing& framing;
    LinkTransport transport;
    QByteArray recvBuf;     // the answer of the running exchange
    QByteArray spareFrame;  // the buffer of the last request frame, for the next read to be built in
    QByteArray spareAnswer; // the buffer of the last answer, for a later one
    QHostAddress peer;
    int port = 0;
    bool perExchange = false; // set by the first serial connect that asks for it, kept by later ones
    int lastStation = 0;      // named by the disconnect warning
    int expectedAnswerSize = 0; // of the running transaction's normal answer (0: not known)
    SerialOptions options;      // of the last serial connect
    bool collided = false;      // the last exchange met another sender on the line

    TransactionResult readTransaction(int function, int stationId, int offset, int quantity, int dataBytes,
                                      const QString& name, QByteArray* out);
    TransactionResult writeTransaction(PduRequest request, int stationId, const char* area, int offset, int length);
    // One exchange for a transaction whose normal answer takes `answerSize` bytes; returns the answer.
    QByteArray exchangeExpecting(const QByteArray& frame, int stationId, int answerSize);
    TransactionResult broadcast(const QByteArray& frame);
    void closeIfPerExchange();
    QString transactionLine(const char* prefix, const char* text, const char* tail, int stationId, const QString& what,
                            int length, const QByteArray& bytes) const;
};


} // namespace vane::modbus

#include "modbus_link.h"

#include <QDebug>

#include <algorithm>

#include "modbus/protocol/log_texts.h"

namespace vane::modbus {

namespace {

constexpr int kConnectTimeoutMs = 1000;

const char* warningText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NoAnswer: return logtext::kNoAnswer;
    case Verdict::WrongFunction: return logtext::kWrongFunction;
    case Verdict::WrongLength: return logtext::kWrongLength;
    case Verdict::BadCrc: return logtext::kBadCrc;
    case Verdict::WrongStation: return logtext::kWrongStation;
    case Verdict::Ok:
    case Verdict::WrongTransaction:
    case Verdict::NotConfirmed: break;
    }
    return logtext::kWrongTransaction;
}

} // namespace

ModbusLink::ModbusLink(const Framing& framing, QObject* parent) : QObject(parent), framing(framing) {}

ModbusLink::~ModbusLink() { DestroyFree(); }

// ---- transports ----

int ModbusLink::EthConnectDrive(QString address, int portNumber)
{
    port = portNumber;
    options = SerialOptions(); // a socket has no room for options
    SocketTransport& socket =
        transport.useSocket(this, &ModbusLink::onConnected, &ModbusLink::onDisconnected, &ModbusLink::onInput);
    if (!peer.setAddress(address)) {
        if (framing.texts.badAddressWarned)
            qWarning().noquote() << logtext::line(framing.texts.prefix, "%1:%2 ", logtext::kBadAddress,
                                                  {peer.toString(), QString::number(port)});
        return -1;
    }
    return socket.connectTo(peer, port, kConnectTimeoutMs);
}

int ModbusLink::EthDisConnectDrive()
{
    SocketTransport* socket = transport.socket();
    if (!socket)
        return 1;
    socket->close();
    return 0;
}

int ModbusLink::connectSerial(const QString& portName, int baudRate, int dataBits, int stopBits,
                              const QString& parity, bool openPerExchange, const SerialOptions& lineOptions)
{
    SerialTransport& serial = transport.useSerial(this, &ModbusLink::onSerialInput, &ModbusLink::TimerTimeOut);
    serial.close();
    serial.port().setPortName(portName);
    applyLineSettings(serial.port(), baudRate, dataBits, stopBits, parity);
    options = lineOptions;
    perExchange = perExchange || openPerExchange;
    QString reason;
    // A connect without the per-exchange suffix opens the port now, even when an earlier one
    // asked for per-exchange opening: the first exchange then closes it.
    const bool attached = serial.attach(portName, perExchange ? SerialTransport::Opening::PerExchange
                                                    : SerialTransport::Opening::Kept,
                                        !openPerExchange, options.echo,
                                        Rs485Mode{options.rs485, options.rs485RtsLow, options.rs485DelayBeforeMs,
                                                  options.rs485DelayAfterMs},
                                        !framing.settingsAfterOpening, &reason);
    if (!attached && framing.texts.openFailureLogged)
        qDebug().noquote() << portName + QString::fromUtf8(logtext::kOpenFailed);
    if (!attached && !reason.isEmpty())
        qWarning().noquote() << QString::fromLatin1(framing.texts.prefix) + portName + QStringLiteral(": ") + reason;
    return attached ? 0 : -1;
}

int ModbusLink::serialDisConnectDrive()
{
    SerialTransport* serial = transport.serial();
    // A port that is closed already gives the protocol's own answer; 0 closes whatever is left.
    if (!serial || (!serial->isOpen() && framing.closedPortDisconnect != 0))
        return framing.closedPortDisconnect;
    serial->close();
    return 0;
}

int ModbusLink::deletetcpSocket()
{
    if (transport.socket())
        transport.release();
    return 0;
}

int ModbusLink::deleteSerialPort()
{
    if (transport.serial())
        transport.release();
    return 0;
}

int ModbusLink::DestroyFree() { return transport.release(); }

// ---- notifications ----

void ModbusLink::onConnected()
{
    // Requests are single small frames, answered one at a time: Nagle's algorithm would only delay them.
    if (SocketTransport* socket = transport.socket())
        socket->socket().setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void ModbusLink::onDisconnected()
{
    SocketTransport* socket = transport.socket();
    const QAbstractSocket::SocketError error =
        socket ? socket->socket().error() : QAbstractSocket::UnknownSocketError;
    if (error == QAbstractSocket::UnknownSocketError && !framing.texts.disconnectWithoutError)
        return;
    qWarning().noquote() << logtext::line(framing.texts.prefix, framing.texts.disconnect, "",
                                          {peer.toString(), QString::number(port), QString::number(lastStation)})
                         << error;
}

void ModbusLink::onInput()
{
    if (Transport* present = transport.get())
        present->takeIncoming();
}

// Bytes that arrive outside an exchange: the frame ends after a frame gap of silence.
void ModbusLink::onSerialInput()
{
    if (SerialTransport* serial = transport.serial())
        serial->restartFrameTimer();
}

void ModbusLink::TimerTimeOut() { onInput(); }

// ---- exchange ----

bool ModbusLink::linked()
{
    Transport* present = transport.get();
    return present && present->usable();
}

bool ModbusLink::transfer(const QByteArray& frame, int extraWaitMs)
{
    emptyKeepingRoom(recvBuf);
    // A protocol whose transactions looked for the transport already needs no second look.
    Transport* present = transport.get();
    if (!present || (!framing.refusesWithoutTransport && !present->usable()))
        return false;
    AnswerTiming timing = framing.timing.of(present->kind());
    timing.firstByteMs += extraWaitMs;
    if (timing.answerLimitMs > 0)
        timing.answerLimitMs += extraWaitMs;
    if (options.answerTimeoutMs > 0) // slow devices, radio modems, gateways: the line's own wait
        timing.firstByteMs = options.answerTimeoutMs;
    present->exchange(frame, framing.shape(frame, expectedAnswerSize), timing, recvBuf);
    collided = present->collided();
    return true;
}

bool ModbusLink::takeAnswer(QByteArray& reply)
{
    if (recvBuf.isEmpty())
        return false;
    handOver(recvBuf, reply);
    return true;
}

bool ModbusLink::exchangeInto(const QByteArray& frame, int extraWaitMs, QByteArray* reply)
{
    transfer(frame, extraWaitMs);
    const bool answered = reply && takeAnswer(*reply);
    emptyKeepingRoom(recvBuf);
    closeIfPerExchange();
    return answered;
}

void ModbusLink::closeIfPerExchange()
{
    SerialTransport* serial = transport.serial();
    if (perExchange && serial)
        serial->close();
}

QByteArray ModbusLink::exchangeExpecting(const QByteArray& frame, int stationId, int answerSize)
{
    QByteArray reply = std::move(spareAnswer);
    emptyKeepingRoom(reply);
    const int function = frame.size() > framing.headerSize ? static_cast<unsigned char>(frame.at(framing.headerSize)) : 0;
    if (function < 32 && (framing.stationRecordedBy & (1u << function)))
        lastStation = stationId;
    expectedAnswerSize = answerSize;
    exchangeInto(frame, framing.transactionAnswerWaitMs, &reply);
    expectedAnswerSize = 0;
    return reply;
}

TransactionResult ModbusLink::broadcast(const QByteArray& frame)
{
    Transport* present = transport.get();
    const bool sent = present && present->send(frame, framing.timing.of(present->kind()).writeTimeoutMs);
    closeIfPerExchange();
    return sent ? TransactionResult::Done : TransactionResult::NoAnswer;
}

// ---- transactions ----

QString ModbusLink::transactionLine(const char* prefix, const char* text, const char* tail, int stationId,
                                    const QString& what, int length, const QByteArray& bytes) const
{
    return logtext::line(prefix, text, tail,
                         {peer.toString(), QString::number(port), QString::number(stationId), what,
                          QString::number(length), QString::fromLatin1(bytes.toHex())});
}

TransactionResult ModbusLink::ReadCoils0x(int stationId, int offset, int bits, QString name, QByteArray* out)
{
    return readTransaction(ReadCoils, stationId, offset, bits, (bits + 7) / 8, name, out);
}

TransactionResult ModbusLink::ReadDiscreteInputs1x(int stationId, int offset, int bits, QString name,
                                                   QByteArray* out)
{
    return readTransaction(ReadDiscreteInputs, stationId, offset, bits, (bits + 7) / 8, name, out);
}

TransactionResult ModbusLink::ReadHoldingRegisters4x(int stationId, int offset, int bytes, QString name,
                                                     QByteArray* out)
{
    return readTransaction(ReadHoldingRegisters, stationId, offset, bytes / 2, bytes, name, out);
}

TransactionResult ModbusLink::ReadInputRegisters3x(int stationId, int offset, int bytes, QString name,
                                                   QByteArray* out)
{
    return readTransaction(ReadInputRegisters, stationId, offset, bytes / 2, bytes, name, out);
}

TransactionResult ModbusLink::readTransaction(int function, int stationId, int offset, int quantity, int dataBytes,
                                              const QString& name, QByteArray* out)
{
    // The request is built in the buffer of the last frame. Nothing Modbus cannot carry goes out.
    PduRequest request = readRequest(function, offset, quantity, dataBytes, std::move(spareFrame));
    if (!request.valid())
        return TransactionResult::NotBuilt;
    QByteArray frame = framing.frame(stationId, std::move(request.pdu));
    const TransactionResult result = framing.refusesWithoutTransport && !linked()
        ? TransactionResult::NoTransport
        : Message_parsing(frame, out, stationId, request.answerDataBytes, name);
    spareFrame = std::move(frame);
    return result;
}

TransactionResult ModbusLink::Message_parsing(QByteArray frame, QByteArray* out, int stationId, int expectedLength,
                                              QString name)
{
    const FramingTexts& texts = framing.texts;
    const auto line = [&](const char* text, const char* tail, const QByteArray& bytes) {
        return transactionLine(texts.prefix, text, tail, stationId, name, expectedLength, bytes);
    };
    if (debugFlag)
        qDebug().noquote() << line(logtext::kReadRequest, texts.readDumpTail, frame);
    const int dataLength = std::max(expectedLength, 0);
    QByteArray reply = exchangeExpecting(frame, stationId, framing.headerSize + 2 + dataLength + framing.trailerSize);
    if (debugFlag)
        qDebug().noquote() << line(logtext::kReadAnswer, texts.readDumpTail, reply);

    int dataOffset = 0;
    const Verdict verdict =
        collided ? Verdict::WrongTransaction : framing.judgeRead(frame, reply, stationId, dataLength, &dataOffset);
    if (verdict == Verdict::Ok)
        appendAnswerData(out, reply, dataOffset, dataLength);
    else
        qWarning().noquote() << line(warningText(verdict), logtext::kTransactionTail,
                                     verdict == Verdict::WrongLength ? reply.mid(texts.wrongLengthShownFrom) : reply);
    spareAnswer = std::move(reply);
    return resultOf(verdict);
}

TransactionResult ModbusLink::WriteCoils0x(int stationId, int offset, int bits, QByteArray data)
{
    return writeTransaction(writeCoilsRequest(offset, bits, std::move(data)), stationId, "0x", offset, bits);
}

TransactionResult ModbusLink::WriteHoldingRegisters4x(int stationId, int offset, int bytes, QByteArray data)
{
    return writeTransaction(writeRegistersRequest(offset, bytes, std::move(data), options.singleWritesAsFc16),
                            stationId, "4x", offset, bytes);
}

TransactionResult ModbusLink::writeTransaction(PduRequest request, int stationId, const char* area, int offset,
                                               int length)
{
    if (!request.valid())
        return TransactionResult::NotBuilt;
    const QByteArray frame = framing.frame(stationId, std::move(request.pdu));
    if (framing.refusesWithoutTransport && !linked())
        return TransactionResult::NoTransport;
    const FramingTexts& texts = framing.texts;
    const auto dump = [&](const char* text, const QByteArray& bytes) {
        qDebug().noquote() << transactionLine(texts.writePrefix, text, texts.writeDumpTail, stationId,
                                              QLatin1String(area) + QString::number(offset), length, bytes);
    };
    if (debugFlag && !texts.writeDumpedAfterAnswer)
        dump(logtext::kWriteRequest, frame);
    // Station 0 is every station: nobody answers a broadcast.
    const bool broadcasting = framing.broadcastsToStationZero && (stationId & 0xFF) == 0;
    QByteArray reply;
    const TransactionResult sent = broadcasting ? broadcast(frame) : TransactionResult::Done;
    if (!broadcasting)
        reply = exchangeExpecting(frame, stationId, framing.headerSize + request.answerSize() + framing.trailerSize);
    if (debugFlag) {
        if (texts.writeDumpedAfterAnswer)
            dump(logtext::kWriteRequest, frame);
        dump(texts.writeAnswer, reply);
    }
    const TransactionResult result =
        broadcasting ? sent
        : collided   ? TransactionResult::BadAnswer
                     : resultOf(framing.judgeWrite(request, frame, reply, stationId));
    spareAnswer = std::move(reply);
    return result;
}

} // namespace vane::modbus

#include "driver_front.h"

#include <QDateTime>
#include <QDebug>

#include "contract/status.h"
#include "modbus/protocol/build_info.h"
#include "modbus/protocol/connection_string.h"
#include "modbus/protocol/tag_address.h"

namespace vane::modbus {

// Each area's transactions and the kind of quantity they take (bits or register bytes).
struct DriverFront::Area {
    TransactionResult (ModbusLink::*read)(int, int, int, QString, QByteArray*);
    TransactionResult (ModbusLink::*write)(int, int, int, QByteArray);
    AreaKind kind;
};

const DriverFront::Area DriverFront::coils = {&ModbusLink::ReadCoils0x, &ModbusLink::WriteCoils0x, AreaKind::Bits};
const DriverFront::Area DriverFront::discreteInputs = {&ModbusLink::ReadDiscreteInputs1x, nullptr, AreaKind::Bits};
const DriverFront::Area DriverFront::inputRegisters = {&ModbusLink::ReadInputRegisters3x, nullptr,
                                                       AreaKind::Registers};
const DriverFront::Area DriverFront::holdingRegisters = {&ModbusLink::ReadHoldingRegisters4x,
                                                         &ModbusLink::WriteHoldingRegisters4x, AreaKind::Registers};

// A table the checks let through; None only for a request they refused.
const DriverFront::Area* DriverFront::areaOf(Table table)
{
    switch (table) {
    case Table::Coils: return &coils;
    case Table::DiscreteInputs: return &discreteInputs;
    case Table::InputRegisters: return &inputRegisters;
    case Table::HoldingRegisters:
    case Table::None: break;
    }
    return &holdingRegisters;
}

QString DriverFront::getDriveName() { return QString::fromLatin1(policy.identity.driveName); }

QString DriverFront::getversion_number() { return QString::fromLatin1(policy.identity.version); }

QString DriverFront::DebugCmd(EDebugCmdType cmd)
{
    switch (cmd) {
    case StartDebug:
        link->debugFlag = true;
        return QStringLiteral("StartDebug");
    case StopDebug:
        link->debugFlag = false;
        return QStringLiteral("StopDebug");
    case BuildTime: {
        static const QDate buildDate = buildDateFromStamp(__DATE__);
        return buildInformation(QString::fromLatin1(policy.identity.buildPattern), buildDate, __TIME__);
    }
    case DriveName: return getDriveName();
    }
    return QString();
}

int DriverFront::SetConnectPar(QString stationNumber)
{
    stationId = static_cast<int>(stationNumber.toUInt(nullptr, 10));
    return stationId;
}

// The parsed values are remembered before they are checked, so a refused string still replaces
// the remembered values of its own form.
int DriverFront::ConnectDrive(QString parameters)
{
    if (isSerialForm(parameters)) {
        const SerialParameters serial = parseSerialForm(parameters);
        portName = serial.portField;
        const int colon = policy.connection.perExchangeSuffix ? portName.indexOf(QLatin1Char(':')) : -1;
        if (colon >= 0) {
            portName = portName.left(colon);
            perExchange = true;
        }
        baudRate = serial.baudRate;
        dataBits = serial.dataBits;
        stopBits = serial.stopBits;
        parity = serial.parity;
        if (portName.isEmpty() || baudRate == 0 || dataBits == 0 || stopBits == 0)
            return -1;
        SerialOptionsReport report;
        const SerialOptions options = parseSerialOptions(serial.optionFields, &report);
        const QString prefix = QString::fromLatin1(policy.identity.driveName) + QStringLiteral(": ") + portName;
        for (const QString& unknown : report.unknown)
            qWarning().noquote() << prefix + QStringLiteral(": unknown option '%1' ignored").arg(unknown);
        if (!report.badField.isEmpty()) {
            qWarning().noquote() << prefix + QStringLiteral(": option '%1' has a bad value").arg(report.badField);
            return -1;
        }
        // The link now talks over the port alone; a disconnect closes the port.
        tcpPort = 0;
        return link->connectSerial(portName, baudRate, dataBits, stopBits, parity, perExchange, options);
    }
    if (!parameters.contains(QLatin1Char(':')))
        return -4;
    const SocketParameters socket = splitSocketForm(parameters);
    hostAddress = socket.host;
    const QString portText = policy.connection.portEndsAtColon ? socket.portText.section(QLatin1Char(':'), 0, 0) : socket.portText;
    tcpPort = portText.toInt(nullptr, 10);
    // A port beyond 16 bits would reach another port once cut to them.
    if (hostAddress.isEmpty() || tcpPort <= 0 || tcpPort > 65535)
        return -1;
    // The link now talks over the socket alone; a disconnect closes the socket.
    baudRate = 0;
    return link->EthConnectDrive(hostAddress, tcpPort);
}

int DriverFront::DisConnectDrive()
{
    if (tcpPort > 0)
        return link->EthDisConnectDrive();
    if (baudRate > 0 && dataBits != 0 && stopBits != 0)
        return link->serialDisConnectDrive();
    return policy.connection.disconnectWithoutLink;
}

int DriverFront::DestroyFree() { return link->DestroyFree(); }

int DriverFront::getArea(QString address) { return policy.checks.areaCodes[static_cast<int>(parseTagAddress(address).table)]; }

int DriverFront::getAddr(QString address) { return offsetOf(address); }

int DriverFront::getBytelen(DataType type, int count, int area)
{
    const int registerArea = policy.checks.areaCodes[static_cast<int>(Table::InputRegisters)];
    const int holdingArea = policy.checks.areaCodes[static_cast<int>(Table::HoldingRegisters)];
    return byteLength(type, count, area == registerArea || area == holdingArea);
}

int DriverFront::checkRequest(const TagAddress& tag, DataType type, int count, Direction direction) const
{
    const qint64 offset = tag.offset;
    if (policy.checks.offsetCheckedFirst && offset < 0)
        return StatusBadAddress;
    if (tag.table == Table::None)
        return StatusBadArea;
    if (count < (direction == Direction::Read ? policy.checks.leastReadCount : 1))
        return StatusBadCount;
    // Wide types span several registers (or bits) per element: the span must stay inside the table too.
    if (offset < 0 || !requestWithinTable(offset, areaOf(tag.table)->kind, direction, type, count))
        return StatusBadAddress;
    if (type == NoType)
        return StatusTypeNotHandled;
    return StatusInitial;
}

CLabelVariable DriverFront::ReadVariable(QString address, DataType type) { return ReadVariable(address, type, 1); }

CLabelVariable DriverFront::ReadVariable(QString address, DataType type, int count)
{
    const TagAddress tag = parseTagAddress(address);
    const int refused = checkRequest(tag, type, count, Direction::Read);
    const int offset = static_cast<int>(tag.offset);
    // Built in place: a record's assignment leaves two of its fields behind.
    CLabelVariable record =
        refused != StatusInitial ? refusedRead(refused) : read(*areaOf(tag.table), offset, type, count, address);
    record.address = address;
    record.count = count;
    record.type = type;
    return record;
}

CLabelVariable DriverFront::WriteVariable(QString address, DataType type, CLabelVariable values)
{
    return WriteVariable(address, type, values, 1);
}

// Writes go to coils and holding registers only.
CLabelVariable DriverFront::WriteVariable(QString address, DataType type, CLabelVariable values, int count)
{
    const TagAddress tag = parseTagAddress(address);
    const int refused = checkRequest(tag, type, count, Direction::Write);
    const int offset = static_cast<int>(tag.offset);
    const Area* area = areaOf(tag.table);
    // The host's record comes back whole, its accessStatus and reserved fields too.
    CLabelVariable record = refused == StatusInitial && area->write
        ? write(*area, offset, type, std::move(values), count)
        : refusedWrite(std::move(values), refused != StatusInitial ? refused : StatusReadOnly);
    record.address = address;
    record.count = count;
    record.type = type;
    return record;
}

CLabelVariable DriverFront::refusedRead(int status)
{
    CLabelVariable record;
    record.timestamp = QDateTime::currentDateTime();
    record.status = status;
    return record;
}

// A refused write keeps the host's record, stamped with the refusal's time or not as the policy says.
CLabelVariable DriverFront::refusedWrite(CLabelVariable&& values, int status) const
{
    CLabelVariable record = takeRecord(std::move(values));
    if (policy.checks.refusalTime == RefusalTime::Now)
        record.timestamp = QDateTime::currentDateTime();
    record.status = status;
    return record;
}

CLabelVariable DriverFront::read(const Area& area, int offset, DataType type, int count, const QString& address)
{
    return planRead(area.kind, type, count, [&](int quantity, QByteArray* reply) {
        return (link->*area.read)(stationId, offset, quantity, address, reply);
    });
}

CLabelVariable DriverFront::write(const Area& area, int offset, DataType type, CLabelVariable&& values, int count)
{
    return planWrite(area.kind, type, std::move(values), count, policy.checks.registerTypes, policy.checks.refusalTime,
                     [&](int quantity, QByteArray& data) {
                         return (link->*area.write)(stationId, offset, quantity, std::move(data));
                     });
}

CLabelVariable DriverFront::Read_0x(int offset, DataType type, int count, QString address)
{
    return read(coils, offset, type, count, address);
}

CLabelVariable DriverFront::Read_1x(int offset, DataType type, int count, QString address)
{
    return read(discreteInputs, offset, type, count, address);
}

CLabelVariable DriverFront::Read_3x(int offset, DataType type, int count, QString address)
{
    return read(inputRegisters, offset, type, count, address);
}

CLabelVariable DriverFront::Read_4x(int offset, DataType type, int count, QString address)
{
    return read(holdingRegisters, offset, type, count, address);
}

CLabelVariable DriverFront::Write_0x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return write(coils, offset, type, std::move(values), count);
}

CLabelVariable DriverFront::Write_4x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return write(holdingRegisters, offset, type, std::move(values), count);
}

} // namespace vane::modbus

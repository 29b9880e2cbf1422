#include "Serivane.h"

#include "contract/status.h"
#include "modbus/protocol/area_dispatch.h"
#include "modbus/protocol/build_info.h"
#include "modbus/protocol/connection_string.h"
#include "modbus/protocol/planning.h"
#include "modbus/protocol/tag_address.h"

using namespace vane;
using namespace vane::modbus;

Serivane::Serivane() : QObject(nullptr) {}

QString Serivane::getDriveName() { return QStringLiteral("modbusRtu"); }

QString Serivane::getversion_number() { return QStringLiteral("V1.7.8 20230506"); }

QString Serivane::DebugCmd(EDebugCmdType cmd)
{
    switch (cmd) {
    case StartDebug:
        link.debugFlag = true;
        return QStringLiteral("StartDebug");
    case StopDebug:
        link.debugFlag = false;
        return QStringLiteral("StopDebug");
    case BuildTime: {
        static const QDate buildDate = buildDateFromStamp(__DATE__);
        return buildInformation(QStringLiteral("v1.7.8 %1 %2"), buildDate, __TIME__);
    }
    case DriveName: return getDriveName();
    }
    return QString();
}

int Serivane::SetConnectPar(QString stationNumber)
{
    stationId = static_cast<int>(stationNumber.toUInt(nullptr, 10));
    return stationId;
}

int Serivane::ConnectDrive(QString parameters)
{
    if (isSerialForm(parameters)) {
        const SerialParameters serial = parseSerialForm(parameters);
        portName = serial.portField;
        // "port:anything" opens the port only around each exchange, from now on.
        const int colon = portName.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            portName = portName.left(colon);
            portMode = QStringLiteral("s");
        }
        baudRate = serial.baudRate;
        dataBits = serial.dataBits;
        stopBits = serial.stopBits;
        parity = serial.parity;
        if (portName.isEmpty() || baudRate == 0 || dataBits == 0 || stopBits == 0)
            return -1;
        // The link now talks over the port alone; a disconnect closes the port.
        tcpPort = 0;
        return link.serialConnectDrive(portName, baudRate, dataBits, stopBits, parity, portMode);
    }
    if (!parameters.contains(QLatin1Char(':')))
        return -4;
    // The port is all the text after the host's colon.
    const SocketParameters socket = splitSocketForm(parameters);
    hostAddress = socket.host;
    tcpPort = socket.portText.toInt(nullptr, 10);
    // A port beyond 16 bits would reach another port once cut to them.
    if (hostAddress.isEmpty() || tcpPort <= 0 || tcpPort > 65535)
        return -1;
    // The link now talks over the socket alone; a disconnect closes the socket.
    baudRate = 0;
    return link.EthConnectDrive(hostAddress, tcpPort);
}

int Serivane::DisConnectDrive()
{
    if (tcpPort > 0)
        return link.EthDisConnectDrive();
    if (baudRate > 0 && dataBits != 0 && stopBits != 0)
        return link.serialDisConnectDrive();
    return 1;
}

int Serivane::DestroyFree() { return link.DestroyFree(); }

int Serivane::areaOfTable(Table table)
{
    switch (table) {
    case Table::DiscreteInputs: return Area1x;
    case Table::Coils: return Area0x;
    case Table::InputRegisters: return Area3x;
    case Table::HoldingRegisters: return Area4x;
    case Table::None: break;
    }
    return NoArea;
}

int Serivane::getArea(QString address) { return areaOfTable(parseTagAddress(address).table); }

int Serivane::getAddr(QString address) { return offsetOf(address); }

int Serivane::getBytelen(DataType type, int count, int area)
{
    return byteLength(type, count, area == Area3x || area == Area4x);
}

int Serivane::checkRequest(const QString& address, DataType type, int count, Direction direction, int* area,
                           int* offset)
{
    // One look at the address gives both.
    const TagAddress tag = parseTagAddress(address);
    *area = areaOfTable(tag.table);
    *offset = static_cast<int>(tag.offset);
    if (*area == NoArea)
        return StatusBadArea;
    // Reads test for a negative count only: a read of 0 elements is refused later, after the type.
    if (count < (direction == Direction::Read ? 0 : 1))
        return StatusBadCount;
    // Wide types span several registers (or bits) per element: the span must stay inside the table too.
    const AreaKind kind = *area == Area3x || *area == Area4x ? AreaKind::Registers : AreaKind::Bits;
    if (*offset < 0 || !requestWithinTable(*offset, kind, direction, type, count))
        return StatusBadAddress;
    if (type == NoType)
        return StatusTypeNotHandled;
    return StatusInitial;
}

CLabelVariable Serivane::ReadVariable(QString address, DataType type)
{
    return ReadVariable(address, type, 1);
}

CLabelVariable Serivane::ReadVariable(QString address, DataType type, int count)
{
    int area = NoArea;
    int offset = 0;
    const int refused = checkRequest(address, type, count, Direction::Read, &area, &offset);
    CLabelVariable record = readByArea(*this, refused, area, offset, type, count, address);
    nameRecord(record, address, count, type);
    return record;
}

CLabelVariable Serivane::WriteVariable(QString address, DataType type, CLabelVariable values)
{
    return WriteVariable(address, type, values, 1);
}

// A refused write keeps the host's own timestamp; the planning stamps the ones that were sent.
CLabelVariable Serivane::WriteVariable(QString address, DataType type, CLabelVariable values, int count)
{
    int area = NoArea;
    int offset = 0;
    const int refused = checkRequest(address, type, count, Direction::Write, &area, &offset);
    CLabelVariable record = writeByArea(*this, refused, area, offset, type, std::move(values), count, RefusalTime::Kept);
    nameRecord(record, address, count, type);
    return record;
}

CLabelVariable Serivane::Read_0x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Bits, type, count, [&](int bits, QByteArray* reply) {
        return link.ReadCoils0x(stationId, offset, bits, address, reply);
    });
}

CLabelVariable Serivane::Read_1x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Bits, type, count, [&](int bits, QByteArray* reply) {
        return link.ReadDiscreteInputs1x(stationId, offset, bits, address, reply);
    });
}

CLabelVariable Serivane::Read_3x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Registers, type, count, [&](int bytes, QByteArray* reply) {
        return link.ReadInputRegisters3x(stationId, offset, bytes, address, reply);
    });
}

CLabelVariable Serivane::Read_4x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Registers, type, count, [&](int bytes, QByteArray* reply) {
        return link.ReadHoldingRegisters4x(stationId, offset, bytes, address, reply);
    });
}

CLabelVariable Serivane::Write_0x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return planWrite(AreaKind::Bits, type, std::move(values), count, RegisterTypes::PlainOnly, RefusalTime::Kept, [&](int coils, QByteArray& data) {
        return link.WriteCoils0x(stationId, offset, coils, std::move(data));
    });
}

// Holding registers take only the ten plain types, high byte first.
CLabelVariable Serivane::Write_4x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return planWrite(AreaKind::Registers, type, std::move(values), count, RegisterTypes::PlainOnly, RefusalTime::Kept, [&](int bytes, QByteArray& data) {
        return link.WriteHoldingRegisters4x(stationId, offset, bytes, std::move(data));
    });
}

extern "C" CDriveBaseClass* getSharedLibrary()
{
    return new Serivane;
}

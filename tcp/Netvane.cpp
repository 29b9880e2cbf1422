#include "Netvane.h"

#include "contract/status.h"
#include "modbus/protocol/area_dispatch.h"
#include "modbus/protocol/build_info.h"
#include "modbus/protocol/connection_string.h"
#include "modbus/protocol/planning.h"
#include "modbus/protocol/tag_address.h"

using namespace vane;
using namespace vane::modbus;

Netvane::Netvane() : QObject(nullptr) {}

QString Netvane::getDriveName() { return QStringLiteral("modbusTcp"); }

QString Netvane::getversion_number() { return QStringLiteral("V1.9.1 20230323"); }

QString Netvane::DebugCmd(EDebugCmdType cmd)
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
        return buildInformation(QStringLiteral("v1.9.2.B %1 %2"), buildDate, __TIME__);
    }
    case DriveName: return getDriveName();
    }
    return QString();
}

int Netvane::SetConnectPar(QString stationNumber)
{
    stationId = static_cast<int>(stationNumber.toUInt(nullptr, 10));
    return stationId;
}

int Netvane::ConnectDrive(QString parameters)
{
    if (isSerialForm(parameters)) {
        const SerialParameters serial = parseSerialForm(parameters);
        portName = serial.portField;
        baudRate = serial.baudRate;
        dataBits = serial.dataBits;
        stopBits = serial.stopBits;
        parity = serial.parity;
        if (portName.isEmpty() || baudRate == 0 || dataBits == 0 || stopBits == 0)
            return -1;
        // The link now talks over the port alone; a disconnect closes the port.
        tcpPort = 0;
        return link.serialConnectDrive(portName, baudRate, dataBits, stopBits, parity);
    }
    if (!parameters.contains(QLatin1Char(':')))
        return -4;
    // The port is the text up to the next colon; anything after it is ignored.
    const SocketParameters socket = splitSocketForm(parameters);
    hostAddress = socket.host;
    tcpPort = socket.portText.section(QLatin1Char(':'), 0, 0).toInt(nullptr, 10);
    // A port beyond 16 bits would reach another port once cut to them.
    if (hostAddress.isEmpty() || tcpPort <= 0 || tcpPort > 65535)
        return -1;
    // The link now talks over the socket alone; a disconnect closes the socket.
    baudRate = 0;
    return link.EthConnectDrive(hostAddress, tcpPort);
}

int Netvane::DisConnectDrive()
{
    if (tcpPort > 0)
        return link.EthDisConnectDrive();
    if (baudRate > 0 && dataBits != 0 && stopBits != 0)
        return link.serialDisConnectDrive();
    return -1;
}

int Netvane::DestroyFree() { return link.DestroyFree(); }

int Netvane::areaOfTable(Table table)
{
    switch (table) {
    case Table::Coils: return Area0x;
    case Table::DiscreteInputs: return Area1x;
    case Table::HoldingRegisters: return Area4x;
    case Table::InputRegisters: return Area3x;
    case Table::None: break;
    }
    return NoArea;
}

int Netvane::getArea(QString address) { return areaOfTable(parseTagAddress(address).table); }

int Netvane::getAddr(QString address) { return offsetOf(address); }

int Netvane::getBytelen(DataType type, int count, int area)
{
    return byteLength(type, count, area == Area4x || area == Area3x);
}

int Netvane::checkRequest(const QString& address, DataType type, int count, Direction direction, int* area,
                          int* offset)
{
    // One look at the address gives both.
    const TagAddress tag = parseTagAddress(address);
    *area = areaOfTable(tag.table);
    *offset = static_cast<int>(tag.offset);
    if (*offset < 0)
        return StatusBadAddress;
    if (*area == NoArea)
        return StatusBadArea;
    if (count < 1)
        return StatusBadCount;
    // Wide types span several registers (or bits) per element: the span must stay inside the table too.
    const AreaKind kind = *area == Area3x || *area == Area4x ? AreaKind::Registers : AreaKind::Bits;
    if (!requestWithinTable(*offset, kind, direction, type, count))
        return StatusBadAddress;
    if (type == NoType)
        return StatusTypeNotHandled;
    return StatusInitial;
}

CLabelVariable Netvane::ReadVariable(QString address, DataType type)
{
    return ReadVariable(address, type, 1);
}

CLabelVariable Netvane::ReadVariable(QString address, DataType type, int count)
{
    int area = NoArea;
    int offset = 0;
    const int refused = checkRequest(address, type, count, Direction::Read, &area, &offset);
    CLabelVariable record = readByArea(*this, refused, area, offset, type, count, address);
    nameRecord(record, address, count, type);
    return record;
}

CLabelVariable Netvane::WriteVariable(QString address, DataType type, CLabelVariable values)
{
    return WriteVariable(address, type, values, 1);
}

// A write carries the time of its answer, or of its refusal.
CLabelVariable Netvane::WriteVariable(QString address, DataType type, CLabelVariable values, int count)
{
    int area = NoArea;
    int offset = 0;
    const int refused = checkRequest(address, type, count, Direction::Write, &area, &offset);
    CLabelVariable record = writeByArea(*this, refused, area, offset, type, std::move(values), count, RefusalTime::Now);
    nameRecord(record, address, count, type);
    return record;
}

CLabelVariable Netvane::Read_0x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Bits, type, count, [&](int bits, QByteArray* reply) {
        return link.ReadCoils0x(stationId, offset, bits, address, reply);
    });
}

CLabelVariable Netvane::Read_1x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Bits, type, count, [&](int bits, QByteArray* reply) {
        return link.ReadDiscreteInputs1x(stationId, offset, bits, address, reply);
    });
}

CLabelVariable Netvane::Read_3x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Registers, type, count, [&](int bytes, QByteArray* reply) {
        return link.ReadInputRegisters3x(stationId, offset, bytes, address, reply);
    });
}

CLabelVariable Netvane::Read_4x(int offset, DataType type, int count, QString address)
{
    return planRead(AreaKind::Registers, type, count, [&](int bytes, QByteArray* reply) {
        return link.ReadHoldingRegisters4x(stationId, offset, bytes, address, reply);
    });
}

CLabelVariable Netvane::Write_0x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return planWrite(AreaKind::Bits, type, std::move(values), count, RegisterTypes::All, RefusalTime::Now, [&](int coils, QByteArray& data) {
        return link.WriteCoils0x(stationId, offset, coils, std::move(data));
    });
}

CLabelVariable Netvane::Write_4x(int offset, DataType type, CLabelVariable&& values, int count)
{
    return planWrite(AreaKind::Registers, type, std::move(values), count, RegisterTypes::All, RefusalTime::Now, [&](int bytes, QByteArray& data) {
        return link.WriteHoldingRegisters4x(stationId, offset, bytes, std::move(data));
    });
}

extern "C" CDriveBaseClass* getSharedLibrary()
{
    return new Netvane;
}

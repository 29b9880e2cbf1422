#pragma once

#include <QString>

#include "contract/CDriveBaseClass.h"
#include "front_policy.h"
#include "modbus/link/modbus_link.h"
#include "modbus/protocol/planning.h"

namespace vane::modbus {

// A driver as the host sees it, the same for both protocols: text in (station number, connection
// parameters, tag addresses), checked requests out to the driver's link, records back. The
// driver class adds its identity and policy and owns the link.
class DriverFront : public CDriveBaseClass {
public:
    explicit DriverFront(const FrontPolicy& policy) : policy(policy) {}

    QString getDriveName() override;
    QString getversion_number() override;
    QString DebugCmd(EDebugCmdType cmd) override;
    int ConnectDrive(QString parameters) override;
    int SetConnectPar(QString stationNumber) override;
    int DisConnectDrive() override;
    CLabelVariable ReadVariable(QString address, DataType type) override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable values) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable values, int count) override;
    int DestroyFree() override;

    // The area code of a tag address's prefix (the policy's numbering; 0 for none), its offset,
    // and the bytes a run of elements takes in an area of that code.
    int getArea(QString address);
    int getAddr(QString address);
    int getBytelen(DataType type, int count, int area);

    // One transaction per area.
    CLabelVariable Read_0x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_1x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_3x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_4x(int offset, DataType type, int count, QString address);
    CLabelVariable Write_0x(int offset, DataType type, CLabelVariable&& values, int count);
    CLabelVariable Write_4x(int offset, DataType type, CLabelVariable&& values, int count);

protected:
    // The driver hands over its link once the link is built.
    void attach(ModbusLink& driversLink) { link = &driversLink; }

private:
    const FrontPolicy& policy;
    ModbusLink* link = nullptr;
    int stationId = 1;
    // The remembered connection parameters; both forms side by side.
    QString portName;
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    QString parity;
    bool perExchange = false;
    QString hostAddress;
    int tcpPort = 0;

    struct Area;
    static const Area coils, discreteInputs, inputRegisters, holdingRegisters;
    static const Area* areaOf(Table table);

    // The status of the checks every request passes before anything is sent; 1 when all pass.
    int checkRequest(const TagAddress& tag, DataType type, int count, Direction direction) const;
    static CLabelVariable refusedRead(int status);
    CLabelVariable refusedWrite(CLabelVariable&& values, int status) const;
    CLabelVariable read(const Area& area, int offset, DataType type, int count, const QString& address);
    CLabelVariable write(const Area& area, int offset, DataType type, CLabelVariable&& values, int count);
};

} // namespace vane::modbus

// The meta-object cast of a driver answers this name with the interface.
Q_DECLARE_INTERFACE(CDriveBaseClass, "CDriveBaseClass")

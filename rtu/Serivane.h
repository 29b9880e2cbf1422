#pragma once

#include <QObject>
#include <QString>

#include "CmdModbusRTU.h"
#include "codecs/codec_members.h"
#include "contract/CDriveBaseClass.h"
#include "modbus/protocol/planning.h"
#include "modbus/protocol/tag_address.h"

// The Modbus RTU driver a host obtains from getSharedLibrary: text in (station number,
// connection parameters, tag addresses), checked requests out to its link.
class Serivane : public QObject, public CDriveBaseClass {
    Q_OBJECT

public:
    // Area codes of tag prefixes; also the area argument of getBytelen.
    enum Area { NoArea = 0, Area1x = 1, Area0x = 2, Area3x = 3, Area4x = 4 };

    Serivane();

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

    static int areaOfTable(vane::modbus::Table table);
    int getArea(QString address);
    int getAddr(QString address);
    int getBytelen(DataType type, int count, int area);

    CLabelVariable Read_0x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_1x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_3x(int offset, DataType type, int count, QString address);
    CLabelVariable Read_4x(int offset, DataType type, int count, QString address);
    CLabelVariable Write_0x(int offset, DataType type, CLabelVariable&& values, int count);
    CLabelVariable Write_4x(int offset, DataType type, CLabelVariable&& values, int count);

    VANE_CODEC_MEMBERS

    CmdModbusRTU link;
    int stationId = 1;
    QString portName;
    QString portMode;
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    QString parity;
    QString hostAddress;
    int tcpPort = 0;

private:
    // The status of the checks every request passes before anything is sent; 1 when all pass.
    int checkRequest(const QString& address, DataType type, int count, vane::modbus::Direction direction, int* area,
                     int* offset);
};

#pragma once

#include <QString>

#include "data_type.h"
#include "export.h"
#include "../labelvalue/CLabelVariable.h"

// The interface a host calls. The slot order is shared with separately built hosts: never reorder,
// never add a destructor.
class CDriveBaseClass {
public:
    virtual QString getDriveName() = 0;
    virtual QString getversion_number() = 0;
    virtual QString DebugCmd(EDebugCmdType cmd) = 0;
    virtual int ConnectDrive(QString parameters) = 0;
    virtual int SetConnectPar(QString stationNumber) = 0;
    virtual int DisConnectDrive() = 0;
    virtual CLabelVariable ReadVariable(QString address, DataType type) = 0;
    virtual CLabelVariable ReadVariable(QString address, DataType type, int count) = 0;
    virtual CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable values) = 0;
    virtual CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable values, int count) = 0;
    virtual int DestroyFree() = 0;
};

extern "C" VANE_EXPORT CDriveBaseClass* getSharedLibrary();

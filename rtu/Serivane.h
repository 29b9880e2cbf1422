#pragma once

#include <QObject>

#include "CmdModbusRTU.h"
#include "codecs/codec_members.h"
#include "modbus/front/driver_front.h"

// The Modbus RTU driver a host obtains from getSharedLibrary.
class Serivane : public QObject, public vane::modbus::DriverFront {
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass)

public:
    Serivane();

    // The named register codecs, members of the driver class itself.
    VANE_CODEC_MEMBERS

private:
    CmdModbusRTU link;
};

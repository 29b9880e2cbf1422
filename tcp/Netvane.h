#pragma once

#include <QObject>

#include "CmdModbusTCP.h"
#include "codecs/codec_members.h"
#include "modbus/front/driver_front.h"

// The Modbus TCP driver a host obtains from getSharedLibrary.
class Netvane : public QObject, public vane::modbus::DriverFront {
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass)

public:
    Netvane();

    // The named register codecs, members of the driver class itself.
    VANE_CODEC_MEMBERS

private:
    CmdModbusTCP link;
};

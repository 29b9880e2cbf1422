#include "Serivane.h"

using namespace vane::modbus;

const FrontPolicy kPolicy = {{"modbusRtu", "V1.7.8 20230506", "v1.7.8 %1 %2"},
    // Areas numbered 1x, 0x, 3x, 4x. Reads test for a negative count only: a read of 0 elements
    // is refused later, after the type. Holding registers take only the ten plain types, high
    // byte first. A refused write keeps the host's own timestamp.
    {{0, 2, 1, 3, 4}, false, 0, RegisterTypes::PlainOnly, RefusalTime::Kept},
    // The port is all the text after the host's colon; "port:anything" in the serial form opens
    // the port only around each exchange, from then on.
    {false, true, 1}};

Serivane::Serivane() : QObject(nullptr), DriverFront(kPolicy) { attach(link); }

extern "C" CDriveBaseClass* getSharedLibrary() { return new Serivane; }

#include "Netvane.h"

using namespace vane::modbus;

const FrontPolicy kPolicy = {{"modbusTcp", "V1.9.1 20230323", "v1.9.2.B %1 %2"},
    // Areas numbered 0x, 1x, 4x, 3x. The offset is checked first and every request needs an
    // element; registers are written in every type; a write carries the time of its answer or of
    // its refusal.
    {{0, 1, 2, 4, 3}, true, 1, RegisterTypes::All, RefusalTime::Now},
    // The port is the text up to the next colon; anything after it is ignored.
    {true, false, -1}};

Netvane::Netvane() : QObject(nullptr), DriverFront(kPolicy) { attach(link); }

extern "C" CDriveBaseClass* getSharedLibrary() { return new Netvane; }

#pragma once

// What sets one driver front apart from the other: its identity texts, the numbers it gives the
// areas, the order and bounds of its request checks, how it reads a connection string, and what
// it answers without a link. Each plug-in holds one constant FrontPolicy.

#include "modbus/protocol/planning.h"
#include "modbus/protocol/tag_address.h"

namespace vane::modbus {

struct FrontPolicy {
    struct Identity {
        const char* driveName;
        const char* version;
        const char* buildPattern; // %1 the build date, %2 the build time
    } identity;
    struct Checks {
        // getArea's code of each table, by Table (None, Coils, DiscreteInputs, InputRegisters, HoldingRegisters).
        int areaCodes[5];
        // A negative offset is refused (status 5) before anything else is looked at.
        bool offsetCheckedFirst;
        // Reads with fewer elements are refused (status 4) among the first checks; writes need 1.
        int leastReadCount;
        RegisterTypes registerTypes;
        RefusalTime refusalTime;
    } checks;
    struct Connection {
        // The socket form's port ends at the next colon rather than running to the end.
        bool portEndsAtColon;
        // "port:anything" in the serial form opens the port only around each exchange, from then on.
        bool perExchangeSuffix;
        // What DisConnectDrive returns when no link was ever named.
        int disconnectWithoutLink;
    } connection;
};

} // namespace vane::modbus

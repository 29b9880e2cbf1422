#pragma once

// The driver class a front test executable is built for, with what differs between the two.
#include "tests/support/request_framer.h"

#if defined(VANE_FRONT_NETVANE)
#include "tcp/CmdModbusTCP.h"
#include "tcp/Netvane.h"
using Driver = Netvane;
// Test suites compiled for both drivers carry the driver's name, so CTest keeps them apart.
#define DRIVER_TEST(suite, name) TEST(Netvane##suite, name)
#define DRIVER_TEST_F(fixture, name) TEST_F(Netvane##fixture, name)
#define DRIVER_NAMED(name) Netvane##name
struct DriverFacts {
    static constexpr const char* className = "Netvane";
    static constexpr const char* driveName = "modbusTcp";
    static constexpr const char* version = "V1.9.1 20230323";
    static constexpr const char* buildPattern = "^v1\\.9\\.2\\.B \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$";
    // The link class the driver talks through.
    using Link = CmdModbusTCP;
    // DisConnectDrive when the parameters name no link, and when they name a serial port that is
    // not open (the socket link answers 1 when it holds no socket, in both drivers).
    static constexpr int disconnectWithoutLink = -1;
    static constexpr int disconnectClosedPort = -1;
    // A socket form's port is the text up to a second colon; what follows is ignored.
    static constexpr bool portEndsAtASecondColon = true;
    static constexpr int noLinkStatus = 8; // the TCP transactions report a closed link as no answer
    static constexpr int coils = 1, discreteInputs = 2, holdingRegisters = 3, inputRegisters = 4;
    // Registers are written in every byte order; every write is stamped on entry, refused or not.
    static constexpr bool writesByteOrderedTypes = true;
    static constexpr bool refusedWriteKeepsHostTimestamp = false;
    static constexpr int negativeOffsetStatus = 5;
    // A write with neither a count nor an address is refused for the address.
    static constexpr int writeWithoutCountOrAddressStatus = 5;
    static constexpr int exceptionStatus = 7;
    // The frames it writes, on a socket and on a serial line alike.
    static constexpr vanetest::Framing framing = vanetest::Framing::Mbap;
};
#elif defined(VANE_FRONT_SERIVANE)
#include "rtu/CmdModbusRTU.h"
#include "rtu/Serivane.h"
using Driver = Serivane;
#define DRIVER_TEST(suite, name) TEST(Serivane##suite, name)
#define DRIVER_TEST_F(fixture, name) TEST_F(Serivane##fixture, name)
#define DRIVER_NAMED(name) Serivane##name
struct DriverFacts {
    static constexpr const char* className = "Serivane";
    static constexpr const char* driveName = "modbusRtu";
    static constexpr const char* version = "V1.7.8 20230506";
    static constexpr const char* buildPattern = "^v1\\.7\\.8 \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$";
    using Link = CmdModbusRTU;
    static constexpr int disconnectWithoutLink = 1;
    static constexpr int disconnectClosedPort = 0;
    // The port is all the text after the host's colon: "502:7" is no number.
    static constexpr bool portEndsAtASecondColon = false;
    static constexpr int noLinkStatus = 9;
    static constexpr int discreteInputs = 1, coils = 2, inputRegisters = 3, holdingRegisters = 4;
    // Only the plain register types are written; a refused write keeps the host's timestamp.
    static constexpr bool writesByteOrderedTypes = false;
    static constexpr bool refusedWriteKeepsHostTimestamp = true;
    static constexpr int negativeOffsetStatus = 3;
    static constexpr int writeWithoutCountOrAddressStatus = 4; // the count is checked first
    static constexpr int exceptionStatus = 7;
    static constexpr vanetest::Framing framing = vanetest::Framing::Rtu;
};
#else
#error "define VANE_FRONT_NETVANE or VANE_FRONT_SERIVANE"
#endif

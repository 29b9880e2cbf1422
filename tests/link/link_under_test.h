#pragma once

// The link class a link test executable is built for (the driver's, from front/driver_under_test.h),
// with what differs between the two links.
#include <QString>
#include <QStringList>

#include "tests/front/driver_under_test.h"

using Link = DriverFacts::Link;

#if defined(VANE_FRONT_NETVANE)
struct LinkFacts {
    static constexpr const char* className = "CmdModbusTCP";
    static constexpr const char* logPrefix = "lib[ModbusTCP]";
    static int connectSerial(Link& link, const QString& path, int baud, int dataBits, int stopBits, const char* parity)
    {
        return link.serialConnectDrive(path, baud, dataBits, stopBits, parity);
    }
    // serialDisConnectDrive without an open port.
    static constexpr int serialDisconnectClosed = -1;
    // A transaction without a transport: the TCP link reports it as no answer.
    static constexpr int noTransport = -2;
    // A host name in EthConnectDrive is warned of, naming the port; a disconnect is not.
    static QStringList hostNameWarnings(int port) { return {QStringLiteral("lib[ModbusTCP]:%1 IP错误").arg(port)}; }
    static constexpr bool disconnectWarns = false;
    // Settings are checked on a port that does not open: a pty refuses 7 bits and parity once open.
    static constexpr bool settingsOnAnOpenPort = false;
};
#else
struct LinkFacts {
    static constexpr const char* className = "CmdModbusRTU";
    static constexpr const char* logPrefix = "lib[ModbusRTU]";
    static int connectSerial(Link& link, const QString& path, int baud, int dataBits, int stopBits, const char* parity)
    {
        return link.serialConnectDrive(path, baud, dataBits, stopBits, parity, QString());
    }
    static constexpr int serialDisconnectClosed = 0;
    static constexpr int noTransport = -3;
    static QStringList hostNameWarnings(int) { return {}; }
    static constexpr bool disconnectWarns = true;
    static constexpr bool settingsOnAnOpenPort = true;
};
#endif

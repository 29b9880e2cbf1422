// What both driver fronts share: the plug-in entry, identity texts, debug commands, station
// number, area codes, sizing, and the forwarding of the short read and write forms.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <memory>

#include "driver_under_test.h"
#include "front_wire.h"
#include "tests/support/log_capture.h"

using fronttest::socketDevice;
using fronttest::socketForm;
using fronttest::stationOf;
using vanetest::LogCapture;

namespace {

// A driver as the host gets it; deleted through its QObject side, which a host cannot do.
struct HostDriver {
    HostDriver() : iface(getSharedLibrary()) {}
    ~HostDriver() { delete driver(); }
    Driver* driver() const { return static_cast<Driver*>(iface); }
    CDriveBaseClass* const iface;
};

// Counts the calls that reach the full read and write forms.
class CountingDriver : public Driver {
public:
    using Driver::ReadVariable;
    using Driver::WriteVariable;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override
    {
        ++reads;
        lastCount = count;
        return Driver::ReadVariable(address, type, count);
    }
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable values, int count) override
    {
        ++writes;
        lastCount = count;
        return Driver::WriteVariable(address, type, values, count);
    }
    int reads = 0;
    int writes = 0;
    int lastCount = -1;
};

// The request and answer dumps one read of a connected driver writes to the log.
QStringList debugLinesOfARead(CDriveBaseClass* driver)
{
    LogCapture log;
    EXPECT_EQ(driver->ReadVariable(QStringLiteral("4x3"), UInt16, 1).status, 0);
    return log.debugLines();
}

} // namespace

DRIVER_TEST(PluginEntry, EachCallGivesANewDriverThroughItsInterfaceSubObject)
{
    HostDriver first;
    HostDriver second;
    ASSERT_NE(first.iface, nullptr);
    EXPECT_NE(first.iface, second.iface);

    for (const HostDriver* host : {&first, &second}) {
        const char* start = static_cast<const char*>(dynamic_cast<const void*>(host->iface));
        const char* interface = reinterpret_cast<const char*>(host->iface);
        EXPECT_GT(interface, start);
        EXPECT_LT(interface, start + sizeof(Driver));
    }
    // Two drivers, two links: debugging one leaves the other quiet.
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    ASSERT_EQ(first.iface->ConnectDrive(socketForm(*device)), 0);
    ASSERT_EQ(second.iface->ConnectDrive(socketForm(*device)), 0);
    first.iface->DebugCmd(StartDebug);
    EXPECT_EQ(debugLinesOfARead(first.iface).size(), 2);
    EXPECT_TRUE(debugLinesOfARead(second.iface).isEmpty());
}

DRIVER_TEST(PluginEntry, MetaCastAnswersTheClassNameTheInterfaceAndQObject)
{
    HostDriver host;
    Driver* driver = host.driver();
    EXPECT_STREQ(driver->metaObject()->className(), DriverFacts::className);
    EXPECT_EQ(driver->qt_metacast(DriverFacts::className), static_cast<void*>(driver));
    EXPECT_EQ(driver->qt_metacast("CDriveBaseClass"), static_cast<void*>(host.iface));
    EXPECT_EQ(driver->qt_metacast("QObject"), static_cast<void*>(static_cast<QObject*>(driver)));
    EXPECT_EQ(driver->qt_metacast("CmdModbusTCP"), nullptr);
}

DRIVER_TEST(DriverIdentity, NameAndVersionTexts)
{
    HostDriver host;
    EXPECT_EQ(host.iface->getDriveName(), QString::fromLatin1(DriverFacts::driveName));
    EXPECT_EQ(host.iface->DebugCmd(DriveName), QString::fromLatin1(DriverFacts::driveName));
    EXPECT_EQ(host.iface->getversion_number(), QString::fromLatin1(DriverFacts::version));
}

DRIVER_TEST(DriverIdentity, BuildInformationHasAValidDateAndTime)
{
    HostDriver host;
    const QString text = host.iface->DebugCmd(BuildTime);
    EXPECT_TRUE(QRegularExpression(QString::fromLatin1(DriverFacts::buildPattern)).match(text).hasMatch()) << text.toStdString();
    EXPECT_EQ(host.iface->DebugCmd(BuildTime), text);
    HostDriver other;
    EXPECT_EQ(other.iface->DebugCmd(BuildTime), text);
}

// Debugging shows each request and its answer in the log, as debug lines; nothing otherwise.
DRIVER_TEST(DebugCommands, SwitchTheRequestAndAnswerDumps)
{
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    HostDriver host;
    ASSERT_EQ(host.iface->ConnectDrive(socketForm(*device)), 0);
    EXPECT_TRUE(debugLinesOfARead(host.iface).isEmpty());
    EXPECT_EQ(host.iface->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    EXPECT_EQ(host.iface->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    const QStringList dumps = debugLinesOfARead(host.iface);
    ASSERT_EQ(dumps.size(), 2);
    const QString frameMark = QStringLiteral("msg : ");
    EXPECT_TRUE(dumps[0].endsWith(frameMark + QString::fromLatin1(device->lastRequest().toHex()))) << dumps[0].toStdString();
    EXPECT_TRUE(dumps[1].endsWith(frameMark + QString::fromLatin1(fronttest::patternAnswer(device->lastRequest()).toHex())))
        << dumps[1].toStdString();
    EXPECT_EQ(host.iface->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    EXPECT_EQ(host.iface->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    EXPECT_TRUE(debugLinesOfARead(host.iface).isEmpty());
}

DRIVER_TEST(DebugCommands, UnknownCommandsGiveANullTextAndChangeNothing)
{
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    HostDriver host;
    ASSERT_EQ(host.iface->ConnectDrive(socketForm(*device)), 0);
    host.iface->DebugCmd(StartDebug);
    for (const int command : {4, -1, 1000}) {
        SCOPED_TRACE(command);
        EXPECT_TRUE(host.iface->DebugCmd(static_cast<EDebugCmdType>(command)).isNull());
        EXPECT_EQ(debugLinesOfARead(host.iface).size(), 2);
    }
}

// The station number goes into every request that follows, as the unit identifier or address.
DRIVER_TEST(StationNumber, ParsedAsUnsignedDecimal)
{
    const auto device = socketDevice();
    ASSERT_TRUE(device->isReady());
    HostDriver host;
    ASSERT_EQ(host.iface->ConnectDrive(socketForm(*device)), 0);
    const auto stationOfARead = [&] {
        host.iface->ReadVariable(QStringLiteral("4x0"), UInt16, 1);
        return stationOf(device->lastRequest());
    };
    EXPECT_EQ(stationOfARead(), 1);
    EXPECT_EQ(host.iface->SetConnectPar(QStringLiteral("17")), 17);
    EXPECT_EQ(stationOfARead(), 17);
    EXPECT_EQ(host.iface->SetConnectPar(QStringLiteral("abc")), 0);
    EXPECT_EQ(stationOfARead(), 0);
    EXPECT_EQ(host.iface->SetConnectPar(QStringLiteral("0x11")), 0);
    EXPECT_EQ(host.iface->SetConnectPar(QStringLiteral("-3")), 0);
    EXPECT_EQ(host.iface->SetConnectPar(QStringLiteral("247")), 247);
    EXPECT_EQ(stationOfARead(), 247);
    EXPECT_EQ(device->requestCount(), 4);
}

DRIVER_TEST(NewDriver, NamesNoLinkAndHoldsNoTransport)
{
    HostDriver host;
    EXPECT_EQ(host.iface->DisConnectDrive(), DriverFacts::disconnectWithoutLink);
    EXPECT_EQ(host.iface->DestroyFree(), 1);
    EXPECT_EQ(host.iface->DestroyFree(), 1);
}

DRIVER_TEST(AreaCodes, PrefixesMapToTheDriversOwnCodes)
{
    HostDriver host;
    Driver* d = host.driver();
    EXPECT_EQ(d->getArea(QStringLiteral("0x7")), DriverFacts::coils);
    EXPECT_EQ(d->getArea(QStringLiteral("1X3")), DriverFacts::discreteInputs);
    EXPECT_EQ(d->getArea(QStringLiteral("3x0")), DriverFacts::inputRegisters);
    EXPECT_EQ(d->getArea(QStringLiteral("4X100")), DriverFacts::holdingRegisters);
    EXPECT_EQ(d->getArea(QStringLiteral("4x")), DriverFacts::holdingRegisters);
    for (const char* text : {"", "4x1a", "5x100", "x100", " 4x100", "ab4x100", "0x10x"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(d->getArea(QString::fromLatin1(text)), 0);
    }
    EXPECT_EQ(d->getAddr(QStringLiteral("4x100")), 100);
    EXPECT_EQ(d->getAddr(QStringLiteral("0X7")), 7);
}

DRIVER_TEST(ByteLengths, RegisterAreasRoundByteRunsDown)
{
    HostDriver host;
    Driver* d = host.driver();
    EXPECT_EQ(d->getBytelen(Int8, 3, DriverFacts::holdingRegisters), 2);
    EXPECT_EQ(d->getBytelen(UInt8, 3, DriverFacts::inputRegisters), 2);
    EXPECT_EQ(d->getBytelen(Int8, 3, DriverFacts::coils), 3);
    EXPECT_EQ(d->getBytelen(UInt8, 3, DriverFacts::discreteInputs), 3);
    EXPECT_EQ(d->getBytelen(Bool, 9, DriverFacts::coils), 2);
    EXPECT_EQ(d->getBytelen(Double, 2, DriverFacts::holdingRegisters), 16);
    EXPECT_EQ(d->getBytelen(String, 5, DriverFacts::holdingRegisters), 0);
    EXPECT_EQ(d->getBytelen(Float_CDAB, 2, DriverFacts::holdingRegisters), 8);
}

DRIVER_TEST(ShortForms, GoThroughTheFullFormsWithCountOne)
{
    std::unique_ptr<CountingDriver> driver(new CountingDriver);
    CDriveBaseClass* iface = driver.get();
    CLabelVariable shortRead = iface->ReadVariable(QStringLiteral("4x10"), Int16);
    EXPECT_EQ(driver->reads, 1);
    EXPECT_EQ(driver->lastCount, 1);
    CLabelVariable fullRead = iface->ReadVariable(QStringLiteral("4x10"), Int16, 1);
    EXPECT_EQ(shortRead.status, fullRead.status);
    EXPECT_EQ(shortRead.address, fullRead.address);
    EXPECT_EQ(shortRead.count, 1);
    EXPECT_EQ(fullRead.count, 1);

    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{3});
    CLabelVariable shortWrite = iface->WriteVariable(QStringLiteral("4x10"), Int16, values);
    EXPECT_EQ(driver->writes, 1);
    EXPECT_EQ(driver->lastCount, 1);
    CLabelVariable fullWrite = iface->WriteVariable(QStringLiteral("4x10"), Int16, values, 1);
    // Same header and the same single element: equal records.
    EXPECT_TRUE(shortWrite == fullWrite);
    EXPECT_EQ(shortWrite.count, 1);
}

DRIVER_TEST(RequestsWithoutLink, AcceptedReadsAndWritesReportTheMissingLink)
{
    HostDriver host;
    const CLabelVariable read = host.iface->ReadVariable(QStringLiteral("4X100"), Float_CDAB, 2);
    EXPECT_EQ(read.status, DriverFacts::noLinkStatus);
    EXPECT_FALSE(read.value.isValid());
    EXPECT_TRUE(read.timestamp.isValid());
    EXPECT_EQ(read.address, QStringLiteral("4X100"));
    EXPECT_EQ(read.count, 2);
    EXPECT_EQ(read.type, Float_CDAB);

    CLabelVariable values;
    values.value = QVariant::fromValue(QList<bool>{true, false, true});
    values.status = 0;
    values.accessStatus = 5;
    values.reserved = 77;
    const CLabelVariable written = host.iface->WriteVariable(QStringLiteral("0x7"), Bool, values, 3);
    EXPECT_EQ(written.status, DriverFacts::noLinkStatus);
    EXPECT_EQ(written.value.value<QList<bool>>(), (QList<bool>{true, false, true}));
    EXPECT_EQ(written.address, QStringLiteral("0x7"));
    EXPECT_EQ(written.count, 3);
    EXPECT_EQ(written.type, Bool);
    // The host's own fields come back as they went in, from a sent write and from a refused one.
    EXPECT_EQ(written.accessStatus, 5);
    EXPECT_EQ(written.reserved, 77);
    const CLabelVariable refused = host.iface->WriteVariable(QStringLiteral("1x7"), Bool, values, 3);
    EXPECT_EQ(refused.status, 6);
    EXPECT_EQ(refused.accessStatus, 5);
    EXPECT_EQ(refused.reserved, 77);
}

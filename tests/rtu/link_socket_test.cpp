// The RTU link over a TCP socket: connecting, RTU frames over the socket, answers in several
// segments, the disconnect warning and what the link does once the peer has gone.
#include "rtu/CmdModbusRTU.h"

#include "tests/support/event_wait.h"
#include "tests/support/fake_device.h"
#include "tests/support/link_objects.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/result_code.h"

#include <QTcpServer>
#include <QThread>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace vanetest;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

Replies patternReplies(const QByteArray& request) { return {Reply::send(rtuPatternAnswer(request))}; }

class RtuSocketLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = FakeDevice::listenTcp(Framing::Rtu, &patternReplies);
        ASSERT_TRUE(device && device->isReady());
    }
    int connect() { return link.EthConnectDrive(QStringLiteral("127.0.0.1"), device->port()); }

    std::unique_ptr<FakeDevice> device;
    CmdModbusRTU link;
};

// Connecting, reconnecting and the refused address are tested with the shared link.
TEST_F(RtuSocketLink, CarriesRtuFramesAndReportsItsStatus)
{
    EXPECT_EQ(code(link.Connection_status()), -3);
    ASSERT_EQ(connect(), 0);
    EXPECT_EQ(code(link.Connection_status()), 0);
    QByteArray out;
    EXPECT_EQ(code(link.ReadInputRegisters3x(3, 10, 4, "3x10", &out)), 0);
    EXPECT_EQ(device->lastRequest(), rtuRequest(3, readRequestPdu(4, 10, 2)));
    EXPECT_EQ(link.EthDisConnectDrive(), 0);
    EXPECT_EQ(code(link.Connection_status()), -3);
}

TEST_F(RtuSocketLink, AddressTextThatIsNoNumericAddressLeavesNoTransport)
{
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("localhost"), device->port()), -1);
    EXPECT_EQ(code(link.Connection_status()), -3);
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 unused = server.serverPort();
    server.close();
    EXPECT_EQ(link.EthConnectDrive(QStringLiteral("127.0.0.1"), unused), -3);
    EXPECT_EQ(code(link.Connection_status()), -3);
}

TEST_F(RtuSocketLink, AnswersInSeveralSegmentsAreCollectedWhole)
{
    ASSERT_EQ(connect(), 0);
    device->setHandler([](const QByteArray& request) {
        const QByteArray answer = rtuReadAnswer(request, hex("a1a2a3a4a5a6"));
        return Replies{Reply::send(answer.left(1)), Reply::send(answer.mid(1, 4), 10), Reply::send(answer.mid(5), 10)};
    });
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 6, "4x0", &out)), 0);
    EXPECT_EQ(out, hex("a1a2a3a4a5a6"));
    // A late answer on the socket does not stand in for the next one.
    device->setHandler([](const QByteArray& request) { return Replies{Reply::send(rtuReadAnswer(request, hex("0bad")), 900)}; });
    out.clear();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -2);
    processEventsUntil([] { return false; }, 600);
    device->setHandler(&patternReplies);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(out, registerBytes({patternRegister(0)}));
}

TEST_F(RtuSocketLink, PeerClosingIsReportedWithTheLastStationAndEndsTheTransport)
{
    ASSERT_EQ(connect(), 0);
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    // The device answers station 17's write, then hangs up.
    device->setHandler([](const QByteArray& request) {
        return Replies{Reply::send(rtuPatternAnswer(request)), Reply::closeConnection(20)};
    });
    LogCapture log;
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(17, 0, 2, hex("0001"))), 0);
    ASSERT_TRUE(processEventsUntil([&] { return socketOf(link)->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(log.warnings(),
              QStringList{QStringLiteral("lib[ModbusRTU]127.0.0.1:%1 ID=17 QAbstractSocket::RemoteHostClosedError").arg(device->port())});

    // No reconnection: nothing is sent and nothing more is said.
    log.clear();
    const int requests = device->requestCount();
    EXPECT_EQ(code(link.Connection_status()), -3);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -3);
    EXPECT_EQ(code(link.WriteCoils0x(1, 0, 1, hex("01"))), -3);
    EXPECT_EQ(device->requestCount(), requests);
    EXPECT_TRUE(log.lines().empty());

    // Until the host connects again.
    ASSERT_EQ(connect(), 0);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
}

// A host that runs no event loop between its calls learns of the hang-up only at the next
// request: that request still finds no transport and sends nothing.
TEST_F(RtuSocketLink, PeerGoneUnnoticedUntilTheNextRequestGivesNoTransport)
{
    ASSERT_EQ(connect(), 0);
    device->setHandler([](const QByteArray& request) {
        return Replies{Reply::send(rtuPatternAnswer(request)), Reply::closeConnection(5)};
    });
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    ASSERT_TRUE(device->waitForRequests(1, 2000));
    for (int i = 0; i < 100 && device->openConnectionCount() > 0; ++i)
        QThread::msleep(10);
    ASSERT_EQ(device->openConnectionCount(), 0);

    LogCapture log;
    const int requests = device->requestCount();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -3);
    EXPECT_EQ(device->requestCount(), requests);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().first().startsWith(QStringLiteral("lib[ModbusRTU]127.0.0.1:")));
    EXPECT_TRUE(log.debugLines().isEmpty());
}

TEST_F(RtuSocketLink, WithBothTransportsTheSocketCarriesTheExchange)
{
    ASSERT_EQ(link.serialConnectDrive(QStringLiteral("/nonexistent/tty"), 9600, 8, 1, "N", "s"), 0);
    ASSERT_EQ(connect(), 0);
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 4, 2, "4x4", &out)), 0);
    EXPECT_EQ(device->requestCount(), 1);
}

} // namespace

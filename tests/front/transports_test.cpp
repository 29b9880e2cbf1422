// The transports as both drivers use them: the last connect decides which one carries the
// requests, and a serial line takes a request only once it has fallen quiet.
#include <gtest/gtest.h>

#include <poll.h>

#include <memory>
#include <mutex>
#include <vector>

#include "driver_under_test.h"
#include "front_wire.h"
#include "tests/support/fake_device.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"
#include "tests/support/result_code.h"
#include "tests/support/slow_pty_relay.h"

using namespace vanetest;
using fronttest::patternAnswer;
using fronttest::patternReplies;

namespace {

// Reads 4x<offset>; a read that succeeds must bring the device's value.
int readRegister(Driver& driver, int offset)
{
    const CLabelVariable record = driver.ReadVariable(QStringLiteral("4x%1").arg(offset), UInt16, 1);
    if (record.status == 0) {
        EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(offset)});
    }
    return record.status;
}

} // namespace

DRIVER_TEST(Transports, TheLastConnectDecidesWhichTransportCarriesTheRequests)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    const auto overSocket = FakeDevice::listenTcp(DriverFacts::framing, patternReplies);
    const auto overPort = FakeDevice::openSerial(pty.pathA(), DriverFacts::framing, patternReplies);
    ASSERT_TRUE(overSocket->isReady() && overPort->isReady());
    const QString socketForm = QStringLiteral("127.0.0.1:%1").arg(overSocket->port());
    const QString serialForm = QString::fromStdString(pty.pathB()) + QStringLiteral(",9600,8,1,N");

    for (const bool serialFirst : {false, true}) {
        SCOPED_TRACE(serialFirst ? "serial port, then socket" : "socket, then serial port");
        FakeDevice& first = serialFirst ? *overPort : *overSocket;
        FakeDevice& second = serialFirst ? *overSocket : *overPort;
        first.clearRequests();
        second.clearRequests();
        Driver driver;
        driver.SetConnectPar(QStringLiteral("1"));
        ASSERT_EQ(driver.ConnectDrive(serialFirst ? serialForm : socketForm), 0);
        EXPECT_EQ(readRegister(driver, 10), 0);
        EXPECT_EQ(driver.DisConnectDrive(), 0);
        ASSERT_EQ(driver.ConnectDrive(serialFirst ? socketForm : serialForm), 0);
        EXPECT_EQ(readRegister(driver, 20), 0);
        EXPECT_EQ(first.requestCount(), 1);
        EXPECT_EQ(second.requestCount(), 1);
    }
}

// An answer that comes after the driver gave up on it belongs to nobody, but it occupies the
// line: a request written into it collides with it on a two-wire bus, and the next answers
// arrive behind its tail. The request waits until the line has been quiet for t3.5.
DRIVER_TEST(Transports, ASerialRequestWaitsUntilTheTailOfALateAnswerHasPassed)
{
    // At 1200 baud t3.5 is 29 ms, well above the usual scheduling pauses of the relay's thread.
    SlowPtyRelay line(1200);
    ASSERT_TRUE(line.isReady());
    // Beyond the answer wait of either driver on a serial line.
    constexpr int kLateMs = 1700;
    struct Seen {
        std::mutex mutex;
        std::vector<int64_t> arrivals;
        int lateAnswerBytes = 0;
    };
    const auto seen = std::make_shared<Seen>();
    const auto device = FakeDevice::openSerial(line.pathA(), DriverFacts::framing, [seen](const QByteArray& request) {
        std::lock_guard<std::mutex> lock(seen->mutex);
        seen->arrivals.push_back(monotonicMs());
        if (seen->arrivals.size() > 1)
            return patternReplies(request);
        seen->lateAnswerBytes = patternAnswer(request).size();
        return Replies{Reply::send(patternAnswer(request), kLateMs)};
    });
    ASSERT_TRUE(device->isReady());
    Driver driver;
    driver.SetConnectPar(QStringLiteral("1"));
    ASSERT_EQ(driver.ConnectDrive(QString::fromStdString(line.pathB()) + QStringLiteral(",1200,8,1,N")), 0);

    // About 90 bytes, 0.75 s on the wire.
    EXPECT_EQ(driver.ReadVariable(QStringLiteral("4x0"), UInt16, 40).status, 8);
    // The next request is due while the late answer trickles in.
    const int driversEnd = descriptorOpenOn(line.pathB());
    ASSERT_NE(driversEnd, -1);
    pollfd port{driversEnd, POLLIN, 0};
    ASSERT_EQ(::poll(&port, 1, 3000), 1);
    EXPECT_EQ(readRegister(driver, 7), 0);
    EXPECT_EQ(readRegister(driver, 8), 0);

    std::lock_guard<std::mutex> lock(seen->mutex);
    ASSERT_EQ(seen->arrivals.size(), 3u);
    // The late answer left the device kLateMs after the first request and took its wire time
    // on the line; the next request arrived no sooner than t3.5 after its last byte.
    const int64_t tailEndMs = kLateMs + (seen->lateAnswerBytes * line.characterTimeNs()) / 1000000;
    const int64_t silenceMs = 35 * line.characterTimeNs() / 10000000;
    EXPECT_GE(seen->arrivals[1] - seen->arrivals[0], tailEndMs + silenceMs);
}

// A link answers from buffers it keeps between exchanges; the data a read handed out stays what
// it was while its holder keeps it, whatever the next answers bring.
DRIVER_TEST(Transports, AReadsDataStaysItsHoldersWhileTheNextAnswersCome)
{
    const auto device = FakeDevice::listenTcp(DriverFacts::framing, patternReplies);
    ASSERT_TRUE(device->isReady());
    DriverFacts::Link link;
    ASSERT_EQ(code(link.EthConnectDrive(QStringLiteral("127.0.0.1"), device->port())), 0);
    const auto registers = [](int from, int count) {
        QByteArray bytes;
        for (int offset = from; offset < from + count; ++offset)
            bytes.append(static_cast<char>(patternRegister(offset) >> 8)).append(static_cast<char>(patternRegister(offset)));
        return bytes;
    };
    QByteArray first;
    ASSERT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 8, QStringLiteral("0"), &first)), 0);
    EXPECT_EQ(first, registers(0, 4));
    for (int offset : {100, 200}) {
        QByteArray next;
        ASSERT_EQ(code(link.ReadHoldingRegisters4x(1, offset, 8, QStringLiteral("0"), &next)), 0);
        EXPECT_EQ(next, registers(offset, 4));
        EXPECT_EQ(first, registers(0, 4));
    }
}

// The Modbus TCP transactions against a device that misbehaves on purpose: the frames the
// driver sends, how it judges every kind of answer, what it writes to the log, and how it
// copes with silence, late answers, split answers and a peer that goes away.

#include "tcp/Netvane.h"
#include "tcp_test_env.h"

#include "tests/support/event_wait.h"
#include "tests/support/fake_device.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/posix_util.h"
#include "tests/support/result_code.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <cstdlib>

using namespace tcptest;
using namespace vanetest;

namespace {

using AnswerFactory = std::function<Replies(const QByteArray& request)>;

Replies patternReplies(const QByteArray& request) { return {Reply::send(mbapPatternAnswer(request))}; }

int word(const QByteArray& frame, int offset)
{
    return (static_cast<unsigned char>(frame.at(offset)) << 8) | static_cast<unsigned char>(frame.at(offset + 1));
}

QString hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex()); }

class FakeTcpDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = FakeDevice::listenTcp(Framing::Mbap, patternReplies);
        ASSERT_TRUE(device->isReady());
        peer = QString("127.0.0.1:%1").arg(device->port());
        ASSERT_EQ(driver.ConnectDrive(peer), 0);
    }

    void answerWith(const AnswerFactory& factory) { device->setHandler(factory); }

    // The answer a read of holding registers 10 and 11 gets, changed by `change`.
    void answerHoldingReadWith(const std::function<QByteArray(QByteArray)>& change)
    {
        answerWith([change](const QByteArray& request) { return Replies{Reply::send(change(mbapPatternAnswer(request)))}; });
    }

    CLabelVariable readTwoHoldingRegisters() { return driver.ReadVariable("4x10", Int16, 2); }

    QList<short> expectedTwoHoldingRegisters() const
    {
        return {short(patternRegister(10)), short(patternRegister(11))};
    }

    std::unique_ptr<FakeDevice> device;
    Netvane driver;
    QString peer;
};

} // namespace

TEST_F(FakeTcpDevice, ReadRequestsCarryFunctionUnitStartAndQuantity)
{
    driver.SetConnectPar("17");
    struct Case {
        const char* address;
        DataType type;
        int count;
        int function;
        int quantity;
    };
    const Case cases[] = {
        {"0x5", Bool, 10, 1, 10},      {"0x5", Int16, 1, 1, 16},     {"1x300", Int8, 3, 2, 24},
        {"3x7", UInt16, 2, 4, 2},      {"4x100", Float_CDAB, 2, 3, 4}, {"4x9", Int8, 3, 3, 1},
        {"4x65534", UInt16, 1, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        device->clearRequests();
        const CLabelVariable record = driver.ReadVariable(c.address, c.type, c.count);
        EXPECT_EQ(record.status, 0);
        ASSERT_EQ(device->requestCount(), 1);
        const QByteArray request = device->lastRequest();
        ASSERT_EQ(request.size(), 12);
        EXPECT_EQ(word(request, 2), 0);
        EXPECT_EQ(word(request, 4), 6);
        EXPECT_EQ(request.at(6), char(17));
        EXPECT_EQ(request.at(7), char(c.function));
        EXPECT_EQ(word(request, 8), QString(c.address).mid(2).toInt());
        EXPECT_EQ(word(request, 10), c.quantity);
    }
}

TEST_F(FakeTcpDevice, ReadAnswersAreDecodedFromTheirDataBytes)
{
    CLabelVariable record = driver.ReadVariable("0x5", Bool, 10);
    ASSERT_EQ(record.status, 0);
    QList<bool> bits;
    for (int i = 0; i < 10; ++i)
        bits << patternBit(5 + i);
    EXPECT_EQ(record.value.value<QList<bool>>(), bits);

    // Sixteen discrete inputs as one value: the first eight bits make the high byte.
    record = driver.ReadVariable("1x0", UInt16, 1);
    ASSERT_EQ(record.status, 0);
    std::vector<bool> inputs;
    for (int i = 0; i < 16; ++i)
        inputs.push_back(patternBit(i));
    const QByteArray packed = packBits(inputs);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(),
              QList<unsigned short>{static_cast<unsigned short>(word(packed, 0))});

    record = driver.ReadVariable("3x7", UInt16, 2);
    ASSERT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(),
              (QList<unsigned short>{patternRegister(7), patternRegister(8)}));
}

TEST_F(FakeTcpDevice, TransactionIdentifierIsTwoDrawsOfTheRuntimeGenerator)
{
    std::srand(4711);
    const char high = char(std::rand() & 0xFF);
    const char low = char(std::rand() & 0xFF);
    std::srand(4711);
    ASSERT_EQ(readTwoHoldingRegisters().status, 0);
    const QByteArray request = device->lastRequest();
    EXPECT_EQ(request.at(0), high);
    EXPECT_EQ(request.at(1), low);
}

TEST_F(FakeTcpDevice, WriteRequestsUseFunction06ForOneRegister16ForMoreAnd15ForCoils)
{
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{0x1234, -2});
    ASSERT_EQ(driver.WriteVariable("4x5", Int16, values, 1).status, 0);
    QByteArray request = device->lastRequest();
    EXPECT_EQ(request.mid(2).toHex(), QByteArray("00000006010600051234"));

    ASSERT_EQ(driver.WriteVariable("4x5", Int16, values, 2).status, 0);
    request = device->lastRequest();
    EXPECT_EQ(request.mid(2).toHex(), QByteArray("0000000b011000050002041234fffe"));

    values.value = QVariant::fromValue(QList<unsigned char>{0xAB, 0xCD});
    ASSERT_EQ(driver.WriteVariable("4x6", UInt8, values, 2).status, 0);
    EXPECT_EQ(device->lastRequest().mid(2).toHex(), QByteArray("0000000601060006abcd"));

    values.value = QVariant::fromValue(QList<bool>{true, false, true, true, false, false, false, false, true});
    ASSERT_EQ(driver.WriteVariable("0x3", Bool, values, 9).status, 0);
    EXPECT_EQ(device->lastRequest().mid(2).toHex(), QByteArray("00000009010f00030009020d01"));

    // Two coils from a byte: the bits behind the last coil go out as 0.
    values.value = QVariant::fromValue(QList<unsigned char>{0xFF});
    ASSERT_EQ(driver.WriteVariable("0x3", UInt8, values, 2).status, 0);
    EXPECT_EQ(device->lastRequest().mid(2).toHex(), QByteArray("00000008010f0003000201" "03"));
}

TEST_F(FakeTcpDevice, WriteAnswerIsJudgedBySizeTransactionIdentifierAndItsOwnEcho)
{
    LogCapture log;
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<unsigned short>{7});

    answerWith([](const QByteArray& request) {
        QByteArray answer = mbapWriteAnswer(request);
        answer[6] = char(99); // the unit identifier is a gateway's business
        answer[7] = char(16); // 16 for 06: start and one register
        answer[10] = 0;
        answer[11] = 1;
        return Replies{Reply::send(answer)};
    });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 0);

    // The echo of an earlier write to another register confirms nothing.
    answerWith([](const QByteArray& request) {
        QByteArray answer = mbapWriteAnswer(request);
        answer[9] = char(answer.at(9) ^ 0x01);
        return Replies{Reply::send(answer)};
    });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 7);
    values.value = QVariant::fromValue(QList<unsigned short>{7, 8});
    answerWith([](const QByteArray& request) {
        QByteArray answer = mbapWriteAnswer(request);
        answer[11] = char(answer.at(11) + 1); // another quantity
        return Replies{Reply::send(answer)};
    });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 2).status, 7);
    values.value = QVariant::fromValue(QList<unsigned short>{7});

    answerWith([](const QByteArray& request) { return Replies{Reply::send(mbapExceptionAnswer(request, IllegalDataAddress))}; });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 7);

    answerWith([](const QByteArray& request) {
        QByteArray answer = mbapWriteAnswer(request);
        answer[1] = char(answer.at(1) ^ 0x01);
        return Replies{Reply::send(answer)};
    });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 7);

    // Another protocol identifier than 0: no Modbus answer, so no confirmation.
    answerWith([](const QByteArray& request) {
        QByteArray answer = mbapWriteAnswer(request);
        answer[3] = char(1);
        return Replies{Reply::send(answer)};
    });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 7);

    answerWith([](const QByteArray& request) { return Replies{Reply::send(mbapWriteAnswer(request) + char(0))}; });
    EXPECT_EQ(driver.WriteVariable("4x1", UInt16, values, 1).status, 7);
    EXPECT_EQ(log.total(), 0); // a write warns about nothing
}

struct FaultyAnswer {
    const char* name;
    std::function<QByteArray(QByteArray)> change;
    int status;
    const char* warning; // the format of the one warning expected, or null for none
    std::function<QByteArray(const QByteArray&)> shown; // the bytes the warning shows
};

// Test listings name a case by its name rather than by a dump of its bytes.
void PrintTo(const FaultyAnswer& fault, std::ostream* os) { *os << fault.name; }

class FakeTcpDeviceAnswers : public FakeTcpDevice, public ::testing::WithParamInterface<FaultyAnswer> {};

TEST_P(FakeTcpDeviceAnswers, AreJudgedInTheirOrderWithTheirWarning)
{
    const FaultyAnswer& fault = GetParam();
    QByteArray sent;
    answerWith([&](const QByteArray& request) {
        sent = fault.change(mbapPatternAnswer(request));
        return Replies{Reply::send(sent)};
    });
    LogCapture log;
    const CLabelVariable record = readTwoHoldingRegisters();
    EXPECT_EQ(record.status, fault.status);
    EXPECT_TRUE(log.debugLines().isEmpty());
    if (!fault.warning) {
        EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join("\n").toStdString();
        EXPECT_EQ(record.value.value<QList<short>>(), expectedTwoHoldingRegisters());
        return;
    }
    EXPECT_FALSE(record.value.isValid());
    const QString expected = QString::fromUtf8(fault.warning).arg(peer).arg(hex(fault.shown(sent)));
    EXPECT_EQ(log.warnings(), QStringList{expected});
}

namespace {

QByteArray same(const QByteArray& bytes) { return bytes; }
QByteArray withoutMbapPrefix(const QByteArray& bytes) { return bytes.mid(6); }
QByteArray flip(QByteArray bytes, int index, char mask = 0x01)
{
    bytes[index] = char(bytes.at(index) ^ mask);
    return bytes;
}
QByteArray withLengthField(QByteArray bytes, int length)
{
    bytes[4] = char(length >> 8);
    bytes[5] = char(length & 0xFF);
    return bytes;
}

const char* const kFunctionWarning = "lib[ModbusTCP]返回的功能码错误 %1 ID=1 4x10 len = 4 msg : %2";
const char* const kLengthWarning = "lib[ModbusTCP]报文返回长度错误 %1 ID=1 4x10 len = 4 msg : %2";
const char* const kSequenceWarning = "lib[ModbusTCP]报文返回序号错误 %1 ID=1 4x10 len = 4 msg : %2";

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Checks, FakeTcpDeviceAnswers,
    ::testing::Values(
        FaultyAnswer{"WrongTransactionHigh", [](QByteArray a) { return flip(a, 0); }, 7, kSequenceWarning, same},
        FaultyAnswer{"WrongTransactionLow", [](QByteArray a) { return flip(a, 1, char(0x80)); }, 7, kSequenceWarning, same},
        FaultyAnswer{"Exception",
                     [](QByteArray a) { return mbapFrame(a, exceptionPdu(3, IllegalDataAddress)); }, 7,
                     kFunctionWarning, same},
        FaultyAnswer{"OtherFunction", [](QByteArray a) { return flip(a, 7, 0x07); }, 7, kFunctionWarning, same},
        FaultyAnswer{"FiveBytesHaveNoFunction", [](QByteArray a) { return a.left(5); }, 7, kFunctionWarning, same},
        FaultyAnswer{"OneByteTooManyLengthKept", [](QByteArray a) { return a + char(0x55); }, 7, kLengthWarning,
                     withoutMbapPrefix},
        FaultyAnswer{"OneByteTooManyLengthCounted", [](QByteArray a) { return withLengthField(a + char(0x55), 8); }, 7,
                     kLengthWarning, withoutMbapPrefix},
        FaultyAnswer{"OneByteTooFew", [](QByteArray a) { return withLengthField(a.left(a.size() - 1), 6); }, 7,
                     kLengthWarning, withoutMbapPrefix},
        FaultyAnswer{"WrongUnitIsAccepted", [](QByteArray a) { return flip(a, 6, 0x40); }, 0, nullptr, same},
        FaultyAnswer{"WrongProtocolHigh", [](QByteArray a) { return flip(a, 2, 0x10); }, 7, kSequenceWarning, same},
        FaultyAnswer{"WrongProtocolLow", [](QByteArray a) { return flip(a, 3); }, 7, kSequenceWarning, same},
        FaultyAnswer{"WrongByteCountIsAccepted", [](QByteArray a) { return flip(a, 8, 0x21); }, 0, nullptr, same},
        FaultyAnswer{"LengthFieldTooLargeIsAccepted", [](QByteArray a) { return withLengthField(a, 200); }, 0, nullptr,
                     same},
        FaultyAnswer{"LengthFieldTooSmallIsAccepted", [](QByteArray a) { return withLengthField(a, 3); }, 0, nullptr,
                     same}),
    [](const ::testing::TestParamInfo<FaultyAnswer>& info) { return std::string(info.param.name); });

TEST_F(FakeTcpDevice, AnswerInTwoSegmentsIsCollectedWhole)
{
    for (int split : {3, 7, 11}) {
        SCOPED_TRACE(split);
        answerWith([split](const QByteArray& request) {
            const QByteArray answer = mbapPatternAnswer(request);
            return Replies{Reply::send(answer.left(split)), Reply::send(answer.mid(split), 20)};
        });
        LogCapture log;
        const CLabelVariable record = readTwoHoldingRegisters();
        EXPECT_EQ(record.status, 0);
        EXPECT_EQ(record.value.value<QList<short>>(), expectedTwoHoldingRegisters());
        EXPECT_EQ(log.total(), 0);
    }
    // Nothing of those answers is left over for the next request.
    answerWith(patternReplies);
    const CLabelVariable record = driver.ReadVariable("4x40", UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(40)});
}

TEST_F(FakeTcpDevice, AnswerThatStopsShortOfItsLengthIsJudgedWhenTheWaitEnds)
{
    answerHoldingReadWith([](QByteArray a) { return a.left(a.size() - 1); });
    LogCapture log;
    EXPECT_EQ(readTwoHoldingRegisters().status, 7);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().at(0).startsWith("lib[ModbusTCP]报文返回长度错误 " + peer + " ID=1 4x10 len = 4 msg : 0103"));
}

TEST_F(FakeTcpDevice, SilenceGivesStatus8AndTheLateAnswerIsNotTakenForTheNextRequest)
{
    // The answer comes well after the driver has given up on it.
    answerWith([](const QByteArray& request) { return Replies{Reply::send(mbapPatternAnswer(request), 3700)}; });
    LogCapture log;
    QElapsedTimer clock;
    clock.start();
    const CLabelVariable silent = readTwoHoldingRegisters();
    EXPECT_GE(clock.elapsed(), 2900); // a first wait and a second one after it brought nothing
    EXPECT_EQ(silent.status, 8);
    EXPECT_FALSE(silent.value.isValid());
    EXPECT_EQ(log.warnings(), QStringList{"lib[ModbusTCP]返回的报文长度为0 " + peer + " ID=1 4x10 len = 4 msg : "});

    // The late answer reaches the system while the host runs no events; the next read still
    // gets its own answer.
    const int descriptor = socketConnectedTo(device->port());
    ASSERT_NE(descriptor, -1);
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(descriptor); }, 3000));
    answerWith(patternReplies);
    log.clear();
    const CLabelVariable next = driver.ReadVariable("4x20", UInt16, 1);
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(20)});
    EXPECT_EQ(log.total(), 0);
}

// The first request's late answer comes in while the second waits: it carries another transaction
// identifier and is stepped over, and the second's own answer is still given its whole first-byte
// time (3 s), not the collection time of the stale one (1.5 s).
TEST_F(FakeTcpDevice, ALateAnswerInFrontOfTheNextIsSteppedOver)
{
    auto count = std::make_shared<std::atomic<int>>(0);
    auto first = std::make_shared<QByteArray>();
    answerWith([count, first](const QByteArray& request) {
        if (++*count == 1) {
            *first = mbapPatternAnswer(request);
            return Replies();
        }
        return Replies{Reply::send(*first, 20), Reply::send(mbapPatternAnswer(request), 1780)};
    });
    EXPECT_EQ(readTwoHoldingRegisters().status, 8);
    LogCapture log;
    const CLabelVariable next = driver.ReadVariable("4x20", UInt16, 1);
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(20)});
    EXPECT_EQ(log.total(), 0);
}

TEST_F(FakeTcpDevice, InputArrivingBetweenRequestsIsDiscarded)
{
    ASSERT_EQ(readTwoHoldingRegisters().status, 0);
    // Unasked bytes: once taken in by the host's event loop, once left in the system.
    const int descriptor = socketConnectedTo(device->port());
    ASSERT_NE(descriptor, -1);
    device->push(mbapPatternAnswer(mbapRequest(0x0101, 1, readRequestPdu(3, 10, 2))));
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(descriptor); }));
    ASSERT_TRUE(processEventsUntil([&] { return !descriptorReadable(descriptor); }));
    CLabelVariable record = driver.ReadVariable("4x30", UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(30)});

    device->push(QByteArray::fromHex("ffff00000003018302"));
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(descriptor); }));
    record = driver.ReadVariable("4x31", UInt16, 1);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(31)});
}

TEST_F(FakeTcpDevice, PeerClosingBetweenRequestsIsWarnedAndNothingMoreIsWritten)
{
    answerWith([](const QByteArray& request) {
        return Replies{Reply::send(mbapPatternAnswer(request)), Reply::closeConnection()};
    });
    driver.SetConnectPar("3");
    ASSERT_EQ(readTwoHoldingRegisters().status, 0);
    const int descriptor = socketConnectedTo(device->port());
    ASSERT_NE(descriptor, -1);
    ASSERT_TRUE(sleepUntil([&] { return device->openConnectionCount() == 0; }));
    ASSERT_TRUE(sleepUntil([&] { return descriptorReadable(descriptor); }));

    LogCapture log;
    const CLabelVariable record = readTwoHoldingRegisters();
    EXPECT_EQ(record.status, 8);
    EXPECT_EQ(log.warnings(), (QStringList{"lib[ModbusTCP]Socket状态错误 " + peer + " ID=3 QAbstractSocket::RemoteHostClosedError",
                                           "lib[ModbusTCP]返回的报文长度为0 " + peer + " ID=3 4x10 len = 4 msg : "}));
    // The driver let its socket go.
    EXPECT_EQ(socketConnectedTo(device->port()), -1);

    log.clear();
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{1});
    EXPECT_EQ(driver.WriteVariable("4x1", Int16, values, 1).status, 8);
    EXPECT_TRUE(log.warnings().isEmpty());
    EXPECT_EQ(device->requestCount(), 1);
    // No reconnection happens by itself.
    EXPECT_EQ(device->connectionCount(), 1);
}

TEST_F(FakeTcpDevice, PeerClosingInsteadOfAnsweringGivesStatus8)
{
    answerWith([](const QByteArray&) { return Replies{Reply::closeConnection()}; });
    LogCapture log;
    EXPECT_EQ(readTwoHoldingRegisters().status, 8);
    EXPECT_EQ(log.warnings(), (QStringList{"lib[ModbusTCP]Socket状态错误 " + peer + " ID=1 QAbstractSocket::RemoteHostClosedError",
                                           "lib[ModbusTCP]返回的报文长度为0 " + peer + " ID=1 4x10 len = 4 msg : "}));
    EXPECT_EQ(device->requestCount(), 1);
}

TEST_F(FakeTcpDevice, DebugLinesShowRequestAndAnswerOnlyWhileDebugging)
{
    LogCapture log;
    ASSERT_EQ(readTwoHoldingRegisters().status, 0);
    EXPECT_EQ(log.total(), 0);

    driver.DebugCmd(StartDebug);
    ASSERT_EQ(readTwoHoldingRegisters().status, 0);
    QByteArray request = device->lastRequest();
    EXPECT_EQ(log.debugLines(),
              (QStringList{"lib[ModbusTCP]读命令 " + peer + " ID=1 4x10 len = 4 msg : " + hex(request),
                           "lib[ModbusTCP]读响应 " + peer + " ID=1 4x10 len = 4 msg : " + hex(mbapPatternAnswer(request))}));

    log.clear();
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<short>{5, 6});
    ASSERT_EQ(driver.WriteVariable("4x12", Int16, values, 2).status, 0);
    request = device->lastRequest();
    EXPECT_EQ(log.debugLines(),
              (QStringList{"lib[ModbusTCP]写命令 " + peer + " ID=1 4x12 len = 4 msg : " + hex(request),
                           "lib[ModbusTCP]写响应 " + peer + " ID=1 4x12 len = 4 msg : " + hex(mbapWriteAnswer(request))}));

    log.clear();
    values.value = QVariant::fromValue(QList<bool>{true, true, false});
    ASSERT_EQ(driver.WriteVariable("0x8", Bool, values, 3).status, 0);
    request = device->lastRequest();
    EXPECT_EQ(log.debugLines(),
              (QStringList{"lib[ModbusTCP]写命令 " + peer + " ID=1 0x8 len = 3 msg : " + hex(request),
                           "lib[ModbusTCP]写响应 " + peer + " ID=1 0x8 len = 3 msg : " + hex(mbapWriteAnswer(request))}));
    EXPECT_TRUE(log.warnings().isEmpty());

    log.clear();
    driver.DebugCmd(StopDebug);
    ASSERT_EQ(driver.WriteVariable("0x8", Bool, values, 3).status, 0);
    EXPECT_EQ(log.total(), 0);
}

// The warning for a peer that closed names the station of the last read of coils or registers,
// failed or not; reads of discrete inputs and writes leave it as it was.
TEST_F(FakeTcpDevice, ReadsOfCoilsAndRegistersRecordTheirStationEvenWhenTheyFail)
{
    CmdModbusTCP link;
    QByteArray out;
    // Each transaction's answer comes with a hang-up; the warning it brings names the station.
    const auto stationInTheWarning = [&](const std::function<int()>& transaction, int result) -> QString {
        EXPECT_EQ(code(link.EthConnectDrive("127.0.0.1", device->port())), 0);
        LogCapture log;
        EXPECT_EQ(code(transaction()), result);
        const QString closed = "lib[ModbusTCP]Socket状态错误 " + peer + " ID=";
        if (!processEventsUntil([&] { return !log.warnings().filter(closed).isEmpty(); }))
            return QStringLiteral("no warning");
        return log.warnings().filter(closed).first().section(QLatin1Char(' '), 2, 2);
    };
    answerWith([](const QByteArray& request) { return Replies{Reply::send(mbapPatternAnswer(request)), Reply::closeConnection(20)}; });
    EXPECT_EQ(stationInTheWarning([&] { return code(link.ReadDiscreteInputs1x(9, 0, 8, "1x0", &out)); }, 0), "ID=0");
    answerWith([](const QByteArray& request) {
        return Replies{Reply::send(mbapExceptionAnswer(request, IllegalFunction)), Reply::closeConnection(20)};
    });
    out = "kept";
    EXPECT_EQ(stationInTheWarning([&] { return code(link.ReadCoils0x(4, 0, 10, "0x0", &out)); }, -1), "ID=4");
    EXPECT_EQ(out, QByteArray("kept"));
    EXPECT_EQ(stationInTheWarning([&] { return code(link.ReadInputRegisters3x(5, 0, 2, "3x0", &out)); }, -1), "ID=5");
    EXPECT_EQ(stationInTheWarning([&] { return code(link.ReadHoldingRegisters4x(6, 0, 2, "4x0", &out)); }, -1), "ID=6");
    EXPECT_EQ(stationInTheWarning([&] { return code(link.WriteCoils0x(7, 0, 1, QByteArray(1, '\1'))); }, -1), "ID=6");
    EXPECT_EQ(stationInTheWarning([&] { return code(link.WriteHoldingRegisters4x(8, 0, 2, QByteArray(2, '\1'))); }, -1), "ID=6");
}

TEST_F(FakeTcpDevice, TransactionsSizeTheirFramesFromTheirArguments)
{
    CmdModbusTCP link;
    ASSERT_EQ(code(link.EthConnectDrive("127.0.0.1", device->port())), 0);
    QByteArray out("x");
    // Seven bytes ask for three registers but are still what the answer must carry.
    answerWith([](const QByteArray& request) {
        return Replies{Reply::send(mbapReadAnswer(request, QByteArray::fromHex("01020304050607")))};
    });
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 2, 7, "r", &out)), 0);
    EXPECT_EQ(word(device->lastRequest(), 10), 3);
    EXPECT_EQ(out, QByteArray("x") + QByteArray::fromHex("01020304050607"));

    // Data shorter than the frame needs goes out filled with zero bytes.
    answerWith(patternReplies);
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 2, 4, QByteArray::fromHex("12"))), 0);
    EXPECT_EQ(device->lastRequest().mid(4).toHex(), QByteArray("000b0110000200020412000000"));
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 2, 2, QByteArray())), 0);
    EXPECT_EQ(device->lastRequest().mid(4).toHex(), QByteArray("0006010600020000"));
    EXPECT_EQ(code(link.WriteCoils0x(1, 2, 9, QByteArray::fromHex("ff"))), 0);
    EXPECT_EQ(device->lastRequest().mid(4).toHex(), QByteArray("0009010f0002000902ff00"));
}

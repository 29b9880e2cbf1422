// The six RTU transactions against a scriptable device on a pseudo-terminal: the frames on the
// wire, the answer checks in their order with their exact log lines, and answers that arrive in
// pieces or too late.
#include "rtu/CmdModbusRTU.h"

#include "tests/support/fake_device.h"
#include "tests/support/log_capture.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/pty_pair.h"
#include "tests/support/result_code.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace vanetest;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

Replies answerWith(const QByteArray& bytes, int delayMs = 0) { return {Reply::send(bytes, delayMs)}; }

// The answer in pieces of `pieceSize` bytes, `gapMs` apart.
Replies inPieces(const QByteArray& answer, int pieceSize, int gapMs)
{
    Replies replies;
    for (int at = 0; at < answer.size(); at += pieceSize)
        replies.push_back(Reply::send(answer.mid(at, pieceSize), at == 0 ? 0 : gapMs));
    return replies;
}

class RtuTransactions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        device = FakeDevice::openSerial(pty.pathA(), Framing::Rtu, &rtuPatternReplies);
        ASSERT_TRUE(device && device->isReady());
        ASSERT_EQ(link.serialConnectDrive(QString::fromStdString(pty.pathB()), 9600, 8, 1, "N", ""), 0);
    }

    static Replies rtuPatternReplies(const QByteArray& request) { return answerWith(rtuPatternAnswer(request)); }

    // Every later request gets `answer` built from it.
    void answerAll(std::function<QByteArray(const QByteArray&)> answer)
    {
        device->setHandler([answer](const QByteArray& request) { return answerWith(answer(request)); });
    }

    PtyPair pty;
    std::unique_ptr<FakeDevice> device;
    CmdModbusRTU link;
};

TEST_F(RtuTransactions, ReadRequestsCarryAddressFunctionStartQuantityAndCrc)
{
    QByteArray out = hex("ee");
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(device->lastRequest().toHex(), QByteArray("010300000001840a"));
    // Appended to what the caller had.
    EXPECT_EQ(out.toHex(), QByteArray("ee1000"));

    out.clear();
    EXPECT_EQ(code(link.ReadCoils0x(7, 100, 10, "0x100", &out)), 0);
    EXPECT_EQ(device->lastRequest(), rtuRequest(7, readRequestPdu(1, 100, 10)));
    EXPECT_EQ(out, patternReadData(readRequestPdu(1, 100, 10)));
    EXPECT_EQ(out.size(), 2);

    out.clear();
    EXPECT_EQ(code(link.ReadDiscreteInputs1x(247, 65535, 1, "1x65535", &out)), 0);
    EXPECT_EQ(device->lastRequest(), rtuRequest(247, readRequestPdu(2, 65535, 1)));

    out.clear();
    EXPECT_EQ(code(link.ReadInputRegisters3x(17, 0x1234, 8, "3x4660", &out)), 0);
    EXPECT_EQ(device->lastRequest(), rtuRequest(17, readRequestPdu(4, 0x1234, 4)));
    EXPECT_EQ(out.toHex(), QByteArray("2234223522362237"));

    // Only the low 8 bits of the station number address the device.
    out.clear();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(300, 5, 4, "4x5", &out)), 0);
    EXPECT_EQ(device->lastRequest(), rtuRequest(44, readRequestPdu(3, 5, 2)));
    EXPECT_EQ(device->requestCount(), 5);
}

TEST_F(RtuTransactions, RegisterWritesUseFunction06ForTwoBytesAnd16Otherwise)
{
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 5, 2, hex("abcd"))), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("01060005abcd")));
    EXPECT_EQ(device->lastRequest().size(), 8);

    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 5, 4, hex("01020304"))), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("011000050002" "04" "01020304")));
    EXPECT_EQ(device->lastRequest().size(), 13);

    const QByteArray many(246, '\x81');
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(9, 0, 246, many)), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("09100000007b" "f6") + many));
}

TEST_F(RtuTransactions, CoilWritesPackTheBitCountIntoBytes)
{
    EXPECT_EQ(code(link.WriteCoils0x(1, 9, 9, hex("0101"))), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("010f00090009" "02" "0101")));
    EXPECT_EQ(device->lastRequest().size(), 11);

    EXPECT_EQ(code(link.WriteCoils0x(3, 0, 1, hex("01"))), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("030f00000001" "01" "01")));
}

TEST_F(RtuTransactions, MissingDataBytesGoOutAsZeros)
{
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 0, 4, hex("1234"))), 0);
    EXPECT_EQ(pduWriteData(rtuPdu(device->lastRequest())).toHex(), QByteArray("12340000"));
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 0, 2, QByteArray())), 0);
    EXPECT_EQ(device->lastRequest(), appendCrc(hex("010600000000")));
    EXPECT_EQ(code(link.WriteCoils0x(1, 0, 16, hex("ff"))), 0);
    EXPECT_EQ(pduWriteData(rtuPdu(device->lastRequest())).toHex(), QByteArray("ff00"));
}

struct ReadCase {
    const char* what;
    std::function<QByteArray(const QByteArray&)> answer; // from the request
    int result;
    const char* warning; // the failure text, or nullptr when accepted
};

TEST_F(RtuTransactions, ReadAnswersAreCheckedForFunctionLengthAndCrcInThatOrder)
{
    const QByteArray data = hex("11223344");
    const std::vector<ReadCase> cases = {
        {"good", [&](const QByteArray& r) { return rtuReadAnswer(r, data); }, 0, nullptr},
        // A late answer of another station on the bus.
        {"other address", [&](const QByteArray&) { return rtuFrame(9, readAnswerPdu(3, data)); }, -1,
         "返回的站号错误"},
        // Only the size counts, not the byte count field.
        {"wrong byte count", [&](const QByteArray&) { return appendCrc(hex("010306") + data); }, 0, nullptr},
        {"exception", [](const QByteArray& r) { return rtuExceptionAnswer(r, IllegalDataAddress); }, -1,
         "返回的功能码错误"},
        {"other function", [&](const QByteArray&) { return rtuFrame(1, readAnswerPdu(4, data)); }, -1,
         "返回的功能码错误"},
        {"one byte too long", [&](const QByteArray& r) { return rtuReadAnswer(r, data) + hex("00"); }, -1,
         "报文返回长度错误"},
        {"one byte short", [&](const QByteArray& r) { return rtuReadAnswer(r, data).left(8); }, -1,
         "报文返回长度错误"},
        {"damaged CRC", [&](const QByteArray& r) {
             QByteArray answer = rtuReadAnswer(r, data);
             answer[answer.size() - 1] = char(answer.at(answer.size() - 1) ^ 0x40);
             return answer;
         }, -1, "报文校验码错误"},
        {"damaged data", [&](const QByteArray& r) {
             QByteArray answer = rtuReadAnswer(r, data);
             answer[4] = char(answer.at(4) ^ 0x01);
             return answer;
         }, -1, "报文校验码错误"},
        {"single byte", [](const QByteArray&) { return hex("01"); }, -1, "返回的功能码错误"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray answer;
        device->setHandler([&](const QByteArray& request) {
            answer = c.answer(request);
            return answerWith(answer);
        });
        LogCapture log;
        QByteArray out = hex("aa");
        EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 4, "4x0", &out)), c.result);
        if (c.warning) {
            EXPECT_EQ(out.toHex(), QByteArray("aa"));
            EXPECT_EQ(log.warnings(),
                      QStringList{QStringLiteral("lib[ModbusRTU]%1 :0 ID=1 4x0 len = 4 msg : %2")
                                      .arg(QString::fromUtf8(c.warning), QString::fromLatin1(answer.toHex()))});
        } else {
            EXPECT_EQ(out, hex("aa") + data);
            EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
        }
    }
}

TEST_F(RtuTransactions, SilenceGivesNoAnswer)
{
    device->setHandler([](const QByteArray&) { return Replies(); });
    LogCapture log;
    QByteArray out;
    EXPECT_EQ(code(link.ReadCoils0x(5, 3, 10, "0x3", &out)), -2);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(log.warnings(), QStringList{QStringLiteral("lib[ModbusRTU]返回的报文长度为0 :0 ID=5 0x3 len = 2 msg : ")});
    // Writes fail alike, without a word.
    log.clear();
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(5, 0, 2, hex("0001"))), -2);
    EXPECT_EQ(code(link.WriteCoils0x(5, 0, 1, hex("01"))), -2);
    EXPECT_TRUE(log.warnings().isEmpty());
    EXPECT_EQ(device->requestCount(), 3);
}

TEST_F(RtuTransactions, WriteAnswersNeedAddressCrcAWriteFunctionAndTheirOwnEcho)
{
    struct WriteCase {
        const char* what;
        std::function<QByteArray(const QByteArray&)> answer;
        int result;
    };
    const std::vector<WriteCase> cases = {
        {"echo", [](const QByteArray& r) { return rtuWriteAnswer(r); }, 0},
        {"function 16 to a 15 write", [](const QByteArray& r) { return appendCrc(hex("0110") + r.mid(2, 4)); }, 0},
        {"function 6 to a 15 write", [](const QByteArray& r) { return appendCrc(hex("0106") + r.mid(2, 4)); }, 0},
        // Only its own echo confirms a write.
        {"short but sound frame", [](const QByteArray&) { return appendCrc(hex("010f")); }, -1},
        {"echo of another start", [](const QByteArray&) { return appendCrc(hex("010f00010009")); }, -1},
        {"echo of another quantity", [](const QByteArray&) { return appendCrc(hex("010f00000008")); }, -1},
        {"exception", [](const QByteArray& r) { return rtuExceptionAnswer(r, IllegalDataValue); }, -1},
        {"function 0x90", [](const QByteArray& r) { return appendCrc(hex("0190") + r.mid(2, 4)); }, -1},
        {"other address", [](const QByteArray& r) { return appendCrc(hex("020f") + r.mid(2, 4)); }, -1},
        {"damaged CRC", [](const QByteArray& r) {
             QByteArray answer = rtuWriteAnswer(r);
             answer[answer.size() - 2] = char(answer.at(answer.size() - 2) ^ 0x10);
             return answer;
         }, -1},
        {"single byte", [](const QByteArray&) { return hex("01"); }, -1},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        answerAll(c.answer);
        LogCapture log;
        EXPECT_EQ(code(link.WriteCoils0x(1, 0, 9, hex("ff01"))), c.result);
        EXPECT_TRUE(log.lines().empty());
    }
}

TEST_F(RtuTransactions, AnswersSplitIntoPiecesAreCollectedWhole)
{
    const QByteArray data = hex("0102030405060708");
    for (int pieceSize : {1, 2, 3, 5}) {
        SCOPED_TRACE(pieceSize);
        device->setHandler([&](const QByteArray& request) { return inPieces(rtuReadAnswer(request, data), pieceSize, 10); });
        QByteArray out;
        EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 8, "4x0", &out)), 0);
        EXPECT_EQ(out, data);
    }
    device->setHandler([](const QByteArray& request) { return inPieces(rtuExceptionAnswer(request, 2), 1, 10); });
    LogCapture log;
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 8, "4x0", &out)), -1);
    EXPECT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().value(0).contains(QStringLiteral("返回的功能码错误"))) << log.warnings().value(0).toStdString();
    EXPECT_TRUE(log.warnings().value(0).endsWith(QStringLiteral("msg : 018302c0f1")));

    device->setHandler([](const QByteArray& request) { return inPieces(rtuWriteAnswer(request), 3, 10); });
    EXPECT_EQ(code(link.WriteHoldingRegisters4x(1, 0, 4, hex("00010002"))), 0);
}

// Each request is answered with its own number, the first one too late. The device works on
// copies of its handler: the count lives apart from them.
FakeDevice::Handler lateFirstAnswer(int delayMs)
{
    auto count = std::make_shared<std::atomic<int>>(0);
    return [count, delayMs](const QByteArray& request) {
        const int number = ++*count;
        return answerWith(rtuReadAnswer(request, registerBytes({uint16_t(number)})), number == 1 ? delayMs : 0);
    };
}

// Answered together: the first request's late answer, then the second's right behind it. An RTU
// answer does not say which request it answers; a frame is over only after t3.5 of quiet.
TEST_F(RtuTransactions, ALateAnswerRightInFrontOfTheNextIsNotTakenForIt)
{
    auto count = std::make_shared<std::atomic<int>>(0);
    auto first = std::make_shared<QByteArray>();
    device->setHandler([count, first](const QByteArray& request) {
        const int number = ++*count;
        const QByteArray answer = rtuReadAnswer(request, registerBytes({uint16_t(number)}));
        if (number == 1) {
            *first = answer;
            return Replies();
        }
        if (number == 2)
            return Replies{Reply::send(*first, 20), Reply::send(answer)};
        return answerWith(answer);
    });
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -2);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(out.toHex(), QByteArray("0003"));
}

TEST_F(RtuTransactions, ALateAnswerIsNeverTakenForTheNextRequests)
{
    // Late beyond the answer wait, and in before the host's next request.
    device->setHandler(lateFirstAnswer(1000));
    QByteArray out;
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -2);
    // The host sits idle (no event loop) while the late answer arrives.
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(out.toHex(), QByteArray("0002"));

    device->setHandler(lateFirstAnswer(1000));
    out.clear();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -2);
    // The host runs its event loop meanwhile: the late bytes are received outside any exchange.
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 900)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(out.toHex(), QByteArray("0002"));

    // Late answer arriving after the next exchange is over: the third exchange drops it.
    device->setHandler(lateFirstAnswer(1500));
    out.clear();
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -2);
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    EXPECT_EQ(out.toHex(), QByteArray("00020003"));
}

TEST_F(RtuTransactions, NoTransportSendsNothingAndSaysNothing)
{
    CmdModbusRTU bare;
    LogCapture log;
    QByteArray out;
    EXPECT_EQ(code(bare.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -3);
    EXPECT_EQ(code(bare.ReadCoils0x(1, 0, 1, "0x0", &out)), -3);
    EXPECT_EQ(code(bare.ReadDiscreteInputs1x(1, 0, 1, "1x0", &out)), -3);
    EXPECT_EQ(code(bare.ReadInputRegisters3x(1, 0, 2, "3x0", &out)), -3);
    EXPECT_EQ(code(bare.WriteCoils0x(1, 0, 1, hex("01"))), -3);
    EXPECT_EQ(code(bare.WriteHoldingRegisters4x(1, 0, 2, hex("0001"))), -3);
    bare.debugFlag = true;
    EXPECT_EQ(code(bare.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), -3);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(RtuTransactions, DebugLinesFrameTheReadAndFollowTheWrite)
{
    link.debugFlag = true;
    LogCapture log([this] { return static_cast<long long>(device->requestCount()); });
    QByteArray out;
    ASSERT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    const std::vector<LogLine> readLines = log.lines();
    ASSERT_EQ(readLines.size(), 2u);
    EXPECT_EQ(readLines[0].text, QStringLiteral("lib[ModbusRTU]读命令 :0 ID=1 0x4x0 len = 2 msg : 010300000001840a"));
    EXPECT_EQ(readLines[0].probe, 0) << "the command line goes out before the request";
    EXPECT_EQ(readLines[1].text, QStringLiteral("lib[ModbusRTU]读响应 :0 ID=1 0x4x0 len = 2 msg : %1")
                                     .arg(QString::fromLatin1(rtuPatternAnswer(hex("010300000001840a")).toHex())));
    EXPECT_EQ(readLines[0].type, QtDebugMsg);
    EXPECT_EQ(readLines[1].type, QtDebugMsg);

    // Both write lines come after the exchange, even the command line.
    constexpr int kAnswerDelayMs = 150;
    device->setHandler([](const QByteArray& request) { return answerWith(rtuWriteAnswer(request), kAnswerDelayMs); });
    QElapsedTimer clock;
    clock.start();
    LogCapture writeLog([&clock] { return clock.elapsed(); });
    ASSERT_EQ(code(link.WriteHoldingRegisters4x(2, 5, 2, hex("abcd"))), 0);
    const QByteArray request = appendCrc(hex("02060005abcd"));
    const std::vector<LogLine> writeLines = writeLog.lines();
    ASSERT_EQ(writeLines.size(), 2u);
    EXPECT_EQ(writeLines[0].text, QStringLiteral("写命令 :0 ID =2 4x5 len = 2 msg : %1").arg(QString::fromLatin1(request.toHex())));
    EXPECT_EQ(writeLines[1].text, QStringLiteral("响应 :0 ID =2 4x5 len = 2 msg : %1").arg(QString::fromLatin1(request.toHex())));
    EXPECT_GE(writeLines[0].probe, kAnswerDelayMs);

    writeLog.clear();
    device->setHandler(&rtuPatternReplies);
    ASSERT_EQ(code(link.WriteCoils0x(2, 9, 9, hex("0101"))), 0);
    ASSERT_EQ(writeLog.debugLines().size(), 2);
    EXPECT_TRUE(writeLog.debugLines()[0].startsWith(QStringLiteral("写命令 :0 ID =2 0x9 len = 9 msg : 020f00090009020101")));
    EXPECT_TRUE(writeLog.debugLines()[1].startsWith(QStringLiteral("响应 :0 ID =2 0x9 len = 9 msg : 020f00090009")));

    link.debugFlag = false;
    writeLog.clear();
    ASSERT_EQ(code(link.ReadHoldingRegisters4x(1, 0, 2, "4x0", &out)), 0);
    ASSERT_EQ(code(link.WriteCoils0x(2, 9, 9, hex("0101"))), 0);
    EXPECT_TRUE(writeLog.lines().empty());
}

} // namespace

// The shared test peers checked against an independent Modbus client (libmodbus) and raw
// sockets, so that driver tests can trust what the peers serve, record and send.

#include "tests/support/fake_device.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/modbus_frames.h"
#include "tests/support/pattern_answers.h"
#include "tests/support/pty_pair.h"
#include "tests/support/slow_pty_relay.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vanetest;

namespace {

// A libmodbus master, closed and freed on scope exit.
class Client
{
public:
    explicit Client(modbus_t *context) : context_(context) {}
    ~Client()
    {
        if (context_) {
            modbus_close(context_);
            modbus_free(context_);
        }
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    static Client tcp(uint16_t port) { return Client(modbus_new_tcp("127.0.0.1", port)); }
    static Client rtu(const std::string &path, int station, int baud = 9600)
    {
        modbus_t *context = modbus_new_rtu(path.c_str(), baud, 'N', 8, 1);
        modbus_set_slave(context, station);
        return Client(context);
    }
    Client(Client &&other) noexcept : context_(other.context_) { other.context_ = nullptr; }

    bool connect(int timeoutMs = 1000)
    {
        modbus_set_response_timeout(context_, 0, uint32_t(timeoutMs) * 1000);
        return context_ && modbus_connect(context_) == 0;
    }
    modbus_t *get() const { return context_; }

private:
    modbus_t *context_;
};

int connectRaw(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until `size` bytes came, the peer closed, or the time is up.
QByteArray receiveRaw(int fd, int size, int timeoutMs, bool *closed = nullptr)
{
    QByteArray bytes;
    const int64_t deadline = monotonicMs() + timeoutMs;
    while (bytes.size() < size && monotonicMs() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(deadline - monotonicMs())) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            break;
        }
        bytes.append(buffer, int(n));
    }
    return bytes;
}

// Bytes of one answer piece that arrive before the next piece is due.
constexpr int kPieceGapMs = 20;
constexpr int kWaitMs = 3000;

} // namespace

TEST(ModbusFrames, CrcAndAnswerBuildersMatchTheProtocol)
{
    const QByteArray request = rtuRequest(1, readRequestPdu(3, 0, 1));
    EXPECT_EQ(request.toHex(), QByteArray("010300000001840a"));
    EXPECT_EQ(crc16Modbus(QByteArray::fromHex("010300000001")), 0x0A84);
    EXPECT_TRUE(hasValidCrc(request));
    QByteArray damaged = request;
    damaged[7] = char(damaged[7] ^ 1);
    EXPECT_FALSE(hasValidCrc(damaged));

    const QByteArray tcpRequest = mbapRequest(0xBEEF, 9, readRequestPdu(3, 100, 2));
    EXPECT_EQ(tcpRequest.toHex(), QByteArray("beef00000006090300640002"));
    EXPECT_EQ(mbapReadAnswer(tcpRequest, QByteArray::fromHex("11223344")).toHex(),
              QByteArray("beef0000000709030411223344"));
    EXPECT_EQ(mbapExceptionAnswer(tcpRequest, IllegalDataAddress).toHex(),
              QByteArray("beef00000003098302"));
    EXPECT_EQ(rtuExceptionAnswer(request, IllegalDataAddress).left(3).toHex(), QByteArray("018302"));
    EXPECT_EQ(packBits({true, false, true, false, false, false, false, false, true}).toHex(),
              QByteArray("0501"));
    EXPECT_EQ(unpackBits(QByteArray::fromHex("0501"), 9),
              (std::vector<bool>{true, false, true, false, false, false, false, false, true}));
}

TEST(LibmodbusTcpPeer, ServesPresetTablesAndTakesWrites)
{
    LibmodbusTcpPeer peer;
    ASSERT_TRUE(peer.isListening());
    peer.setHoldingRegisters(100, {0x42F6, 0xE979});
    peer.setInputBytes(7, QByteArray::fromHex("a1b2c3"));
    peer.setDiscreteInputs(3, {true, false, true});

    Client client = Client::tcp(peer.port());
    ASSERT_TRUE(client.connect());
    uint16_t registers[2] = {};
    ASSERT_EQ(modbus_read_registers(client.get(), 100, 2, registers), 2);
    EXPECT_EQ(registers[0], 0x42F6);
    EXPECT_EQ(registers[1], 0xE979);
    ASSERT_EQ(modbus_read_input_registers(client.get(), 7, 2, registers), 2);
    EXPECT_EQ(registers[0], 0xA1B2);
    EXPECT_EQ(registers[1] >> 8, 0xC3);
    uint8_t bits[3] = {};
    ASSERT_EQ(modbus_read_input_bits(client.get(), 3, 3, bits), 3);
    EXPECT_EQ(bits[0] + 2 * bits[1] + 4 * bits[2], 5);

    const uint16_t written[3] = {1, 2, 0xFFFF};
    ASSERT_EQ(modbus_write_registers(client.get(), 65533, 3, written), 3);
    EXPECT_EQ(peer.holdingRegisters(65533, 3), (std::vector<uint16_t>{1, 2, 0xFFFF}));
    EXPECT_EQ(peer.holdingBytes(65534, 3).toHex(), QByteArray("0002ff"));
    const uint8_t coilsOn[2] = {1, 1};
    ASSERT_EQ(modbus_write_bits(client.get(), 9, 2, coilsOn), 2);
    EXPECT_EQ(peer.coils(8, 4), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(peer.requestCount(), 5);
}

TEST(LibmodbusTcpPeer, RefusesOutOfRangeReadsAndCanDropItsClients)
{
    PeerMapSizes sizes;
    sizes.holdingRegisters = 10;
    LibmodbusTcpPeer peer(sizes);
    Client client = Client::tcp(peer.port());
    ASSERT_TRUE(client.connect());
    uint16_t registers[4];
    EXPECT_EQ(modbus_read_registers(client.get(), 8, 4, registers), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(peer.requestCount(), 1);
    EXPECT_THROW(peer.holdingRegister(10), std::out_of_range);

    EXPECT_EQ(peer.openConnectionCount(), 1);
    peer.dropConnections();
    EXPECT_EQ(peer.openConnectionCount(), 0);
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, registers), -1);
    EXPECT_EQ(peer.connectionCount(), 1);
}

TEST(LibmodbusRtuPeer, AnswersItsStationOverAPtyPairAndIgnoresOthers)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    LibmodbusRtuPeer peer(pty.pathA(), 7);
    ASSERT_TRUE(peer.isOpen());
    peer.setHoldingRegisters(0, {0x1234, 0x5678});

    Client client = Client::rtu(pty.pathB(), 7);
    ASSERT_TRUE(client.connect());
    uint16_t registers[2] = {};
    ASSERT_EQ(modbus_read_registers(client.get(), 0, 2, registers), 2);
    EXPECT_EQ(registers[1], 0x5678);
    const uint8_t coils[3] = {1, 0, 1};
    ASSERT_EQ(modbus_write_bits(client.get(), 20, 3, coils), 3);
    EXPECT_EQ(peer.coils(20, 3), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(peer.requestCount(), 2);

    modbus_set_slave(client.get(), 8);
    modbus_set_response_timeout(client.get(), 0, 200000);
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, registers), -1);
    EXPECT_EQ(peer.requestCount(), 2);

    modbus_set_slave(client.get(), 7);
    ASSERT_EQ(modbus_read_registers(client.get(), 1, 1, registers), 1);
    EXPECT_EQ(registers[0], 0x5678);
    EXPECT_EQ(peer.requestCount(), 3);
}

TEST(SlowPtyRelay, DeliversALongAnswerAtTheWireRate)
{
    SlowPtyRelay line(9600);
    ASSERT_TRUE(line.isReady());
    LibmodbusRtuPeer peer(line.pathA(), 1);
    ASSERT_TRUE(peer.isOpen());
    std::vector<uint16_t> values;
    for (int i = 0; i < 125; ++i)
        values.push_back(uint16_t(i * 3 + 1));
    peer.setInputRegisters(0, values);

    Client client = Client::rtu(line.pathB(), 1);
    ASSERT_TRUE(client.connect(2000));
    std::vector<uint16_t> read(125);
    const int64_t started = monotonicNs();
    ASSERT_EQ(modbus_read_input_registers(client.get(), 0, 125, read.data()), 125);
    const int64_t elapsed = monotonicNs() - started;
    EXPECT_EQ(read, values);
    // 8 request bytes and 255 answer bytes cross the line one character time each.
    EXPECT_GE(elapsed, (8 + 255) * line.characterTimeNs());
}

TEST(FakeDevice, TcpRecordsRequestsAndAnswersInPieces)
{
    auto device = FakeDevice::listenTcp(Framing::Mbap, [](const QByteArray &request) {
        const QByteArray answer = mbapPatternAnswer(request);
        return Replies{Reply::send(answer.left(5)), Reply::send(answer.mid(5), kPieceGapMs)};
    });
    ASSERT_TRUE(device->isReady());

    Client client = Client::tcp(device->port());
    ASSERT_TRUE(client.connect());
    uint16_t registers[3] = {};
    ASSERT_EQ(modbus_read_registers(client.get(), 40, 3, registers), 3);
    EXPECT_EQ(registers[0], patternRegister(40));
    EXPECT_EQ(registers[2], patternRegister(42));
    ASSERT_EQ(device->requestCount(), 1);
    EXPECT_EQ(mbapPdu(device->lastRequest()).toHex(), QByteArray("0300280003"));
    EXPECT_EQ(device->connectionCount(), 1);
}

TEST(FakeDevice, TcpSplitsBackToBackRequestsAndClosesOnRequest)
{
    auto device = FakeDevice::listenTcp(Framing::Mbap, [](const QByteArray &request) {
        if (pduFunction(mbapPdu(request)) == 4)
            return Replies{Reply::send(QByteArray("\x01", 1), 0), Reply::closeConnection(kPieceGapMs)};
        return Replies{Reply::send(mbapPatternAnswer(request))};
    });
    const int fd = connectRaw(device->port());
    ASSERT_GE(fd, 0);
    const QByteArray first = mbapRequest(1, 1, readRequestPdu(3, 0, 1));
    const QByteArray second = mbapRequest(2, 1, readRequestPdu(1, 0, 9));
    const QByteArray both = first + second;
    ASSERT_EQ(send(fd, both.constData(), size_t(both.size()), 0), both.size());
    const QByteArray answers = receiveRaw(fd, 11 + 11, kWaitMs);
    EXPECT_EQ(answers, mbapPatternAnswer(first) + mbapPatternAnswer(second));
    EXPECT_EQ(device->requests(), (std::vector<QByteArray>{first, second}));

    const QByteArray closing = mbapRequest(3, 1, readRequestPdu(4, 0, 1));
    ASSERT_EQ(send(fd, closing.constData(), size_t(closing.size()), 0), closing.size());
    bool closed = false;
    EXPECT_EQ(receiveRaw(fd, 100, kWaitMs, &closed), QByteArray("\x01", 1));
    EXPECT_TRUE(closed);
    close(fd);
}

TEST(FakeDevice, SerialAnswersInPiecesAndCanCorruptTheCrc)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isReady());
    std::atomic<bool> corrupt{false};
    auto device = FakeDevice::openSerial(pty.pathA(), Framing::Rtu, [&corrupt](const QByteArray &request) {
        QByteArray answer = rtuPatternAnswer(request);
        if (corrupt)
            answer[answer.size() - 1] = char(answer.at(answer.size() - 1) ^ 0x55);
        return Replies{Reply::send(answer.left(4)), Reply::send(answer.mid(4), kPieceGapMs)};
    });
    ASSERT_TRUE(device->isReady());

    Client client = Client::rtu(pty.pathB(), 5);
    ASSERT_TRUE(client.connect());
    uint8_t bits[10] = {};
    ASSERT_EQ(modbus_read_bits(client.get(), 30, 10, bits), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(bits[i] != 0, patternBit(30 + i)) << "coil " << 30 + i;
    EXPECT_EQ(device->lastRequest(), rtuRequest(5, readRequestPdu(1, 30, 10)));

    corrupt = true; // read by the device thread only after the next request arrives
    uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, EMBBADCRC);
    EXPECT_EQ(device->requestCount(), 2);
}

TEST(FakeDevice, KeepsARequestWholeOnASlowLine)
{
    SlowPtyRelay line(1200);
    ASSERT_TRUE(line.isReady());
    auto device = FakeDevice::openSerial(line.pathA(), Framing::Rtu, [](const QByteArray &request) {
        return Replies{Reply::send(rtuPatternAnswer(request))};
    });
    ASSERT_TRUE(device->isReady());

    Client client = Client::rtu(line.pathB(), 2, 1200);
    ASSERT_TRUE(client.connect(2000));
    const uint16_t values[2] = {0xAAAA, 0x5555};
    ASSERT_EQ(modbus_write_registers(client.get(), 10, 2, values), 2);
    ASSERT_EQ(device->requestCount(), 1);
    EXPECT_EQ(pduWriteData(rtuPdu(device->lastRequest())).toHex(), QByteArray("aaaa5555"));
    EXPECT_TRUE(hasValidCrc(device->lastRequest()));
}

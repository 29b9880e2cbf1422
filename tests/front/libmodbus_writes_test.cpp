// Writes both drivers make alike, landing in a real Modbus server (libmodbus): over a loopback
// socket for the TCP driver, over a pty pair for the RTU driver.
#include <gtest/gtest.h>

#include <memory>

#include "driver_under_test.h"
#include "front_wire.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/libmodbus_tcp_peer.h"
#include "tests/support/pty_pair.h"

using namespace vanetest;

namespace {

constexpr int kStation = 5;

uint16_t neighbourPattern(int address) { return uint16_t(0xA000 + address); }
bool coilPattern(int address) { return (address * 7) % 5 < 2; }

class OnLibmodbus : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString form;
        if (DriverFacts::framing == Framing::Mbap) {
            auto tcp = std::make_unique<LibmodbusTcpPeer>();
            ASSERT_TRUE(tcp->isListening());
            form = QStringLiteral("127.0.0.1:%1").arg(tcp->port());
            peer = std::move(tcp);
        } else {
            pty = std::make_unique<PtyPair>();
            ASSERT_TRUE(pty->isReady());
            auto rtu = std::make_unique<LibmodbusRtuPeer>(pty->pathA(), kStation);
            ASSERT_TRUE(rtu->isOpen());
            form = fronttest::serialForm(pty->pathB());
            peer = std::move(rtu);
        }
        for (int a = 0; a < 700; ++a) {
            peer->setHoldingRegister(a, neighbourPattern(a));
            peer->setCoil(a, coilPattern(a));
        }
        driver.SetConnectPar(QString::number(kStation));
        ASSERT_EQ(driver.ConnectDrive(form), 0);
    }

    template <typename T>
    int write(const char* address, DataType type, const QList<T>& elements, int count)
    {
        CLabelVariable record;
        record.value = QVariant::fromValue(elements);
        return driver.WriteVariable(QString::fromLatin1(address), type, record, count).status;
    }

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<PeerMap> peer;
    Driver driver;
};

} // namespace

using DRIVER_NAMED(OnLibmodbus) = OnLibmodbus;

// One register goes alone (function 06), several together (16); the neighbours stay.
DRIVER_TEST_F(OnLibmodbus, OneRegisterIsWrittenAloneAndSeveralTogether)
{
    ASSERT_EQ(write("4x400", Int16, QList<short>{0x2468, 0x1357}, 1), 0);
    EXPECT_EQ(peer->holdingRegisters(399, 3), (std::vector<uint16_t>{neighbourPattern(399), 0x2468, neighbourPattern(401)}));
    // Two 8-bit elements fill one register; a third one left over is not sent.
    ASSERT_EQ(write("4x410", UInt8, QList<unsigned char>{0xAB, 0xCD, 0xEF}, 3), 0);
    EXPECT_EQ(peer->holdingRegisters(410, 2), (std::vector<uint16_t>{0xABCD, neighbourPattern(411)}));
    ASSERT_EQ(write("4x420", Int16, QList<short>{0x2468, 0x1357}, 2), 0);
    EXPECT_EQ(peer->holdingRegisters(419, 4),
              (std::vector<uint16_t>{neighbourPattern(419), 0x2468, 0x1357, neighbourPattern(422)}));
    ASSERT_EQ(write("4x430", UInt16, QList<unsigned short>{7, 8}, 2), 0);
    EXPECT_EQ(peer->holdingRegisters(430, 3), (std::vector<uint16_t>{7, 8, neighbourPattern(432)}));
    // The largest write a frame holds: 123 registers.
    QList<unsigned short> many;
    for (int i = 0; i < 123; ++i)
        many << static_cast<unsigned short>(0x0100 + i);
    ASSERT_EQ(write("4x500", UInt16, many, 123), 0);
    EXPECT_EQ(peer->holdingRegister(500), 0x0100);
    EXPECT_EQ(peer->holdingRegister(622), 0x0100 + 122);
    EXPECT_EQ(peer->holdingRegister(623), neighbourPattern(623));
    EXPECT_EQ(peer->requestCount(), 5);
}

DRIVER_TEST_F(OnLibmodbus, CoilsAreWrittenFromBoolAndFrom8BitElements)
{
    const QList<bool> bits{true, false, true, true, false, true, false, false, true, true};
    ASSERT_EQ(write("0x500", Bool, bits, bits.size()), 0);
    const std::vector<bool> written = peer->coils(500, 11);
    for (int i = 0; i < bits.size(); ++i)
        EXPECT_EQ(written[size_t(i)], bits[i]) << i;
    EXPECT_EQ(written[10], coilPattern(510));

    // An 8-bit element gives one coil per element counted: the lowest bits of the bytes, in order.
    peer->setCoil(520, false);
    ASSERT_EQ(write("0x520", Int8, QList<char>{5}, 1), 0);
    EXPECT_TRUE(peer->coil(520));
    EXPECT_EQ(peer->coil(521), coilPattern(521));
    ASSERT_EQ(write("0x520", Int8, QList<char>{4}, 1), 0);
    EXPECT_FALSE(peer->coil(520));

    ASSERT_EQ(write("0x530", UInt8, QList<unsigned char>{0x0F, 0x02, 0xFF}, 10), 0);
    EXPECT_EQ(peer->coils(530, 10), (std::vector<bool>{true, true, true, true, false, false, false, false, false, true}));
    EXPECT_EQ(peer->coil(540), coilPattern(540));
    ASSERT_EQ(write("0x570", UInt8, QList<unsigned char>{0x81, 0x03}, 2), 0);
    EXPECT_EQ(peer->coils(570, 3), (std::vector<bool>{true, false, coilPattern(572)}));
    EXPECT_EQ(peer->requestCount(), 5);
}

// A serial line as the field has it: several drivers on one port, on one thread or several,
// adapters that echo, slow devices, devices without function 06, the kernel's RS-485 mode, and
// drivers of other processes taking turns through the device's advisory lock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "driver_under_test.h"
#include "front_wire.h"
#include "modbus/io/serial_device.h"
#include "tests/support/log_capture.h"
#include "tests/support/posix_util.h"
#include "tests/support/pty_pair.h"

using namespace vanetest;
using fronttest::patternAnswer;
using fronttest::serialForm;
using fronttest::stationOf;

namespace {

constexpr bool kPerExchangeForm = DriverFacts::framing == Framing::Rtu; // "port:s,..." opens per exchange

int functionOf(const QByteArray& request)
{
    const int at = DriverFacts::framing == Framing::Mbap ? 7 : 1;
    return request.size() > at ? static_cast<unsigned char>(request.at(at)) : -1;
}

class DRIVER_NAMED(SerialLine) : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady());
        // Stations 1 to 4 answer; every other one is silent.
        device = FakeDevice::openSerial(pty.pathA(), DriverFacts::framing, [](const QByteArray& request) {
            const int station = stationOf(request);
            return station >= 1 && station <= 4 ? Replies{Reply::send(patternAnswer(request))} : Replies{};
        });
        ASSERT_TRUE(device && device->isReady());
    }

    std::unique_ptr<Driver> driverFor(int station, const QString& form)
    {
        auto driver = std::make_unique<Driver>();
        driver->SetConnectPar(QString::number(station));
        EXPECT_EQ(driver->ConnectDrive(form), 0) << form.toStdString();
        return driver;
    }
    QString form(const char* settings = ",9600,8,1,N") const { return serialForm(pty.pathB(), settings); }
    int openEnds() const { return descriptorsOpenOn(pty.pathB()); }

    static int readRegister(Driver& driver, int offset)
    {
        const CLabelVariable record = driver.ReadVariable(QStringLiteral("4x%1").arg(offset), UInt16, 1);
        if (record.status == 0) {
            EXPECT_EQ(record.value.value<QList<unsigned short>>(), QList<unsigned short>{patternRegister(offset)});
        }
        return record.status;
    }
    static int writeRegister(Driver& driver, int offset, short value)
    {
        CLabelVariable values;
        values.value = QVariant::fromValue(QList<short>{value});
        return driver.WriteVariable(QStringLiteral("4x%1").arg(offset), Int16, values, 1).status;
    }

    PtyPair pty;
    std::unique_ptr<FakeDevice> device;
};

} // namespace

DRIVER_TEST_F(SerialLine, DriversNamingOnePortShareItUntilTheLastLeaves)
{
    auto first = driverFor(1, form());
    auto second = driverFor(2, form());
    EXPECT_EQ(openEnds(), 1);
    EXPECT_EQ(readRegister(*first, 1), 0);
    EXPECT_EQ(readRegister(*second, 2), 0);

    // Other settings on the same port are the host's mistake: refused, named, the line unchanged.
    LogCapture log;
    Driver third;
    EXPECT_EQ(third.ConnectDrive(form(",19200,8,1,N")), -1);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().first().contains(QString::fromStdString(pty.pathB())));
    EXPECT_EQ(readRegister(*first, 3), 0);

    EXPECT_EQ(first->DisConnectDrive(), 0);
    EXPECT_EQ(readRegister(*second, 4), 0);
    EXPECT_EQ(openEnds(), 1);
    second->DestroyFree();
    EXPECT_EQ(openEnds(), 0);
    // A disconnected driver sends nothing, though its port was shared.
    EXPECT_EQ(readRegister(*first, 5), 8);
    EXPECT_EQ(device->requestCount(), 4);
}

// Each thread's driver waits for the line in turn: no request ever meets another on the wire,
// where both would come out garbled.
DRIVER_TEST_F(SerialLine, DriversOnThreadsTakeTurnsOnTheLine)
{
    for (const bool perExchange : {false, true}) {
        if (perExchange && !kPerExchangeForm)
            continue;
        SCOPED_TRACE(perExchange ? "opened per exchange" : "kept open");
        device->clearRequests();
        const QString settings = QString::fromStdString(pty.pathB()) + (perExchange ? ":s" : "") + ",19200,8,1,N";
        constexpr int kDrivers = 4;
        constexpr int kReads = 15;
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int station = 1; station <= kDrivers; ++station) {
            threads.emplace_back([&, station] {
                Driver driver;
                driver.SetConnectPar(QString::number(station));
                if (driver.ConnectDrive(settings) != 0) {
                    failures += kReads;
                    return;
                }
                for (int i = 0; i < kReads; ++i)
                    failures += readRegister(driver, station * 100 + i) != 0;
                driver.DestroyFree();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(device->requestCount(), kDrivers * kReads);
        EXPECT_EQ(openEnds(), 0);
    }
}

// A two-wire adapter hands the request back before the answer: the echo is taken off the line,
// and it never stands in for the answer of a device that is not there.
DRIVER_TEST_F(SerialLine, AnEchoIsDroppedAndNeverConfirmsAWrite)
{
    device->setHandler([](const QByteArray& request) {
        Replies replies{Reply::send(request)};
        if (stationOf(request) == 1)
            replies.push_back(Reply::send(patternAnswer(request), 3));
        return replies;
    });
    auto present = driverFor(1, form(",9600,8,1,N,echo"));
    EXPECT_EQ(readRegister(*present, 7), 0);
    EXPECT_EQ(writeRegister(*present, 7, 42), 0);
    present->DestroyFree();
    auto absent = driverFor(9, form(",9600,8,1,N,echo"));
    EXPECT_EQ(writeRegister(*absent, 7, 42), 8);

    // An echo that differs from the request met another sender: no answer of ours follows.
    device->setHandler([](QByteArray request) {
        request[request.size() - 1] = static_cast<char>(request.at(request.size() - 1) ^ 0x55);
        return Replies{Reply::send(request)};
    });
    LogCapture log;
    EXPECT_EQ(writeRegister(*absent, 7, 42), DriverFacts::exceptionStatus);
    EXPECT_TRUE(log.warnings().join('\n').contains(QStringLiteral("echo differs")));
}

DRIVER_TEST_F(SerialLine, ASlowDeviceAnswersWithinItsOwnTimeOut)
{
    device->setHandler([](const QByteArray& request) { return Replies{Reply::send(patternAnswer(request), 1700)}; });
    auto plain = driverFor(1, form());
    EXPECT_EQ(readRegister(*plain, 1), 8);
    plain->DestroyFree();
    ::usleep(1300000); // the late answer passes: an RTU answer cannot tell whose it is
    auto patient = driverFor(1, form(",9600,8,1,N,timeout=2500"));
    EXPECT_EQ(readRegister(*patient, 2), 0);
}

DRIVER_TEST_F(SerialLine, SingleRegisterWritesGoAsFunction16WhenAsked)
{
    std::atomic<int> lastFunction{0};
    device->setHandler([&](const QByteArray& request) {
        lastFunction = functionOf(request);
        return Replies{Reply::send(patternAnswer(request))};
    });
    auto plain = driverFor(1, form());
    EXPECT_EQ(writeRegister(*plain, 5, 1), 0);
    EXPECT_EQ(lastFunction.load(), 6);
    plain->DestroyFree();
    auto fc16 = driverFor(1, form(",9600,8,1,N,FC16"));
    EXPECT_EQ(writeRegister(*fc16, 5, 1), 0);
    EXPECT_EQ(lastFunction.load(), 16);
}

DRIVER_TEST_F(SerialLine, OptionsUnknownAreIgnoredAndBadValuesRefused)
{
    LogCapture log;
    auto driver = driverFor(1, form(",9600,8,1,N,turbo"));
    EXPECT_EQ(readRegister(*driver, 1), 0);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().first().contains(QStringLiteral("'turbo'")));
    for (const char* bad : {",9600,8,1,N,timeout=abc", ",9600,8,1,N,timeout=0", ",9600,8,1,N,echo=1",
                            ",9600,8,1,N,rs485-delay-after=-1"}) {
        log.clear();
        Driver refused;
        EXPECT_EQ(refused.ConnectDrive(form(bad)), -1) << bad;
        ASSERT_EQ(log.warnings().size(), 1) << bad;
        EXPECT_TRUE(log.warnings().first().contains(QString::fromLatin1(bad).section(',', 5))) << bad;
    }
}

// The kernel's RS-485 mode: what the driver asks of the port, and a port that refuses it.
DRIVER_TEST_F(SerialLine, Rs485ModeIsAskedForAndItsRefusalFailsTheConnect)
{
    LogCapture log;
    Driver onPty;
    EXPECT_EQ(onPty.ConnectDrive(form(",9600,8,1,N,rs485")), -1);
    ASSERT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(log.warnings().first().contains(QStringLiteral("RS-485")));
    EXPECT_EQ(openEnds(), 0);

    static serial_rs485 asked;
    const auto saved = vane::modbus::rs485Request;
    vane::modbus::rs485Request = [](int, serial_rs485* request) {
        asked = *request;
        return 0;
    };
    auto driver = driverFor(1, form(",9600,8,1,N,rs485-rts-low,rs485-delay-before=2,rs485-delay-after=3"));
    vane::modbus::rs485Request = saved;
    EXPECT_EQ(asked.flags & (SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND),
              unsigned(SER_RS485_ENABLED | SER_RS485_RTS_AFTER_SEND));
    EXPECT_EQ(asked.delay_rts_before_send, 2u);
    EXPECT_EQ(asked.delay_rts_after_send, 3u);
    EXPECT_EQ(readRegister(*driver, 1), 0);
}

// Another process's driver holds the device's lock while it exchanges: ours waits for it, and
// says so when it waited in vain.
DRIVER_TEST_F(SerialLine, TheLockOfAnotherProcessIsWaitedFor)
{
    const int other = ::open(pty.pathB().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::thread release([other] {
        ::usleep(150000);
        ::flock(other, LOCK_UN);
    });
    auto driver = driverFor(1, form());
    EXPECT_EQ(readRegister(*driver, 1), 0);
    release.join();

    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    LogCapture log;
    EXPECT_EQ(readRegister(*driver, 2), 8);
    EXPECT_TRUE(log.warnings().join('\n').contains(QStringLiteral("another process")));
    ::close(other);
    EXPECT_EQ(readRegister(*driver, 3), 0);
    EXPECT_EQ(device->requestCount(), 2);
}

// The simulated device's RTU line as a master meets it: vane-sim runs as a process on its pty and
// libmodbus talks to it. With --echo every request comes back first, so requests go out raw and
// the echo is read off the line before libmodbus takes the answer.
#include <gtest/gtest.h>

#include "tools/sim/rtu_crc.h"

#include <modbus.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kStartMs = 10000;
constexpr int kAnswerMs = 1000;

// One vane-sim process, stopped by its process id.
class Device
{
public:
    explicit Device(std::vector<std::string> arguments)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        arguments.insert(arguments.begin(), VANE_SIM_PROGRAM);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv;
            for (std::string &argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string text;
        char c = 0;
        pollfd ready{out[0], POLLIN, 0};
        while (pid_ > 0 && poll(&ready, 1, kStartMs) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            text += c;
        close(out[0]);
        const std::string prefix = "listening rtu ";
        if (text.compare(0, prefix.size(), prefix) == 0)
            path_ = text.substr(prefix.size());
    }
    ~Device()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    const std::string &path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

// A libmodbus master on the device's pty.
class Master
{
public:
    explicit Master(const std::string &path) : context_(modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1))
    {
        if (context_ && modbus_connect(context_) == 0) {
            modbus_set_response_timeout(context_, 0, 300000);
            connected_ = true;
        }
    }
    ~Master()
    {
        if (!context_)
            return;
        modbus_close(context_);
        modbus_free(context_);
    }
    bool connected() const { return connected_; }
    modbus_t *context() const { return context_; }

    // Sends `pdu` to `station` (libmodbus adds the CRC) and returns the frame as it went out.
    Bytes send(int station, Bytes pdu)
    {
        pdu.insert(pdu.begin(), uint8_t(station));
        modbus_set_slave(context_, station); // libmodbus takes answers from this station only
        const int sent = modbus_send_raw_request(context_, pdu.data(), int(pdu.size()));
        EXPECT_EQ(sent, int(pdu.size()) + 2);
        return crcFramed(pdu);
    }
    // Exactly `count` bytes off the line, or what came within kAnswerMs.
    Bytes take(size_t count)
    {
        Bytes bytes(count);
        size_t got = 0;
        pollfd ready{modbus_get_socket(context_), POLLIN, 0};
        while (got < count && poll(&ready, 1, kAnswerMs) > 0) {
            const ssize_t n = read(ready.fd, bytes.data() + got, count - got);
            if (n <= 0)
                break;
            got += size_t(n);
        }
        bytes.resize(got);
        return bytes;
    }
    // The answer as libmodbus frames and checks it; empty when none came.
    Bytes answer()
    {
        Bytes bytes(MODBUS_RTU_MAX_ADU_LENGTH);
        const int n = modbus_receive_confirmation(context_, bytes.data());
        bytes.resize(n > 0 ? size_t(n) : 0);
        return bytes;
    }
    // Request out, its echo back unchanged, then the answer.
    Bytes echoedExchange(int station, const Bytes &pdu)
    {
        const Bytes sent = send(station, pdu);
        EXPECT_EQ(take(sent.size()), sent) << "the echo comes first, byte for byte";
        return answer();
    }

private:
    static Bytes crcFramed(Bytes frame)
    {
        const uint16_t crc = vanesim::rtuCrc(frame.data(), frame.size());
        frame.push_back(uint8_t(crc & 0xFF));
        frame.push_back(uint8_t(crc >> 8));
        return frame;
    }

    modbus_t *context_;
    bool connected_ = false;
};

Bytes writeRegister(int offset, uint16_t value) // function 16, one register
{
    return {16, 0, uint8_t(offset), 0, 1, 2, uint8_t(value >> 8), uint8_t(value & 0xFF)};
}

Bytes readRegister(int offset)
{
    return {3, 0, uint8_t(offset), 0, 1};
}

uint16_t registerOf(const Bytes &answer) // address, 03, byte count 2, value, CRC
{
    return answer.size() == 7 && answer[1] == 3 ? uint16_t(answer[3] << 8 | answer[4]) : 0xDEAD;
}

} // namespace

TEST(SimLine, EchoingLineWithTwoStationsOfTheirOwn)
{
    Device device({"--rtu", "--station", "1,2", "--echo", "--refuse", "6"});
    ASSERT_FALSE(device.path().empty()) << "vane-sim did not start";
    Master master(device.path());
    ASSERT_TRUE(master.connected());

    // Each station keeps its own value in the same scratch register.
    EXPECT_EQ(master.echoedExchange(1, writeRegister(200, 0x1111)).size(), 8u);
    EXPECT_EQ(master.echoedExchange(2, writeRegister(200, 0x2222)).size(), 8u);
    EXPECT_EQ(registerOf(master.echoedExchange(1, readRegister(200))), 0x1111);
    EXPECT_EQ(registerOf(master.echoedExchange(2, readRegister(200))), 0x2222);
    // Both start with the documented map.
    EXPECT_EQ(registerOf(master.echoedExchange(2, readRegister(48))), 54321);

    // A station not served: the adapter still echoes, nobody answers.
    EXPECT_TRUE(master.echoedExchange(3, readRegister(200)).empty());

    // Function 06 is refused with exception 01, and nothing is stored.
    const Bytes refusal = master.echoedExchange(1, {6, 0, 200, 0x77, 0x77});
    ASSERT_EQ(refusal.size(), 5u);
    EXPECT_EQ(refusal[1], 0x86);
    EXPECT_EQ(refusal[2], MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    EXPECT_EQ(registerOf(master.echoedExchange(1, readRegister(200))), 0x1111);

    // A broadcast is stored by every station and answered by none: an answer would stand in front
    // of the next echo.
    const Bytes broadcast = master.send(0, writeRegister(201, 0x3333));
    EXPECT_EQ(master.take(broadcast.size()), broadcast);
    EXPECT_EQ(registerOf(master.echoedExchange(1, readRegister(201))), 0x3333);
    EXPECT_EQ(registerOf(master.echoedExchange(2, readRegister(201))), 0x3333);
}

TEST(SimLine, SlowSingleStationAnswersNoEarlierThanItsDelay)
{
    Device device({"--rtu", "--station", "5", "--delay", "200"});
    ASSERT_FALSE(device.path().empty()) << "vane-sim did not start";
    Master master(device.path());
    ASSERT_TRUE(master.connected());
    modbus_set_response_timeout(master.context(), 2, 0);
    modbus_set_slave(master.context(), 5);
    uint16_t value = 0;
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(modbus_read_registers(master.context(), 48, 1, &value), 1) << modbus_strerror(errno);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(200));
    EXPECT_EQ(value, 54321);
    modbus_set_response_timeout(master.context(), 0, 300000);
    modbus_set_slave(master.context(), 1);
    EXPECT_EQ(modbus_read_registers(master.context(), 48, 1, &value), -1) << "station 1 is not served";
}

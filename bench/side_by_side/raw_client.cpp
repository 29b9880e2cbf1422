// The floor: hand-built Modbus frames, one blocking write and one blocking read per transaction
// (more reads only when the answer arrives in pieces), checks reduced to what tells a right
// answer from a wrong one.
#include "client.h"

#include <QDateTime>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace sbs {

namespace {

// What a host-interface driver owes per transaction: the record's local time.
class Stamp {
public:
    explicit Stamp(bool on) : on_(on) {}
    void take()
    {
        if (on_)
            last_ = QDateTime::currentDateTime();
    }

private:
    bool on_;
    QDateTime last_;
};

class RawTcpClient : public Client {
public:
    RawTcpClient(int fd, bool stamp) : fd_(fd), stamp_(stamp) {}
    ~RawTcpClient() override { close(fd_); }

    bool readHolding(int count) override
    {
        const uint8_t request[12] = {hi(++tid_), lo(tid_), 0, 0, 0, 6, 1, 3, 0, 0, 0, uint8_t(count)};
        return exchange(request, 9 + 2 * count) && answer_[7] == 3 && answer_[8] == 2 * count;
    }

    bool writeOne(uint16_t value) override
    {
        const uint8_t request[12] = {hi(++tid_), lo(tid_), 0, 0, 0, 6, 1, 6, 0, kWriteRegister, hi(value), lo(value)};
        return exchange(request, 12) && std::memcmp(answer_, request, 12) == 0;
    }

private:
    static uint8_t hi(uint16_t v) { return uint8_t(v >> 8); }
    static uint8_t lo(uint16_t v) { return uint8_t(v); }

    bool exchange(const uint8_t (&request)[12], int answerLength)
    {
        if (send(fd_, request, sizeof request, MSG_NOSIGNAL) != sizeof request)
            return false;
        const bool ok = recv(fd_, answer_, answerLength, MSG_WAITALL) == answerLength && answer_[0] == request[0]
            && answer_[1] == request[1];
        stamp_.take();
        return ok;
    }

    int fd_;
    uint16_t tid_ = 0;
    Stamp stamp_;
    uint8_t answer_[260];
};

// CRC-16/MODBUS by table, the table made once.
class Crc16 {
public:
    Crc16()
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t crc = uint16_t(i);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
            table_[i] = crc;
        }
    }
    uint16_t operator()(const uint8_t* data, int length) const
    {
        uint16_t crc = 0xFFFF;
        for (int i = 0; i < length; ++i)
            crc = uint16_t((crc >> 8) ^ table_[(crc ^ data[i]) & 0xFF]);
        return crc;
    }

private:
    uint16_t table_[256];
};

class RawRtuClient : public Client {
public:
    RawRtuClient(int fd, bool stamp, bool confirmQuiet) : fd_(fd), stamp_(stamp), confirmQuiet_(confirmQuiet)
    {
        // The wait for t3.5 ends within a microsecond of its time, not the default 50.
        if (confirmQuiet_)
            prctl(PR_SET_TIMERSLACK, 1000, 0, 0, 0);
    }
    ~RawRtuClient() override { close(fd_); }

    bool readHolding(int count) override
    {
        uint8_t request[8] = {1, 3, 0, 0, 0, uint8_t(count)};
        return exchange(request, 5 + 2 * count) && answer_[1] == 3 && answer_[2] == 2 * count;
    }

    bool writeOne(uint16_t value) override
    {
        uint8_t request[8] = {1, 6, 0, kWriteRegister, uint8_t(value >> 8), uint8_t(value)};
        return exchange(request, 8) && std::memcmp(answer_, request, 8) == 0;
    }

private:
    bool exchange(uint8_t (&request)[8], int answerLength)
    {
        const uint16_t crc = crc_(request, 6);
        request[6] = uint8_t(crc);
        request[7] = uint8_t(crc >> 8);
        if (write(fd_, request, sizeof request) != sizeof request)
            return false;
        int have = 0;
        while (have < answerLength) {
            // The line is set to give up after a second of silence (VTIME), so a lost answer ends here.
            const ssize_t got = read(fd_, answer_ + have, answerLength - have);
            if (got <= 0)
                return false;
            have += int(got);
        }
        const uint16_t answerCrc = crc_(answer_, answerLength - 2);
        const bool ok = answer_[0] == 1 && answer_[answerLength - 2] == uint8_t(answerCrc)
            && answer_[answerLength - 1] == uint8_t(answerCrc >> 8);
        stamp_.take();
        return ok && (!confirmQuiet_ || lineStaysQuiet());
    }

    bool lineStaysQuiet()
    {
        pollfd entry{fd_, POLLIN, 0};
        const timespec silence{0, kSilenceNs};
        return ppoll(&entry, 1, &silence, nullptr) == 0;
    }

    static constexpr long kSilenceNs = 1750000;
    int fd_;
    Stamp stamp_;
    bool confirmQuiet_;
    Crc16 crc_;
    uint8_t answer_[256];
};

int connectTcp(const Target& target)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(target.port));
    inet_pton(AF_INET, target.host.c_str(), &address.sin_addr);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        std::perror("raw client: connect");
        close(fd);
        return -1;
    }
    return fd;
}

int openLine(const Target& target)
{
    const int fd = open(target.device.c_str(), O_RDWR | O_NOCTTY);
    termios line{};
    if (fd < 0 || tcgetattr(fd, &line) < 0) {
        std::perror("raw client: open line");
        if (fd >= 0)
            close(fd);
        return -1;
    }
    cfmakeraw(&line);
    cfsetispeed(&line, B115200);
    cfsetospeed(&line, B115200);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 10;
    tcsetattr(fd, TCSANOW, &line);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

} // namespace

std::unique_ptr<Client> makeRawClient(const Target& target, bool stamp, bool confirmQuiet)
{
    if (target.rtu) {
        const int fd = openLine(target);
        return fd < 0 ? nullptr : std::make_unique<RawRtuClient>(fd, stamp, confirmQuiet);
    }
    const int fd = connectTcp(target);
    return fd < 0 ? nullptr : std::make_unique<RawTcpClient>(fd, stamp);
}

} // namespace sbs

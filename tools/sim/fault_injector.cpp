#include "tools/sim/fault_injector.h"

#include "tools/sim/rtu_crc.h"
#include "tools/sim/sim_map.h"

#include <modbus.h>

#include <cerrno>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vanesim {

namespace {

// Past the drivers' limits for the beginning of an answer: 3 s for Modbus TCP, 550 ms
// after the request is on the wire for RTU (a 256-byte request takes about 270 ms at 9600).
constexpr int kLateTcpMs = 3500;
constexpr int kLateRtuMs = 1200;
constexpr int kTcpHeader = 7; // MBAP: transaction, protocol, length, unit identifier
constexpr int kRtuHeader = 1; // address
constexpr int kRtuTrailer = 2;

const char *const kNames[] = {"clean", "late", "silent", "split", "bad-crc", "other-station",
                              "exception", "wrong-length", "stale"};

bool isWrite(uint8_t function)
{
    return function == 5 || function == 6 || function == 15 || function == 16;
}

bool hasByteCount(uint8_t function)
{
    return function >= 1 && function <= 4;
}

void writeAll(int fd, const uint8_t *data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) { // the pty of the RTU service
            const ssize_t w = ::write(fd, data, length);
            if (w <= 0)
                return;
            data += w;
            length -= size_t(w);
            continue;
        }
        if (n <= 0)
            return;
        data += n;
        length -= size_t(n);
    }
}

std::vector<uint8_t> joined(std::vector<uint8_t> front, const std::vector<uint8_t> &back)
{
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

FaultInjector::FaultInjector(double rate, uint32_t seed, bool rtu) : rate_(rate), rtu_(rtu), random_(seed)
{
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair_);
}

FaultInjector::~FaultInjector()
{
    close(pair_[0]);
    close(pair_[1]);
}

Fault FaultInjector::pick()
{
    if (std::uniform_real_distribution<double>(0, 1)(random_) >= rate_)
        return Fault::None;
    for (;;) {
        const auto fault = Fault(std::uniform_int_distribution<int>(int(Fault::Late), int(Fault::Count) - 1)(random_));
        if (fault != Fault::BadCrc || rtu_)
            return fault;
    }
}

// The answer libmodbus gives, taken from the socket pair instead of the client's descriptor.
std::vector<uint8_t> FaultInjector::capture(SimMap &map, modbus_t *context, int fd, const uint8_t *request, int length)
{
    modbus_set_socket(context, pair_[0]);
    map.answer(context, request, length);
    modbus_set_socket(context, fd);
    std::vector<uint8_t> answer(MODBUS_TCP_MAX_ADU_LENGTH + 16);
    const ssize_t n = recv(pair_[1], answer.data(), answer.size(), MSG_DONTWAIT);
    answer.resize(n > 0 ? size_t(n) : 0);
    return answer;
}

// An answer to `request` carrying `pdu`, from unit / station `unit`.
std::vector<uint8_t> FaultInjector::frame(const uint8_t *request, int length, const std::vector<uint8_t> &pdu, int unit) const
{
    std::vector<uint8_t> out;
    if (rtu_) {
        out.push_back(uint8_t(unit));
        out.insert(out.end(), pdu.begin(), pdu.end());
        const uint16_t crc = rtuCrc(out.data(), out.size());
        out.push_back(uint8_t(crc & 0xFF));
        out.push_back(uint8_t(crc >> 8));
    } else {
        const size_t follows = pdu.size() + 1;
        out.assign(request, request + std::min(length, 4)); // transaction and protocol identifiers
        out.resize(4);
        out.push_back(uint8_t(follows >> 8));
        out.push_back(uint8_t(follows & 0xFF));
        out.push_back(uint8_t(unit));
        out.insert(out.end(), pdu.begin(), pdu.end());
    }
    return out;
}

void FaultInjector::answer(SimMap &map, modbus_t *context, int fd, const uint8_t *request, int length)
{
    ++requests_;
    const int header = rtu_ ? kRtuHeader : kTcpHeader;
    const int trailer = rtu_ ? kRtuTrailer : 0;
    Fault fault = pick();
    if (fault == Fault::Stale && previous_.empty())
        fault = Fault::Silent;
    // A device that was late answers the request it hears next: its late answer goes out right
    // in front of that answer, never alone in a later request's time.
    if (!held_.empty())
        fault = Fault::None;
    const uint8_t function = length > header ? request[header] : 0;
    const int unit = length > 0 ? request[rtu_ ? 0 : kTcpHeader - 1] : 0;
    // Over RTU the previous answer comes again in front of this one, as a late answer does on a
    // bus; nothing on an RTU line tells a device's stale answer from a fresh one when it comes alone.
    const bool skipped = fault == Fault::Exception || fault == Fault::OtherStation || (fault == Fault::Stale && !rtu_);

    // The right answer; for a write the device does not carry out, its echo without storing.
    std::vector<uint8_t> right;
    if (skipped && isWrite(function) && length >= header + 5 + trailer)
        right = frame(request, length, std::vector<uint8_t>(request + header, request + header + 5), unit);
    else
        right = capture(map, context, fd, request, length);
    if (right.size() <= size_t(header + trailer)) { // nothing to answer (broadcast)
        ++counts_[int(Fault::None)];
        return;
    }
    std::vector<uint8_t> pdu(right.begin() + header, right.end() - trailer);
    const std::vector<uint8_t> stale = previous_;
    previous_ = right;
    ++counts_[int(fault)];

    switch (fault) {
    case Fault::None:
        if (!held_.empty()) {
            std::vector<uint8_t> late;
            late.swap(held_);
            return send(fd, joined(std::move(late), right), fault);
        }
        return send(fd, right, fault);
    case Fault::Split:
        return send(fd, right, fault);
    case Fault::Late:
        pause(rtu_ ? kLateRtuMs : kLateTcpMs);
        if (rtu_) {
            held_ = right;
            return;
        }
        return send(fd, right, fault);
    case Fault::Silent:
        return;
    case Fault::BadCrc:
        right.back() ^= uint8_t(1u << std::uniform_int_distribution<int>(0, 7)(random_));
        return send(fd, right, fault);
    case Fault::OtherStation: {
        if (hasByteCount(pdu[0]))
            for (size_t i = 2; i < pdu.size(); ++i)
                pdu[i] ^= 0x5A;
        std::vector<uint8_t> other = frame(request, length, pdu, unit % 247 + 1);
        // Over TCP another station's answer belongs to another transaction as well: the unit
        // identifier alone proves nothing, gateways rewrite it.
        if (!rtu_)
            other[1] ^= 0x01;
        return send(fd, other, fault);
    }
    case Fault::Exception:
        pdu = {uint8_t(function | 0x80), uint8_t(std::uniform_int_distribution<int>(1, 4)(random_))};
        return send(fd, frame(request, length, pdu, unit), fault);
    case Fault::WrongLength: {
        // Reads: one element's bytes too few or too many, the byte count agreeing with the data;
        // other answers: the last byte missing.
        const size_t step = (pdu[0] == 3 || pdu[0] == 4) ? 2 : 1;
        if (hasByteCount(pdu[0]) && pdu.size() >= 2) {
            if (pdu[1] > step && (random_() & 1))
                pdu.resize(pdu.size() - step);
            else
                pdu.insert(pdu.end(), step, uint8_t(0x5A));
            pdu[1] = uint8_t(pdu.size() - 2);
        } else {
            pdu.pop_back();
        }
        return send(fd, frame(request, length, pdu, unit), fault);
    }
    case Fault::Stale:
        return send(fd, rtu_ ? joined(stale, right) : stale, fault);
    case Fault::Count:
        break;
    }
}

void FaultInjector::send(int fd, const std::vector<uint8_t> &bytes, Fault fault)
{
    if (fault != Fault::Split || bytes.size() < 3) {
        writeAll(fd, bytes.data(), bytes.size());
        return;
    }
    // Two or three pieces, 1..40 ms apart: a UART FIFO, a USB adapter, split TCP segments.
    const int pieces = std::uniform_int_distribution<int>(2, 3)(random_);
    size_t done = 0;
    for (int piece = 1; piece <= pieces; ++piece) {
        const size_t end = piece == pieces
            ? bytes.size()
            : std::uniform_int_distribution<size_t>(done + 1, bytes.size() - (pieces - piece))(random_);
        writeAll(fd, bytes.data() + done, end - done);
        done = end;
        if (piece < pieces)
            pause(std::uniform_int_distribution<int>(1, 40)(random_));
    }
}

void FaultInjector::printCounters(std::ostream &out, const char *transport) const
{
    out << "vane-sim: faults " << transport << ": requests " << requests_.load();
    for (int i = 0; i < int(Fault::Count); ++i)
        if (i != int(Fault::BadCrc) || rtu_)
            out << ", " << kNames[i] << " " << counts_[i].load();
    out << std::endl;
}

} // namespace vanesim

#pragma once

// Answers a seeded share of requests wrongly, the way real buses and devices do. libmodbus
// still works out every answer: it writes into one end of a socket pair instead of the
// client's descriptor, the injector takes the frame from the other end, and then sends it
// as it is, late, in pieces, damaged, from another station, or not at all.
//
// Faults that stand for a request the device never carried out (an exception, an answer
// from another station, a stale repeat of the previous answer) leave the tables as they
// were: a write is then not stored, so a driver that takes its answer for a confirmation
// can be caught by reading the tables back over a fault-free port.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <random>
#include <vector>

typedef struct _modbus modbus_t;

namespace vanesim {

class SimMap;

enum class Fault {
    None,         // the right answer at once
    Late,         // the right answer after the driver has given up waiting (RTU: in front of the next answer)
    Silent,       // no answer
    Split,        // the right answer in two or three pieces with pauses between them
    BadCrc,       // RTU: one CRC byte damaged
    OtherStation, // RTU address / TCP unit identifier of another device, with its own data
    Exception,    // an exception answer; the request is not carried out
    WrongLength,  // a well-formed answer with a data byte or register too few or too many
    Stale,        // the previous answer again (RTU: right in front of this one's); over TCP the request is not carried out
    Count
};

class FaultInjector
{
public:
    // `rate` 0..1 is the share of requests answered wrongly. `rtu` selects RTU framing
    // (address, PDU, CRC) instead of Modbus TCP framing (MBAP header, PDU).
    FaultInjector(double rate, uint32_t seed, bool rtu);
    ~FaultInjector();
    FaultInjector(const FaultInjector &) = delete;
    FaultInjector &operator=(const FaultInjector &) = delete;

    // Answers one request received on `fd` through `context` (whose descriptor is `fd`).
    void answer(SimMap &map, modbus_t *context, int fd, const uint8_t *request, int length);
    // One line: requests seen and what was done to their answers.
    void printCounters(std::ostream &out, const char *transport) const;

private:
    Fault pick();
    std::vector<uint8_t> capture(SimMap &map, modbus_t *context, int fd, const uint8_t *request, int length);
    std::vector<uint8_t> frame(const uint8_t *request, int length, const std::vector<uint8_t> &pdu, int unit) const;
    void send(int fd, const std::vector<uint8_t> &bytes, Fault fault);

    double rate_;
    bool rtu_;
    std::mt19937 random_;
    int pair_[2] = {-1, -1};
    std::vector<uint8_t> previous_;
    std::vector<uint8_t> held_; // RTU: a late answer, sent in front of the next one
    std::atomic<uint64_t> requests_{0};
    std::atomic<uint64_t> counts_[int(Fault::Count)] = {};
};

} // namespace vanesim

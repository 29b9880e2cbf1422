#pragma once

// The data tables of a libmodbus test peer, guarded by one lock: the peer's service thread
// answers requests from them while the test presets and inspects them. Also counts the
// requests the peer answered, so tests can show that a refused request sent nothing.

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

typedef struct _modbus modbus_t;
struct _modbus_mapping_t;

namespace vanetest {

struct PeerMapSizes {
    int coils = 65536;
    int discreteInputs = 65536;
    int holdingRegisters = 65536;
    int inputRegisters = 65536;
};

class PeerMap
{
public:
    explicit PeerMap(const PeerMapSizes &sizes = PeerMapSizes());
    virtual ~PeerMap();
    PeerMap(const PeerMap &) = delete;
    PeerMap &operator=(const PeerMap &) = delete;

    // Offsets are zero-based; an offset outside the table throws std::out_of_range.
    void setCoil(int address, bool on);
    bool coil(int address) const;
    void setCoils(int address, const std::vector<bool> &bits);
    std::vector<bool> coils(int address, int count) const;

    void setDiscreteInput(int address, bool on);
    bool discreteInput(int address) const;
    void setDiscreteInputs(int address, const std::vector<bool> &bits);
    std::vector<bool> discreteInputs(int address, int count) const;

    void setHoldingRegister(int address, uint16_t value);
    uint16_t holdingRegister(int address) const;
    void setHoldingRegisters(int address, const std::vector<uint16_t> &values);
    std::vector<uint16_t> holdingRegisters(int address, int count) const;

    void setInputRegister(int address, uint16_t value);
    uint16_t inputRegister(int address) const;
    void setInputRegisters(int address, const std::vector<uint16_t> &values);
    std::vector<uint16_t> inputRegisters(int address, int count) const;

    // Register contents as the bytes on the wire (high byte of each register first);
    // an odd byte count fills the last register's high byte and keeps its low byte.
    void setHoldingBytes(int address, const QByteArray &bytes);
    QByteArray holdingBytes(int address, int byteCount) const;
    void setInputBytes(int address, const QByteArray &bytes);
    QByteArray inputBytes(int address, int byteCount) const;

    // Requests addressed to this peer that it has answered (exception answers included).
    int requestCount() const;
    bool waitForRequests(int count, int timeoutMs) const;
    void resetRequestCount();

protected:
    // Answers one received request from the tables and counts it; the service thread's
    // only way into the tables. Returns modbus_reply's result.
    int answer(modbus_t *context, const uint8_t *request, int length);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable answered_;
    _modbus_mapping_t *mapping_;
    int requests_ = 0;
};

} // namespace vanetest

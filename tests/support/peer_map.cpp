#include "tests/support/peer_map.h"

#include <modbus.h>

#include <chrono>
#include <stdexcept>
#include <string>

namespace vanetest {

namespace {

void checkRange(int address, int count, int size, const char *table)
{
    if (address < 0 || count < 0 || address + count > size)
        throw std::out_of_range(std::string("offset outside the peer's ") + table);
}

template<typename T>
void storeRange(T *table, int size, int address, const std::vector<T> &values, const char *name)
{
    checkRange(address, int(values.size()), size, name);
    for (size_t i = 0; i < values.size(); ++i)
        table[size_t(address) + i] = values[i];
}

template<typename T>
std::vector<T> loadRange(const T *table, int size, int address, int count, const char *name)
{
    checkRange(address, count, size, name);
    return std::vector<T>(table + address, table + address + count);
}

std::vector<uint8_t> toBitBytes(const std::vector<bool> &bits)
{
    return std::vector<uint8_t>(bits.begin(), bits.end());
}

std::vector<bool> fromBitBytes(const std::vector<uint8_t> &bytes)
{
    std::vector<bool> bits;
    for (uint8_t b : bytes)
        bits.push_back(b != 0);
    return bits;
}

void storeBytes(uint16_t *table, int size, int address, const QByteArray &bytes, const char *name)
{
    checkRange(address, (bytes.size() + 1) / 2, size, name);
    for (int i = 0; i < bytes.size(); ++i) {
        uint16_t &reg = table[address + i / 2];
        const uint16_t b = uint8_t(bytes.at(i));
        reg = (i % 2 == 0) ? uint16_t((reg & 0x00FF) | (b << 8)) : uint16_t((reg & 0xFF00) | b);
    }
}

QByteArray loadBytes(const uint16_t *table, int size, int address, int byteCount, const char *name)
{
    checkRange(address, (byteCount + 1) / 2, size, name);
    QByteArray bytes;
    for (int i = 0; i < byteCount; ++i) {
        const uint16_t reg = table[address + i / 2];
        bytes.append(char(i % 2 == 0 ? reg >> 8 : reg & 0xFF));
    }
    return bytes;
}

} // namespace

PeerMap::PeerMap(const PeerMapSizes &sizes)
    : mapping_(modbus_mapping_new(sizes.coils, sizes.discreteInputs, sizes.holdingRegisters,
                                  sizes.inputRegisters))
{
    if (!mapping_)
        throw std::runtime_error("modbus_mapping_new failed");
}

PeerMap::~PeerMap()
{
    modbus_mapping_free(mapping_);
}

#define VANE_PEER_BITS(Setter, Getter, SetterN, GetterN, field, count, name)                       \
    void PeerMap::Setter(int address, bool on) { SetterN(address, std::vector<bool>{on}); }        \
    bool PeerMap::Getter(int address) const { return GetterN(address, 1).front(); }                \
    void PeerMap::SetterN(int address, const std::vector<bool> &bits)                              \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        storeRange(mapping_->field, mapping_->count, address, toBitBytes(bits), name);             \
    }                                                                                              \
    std::vector<bool> PeerMap::GetterN(int address, int n) const                                   \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        return fromBitBytes(loadRange<uint8_t>(mapping_->field, mapping_->count, address, n, name)); \
    }

#define VANE_PEER_REGISTERS(Setter, Getter, SetterN, GetterN, SetBytes, GetBytes, field, count, name) \
    void PeerMap::Setter(int address, uint16_t value) { SetterN(address, {value}); }               \
    uint16_t PeerMap::Getter(int address) const { return GetterN(address, 1).front(); }            \
    void PeerMap::SetterN(int address, const std::vector<uint16_t> &values)                        \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        storeRange(mapping_->field, mapping_->count, address, values, name);                       \
    }                                                                                              \
    std::vector<uint16_t> PeerMap::GetterN(int address, int n) const                               \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        return loadRange<uint16_t>(mapping_->field, mapping_->count, address, n, name);            \
    }                                                                                              \
    void PeerMap::SetBytes(int address, const QByteArray &bytes)                                   \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        storeBytes(mapping_->field, mapping_->count, address, bytes, name);                        \
    }                                                                                              \
    QByteArray PeerMap::GetBytes(int address, int byteCount) const                                 \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(mutex_);                                                  \
        return loadBytes(mapping_->field, mapping_->count, address, byteCount, name);              \
    }

VANE_PEER_BITS(setCoil, coil, setCoils, coils, tab_bits, nb_bits, "coils")
VANE_PEER_BITS(setDiscreteInput, discreteInput, setDiscreteInputs, discreteInputs,
               tab_input_bits, nb_input_bits, "discrete inputs")
VANE_PEER_REGISTERS(setHoldingRegister, holdingRegister, setHoldingRegisters, holdingRegisters,
                    setHoldingBytes, holdingBytes, tab_registers, nb_registers, "holding registers")
VANE_PEER_REGISTERS(setInputRegister, inputRegister, setInputRegisters, inputRegisters,
                    setInputBytes, inputBytes, tab_input_registers, nb_input_registers,
                    "input registers")

#undef VANE_PEER_BITS
#undef VANE_PEER_REGISTERS

int PeerMap::requestCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool PeerMap::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return requests_ >= count; });
}

void PeerMap::resetRequestCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_ = 0;
}

int PeerMap::answer(modbus_t *context, const uint8_t *request, int length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // Counted before the answer leaves, so a test that has its answer sees the count.
    ++requests_;
    answered_.notify_all();
    return modbus_reply(context, request, length, mapping_);
}

} // namespace vanetest

#include "tools/sim/register_encoding.h"

#include <cstring>

namespace vanesim {

uint32_t floatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint64_t doubleBits(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<uint16_t> encodeRegisters(uint64_t bits, const std::string &order)
{
    const size_t width = order.size();
    std::vector<uint8_t> wire;
    for (char letter : order) {
        const size_t significance = width - 1 - size_t(letter - 'A'); // A is the top byte
        wire.push_back(uint8_t(bits >> (8 * significance)));
    }
    std::vector<uint16_t> registers;
    for (size_t i = 0; i + 1 < wire.size(); i += 2)
        registers.push_back(uint16_t(wire[i] << 8 | wire[i + 1]));
    return registers;
}

std::vector<uint16_t> encodeText(const std::string &text)
{
    std::vector<uint16_t> registers;
    for (size_t i = 0; i < text.size(); i += 2) {
        const uint8_t high = uint8_t(text[i]);
        const uint8_t low = i + 1 < text.size() ? uint8_t(text[i + 1]) : 0;
        registers.push_back(uint16_t(high << 8 | low));
    }
    return registers;
}

} // namespace vanesim

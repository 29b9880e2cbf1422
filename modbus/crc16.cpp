#include "crc16.h"

namespace vane::modbus {

unsigned short crc16Modbus(const QByteArray& bytes, int length)
{
    unsigned int crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        const unsigned int byte = i < bytes.size() ? static_cast<unsigned char>(bytes.at(i)) : 0u;
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1u) != 0;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001u;
        }
    }
    return static_cast<unsigned short>(crc);
}

} // namespace vane::modbus

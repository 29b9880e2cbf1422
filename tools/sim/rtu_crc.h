#pragma once

// The CRC that ends every Modbus RTU frame (polynomial 0xA001, start 0xFFFF), low byte first
// on the wire.

#include <cstddef>
#include <cstdint>

namespace vanesim {

uint16_t rtuCrc(const uint8_t *data, size_t length);

} // namespace vanesim

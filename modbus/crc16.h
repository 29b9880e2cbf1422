#pragma once

#include <QByteArray>

namespace vane::modbus {

// CRC-16/MODBUS over the first `length` bytes of `bytes`, computed bit by bit: start at 0xFFFF,
// XOR each byte into the low byte, shift right eight times, XOR 0xA001 whenever a 1 is shifted out.
// Positions at or beyond the end of `bytes` count as 0 bytes. Sent low byte first.
unsigned short crc16Modbus(const QByteArray& bytes, int length);

} // namespace vane::modbus

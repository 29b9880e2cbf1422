#pragma once

#include <QByteArray>

namespace vane::modbus {

// CRC-16/MODBUS over the first `length` bytes of `bytes`: start at 0xFFFF, XOR each byte into the
// low byte, shift right eight times, XOR 0xA001 whenever a 1 is shifted out (computed through
// tables built from exactly that rule, eight bytes at a time, or sixteen at a time by carry-less
// multiplication where the processor has it).
// Positions at or beyond the end of `bytes` count as 0 bytes. Sent low byte first.
unsigned short crc16Modbus(const QByteArray& bytes, int length);

// The same over `length` bytes at `bytes`, going on from `start` (0xFFFF for a frame's first byte).
unsigned short crc16Modbus(const char* bytes, int length, unsigned short start = 0xFFFF);

} // namespace vane::modbus

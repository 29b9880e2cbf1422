#pragma once

#include <QByteArray>

namespace vane::rtu {

// CRC-16/MODBUS over the first `length` bytes of `bytes`, computed bit by bit: start at 0xFFFF,
// XOR each byte into the low byte, shift right eight times, XOR 0xA001 whenever a 1 is shifted out.
// Positions at or beyond the end of `bytes` count as 0 bytes. Sent low byte first.
unsigned short crc16Modbus(const QByteArray& bytes, int length);

// The size an RTU answer will have, judged from the bytes received so far. Until the fields that
// size it have arrived, the least any answer takes (5 bytes), so that a pause after the first
// byte does not end it; 0 for a function code without a known answer layout.
// `requestFunction` is the function code of the request; `expectedSize` (0: unknown) is the size
// the transaction expects of a normal answer to it and takes precedence over a byte count field.
// Exception answers take 5 bytes, read answers 5 + their byte count, write answers 8.
int answerSize(const QByteArray& received, int requestFunction, int expectedSize);

} // namespace vane::rtu

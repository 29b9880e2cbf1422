#pragma once

// Puts a value's bytes into 16-bit registers in a named byte order. The order names the
// value's bytes as they stand on the wire, A being the most significant: "ABCD" is plain
// big-endian, "CDAB" swaps the register pair, "BADC" swaps the bytes in each register,
// "DCBA" reverses all; likewise for the 8-byte orders.

#include <cstdint>
#include <string>
#include <vector>

namespace vanesim {

uint32_t floatBits(float value);
uint64_t doubleBits(double value);

// The low `order.size()` bytes of `bits` (2, 4 or 8) as registers, high byte first.
std::vector<uint16_t> encodeRegisters(uint64_t bits, const std::string &order);

// Text characters two per register, the first in the high byte; odd lengths pad with 0.
std::vector<uint16_t> encodeText(const std::string &text);

} // namespace vanesim

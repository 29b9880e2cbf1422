#pragma once

namespace vane::modbus {

// The most one Modbus request may carry, as its quantity field counts them. A read answer and a
// write request each have to fit the 253-byte PDU: 125 registers or 2000 bits come back in one
// answer; a write's own PDU holds 123 registers or 1968 coils beside its header.
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxReadBits = 2000;
constexpr int kMaxWriteRegisters = 123;
constexpr int kMaxWriteCoils = 1968;

// Coils, discrete inputs and registers are numbered 0 to 65535 in each table.
constexpr int kLastTableOffset = 65535;

} // namespace vane::modbus

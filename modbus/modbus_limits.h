#pragma once

namespace vane::modbus {

// The most one Modbus request may carry: what fits in a 253-byte PDU.
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxReadBits = 2000;
constexpr int kMaxWriteRegisters = 123;
constexpr int kMaxWriteCoils = 1968;

// Coils, discrete inputs and registers are numbered 0 to 65535 in each table.
constexpr int kLastTableOffset = 65535;

} // namespace vane::modbus

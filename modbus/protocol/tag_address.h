#pragma once

#include <QString>

namespace vane::modbus {

enum class Table { None, Coils, DiscreteInputs, InputRegisters, HoldingRegisters };

// A tag address: a two-character area prefix ("0x", "1x", "3x", "4x", either case) at the very
// start, then the offset in decimal digits only. Offsets that are missing or too large for an
// int come back as -1, so they can never reach register 0 by accident.
struct TagAddress {
    Table table = Table::None; // None also when the text after the prefix is not all digits
    qint64 offset = -1;
};

TagAddress parseTagAddress(const QString& address);

// The text after the prefix converted as an int: -1 when it is empty or all digits but out of
// range, otherwise QString::toInt's result (0 when it does not convert).
int offsetOf(const QString& address);

// offset + units stays at most 65535, computed without overflow: the bound every request of the
// drivers keeps, so the last register or bit a request touches is 65534 at most.
inline bool withinTable(qint64 offset, qint64 units) { return offset + units <= 65535; }

} // namespace vane::modbus

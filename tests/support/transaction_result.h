#pragma once

// Transaction results compared with the links' result codes (0, -1, -2, -3), as the tests state them.
#include <ostream>

#include "modbus/protocol/pdu.h"

namespace vane::modbus {
inline bool operator==(TransactionResult result, int code) { return static_cast<int>(result) == code; }
inline bool operator!=(TransactionResult result, int code) { return static_cast<int>(result) != code; }
inline std::ostream& operator<<(std::ostream& out, TransactionResult result) { return out << static_cast<int>(result); }
} // namespace vane::modbus

#pragma once

#include <QByteArray>

#include <functional>

#include "contract/data_type.h"
#include "labelvalue/CLabelVariable.h"

namespace vane::modbus {

enum class AreaKind { Bits, Registers };

// Bytes a run of `count` elements of `type` takes. In a register area an odd run of 8-bit elements
// is cut to an even one (a register holds two); types without a size take 0.
int byteLength(DataType type, int count, bool registerArea);

// One read transaction: (quantity, reply) -> transaction result. The quantity is the bit count
// in the bit areas and the byte length in the register areas.
using ReadTransaction = std::function<int(int quantity, QByteArray* reply)>;
// One write transaction: (quantity, data) -> transaction result; quantity as for reads.
using WriteTransaction = std::function<int(int quantity, const QByteArray& data)>;

// Sizes the request, runs the one transaction, maps its result to a status and decodes the answer
// with the type's codec. A type the area cannot decode ends with status 2 after the transaction.
CLabelVariable planRead(AreaKind area, DataType type, int count, const ReadTransaction& transaction);

enum class RegisterTypes { All, PlainOnly };

// Encodes the record's elements and runs the one transaction. Refused before anything is sent,
// keeping the record's timestamp: a type the area cannot encode (status 7 for coils, 2 for
// registers), a value that is not the type's list (2), or fewer elements than the write needs (4).
CLabelVariable planWrite(AreaKind area, DataType type, const CLabelVariable& values, int count,
                         RegisterTypes registerTypes, const WriteTransaction& transaction);

} // namespace vane::modbus

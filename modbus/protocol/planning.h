#pragma once

#include <QByteArray>


#include "contract/data_type.h"
#include "function_ref.h"
#include "labelvalue/CLabelVariable.h"
#include "pdu.h"

namespace vane::modbus {

enum class AreaKind { Bits, Registers };
enum class Direction { Read, Write };

// Bytes a run of `count` elements of `type` takes. In a register area an odd run of 8-bit elements
// is cut to an even one (a register holds two); types without a size take 0.
int byteLength(DataType type, int count, bool registerArea);

// The quantity field of the one request that reads or writes `count` elements of `type`: bits
// (coils) in the bit areas, registers in the register areas; 0 when the request carries nothing.
// Reads take eight bits per byte of a non-Bool type from the bit areas; coil writes take one coil
// per Bool, Int8 or UInt8 element and size no other type. In 64 bits: any count a host passes
// is sized without overflow.
qint64 frameQuantity(AreaKind area, Direction direction, DataType type, qint64 count);

// Whether a request stays inside its table: the offset plus the element count, or plus the
// registers or bits the request spans where that is more, is at most 65535.
bool requestWithinTable(qint64 offset, AreaKind area, Direction direction, DataType type, int count);

// The status a transaction's result gives the host's record: 0 done, 7 the answer failed a check
// (or the request could not be framed), 8 no answer, 9 no transport.
int statusOf(TransactionResult result);

// One read transaction: (quantity, reply) -> transaction result. The quantity is the bit count
// in the bit areas and the byte length in the register areas.
using ReadTransaction = FunctionRef<TransactionResult(int quantity, QByteArray* reply)>;
// One write transaction: (quantity, data) -> transaction result; quantity as for reads. The
// transaction may take `data` over: it has room for the request around it.
using WriteTransaction = FunctionRef<TransactionResult(int quantity, QByteArray& data)>;

// Sizes the request, runs the one transaction, maps its result to a status and decodes the answer
// with the type's codec. Refused before anything is sent: a request for nothing (status 2 when
// the area does not decode the type, otherwise 4) or beyond the Modbus read limits (4). A type
// the area cannot decode otherwise ends with status 2 after the transaction.
CLabelVariable planRead(AreaKind area, DataType type, int count, ReadTransaction transaction);

enum class RegisterTypes { All, PlainOnly };
// What a write refused before sending carries as its time: the refusal's, or the host's own.
enum class RefusalTime { Now, Kept };

// Encodes the record's elements and runs the one transaction. Refused before anything is sent,
// with the timestamp `refusalTime` says, in this order: a type the area cannot encode (status 7 for
// coils, 2 for registers), a request for nothing or beyond the Modbus write limits (4), a value
// that is not the type's list (2), or fewer elements than the write needs (4).
// The record handed back is the host's record `values` with the outcome; its value is moved over.
CLabelVariable planWrite(AreaKind area, DataType type, CLabelVariable&& values, int count,
                         RegisterTypes registerTypes, RefusalTime refusalTime, WriteTransaction transaction);

// The host's record moved instead of copied: a QVariant holding a list is copied through the
// meta-type system, which costs more than the whole rest of a write's record.
CLabelVariable takeRecord(CLabelVariable&& values);

} // namespace vane::modbus

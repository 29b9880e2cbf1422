#pragma once

// The Modbus TCP envelope: the MBAP header (transaction identifier, protocol 0, length, unit
// identifier) in front of a PDU.

#include <QByteArray>

#include "modbus/link/framing.h"
#include "modbus/protocol/pdu.h"

namespace vane::tcp {

// The header's seven bytes; a PDU's function code follows them.
constexpr int kMbapHeaderSize = 7;

// A frame carrying `pdu` to unit `unitId` (its low 8 bits), under a fresh transaction identifier
// drawn from the runtime library's random generator, high byte first. The header goes in front of
// the PDU's own bytes, in the room the PDU builders leave.
QByteArray mbapFrame(int unitId, QByteArray pdu);

// Where an answer ends: its length field tells once six bytes are in; the size the transaction
// expects (0: not known) ends it as well, so an answer whose length field is wrong but whose size
// is right is not waited on. Fits vane::modbus::AnswerSizer.
int mbapAnswerSize(const QByteArray& received, int requestFunction, int expectedSize);

// A whole frame at the start of `received` under another transaction identifier than `request`'s:
// the late answer of an earlier request. Its size, or 0. Fits vane::modbus::ForeignFrame.
int otherTransactionFrame(const QByteArray& received, const QByteArray& request);

// Bytes 0 and 1 of both frames agree.
bool sameTransaction(const QByteArray& answer, const QByteArray& request);

// A read answer to `request` carrying `dataLength` data bytes, checked for function code, size,
// then transaction and protocol identifier, in that order. The unit identifier is not checked:
// gateways rewrite it. When Ok, the data start at `*dataOffset`.
modbus::Verdict judgeReadAnswer(const QByteArray& request, const QByteArray& answer, int stationId, int dataLength,
                                int* dataOffset);

// A write answer to `request` (framed as `frame`): its size, its transaction and protocol
// identifier, then its own echo of start and quantity.
modbus::Verdict judgeWriteAnswer(const modbus::PduRequest& request, const QByteArray& frame, const QByteArray& answer,
                                 int stationId);

// Modbus TCP as the shared link runs it.
extern const modbus::Framing kFraming;

} // namespace vane::tcp

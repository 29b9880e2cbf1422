#pragma once

// The Modbus RTU envelope: device address in front of a PDU, CRC-16/MODBUS behind it, low byte first.

#include <QByteArray>

#include "modbus/link/framing.h"
#include "modbus/protocol/pdu.h"

namespace vane::rtu {

// A frame carrying `pdu` to device `address` (its low 8 bits), sealed with its CRC; built around
// the PDU's own bytes.
QByteArray rtuFrame(int address, QByteArray pdu);

// The frame's last two bytes are the CRC of all bytes before them.
bool crcMatches(const QByteArray& frame);

// A read answer to `request` from station `stationId` carrying `dataLength` data bytes, checked for
// function code, size, CRC and device address, in that order. When Ok, the data start at `*dataOffset`.
modbus::Verdict judgeReadAnswer(const QByteArray& request, const QByteArray& answer, int stationId, int dataLength,
                                int* dataOffset);

// A write answer to `request` (sent as `frame`) from station `stationId`: its address, CRC, a write
// function code (06, 15 and 16 are taken for each other), then its own echo of start and quantity.
modbus::Verdict judgeWriteAnswer(const modbus::PduRequest& request, const QByteArray& frame, const QByteArray& answer,
                                 int stationId);

// The size an RTU answer will have, judged from the bytes received so far. Until the fields that
// size it have arrived, the least any answer takes (5 bytes), so that a pause after the first
// byte does not end it; 0 for a function code without a known answer layout.
// `requestFunction` is the function code of the request; `expectedSize` (0: unknown) is the size
// the transaction expects of a normal answer to it and takes precedence over a byte count field.
// Exception answers take 5 bytes, read answers 5 + their byte count, write answers 8.
int answerSize(const QByteArray& received, int requestFunction, int expectedSize);

// Modbus RTU as the shared link runs it.
extern const modbus::Framing kFraming;

} // namespace vane::rtu

#pragma once

// Building and taking apart Modbus frames in tests: CRC-16/MODBUS, PDUs, MBAP (TCP) and
// RTU answers to a given request. Every builder returns a correct frame; tests corrupt
// the result (chop, append, flip a byte) to make the faulty variants.
//
// A request or answer is a QByteArray of raw bytes, as the drivers use them.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace vanetest {

// Modbus exception codes used in tests.
enum ExceptionCode : uint8_t {
    IllegalFunction = 0x01,
    IllegalDataAddress = 0x02,
    IllegalDataValue = 0x03,
    ServerDeviceFailure = 0x04,
};

// CRC-16/MODBUS over all bytes (initial 0xFFFF, polynomial 0xA001 reflected, no final XOR).
uint16_t crc16Modbus(const QByteArray &bytes);
// The frame with its CRC appended, low byte first.
QByteArray appendCrc(QByteArray frame);
// True when the last two bytes are the CRC of the bytes before them.
bool hasValidCrc(const QByteArray &frame);

// Registers as big-endian byte pairs, and back.
QByteArray registerBytes(const std::vector<uint16_t> &registers);
std::vector<uint16_t> registersFromBytes(const QByteArray &bytes);
// Bits packed as on the wire: first bit in the least significant bit of the first byte.
QByteArray packBits(const std::vector<bool> &bits);
std::vector<bool> unpackBits(const QByteArray &bytes, int count);

// The PDU (function code onward) of a request or answer frame.
QByteArray mbapPdu(const QByteArray &frame); // bytes from offset 7
QByteArray rtuPdu(const QByteArray &frame);  // without address and CRC

// Fields of a request PDU (function code at offset 0); -1 where the PDU is too short.
int pduFunction(const QByteArray &pdu);
int pduStart(const QByteArray &pdu);    // offsets 1-2
int pduQuantity(const QByteArray &pdu); // offsets 3-4 (the value for function 06)
// The data bytes of a function 15 or 16 request (after the byte count); empty otherwise.
QByteArray pduWriteData(const QByteArray &pdu);

// Answer PDUs.
QByteArray readAnswerPdu(int function, const QByteArray &data); // function, byte count, data
QByteArray writeAnswerPdu(const QByteArray &requestPdu);        // 05/06 echo; 15/16 start+quantity
QByteArray exceptionPdu(int function, int code);                // function | 0x80, code

// Whole frames. The MBAP builders echo the request's transaction identifier and unit
// identifier and set protocol 0 and a correct length field; the RTU builders take the
// request's address and append the CRC.
QByteArray mbapFrame(const QByteArray &request, const QByteArray &pdu);
QByteArray rtuFrame(int address, const QByteArray &pdu);

QByteArray mbapReadAnswer(const QByteArray &request, const QByteArray &data);
QByteArray mbapWriteAnswer(const QByteArray &request);
QByteArray mbapExceptionAnswer(const QByteArray &request, int code);
QByteArray rtuReadAnswer(const QByteArray &request, const QByteArray &data);
QByteArray rtuWriteAnswer(const QByteArray &request);
QByteArray rtuExceptionAnswer(const QByteArray &request, int code);

// Request frames, for driving peers from tests without a driver.
QByteArray mbapRequest(uint16_t transactionId, int unit, const QByteArray &pdu);
QByteArray rtuRequest(int address, const QByteArray &pdu);
QByteArray readRequestPdu(int function, int start, int quantity);

} // namespace vanetest

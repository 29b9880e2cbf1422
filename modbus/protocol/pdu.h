#pragma once

// Modbus PDUs (function code and data), as both protocols carry them: the requests of the
// functions the drivers use, with the Modbus quantity limits, and the one judgement of an answer.
// The envelopes around them (MBAP header, RTU address and CRC) belong to each protocol.

#include <QByteArray>

namespace vane::modbus {

enum FunctionCode : unsigned char {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteSingleRegister = 6,
    WriteMultipleCoils = 15,
    WriteMultipleRegisters = 16,
};

// Room the builders leave around a PDU for the largest envelope (the MBAP header), so that framing
// it needs no second buffer.
constexpr int kEnvelopeRoom = 7;
// Room a write's data needs around it to become its request frame in the same buffer: the longest
// fixed fields (function, start, quantity, byte count) and the envelope.
constexpr int kRequestRoom = 6 + kEnvelopeRoom;

// One request and what a good answer to it looks like. `pdu` is empty when the request cannot be
// made: a quantity of 0, beyond the Modbus limits, or running past the end of the table.
struct PduRequest {
    QByteArray pdu;
    int function = 0;
    int start = 0;
    int quantity = 0;        // bits or registers; 1 for a single register
    int answerDataBytes = 0; // reads: the data bytes the answer must carry

    bool valid() const { return !pdu.isEmpty(); }
    bool isRead() const { return function >= ReadCoils && function <= ReadInputRegisters; }
    // Function code, byte count and data of a read answer; function, start and quantity (or value) of a write echo.
    int answerSize() const { return isRead() ? 2 + answerDataBytes : 5; }
};

// Functions 01 to 04: `quantity` bits or registers from `start`; the answer must carry
// `answerDataBytes` data bytes. Built in `buffer`'s storage when it has the room (a link hands
// back the buffer of its last frame, so that polling allocates nothing for its requests).
PduRequest readRequest(int function, int start, int quantity, int answerDataBytes, QByteArray buffer = QByteArray());

// Function 15: `coils` coils from `start`, packed eight to a byte, low coil in the low bit.
// Missing data bytes go out as 0. The request is built in `packed`'s own buffer.
PduRequest writeCoilsRequest(int start, int coils, QByteArray packed);

// Function 06 when exactly 2 data bytes are written, else 16 with byteLength / 2 registers;
// always 16 with `singleAsMultiple`, for devices that know no 06. Missing data bytes go out as 0.
// The request is built in `data`'s own buffer.
PduRequest writeRegistersRequest(int start, int byteLength, QByteArray data, bool singleAsMultiple = false);

// What the checks of an answer (envelope and PDU) found, in the order each protocol checks.
enum class Verdict {
    Ok,
    NoAnswer,         // nothing came back
    WrongFunction,    // another function code, exception answers included (writes: not 06, 15 or 16)
    WrongLength,
    BadCrc,           // RTU
    WrongStation,     // RTU: another device address
    WrongTransaction, // TCP: another transaction identifier, or not a Modbus frame (protocol identifier not 0)
    NotConfirmed,     // a write answer that is not the write's own echo of start and quantity
};

// The outcome of one transaction, as the links report it and the planning turns it into a status.
// The values are the links' result codes.
enum class TransactionResult {
    Done = 0,
    BadAnswer = -1,   // the answer failed a check
    NoAnswer = -2,    // nothing came back (TCP: also no usable transport)
    NoTransport = -3, // RTU: no transport to send on; nothing was sent
    NotBuilt = -4,    // the request cannot be put in a frame; nothing was sent
};

inline TransactionResult resultOf(Verdict verdict)
{
    return verdict == Verdict::Ok ? TransactionResult::Done
        : verdict == Verdict::NoAnswer ? TransactionResult::NoAnswer
                                       : TransactionResult::BadAnswer;
}

struct PduAnswer {
    Verdict check = Verdict::WrongFunction; // Ok, WrongFunction, WrongLength or NotConfirmed
    int dataOffset = 0;                     // reads: where the data starts within the answer PDU
};

// Makes room for an envelope around a PDU in its own buffer: `front` bytes in front of it and
// `back` behind, both left for the caller to fill. Returns the frame's first byte.
char* envelop(QByteArray& pdu, int front, int back);

// Appends the `length` data bytes at `offset` of an accepted answer to `out`. Instead of a copy,
// an empty `out` shares the answer's own buffer, trimmed to the data in place; the link keeps that
// buffer for a later answer, and takes it up again once the data's holder is done with it.
void appendAnswerData(QByteArray* out, QByteArray& answer, int offset, int length);

// Judges an answer PDU (`size` bytes at `pdu`, function code first) against its request.
// Reads: the function code, then the exact size. Writes: 06, 15 and 16 are taken for each
// other (devices answer either), then the size, then the echoed start and, for 15 and 16, the
// quantity. The byte count of a read answer is taken on trust; its size already decides.
PduAnswer parseAnswer(const PduRequest& request, const char* pdu, int size);

// The same for the PDU inside a whole answer frame, between `headerSize` bytes in front and
// `trailerSize` behind. A frame too short for its trailer still shows its function code.
PduAnswer parseFramedAnswer(const PduRequest& request, const QByteArray& frame, int headerSize, int trailerSize);

} // namespace vane::modbus

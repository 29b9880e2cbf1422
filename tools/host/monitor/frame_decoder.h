#pragma once

// What one Modbus RTU frame on a line says: its length as its function and byte count tell it,
// its CRC, and the fields of the request or answer it is.

#include <QByteArray>
#include <QString>

namespace vane::monitor {

// The largest RTU frame: address, a 253-byte PDU, CRC.
constexpr int kMaxFrameBytes = 256;
// Address, function code, CRC: nothing shorter is a frame.
constexpr int kMinFrameBytes = 4;

enum class Direction { Request, Answer };

// The length of a whole frame (address to CRC) that starts with the `size` bytes at `bytes`, sent
// in `direction`: the length when the function and, where it has one, the byte count tell it; 0
// when more bytes are needed to tell; -1 when the function does not tell (unknown, or of
// variable length).
int expectedLength(const char* bytes, int size, Direction direction);

// The CRC at the end of `frame` is that of the bytes in front of it.
bool crcGood(const QByteArray& frame);

// A 16-bit word of the frame at `index`, high byte first; -1 past the end.
int wordAt(const QByteArray& frame, int index);

enum class FrameKind { Request, Answer, Exception, Noise };

// The fields of a frame taken as a request or an answer of its function. -1: the frame has no
// such field.
struct FrameFields {
    int start = -1;     // first coil or register
    int quantity = -1;  // coils or registers asked for or written
    int byteCount = -1; // the byte count the frame states
    int exceptionCode = -1;
    bool bits = false;  // the data are coils or discrete inputs, not registers
    QByteArray data;    // a read answer's data, a write request's values (a single write: its value)
};

FrameFields fieldsOf(const QByteArray& frame, FrameKind kind);

// "read holding registers" for 3; "function 65" for a code without a name here.
QString functionName(int function);

// An answer of `answer`'s function fits the request: a read carries the bytes its quantity
// needs, a write confirms the request's start and quantity (a single write: its value as well).
bool answerFitsRequest(const QByteArray& request, const QByteArray& answer);

} // namespace vane::monitor

#pragma once

// The request/answer exchange both transports run on their system descriptor: write the request,
// then collect the answer until its size is reached, the line falls quiet, or time runs out.
// Working on the descriptor spares each exchange Qt's buffering and event posting; the Qt object
// above it keeps its state and its notifications between exchanges.

#include <QByteArray>
#include <QElapsedTimer>

namespace vane::modbus {

// The size an answer will have, judged from the bytes received so far; 0 while that cannot be
// told. `requestFunction` and `expectedSize` (0: unknown) describe the request it answers.
using AnswerSizer = int (*)(const QByteArray& received, int requestFunction, int expectedSize);
// The size of a whole frame at the start of `received` that answers another request than
// `request` (a late answer to an earlier one); 0 when there is none.
using ForeignFrame = int (*)(const QByteArray& received, const QByteArray& request);

struct AnswerShape {
    AnswerSizer size = nullptr;
    int requestFunction = 0;
    int expectedSize = 0;
    ForeignFrame foreign = nullptr; // frames that can tell whose answer they are
    const QByteArray* request = nullptr;

    int of(const QByteArray& received) const { return size ? size(received, requestFunction, expectedSize) : 0; }
};

// Upper bounds of one exchange. Every wait ends as soon as its condition holds.
struct AnswerTiming {
    int writeTimeoutMs = 0;  // handing the request to the system
    int firstByteMs = 0;     // the answer must begin within this
    int collectMs = 0;       // once begun, collecting stops after this at the latest
    int quietEndUs = 0;      // silence that ends an answer whose size cannot be told (0: none)
    int answerLimitMs = 0;   // the whole wait for the answer, begun or not (0: no such bound)
};

// What became of the descriptor during a call.
struct DescriptorState {
    // A socket reads 0 bytes only at its end, a serial line in raw mode whenever nothing waits; a
    // socket is written to without the signal a peer gone would raise.
    bool socket = true;
    bool endOfStream = false; // the peer closed its side, or the descriptor failed
};

// Reads what is waiting on a non-blocking descriptor, appending to `into` when given (else
// dropping it). Returns the number of bytes read; notes an end of stream in `state`.
qint64 readWaiting(int fd, QByteArray* into, DescriptorState& state);

// Waits up to `timeoutUs` for input (or an end of stream) on the descriptor.
bool waitReadable(int fd, qint64 timeoutUs);

// Hands all of `bytes` to the descriptor, waiting up to `timeoutMs` for room. False when it could not.
bool writeAll(int fd, const QByteArray& bytes, int timeoutMs, DescriptorState& state);

// Collects an answer on the descriptor into `answer`, which may already hold bytes that arrived
// before. `clock` was started when the wait for the answer began. Whole frames that answer another
// request are dropped and the wait goes on; when nothing else came, the last of them is the answer.
void collectAnswer(int fd, QByteArray& answer, const AnswerShape& shape, const AnswerTiming& timing,
                   const QElapsedTimer& clock, DescriptorState& state);

// Takes in bytes that follow a complete answer within `silenceUs`: a frame is over only when the
// line has been quiet that long, and bytes right behind it mean it was not the device's answer
// alone. Returns the number of bytes added to `answer`, reading at most `limit` of them.
int collectTrailing(int fd, QByteArray& answer, int silenceUs, int limit, DescriptorState& state);

// Empties `bytes`, keeping its storage for the next ones when nobody else holds it: an answer's
// buffer serves the next exchange instead of going back to the heap.
inline void emptyKeepingRoom(QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    if (bytes.isDetached())
        bytes.resize(0); // keeps the storage (reserved storage in every Qt 5)
    else
        bytes.clear();
}

// Appends `from` to `to` and leaves `from` empty; a move when `to` is empty.
inline void handOver(QByteArray& from, QByteArray& to)
{
    if (to.isEmpty())
        to.swap(from);
    else
        to.append(from);
    emptyKeepingRoom(from);
}

// Between exchanges nothing takes the receive buffer in (the next exchange discards it), so a
// device that keeps talking while nobody asks must not make it grow without bound: only the
// newest bytes, more than any answer holds, are kept.
void appendReceived(QByteArray& received, const QByteArray& bytes);

} // namespace vane::modbus

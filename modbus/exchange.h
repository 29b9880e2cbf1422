#pragma once

#include <QByteArray>
#include <QIODevice>

#include <functional>

namespace vane::modbus {

// The size an answer will have, judged from the bytes received so far; 0 while that cannot be told.
using AnswerSizer = std::function<int(const QByteArray& received)>;

// Upper bounds of one exchange, in milliseconds. Every wait ends as soon as its condition holds.
struct ExchangeTiming {
    int writeTimeoutMs = 0;     // writing the request
    int firstByteTimeoutMs = 0; // the answer must begin within this
    int collectLimitMs = 0;     // once begun, collecting stops after this at the latest
    int frameGapMs = 0;         // silence that ends an answer the sizer cannot size (0: none)
    int answerLimitMs = 0;      // the whole wait for the answer, begun or not, never exceeds this (0: no such bound)
};

// Drops input that is waiting on the device (a late answer to an earlier request), in the
// device's buffer and in the system below it, and empties `received`. Input still in the system
// is fetched only when it is there, so a quiet device is not waited on and a socket records no
// time-out. A peer that has closed its side is noticed here (the socket then reports it).
// Returns the number of bytes dropped.
qint64 discardStaleInput(QIODevice& device, QByteArray& received);

// Appends what a reception notification brought to the link's receive buffer. Between exchanges
// nothing takes the buffer in (the next exchange discards it), so a device that keeps talking
// while nobody asks must not make it grow without bound: only the newest bytes, more than any
// answer holds, are kept.
void appendReceived(QByteArray& received, const QByteArray& bytes);

// One request/answer exchange on an open device (socket or serial port), shared by both links.
// `received` is the link's receive buffer: the device's readyRead handler may append to it.
// Stale input (a late answer to an earlier request) is discarded before the request is written.
// Returns everything that arrived for this request, possibly nothing; never blocks longer than
// the timing allows.
QByteArray exchangeFrame(QIODevice& device, const QByteArray& request, QByteArray& received,
                         const AnswerSizer& sizer, const ExchangeTiming& timing);

} // namespace vane::modbus

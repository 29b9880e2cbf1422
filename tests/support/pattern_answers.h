#pragma once

// A well-behaved answer for any read or write, from a fixed register and bit pattern, so
// fault tests can answer "normally" to all requests but the one they disturb.
//
// Pattern: register at offset a holds patternRegister(a) in both register areas; coil and
// discrete input at offset a are on when patternBit(a).

#include <QByteArray>

#include <cstdint>

namespace vanetest {

uint16_t patternRegister(int address); // 0x1000 + address, wrapping at 16 bits
bool patternBit(int address);          // on when address % 3 == 0

// The data bytes a read request PDU (functions 01 to 04) gets from the pattern; empty for
// any other function.
QByteArray patternReadData(const QByteArray &requestPdu);

// A correct answer to the request: the pattern data for reads (01 to 04), the usual echo
// for writes (05, 06, 15, 16), an illegal-function exception for anything else.
QByteArray mbapPatternAnswer(const QByteArray &request);
QByteArray rtuPatternAnswer(const QByteArray &request);

} // namespace vanetest

#pragma once

#include <QString>

namespace vane::host {

// The standard name of a Modbus exception code ("illegal data address" for 2); a generic text
// for codes without one.
QString exceptionName(int code);

// "02 illegal data address"
QString exceptionText(int code);

// How a driver frames the answers it dumps in its log lines.
enum class Framing { Tcp, Rtu };

// The exception code of an answer frame given as hex, or -1 when it is no exception answer.
// A TCP frame carries the function code at byte 7 (after the MBAP header), an RTU frame at byte 1
// (after the station address); an exception answer has the function's top bit set and the code in
// the next byte.
int exceptionCodeOfAnswer(const QByteArray& hex, Framing framing);

} // namespace vane::host

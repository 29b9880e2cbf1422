#pragma once

#include <QByteArray>

namespace vane::rtu {

// The size an RTU answer will have, judged from the bytes received so far. Until the fields that
// size it have arrived, the least any answer takes (5 bytes), so that a pause after the first
// byte does not end it; 0 for a function code without a known answer layout.
// `requestFunction` is the function code of the request; `expectedSize` (0: unknown) is the size
// the transaction expects of a normal answer to it and takes precedence over a byte count field.
// Exception answers take 5 bytes, read answers 5 + their byte count, write answers 8.
int answerSize(const QByteArray& received, int requestFunction, int expectedSize);

} // namespace vane::rtu

#pragma once

namespace vane::host {

// Routes Qt's message log, where the drivers write their lines, to stderr with a prefix:
// "[driver] " for debug and info lines (shown only when showDebug is set), "[driver warning] "
// for warnings and worse (always shown, with a short English meaning after the driver's text).
void installDriverLog(bool showDebug);

// Lines written so far; the poll table starts afresh below them instead of overwriting them.
int driverLogLineCount();

// A scan expects silence from most stations: their "no answer" warnings are left out unless the
// debug lines are shown.
void hideNoAnswerWarnings();

// The answers the drivers dump in their log lines (debug lines need DebugCmd(StartDebug)):
// forgets the last one, so that a transaction can be told its own.
void forgetLastAnswer();
// The Modbus exception code of the last answer dumped since forgetLastAnswer, or -1.
int lastAnswerException();

} // namespace vane::host

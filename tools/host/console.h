#pragma once

#include <QString>

namespace vane::host {

// A line to stdout (UTF-8, flushed, so that poll output reaches pipes as it happens).
void printLine(const QString& line);
// Text as it is, without a newline; flushed.
void printText(const QString& text);
// One error line to stderr, prefixed with the program name.
void printError(const QString& message);

// stdout could not be written any more (a closed pipe: `vane-host poll ... | head`). Sockets make
// Qt ignore SIGPIPE, so a poll has to notice by itself that nobody reads it.
bool outputClosed();

bool stdoutIsTerminal();
// Columns of the terminal on stdout, 0 when unknown.
int terminalColumns();

// From now on SIGINT and SIGTERM only set a flag, so that poll and bench can finish their
// current transaction and report before they stop.
void catchInterrupt();
bool interrupted();

// Runs the thread's Qt event loop for about `milliseconds` (drivers rely on it between
// requests), returning early once interrupted.
void serveEventsFor(int milliseconds);

} // namespace vane::host

#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "labelvalue/CLabelVariable.h"

namespace vane::host {

// A record as the driver returned it, with the time the call took.
struct TimedRecord {
    CLabelVariable record;
    double roundTripMs = 0;
    int exception = -1; // the Modbus exception code of an exception answer (status 7), else -1
};

// "0 (done)"; with an exception code "7 (exception answer 02 illegal data address)".
QString statusText(int status, int exception = -1);
QString statusMeaningOf(int status, int exception);
// Local time with milliseconds, "-" for a null timestamp.
QString timestampText(const QDateTime& timestamp);

// The result of one read or write for a reader: tag, status, values, timestamp, round trip.
QStringList recordLines(TimedRecord& result, bool hex = false);

// The same as one JSON object; "command" is left out when empty (poll cycles list bare tags).
QString recordJson(TimedRecord& result, const QString& command);

} // namespace vane::host

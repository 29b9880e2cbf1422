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
};

// "0 (done)"
QString statusText(int status);
// Local time with milliseconds, "-" for a null timestamp.
QString timestampText(const QDateTime& timestamp);

// The result of one read or write for a reader: tag, status, values, timestamp, round trip.
QStringList recordLines(TimedRecord& result);

// The same as one JSON object; "command" is left out when empty (poll cycles list bare tags).
QString recordJson(TimedRecord& result, const QString& command);

} // namespace vane::host

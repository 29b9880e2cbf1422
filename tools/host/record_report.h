#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include "labelvalue/CLabelVariable.h"

namespace vane::host {

// What a record's status code means, in a few words ("no reply").
QString statusMeaning(int status);

// What a ConnectDrive result means.
QString connectResultMeaning(int result);

// The standard name of a Modbus exception code ("illegal data address" for 2); a generic name
// for codes without a standard one.
QString exceptionName(int code);

// "02 illegal data address"; a generic name for codes without a standard one.
QString exceptionText(int code);

// How a driver frames the answers it dumps in its log lines.
enum class Framing { Tcp, Rtu };

// The exception code of an answer frame given as hex, or -1 when it is no exception answer.
// A TCP frame carries the function code at byte 7 (after the MBAP header), an RTU frame at byte 1
// (after the station address); an exception answer has the function's top bit set and the code in
// the next byte.
int exceptionCodeOfAnswer(const QByteArray& hex, Framing framing);

// A record as the driver returned it, with the time the call took.
struct TimedRecord {
    CLabelVariable record;
    double roundTripMs = 0;
    int exception = -1; // the Modbus exception code of an exception answer (status 7), else -1
};

// "0 (done)"; with an exception code "7 (exception answer 02 illegal data address)".
QString statusText(int status, int exception = -1);

// The result of one read or write for a reader: tag, status, values, timestamp, round trip.
QStringList recordLines(TimedRecord& result, bool hex = false);

// The same as one JSON object; "command" is left out when empty (poll cycles list bare tags).
QString recordJson(TimedRecord& result, const QString& command);

struct LatencySummary {
    int samples = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
};

// Nearest-rank percentiles of the samples (milliseconds): the p-th percentile is the smallest
// sample that at least p percent of the samples do not exceed. All zero for no samples.
LatencySummary summarizeLatencies(QVector<double> samplesMs);

// How many times each status was seen, in ascending order of status.
using StatusCounts = QMap<int, int>;

} // namespace vane::host

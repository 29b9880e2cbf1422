// What the commands report: the meanings of statuses, connect results and Modbus exceptions, a
// record as text or JSON, and latency percentiles.
#include "record_report.h"

#include <algorithm>
#include <cmath>

#include "contract/status.h"
#include "tools/common/json_text.h"
#include "tools/common/value_text.h"

namespace vane::host {

QString exceptionName(int code)
{
    switch (code) {
    case 0x01: return QStringLiteral("illegal function");
    case 0x02: return QStringLiteral("illegal data address");
    case 0x03: return QStringLiteral("illegal data value");
    case 0x04: return QStringLiteral("server device failure");
    case 0x05: return QStringLiteral("acknowledge");
    case 0x06: return QStringLiteral("server device busy");
    case 0x08: return QStringLiteral("memory parity error");
    case 0x0A: return QStringLiteral("gateway path unavailable");
    case 0x0B: return QStringLiteral("gateway target device failed to respond");
    }
    return QStringLiteral("unknown exception");
}

namespace {

QString statusMeaningOf(int status, int exception)
{
    if (exception >= 0 && status == StatusBadAnswer)
        return QStringLiteral("exception answer %1").arg(exceptionText(exception));
    return statusMeaning(status);
}

} // namespace

QString statusMeaning(int status)
{
    switch (status) {
    case StatusDone: return QStringLiteral("done");
    case StatusInitial: return QStringLiteral("not processed");
    case StatusTypeNotHandled: return QStringLiteral("data type not handled (NoType, or not in this area)");
    case StatusBadArea: return QStringLiteral("area not recognised");
    case StatusBadCount: return QStringLiteral("count rejected");
    case StatusBadAddress: return QStringLiteral("bad address: no offset, or past the end of the table");
    case StatusReadOnly: return QStringLiteral("write refused: read-only area");
    case StatusBadAnswer: return QStringLiteral("transaction failed: reply did not check out");
    case StatusNoAnswer: return QStringLiteral("no reply");
    case StatusNoLink: return QStringLiteral("no link open");
    }
    return QStringLiteral("unknown status");
}

QString connectResultMeaning(int result)
{
    switch (result) {
    case 0: return QStringLiteral("connected");
    case -1: return QStringLiteral("parameters refused (empty host or port name, a number of 0, "
                                   "a host that is no numeric IP address, or a serial port that "
                                   "did not open)");
    case -3: return QStringLiteral("not connected within the time limit");
    case -4: return QStringLiteral("neither host:port nor port,baud,data bits,stop bits,parity");
    }
    return QStringLiteral("refused by the driver");
}

QString exceptionText(int code)
{
    const QString hex = QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return hex + QLatin1Char(' ') + exceptionName(code);
}

int exceptionCodeOfAnswer(const QByteArray& hex, Framing framing)
{
    const QByteArray frame = QByteArray::fromHex(hex);
    const int functionAt = framing == Framing::Tcp ? 7 : 1;
    if (frame.size() <= functionAt + 1 || !(static_cast<unsigned char>(frame.at(functionAt)) & 0x80))
        return -1;
    return static_cast<unsigned char>(frame.at(functionAt + 1));
}

QString statusText(int status, int exception)
{
    return QStringLiteral("%1 (%2)").arg(status).arg(statusMeaningOf(status, exception));
}

QStringList recordLines(TimedRecord& result, bool hex)
{
    CLabelVariable& record = result.record;
    const QStringList values = formatValues(record, hex ? ValueStyle::Hex : ValueStyle::Text);
    const QString timestamp = record.timestamp.isNull()
                                  ? QStringLiteral("-")
                                  : record.timestamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    return {
        QStringLiteral("tag        %1 %2, count %3").arg(record.address, dataTypeName(record.type)).arg(record.count),
        QStringLiteral("status     %1").arg(statusText(record.status, result.exception)),
        QStringLiteral("values     %1").arg(values.isEmpty() ? QStringLiteral("-") : values.join(QLatin1Char(' '))),
        QStringLiteral("timestamp  %1").arg(timestamp),
        QStringLiteral("round trip %1 ms").arg(result.roundTripMs, 0, 'f', 3),
    };
}

QString recordJson(TimedRecord& result, const QString& command)
{
    CLabelVariable& record = result.record;
    JsonObject json;
    if (!command.isEmpty())
        json.addString("command", command);
    json.addString("address", record.address)
        .addString("type", dataTypeName(record.type))
        .addInt("count", record.count)
        .addInt("status", record.status)
        .addString("meaning", statusMeaningOf(record.status, result.exception));
    if (result.exception >= 0 && record.status == StatusBadAnswer)
        json.addInt("exception", result.exception).addString("exception_name", exceptionName(result.exception));
    json
        .addRaw("values", jsonArray(formatValues(record, ValueStyle::Json)))
        .addRaw("timestamp", record.timestamp.isNull()
                                 ? QStringLiteral("null")
                                 : jsonString(record.timestamp.toString(Qt::ISODateWithMs)))
        .addNumber("round_trip_ms", std::round(result.roundTripMs * 1000) / 1000);
    return json.toString();
}

LatencySummary summarizeLatencies(QVector<double> samplesMs)
{
    LatencySummary summary;
    if (samplesMs.isEmpty())
        return summary;
    std::sort(samplesMs.begin(), samplesMs.end());
    summary.samples = samplesMs.size();
    const auto nearestRank = [&](double percent) {
        const int rank = static_cast<int>(std::ceil(percent / 100.0 * summary.samples));
        return samplesMs.at(std::clamp(rank, 1, summary.samples) - 1);
    };
    summary.p50Ms = nearestRank(50);
    summary.p99Ms = nearestRank(99);
    summary.maxMs = samplesMs.last();
    return summary;
}

} // namespace vane::host

#include "record_report.h"

#include <cmath>

#include "data_types.h"
#include "contract/status.h"
#include "json_writer.h"
#include "modbus_exception.h"
#include "status_text.h"
#include "value_text.h"

namespace vane::host {

QString statusMeaningOf(int status, int exception)
{
    if (exception >= 0 && status == StatusBadAnswer)
        return QStringLiteral("exception answer %1").arg(exceptionText(exception));
    return statusMeaning(status);
}

QString statusText(int status, int exception)
{
    return QStringLiteral("%1 (%2)").arg(status).arg(statusMeaningOf(status, exception));
}

QString timestampText(const QDateTime& timestamp)
{
    return timestamp.isNull() ? QStringLiteral("-") : timestamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QStringList recordLines(TimedRecord& result, bool hex)
{
    CLabelVariable& record = result.record;
    const QStringList values = formatValues(record, hex ? ValueStyle::Hex : ValueStyle::Text);
    return {
        QStringLiteral("tag        %1 %2, count %3").arg(record.address, dataTypeName(record.type)).arg(record.count),
        QStringLiteral("status     %1").arg(statusText(record.status, result.exception)),
        QStringLiteral("values     %1").arg(values.isEmpty() ? QStringLiteral("-") : values.join(QLatin1Char(' '))),
        QStringLiteral("timestamp  %1").arg(timestampText(record.timestamp)),
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

} // namespace vane::host

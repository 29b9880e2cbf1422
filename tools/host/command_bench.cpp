// bench: back-to-back requests of one tag, summarised as throughput, latency and statuses.
#include <QElapsedTimer>

#include <cmath>

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "data_types.h"
#include "exit_codes.h"
#include "interrupt.h"
#include "json_writer.h"
#include "latency_stats.h"
#include "status_text.h"

namespace vane::host {

namespace {

double rounded(double value) { return std::round(value * 1000) / 1000; }

void printSummary(const Options& options, const LatencySummary& latency, double seconds, const StatusCounts& statuses)
{
    const QString operation = options.benchWrite ? QStringLiteral("write") : QStringLiteral("read");
    const double perSecond = seconds > 0 ? latency.samples / seconds : 0;
    if (options.json) {
        QStringList statusMembers;
        for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
            statusMembers.append(QStringLiteral("\"%1\":%2").arg(it.key()).arg(it.value()));
        JsonObject latencyJson;
        latencyJson.addNumber("p50", rounded(latency.p50Ms)).addNumber("p99", rounded(latency.p99Ms)).addNumber("max", rounded(latency.maxMs));
        JsonObject json;
        json.addString("command", QStringLiteral("bench"))
            .addString("operation", operation)
            .addString("address", options.tag.address)
            .addString("type", dataTypeName(options.tag.type))
            .addInt("count", options.tag.count)
            .addInt("transactions", latency.samples)
            .addNumber("seconds", rounded(seconds))
            .addNumber("transactions_per_second", std::round(perSecond * 10) / 10)
            .addRaw("latency_ms", latencyJson.toString())
            .addRaw("statuses", QLatin1Char('{') + statusMembers.join(QLatin1Char(',')) + QLatin1Char('}'));
        printLine(json.toString());
        return;
    }
    QStringList statusParts;
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
        statusParts.append(QStringLiteral("%1 (%2) x%3").arg(it.key()).arg(statusMeaning(it.key())).arg(it.value()));
    printLine(QStringLiteral("bench %1 %2 %3, count %4: %5 transactions in %6 s")
                  .arg(operation, options.tag.address, dataTypeName(options.tag.type))
                  .arg(options.tag.count)
                  .arg(latency.samples)
                  .arg(seconds, 0, 'f', 3));
    printLine(QStringLiteral("throughput %1 transactions/s").arg(perSecond, 0, 'f', 1));
    printLine(QStringLiteral("latency    p50 %1 ms, p99 %2 ms, max %3 ms")
                  .arg(latency.p50Ms, 0, 'f', 3)
                  .arg(latency.p99Ms, 0, 'f', 3)
                  .arg(latency.maxMs, 0, 'f', 3));
    printLine(QStringLiteral("statuses   %1").arg(statusParts.join(QStringLiteral(", "))));
}

} // namespace

int runBench(CDriveBaseClass& driver, const Options& options)
{
    catchInterrupt();
    const CLabelVariable values = recordToWrite(options);
    QVector<double> latencies;
    latencies.reserve(options.iterations);
    StatusCounts statuses;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < options.iterations && !interrupted(); ++i) {
        const TimedRecord result = options.benchWrite ? timedWrite(driver, options.tag, values)
                                                      : timedRead(driver, options.tag);
        latencies.append(result.roundTripMs);
        ++statuses[result.record.status];
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    printSummary(options, summarizeLatencies(latencies), seconds, statuses);
    const bool allDone = statuses.size() == 1 && statuses.contains(0);
    return allDone ? ExitOk : ExitTransactionFailed;
}

} // namespace vane::host

// The commands: info, read and write report one request each; poll reads tags every cycle; bench
// times back-to-back requests; scan asks a range of stations.
#include "commands.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "contract/status.h"
#include "driver_log.h"
#include "poll_table.h"
#include "record_report.h"
#include "tools/common/json_text.h"
#include "tools/common/value_text.h"

namespace vane::host {

namespace {

// One timed request through the interface: a read, or with `values` a write.
TimedRecord transact(CDriveBaseClass& driver, const TagSpec& tag, const CLabelVariable* values = nullptr)
{
    // The panel runtime runs its event loop between requests; drivers may have work queued there.
    QCoreApplication::processEvents();
    forgetLastAnswer();
    QElapsedTimer timer;
    timer.start();
    TimedRecord result{values ? driver.WriteVariable(tag.address, tag.type, *values, tag.count)
                              : driver.ReadVariable(tag.address, tag.type, tag.count),
                       0};
    result.roundTripMs = timer.nsecsElapsed() / 1e6;
    result.exception = lastAnswerException();
    return result;
}

// The record a write sends: the element list and the count.
CLabelVariable recordToWrite(const Options& options)
{
    CLabelVariable values;
    values.value = options.values;
    values.count = options.tag.count;
    values.type = options.tag.type;
    values.address = options.tag.address;
    return values;
}

QString valuesText(TimedRecord& result, bool hex)
{
    return formatValues(result.record, hex ? ValueStyle::Hex : ValueStyle::Text).join(QLatin1Char(' '));
}

int report(TimedRecord& result, const Options& options, const QString& command)
{
    if (options.json)
        printLine(recordJson(result, command));
    else
        printLine(recordLines(result, options.hex).join(QLatin1Char('\n')));
    return result.record.status == 0 ? ExitOk : ExitTransactionFailed;
}

int runInfo(CDriveBaseClass& driver, const Options& options)
{
    const QString name = driver.getDriveName();
    const QString version = driver.getversion_number();
    const QString build = driver.DebugCmd(BuildTime);
    const QString tools = QStringLiteral(VANE_PACKAGE_VERSION);
    if (options.json) {
        JsonObject json;
        json.addString("command", QStringLiteral("info"))
            .addString("plugin", options.pluginPath)
            .addString("name", name)
            .addString("version", version)
            .addString("build", build)
            .addString("tools_version", tools);
        if (options.connect)
            json.addString("connection", options.connection).addBool("connected", true);
        printLine(json.toString());
    } else {
        QString text = QStringLiteral("plug-in         %1\n"
                                      "driver name     %2   (getDriveName)\n"
                                      "driver version  %3   (getversion_number: the driver's own version)\n"
                                      "driver build    %4   (DebugCmd(BuildTime): version and time of its build)\n"
                                      "vane-host       %5   (package version of these tools)")
                           .arg(options.pluginPath, name, version, build, tools);
        if (options.connect)
            text += QStringLiteral("\nconnection      %1   connected").arg(options.connection);
        printLine(text);
    }
    return ExitOk;
}

// poll: every tag once per cycle, shown as a table, as plain lines or as JSON per cycle. When the
// link is lost (status 8 or 9) and poll connected it, poll disconnects, pauses and connects again,
// with a pause that grows while the device stays away: 1 s, 2 s, 4 s ... at most 30 s.
int reconnectPauseMs(int attempt) { return std::min(1000 << std::min(attempt - 1, 5), 30000); }

int runPoll(CDriveBaseClass& driver, const Options& options)
{
    catchInterrupt();
    const bool table = !options.json && stdoutIsTerminal();
    TableScreen screen;
    bool allDone = true;
    int attempt = 0;     // reconnects since the link was last fine
    QString linkNote;    // how the last reconnect went, shown with the next cycle
    for (int cycle = 1; !interrupted() && !outputClosed() && (options.cycles == 0 || cycle <= options.cycles); ++cycle) {
        // The period runs from the start of one cycle to the next, however long the reads took.
        const QDeadlineTimer nextCycle(options.intervalMs);
        QList<PollRow> rows;
        QStringList jsonTags;
        bool linkLost = false;
        for (const TagSpec& tag : options.tags) {
            TimedRecord result = transact(driver, tag);
            allDone = allDone && result.record.status == 0;
            linkLost = linkLost || result.record.status == StatusNoAnswer || result.record.status == StatusNoLink;
            if (options.json)
                jsonTags.append(recordJson(result, QString()));
            rows.append({tag.address, dataTypeName(tag.type), tag.count, result.record.status,
                         valuesText(result, options.hex), result.roundTripMs, result.exception});
        }
        const bool reconnect = linkLost && options.connect && !(options.cycles != 0 && cycle == options.cycles);
        attempt = reconnect ? attempt + 1 : 0;
        if (reconnect)
            linkNote += QStringLiteral("%1link lost: reconnect %2 after a %3 s pause")
                            .arg(linkNote.isEmpty() ? QString() : QStringLiteral("; "))
                            .arg(attempt)
                            .arg(reconnectPauseMs(attempt) / 1000);
        if (options.json) {
            JsonObject json;
            json.addString("command", QStringLiteral("poll")).addInt("cycle", cycle).addRaw("tags", jsonArray(jsonTags));
            if (!linkNote.isEmpty())
                json.addString("link", linkNote);
            printLine(json.toString());
        } else if (table) {
            screen.draw(renderTable(cycle, options.intervalMs, rows, terminalColumns(), linkNote));
        } else {
            for (const PollRow& row : rows)
                printLine(renderPlainLine(cycle, row));
            if (!linkNote.isEmpty())
                printLine(QStringLiteral("cycle %1  %2").arg(cycle).arg(linkNote));
        }
        linkNote.clear();
        if (options.cycles != 0 && cycle == options.cycles)
            break;
        if (reconnect) {
            driver.DisConnectDrive();
            serveEventsFor(reconnectPauseMs(attempt));
            if (interrupted())
                break;
            const int result = driver.ConnectDrive(options.connection);
            linkNote = result == 0 ? QStringLiteral("reconnected")
                                   : QStringLiteral("reconnect %1 failed: ConnectDrive returned %2 (%3)")
                                         .arg(attempt).arg(result).arg(connectResultMeaning(result));
        }
        serveEventsFor(static_cast<int>(nextCycle.remainingTime()));
    }
    return allDone ? ExitOk : ExitTransactionFailed;
}

double rounded(double value) { return std::round(value * 1000) / 1000; }

void printBenchSummary(const Options& options, const LatencySummary& latency, double seconds, const StatusCounts& statuses)
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

// bench: back-to-back requests of one tag, summarised as throughput, latency and statuses.
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
        const TimedRecord result = transact(driver, options.tag, options.benchWrite ? &values : nullptr);
        latencies.append(result.roundTripMs);
        ++statuses[result.record.status];
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    printBenchSummary(options, summarizeLatencies(latencies), seconds, statuses);
    const bool allDone = statuses.size() == 1 && statuses.contains(0);
    return allDone ? ExitOk : ExitTransactionFailed;
}

// scan: asks every station of a range for one tag and lists those that answered (status 0, or an
// exception answer), with the value or the exception. A silent station costs the driver's answer
// time limit.
int runScan(CDriveBaseClass& driver, const Options& options)
{
    catchInterrupt();
    hideNoAnswerWarnings();
    const bool progress = !options.json && stdoutIsTerminal();
    const int total = options.lastStation - options.firstStation + 1;
    int found = 0;
    QElapsedTimer clock;
    clock.start();
    if (!options.json)
        printLine(QStringLiteral("scanning stations %1-%2 for %3 %4")
                      .arg(options.firstStation).arg(options.lastStation)
                      .arg(options.tag.address, dataTypeName(options.tag.type)));
    for (int station = options.firstStation; station <= options.lastStation && !interrupted() && !outputClosed(); ++station) {
        if (progress)
            printText(QStringLiteral("\r\033[2Kstation %1 (%2 of %3), %4 answered, %5 s")
                          .arg(station).arg(station - options.firstStation + 1).arg(total).arg(found)
                          .arg(clock.elapsed() / 1000));
        driver.SetConnectPar(QString::number(station));
        TimedRecord result = transact(driver, options.tag);
        const bool heard = result.record.status == StatusDone || result.exception >= 0;
        found += heard ? 1 : 0;
        if (options.json) {
            JsonObject json;
            json.addString("command", QStringLiteral("scan"))
                .addInt("station", station)
                .addBool("answered", heard)
                .addRaw("result", recordJson(result, QString()));
            printLine(json.toString());
        } else if (heard) {
            const QString answer = result.record.status == StatusDone
                                       ? valuesText(result, options.hex)
                                       : QStringLiteral("exception %1").arg(exceptionText(result.exception));
            printText(progress ? QStringLiteral("\r\033[2K") : QString());
            printLine(QStringLiteral("station %1  %2").arg(station, 3).arg(answer));
        }
    }
    if (progress)
        printText(QStringLiteral("\r\033[2K"));
    if (!options.json)
        printLine(QStringLiteral("%1 of %2 stations answered in %3 s").arg(found).arg(total).arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return found > 0 ? ExitOk : ExitTransactionFailed;
}

} // namespace

int runCommand(CDriveBaseClass& driver, const Options& options)
{
    switch (options.command) {
    case Command::Info: return runInfo(driver, options);
    case Command::Read: {
        TimedRecord result = transact(driver, options.tag);
        return report(result, options, QStringLiteral("read"));
    }
    case Command::Write: {
        const CLabelVariable values = recordToWrite(options);
        TimedRecord result = transact(driver, options.tag, &values);
        return report(result, options, QStringLiteral("write"));
    }
    case Command::Poll: return runPoll(driver, options);
    case Command::Bench: return runBench(driver, options);
    case Command::Scan: return runScan(driver, options);
    case Command::Help:
    case Command::Monitor: break;
    }
    return ExitUsage;
}

} // namespace vane::host

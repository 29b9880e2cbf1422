// poll: every tag once per cycle, shown as a table, as plain lines or as JSON per cycle.
#include <QDeadlineTimer>

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "data_types.h"
#include "exit_codes.h"
#include "interrupt.h"
#include "json_writer.h"
#include "poll_table.h"
#include "value_text.h"

namespace vane::host {

namespace {

PollRow rowOf(TimedRecord& result, const TagSpec& tag)
{
    PollRow row;
    row.address = tag.address;
    row.type = dataTypeName(tag.type);
    row.count = tag.count;
    row.status = result.record.status;
    row.values = formatValues(result.record, ValueStyle::Text).join(QLatin1Char(' '));
    row.roundTripMs = result.roundTripMs;
    return row;
}

} // namespace

int runPoll(CDriveBaseClass& driver, const Options& options)
{
    catchInterrupt();
    const bool table = !options.json && stdoutIsTerminal();
    TableScreen screen;
    bool allDone = true;
    for (int cycle = 1; !interrupted() && !outputClosed() && (options.cycles == 0 || cycle <= options.cycles); ++cycle) {
        // The period runs from the start of one cycle to the next, however long the reads took.
        const QDeadlineTimer nextCycle(options.intervalMs);
        QList<PollRow> rows;
        QStringList jsonTags;
        for (const TagSpec& tag : options.tags) {
            TimedRecord result = timedRead(driver, tag);
            allDone = allDone && result.record.status == 0;
            if (options.json)
                jsonTags.append(recordJson(result, QString()));
            rows.append(rowOf(result, tag));
        }
        if (options.json) {
            JsonObject json;
            json.addString("command", QStringLiteral("poll")).addInt("cycle", cycle).addRaw("tags", jsonArray(jsonTags));
            printLine(json.toString());
        } else if (table) {
            screen.draw(renderTable(cycle, options.intervalMs, rows, terminalColumns()));
        } else {
            for (const PollRow& row : rows)
                printLine(renderPlainLine(cycle, row));
        }
        if (options.cycles != 0 && cycle == options.cycles)
            break;
        serveEventsFor(static_cast<int>(nextCycle.remainingTime()));
    }
    screen.finish();
    return allDone ? ExitOk : ExitTransactionFailed;
}

} // namespace vane::host

// poll: every tag once per cycle, shown as a table, as plain lines or as JSON per cycle. When the
// link is lost (status 8 or 9) and poll connected it, poll disconnects, pauses and connects again,
// with a pause that grows while the device stays away.
#include <QDeadlineTimer>

#include <algorithm>

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "contract/status.h"
#include "data_types.h"
#include "exit_codes.h"
#include "interrupt.h"
#include "json_writer.h"
#include "poll_table.h"
#include "status_text.h"
#include "value_text.h"

namespace vane::host {

namespace {

PollRow rowOf(TimedRecord& result, const TagSpec& tag, bool hex)
{
    PollRow row;
    row.address = tag.address;
    row.type = dataTypeName(tag.type);
    row.count = tag.count;
    row.status = result.record.status;
    row.exception = result.exception;
    row.values = formatValues(result.record, hex ? ValueStyle::Hex : ValueStyle::Text).join(QLatin1Char(' '));
    row.roundTripMs = result.roundTripMs;
    return row;
}

// 1 s, 2 s, 4 s ... at most 30 s.
int reconnectPauseMs(int attempt) { return std::min(1000 << std::min(attempt - 1, 5), 30000); }

} // namespace

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
            TimedRecord result = timedRead(driver, tag);
            allDone = allDone && result.record.status == 0;
            linkLost = linkLost || result.record.status == StatusNoAnswer || result.record.status == StatusNoLink;
            if (options.json)
                jsonTags.append(recordJson(result, QString()));
            rows.append(rowOf(result, tag, options.hex));
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
    screen.finish();
    return allDone ? ExitOk : ExitTransactionFailed;
}

} // namespace vane::host

// scan: asks every station of a range for one tag and lists those that answered, with the value
// or the exception they answered with. A silent station costs the driver's answer time limit.
#include <QElapsedTimer>

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "contract/status.h"
#include "data_types.h"
#include "driver_log.h"
#include "exit_codes.h"
#include "interrupt.h"
#include "json_writer.h"
#include "modbus_exception.h"
#include "value_text.h"

namespace vane::host {

namespace {

// A station answered when its answer made it through (status 0) or was an exception answer.
bool answered(const TimedRecord& result)
{
    return result.record.status == StatusDone || result.exception >= 0;
}

QString answerText(TimedRecord& result, bool hex)
{
    if (result.record.status == StatusDone)
        return formatValues(result.record, hex ? ValueStyle::Hex : ValueStyle::Text).join(QLatin1Char(' '));
    return QStringLiteral("exception %1").arg(exceptionText(result.exception));
}

} // namespace

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
        TimedRecord result = timedRead(driver, options.tag);
        const bool heard = answered(result);
        found += heard ? 1 : 0;
        if (options.json) {
            JsonObject json;
            json.addString("command", QStringLiteral("scan"))
                .addInt("station", station)
                .addBool("answered", heard)
                .addRaw("result", recordJson(result, QString()));
            printLine(json.toString());
        } else if (heard) {
            printText(progress ? QStringLiteral("\r\033[2K") : QString());
            printLine(QStringLiteral("station %1  %2").arg(station, 3).arg(answerText(result, options.hex)));
        }
    }
    if (progress)
        printText(QStringLiteral("\r\033[2K"));
    if (!options.json)
        printLine(QStringLiteral("%1 of %2 stations answered in %3 s").arg(found).arg(total).arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return found > 0 ? ExitOk : ExitTransactionFailed;
}

} // namespace vane::host

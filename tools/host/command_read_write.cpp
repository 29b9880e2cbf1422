// info, read and write: one request each, reported once.
#include <QCoreApplication>
#include <QElapsedTimer>

#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "exit_codes.h"
#include "driver_log.h"
#include "json_writer.h"

namespace vane::host {

namespace {

double millisecondsSince(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

int report(TimedRecord& result, const Options& options, const QString& command)
{
    if (options.json)
        printLine(recordJson(result, command));
    else
        printLine(recordLines(result, options.hex).join(QLatin1Char('\n')));
    return result.record.status == 0 ? ExitOk : ExitTransactionFailed;
}

} // namespace

TimedRecord timedRead(CDriveBaseClass& driver, const TagSpec& tag)
{
    // The panel runtime runs its event loop between requests; drivers may have work queued there.
    QCoreApplication::processEvents();
    forgetLastAnswer();
    QElapsedTimer timer;
    timer.start();
    TimedRecord result{driver.ReadVariable(tag.address, tag.type, tag.count), 0};
    result.roundTripMs = millisecondsSince(timer);
    result.exception = lastAnswerException();
    return result;
}

TimedRecord timedWrite(CDriveBaseClass& driver, const TagSpec& tag, const CLabelVariable& values)
{
    // The panel runtime runs its event loop between requests; drivers may have work queued there.
    QCoreApplication::processEvents();
    forgetLastAnswer();
    QElapsedTimer timer;
    timer.start();
    TimedRecord result{driver.WriteVariable(tag.address, tag.type, values, tag.count), 0};
    result.roundTripMs = millisecondsSince(timer);
    result.exception = lastAnswerException();
    return result;
}

CLabelVariable recordToWrite(const Options& options)
{
    CLabelVariable values;
    values.value = options.values;
    values.count = options.tag.count;
    values.type = options.tag.type;
    values.address = options.tag.address;
    return values;
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

int runRead(CDriveBaseClass& driver, const Options& options)
{
    TimedRecord result = timedRead(driver, options.tag);
    return report(result, options, QStringLiteral("read"));
}

int runWrite(CDriveBaseClass& driver, const Options& options)
{
    TimedRecord result = timedWrite(driver, options.tag, recordToWrite(options));
    return report(result, options, QStringLiteral("write"));
}

} // namespace vane::host

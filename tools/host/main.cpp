// vane-host: a command-line stand-in for the panel runtime, to try a driver plug-in and a tag
// list against a device from a desk.
#include <QCoreApplication>

#include "cli_options.h"
#include "commands.h"
#include "console.h"
#include "contract/CDriveBaseClass.h"
#include "driver_log.h"
#include "monitor/monitor_command.h"
#include "record_report.h"
#include "tools/common/plugin_loader.h"

using namespace vane::host;

namespace {

// The panel runtime's calling order: load the plug-in, station number, debug switch, connect,
// the command, disconnect, release. Returns the process exit code.
int runHost(const Options& options)
{
    installDriverLog(options.debug);
    const vane::LoadedPlugin plugin = vane::loadPlugin(options.pluginPath);
    if (!plugin.driver) {
        printError(plugin.error);
        return ExitPluginLoad;
    }
    CDriveBaseClass& driver = *plugin.driver;
    // The answer dumps of the debug output name Modbus exceptions; the lines are shown only with
    // --debug. A bench measures the driver as the runtime uses it, without them.
    if (options.debug || options.command != Command::Bench)
        driver.DebugCmd(StartDebug);

    driver.SetConnectPar(options.station);
    if (options.connect) {
        const int result = driver.ConnectDrive(options.connection);
        if (result != 0) {
            printError(QStringLiteral("cannot connect with '%1': ConnectDrive returned %2: %3")
                           .arg(options.connection)
                           .arg(result)
                           .arg(connectResultMeaning(result)));
            driver.DestroyFree();
            return ExitConnectFailed;
        }
    }
    const int exitCode = runCommand(driver, options);
    if (options.connect)
        driver.DisConnectDrive();
    driver.DestroyFree();
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    // The drivers are built on Qt objects (sockets, serial ports, timers) and need an application.
    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    if (!parsed.ok) {
        printError(parsed.error);
        return ExitUsage;
    }
    if (parsed.options.command == Command::Help) {
        printText(helpText());
        return ExitOk;
    }
    if (parsed.options.command == Command::Monitor)
        return vane::monitor::runMonitor(parsed.options);
    return runHost(parsed.options);
}
